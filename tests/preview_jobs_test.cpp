#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "dictionary/analysis_job.h"
#include "preview/preview_jobs.h"
#include "tools/forge/block_builder.h"
#include "tools/forge/dictionary_rows.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "tools/forge/big_endian.h"
#include "tools/forge/multifile.h"
#include "tools/forge/oracle_values.h"
#include "tests/test_sinks.h"
#include "tests/temp_folder.h"

using namespace restorix;
using namespace restorix::test;
namespace fs = std::filesystem;

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Headers = std::vector<std::string>;

forge::Scenario previewScenario() {
    forge::Scenario s;
    s.user("SYS", 0).table("OBJ_COPY").column("X", "NUMBER").row({"1"});
    auto& app = s.user("APP", 40);
    app.table("DEPT")
        .column("A", "NUMBER(4)")
        .column("B", "VARCHAR2(10)")
        .column("C", "VARCHAR2(10)")
        .row({"10", "X\tY", std::nullopt})
        .row({"20", "Z", "W"});
    app.table("ONE").column("V", "VARCHAR2(5)").row({"a"}).row({"b"});
    auto& truncated = app.table("TRUNCATED");
    truncated.dataObjectNumber = 61000;
    truncated.column("V", "VARCHAR2(10)").row({"new"});
    forge::RowDef stale;
    stale.values = {"old"};
    truncated.staleRows.push_back(stale);
    app.primaryKey("DEPT_PK", "DEPT", {"A"});
    app.check("DEPT_CK", "DEPT", "A > 0");
    app.view("DEPT_V", "select A from DEPT", {"A"});
    app.trigger("DEPT_T", forge::TriggerTiming::BeforeEachRow, "DEPT", "begin null; end;");
    app.procedure("P1", "").lines = {"PROCEDURE P1(X NUMBER) IS", "BEGIN", "  NULL;", "END;\t-- P1"};
    app.function("F1", "").lines = {"FUNCTION F1 RETURN NUMBER IS", "BEGIN", "  RETURN 1;", "END;"};
    return s;
}

// One forged datafile, analysed once for the whole suite.
class PreviewJobsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder("restorix-preview-");
        datafilePath_ = new std::string((*folder_ / "SYSTEM01.DBF").string());
        forge::WriteOptions options;
        options.release = 10;
        forge::writeDatafile(previewScenario(), *datafilePath_, options);
    }
    static void TearDownTestSuite() {
        delete folder_;
        delete datafilePath_;
    }

    void SetUp() override {
        ASSERT_FALSE(recovery_.database.datafiles.open({*datafilePath_}));
        recovery_.options = RecoveryOptions(RecoveryOption::AllButSys);
        ProgressSink progress;
        SilentMessages messages;
        ASSERT_EQ(runAnalysis(recovery_, progress, messages, kCaption), AnalysisResult::analysisCompleted);
    }

    PreviewList preview(std::string_view node, std::string_view category) {
        return previewNode(recovery_.database, recovery_.catalog, recovery_.analysisControl, node, category, "APP");
    }

    static TempFolder* folder_;
    static std::string* datafilePath_;
    Recovery recovery_;
};
TempFolder* PreviewJobsTest::folder_ = nullptr;
std::string* PreviewJobsTest::datafilePath_ = nullptr;

}  // namespace

TEST_F(PreviewJobsTest, TableShowsItsColumnsAndRows) {
    const PreviewList list = preview("DEPT", "Table");
    EXPECT_EQ(list.headers, (Headers{"A", "B", "C"}));
    EXPECT_EQ(list.rows, (Rows{{"10", "X\tY", "NULL"}, {"20", "Z", "W"}}));
    // Names are compared ignoring case.
    EXPECT_EQ(
        previewNode(recovery_.database, recovery_.catalog, recovery_.analysisControl, "dept", "Table", "app").rows,
        list.rows);
}

TEST_F(PreviewJobsTest, OneColumnTableHasOneRowPerValue) {
    const PreviewList list = preview("ONE", "Table");
    EXPECT_EQ(list.headers, Headers{"V"});
    EXPECT_EQ(list.rows, (Rows{{"a"}, {"b"}}));
}

TEST_F(PreviewJobsTest, ColumnsFollowTheirNumbersWhateverTheDictionaryOrder) {
    // Reverse the order in which the dictionary listed DEPT's columns.
    const ObjectEntry* dept = nullptr;
    for (const ObjectEntry& o : recovery_.catalog.objectList)
        if (o.name == "DEPT") dept = &o;
    ASSERT_NE(dept, nullptr);
    std::vector<ColumnEntry*> columns;
    for (ColumnEntry& c : recovery_.catalog.columnList)
        if (c.objNumber == dept->objNumber) columns.push_back(&c);
    ASSERT_EQ(columns.size(), 3u);
    std::swap(*columns[0], *columns[2]);

    const PreviewList list = preview("DEPT", "Table");
    EXPECT_EQ(list.headers, (Headers{"A", "B", "C"}));
    EXPECT_EQ(list.rows, (Rows{{"10", "X\tY", "NULL"}, {"20", "Z", "W"}}));
}

TEST_F(PreviewJobsTest, TruncatedTableShowsTheRowsOfItsCurrentSegment) {
    EXPECT_EQ(preview("TRUNCATED", "Table").rows, Rows{{"new"}});
}

struct DispatchCase {
    const char* name;
    const char* node;
    const char* category;
    PreviewJob job;
    Headers headers;
    Rows rows;
};
void PrintTo(const DispatchCase& c, std::ostream* os) { *os << c.name; }

class PreviewJobsDispatch : public PreviewJobsTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(PreviewJobsDispatch, ShowsWhatTheNodeStandsFor) {
    const DispatchCase& c = GetParam();
    EXPECT_EQ(choosePreviewJob(recovery_.catalog, c.node, c.category, "APP"), c.job);
    const PreviewList list = preview(c.node, c.category);
    EXPECT_EQ(list.headers, c.headers);
    EXPECT_EQ(list.rows, c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PreviewJobsDispatch,
    ::testing::Values(
        DispatchCase{"ViewShowsNothing", "DEPT_V", "View", PreviewJob::None, {}, {}},
        DispatchCase{"TriggerShowsNothing", "DEPT_T", "Trigger", PreviewJob::None, {}, {}},
        DispatchCase{"UnknownTableShowsNothing", "NO_SUCH", "Table", PreviewJob::None, {}, {}},
        DispatchCase{"PrimaryKeyUnderIndex",
                     "DEPT_PK",
                     "Index",
                     PreviewJob::ConstraintDdl,
                     {"DDL FOR INDEX"},
                     {{"CREATE UNIQUE INDEX APP.DEPT_PK ON APP.DEPT(\"A\")"}}},
        // The type decides the statement, not the category.
        DispatchCase{"PrimaryKeyUnderConstraints",
                     "DEPT_PK",
                     "Constraints",
                     PreviewJob::ConstraintDdl,
                     {"DDL FOR INDEX"},
                     {{"CREATE UNIQUE INDEX APP.DEPT_PK ON APP.DEPT(\"A\")"}}},
        DispatchCase{"CheckConstraint",
                     "DEPT_CK",
                     "Constraints",
                     PreviewJob::ConstraintDdl,
                     {"DDL FOR CONSTRAINTS"},
                     {{"ALTER TABLE APP.DEPT ADD CHECK(A > 0)"}}},
        DispatchCase{"ProcedureSource",
                     "P1",
                     "Procedure",
                     PreviewJob::Source,
                     {"DDL FOR PROCEDURE"},
                     {{"Create or replace Procedure APP. P1(X NUMBER) IS"}, {"BEGIN"}, {"  NULL;"}, {"END;\t-- P1"}}},
        DispatchCase{"FunctionSource",
                     "f1",
                     "Function",
                     PreviewJob::Source,
                     {"DDL FOR FUNCTION"},
                     {{"Create or replace Function APP. F1 RETURN NUMBER IS"}, {"BEGIN"}, {"  RETURN 1;"}, {"END;"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Source lines with gaps: a hand-made SOURCE$ segment ------------------------

struct SourceCase {
    const char* name;
    std::vector<int> storedLines;  // in segment order
    Rows expected;
};
void PrintTo(const SourceCase& c, std::ostream* os) { *os << c.name; }

class PreviewJobsSourceLines : public ::testing::TestWithParam<SourceCase> {
protected:
    void TearDown() override { recovery_.database.datafiles.close(); }

    // Schema APP (user 40) with procedure P1 (object 52000) whose stored
    // source lines are `lines`, each "line N".
    void build(const std::vector<int>& lines) {
        constexpr std::int32_t kProcedureNumber = 52000;
        constexpr std::int32_t kSourceSegment = 72;  // the segment of the release below
        recovery_.database.release.isVersion10 = true;
        SchemaEntry schema;
        schema.userNumber = 40;
        schema.name = "APP";
        recovery_.catalog.appendSchema(schema);
        ObjectEntry procedure;
        procedure.objNumber = kProcedureNumber;
        procedure.ownerNumber = 40;
        procedure.objType = kProcedure;
        procedure.name = "P1";
        procedure.objectNumber = kProcedureNumber;
        procedure.dataObjectNumber = kProcedureNumber;
        recovery_.catalog.appendObject(procedure);

        const forge::DictionaryRows rows(forge::Release::V10, "2008-05-01 10:00:00");
        forge::DataBlockBuilder block(kSourceSegment, 1);
        for (int line : lines) {
            const std::string text = line == 1 ? "PROCEDURE P1 IS" : "line " + std::to_string(line);
            ASSERT_TRUE(block.addRow(rows.sourceRow(kProcedureNumber, line, text)));
        }
        const Block built = block.build();
        const fs::path path = folder_ / "source.dbf";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(built.data()), kBlockSize);
        ASSERT_FALSE(recovery_.database.datafiles.open({path.string()}));
        recovery_.database.blockIndex.appendBlock(0, kSourceSegment, 1, 0);
    }

    TempFolder folder_{"restorix-source-"};
    Recovery recovery_;
};

TEST_P(PreviewJobsSourceLines, ListsEveryLineInLineOrder) {
    build(GetParam().storedLines);
    const PreviewList list =
        previewNode(recovery_.database, recovery_.catalog, recovery_.analysisControl, "P1", "Procedure", "APP");
    EXPECT_EQ(list.rows, GetParam().expected);
    EXPECT_EQ(list.headers, GetParam().expected.empty() ? Headers{} : Headers{"DDL FOR PROCEDURE"});
}

INSTANTIATE_TEST_SUITE_P(
    Table, PreviewJobsSourceLines,
    ::testing::Values(
        SourceCase{"MissingLineHidesNothingAfterIt",
                   {1, 2, 4},
                   {{"Create or replace Procedure APP. P1 IS"}, {"line 2"}, {"line 4"}}},
        SourceCase{"StoredOutOfOrder", {3, 1, 2}, {{"Create or replace Procedure APP. P1 IS"}, {"line 2"}, {"line 3"}}},
        SourceCase{"WithoutLineOneNoHeaderLine", {2, 3}, {{"line 2"}, {"line 3"}}},
        SourceCase{"NoSourceShowsNothing", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Tree lookup -------------------------------------------------------------------

TEST(PreviewTreeNode, FindsNodesIgnoringCaseUnderTheirCategory) {
    ObjectTree tree;
    SchemaNode hr;
    hr.name = "HR";
    hr.categories[static_cast<std::size_t>(Category::Table)] = {"DEPT", "EMP"};
    hr.categories[static_cast<std::size_t>(Category::Index)] = {"DEPT_PK"};
    tree.schemas.push_back(hr);

    const auto found = findTreeNode(tree, "hr", Category::Table, "emp");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->schema, "HR");
    EXPECT_EQ(found->name, "EMP");
    EXPECT_EQ(found->category, Category::Table);
    EXPECT_FALSE(findTreeNode(tree, "HR", Category::Constraints, "DEPT_PK"));
    EXPECT_FALSE(findTreeNode(tree, "HR", Category::Table, "DEPT_PK"));
    EXPECT_FALSE(findTreeNode(tree, "SCOTT", Category::Table, "DEPT"));
}

// --- The command line --------------------------------------------------------------

struct CommandCase {
    const char* name;
    const char* arguments;
    int exitCode;
    std::string output;
};
void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class PreviewCommand : public PreviewJobsTest, public ::testing::WithParamInterface<CommandCase> {
protected:
    // The command opens the datafile itself, and the open is exclusive.
    void SetUp() override {}
};

struct CommandRun {
    int exitCode = -1;
    std::string output;
};

// Runs `restorix COMMAND DATAFILE ARGUMENTS` with its own home, so the activity log lands there;
// what it prints on stderr is dropped, or kept after stdout with `withErrors`.
CommandRun runCommand(const std::string& commandName, const std::string& datafile, const std::string& arguments,
                      bool withErrors = false) {
    const TempFolder scratch("restorix-" + commandName + "-home-");
    const fs::path& home = scratch.path();
    const std::string command = "HOME='" + home.string() + "' XDG_STATE_HOME='" + home.string() +
                                "' XDG_CONFIG_HOME='" + home.string() + "' '" RESTORIX_BINARY_DIR "/restorix' " +
                                commandName + " '" + datafile + "' " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
    CommandRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

TEST_P(PreviewCommand, PrintsTheListTabSeparated) {
    const CommandCase& c = GetParam();
    const CommandRun run = runCommand("preview", *datafilePath_, c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.output, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PreviewCommand,
    ::testing::Values(CommandCase{"TableRowsWithEscapes", "--object app.DEPT", 0, "A\tB\tC\n10\tX\\tY\tNULL\n20\tZ\tW\n"},
                      CommandCase{"ProcedureSource", "--object APP.P1 --category Procedure", 0,
                                  "DDL FOR PROCEDURE\nCreate or replace Procedure APP. P1(X NUMBER) IS\n"
                                  "BEGIN\n  NULL;\nEND;\\t-- P1\n"},
                      CommandCase{"ViewPrintsNothing", "--object APP.DEPT_V --category View", 0, ""},
                      CommandCase{"NodeNotInTheTree", "--object APP.DEPT_V --category Table", 5, ""},
                      CommandCase{"SysIsNotInTheUsersTree", "--object SYS.OBJ_COPY", 5, ""},
                      CommandCase{"SysWithItsOption", "--schemas sys --object SYS.OBJ_COPY", 0, "X\n1\n"}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

class DumpCommand : public PreviewJobsTest {
protected:
    // The command opens the datafile itself, and the open is exclusive.
    void SetUp() override {}
};

bool hasLine(const std::string& output, const std::string& line) {
    return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

TEST_F(DumpCommand, PrintsABlockWithItsColumnsAndTheirValues) {
    // DEPT's block: the one whose row stores 10 and "X<tab>Y".
    const forge::FileRows file = forge::readFileRows(*datafilePath_);
    const auto dept = std::find_if(file.pieces.begin(), file.pieces.end(), [](const forge::FileRowPiece& p) {
        return p.columns.size() == 2 && p.columns[1] == forge::Column(forge::Bytes{'X', '\t', 'Y'});
    });
    ASSERT_NE(dept, file.pieces.end());
    const CommandRun run = runCommand("dump", *datafilePath_, std::to_string(dept->block));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("\nTransaction header: type 1 data object " + std::to_string(dept->dataObject) + " "),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(hasLine(run.output, "Row piece slot " + std::to_string(dept->slot) + " at " +
                                        std::to_string(dept->offset) + ": flag 0x2c --H-FL-- lock 0 columns 2 header 3"))
        << run.output;
    EXPECT_TRUE(hasLine(run.output, "  col 0: [2] c1 0b = 10"));
    // The tab of the value is shown as the terminal gets it.
    EXPECT_TRUE(hasLine(run.output, "  col 1: [3] 58 09 59 = X\\x09Y"));
}

TEST_F(DumpCommand, ALastBlockCutShortIsShownAsFarAsItGoes) {
    const fs::path cut = fs::path(*datafilePath_).parent_path() / "CUT.DBF";
    fs::copy_file(*datafilePath_, cut, fs::copy_options::overwrite_existing);
    fs::resize_file(cut, 3 * 8192 + 100);
    const CommandRun shown = runCommand("dump", cut.string(), "3");
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_TRUE(shown.output.starts_with("Block 3 of ")) << shown.output;
    EXPECT_EQ(runCommand("dump", cut.string(), "4").exitCode, 64);
    fs::remove(cut);
}

TEST_F(DumpCommand, ABlockNotInTheDatafileOrADataHeaderNotInTheBlockIsAUsageError) {
    // Blocks past the end, before the start, past 64 bits once times the
    // block size, out of range for a number, empty, not a number; data
    // headers past the block, before it, empty.
    for (const char* arguments : {"100000000", "-5", "2251799813685248", "99999999999999999999", "''", "2x",
                                  "1 --data-header 8192", "1 --data-header 2147483647", "1 --data-header -1",
                                  "1 --data-header ''"}) {
        const CommandRun run = runCommand("dump", *datafilePath_, arguments);
        EXPECT_EQ(run.exitCode, 64) << arguments;
        EXPECT_EQ(run.output, "") << arguments;
    }
}

// One block of the forged multi-file set (SYSTEM01.DBF relative file 1,
// USERS01.DBF 4, DATA01.DBF 5 in 16K blocks), compared byte for byte with its
// text in tests/golden/dump, the set's folder written as DIR.
struct DumpCase {
    const char* name;       // and the golden text's file name
    const char* arguments;  // the files, with DIR for their folder, then the block and options
    int exitCode = 0;
    std::int64_t cutDataFileAt = 0;  // DATA01.DBF ends at this byte when not 0
    bool withErrors = false;         // the golden text holds stderr after stdout
    const char* byteOrderMagic = nullptr;  // 4 bytes for offset 28 of DATA01.DBF's block 0 when given
    // The files whose path holds this text, as a big-endian platform writes
    // them ("DBF": the whole set), with 4,096 bytes before block 0 when aixLeader.
    const char* bigEndianFiles = nullptr;
    bool aixLeader = false;
};
void PrintTo(const DumpCase& c, std::ostream* os) { *os << c.name; }

class DumpGolden : public ::testing::TestWithParam<DumpCase> {};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

TEST_P(DumpGolden, PrintsTheBlockByItsKind) {
    const DumpCase& c = GetParam();
    const TempFolder folder("restorix-dump-");
    const forge::DatabaseSummary set = forge::writeMultifileDatabase(folder.path().string());
    for (const forge::ForgedDatafile& file : set.files)
        if (c.bigEndianFiles && file.path.find(c.bigEndianFiles) != std::string::npos)
            forge::rewriteBigEndian(file.path, {file.blockSize, c.aixLeader});
    if (c.cutDataFileAt != 0) fs::resize_file(folder / "DATA01.DBF", static_cast<std::uintmax_t>(c.cutDataFileAt));
    if (c.byteOrderMagic) {
        std::fstream file(folder / "DATA01.DBF", std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(28);
        file.write(c.byteOrderMagic, 4);
        ASSERT_TRUE(file.flush()) << "DATA01.DBF cannot be written";
    }
    const std::string arguments = replaced(c.arguments, "DIR", folder.path().string());
    const std::size_t firstEnd = arguments.find(' ');
    const CommandRun run =
        runCommand("dump", arguments.substr(0, firstEnd), arguments.substr(firstEnd + 1), c.withErrors);
    EXPECT_EQ(run.exitCode, c.exitCode);
    const fs::path golden = fs::path(RESTORIX_SOURCE_DIR) / "tests" / "golden" / "dump" / (std::string(c.name) + ".txt");
    EXPECT_EQ(replaced(run.output, folder.path().string(), "DIR"), readFile(golden)) << golden;
}

constexpr std::int64_t k16K = 16384;

INSTANTIATE_TEST_SUITE_P(
    Table, DumpGolden,
    ::testing::Values(
        DumpCase{"os_header_16k", "DIR/SYSTEM01.DBF DIR/USERS01.DBF DIR/DATA01.DBF 0 --file 5"},
        DumpCase{"os_header_big_endian", "DIR/SYSTEM01.DBF DIR/DATA01.DBF 0 --file 5", 0, 0, false, nullptr, "DBF"},
        // The same block as assm_data_block_16k, the same text: only the byte order differs.
        DumpCase{"big_endian_data_block", "DIR/SYSTEM01.DBF DIR/USERS01.DBF DIR/DATA01.DBF 11 --file 5", 0, 0, false,
                 nullptr, "DBF", true},
        // One file of the set says it is big-endian: refused, as a file of another database.
        DumpCase{"mixed_byte_order", "DIR/SYSTEM01.DBF DIR/DATA01.DBF 0 --file 5", 2, 0, true, nullptr, "DATA01"},
        DumpCase{"os_header_without_magic", "DIR/SYSTEM01.DBF DIR/DATA01.DBF 0 --file 5", 0, 0, false, "\0\0\0\0"},
        DumpCase{"file_header", "DIR/SYSTEM01.DBF DIR/USERS01.DBF DIR/DATA01.DBF 1 --file 4"},
        // PRODUCTS: its data header 8 bytes after the ITL entries, its values from the catalog.
        DumpCase{"assm_data_block_16k", "DIR/SYSTEM01.DBF DIR/USERS01.DBF DIR/DATA01.DBF 11 --file 5"},
        DumpCase{"other_kind_in_hex", "DIR/SYSTEM01.DBF DIR/USERS01.DBF DIR/DATA01.DBF 3 --file 5"},
        // The first file given is read without --file; the row pieces lie past the file's end.
        DumpCase{"cut_short_data_block", "DIR/DATA01.DBF DIR/SYSTEM01.DBF DIR/USERS01.DBF 11", 0, 11 * k16K + 200},
        DumpCase{"file_not_given", "DIR/SYSTEM01.DBF DIR/DATA01.DBF 1 --file 4", 64, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
