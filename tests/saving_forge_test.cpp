// The whole save over forged datafiles: analysis, then every output file
// byte for byte, a Stop in the middle of a table's rows, and the recover
// command as a user runs it.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <chrono>
#include <thread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "datafile/cfile64.h"
#include "dictionary/analysis_job.h"
#include "dictionary/dictionary_segments.h"
#include "output/output_files.h"
#include "output/saving_job.h"
#include "output/sqlplus_lines.h"
#include "platform/codepage.h"
#include "preview/object_tree.h"
#include "preview/preview_jobs.h"
#include "tools/forge/bench_scenarios.h"
#include "tools/forge/forge.h"
#include "tools/forge/multifile.h"
#include "tests/test_sinks.h"
#include "tests/temp_folder.h"

using namespace restorix;
using namespace restorix::test;
namespace fs = std::filesystem;

namespace {

// A SQL script as the save writes it: its first line, then the text.
std::string script(std::string_view text) { return std::string(kSqlScriptHead) + std::string(text); }

const std::string P = " %1\\sqlplus.exe %2/%3@%4 @ ";

class EventSink : public ProgressSink {
public:
    void setCurrentProgress(int percent) override {
        if (onCurrent) onCurrent(percent);
    }
    std::function<void(int)> onCurrent;
};

// HR with DEPT (three rows), EMP (no rows) and their keys, a view, a trigger,
// a procedure and a function; SCOTT without objects.
forge::Scenario hrScenario() {
    forge::Scenario s;
    forge::SchemaDef& hr = s.user("HR", 30);
    hr.table("DEPT", 51001)
        .column("DEPTNO", "NUMBER(2)", true)
        .column("DNAME", "VARCHAR2(14)")
        .row({"10", "ACCOUNTING"})
        .row({"20", std::nullopt})
        .row({"30", "O'NEIL"});
    hr.table("EMP", 51002).column("EMPNO", "NUMBER(4)").column("DEPTNO", "NUMBER(2)");
    hr.primaryKey("DEPT_PK", "DEPT", {"DEPTNO"});
    hr.foreignKey("EMP_DEPT_FK", "EMP", {"DEPTNO"}, "", "DEPT_PK");
    hr.view("DEPT_V", "select DNAME\nfrom DEPT", {"DNAME"}).objectNumber = 51010;
    forge::TriggerDef& trigger = hr.trigger("DEPT_BI", forge::TriggerTiming::BeforeEachRow, "DEPT", "begin\n  null;\nend;");
    trigger.onInsert = true;
    trigger.objectNumber = 51011;
    hr.procedure("RAISE_SAL", "PROCEDURE RAISE_SAL IS\nBEGIN\n  NULL;\nEND;\n").objectNumber = 51012;
    hr.function("NET_PAY", "FUNCTION NET_PAY RETURN NUMBER IS\nBEGIN\n  RETURN 1;\nEND;\n").objectNumber = 51013;
    s.user("SCOTT", 31);
    return s;
}

class SavingForgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = scratch_.path();
        fs::create_directories(dir_ / "out");
    }
    void TearDown() override { recovery_.database.datafiles.close(); }

    void analyse(const forge::Scenario& scenario, int release = 10, std::string characterSet = "WE8MSWIN1252") {
        forge::WriteOptions options;
        options.release = release;
        options.characterSet = std::move(characterSet);
        const std::string path = (dir_ / "system01.dbf").string();
        forge::writeDatafile(scenario, path, options);
        ASSERT_FALSE(recovery_.database.datafiles.open({path}));
        recovery_.options = RecoveryOptions(RecoveryOption::AllButSys);
        ProgressSink silent;
        ASSERT_EQ(runAnalysis(recovery_, silent, messages_, kCaption), AnalysisResult::analysisCompleted);
    }
    SavingResult save() {
        state_.progress = &sink_;
        return runSaving(recovery_.analysed(), state_, messages_, log_, clock_,
                         SavingSetup{dir_ / "out", "C:\\oracle\\bin", std::string(kCaption)});
    }
    std::string file(const std::string& relative) { return readFile(outputPath(dir_ / "out", relative)); }

    TempFolder scratch_{"restorix-saving-forge-"};
    fs::path dir_;
    Recovery recovery_;
    SavingState state_;
    EventSink sink_;
    RecordingMessages messages_;
    SilentLog log_;
    SystemClock clock_;
};

// Values longer than a SQL literal, a table with many columns, and stored code
// with lines longer than sqlplus reads.
forge::Scenario longLinesScenario() {
    forge::Scenario s;
    forge::SchemaDef& hr = s.user("HR", 30);
    const std::string longText = std::string(2000, 'a') + "O'NEIL & " + std::string(2500, 'b');
    hr.table("NOTES", 51001)
        .column("ID", "NUMBER(4)")
        .column("BODY", "VARCHAR2(32767)")
        .column("REMARK", "VARCHAR2(3000)")
        .row({"1", longText, std::string(1500, 'r')})
        .row({"2", "short", std::nullopt});
    forge::TableDef& wide = hr.table("WIDE", 51002);
    for (int c = 0; c < 70; ++c) wide.column("COLUMN_WITH_A_RATHER_LONG_NAME_" + std::to_string(c), "NUMBER(4)");
    std::string viewText = "select ID";
    for (int c = 0; c < 400; ++c) viewText += " , ID as C" + std::to_string(c);
    hr.view("NOTES_V", viewText + " from NOTES", {"ID"}).objectNumber = 51010;
    // A quoted text with no blank outside it: the one line that cannot be broken.
    hr.procedure("LONG_LINE", "PROCEDURE LONG_LINE IS\n  v VARCHAR2(4000);\nBEGIN\n  v := '" +
                                  std::string(1500, 'q') + " " + std::string(1500, 'q') + "';\nEND;\n")
        .objectNumber = 51012;
    return s;
}

TEST_F(SavingForgeTest, NoOutputLineIsLongerThanSqlplusReadsButAWarnedOne) {
    analyse(longLinesScenario());
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    std::size_t files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir_ / "out")) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::size_t expected = entry.path().filename() == "Procedures.sql" ? 1 : 0;
        EXPECT_EQ(linesTooLongForSqlplus(readFile(entry.path())), expected) << entry.path();
    }
    EXPECT_GE(files, 8u);
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_NE(messages_.messages[0].find("Procedures.sql"), std::string::npos) << messages_.messages[0];

    const std::string data = file("HR_data\\NOTESData.sql");
    EXPECT_TRUE(data.starts_with(script("BEGIN\r\ninsert into HR.NOTES values ('1',\r\n'aaa"))) << data.substr(0, 80);
    EXPECT_NE(data.find("'O''NEIL '||CHR(38)||' bbb"), std::string::npos);
    EXPECT_NE(data.find(" ) ; \r\nEND;\r\n/\r\nCommit;\r\ninsert into HR.NOTES values ('2','short',NULL ) ; \r\n"),
              std::string::npos);
    EXPECT_NE(file("HR_create\\WIDE.sql").find(" Number(4),\r\n \"COLUMN_WITH"), std::string::npos);
}

// A database that stores UTF-8: names and values shown as the characters
// they are (national text as decoded, never through the code page), the
// stored bytes unchanged in the scripts, one "_" per character in file names.
TEST_F(SavingForgeTest, Al32Utf8NamesAndValuesKeepTheirBytes) {
    forge::Scenario s;
    s.user("HR", 30).table("CAF\u00C9", 51001).column("ID", "NUMBER(4)").column("NOTE", "VARCHAR2(40)")
        .column("N\u00C9", "NVARCHAR2(10)")
        .row({"1", "caf\u00E9 \u20AC \U0001F600", "\u4E2D\u6587"});
    analyse(s, 11, "AL32UTF8");
    ASSERT_TRUE(recovery_.database.release.storesUtf8());
    const ObjectTree tree = buildObjectTree(recovery_.catalog, recovery_.database.sourcePath);
    ASSERT_EQ(tree.findSchema("HR")->nodes(Category::Table).size(), 1u);
    const std::string tableName = tree.findSchema("HR")->nodes(Category::Table)[0];
    EXPECT_EQ(storedUtf8Text(tableName), "CAF\u00C9");
    const PreviewList preview =
        previewNode(recovery_.database, recovery_.catalog, recovery_.analysisControl, tableName, "Table", "HR");
    EXPECT_EQ(preview.headers, (std::vector<std::string>{"ID", "NOTE", "N\u00C9"}));
    ASSERT_EQ(preview.rows.size(), 1u);
    EXPECT_EQ(preview.rows[0], (std::vector<std::string>{"1", "caf\u00E9 \u20AC \U0001F600", "\u4E2D\u6587"}));

    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_EQ(file("HR_data\\CAF_Data.sql"),
              script("insert into HR.\"CAF\u00C9\" values ('1','caf\u00E9 \u20AC \U0001F600',UNISTR('\\4E2D\\6587') ) ; "
                     "\r\nCommit;\r\nExit;"));
    EXPECT_EQ(file("HR_create\\CAF_.sql"), script("Create Table HR.\"CAF\u00C9\"( \"ID\" Number(4), \"NOTE\" Varchar2(40), "
                                                 "\"N\u00C9\" Nvarchar2(10));\r\nExit;"));
    EXPECT_NE(file("Commit.bat").find("processing script.\r\nset NLS_LANG=.AL32UTF8\r\n" + P + "Users"),
              std::string::npos);
}

TEST_F(SavingForgeTest, EveryOutputFileByteForByte) {
    analyse(hrScenario());
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_TRUE(messages_.messages.empty());

    EXPECT_EQ(file("HR_create\\DEPT.sql"), script("Create Table HR.DEPT( \"DEPTNO\" Number(2), \"DNAME\" Varchar2(14));\r\nExit;"));
    EXPECT_EQ(file("HR_create\\EMP.sql"), script("Create Table HR.EMP( \"EMPNO\" Number(4), \"DEPTNO\" Number(2));\r\nExit;"));
    EXPECT_EQ(file("HR_data\\DEPTData.sql"),
              script("insert into HR.DEPT values ('10','ACCOUNTING' ) ; \r\nCommit;\r\n"
                     "insert into HR.DEPT values ('20',NULL ) ; \r\nCommit;\r\n"
                     "insert into HR.DEPT values ('30','O''NEIL' ) ; \r\nCommit;\r\n"
                     "Exit;"));
    EXPECT_EQ(file("HR_data\\EMPData.sql"), script("Exit;"));  // a table without rows
    EXPECT_EQ(file("Index\\Index.sql"), script("CREATE UNIQUE INDEX HR.DEPT_PK on HR.DEPT(\"DEPTNO\");\r\n\r\n\r\nExit;"));
    EXPECT_EQ(file("Constraints\\Constraints.sql"),
              script("ALTER TABLE HR.DEPT ADD CHECK (\"DEPTNO\" IS NOT NULL);\r\n\r\n"
                     "ALTER TABLE HR.DEPT ADD CONSTRAINT DEPT_PK PRIMARY KEY (\"DEPTNO\");\r\n\r\n"
                     "ALTER TABLE HR.EMP ADD CONSTRAINT EMP_DEPT_FK FOREIGN KEY (\"DEPTNO\") REFERENCES HR.DEPT(\"DEPTNO\");\r\n\r\n"
                     "\r\nExit;"));
    EXPECT_EQ(file("Views\\Views.sql"), script("Create or Replace View HR.DEPT_V as select DNAME\r\nfrom DEPT;\r\n\r\n\r\nExit;"));
    EXPECT_EQ(file("Triggers\\Triggers.sql"),
              script("Create or Replace Trigger HR.DEPT_BI before insert on HR.DEPT FOR EACH ROW begin\r\n  null;\r\nend;"
                     "\r\n/\r\n\r\n\r\nExit;"));
    // The stored line feeds read as blanks; the keyword gives way to the header.
    EXPECT_EQ(file("Procedures\\Procedures.sql"),
              script("Create or replace Procedure HR. RAISE_SAL IS \r\nBEGIN \r\n  NULL; \r\nEND; \r\n\r\n/\r\n\r\n"
                     "Create or replace Function HR. NET_PAY RETURN NUMBER IS \r\nBEGIN \r\n  RETURN 1; \r\nEND; \r\n\r\n/\r\n\r\n"
                     "\r\nExit;"));
    EXPECT_EQ(file("Commit.bat"),
              "@echo Restorix for Oracle \r\n@echo Replays the recovered scripts through sqlplus.\r\n"
              "@echo Recovered database processing script.\r\nset NLS_LANG=.WE8MSWIN1252\r\n" +
                  P + "Users\\Users.sql\r\n\r\n" + P + "HR_create\\DEPT.sql\r\n" + P + "HR_create\\EMP.sql\r\n" + P +
                  "HR_data\\DEPTData.sql\r\n" + P + "HR_data\\EMPData.sql\r\n\r\n" + P + "Index\\Index.sql\r\n\r\n\r\n" + P +
                  "Constraints\\Constraints.sql\r\n\r\n" + P + "Triggers\\Triggers.sql\r\n" + P + "Views\\Views.sql\r\n\r\n" +
                  P + "Procedures\\Procedures.sql\r\n");
    EXPECT_EQ(file("Import.bat").substr(file("Import.bat").rfind("Commit ")),
              "Commit C:\\oracle\\bin %Enter Oracle UserName% %Enter Oracle Password% %Enter Oracle ServerName%\r\n\r\n");
    // Units: two per table (the reader counts one or two), one per view and trigger, one for SCOTT.
    EXPECT_EQ(state_.overallTotal, 2 * 2 + 1 + 1);
    EXPECT_GE(state_.overallDone, state_.overallTotal);
}

// Users and columns numbered 100 and more: user 500 is not user 5, and the
// 120 columns of a wide table all reach the tree, the preview and the save.
TEST_F(SavingForgeTest, LargeUserAndColumnNumbersKeepTheirOwners) {
    forge::Scenario s;
    s.user("FIVE", 5);
    s.user("BIG", 500).table("T500", 51500).column("ID", "NUMBER(4)").row({"7"});
    forge::TableDef& wide = s.user("HUNDRED", 100).table("WIDE", 51100);
    std::vector<forge::Value> row;
    for (int c = 1; c <= 120; ++c) {
        wide.column("C" + std::to_string(c), "NUMBER(4)");
        row.emplace_back(std::to_string(c));
    }
    wide.row(row);
    analyse(s);

    const ObjectTree tree = buildObjectTree(recovery_.catalog, "");
    EXPECT_EQ(tree.findSchema("BIG")->nodes(Category::Table), std::vector<std::string>{"T500"});
    EXPECT_EQ(tree.findSchema("HUNDRED")->nodes(Category::Table), std::vector<std::string>{"WIDE"});
    EXPECT_TRUE(tree.findSchema("FIVE")->nodes(Category::Table).empty());
    const PreviewList preview =
        previewNode(recovery_.database, recovery_.catalog, recovery_.analysisControl, "WIDE", "Table", "HUNDRED");
    ASSERT_EQ(preview.headers.size(), 120u);
    EXPECT_EQ(preview.headers.back(), "C120");
    ASSERT_EQ(preview.rows.size(), 1u);
    EXPECT_EQ(preview.rows[0].back(), "120");

    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_EQ(file("BIG_create\\T500.sql"), script("Create Table BIG.T500( \"ID\" Number(4));\r\nExit;"));
    EXPECT_EQ(file("BIG_data\\T500Data.sql"), script("insert into BIG.T500 values ('7' ) ; \r\nCommit;\r\nExit;"));
    EXPECT_FALSE(fs::exists(outputPath(dir_ / "out", "FIVE_create\\T500.sql")));
    const std::string create = file("HUNDRED_create\\WIDE.sql");
    // Longer than one line may be: a line per column.
    EXPECT_NE(create.find("( \"C1\" Number(4),\r\n \"C2\" Number(4),\r\n"), std::string::npos);
    EXPECT_NE(create.find(",\r\n \"C120\" Number(4));"), std::string::npos);
    EXPECT_NE(file("HUNDRED_data\\WIDEData.sql").find("'119','120' ) ;"), std::string::npos);
}

// Every column type the forge stores, LONG declared first (and so stored
// last) and NVARCHAR2 in AL16UTF16: the preview shows each value, the data
// script writes its item, and every column after the LONG keeps its own value.
TEST_F(SavingForgeTest, EveryColumnTypeComesBackValueForValue) {
    forge::Scenario s;
    forge::TableDef& t = s.user("HR", 30).table("TYPES", 70000);
    t.column("NOTES", "LONG").column("ID", "NUMBER(4)").column("R", "RAW(4)").column("PIC", "LONG RAW");
    t.column("F", "BINARY_FLOAT").column("D", "BINARY_DOUBLE").column("TZ", "TIMESTAMP(3) WITH TIME ZONE");
    t.column("LTZ", "TIMESTAMP(6) WITH LOCAL TIME ZONE").column("YM", "INTERVAL YEAR(3) TO MONTH");
    t.column("DS", "INTERVAL DAY(2) TO SECOND(6)").column("NV", "NVARCHAR2(10)").column("NC", "NCHAR(2)");
    t.column("RID", "ROWID");
    t.row({"it's long", "7", "0AFF", "CAFE", "1.5", "-0.1", "2011-03-05 12:20:30.5 +02:00", "2009-01-16 09:00:00",
           "-2-3", "4 05:12:10.222", "R\u00E9&\U0001F600", "x", "AAAR3sAAEAAAACXAAA"});
    t.row({std::nullopt, "8", std::nullopt, std::nullopt, "NaN", "Inf"});
    analyse(s);
    const auto column = [&](std::string_view name) {
        return *std::find_if(recovery_.catalog.columnList.begin(), recovery_.catalog.columnList.end(),
                             [&](const ColumnEntry& c) { return c.name == name; });
    };
    EXPECT_EQ(column("NOTES").segmentColumn, 12) << "LONG and LONG RAW are stored after the other columns";
    EXPECT_EQ(column("PIC").segmentColumn, 13);
    EXPECT_EQ(column("ID").segmentColumn, 1);
    EXPECT_EQ(column("NV").charsetForm, kNationalCharsetForm);
    EXPECT_EQ(column("NOTES").charsetForm, kImplicitCharsetForm);

    const PreviewList preview =
        previewNode(recovery_.database, recovery_.catalog, recovery_.analysisControl, "TYPES", "Table", "HR");
    ASSERT_EQ(preview.rows.size(), 2u);
    EXPECT_EQ(preview.rows[0],
              (std::vector<std::string>{"it's long", "7", "0AFF", "CAFE", "1.5", "-0.1", "2011-03-05 12:20:30.5 +02:00",
                                        "2009-01-16 09:00:00", "-2-3", "4 05:12:10.222000000", "R\u00E9&\U0001F600",
                                        "x ", "NULL"}));
    EXPECT_EQ(preview.rows[1], (std::vector<std::string>{"NULL", "8", "NULL", "NULL", "NaN", "Inf", "NULL", "NULL",
                                                         "NULL", "NULL", "NULL", "NULL", "NULL"}));

    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_EQ(file("HR_create\\TYPES.sql"),
              script("Create Table HR.TYPES( \"NOTES\" Long, \"ID\" Number(4), \"R\" Raw(4), \"PIC\" Long Raw, "
                     "\"F\" Binary_Float, \"D\" Binary_Double, \"TZ\" Timestamp(3) With Time Zone, "
                     "\"LTZ\" Timestamp(6) With Local Time Zone, \"YM\" Interval Year(3) To Month, "
                     "\"DS\" Interval Day(2) To Second(6), \"NV\" Nvarchar2(10), \"NC\" Nchar(2), \"RID\" Rowid);\r\nExit;"));
    EXPECT_EQ(file("HR_data\\TYPESData.sql"),
              script("insert into HR.TYPES values ('it''s long','7',HEXTORAW('0AFF'),HEXTORAW('CAFE'),1.5f,-0.1d,"
                     "TO_TIMESTAMP_TZ('2011-03-05 12:20:30.5 +02:00','YYYY-MM-DD HH24:MI:SS.FF TZH:TZM'),"
                     "TO_TIMESTAMP('2009-01-16 09:00:00','YYYY-MM-DD HH24:MI:SS'),INTERVAL '-2-3' YEAR(9) TO MONTH,"
                     "INTERVAL '4 05:12:10.222000000' DAY(9) TO SECOND(9),UNISTR('R\\00E9\\0026\\D83D\\DE00'),"
                     "UNISTR('x '),NULL ) ; \r\nCommit;\r\n"
                     "insert into HR.TYPES values (NULL,'8',NULL,NULL,BINARY_FLOAT_NAN,BINARY_DOUBLE_INFINITY,NULL,NULL,NULL,"
                     "NULL,NULL,NULL,NULL ) ; \r\nCommit;\r\nExit;"));
}

// Byte ranges of a datafile that fail to read as a bad sector does (EIO).
ReadFaults badSectors(std::vector<std::pair<std::int64_t, std::int64_t>> ranges) {
    return [ranges = std::move(ranges)](std::int64_t position, std::size_t length) {
        const std::int64_t end = position + static_cast<std::int64_t>(length);
        return std::any_of(ranges.begin(), ranges.end(),
                           [&](const auto& range) { return position < range.second && range.first < end; });
    };
}

// HR.NOTES over several blocks, beside the DEPT and EMP of hrScenario.
forge::Scenario notesScenario(int rows) {
    forge::Scenario s = hrScenario();
    forge::TableDef& notes =
        s.schemas.front().table("NOTES", 51003).column("ID", "NUMBER(4)").column("TEXT", "VARCHAR2(200)");
    for (int id = 1; id <= rows; ++id) notes.row({std::to_string(id), std::string(150, 'n')});
    return s;
}

// One sector (512 bytes, past the block's header) of the CON$ block and one of
// the third NOTES block cannot be read: both are skipped, named with their file,
// block and byte offset, and counted; every other row and name comes through.
TEST_F(SavingForgeTest, BadSectorsInTheDictionaryAndATableBlockAreSkippedNamedAndCounted) {
    const std::string path = (dir_ / "system01.dbf").string();
    const forge::WriteSummary summary = forge::writeDatafile(notesScenario(400), path);
    const std::vector<std::int64_t>& notesBlocks = summary.segmentBlocks.at(51003);
    ASSERT_GE(notesBlocks.size(), 4u);
    const std::int64_t conBlock = summary.segmentBlocks.at(kConstraintNameSegment).front();
    const std::int64_t notesBlock = notesBlocks[2];
    constexpr std::int64_t kSector = 512;
    const auto sectorOf = [&](std::int64_t block) {
        return std::pair{block * kBlockSize + 2 * kSector, block * kBlockSize + 3 * kSector};
    };
    ASSERT_FALSE(recovery_.database.datafiles.open({path}));
    recovery_.database.datafiles.at(0).file.setReadFaults(badSectors({sectorOf(conBlock), sectorOf(notesBlock)}));
    recovery_.options = RecoveryOptions(RecoveryOption::AllButSys);
    RecordingLog log;
    ProgressSink silent;
    ASSERT_EQ(runAnalysis(recovery_, silent, messages_, kCaption, {}, &log), AnalysisResult::analysisCompleted);
    EXPECT_EQ(recovery_.catalog.dictionaryBlocksNotRead, 1);
    state_.progress = &sink_;
    ASSERT_EQ(runSaving(recovery_.analysed(), state_, messages_, log, clock_,
                        SavingSetup{dir_ / "out", "C:\\oracle\\bin", std::string(kCaption)}),
              SavingResult::saveCompleted);

    EXPECT_EQ(recovery_.database.datafiles.at(0).unreadable.all(), (std::vector<std::int64_t>{conBlock, notesBlock}));
    for (const std::int64_t block : {conBlock, notesBlock}) {
        const std::string named = path + ": block " + std::to_string(block) + " (byte offset " +
                                  std::to_string(block * kBlockSize) + ") cannot be read";
        EXPECT_NE(log.text().find(named), std::string::npos) << named << "\n" << log.text();
        EXPECT_EQ(std::count_if(messages_.messages.begin(), messages_.messages.end(),
                                [&](const std::string& m) { return m.find(named) != std::string::npos; }),
                  1)
            << named;
    }
    EXPECT_NE(log.text().find("1 dictionary blocks not read"), std::string::npos);

    ASSERT_EQ(state_.tableAccounts.size(), 3u);
    const RowCounts& notes = state_.tableAccounts[2].counts;
    EXPECT_EQ(state_.tableAccounts[2].table, "NOTES");
    EXPECT_EQ(notes.unreadableBlocks, 1);
    EXPECT_EQ(state_.tableAccounts[0].counts.rowsWritten, 3);  // DEPT, whole
    // The rows before and after the bad block, and only those, are written.
    const std::string data = file("HR_data\\NOTESData.sql");
    EXPECT_GT(notes.rowsWritten, 200);
    EXPECT_LT(notes.rowsWritten, 400);
    std::size_t statements = 0;
    for (std::size_t at = data.find("insert into"); at != std::string::npos; at = data.find("insert into", at + 1))
        ++statements;
    EXPECT_EQ(statements, static_cast<std::size_t>(notes.rowsWritten));
    EXPECT_NE(data.find("values ('1',"), std::string::npos);
    EXPECT_NE(data.find("values ('400',"), std::string::npos);
    // The tables' own scripts do not depend on the lost CON$ block.
    EXPECT_EQ(file("HR_create\\DEPT.sql"), script("Create Table HR.DEPT( \"DEPTNO\" Number(2), \"DNAME\" Varchar2(14));\r\nExit;"));
}

// A close that fails (a disk that reports a lost write only there) ends the
// save like any failed write, naming the data script and the system's reason.
TEST_F(SavingForgeTest, ADataScriptWhoseCloseFailsEndsTheSaveNamingIt) {
    analyse(hrScenario());
    state_.closeDataScript = [](int fd) {
        ::close(fd);
        errno = EIO;
        return -1;
    };
    EXPECT_EQ(save(), SavingResult::cannotOpenTargetFile);
    const std::string named = "DEPTData.sql: " + std::string(std::strerror(EIO));
    ASSERT_FALSE(messages_.messages.empty());
    EXPECT_NE(messages_.messages[0].find(named), std::string::npos) << messages_.messages[0];
    EXPECT_TRUE(fs::exists(dir_ / "out" / std::string(kIncompleteNoteName)));
}

class SavingForgeRelease : public SavingForgeTest, public ::testing::WithParamInterface<int> {};

TEST_P(SavingForgeRelease, WritesItsViewsTriggersAndProcedures) {
    analyse(hrScenario(), GetParam());
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_EQ(state_.viewsWritten, 1);
    EXPECT_EQ(state_.triggersWritten, 1);
    EXPECT_EQ(file("Views\\Views.sql"), script("Create or Replace View HR.DEPT_V as select DNAME\r\nfrom DEPT;\r\n\r\n\r\nExit;"));
    EXPECT_NE(file("Triggers\\Triggers.sql").find("Create or Replace Trigger HR.DEPT_BI before insert on HR.DEPT"),
              std::string::npos);
    EXPECT_NE(file("Procedures\\Procedures.sql").find("Create or replace Function HR. NET_PAY"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Releases, SavingForgeRelease, ::testing::Values(9, 10, 11));

TEST_F(SavingForgeTest, StopInTheMiddleOfATablesRowsWritesNothingMore) {
    forge::Scenario s;
    forge::TableDef& big = s.user("HR", 30).table("BIG", 51001).column("ID", "NUMBER(6)").column("PAD", "VARCHAR2(200)");
    for (int i = 0; i < 400; ++i) big.row({std::to_string(i), std::string(150, 'x')});
    s.findSchema("HR")->view("BIG_V", "select ID from BIG", {"ID"});
    analyse(s);
    // Stop once the first block's rows are in the data script.
    sink_.onCurrent = [this](int) {
        if (state_.dataPhase && fs::exists(state_.currentDataFile) && fs::file_size(state_.currentDataFile) > 0) {
            state_.savingAborted = true;
            state_.control.requestStop();
        }
    };
    ASSERT_EQ(save(), SavingResult::saveStopped);
    const std::string data = file("HR_data\\BIGData.sql");
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data.substr(data.size() - 11), "\r\nCommit;\r\n");  // ends after a whole row, without "Exit;"
    EXPECT_LT(std::count(data.begin(), data.end(), '\n'), 2 * 400);  // not every row
    EXPECT_EQ(file("Commit.bat").find("HR_data"), std::string::npos);
    EXPECT_EQ(file("Views\\Views.sql"), script(""));
    EXPECT_EQ(file("Triggers\\Triggers.sql"), script(""));
    EXPECT_EQ(file("Procedures\\Procedures.sql"), script(""));
    EXPECT_FALSE(fs::exists(dir_ / "out" / "Index"));
}

// Names that map to one file name: CJK and umlauts (one "_" per character),
// a blank beside an underscore, case twins, Windows device names, two schemas
// of one folder name, and a table name too long for a Commit.bat line. Each
// table gets a Create Table script and a data script of its own, and each
// script is listed once.
TEST_F(SavingForgeTest, TablesWhoseNamesMapAlikeGetFilesOfTheirOwn) {
    forge::Scenario s = forge::parseScenario(R"json({ "schemas": [
      { "name": "HR", "user": 30, "tables": [
        { "name": "顧客", "obj": 51001, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["1"] ] },
        { "name": "商品", "obj": 51002, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["2"] ] },
        { "name": "注文", "obj": 51003, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["3"] ] },
        { "name": "ÄRGER", "obj": 51004, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["4"] ] },
        { "name": "ÖRGER", "obj": 51005, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["5"] ] },
        { "name": "A B", "obj": 51006, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["6"] ] },
        { "name": "A_B", "obj": 51007, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["7"] ] },
        { "name": "Abc", "obj": 51008, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["8"] ] },
        { "name": "ABC", "obj": 51009, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["9"] ] },
        { "name": "CON", "obj": 51010, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["10"] ] },
        { "name": "con.x", "obj": 51011, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["11"] ] },
        { "name": "LPT9", "obj": 51012, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["12"] ] } ] },
      { "name": "MY USER", "user": 31, "tables": [
        { "name": "T", "obj": 51101, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["101"] ] } ] },
      { "name": "MY_USER", "user": 32, "tables": [
        { "name": "T", "obj": 51201, "columns": [ { "name": "ID", "type": "NUMBER(4)" } ], "rows": [ ["201"] ] } ] }
    ] })json");
    const std::string longName(250, 'L');
    s.findSchema("HR")->table(longName, 51013).column("ID", "NUMBER(4)").row({"13"});
    analyse(s, 11, "AL32UTF8");
    RecordingLog log;
    state_.progress = &sink_;
    ASSERT_EQ(runSaving(recovery_.analysed(), state_, messages_, log, clock_,
                        SavingSetup{dir_ / "out", "C:\\oracle\\bin", std::string(kCaption)}),
              SavingResult::saveCompleted);

    // Every table's statements, each in a script of its own.
    std::multiset<std::string> created;
    std::multiset<std::string> inserted;
    std::size_t scripts = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir_ / "out")) {
        const std::string folder = entry.path().parent_path().filename().string();
        if (!entry.is_regular_file() || !(folder.ends_with("_create") || folder.ends_with("_data"))) continue;
        ++scripts;
        const std::string text = readFile(entry.path());
        EXPECT_TRUE(text.ends_with("Exit;")) << entry.path();
        EXPECT_EQ(text.find("Exit;"), text.size() - 5) << entry.path();
        const bool create = folder.ends_with("_create");
        const std::string head = create ? "Create Table " : "insert into ";
        const std::size_t at = text.find(head);
        ASSERT_NE(at, std::string::npos) << entry.path();
        EXPECT_EQ(text.find(head, at + 1), std::string::npos) << entry.path();
        const std::size_t nameEnd = create ? text.find('(', at) : text.find(" values (", at);
        (create ? created : inserted).insert(text.substr(at + head.size(), nameEnd - at - head.size()));
    }
    std::multiset<std::string> tables = {"HR.\"顧客\"", "HR.\"商品\"", "HR.\"注文\"", "HR.\"ÄRGER\"",
                                         "HR.\"ÖRGER\"", "HR.\"A B\"", "HR.A_B", "HR.Abc", "HR.ABC", "HR.CON",
                                         "HR.\"con.x\"", "HR.LPT9", "HR." + longName, "\"MY USER\".T", "MY_USER.T"};
    EXPECT_EQ(created, tables);
    EXPECT_EQ(inserted, tables);
    EXPECT_EQ(scripts, 2 * tables.size());

    // Commit.bat and commit.sh list each script once, in the same order.
    std::vector<std::string> batPaths;
    std::istringstream bat(file("Commit.bat"));
    for (std::string line; std::getline(bat, line);) {
        if (line.starts_with(P)) batPaths.push_back(line.substr(P.size(), line.find('\r') - P.size()));
    }
    std::vector<std::string> shPaths;
    std::istringstream sh(file("commit.sh"));
    for (std::string line; std::getline(sh, line);) {
        if (line.starts_with("replay '")) shPaths.push_back(line.substr(8, line.size() - 9));
    }
    ASSERT_EQ(batPaths.size(), scripts + 6);  // and the users, index, constraints, trigger, view, procedure scripts
    ASSERT_EQ(shPaths.size(), batPaths.size());
    for (std::size_t i = 0; i < batPaths.size(); ++i) {
        EXPECT_EQ(std::count(batPaths.begin(), batPaths.end(), batPaths[i]), 1) << batPaths[i];
        EXPECT_EQ(outputPath({}, batPaths[i]).generic_string(), shPaths[i]);
        EXPECT_TRUE(fs::is_regular_file(outputPath(dir_ / "out", batPaths[i]))) << batPaths[i];
    }
    EXPECT_TRUE(fs::exists(outputPath(dir_ / "out", "HR_create\\CON_.sql")));
    EXPECT_TRUE(fs::exists(outputPath(dir_ / "out", "MY_USER_2_data\\TData.sql")));

    // The long name keeps its start in its file names, and the log tells which they are.
    const std::string shortened = std::string(153, 'L') + "_1";
    EXPECT_NE(file("HR_data\\" + shortened + "Data.sql").find("insert into HR." + longName + " values ('13' ) ; "),
              std::string::npos);
    EXPECT_NE(log.text().find("table HR." + longName + " is written to HR_create\\" + shortened + ".sql and HR_data\\" +
                              shortened + "Data.sql"),
              std::string::npos)
        << log.text();
}

// --- restorix recover ----------------------------------------------------------

struct CommandRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class RecoverCommandTest : public SavingForgeTest {
protected:
    void SetUp() override {
        SavingForgeTest::SetUp();
        home_ = dir_ / "home";
        fs::create_directories(home_);
    }
    // Runs the command with its own home, so the activity log lands there.
    // `shell` runs first in the same shell; `wrapper` starts the program.
    CommandRun run(const std::string& arguments, const std::string& shell = "", const std::string& wrapper = "") {
        const fs::path errors = dir_ / "stderr.txt";
        const std::string command = "cd '" + dir_.string() + "' && " + shell +
                                    " env -u RESTORIX_SETTINGS -u ORACLE_HOME HOME='" + home_.string() +
                                    "' XDG_STATE_HOME='" + home_.string() + "' XDG_CONFIG_HOME='" + home_.string() +
                                    "' " + wrapper + " '" RESTORIX_BINARY_DIR "/restorix' recover " + arguments +
                                    " 2>'" + errors.string() + "'";
        CommandRun result;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) return result;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
        const int status = ::pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.err = readFile(errors);
        return result;
    }
    void forgeFile(const forge::WriteOptions& options) {
        forge::writeDatafile(hrScenario(), (dir_ / "system01.dbf").string(), options);
    }
    std::vector<fs::path> outputFolders() {
        std::vector<fs::path> folders;
        for (const auto& entry : fs::directory_iterator(dir_ / "out")) folders.push_back(entry.path());
        return folders;
    }
    std::string activityLog() { return readFile(home_ / "restorix" / "Activity Log.txt"); }

    // Starts `restorix recover system01.dbf --output out --schemas all` as a
    // child with its own home, its output thrown away; returns its id.
    pid_t startRecover() {
        const pid_t child = ::fork();
        if (child == 0) {
            ::setenv("HOME", home_.c_str(), 1);
            ::setenv("XDG_STATE_HOME", home_.c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
            if (::chdir(dir_.c_str()) != 0) _exit(127);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, 1);
            ::dup2(devNull, 2);
            ::execl(RESTORIX_BINARY_DIR "/restorix", "restorix", "recover", "system01.dbf", "--output", "out",
                    "--schemas", "all", static_cast<char*>(nullptr));
            _exit(127);
        }
        return child;
    }

    fs::path home_;
};

TEST_F(RecoverCommandTest, WritesOneOutputFolderAndPrintsItsPathLast) {
    forgeFile(forge::WriteOptions());
    const CommandRun result = run("system01.dbf --output out --oracle-home /opt/oracle");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<fs::path> folders = outputFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].filename().string().rfind("XTRecovered_system01_", 0), 0u) << folders[0];
    EXPECT_EQ(result.out, fs::canonical(folders[0]).string() + "\n");
    const std::string importBat = readFile(folders[0] / "Import.bat");
    EXPECT_NE(importBat.find("\r\nCommit /opt/oracle\\bin %Enter"), std::string::npos);
    EXPECT_EQ(readFile(folders[0] / "HR_data" / "DEPTData.sql").substr(kSqlScriptHead.size(), 50),
              "insert into HR.DEPT values ('10','ACCOUNTING' ) ; ");

    // The whole run's log lines, in order.
    const std::string log = activityLog();
    std::size_t at = 0;
    for (const char* line : {"Restorix For Oracle Database", "STEP 1::", "Dbf Source Path: ",
                             "/************** Step:2 Saving process started ***********/",
                             "Process Completed successfully at time "}) {
        const std::size_t found = log.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "\n" << log;
        if (found != std::string::npos) at = found;
    }
}

TEST_F(RecoverCommandTest, AccountsForEveryTableInTheReportOnStderrAndInTheLog) {
    forgeFile(forge::WriteOptions());
    const CommandRun result = run("system01.dbf --output out --report report.json");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string totals = "2 tables, 3 rows written, 0 rows not recovered";
    EXPECT_NE(result.err.find(totals + "\n"), std::string::npos) << result.err;
    EXPECT_NE(activityLog().find("Recovered: " + totals + "\r\n"), std::string::npos);

    const nlohmann::json report = nlohmann::json::parse(readFile(dir_ / "report.json"));
    ASSERT_EQ(report["tables"].size(), 2u);
    const nlohmann::json& dept = report["tables"][0];
    EXPECT_EQ(dept["schema"], "HR");
    EXPECT_EQ(dept["name"], "DEPT");
    EXPECT_EQ(dept["rowsWritten"], 3);
    EXPECT_EQ(dept["created"], true);
    EXPECT_EQ(dept["notRecovered"], nlohmann::json({{"undecodableValues", 0}, {"brokenChainRows", 0},
                                                    {"valuesTooLongForAScript", 0}, {"unreadableBlocks", 0},
                                                    {"rowsWithExtraValues", 0}, {"columnsUnreadable", 0},
                                                    {"rowsOfTableNotCreated", 0}}));
    EXPECT_EQ(report["tables"][1]["name"], "EMP");
    EXPECT_EQ(report["totals"]["rowsWritten"], 3);
    EXPECT_EQ(report["totals"]["rowsNotRecovered"], 0);
    EXPECT_EQ(report["complete"], true);
    EXPECT_EQ(report["totals"]["blocksNotRead"], 0);
    EXPECT_EQ(report["dictionaryBlocksNotRead"], 0);
    EXPECT_EQ(report["unreadableBlocks"], nlohmann::json::array());
    EXPECT_EQ(report["cutShortDatafiles"], nlohmann::json::array());
}

// A table with a SET UNUSED column among rows of every length, one of them
// storing values beyond every column (a damaged column count); a table with
// a damaged COL$ row. Every row of the first is written exactly, the bad
// one with its columns and counted; the second is not created and says so.
TEST_F(RecoverCommandTest, StoredValuesFollowTheirColumnsAndADamagedColumnRowIsTold) {
    forge::Scenario s;
    forge::SchemaDef& hr = s.user("HR", 30);
    forge::TableDef& orders = hr.table("ORDERS", 51001)
                                  .column("ID", "NUMBER(6)")
                                  .column("OLD_CODE", "VARCHAR2(10)")
                                  .column("NOTE", "VARCHAR2(20)")
                                  .column("QTY", "NUMBER(4)");
    orders.columns[1].unused = true;
    std::string expected;
    for (int i = 1; i <= 40; ++i) {
        const std::string id = std::to_string(i);
        // Some rows end before QTY or NOTE; their missing columns are NULL.
        const forge::Value note = i % 5 == 0 ? forge::Value() : forge::Value("note " + id);
        const forge::Value qty = i % 3 == 0 ? forge::Value() : forge::Value(std::to_string(i * 10));
        orders.row({id, "gone " + id, note, qty});
        if (i == 7) orders.rows.back().extraValues = {"stray", std::nullopt, "bytes"};
        expected += "insert into HR.ORDERS values ('" + id + "'," + (note ? "'" + *note + "'" : "NULL") + "," +
                    (qty ? "'" + *qty + "'" : "NULL") + " ) ; \r\nCommit;\r\n";
    }
    forge::TableDef& broken = hr.table("BROKEN", 51002).column("ID", "NUMBER(6)").column("AMOUNT", "NUMBER(8,2)");
    broken.columns[1].damaged = forge::CatalogDamage{std::nullopt, std::nullopt, 40};
    broken.row({"1", "2.5"}).row({"2", "3.5"}).row({"3", std::nullopt});
    forge::writeDatafile(s, (dir_ / "system01.dbf").string(), forge::WriteOptions());

    const CommandRun result = run("system01.dbf --output out --report report.json");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<fs::path> folders = outputFolders();
    ASSERT_EQ(folders.size(), 1u);
    const fs::path& root = folders[0];
    EXPECT_EQ(readFile(root / "HR_create" / "ORDERS.sql"),
              script("Create Table HR.ORDERS( \"ID\" Number(6), \"NOTE\" Varchar2(20), \"QTY\" Number(4));\r\nExit;"));
    EXPECT_EQ(readFile(root / "HR_data" / "ORDERSData.sql"), script(expected + "Exit;"));

    const std::string note = "HR.BROKEN is not created: the COL$ row of column 2 \"AMOUNT\" cannot be read (its "
                             "precision cannot be); its rows are not written.";
    EXPECT_EQ(readFile(root / "HR_create" / "BROKEN.sql"), script("REM " + note + "\r\nExit;"));
    EXPECT_EQ(readFile(root / "HR_data" / "BROKENData.sql").find("insert"), std::string::npos);
    const std::string commitBat = readFile(root / "Commit.bat");
    EXPECT_NE(commitBat.find("ORDERSData.sql"), std::string::npos);
    EXPECT_EQ(commitBat.find("BROKEN"), std::string::npos) << commitBat;
    EXPECT_EQ(readFile(root / "commit.sh").find("BROKEN"), std::string::npos);
    EXPECT_NE(result.err.find(note), std::string::npos) << result.err;
    EXPECT_NE(activityLog().find(note), std::string::npos);

    const std::string totals = "2 tables, 40 rows written, 3 rows not recovered, 1 tables not created, "
                               "1 rows with values of no column\n";
    EXPECT_NE(result.err.find(totals), std::string::npos) << result.err;
    const nlohmann::json report = nlohmann::json::parse(readFile(dir_ / "report.json"));
    ASSERT_EQ(report["tables"].size(), 2u);
    EXPECT_EQ(report["tables"][0]["rowsWritten"], 40);
    EXPECT_EQ(report["tables"][0]["created"], true);
    EXPECT_EQ(report["tables"][0]["notRecovered"]["rowsWithExtraValues"], 1);
    EXPECT_EQ(report["tables"][1]["name"], "BROKEN");
    EXPECT_EQ(report["tables"][1]["created"], false);
    EXPECT_EQ(report["tables"][1]["rowsWritten"], 0);
    EXPECT_EQ(report["tables"][1]["notRecovered"]["columnsUnreadable"], 1);
    EXPECT_EQ(report["tables"][1]["notRecovered"]["rowsOfTableNotCreated"], 3);
    EXPECT_EQ(report["totals"]["tablesNotCreated"], 1);
    EXPECT_EQ(report["totals"]["rowsNotRecovered"], 3);
}

// Told before the analysis: nothing is saved, and the file named as the
// report is left as it was.
TEST_F(RecoverCommandTest, AReportThatCannotBeWrittenNamesTheFileAndTheReason) {
    forgeFile(forge::WriteOptions());
    fs::create_directories(dir_ / "a-folder");
    const std::string datafile = readFile(dir_ / "system01.dbf");
    const std::pair<std::string, std::string> cases[] = {{"no-such-folder/report.json", std::strerror(ENOENT)},
                                                         {"a-folder", std::strerror(EISDIR)},
                                                         {"./system01.dbf", "it is one of the datafiles"}};
    for (const auto& [report, reason] : cases) {
        const CommandRun result = run("system01.dbf --output out --report " + report);
        EXPECT_EQ(result.exitCode, 1) << report;
        EXPECT_NE(result.err.find(report + ": the report cannot be written: " + reason), std::string::npos)
            << result.err;
        EXPECT_EQ(result.out, "") << report;
        EXPECT_TRUE(outputFolders().empty()) << report;
    }
    EXPECT_EQ(readFile(dir_ / "system01.dbf"), datafile);
}

TEST_F(RecoverCommandTest, AMissingOutputFolderIsRefusedBeforeAnythingElse) {
    const CommandRun result = run("no-such.dbf --output missing");
    EXPECT_EQ(result.exitCode, 6);
    EXPECT_EQ(result.err, "Saving path doesn't exist, select another path for saving \n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(activityLog(), "");
}

TEST_F(RecoverCommandTest, AnUnsupportedReleaseWritesNothing) {
    forge::WriteOptions options;
    options.releaseText = "8.1.7.0.0";
    forgeFile(options);
    const CommandRun result = run("system01.dbf --output out");
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("Oracle Version not supported.Application exiting."), std::string::npos);
    EXPECT_TRUE(outputFolders().empty());
}

TEST_F(RecoverCommandTest, ABlockSizeTooBigStillWritesTheEmptyOutput) {
    forge::WriteOptions options;
    options.headerBlockSize = 16384;
    forgeFile(options);
    const CommandRun result = run("system01.dbf --output out --schemas all");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Block size too big"), std::string::npos);
    const std::vector<fs::path> folders = outputFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(readFile(folders[0] / "Users" / "Users.sql"), script("\r\nExit;"));
}

// A datafile that cannot be opened: exit 2, the message, and on the next
// line the file and the reason. Nothing blocks, nothing is written.
struct RefusedDatafileCase {
    const char* what;
    std::function<void(const fs::path& dir)> prepare;
    bool asAnotherUser;  // a file this user may not read (root reads every file)
    std::string err;
};
void PrintTo(const RefusedDatafileCase& c, std::ostream* os) { *os << c.what; }

class RefusedDatafile : public RecoverCommandTest, public ::testing::WithParamInterface<RefusedDatafileCase> {};

TEST_P(RefusedDatafile, ExitsWithTwoAndTheReason) {
    const RefusedDatafileCase& c = GetParam();
    c.prepare(dir_);
    const bool root = ::geteuid() == 0;
    // The other user may enter the test's folder (mkdtemp makes it the owner's alone).
    if (c.asAnotherUser) fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string wrapper =
        "timeout 20 " + std::string(c.asAnotherUser && root ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "");
    const CommandRun result = run("x.dbf --output out", "", wrapper);
    std::error_code ignored;
    fs::permissions(dir_ / "closed", fs::perms::owner_all, ignored);  // so that the folder can be removed
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, c.err);
    EXPECT_TRUE(outputFolders().empty());
}

const std::string kInUse = "The selected file is already being used by another process.\n";
const std::string kNotAllowed = "You are not allowed to read this file.\n";

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedDatafile,
    ::testing::Values(
        RefusedDatafileCase{"missing", [](const fs::path&) {}, false, "No such file exists.\n"},
        RefusedDatafileCase{"folder", [](const fs::path& dir) { fs::create_directory(dir / "x.dbf"); }, false,
                            "No such file exists.\nx.dbf: it is a folder\n"},
        RefusedDatafileCase{"fifo", [](const fs::path& dir) { ::mkfifo((dir / "x.dbf").c_str(), 0666); }, false,
                            "No such file exists.\nx.dbf: it is a FIFO\n"},
        RefusedDatafileCase{"permission_denied",
                            [](const fs::path& dir) {
                                std::ofstream(dir / "x.dbf") << "data";
                                fs::permissions(dir / "x.dbf", fs::perms::none);
                            },
                            true, kNotAllowed + "x.dbf: Permission denied\n"},
        RefusedDatafileCase{"folder_not_entered",
                            [](const fs::path& dir) {
                                fs::create_directory(dir / "closed");
                                std::ofstream(dir / "closed" / "x.dbf") << "data";
                                fs::permissions(dir / "closed", fs::perms::none);
                                fs::create_symlink("closed/x.dbf", dir / "x.dbf");
                            },
                            true, kNotAllowed + "x.dbf: a folder on its path cannot be entered: Permission denied\n"}),
    [](const auto& info) { return std::string(info.param.what); });

// Several datafiles that cannot be read together: exit 2 before anything is
// written, the file at fault named with what is wrong with it.
struct RefusedSetCase {
    const char* what;
    std::function<void(const fs::path& dir)> prepare;  // after the three files were forged
    std::string files;
    std::string err;
};
void PrintTo(const RefusedSetCase& c, std::ostream* os) { *os << c.what; }

class RefusedDatafileSet : public RecoverCommandTest, public ::testing::WithParamInterface<RefusedSetCase> {};

// A copy of USERS01.DBF whose file header says another relative file number and database id.
void forgeForeignFile(const fs::path& dir) {
    std::string bytes = readFile(dir / "USERS01.DBF");
    const auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    put32(kBlockSize + 28, 42);
    put32(kBlockSize + 368, 9);
    std::ofstream(dir / "OTHER.DBF", std::ios::binary) << bytes;
}

TEST_P(RefusedDatafileSet, ExitsWithTwoNamingTheFile) {
    const RefusedSetCase& c = GetParam();
    forge::writeMultifileDatabase(dir_.string());
    c.prepare(dir_);
    const CommandRun result = run(c.files + " --output out");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "The datafiles cannot be read together.\n" + c.err);
    EXPECT_TRUE(outputFolders().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedDatafileSet,
    ::testing::Values(
        RefusedSetCase{"not_a_datafile", [](const fs::path& dir) { std::ofstream(dir / "notes.dbf") << "notes"; },
                       "SYSTEM01.DBF notes.dbf",
                       "notes.dbf: it is not an Oracle datafile: it has no valid file header\n"},
        RefusedSetCase{"given_twice", [](const fs::path&) {}, "SYSTEM01.DBF USERS01.DBF ./USERS01.DBF",
                       "./USERS01.DBF: it is also given as USERS01.DBF\n"},
        RefusedSetCase{"same_file_number",
                       [](const fs::path& dir) { fs::copy_file(dir / "USERS01.DBF", dir / "COPY.DBF"); },
                       "SYSTEM01.DBF USERS01.DBF COPY.DBF",
                       "COPY.DBF: its relative file number 4 is also that of USERS01.DBF\n"},
        RefusedSetCase{"other_database", forgeForeignFile, "OTHER.DBF SYSTEM01.DBF USERS01.DBF",
                       "OTHER.DBF: it belongs to another database: database id 42, the SYSTEM file's is " +
                           std::to_string(forge::kForgedDatabaseId) + "\n"}),
    [](const auto& info) { return std::string(info.param.what); });

// The rows of every table, whatever the order the files are given in.
TEST_F(RecoverCommandTest, SeveralDatafilesInAnyOrderGiveEveryRow) {
    forge::writeMultifileDatabase(dir_.string());
    const auto sortedRows = [&](const std::string& files) {
        fs::remove_all(dir_ / "out");
        fs::create_directories(dir_ / "out");
        const CommandRun result = run(files + " --output out");
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::vector<std::string> rows;
        for (const auto& entry : fs::recursive_directory_iterator(dir_ / "out")) {
            if (entry.path().parent_path().filename() != "SHOP_data") continue;
            std::istringstream lines(readFile(entry.path()));
            for (std::string line; std::getline(lines, line);)
                if (line.starts_with("insert")) rows.push_back(line);
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    const std::vector<std::string> rows = sortedRows("SYSTEM01.DBF USERS01.DBF DATA01.DBF");
    EXPECT_EQ(rows.size(), 5u + 6u + 12u);
    EXPECT_EQ(sortedRows("DATA01.DBF USERS01.DBF SYSTEM01.DBF"), rows);
    // The SYSTEM file alone has the tables' definitions but none of their rows.
    EXPECT_TRUE(sortedRows("SYSTEM01.DBF").empty());
}

// The scan lists every file with what its headers say; a block whose own
// address disagrees with its place is read all the same and counted.
TEST_F(RecoverCommandTest, ScanListsEveryDatafile) {
    forge::writeMultifileDatabase(dir_.string());
    std::string users = readFile(dir_ / "USERS01.DBF");
    std::size_t block = 2;
    while (users[block * kBlockSize] != static_cast<char>(kDataBlockType)) ++block;
    users[block * kBlockSize + 4] ^= 1;  // the first data block's own address
    std::ofstream(dir_ / "USERS01.DBF", std::ios::binary) << users;
    const std::string command = "cd '" + dir_.string() + "' && '" RESTORIX_BINARY_DIR
                                "/restorix' scan DATA01.DBF SYSTEM01.DBF USERS01.DBF 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0);
    for (const char* line : {"Datafile 1: DATA01.DBF: relative file 5, block size 16384, little-endian, 15 blocks, 0 data blocks out of place\n",
                             "Datafile 2: SYSTEM01.DBF (SYSTEM): relative file 1, block size 8192, little-endian, ",
                             "Datafile 3: USERS01.DBF: relative file 4, block size 8192, little-endian, 17 blocks, 1 data blocks out of place\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\nin:\n" << out;
}

// A file of the set cut short is read as far as it goes, with a warning
// naming it; the report calls the recovery incomplete and counts the blocks
// missing, as the totals line does.
TEST_F(RecoverCommandTest, ADatafileOfTheSetCutShortIsNamedInTheWarningAndCountedInTheReport) {
    forge::writeMultifileDatabase(dir_.string());
    fs::resize_file(dir_ / "USERS01.DBF", 8 * kBlockSize);
    const CommandRun result = run("SYSTEM01.DBF USERS01.DBF DATA01.DBF --output out --report report.json");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("USERS01.DBF: the datafile ends at block 7 of 16: it was cut short"), std::string::npos)
        << result.err;
    EXPECT_NE(activityLog().find("USERS01.DBF: the datafile ends at block 7"), std::string::npos);

    // Blocks 8 to 16 are missing.
    EXPECT_NE(result.err.find(", 9 blocks not read\n"), std::string::npos) << result.err;
    const nlohmann::json report = nlohmann::json::parse(readFile(dir_ / "report.json"));
    EXPECT_EQ(report["complete"], false);
    EXPECT_EQ(report["totals"]["blocksNotRead"], 9);
    EXPECT_EQ(report["cutShortDatafiles"],
              nlohmann::json::parse(R"([{"file": "USERS01.DBF", "lastBlock": 7, "headerBlocks": 16, "missingBlocks": 9}])"));
    EXPECT_EQ(report["unreadableBlocks"], nlohmann::json::array());
}

TEST_F(RecoverCommandTest, ADatafileHeldByAnotherProcessSaysSo) {
    std::ofstream(dir_ / "x.dbf") << "data";
    CFile64 holder;
    ASSERT_TRUE(holder.open((dir_ / "x.dbf").string()));
    const CommandRun result = run("x.dbf --output out");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, kInUse + "x.dbf: another process holds it\n");
}

// A file-size limit as a full disk: the save ends with exit 1 naming the
// file and the reason, logs it and leaves INCOMPLETE.txt.
TEST_F(RecoverCommandTest, AFileSizeLimitEndsTheSaveWithExitOne) {
    forgeFile(forge::WriteOptions());
    const CommandRun result = run("system01.dbf --output out", "trap '' XFSZ; ulimit -f 1;");
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<fs::path> folders = outputFolders();
    ASSERT_EQ(folders.size(), 1u);
    // commit.sh, with its header, is the first file over the limit.
    const std::string reason = "commit.sh: " + std::string(std::strerror(EFBIG));
    EXPECT_NE(result.err.find("Cannot open target file\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(reason + "\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("INCOMPLETE.txt"), std::string::npos) << result.err;
    EXPECT_NE(readFile(folders[0] / "INCOMPLETE.txt").find(reason), std::string::npos);
    EXPECT_NE(activityLog().find(reason), std::string::npos);
    EXPECT_EQ(result.out, "");
}

// Ctrl-C at moments spread over a whole run, the end of the analysis
// included: a run still going when it comes ends with 130 (or by the signal
// itself, which a shell shows as 130), never with success.
TEST_F(RecoverCommandTest, CtrlCAtAnyMomentEndsTheRunWith130) {
    forge::WriteOptions options;
    options.fileSize = 2 << 20;
    forgeFile(options);
    const auto start = [&] { return startRecover(); };
    const auto began = std::chrono::steady_clock::now();
    int status = 0;
    const pid_t whole = start();
    ASSERT_EQ(::waitpid(whole, &status, 0), whole);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto runTime = std::chrono::steady_clock::now() - began;

    int interruptedRuns = 0;
    for (int step = 0; step < 8; ++step) {
        const pid_t child = start();
        std::this_thread::sleep_for(runTime * step / 8);
        if (::waitpid(child, &status, WNOHANG) == child) continue;  // over before the Ctrl-C
        ::kill(child, SIGINT);
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const bool interrupted = (WIFEXITED(status) && WEXITSTATUS(status) == 130) ||
                                 (WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
        EXPECT_TRUE(interrupted) << "Ctrl-C after " << step << "/8 of the run: status " << status;
        interruptedRuns += interrupted ? 1 : 0;
    }
    EXPECT_GT(interruptedRuns, 0);
}

// The request to end that a service manager (SIGTERM) or a closed terminal
// (SIGHUP) sends in the middle of a table's rows is a Stop, as Ctrl-C is:
// INCOMPLETE.txt, only whole scripts in Commit.bat and commit.sh, and the
// shell's status for the signal.
class EndingSignal : public RecoverCommandTest, public ::testing::WithParamInterface<int> {};

TEST_P(EndingSignal, StopsTheSaveAsCtrlCDoes) {
    forge::Scenario s = hrScenario();
    forge::WriteOptions options;
    options.bulkTable = forge::addBenchTable(s);
    options.fileSize = 48 << 20;
    forge::writeDatafile(s, (dir_ / "system01.dbf").string(), options);
    const pid_t child = startRecover();
    // Waits until the big table's rows are being written.
    const auto dataScript = [&]() -> std::optional<fs::path> {
        std::error_code ignored;
        for (const auto& folder : fs::directory_iterator(dir_ / "out", ignored))
            if (fs::path script = folder.path() / "BENCH_data" / "BIG_TABLEData.sql";
                fs::is_regular_file(script, ignored) && fs::file_size(script, ignored) > 0)
                return script;
        return std::nullopt;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int status = 0;
    while (!dataScript() && std::chrono::steady_clock::now() < deadline && ::waitpid(child, &status, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::optional<fs::path> script = dataScript();
    ::kill(child, script ? GetParam() : SIGKILL);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(script) << "the save never reached the big table's rows, or ended before";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself: status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + GetParam());

    const fs::path root = script->parent_path().parent_path();
    EXPECT_NE(readFile(root / "INCOMPLETE.txt").find("the save was stopped"), std::string::npos);
    std::istringstream lines(readFile(root / "commit.sh"));
    std::size_t replayed = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("replay '")) continue;
        const std::string listed = line.substr(8, line.size() - 9);
        EXPECT_TRUE(readFile(root / listed).ends_with("Exit;")) << listed << " is listed but not whole";
        EXPECT_NE(listed, "BENCH_data/BIG_TABLEData.sql");
        ++replayed;
    }
    EXPECT_GT(replayed, 0u) << readFile(root / "commit.sh");
    const std::string commitBat = readFile(root / "Commit.bat");
    EXPECT_EQ(commitBat.find("BIG_TABLEData.sql"), std::string::npos);
    std::size_t listedInBat = 0;
    for (std::size_t at = 0; (at = commitBat.find("sqlplus.exe", at)) != std::string::npos; ++at) ++listedInBat;
    EXPECT_EQ(listedInBat, replayed) << "Commit.bat lists what commit.sh lists";
}

INSTANTIATE_TEST_SUITE_P(Signals, EndingSignal, ::testing::Values(SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// A report asked into a FIFO: with no program reading it the run is refused
// at once, before anything is written, rather than waiting for ever; with a
// reader the report arrives through it.
TEST_F(RecoverCommandTest, AReportIntoAFifoNeverWaitsForAReader) {
    forgeFile(forge::WriteOptions());
    ASSERT_EQ(::mkfifo((dir_ / "report.fifo").c_str(), 0600), 0);
    const CommandRun unread = run("system01.dbf --output out --report report.fifo", "", "timeout 60");
    EXPECT_EQ(unread.exitCode, 1);
    EXPECT_EQ(unread.err, "report.fifo: the report cannot be written: it is a FIFO that no program reads from\n");
    EXPECT_TRUE(outputFolders().empty());

    const int reader = ::open((dir_ / "report.fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const CommandRun read = run("system01.dbf --output out --report report.fifo", "", "timeout 60");
    EXPECT_EQ(read.exitCode, 0) << read.err;
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
    ::close(reader);
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(nlohmann::json::parse(report)["complete"], true);
}

}  // namespace
