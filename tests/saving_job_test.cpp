// The saving job over catalogs built by hand (no datafile): the files of the
// output folder byte for byte, the order of Commit.bat, the recovery-option
// rule of the data step, hostile names, Stop and the controller.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dictionary/recovery.h"
#include "platform/clock.h"
#include "output/batch_files.h"
#include "output/output_files.h"
#include "output/saving_job.h"
#include "output/sqlplus_lines.h"
#include "output/shell_files.h"
#include "tools/forge/oracle_values.h"
#include "tests/test_sinks.h"
#include "tests/temp_folder.h"

using namespace restorix;
using namespace restorix::test;
namespace fs = std::filesystem;

namespace {

// A SQL script as the save writes it: its first line, then the text.
std::string script(std::string_view text) { return std::string(kSqlScriptHead) + std::string(text); }

const std::string P = " %1\\sqlplus.exe %2/%3@%4 @ ";  // every replay line starts so
const std::string kHeader =
    "@echo Restorix for Oracle \r\n@echo Replays the recovered scripts through sqlplus.\r\n"
    "@echo Recovered database processing script.";
const std::string kCodeReplayLines = "\r\n" + P + "Triggers\\Triggers.sql\r\n" + P + "Views\\Views.sql\r\n\r\n" + P +
                                     "Procedures\\Procedures.sql\r\n";
const std::string kIndexAndConstraintLines =
    "\r\n\r\n" + P + "Index\\Index.sql\r\n\r\n\r\n" + P + "Constraints\\Constraints.sql\r\n";

std::string usersBlock(const std::string& user) {
    return "CREATE USER " + user + " IDENTIFIED BY RCVRPWD DEFAULT TABLESPACE \"SYSTEM\";\r\n" +
           "GRANT UNLIMITED TABLESPACE TO " + user + " WITH ADMIN OPTION;\r\n" + "GRANT CONNECT,DBA,RESOURCE TO " +
           user + " WITH ADMIN OPTION;\r\n\r\n\r\n\r\n";
}

// The scripts Commit.bat replays, in its order.
std::vector<std::string> batchReplayed(const std::string& commitBat) {
    std::vector<std::string> scripts;
    for (std::size_t pos = commitBat.find(P); pos != std::string::npos; pos = commitBat.find(P, pos)) {
        pos += P.size();
        scripts.push_back(commitBat.substr(pos, commitBat.find("\r\n", pos) - pos));
    }
    return scripts;
}

// The scripts commit.sh replays, in its order, with Commit.bat's backslashes
// (the names here hold no quote to unescape).
std::vector<std::string> shellReplayed(const std::string& commitSh) {
    const std::string start = "replay '";
    std::vector<std::string> scripts;
    std::istringstream lines(commitSh);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(start, 0) != 0) continue;
        std::string path = line.substr(start.size(), line.size() - start.size() - 1);
        std::replace(path.begin(), path.end(), '/', '\\');
        scripts.push_back(path);
    }
    return scripts;
}

DictionaryNumber objectBytes(int number) { return number; }
DictionaryNumber constraintBytes(int number) { return number; }
// User numbers as the catalog holds them; SYS (0) as C1 01.
DictionaryNumber userBytes(int user) { return user; }

// Appends catalog entries the way the analysis leaves them.
struct CatalogBuilder {
    Catalog& catalog;

    void schema(const std::string& name, int user) {
        SchemaEntry entry;
        entry.userNumber = userBytes(user);
        entry.name = name;
        catalog.appendSchema(entry);
    }
    DictionaryNumber object(const std::string& name, int owner, int number, int type) {
        ObjectEntry entry;
        entry.objNumber = objectBytes(number);
        entry.ownerNumber = owner;
        entry.objType = type;
        entry.name = name;
        entry.objectNumber = number;
        entry.dataObjectNumber = number;
        catalog.appendObject(entry);
        return entry.objNumber;
    }
    DictionaryNumber table(const std::string& name, int owner, int number) { return object(name, owner, number, kTable); }
    // Lengths are stored one higher than the declared ones; a precision makes NUMBER(p).
    void column(const DictionaryNumber& table, int number, const std::string& name, int oracleType, int length,
                std::optional<int> precision = {}) {
        ColumnEntry entry;
        entry.objNumber = table;
        entry.columnNumber = number;
        entry.name = name;
        entry.oracleType = oracleType;
        entry.length = static_cast<std::int16_t>(length);
        entry.precision = precision;
        if (precision) entry.scale = 0;
        catalog.appendColumn(entry);
    }
    void constraint(const DictionaryNumber& table, int number, int type, const std::string& name,
                    const std::vector<int>& columns, const std::string& condition = "") {
        ConstraintDefEntry def;
        def.conNumber = constraintBytes(number);
        def.objNumber = table;
        def.conType = static_cast<std::uint8_t>(type);
        def.condition = condition;
        catalog.appendConstraintDef(def);
        if (!name.empty()) catalog.appendConstraintName({0, name, def.conNumber});
        for (int column : columns) catalog.appendConstraintColumn({def.conNumber, column, 0});
    }
};

// Records the calls; the worker and the controller both report to it.
class RecordingSink : public ProgressSink {
public:
    void setTableName(std::string_view text) override { record("table " + std::string(text)); }
    void setFilePath(std::string_view text) override { record("path " + std::string(text)); }
    void setCurrentProgress(int percent) override { record("current " + std::to_string(percent)); }
    void setOverallProgress(int percent) override { record("overall " + std::to_string(percent)); }
    void setSkipEnabled(bool enabled) override { record(enabled ? "skip on" : "skip off"); }

    std::function<void(const std::string&)> onEvent;  // set before the job starts
    std::vector<std::string> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }
    bool saw(const std::string& event) {
        const std::vector<std::string> all = events();
        return std::find(all.begin(), all.end(), event) != all.end();
    }

private:
    void record(const std::string& event) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        if (onEvent) onEvent(event);
    }
    std::mutex mutex_;
    std::vector<std::string> events_;
};

class SavingJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = scratch_.path();
        recovery_.options = RecoveryOptions(RecoveryOption::AllButSys);
        state_.progress = &sink_;
    }
    SavingResult save() {
        return runSaving(recovery_.analysed(), state_, messages_, log_, clock_,
                         SavingSetup{root_, "/opt/oracle\\bin", std::string(kCaption)});
    }
    std::string file(const std::string& relative) { return readFile(outputPath(root_, relative)); }
    bool exists(const std::string& relative) { return fs::exists(outputPath(root_, relative)); }

    // Every file and folder under the output root, relative, with "/".
    std::vector<std::string> tree() {
        std::vector<std::string> out;
        for (const auto& entry : fs::recursive_directory_iterator(root_))
            out.push_back(fs::relative(entry.path(), root_).generic_string());
        std::sort(out.begin(), out.end());
        return out;
    }

    TempFolder scratch_{"restorix-saving-job-"};
    fs::path root_;
    Recovery recovery_;
    CatalogBuilder build_{recovery_.catalog};
    SavingState state_;
    RecordingSink sink_;
    RecordingMessages messages_;
    RecordingLog log_;
    FixedClock clock_{makeLocalTime(2026, 6, 12, 14, 5, 9)};
};

// HR (user 30) with EMP(EMPNO NUMBER(4), ENAME VARCHAR2(10)), a primary key,
// a check and a NOT NULL check; SCOTT (31) without tables.
void buildHrCatalog(CatalogBuilder& build) {
    build.schema("HR", 30);
    build.schema("SCOTT", 31);
    const DictionaryNumber emp = build.table("EMP", 30, 51001);
    build.column(emp, 1, "EMPNO", oracle_type::kNumber, 5, 4);
    build.column(emp, 2, "ENAME", oracle_type::kVarchar2, 11);
    build.constraint(emp, 9001, 2, "EMP_PK", {1});
    build.constraint(emp, 9002, 1, "EMP_CK", {}, "EMPNO > 0");
    build.constraint(emp, 9003, 7, "", {}, "\"ENAME\" IS NOT NULL");
    build.object("EMP_V", 30, 51002, kView);
    build.object("EMP_T", 30, 51003, kTrigger);
}

TEST_F(SavingJobTest, WritesEveryFileOfTheOutputFolderByteForByte) {
    buildHrCatalog(build_);
    ASSERT_EQ(save(), SavingResult::saveCompleted);

    EXPECT_EQ(file("Users\\Users.sql"), script(usersBlock("HR") + usersBlock("SCOTT") + "\r\nExit;"));
    EXPECT_EQ(file("HR_create\\EMP.sql"), script("Create Table HR.EMP( \"EMPNO\" Number(4), \"ENAME\" Varchar2(10));\r\nExit;"));
    // No datafile: the table has no blocks, so its data script holds only the end line.
    EXPECT_EQ(file("HR_data\\EMPData.sql"), script("Exit;"));
    EXPECT_EQ(file("Index\\Index.sql"), script("CREATE UNIQUE INDEX HR.EMP_PK on HR.EMP(\"EMPNO\");\r\n\r\n\r\nExit;"));
    EXPECT_EQ(file("Constraints\\Constraints.sql"),
              script("ALTER TABLE HR.EMP ADD CONSTRAINT EMP_PK PRIMARY KEY (\"EMPNO\");\r\n\r\n"
                     "ALTER TABLE HR.EMP ADD CHECK(EMPNO > 0);\r\n\r\n"
                     "ALTER TABLE HR.EMP ADD CHECK (\"ENAME\" IS NOT NULL);\r\n\r\n"
                     "\r\nExit;"));
    EXPECT_EQ(file("Views\\Views.sql"), script("\r\nExit;"));
    EXPECT_EQ(file("Triggers\\Triggers.sql"), script("\r\nExit;"));
    EXPECT_EQ(file("Procedures\\Procedures.sql"), script("\r\nExit;"));
    EXPECT_EQ(file("Commit.bat"), kHeader + "\r\n" + P + "Users\\Users.sql\r\n" + "\r\n" + P + "HR_create\\EMP.sql" +
                                      "\r\n" + P + "HR_data\\EMPData.sql" + kIndexAndConstraintLines + kCodeReplayLines);
    EXPECT_EQ(file("Import.bat"), importBatText("/opt/oracle\\bin"));
    EXPECT_NE(file("Import.bat").find("\r\nCommit /opt/oracle\\bin %Enter Oracle UserName% %Enter Oracle Password% "
                                      "%Enter Oracle ServerName%\r\n\r\n"),
              std::string::npos);
    // SCOTT owns no table: an empty create folder and no data folder.
    EXPECT_EQ(tree(), (std::vector<std::string>{
                          "Commit.bat", "Constraints", "Constraints/Constraints.sql", "HR_create", "HR_create/EMP.sql",
                          "HR_data", "HR_data/EMPData.sql", "Import.bat", "Index", "Index/Index.sql", "Procedures",
                          "Procedures/Procedures.sql", "SCOTT_create", "Triggers", "Triggers/Triggers.sql", "Users",
                          "Users/Users.sql", "Views", "Views/Views.sql", "commit.sh", "import.sh"}));
    EXPECT_TRUE(messages_.shown.empty());
}

// The save only reads the catalog; its owner frees the main lists after a
// completed save, as both front ends do.
TEST_F(SavingJobTest, LeavesTheCatalogToItsOwnerToRelease) {
    buildHrCatalog(build_);
    const std::size_t objects = recovery_.catalog.objectList.size();
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_TRUE(state_.saveFinished);
    EXPECT_EQ(recovery_.catalog.objectList.size(), objects);
    recovery_.releaseAfterSaving();
    EXPECT_TRUE(recovery_.catalog.schemaList.empty());
    EXPECT_TRUE(recovery_.catalog.objectList.empty());
    EXPECT_TRUE(recovery_.catalog.columnList.empty());
    EXPECT_TRUE(recovery_.catalog.constraintDefs.empty());
}

TEST_F(SavingJobTest, AnEmptySchemaListStillWritesUsersImportAndCommit) {
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_EQ(file("Users\\Users.sql"), script("\r\nExit;"));
    EXPECT_EQ(file("Import.bat"), importBatText("/opt/oracle\\bin"));
    // Without a table, the first CR LF of the index step follows the Users lines: two empty lines.
    EXPECT_EQ(file("Commit.bat"),
              kHeader + "\r\n" + P + "Users\\Users.sql\r\n" + kIndexAndConstraintLines + kCodeReplayLines);
    EXPECT_EQ(file("Index\\Index.sql"), script("\r\nExit;"));
    EXPECT_EQ(file("Constraints\\Constraints.sql"), script("\r\nExit;"));
}

TEST_F(SavingJobTest, ASchemaWithoutTablesGetsAnEmptyCreateFolderAndAFullBar) {
    build_.schema("LONELY", 40);
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_EQ(file("Users\\Users.sql"), script(usersBlock("LONELY") + "\r\nExit;"));
    EXPECT_TRUE(fs::is_empty(root_ / "LONELY_create"));
    EXPECT_FALSE(exists("LONELY_data"));
    EXPECT_EQ(state_.overallDone, 1);  // the schema's own unit
    EXPECT_TRUE(sink_.saw("current 100"));
}

TEST_F(SavingJobTest, ATableNamedWithASlashIsWrittenUnderItsUnderscoreForm) {
    build_.schema("HR", 30);
    const DictionaryNumber ab = build_.table("A/B", 30, 51010);
    build_.column(ab, 1, "X", oracle_type::kVarchar2, 6);
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_EQ(file("HR_create\\A_B.sql"), script("Create Table HR.A_B( \"X\" Varchar2(5));\r\nExit;"));
    EXPECT_EQ(file("HR_data\\A_BData.sql"), script("Exit;"));
    EXPECT_NE(file("Commit.bat").find("\r\n" + P + "HR_create\\A_B.sql\r\n" + P + "HR_data\\A_BData.sql"),
              std::string::npos);
    // The label shows the stored name while the rows are read.
    EXPECT_TRUE(sink_.saw("table A/B"));
    EXPECT_EQ(state_.currentTable, "A_B");
    EXPECT_EQ(state_.qualifiedTable, "HR.A_B");
}

struct OptionCase {
    const char* what;
    RecoveryOption option;
    int user;
    bool dataRead;
};

class DataStepOption : public SavingJobTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(DataStepOption, ReadsRowsOnlyForTheUsersTheOptionCovers) {
    const OptionCase& c = GetParam();
    recovery_.options = RecoveryOptions(c.option);
    build_.schema("S", c.user);
    build_.table("T1", c.user, 51020);
    build_.table("T2", c.user, 51021);
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    // The Create Table scripts and the data folder are made whatever the option.
    EXPECT_TRUE(exists("S_create\\T1.sql"));
    EXPECT_TRUE(exists("S_create\\T2.sql"));
    EXPECT_TRUE(fs::is_directory(root_ / "S_data"));
    EXPECT_EQ(exists("S_data\\T1Data.sql"), c.dataRead);
    EXPECT_EQ(exists("S_data\\T2Data.sql"), c.dataRead);
    EXPECT_EQ(file("Commit.bat").find("S_data\\") != std::string::npos, c.dataRead);
}

INSTANTIATE_TEST_SUITE_P(Table, DataStepOption,
                         ::testing::Values(OptionCase{"users option, SYS", RecoveryOption::AllButSys, 0, false},
                                           OptionCase{"users option, user 4", RecoveryOption::AllButSys, 4, true},
                                           OptionCase{"users option, user 5", RecoveryOption::AllButSys, 5, true},
                                           OptionCase{"sys option, SYS", RecoveryOption::SysOnly, 0, true},
                                           OptionCase{"sys option, user 30", RecoveryOption::SysOnly, 30, false},
                                           OptionCase{"all option, SYS", RecoveryOption::All, 0, true},
                                           OptionCase{"all option, user 3", RecoveryOption::All, 3, true}),
                         [](const auto& info) {
                             std::string name = info.param.what;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST_F(SavingJobTest, ATableWithObjectNumberZeroEndsTheSchemasDataStep) {
    build_.schema("HR", 30);
    build_.table("ZERO", 30, 0);
    build_.table("AFTER", 30, 51001);
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_TRUE(exists("HR_create\\AFTER.sql"));
    EXPECT_FALSE(exists("HR_data\\ZEROData.sql"));
    EXPECT_FALSE(exists("HR_data\\AFTERData.sql"));
    EXPECT_EQ(file("Commit.bat").find("HR_data"), std::string::npos);
}

TEST_F(SavingJobTest, HostileNamesStayInsideTheOutputRoot) {
    recovery_.options = RecoveryOptions(RecoveryOption::All);
    build_.schema("../../x", 30);
    build_.schema("A B&C", 31);
    build_.table("../../evil", 30, 51030);
    build_.table("T;'Q\"", 31, 51031);
    build_.table("..\\..\\win", 31, 51032);
    const std::vector<std::string> outside = {"x_create", "x_data", "evil.sql", "win.sql"};
    ASSERT_EQ(save(), SavingResult::saveCompleted);

    for (const fs::path& folder : {root_.parent_path(), root_.parent_path().parent_path()}) {
        for (const std::string& name : outside) EXPECT_FALSE(fs::exists(folder / name)) << folder / name;
    }
    EXPECT_TRUE(exists(".._.._x_create\\.._.._evil.sql"));
    EXPECT_TRUE(exists(".._.._x_data\\.._.._evilData.sql"));
    EXPECT_TRUE(exists("A_B_C_create\\T__Q_.sql"));
    EXPECT_TRUE(exists("A_B_C_data\\T__Q_Data.sql"));
    EXPECT_TRUE(exists("A_B_C_create\\.._.._win.sql"));
    // The statements keep the names, quoted where they must be.
    EXPECT_EQ(file("A_B_C_create\\T__Q_.sql"), script("Create Table \"A B&C\".\"T;'Q\"\"\"();\r\nExit;"));

    // Every replay line names a relative path of safe characters whose parts are no "." or "..".
    const std::vector<std::string> replayed = batchReplayed(file("Commit.bat"));
    for (const std::string& path : replayed) {
        for (char ch : path) {
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(ch)) || std::string("_$#-.\\").find(ch) != std::string::npos)
                << path;
        }
        std::stringstream parts(path);
        for (std::string part; std::getline(parts, part, '\\');) {
            EXPECT_NE(part, "..") << path;
            EXPECT_NE(part, ".") << path;
        }
    }
    EXPECT_EQ(replayed.size(), 1u + 3 + 3 + 5);  // users, three create and three data scripts, the five shared scripts
    EXPECT_EQ(shellReplayed(file("commit.sh")), replayed);
}

// A file that cannot be created or written ends the save: the message with
// the file and the system's reason, a log line, INCOMPLETE.txt, and a
// Commit.bat that lists only the scripts written completely.
struct FailedFileCase {
    const char* what;
    std::function<void(const fs::path& root)> prepare;
    const char* failingFile;
    int errorCode;
    std::string commitBat;
    const char* step;
    const char* table;
};

void PrintTo(const FailedFileCase& c, std::ostream* os) { *os << c.what; }

class SavingJobFailedFile : public SavingJobTest, public ::testing::WithParamInterface<FailedFileCase> {};

TEST_P(SavingJobFailedFile, EndsTheSaveSayingWhichFileAndWhy) {
    build_.schema("HR", 30);
    build_.table("EMP", 30, 51001);
    const FailedFileCase& c = GetParam();
    c.prepare(root_);
    EXPECT_EQ(save(), SavingResult::cannotOpenTargetFile);
    const std::string reason = outputPath(root_, c.failingFile).string() + ": " + std::strerror(c.errorCode);
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[0], "Attention!: Cannot open target file\n" + reason);
    EXPECT_EQ(messages_.shown[1], "Attention!: The output folder is incomplete: see " + (root_ / "INCOMPLETE.txt").string());
    EXPECT_NE(log_.text().find("Step 2 Saving failed at time 14:05:09 *********\r\n" + reason), std::string::npos)
        << log_.text();
    EXPECT_EQ(file("Commit.bat"), c.commitBat);
    EXPECT_EQ(shellReplayed(file("commit.sh")), batchReplayed(c.commitBat));
    EXPECT_EQ(file("INCOMPLETE.txt"), "This output folder is incomplete: the save failed: " + reason + "\r\nStep: " +
                                          c.step + "\r\nTable: " + c.table + "\r\nTime: 14:05:09 06/12/26\r\n"
                                          "Commit.bat and commit.sh replay only the scripts that were written completely.\r\n");
    EXPECT_FALSE(exists("Index"));
}

void fullDiskAt(const fs::path& root, const std::string& folder, const std::string& file) {
    fs::create_directories(root / folder);
    fs::create_symlink("/dev/full", root / folder / file);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SavingJobFailedFile,
    ::testing::Values(
        FailedFileCase{"a_file_in_place_of_the_create_folder",
                       [](const fs::path& root) { std::ofstream(root / "HR_create") << "in the way"; }, "HR_create",
                       EEXIST, kHeader + "\r\n" + P + "Users\\Users.sql\r\n", "Create Table scripts", "HR"},
        FailedFileCase{"a_full_disk_under_a_create_table_script",
                       [](const fs::path& root) { fullDiskAt(root, "HR_create", "EMP.sql"); }, "HR_create\\EMP.sql",
                       ENOSPC, kHeader + "\r\n" + P + "Users\\Users.sql\r\n", "Create Table scripts", "HR.EMP"},
        FailedFileCase{"a_full_disk_under_a_data_script",
                       [](const fs::path& root) { fullDiskAt(root, "HR_data", "EMPData.sql"); }, "HR_data\\EMPData.sql",
                       ENOSPC, kHeader + "\r\n" + P + "Users\\Users.sql\r\n\r\n" + P + "HR_create\\EMP.sql",
                       "data scripts", "HR.EMP"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(SavingJobTest, StopInTheMiddleOfATableWritesNothingMore) {
    build_.schema("HR", 30);
    build_.table("EMP", 30, 51001);
    build_.table("DEPT", 30, 51002);
    // Stop is confirmed while EMP's rows are being read.
    sink_.onEvent = [this](const std::string& event) {
        if (event == "table EMP" && state_.dataPhase) {
            state_.savingAborted = true;
            state_.control.requestStop();
        }
    };
    EXPECT_EQ(save(), SavingResult::saveStopped);
    EXPECT_TRUE(exists("HR_create\\DEPT.sql"));
    EXPECT_FALSE(exists("HR_data\\EMPData.sql"));
    EXPECT_FALSE(exists("HR_data\\DEPTData.sql"));
    EXPECT_EQ(file("Commit.bat").find("HR_data"), std::string::npos);
    EXPECT_EQ(shellReplayed(file("commit.sh")), batchReplayed(file("Commit.bat")));
    EXPECT_EQ(file("Triggers\\Triggers.sql"), script(""));
    EXPECT_EQ(file("Views\\Views.sql"), script(""));
    EXPECT_EQ(file("Procedures\\Procedures.sql"), script(""));
    EXPECT_FALSE(exists("Index"));
    EXPECT_FALSE(recovery_.catalog.objectList.empty());  // nothing released
    EXPECT_EQ(file("INCOMPLETE.txt"),
              "This output folder is incomplete: the save was stopped.\r\nStep: data scripts\r\nTable: HR.EMP\r\n"
              "Time: 14:05:09 06/12/26\r\nCommit.bat and commit.sh replay only the scripts that were written completely.\r\n");
    EXPECT_EQ(messages_.shown,
              std::vector<std::string>{"Attention!: The output folder is incomplete: see " +
                                       (root_ / "INCOMPLETE.txt").string()});
}

// --- import.sh and commit.sh under /bin/sh ------------------------------------

// A stand-in sqlplus first on the PATH: records its arguments, NLS_LANG and
// its standard input, and exits with 7 when the input holds $FAIL_ON.
constexpr std::string_view kStandInSqlplus = R"sh(#!/bin/sh
input=$(cat)
printf 'run: %s NLS_LANG=%s\n%s\n' "$*" "$NLS_LANG" "$input" >> "$RECORD"
if [ -n "$FAIL_ON" ]; then
    case $input in *"$FAIL_ON"*) exit 7 ;; esac
fi
exit 0
)sh";

struct SqlplusRun {
    std::string arguments;    // "run: " line
    std::string connectLine;  // first line of the input
    std::string script;       // the marker of the script fed after it
};

class ShellReplay : public SavingJobTest {
protected:
    void SetUp() override {
        SavingJobTest::SetUp();
        if (!fs::exists("/bin/sh")) GTEST_SKIP() << "no /bin/sh to run the replay with";
        build_.schema("HR", 30);
        build_.table("EMP", 30, 51001);
        build_.table("REPCAT$_LOG", 30, 51002);
        recovery_.database.release.characterSet = "WE8MSWIN1252";
        ASSERT_EQ(save(), SavingResult::saveCompleted);
        scripts_ = batchReplayed(file("Commit.bat"));
        // Each script says which it is, in lines ended by CR LF as written.
        for (const std::string& script : scripts_) writeTextFile(outputPath(root_, script), marker(script) + "\r\nExit;");
        fs::create_directories(root_ / "bin");
        writeExecutableFile(root_ / "bin" / "sqlplus", kStandInSqlplus);
    }

    static std::string marker(const std::string& script) { return "-- [" + script + "]"; }

    // Runs `command` in the output root with the stand-in first on the PATH
    // and no ORACLE_HOME; returns the exit status.
    int run(const std::string& command, const std::string& failOn = {}) {
        const std::string line = "cd " + shellQuoted(root_.string()) + " && unset ORACLE_HOME && PATH=" +
                                 shellQuoted((root_ / "bin").string()) + ":\"$PATH\" RECORD=" +
                                 shellQuoted((root_ / "record").string()) + " FAIL_ON=" + shellQuoted(failOn) +
                                 " && export PATH RECORD FAIL_ON && " + command + " >/dev/null 2>" +
                                 shellQuoted((root_ / "stderr").string());
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<SqlplusRun> runs() {
        std::vector<SqlplusRun> out;
        std::istringstream lines(readFile(root_ / "record"));
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("run: ", 0) == 0) {
                out.push_back({line, {}, {}});
                std::getline(lines, out.back().connectLine);
            } else if (line.rfind("-- [", 0) == 0 && !out.empty()) {
                out.back().script = line.substr(4, line.size() - 5);
            }
        }
        return out;
    }

    std::vector<std::string> scripts_;
};

TEST_F(ShellReplay, CommitShReplaysCommitBatsScriptsWithThePasswordOnlyOnStandardInput) {
    EXPECT_EQ(fs::status(root_ / "commit.sh").permissions(), static_cast<fs::perms>(0755));
    EXPECT_EQ(fs::status(root_ / "import.sh").permissions(), static_cast<fs::perms>(0755));
    ASSERT_EQ(run("sh -n commit.sh && sh -n import.sh"), 0);
    ASSERT_EQ(run("RESTORIX_USER=scott RESTORIX_PASSWORD='pw$1 x' RESTORIX_CONNECT=ORCL ./commit.sh"), 0)
        << readFile(root_ / "stderr");
    const std::vector<SqlplusRun> replayed = runs();
    ASSERT_EQ(replayed.size(), scripts_.size());
    for (std::size_t i = 0; i < replayed.size(); ++i) {
        EXPECT_EQ(replayed[i].script, scripts_[i]);
        // The whole argument list: no login in it.
        EXPECT_EQ(replayed[i].arguments, "run: -S /nolog NLS_LANG=.WE8MSWIN1252");
        EXPECT_EQ(replayed[i].connectLine, "connect scott/pw$1 x@ORCL");
    }
    EXPECT_EQ(readFile(root_ / "record").find('\r'), std::string::npos);
}

TEST_F(ShellReplay, CommitShStopsAtTheFirstFailureWithItsStatus) {
    ASSERT_GE(scripts_.size(), 3u);
    EXPECT_EQ(run("./commit.sh", marker(scripts_[1])), 7);
    const std::vector<SqlplusRun> replayed = runs();
    ASSERT_EQ(replayed.size(), 2u);
    EXPECT_EQ(replayed[1].script, scripts_[1]);
    const std::string failed = outputPath({}, scripts_[1]).generic_string();
    EXPECT_NE(readFile(root_ / "stderr").find("sqlplus failed on " + failed + " with exit status 7"), std::string::npos)
        << readFile(root_ / "stderr");
}

TEST_F(ShellReplay, ImportShReadsTheLoginFromAPipeAndRunsCommitSh) {
    ASSERT_EQ(run("printf 'u\\np\\nc\\n' | ./import.sh"), 0) << readFile(root_ / "stderr");
    const std::vector<SqlplusRun> replayed = runs();
    ASSERT_EQ(replayed.size(), scripts_.size());
    EXPECT_EQ(replayed.front().connectLine, "connect u/p@c");
}

TEST_F(SavingJobTest, OverallUnitsCountTwoPerTableAndOnePerViewAndTrigger) {
    buildHrCatalog(build_);
    build_.object("P", 30, 51004, kProcedure);
    ASSERT_EQ(save(), SavingResult::saveCompleted);
    EXPECT_EQ(state_.overallTotal, 2 + 1 + 1);
    // One unit for EMP's Create Table, one (or two) from the row reader, one for SCOTT without tables.
    EXPECT_GE(state_.overallDone, 3);
    EXPECT_TRUE(sink_.saw("overall 25"));
}

struct StoredCodeCase {
    const char* what;
    StoredCodeKind kind;
    std::vector<std::pair<int, std::string>> lines;  // line number, text, in stored order
    std::string expected;
};

class StoredCode : public ::testing::TestWithParam<StoredCodeCase> {};

TEST_P(StoredCode, LinesInLineOrderWithTheHeaderOnLineOne) {
    std::vector<SourceLineEntry> lines;
    for (const auto& [number, text] : GetParam().lines) lines.push_back({{}, number, text});
    EXPECT_EQ(storedCodeScriptText(GetParam().kind, "HR", lines), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredCode,
    ::testing::Values(
        StoredCodeCase{"procedure", StoredCodeKind::Procedure, {{1, "PROCEDURE P IS"}, {2, "BEGIN NULL; END;"}},
                       "Create or replace Procedure HR. P IS\r\nBEGIN NULL; END;\r\n\r\n/\r\n\r\n"},
        StoredCodeCase{"function_lines_stored_out_of_order", StoredCodeKind::Function,
                       {{3, "END;"}, {1, "FUNCTION F RETURN NUMBER IS"}, {2, "BEGIN RETURN 1;"}},
                       "Create or replace Function HR. F RETURN NUMBER IS\r\nBEGIN RETURN 1;\r\nEND;\r\n\r\n/\r\n\r\n"},
        StoredCodeCase{"a_missing_line_keeps_the_lines_after_it", StoredCodeKind::Procedure,
                       {{1, "PROCEDURE P IS"}, {3, "BEGIN"}, {4, "NULL; END;"}},
                       "Create or replace Procedure HR. P IS\r\nBEGIN\r\nNULL; END;\r\n\r\n/\r\n\r\n"},
        StoredCodeCase{"without_line_one_no_header", StoredCodeKind::Procedure, {{2, "BEGIN NULL; END;"}},
                       "BEGIN NULL; END;\r\n\r\n/\r\n\r\n"},
        StoredCodeCase{"a_short_first_line_leaves_an_empty_rest", StoredCodeKind::Procedure, {{1, "PROC"}},
                       "Create or replace Procedure HR.\r\n\r\n/\r\n\r\n"},
        StoredCodeCase{"no_lines_write_nothing_not_even_the_slash", StoredCodeKind::Function, {}, ""}),
    [](const auto& info) { return std::string(info.param.what); });

// --- The controller --------------------------------------------------------

class ScriptedPrompter : public QuestionPrompter {
public:
    explicit ScriptedPrompter(bool answer) : answer_(answer) {}
    bool askYesNo(std::string_view question, std::string_view caption) override {
        asked.push_back(std::string(question) + "|" + std::string(caption));
        return answer_;
    }
    std::vector<std::string> asked;

private:
    bool answer_;
};

// Holds the worker inside a progress call until released.
class Gate {
public:
    void arriveAndWait() {
        std::unique_lock lock(mutex_);
        arrived_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }
    void waitForArrival() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return arrived_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool arrived_ = false;
    bool released_ = false;
};

class SavingControllerTest : public SavingJobTest {
protected:
    SavingJob& job() {
        if (!job_)
            job_ = std::make_unique<SavingJob>(recovery_.analysed(), state_, messages_, log_, clock_,
                                               SavingSetup{root_, "\\bin", std::string(kCaption)});
        return *job_;
    }
    void holdAtTable(const std::string& table) {
        sink_.onEvent = [this, table](const std::string& event) {
            if (event == "table " + table && state_.dataPhase) gate_.arriveAndWait();
        };
    }

    RecordingLog log_;
    FixedClock clock_{makeLocalTime(2026, 6, 12, 14, 5, 9)};
    Gate gate_;
    std::unique_ptr<SavingJob> job_;
};

TEST_F(SavingControllerTest, ConfirmedStopReturnsWithoutWaitingAndLogsTheAbort) {
    build_.schema("HR", 30);
    build_.table("EMP", 30, 51001);
    holdAtTable("EMP");
    job().start();
    gate_.waitForArrival();
    ScriptedPrompter yes(true);
    EXPECT_TRUE(job().stop(yes, "Saving is in Progress, do you want to abort ?"));
    EXPECT_FALSE(job().finished());  // the worker is still held: stop did not wait for it
    EXPECT_EQ(yes.asked, std::vector<std::string>{"Saving is in Progress, do you want to abort ?| Restorix for Oracle Database"});
    gate_.release();
    EXPECT_EQ(job().wait(), SavingResult::saveStopped);
    EXPECT_TRUE(state_.savingAborted);
    EXPECT_EQ(log_.text(),
              "\r\n\r\n************************* Step 2 Saving aborted by User ***********************************"
              "\r\n\r\nProcess Aborted by User at time 14:05:09\r\n");
    EXPECT_FALSE(exists("HR_data\\EMPData.sql"));
    EXPECT_EQ(file("Triggers\\Triggers.sql"), script(""));
}

TEST_F(SavingControllerTest, SignalsItsEndAfterAStopAndRefusesASecondStart) {
    build_.schema("HR", 30);
    build_.table("EMP", 30, 51001);
    holdAtTable("EMP");
    std::atomic<int> ends{0};
    job().setOnFinished([&] { ++ends; });
    ASSERT_TRUE(job().start());
    gate_.waitForArrival();
    EXPECT_FALSE(job().start());  // running: refused, the one worker goes on
    ScriptedPrompter yes(true);
    EXPECT_TRUE(job().stop(yes, "Saving is in Progress, do you want to abort ?"));
    EXPECT_EQ(ends.load(), 0);
    gate_.release();
    EXPECT_EQ(job().wait(), SavingResult::saveStopped);
    EXPECT_EQ(ends.load(), 1);
    EXPECT_FALSE(job().start());  // finished: refused too
}

TEST_F(SavingControllerTest, SkipTableAsksOnlyWhileATableIsRead) {
    build_.schema("HR", 30);
    build_.table("EMP", 30, 51001);
    ScriptedPrompter yes(true);
    EXPECT_FALSE(job().skipTable(yes, "Do you want to skip the table?"));  // between tables: no question
    EXPECT_TRUE(yes.asked.empty());
    holdAtTable("EMP");
    job().start();
    gate_.waitForArrival();
    EXPECT_TRUE(job().skipTable(yes, "Do you want to skip the table?"));
    EXPECT_EQ(yes.asked, std::vector<std::string>{"Do you want to skip the table?| Restorix for Oracle Database"});
    EXPECT_TRUE(state_.skipRequested);
    gate_.release();
    EXPECT_EQ(job().wait(), SavingResult::saveCompleted);
    EXPECT_EQ(file("HR_data\\EMPData.sql"), script("Exit;"));
}

TEST_F(SavingControllerTest, DeclinedStopLetsTheSaveComplete) {
    build_.schema("HR", 30);
    build_.table("EMP", 30, 51001);
    holdAtTable("EMP");
    job().start();
    gate_.waitForArrival();
    ScriptedPrompter no(false);
    EXPECT_FALSE(job().stop(no, "Saving is in Progress, do you want to abort ?"));
    EXPECT_FALSE(job().isPaused());
    gate_.release();
    EXPECT_EQ(job().wait(), SavingResult::saveCompleted);
    EXPECT_EQ(log_.text(), "\r\n\r\nProcess Completed successfully at time 14:05:09\r\n");
    EXPECT_EQ(file("HR_data\\EMPData.sql"), script("Exit;"));
}

TEST_F(SavingControllerTest, EscapeAndCloseQuestionsAndTheirLogLines) {
    ScriptedPrompter no(false);
    EXPECT_FALSE(job().escape(no, "Saving is in Progress, do you want to exit ? "));
    EXPECT_FALSE(job().escape(no, "Saving is in Progress, do you want to exit?"));
    EXPECT_FALSE(job().closeWindow(no, "Do you want to exit?"));
    EXPECT_EQ(no.asked, (std::vector<std::string>{
                            "Saving is in Progress, do you want to exit ? | Restorix for Oracle Database",
                            "Saving is in Progress, do you want to exit?| Restorix for Oracle Database",
                            "Do you want to exit?| Restorix for Oracle Database"}));
    EXPECT_FALSE(job().isPaused());
    EXPECT_EQ(log_.text(), "");

    ScriptedPrompter yes(true);
    EXPECT_TRUE(job().closeWindow(yes, "Do you want to exit?"));
    EXPECT_EQ(log_.text(), "");  // the plain close logs nothing
    EXPECT_TRUE(job().escape(yes, "Saving is in Progress, do you want to exit ? "));
    EXPECT_EQ(log_.text(), "\r\n\r\n******************* Repairing aborted***********************************");
    EXPECT_TRUE(state_.control.stopRequested());
}

TEST_F(SavingControllerTest, PauseDisablesSkipTableInTheTableStepsAndResumeEnablesItInTheDataStep) {
    job();
    sink_.clear();
    state_.ddlPhase = true;
    job().togglePause();
    EXPECT_TRUE(job().isPaused());
    job().togglePause();
    EXPECT_FALSE(job().isPaused());
    state_.ddlPhase = false;
    state_.dataPhase = true;
    job().togglePause();
    job().togglePause();
    state_.dataPhase = false;
    job().togglePause();
    job().togglePause();
    EXPECT_EQ(sink_.events(), (std::vector<std::string>{"skip off", "skip off", "skip on"}));
}

TEST_F(SavingControllerTest, PausedWorkerWritesNothingUntilResumed) {
    build_.schema("HR", 30);
    build_.table("EMP", 30, 51001);
    holdAtTable("EMP");
    job().start();
    gate_.waitForArrival();
    job().togglePause();
    gate_.release();
    // Held at its next write: the data script is not written while paused.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(job().finished());
    EXPECT_FALSE(exists("HR_data\\EMPData.sql"));
    job().togglePause();
    EXPECT_EQ(job().wait(), SavingResult::saveCompleted);
    EXPECT_EQ(file("HR_data\\EMPData.sql"), script("Exit;"));
}

}  // namespace
