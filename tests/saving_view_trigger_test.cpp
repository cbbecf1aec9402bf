// The view and trigger step over datafiles whose VIEW$ and TRIGGER$ blocks are
// built by hand: which rows become statements, the names from the catalog,
// the recovery option, and a block that points outside itself.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dictionary/recovery.h"
#include "platform/codepage.h"
#include "output/output_files.h"
#include "output/view_trigger_step.h"
#include "tools/forge/block_builder.h"
#include "tools/forge/datafile_writer.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/oracle_values.h"
#include "tests/temp_folder.h"

using namespace restorix;
namespace fs = std::filesystem;
using restorix::test::readFile;

namespace {

// Release 10's VIEW$ and TRIGGER$ segments.
constexpr std::int32_t kViewSegment = 63;
constexpr std::int32_t kTriggerSegment = 81;
constexpr int kTriggerColumns10 = 19;

constexpr int kHr = 30;
constexpr int kSys = 0;

forge::Bytes number(int n) { return forge::encodeNumber(std::to_string(n)); }
forge::Bytes text(const std::string& utf8) {
    const std::string bytes = toCodePage(utf8);
    return forge::Bytes(bytes.begin(), bytes.end());
}
DictionaryNumber objectBytes(int n) { return n; }

forge::Bytes viewRow(int object, int columnCount, std::optional<std::string> viewText, std::uint8_t flag = 0x2C) {
    std::vector<forge::Column> columns(kViewColumns, std::nullopt);
    columns[0] = number(object);
    columns[1] = number(kHr);
    columns[2] = number(columnCount);
    columns[3] = number(viewText ? static_cast<int>(viewText->size()) : 0);
    if (viewText) columns[7] = text(*viewText);
    return forge::makeRow(columns, flag);
}

struct TriggerSpec {
    int object = 0;
    int type = 1;
    bool onUpdate = false;
    bool onInsert = false;
    bool onDelete = false;
    int baseObject = 0;  // 0: a database-level trigger
    std::optional<std::string> definition;
    std::optional<std::string> when;
    std::optional<std::string> body;
};

forge::Bytes triggerRow(const TriggerSpec& t, int columnCount = kTriggerColumns10) {
    std::vector<forge::Column> columns(static_cast<std::size_t>(columnCount), std::nullopt);
    const auto flag = [](bool set) { return set ? number(1) : number(0); };
    columns[0] = number(t.object);
    columns[1] = number(t.type);
    columns[2] = flag(t.onUpdate);
    columns[3] = flag(t.onInsert);
    columns[4] = flag(t.onDelete);
    columns[5] = t.baseObject ? number(t.baseObject) : number(0);
    if (t.definition) columns[8] = text(*t.definition);
    if (t.when) columns[9] = text(*t.when);
    if (t.body) columns[static_cast<std::size_t>(columnCount - 1)] = text(*t.body);
    return forge::makeRow(columns);
}

Block blockOf(std::int32_t segment, const std::vector<forge::Bytes>& rows) {
    forge::DataBlockBuilder builder(segment, 0);
    for (const forge::Bytes& row : rows) EXPECT_TRUE(builder.addRow(row).has_value());
    return builder.build();
}

class RecordingSink : public ProgressSink {
public:
    void setTableName(std::string_view t) override { events.push_back("table " + std::string(t)); }
    void setCurrentProgress(int p) override { events.push_back("current " + std::to_string(p)); }
    std::vector<std::string> events;
};

class ViewTriggerStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = scratch_.path();
        fs::create_directories(dir_ / "out" / "Views");
        fs::create_directories(dir_ / "out" / "Triggers");
        recovery_.database.release.isVersion10 = true;
        recovery_.options = RecoveryOptions(RecoveryOption::All);
        state_.progress = &sink_;
        schema("SYS", kSys);
        schema("HR", kHr);
        object("EMP", kHr, 51001, kTable);
        object("EMP_V", kHr, 51002, kView);
        column(51002, "EMPNO");
        object("EMP_BIU", kHr, 51003, kTrigger);
        object("SYS_V", kSys, 51004, kView);
        column(51004, "X");
    }
    void TearDown() override {
        recovery_.database.datafiles.close();
    }

    void schema(const std::string& name, int user) {
        SchemaEntry entry;
        entry.userNumber = user;
        entry.name = name;
        recovery_.catalog.appendSchema(entry);
    }
    void object(const std::string& name, int owner, int n, int type) {
        ObjectEntry entry;
        entry.objNumber = objectBytes(n);
        entry.ownerNumber = owner;
        entry.objType = type;
        entry.name = name;
        entry.objectNumber = n;
        recovery_.catalog.appendObject(entry);
    }
    void column(int object, const std::string& name) {
        ColumnEntry entry;
        entry.objNumber = objectBytes(object);
        entry.columnNumber = 2;
        entry.name = name;
        entry.oracleType = oracle_type::kVarchar2;
        recovery_.catalog.appendColumn(entry);
    }

    // Writes the datafile with these blocks after the two header blocks, reads
    // them as the analysis does and runs the step.
    void runStep(const std::vector<Block>& blocks) {
        const std::string path = (dir_ / "system.dbf").string();
        {
            forge::DatafileWriter writer(path);
            for (const Block& block : blocks) writer.writeBlock(block);
            writer.close();
        }
        ASSERT_FALSE(recovery_.database.datafiles.open({path}));
        forge::indexFileBlocks(path, recovery_.database.blockIndex);
        createScriptFile(views());
        createScriptFile(triggers());
        // The analysis' part, then the save's.
        ASSERT_TRUE(decodeViewAndTriggerRows(recovery_.database, recovery_.catalog, recovery_.analysisControl));
        ScriptOutput output(dir_ / "out", state_.control);
        writeViewsAndTriggers(recovery_.analysed(), state_, output);
    }
    fs::path views() const { return dir_ / "out" / "Views" / "Views.sql"; }
    fs::path triggers() const { return dir_ / "out" / "Triggers" / "Triggers.sql"; }

    test::TempFolder scratch_{"restorix-view-trigger-"};
    fs::path dir_;
    Recovery recovery_;
    SavingState state_;
    RecordingSink sink_;
};

TEST_F(ViewTriggerStepTest, AViewRowBecomesItsStatementWithCrLfLineEnds) {
    runStep({blockOf(kViewSegment, {viewRow(51002, 1, "select EMPNO\nfrom EMP")})});
    EXPECT_EQ(readFile(views()), "Create or Replace View HR.EMP_V as select EMPNO\r\nfrom EMP;\r\n\r\n");
    EXPECT_EQ(state_.viewsWritten, 1);
    EXPECT_EQ(state_.overallDone, 1);
    EXPECT_EQ(sink_.events, (std::vector<std::string>{"table EMP_V", "current 50"}));  // one of two views
}

struct SkippedView {
    const char* what;
    forge::Bytes row;
};

class ViewNotWritten : public ViewTriggerStepTest, public ::testing::WithParamInterface<SkippedView> {};

TEST_P(ViewNotWritten, LeavesTheScriptEmptyAndCountsNothing) {
    runStep({blockOf(kViewSegment, {GetParam().row})});
    EXPECT_EQ(readFile(views()), "");
    EXPECT_EQ(state_.viewsWritten, 0);
    EXPECT_EQ(state_.overallDone, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ViewNotWritten,
    ::testing::Values(SkippedView{"columns_missing_from_the_catalog", viewRow(51002, 2, "select 1 from dual")},
                      SkippedView{"empty_text", viewRow(51002, 1, std::nullopt)},
                      SkippedView{"object_not_in_the_catalog", viewRow(59999, 1, "select 1 from dual")},
                      SkippedView{"deleted_row", viewRow(51002, 1, "select 1 from dual", 0x3C)},
                      SkippedView{"head_piece_of_a_chained_row", viewRow(51002, 1, "select 1 from dual", 0x28)}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(ViewTriggerStepTest, AViewWhoseOwnerHasNoSchemaIsNotWritten) {
    object("ORPHAN_V", 77, 51005, kView);
    column(51005, "A");
    runStep({blockOf(kViewSegment, {viewRow(51005, 1, "select 1 from dual")})});
    EXPECT_EQ(readFile(views()), "");
}

struct OptionCase {
    const char* what;
    RecoveryOption option;
    std::string expectedViews;
};

class ViewOption : public ViewTriggerStepTest, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(ViewOption, WritesOnlyTheOwnersTheOptionCovers) {
    recovery_.options = RecoveryOptions(GetParam().option);
    runStep({blockOf(kViewSegment, {viewRow(51002, 1, "select 1 from dual"), viewRow(51004, 1, "select 2 from dual")})});
    EXPECT_EQ(readFile(views()), GetParam().expectedViews);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ViewOption,
    ::testing::Values(OptionCase{"sys", RecoveryOption::SysOnly, "Create or Replace View SYS.SYS_V as select 2 from dual;\r\n\r\n"},
                      OptionCase{"users", RecoveryOption::AllButSys,
                                 "Create or Replace View HR.EMP_V as select 1 from dual;\r\n\r\n"},
                      OptionCase{"all", RecoveryOption::All,
                                 "Create or Replace View HR.EMP_V as select 1 from dual;\r\n\r\n"
                                 "Create or Replace View SYS.SYS_V as select 2 from dual;\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(ViewTriggerStepTest, ATableTriggerWithInsertAndUpdateAfterEachRow) {
    TriggerSpec t;
    t.object = 51003;
    t.type = 3;
    t.onInsert = t.onUpdate = true;
    t.baseObject = 51001;
    t.definition = "EMP_BIU after insert or update on emp for each row\n";
    t.body = "begin\n  null;\nend;";
    runStep({blockOf(kTriggerSegment, {triggerRow(t)})});
    EXPECT_EQ(readFile(triggers()),
              "Create or Replace Trigger HR.EMP_BIU after insert or update on HR.EMP FOR EACH ROW "
              "begin\r\n  null;\r\nend;\r\n/\r\n\r\n");
    EXPECT_EQ(state_.currentTable, "EMP");
    EXPECT_EQ(state_.triggersWritten, 1);
    EXPECT_EQ(sink_.events, (std::vector<std::string>{"table EMP_BIU", "current 100"}));
}

TEST_F(ViewTriggerStepTest, ADatabaseLevelTriggerHasNoBaseObject) {
    TriggerSpec t;
    t.object = 51003;
    t.type = 0;
    t.body = "begin null; end;";
    runStep({blockOf(kTriggerSegment, {triggerRow(t)})});
    EXPECT_EQ(readFile(triggers()), "Create or Replace Trigger HR.EMP_BIU before on Database begin null; end;\r\n/\r\n\r\n");
    EXPECT_EQ(state_.currentTable, "Database");
}

TEST_F(ViewTriggerStepTest, TriggersLeftOut) {
    TriggerSpec unknownBase;
    unknownBase.object = 51003;
    unknownBase.baseObject = 59999;
    unknownBase.body = "begin null; end;";
    TriggerSpec nothingStored;
    nothingStored.object = 51003;
    nothingStored.baseObject = 51001;
    TriggerSpec unknownTrigger = unknownBase;
    unknownTrigger.object = 59998;
    unknownTrigger.baseObject = 51001;
    TriggerSpec wrongColumnCount = unknownTrigger;
    wrongColumnCount.object = 51003;
    runStep({blockOf(kTriggerSegment, {triggerRow(unknownBase), triggerRow(nothingStored), triggerRow(unknownTrigger),
                                       triggerRow(wrongColumnCount, 23)})});
    EXPECT_EQ(readFile(triggers()), "");
    EXPECT_EQ(state_.triggersWritten, 0);
}

TEST_F(ViewTriggerStepTest, BlocksOfOtherSegmentsAndReleasesAreNotRead) {
    // Release 11's VIEW$ number and an ordinary table segment.
    runStep({blockOf(69, {viewRow(51002, 1, "select 1 from dual")}),
             blockOf(51001, {viewRow(51002, 1, "select 2 from dual")})});
    EXPECT_EQ(readFile(views()), "");
}

TEST_F(ViewTriggerStepTest, ARowDirectoryPastTheBlockEndsTheWholeScan) {
    Block broken = blockOf(kViewSegment, {viewRow(51002, 1, "select 1 from dual")});
    // Many ITL entries and tables push the row directory far down; a large
    // slot count then runs it past the end of the block.
    broken[kItlCountOffset] = 255;
    const int h = kFixedHeaderSize + kItlEntrySize * 255;
    broken[h + kTableCountOffset] = 255;
    broken[h + kRowSlotCountOffset] = 0x00;
    broken[h + kRowSlotCountOffset + 1] = 0x10;
    runStep({broken, blockOf(kViewSegment, {viewRow(51002, 1, "select 2 from dual")})});
    EXPECT_EQ(readFile(views()), "");
}

TEST_F(ViewTriggerStepTest, AStopEndsTheScanBeforeTheNextWrite) {
    state_.control.requestStop();
    EXPECT_THROW(runStep({blockOf(kViewSegment, {viewRow(51002, 1, "select 1 from dual")})}), SavingStopped);
    EXPECT_EQ(readFile(views()), "");
}

TEST(ViewTriggerRows, TriggerColumnsDecodeAsStored) {
    TriggerSpec t;
    t.object = 51003;
    t.type = 4;
    t.onDelete = true;
    t.baseObject = 51001;
    t.definition = "x";  // one byte counts as none
    t.when = "new.sal > 0";
    forge::Bytes row = triggerRow(t);
    Block block = blockOf(kTriggerSegment, {row});
    const BlockView view(block);
    std::vector<TriggerRow> rows;
    EXPECT_TRUE(walkCodeRows(
        view, kTriggerColumns10, [&](auto columns) { rows.push_back(decodeTriggerRow(columns, kTriggerColumns10)); },
        [] { return true; }));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].objNumber, objectBytes(51003));
    EXPECT_EQ(rows[0].triggerType, 4);
    EXPECT_EQ(rows[0].insertEvent, 0);
    EXPECT_EQ(rows[0].updateEvent, 0);
    EXPECT_EQ(rows[0].deleteEvent, 1);
    EXPECT_EQ(rows[0].baseObject, objectBytes(51001));
    EXPECT_FALSE(rows[0].definition.has_value());
    EXPECT_EQ(rows[0].whenClause, "new.sal > 0");
    EXPECT_FALSE(rows[0].body.has_value());
}

}  // namespace
