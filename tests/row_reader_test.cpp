#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <unistd.h>

#include "dictionary/recovery.h"
#include "tabledata/data_script_writer.h"
#include "tabledata/row_reader.h"
#include "tabledata/value_format.h"
#include "tools/forge/block_builder.h"
#include "tools/forge/oracle_values.h"
#include "tests/temp_folder.h"

using namespace restorix;
namespace fs = std::filesystem;
using restorix::test::readFile;

namespace {

using forge::Bytes;
using forge::Column;

Column text(std::string_view value) { return Bytes(value.begin(), value.end()); }
Column number(std::string_view decimal) { return forge::encodeNumber(decimal); }
const Column kNull = std::nullopt;

DictionaryNumber objNumberBytes(std::int32_t objectNumber) {
    return objectNumber;
}

// The catalog entries of one table: its columns' TYPE# in column order.
void addTable(Catalog& catalog, std::int32_t objectNumber, std::int32_t dataObject,
              const std::vector<int>& oracleTypes) {
    ObjectEntry table;
    table.objNumber = objNumberBytes(objectNumber);
    table.objType = kTable;
    table.name = "T" + std::to_string(objectNumber);
    table.objectNumber = objectNumber;
    table.dataObjectNumber = dataObject;
    catalog.appendObject(table);
    for (std::size_t k = 0; k < oracleTypes.size(); ++k) {
        ColumnEntry column;
        column.objNumber = table.objNumber;
        column.columnNumber = k + 1;
        column.name = "C" + std::to_string(k + 1);
        column.oracleType = oracleTypes[k];
        catalog.appendColumn(column);
    }
}

// A block of `dataObject` holding the given rows (as live single-piece rows).
Block blockOf(std::int32_t dataObject, const std::vector<std::vector<Column>>& rows, std::uint8_t flag = 0x2C) {
    forge::DataBlockBuilder builder(dataObject, 0x01000000);
    for (const auto& row : rows) EXPECT_TRUE(builder.addRow(forge::makeRow(row, flag)));
    return builder.build();
}

std::vector<std::string> texts(const RowList& rows) {
    std::vector<std::string> out;
    for (const RowValue& v : rows) out.push_back(v.text);
    return out;
}

class RecordingProgress : public ProgressSink {
public:
    void setCurrentProgress(int percent) override {
        current.push_back(percent);
        if (onCurrent) onCurrent(percent);
    }
    void setOverallProgress(int percent) override { overall.push_back(percent); }
    std::vector<int> current;
    std::vector<int> overall;
    std::function<void(int)> onCurrent;
};

// A datafile written from blocks (block 0 is a header block, never indexed),
// its index and a catalog, as the analysis would have left them.
class RowReaderFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = scratch_.path();
        blocks_.push_back(Block{});
        saving_.currentSchema = "HR";
        saving_.qualifiedTable = "HR.T";
        saving_.currentDataFile = folder_ / "TData.sql";
        saving_.skipPause = std::chrono::milliseconds(0);
        saving_.progress = &progress_;
        saving_.overallTotal = 100;
    }
    void TearDown() override {
        recovery_.database.datafiles.close();
    }

    void addBlock(const Block& block) { blocks_.push_back(block); }

    void openDatafile() {
        const fs::path path = folder_ / "system.dbf";
        {
            std::ofstream out(path, std::ios::binary);
            for (const Block& b : blocks_) out.write(reinterpret_cast<const char*>(b.data()), kBlockSize);
        }
        ASSERT_FALSE(recovery_.database.datafiles.open({path.string()}));
        for (std::size_t i = 1; i < blocks_.size(); ++i) {
            recovery_.database.blockIndex.appendBlock(
                0, static_cast<std::int32_t>(readU32LE(blocks_[i].data() + kDataObjectOffset)), 1,
                static_cast<std::int64_t>(i));
        }
    }

    std::string script() const { return readFile(saving_.currentDataFile); }

    test::TempFolder scratch_{"restorix-rows-"};
    fs::path folder_;
    std::vector<Block> blocks_;
    Recovery recovery_;
    SavingState saving_;
    RecordingProgress progress_;
    RowList rows_;
};

constexpr int kVarchar = oracle_type::kVarchar2;
constexpr int kNumber = oracle_type::kNumber;  // no precision nor scale: an integer

}  // namespace

// --- One row piece --------------------------------------------------------------

struct RowCase {
    const char* name;
    std::uint8_t flag;
    std::vector<Column> stored;
    std::vector<int> catalogTypes;
    std::vector<std::string> expected;
    long rowsWithExtraValues = 0;
};
void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

class RowReaderDecodeRow : public RowReaderFile, public ::testing::WithParamInterface<RowCase> {};

TEST_P(RowReaderDecodeRow, GivesTheRowsValues) {
    const RowCase& c = GetParam();
    addTable(recovery_.catalog, 5000, 5000, c.catalogTypes);
    addBlock(blockOf(5000, {c.stored}, c.flag));
    openDatafile();
    const RowCounts counts =
        readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, recovery_.analysisControl);
    EXPECT_EQ(texts(rows_), c.expected);
    EXPECT_EQ(counts.rowsWithExtraValues, c.rowsWithExtraValues);
    for (const RowValue& v : rows_) {
        EXPECT_EQ(v.objectNumber, 5000);
        EXPECT_EQ(v.columnCount, c.catalogTypes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RowReaderDecodeRow,
    ::testing::Values(
        RowCase{"LiveRow", 0x2C, {number("10"), text("ACCOUNTING")}, {kNumber, kVarchar}, {"10", "ACCOUNTING"}},
        RowCase{"DeletedRowGivesNothing", 0x3C, {number("10"), text("X")}, {kNumber, kVarchar}, {}},
        RowCase{"HeadPieceGivesNothing", 0x20, {number("10"), text("X")}, {kNumber, kVarchar}, {}},
        RowCase{"ClusterMemberFlagGivesNothing", 0x6C, {number("10"), text("X")}, {kNumber, kVarchar}, {}},
        RowCase{"TrailingNullsAdded",
                0x2C,
                {number("1"), text("A"), text("B")},
                {kNumber, kVarchar, kVarchar, kVarchar, kNumber},
                {"1", "A", "B", "NULL", "NULL"}},
        RowCase{"FirstColumnNullIsDecoded", 0x2C, {kNull, text("A")}, {kNumber, kVarchar}, {"NULL", "A"}},
        RowCase{"FirstLengthByteZeroGivesNothing", 0x2C, {Bytes{}, text("A")}, {kVarchar, kVarchar}, {}},
        RowCase{"NoStoredColumnsGivesNothing", 0x2C, {}, {kVarchar}, {}},
        // Values beyond every column are left out, the row counted: the row
        // stays one row of the table's columns.
        RowCase{"MoreStoredThanCatalogColumns",
                0x2C,
                {number("7"), text("A"), text("B"), kNull},
                {kNumber, kVarchar},
                {"7", "A"},
                1},
        RowCase{"TableWithoutColumnsGivesNothing", 0x2C, {number("1")}, {}, {}},
        RowCase{"LongValueWithTwoByteLength",
                0x2C,
                {number("1"), text(std::string(300, 'x')), text("after")},
                {kNumber, kVarchar, kVarchar},
                {"1", std::string(300, 'x'), "after"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RowReaderFile, StoredValueOfNoColumnIsLeftOut) {
    // Catalog numbers 2 and 3 only, no SEGCOL#: the columns are stored in
    // column-number order, and the first stored value belongs to no column.
    addTable(recovery_.catalog, 5000, 5000, {});
    for (int number : {2, 3}) {
        ColumnEntry column;
        column.objNumber = objNumberBytes(5000);
        column.columnNumber = number;
        column.oracleType = kNumber;
        recovery_.catalog.appendColumn(column);
    }
    addBlock(blockOf(5000, {{number("1"), number("2"), number("3")}}));
    openDatafile();
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, recovery_.analysisControl);
    EXPECT_EQ(texts(rows_), (std::vector<std::string>{"2", "3"}));
}

// Stored: ID, a SET UNUSED column (COL# 0), NOTE, QTY; declared: ID, QTY,
// NOTE and a fourth column the rows do not store. Each row gives its four
// declared columns by SEGCOL# alone: the unused value and values beyond
// every stored column are left out.
TEST_F(RowReaderFile, ValuesAreMatchedToColumnsBySegmentColumnOnly) {
    addTable(recovery_.catalog, 5000, 5000, {});
    const auto add = [this](int number, int segmentColumn, int type, bool hidden = false) {
        ColumnEntry column;
        column.objNumber = objNumberBytes(5000);
        column.columnNumber = number;
        column.segmentColumn = segmentColumn;
        column.oracleType = type;
        if (hidden) recovery_.catalog.appendHiddenColumn(column);
        else recovery_.catalog.appendColumn(column);
    };
    add(2, 4, kNumber);          // QTY
    add(1, 1, kNumber);          // ID
    add(0, 2, kVarchar, true);   // unused
    add(3, 3, oracle_type::kLong); // NOTE, stored before QTY here
    add(4, 0, kVarchar);         // a column the rows do not store
    addBlock(blockOf(5000, {{number("1"), text("gone"), text("note 1"), number("10")},
                            {number("2"), kNull, text("note 2")},
                            {number("3"), text("gone"), kNull, number("30"), text("extra"), text("more")},
                            {number("4")}}));
    openDatafile();
    const RowCounts counts =
        readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, recovery_.analysisControl);
    EXPECT_EQ(texts(rows_), (std::vector<std::string>{"1", "10", "note 1", "NULL",  //
                                                      "2", "NULL", "note 2", "NULL",  //
                                                      "3", "30", "NULL", "NULL",      //
                                                      "4", "NULL", "NULL", "NULL"}));
    EXPECT_EQ(counts.rowsWritten, 4);
    EXPECT_EQ(counts.rowsWithExtraValues, 1);
    for (const RowValue& v : rows_) EXPECT_EQ(v.columnCount, 4);
}

// A table with a COL$ row that cannot be read gives no values: its rows are
// counted as not recovered, in preview and in saving alike.
TEST_F(RowReaderFile, ATableWithAnUnreadableColumnGivesNoValues) {
    addTable(recovery_.catalog, 5000, 5000, {kNumber, kVarchar});
    recovery_.catalog.columnList[1].damage = ColumnDamage::Type;
    addBlock(blockOf(5000, {{number("1"), text("A")}, {number("2"), text("B")}}));
    openDatafile();
    const RowCounts previewed =
        readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, recovery_.analysisControl);
    EXPECT_TRUE(rows_.empty());
    EXPECT_EQ(previewed.rowsWritten, 0);
    EXPECT_EQ(previewed.rowsInTableNotCreated, 2);
    EXPECT_EQ(previewed.columnsUnreadable, 1);
    const RowCounts saved = readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(script(), "");
    EXPECT_EQ(saved.rowsInTableNotCreated, 2);
    EXPECT_EQ(saved.columnsUnreadable, 1);
}

TEST(RowReaderColumns, ColumnCountIsKeptInEightBits) {
    Catalog catalog;
    addTable(catalog, 5000, 5000, std::vector<int>(300, kVarchar));
    EXPECT_EQ(TableColumns(catalog, *catalog.findObject(5000)).columnCount(), 44);
}

TEST_F(RowReaderFile, RowRunningPastTheBlockIsDropped) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar, kVarchar});
    // The first piece sits at the end of the block; its second column claims
    // five bytes but the block ends after one.
    forge::DataBlockBuilder builder(5000, 0x01000000);
    const int slot = *builder.addRow(Bytes{0x2C, 0x00, 0x02, 0x01, 'A', 0x05, 'B'});
    addBlock(builder.build());
    ASSERT_EQ(*builder.pieceOffset(slot) + 7, kBlockSize);
    openDatafile();
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, recovery_.analysisControl);
    EXPECT_TRUE(rows_.empty());
}

// --- Preview mode ------------------------------------------------------------------

TEST_F(RowReaderFile, PreviewStopsAfterTheBlockThatPassesTheSlotLimit) {
    addTable(recovery_.catalog, 5000, 5000, {kNumber});
    int id = 0;
    for (int b = 0; b < 3; ++b) {
        std::vector<std::vector<Column>> rows;
        for (int r = 0; r < 100; ++r) rows.push_back({number(std::to_string(++id))});
        addBlock(blockOf(5000, rows));
    }
    openDatafile();
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, recovery_.analysisControl);
    // 100 slots, then 200 > 115: two blocks read.
    ASSERT_EQ(rows_.size(), 200u);
    EXPECT_EQ(rows_.front().text, "1");
    EXPECT_EQ(rows_.back().text, "200");
}

TEST_F(RowReaderFile, TableIsFoundByItsDataObjectNumber) {
    // A truncated table: its rows live in segment 6001; the old segment 6000
    // (its object number) still holds stale rows.
    addTable(recovery_.catalog, 6000, 6001, {kVarchar});
    addBlock(blockOf(6000, {{text("stale")}}));
    addBlock(blockOf(6001, {{text("live")}}));
    openDatafile();
    readTableRows(recovery_.database, recovery_.catalog, 6000, rows_, recovery_.analysisControl);
    ASSERT_EQ(texts(rows_), std::vector<std::string>{"live"});
    EXPECT_EQ(rows_[0].objectNumber, 6000);
}

TEST_F(RowReaderFile, PreviewHonoursTheAnalysisStopFlag) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar});
    addBlock(blockOf(5000, {{text("A")}}));
    openDatafile();
    recovery_.analysisControl.requestStop();
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, recovery_.analysisControl);
    EXPECT_TRUE(rows_.empty());
}

// --- Saving mode -----------------------------------------------------------------

TEST_F(RowReaderFile, SavingWritesEachBlocksRowsWithTheirCommits) {
    addTable(recovery_.catalog, 5000, 5000, {kNumber, kVarchar, kVarchar});
    addBlock(blockOf(5000, {{number("10"), text("ACCOUNTING")}, {number("20"), text("O'NEIL"), text("x")}}));
    addBlock(blockOf(7000, {{text("other table")}}));
    addBlock(blockOf(5000, {{number("30")}}));
    openDatafile();
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(script(),
              "insert into HR.T values ('10','ACCOUNTING',NULL ) ; \r\nCommit;\r\n"
              "insert into HR.T values ('20','O''NEIL','x' ) ; \r\nCommit;\r\n"
              "insert into HR.T values ('30',NULL,NULL ) ; \r\nCommit;\r\n");
    EXPECT_TRUE(rows_.empty());
    EXPECT_EQ(progress_.current, (std::vector<int>{50, 100, 100}));
}

// A block whose data header is neither after its ITL entries nor 8 bytes
// later is not read: its rows are counted as lost with the block, the
// other blocks' rows are written.
TEST_F(RowReaderFile, ABlockWithNoConsistentDataHeaderIsCountedNotRead) {
    addTable(recovery_.catalog, 5000, 5000, {kNumber});
    Block broken = blockOf(5000, {{number("10")}});
    broken[static_cast<std::size_t>(dataHeaderOffsetOf(BlockView(broken))) + 6] ^= 0x40;  // its free-space start
    addBlock(broken);
    addBlock(blockOf(5000, {{number("30")}}));
    openDatafile();
    const RowCounts counts = readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(script(), "insert into HR.T values ('30' ) ; \r\nCommit;\r\n");
    EXPECT_EQ(counts.blocksNotRead, 1);
    EXPECT_EQ(counts.rowsWritten, 1);
}

// Values as the script spells them: the code page, characters that sqlplus
// would misread, and a row piece holding more values than the table has
// columns, whose extra value opens the next statement; the value left over
// at the end of the block makes no statement.
TEST_F(RowReaderFile, SavingSpellsValuesAsTheScriptNeedsThem) {
    addTable(recovery_.catalog, 5000, 5000, {kNumber, kVarchar});
    addBlock(blockOf(5000, {{number("1"), text("Caf\xE9 & co")},
                            {number("2"), text("x"), text("extra")},
                            {number("4"), text("y")}}));
    addBlock(blockOf(5000, {{number("-3.5"), text("a\r\nb")}}));
    openDatafile();
    const RowCounts counts = readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    // The row storing a value of no column is one statement of its two
    // columns: the rows after it keep theirs.
    EXPECT_EQ(script(),
              "insert into HR.T values ('1','Caf\xE9 '||CHR(38)||' co' ) ; \r\nCommit;\r\n"
              "insert into HR.T values ('2','x' ) ; \r\nCommit;\r\n"
              "insert into HR.T values ('4','y' ) ; \r\nCommit;\r\n"
              "insert into HR.T values ('-3.5','a'||CHR(13)||''||CHR(10)||'b' ) ; \r\nCommit;\r\n");
    EXPECT_EQ(counts.rowsWritten, 4);
    EXPECT_EQ(counts.rowsWithExtraValues, 1);
}

struct LaterBatchCase {
    const char* name;
    bool skip;  // Skip Table, else Stop
    int expectedUnits;
};
void PrintTo(const LaterBatchCase& c, std::ostream* os) { *os << c.name; }

class RowReaderLaterBatch : public RowReaderFile, public ::testing::WithParamInterface<LaterBatchCase> {};

// Confirmed while the second of several batches is written, with the next
// one being built: the blocks written so far stay, nothing after them is
// written, and the read returns.
TEST_P(RowReaderLaterBatch, EndsTheReadAfterTheBlocksWrittenSoFar) {
    constexpr int kBlocks = 200;
    constexpr int kWrittenBlocks = 100;
    addTable(recovery_.catalog, 5000, 5000, {kNumber});
    std::string expected;
    for (int b = 1; b <= kBlocks; ++b) {
        addBlock(blockOf(5000, {{number(std::to_string(b))}}));
        if (b <= kWrittenBlocks) expected += "insert into HR.T values ('" + std::to_string(b) + "' ) ; \r\nCommit;\r\n";
    }
    openDatafile();
    progress_.onCurrent = [&](int percent) {
        if (percent < kWrittenBlocks * 100 / kBlocks || percent == 100) return;
        if (GetParam().skip)
            saving_.skipRequested.store(true);
        else
            saving_.control.requestStop();
    };
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(script(), expected);
    EXPECT_EQ(saving_.overallDone, GetParam().expectedUnits);
    EXPECT_FALSE(saving_.skipRequested.load());
}

INSTANTIATE_TEST_SUITE_P(Table, RowReaderLaterBatch,
                         ::testing::Values(LaterBatchCase{"Stop", false, 0}, LaterBatchCase{"SkipTable", true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RowReaderFile, SavingAppendsToAnExistingScriptAndCreatesAnEmptyOne) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar});
    addTable(recovery_.catalog, 5001, 5001, {kVarchar});
    addBlock(blockOf(5000, {{text("A")}}));
    addBlock(blockOf(5001, {{text("B")}}, 0x3C));  // only a deleted row
    openDatafile();
    {
        std::ofstream(saving_.currentDataFile, std::ios::binary) << "earlier\r\n";
    }
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(script(), "earlier\r\ninsert into HR.T values ('A' ) ; \r\nCommit;\r\n");

    saving_.currentDataFile = folder_ / "EmptyData.sql";
    readTableRows(recovery_.database, recovery_.catalog, 5001, rows_, saving_);
    EXPECT_TRUE(fs::exists(saving_.currentDataFile));
    EXPECT_EQ(script(), "");
}

TEST_F(RowReaderFile, ManyBlocksAreWrittenInBlockOrder) {
    // More blocks than one batch, in runs broken by another table's blocks.
    addTable(recovery_.catalog, 5000, 5000, {kNumber});
    std::string expected;
    for (int b = 0; b < 150; ++b) {
        if (b % 7 == 3) addBlock(blockOf(7000, {{number("0")}}));
        std::vector<std::vector<Column>> rows;
        for (int r = 0; r < 3; ++r) {
            const std::string id = std::to_string(b * 3 + r + 1);
            rows.push_back({number(id)});
            expected += "insert into HR.T values ('" + id + "' ) ; \r\nCommit;\r\n";
        }
        addBlock(blockOf(5000, rows));
    }
    openDatafile();
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(script(), expected);
    ASSERT_EQ(progress_.current.size(), 151u);
    EXPECT_TRUE(std::is_sorted(progress_.current.begin(), progress_.current.end()));
}

// The read ends at a script that cannot be opened or written (a full disk),
// raising the reason on the reading thread while the helpers are at work.
TEST_F(RowReaderFile, AScriptThatCannotBeOpenedOrWrittenEndsTheRead) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar});
    for (int b = 0; b < 40; ++b) addBlock(blockOf(5000, {{text("A")}}));
    openDatafile();
    fs::create_symlink("/dev/full", folder_ / "FULLData.sql");
    for (const fs::path& script : {folder_ / "missing" / "TData.sql", folder_ / "FULLData.sql"}) {
        saving_.currentDataFile = script;
        EXPECT_THROW(readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_), OutputFileError)
            << script;
    }
}

struct UnitCase {
    const char* name;
    std::vector<std::int32_t> indexObjects;  // data object of each index entry
    int expectedUnits;
};
void PrintTo(const UnitCase& c, std::ostream* os) { *os << c.name; }

class RowReaderOverallUnits : public RowReaderFile, public ::testing::WithParamInterface<UnitCase> {};

TEST_P(RowReaderOverallUnits, CountsAsTheIndexWalkDoes) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar});
    for (std::int32_t object : GetParam().indexObjects) addBlock(blockOf(object, {{text("v")}}));
    openDatafile();
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(saving_.overallDone, GetParam().expectedUnits);
    ASSERT_FALSE(progress_.current.empty());
    EXPECT_EQ(progress_.current.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Table, RowReaderOverallUnits,
                         ::testing::Values(UnitCase{"NoBlocks", {7000, 7001}, 1},
                                           UnitCase{"LastBlockIsLastEntry", {7000, 5000, 5000}, 1},
                                           UnitCase{"EntriesAfterTheLastBlock", {5000, 7000}, 2},
                                           UnitCase{"BlocksBetweenOthers", {7000, 5000, 7001, 5000, 7002}, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RowReaderFile, SkipMidTableKeepsEarlierStatementsAndCountsOneUnit) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar});
    for (const char* value : {"first", "second", "third"}) addBlock(blockOf(5000, {{text(value)}}));
    addBlock(blockOf(7000, {{text("other")}}));
    openDatafile();
    // Confirmed after the first block was written.
    progress_.onCurrent = [&](int percent) {
        if (percent < 100) saving_.skipRequested.store(true);
    };
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(script(), "insert into HR.T values ('first' ) ; \r\nCommit;\r\n");
    EXPECT_FALSE(saving_.skipRequested.load());
    EXPECT_EQ(saving_.overallDone, 1);
    EXPECT_EQ(progress_.current.back(), 100);
}

TEST_F(RowReaderFile, SkipBeforeTheFirstBlockWritesNothing) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar});
    addBlock(blockOf(5000, {{text("A")}}));
    openDatafile();
    saving_.skipRequested.store(true);
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_FALSE(fs::exists(saving_.currentDataFile));
    EXPECT_TRUE(rows_.empty());
    EXPECT_EQ(saving_.overallDone, 1);
}

TEST_F(RowReaderFile, StopMidTableWritesNothingMore) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar});
    for (const char* value : {"first", "second", "third"}) addBlock(blockOf(5000, {{text(value)}}));
    openDatafile();
    progress_.onCurrent = [&](int) { saving_.control.requestStop(); };
    readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_);
    EXPECT_EQ(script(), "insert into HR.T values ('first' ) ; \r\nCommit;\r\n");
    EXPECT_EQ(saving_.overallDone, 0);
    EXPECT_EQ(progress_.current, std::vector<int>{33});
}

TEST_F(RowReaderFile, PauseHoldsTheReaderUntilResume) {
    addTable(recovery_.catalog, 5000, 5000, {kVarchar});
    addBlock(blockOf(5000, {{text("A")}}));
    openDatafile();
    saving_.control.pause();
    std::thread reader([&] { readTableRows(recovery_.database, recovery_.catalog, 5000, rows_, saving_); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(saving_.currentDataFile));
    saving_.control.resume();
    reader.join();
    EXPECT_EQ(script(), "insert into HR.T values ('A' ) ; \r\nCommit;\r\n");
}
