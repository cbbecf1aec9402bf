// Rows stored in several pieces: the walk visits each row once, at its head,
// with the columns of all its pieces joined; a chain that leads nowhere
// usable gives no row. Then the same rows through the table reader, in the
// preview and in the saved script, with their account.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "datafile/cfile64.h"
#include "datafile/row_walk.h"
#include "dictionary/analysis_job.h"
#include "output/output_files.h"
#include "output/saving_job.h"
#include "tabledata/row_reader.h"
#include "tabledata/sql_literal.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "tools/forge/table_rows.h"
#include "tests/test_sinks.h"
#include "tests/temp_folder.h"

using namespace restorix;
using namespace restorix::test;
using namespace restorix::forge;
namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kTableObject = 71000;
constexpr std::int32_t kOtherObject = 71001;

// ID, a text and a LONG: enough to split a column and to need three blocks.
// Another table's row beside it. The reference holds until another table is added.
TableDef& chainTable(Scenario& s) {
    SchemaDef& hr = s.user("HR", 30);
    hr.table("U", kOtherObject).column("X", "NUMBER").row({"9"});
    TableDef& t = hr.table("T", kTableObject);
    t.column("ID", "NUMBER").column("A", "VARCHAR2(4000)").column("L", "LONG");
    return t;
}

// A visited row: how it was held and its stored columns.
struct VisitedRow {
    RowChain chain = RowChain::Single;
    std::vector<Column> columns;
};

std::vector<Column> asColumns(std::span<const ColumnValue> values) {
    std::vector<Column> columns;
    for (const ColumnValue& value : values)
        columns.push_back(value.isNull ? Column() : Column(Bytes(value.bytes.begin(), value.bytes.end())));
    return columns;
}

// Every row the walk visits in one block.
void visitRows(const BlockView& block, const RowWalkRules& rules, std::vector<VisitedRow>& rows) {
    for (const RowPiece& piece : rowPieces(block, rules)) {
        VisitedRow row{piece.chain, {}};
        if (piece.chain == RowChain::Joined) row.columns = asColumns(piece.joined);
        std::vector<ColumnValue> single;
        if (piece.chain == RowChain::Single && readColumns(block, piece.firstColumnOffset(), piece.columnCount, single))
            row.columns = asColumns(single);
        rows.push_back(std::move(row));
    }
}

// Every row the walk visits in the table's blocks, in block order.
std::vector<VisitedRow> walkTable(const std::string& path) {
    DatafileSet files;
    EXPECT_FALSE(files.open({path}));
    const BlockSource source(files);
    RowChains chains(source);
    RowWalkRules rules;
    rules.chains = &chains;
    std::vector<VisitedRow> rows;
    Block bytes{};
    for (std::int64_t number = 0; source.read(0, number, bytes) == bytes.size(); ++number) {
        const BlockView block = source.view(0, bytes);
        if (block.u8(kBlockTypeOffset) != kDataBlockType || block.u32(kDataObjectOffset) != kTableObject) continue;
        visitRows(block, rules, rows);
    }
    return rows;
}

struct ChainCase {
    const char* name;
    RowStorage storage;
    std::vector<Value> values;
    RowChain expected;
    std::size_t pieces;  // the row's pieces in the file
};
class RowChainForms : public ::testing::TestWithParam<ChainCase> {};

class ScratchFile : public ::testing::Test {
protected:
    restorix::test::TempFolder folder_{"restorix-row-chains-"};
    std::string path_ = (folder_ / "row-chains.dbf").string();
};

}  // namespace

TEST_P(RowChainForms, AreVisitedOnceAtTheHeadWithEveryColumn) {
    const ChainCase& c = GetParam();
    Scenario s;
    TableDef& t = chainTable(s);
    t.row(c.values, c.storage);
    const restorix::test::TempFolder folder("restorix-row-chains-");
    const std::string path = (folder / "row-chains.dbf").string();
    writeDatafile(s, path, {.release = 10});
    EXPECT_EQ(readFileRows(path).of(kTableObject).size(), c.pieces);

    const std::vector<VisitedRow> rows = walkTable(path);
    ASSERT_EQ(rows.size(), 1u) << "pieces after the head are no rows of their own";
    EXPECT_EQ(rows[0].chain, c.expected);
    if (c.expected != RowChain::Broken) {
        EXPECT_EQ(rows[0].columns, encodeRow(t, t.rows.front(), 0));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RowChainForms,
    ::testing::Values(
        ChainCase{"single", RowStorage::Normal, {"1", "one", "R&D"}, RowChain::Single, 1},
        ChainCase{"migrated", RowStorage::Migrated, {"2", "moved", "x"}, RowChain::Joined, 2},
        ChainCase{"chained", RowStorage::Chained, {"3", "split", std::nullopt}, RowChain::Joined, 2},
        // A LONG over 4,000 bytes cut in two: the column continues in the next piece.
        ChainCase{"splitLong", RowStorage::SplitColumn, {"4", "a", std::string(5000, 'L')}, RowChain::Joined, 2},
        // Too large for two blocks: a head, a middle piece and the last one.
        ChainCase{"threeBlocks", RowStorage::Normal, {"5", std::string(3000, 'a'), std::string(14000, 'L')},
                  RowChain::Joined, 3},
        ChainCase{"missingSlot", RowStorage::BrokenChain, {"6", "b", "c"}, RowChain::Broken, 1},
        ChainCase{"loop", RowStorage::ChainLoop, {"7", "b", "c"}, RowChain::Broken, 2}),
    [](const ::testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });

TEST(ForgedChains, SplitAColumnWithTheContinuationBits) {
    Scenario s;
    chainTable(s).row({"4", "a", std::string(5000, 'L')}, RowStorage::SplitColumn);
    const restorix::test::TempFolder folder("restorix-row-chains-");
    const std::string path = (folder / "row-chains-bits.dbf").string();
    writeDatafile(s, path, {.release = 10});
    const FileRows rows = readFileRows(path);
    const auto pieces = rows.of(kTableObject);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0]->flag, kChainedHeadRow | kContinuesNext);
    EXPECT_EQ(pieces[1]->flag, kChainedLastRow | kContinuesPrevious);
    EXPECT_NE(pieces[0]->block, pieces[1]->block);
}

namespace {

// Writes `bytes` over the file at `at`; a place past the end grows the file.
void writeAt(const std::string& path, std::int64_t at, std::span<const std::uint8_t> bytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(at);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << path;
}

// The rows the walk visits in one block of the file, chains followed.
std::vector<VisitedRow> walkBlock(const std::string& path, std::int64_t number) {
    DatafileSet files;
    EXPECT_FALSE(files.open({path}));
    const BlockSource source(files);
    RowChains chains(source);
    RowWalkRules rules;
    rules.chains = &chains;
    Block bytes{};
    EXPECT_EQ(source.read(0, number, bytes), bytes.size());
    std::vector<VisitedRow> rows;
    visitRows(BlockView(bytes), rules, rows);
    return rows;
}

// A block of the table holding `piece` in slot 0, placed at `address`.
void placeBlock(const std::string& path, std::uint32_t address, const Bytes& piece) {
    DataBlockBuilder builder(kTableObject, address);
    ASSERT_EQ(builder.addRow(piece), 0);
    const Block block = builder.build();
    writeAt(path, static_cast<std::int64_t>(address & ((1u << 22) - 1)) * kBlockSize, block);
}

Bytes pieceWithAddresses(std::uint8_t flag, const std::vector<Column>& columns,
                         std::initializer_list<std::pair<std::uint32_t, std::uint16_t>> addresses) {
    Bytes piece = {flag, 0x00, static_cast<std::uint8_t>(columns.size())};
    for (const auto& [block, slot] : addresses) {
        piece.resize(piece.size() + 6);
        putRowAddress(piece.data() + piece.size() - 6, block, slot);
    }
    for (const Column& column : columns) appendColumn(piece, column);
    return piece;
}

}  // namespace

// A table holding one migrated row, whose head piece and row the tests
// rewrite and move.
class MigratedRowFile : public ScratchFile {
protected:
    void SetUp() override {
        TableDef& t = chainTable(scenario_);
        t.row({"2", "moved", "x"}, RowStorage::Migrated);
        writeDatafile(scenario_, path_, {.release = 10});
        columns_ = encodeRow(t, t.rows.front(), 0);
        for (const FileRowPiece& piece : readFileRows(path_).pieces)
            if (piece.dataObject == kTableObject && piece.flag == 0x20) head_ = piece;
        ASSERT_EQ(head_.flag, 0x20);
        headAddress_ = (1u << 22) | static_cast<std::uint32_t>(head_.block);
    }
    void rewriteHead(const Bytes& piece) { writeAt(path_, head_.block * kBlockSize + head_.offset, piece); }

    Scenario scenario_;
    std::vector<Column> columns_;
    FileRowPiece head_;
    std::uint32_t headAddress_ = 0;
};

// The head piece of a migrated row as a published dump of a little-endian
// file stores it: flag 0x20, lock 1, no column, then block 0x00420db3 slot 0
// most significant byte first. The row's body is followed there.
TEST_F(MigratedRowFile, ThePublishedHeadLeadsToBlock0x00420db3Slot0) {
    placeBlock(path_, 0x00420db3, pieceWithAddresses(0x0C, columns_, {{headAddress_, head_.slot}}));
    rewriteHead({0x20, 0x01, 0x00, 0x00, 0x42, 0x0d, 0xb3, 0x00, 0x00});

    const std::vector<VisitedRow> visited = walkBlock(path_, head_.block);
    ASSERT_EQ(visited.size(), 1u);
    EXPECT_EQ(visited[0].chain, RowChain::Joined);
    EXPECT_EQ(visited[0].columns, columns_);
}

// A migrated row that is also chained: its first piece carries the head's
// address and then the next piece's (3 + 6 + 6 bytes), and the row is
// counted apart, its layout being inferred rather than seen in a real file.
TEST_F(MigratedRowFile, WhenAlsoChainedIsFollowedAndCounted) {
    const std::int64_t fileBlocks = static_cast<std::int64_t>(fs::file_size(path_)) / kBlockSize;
    const std::uint32_t firstAddress = (1u << 22) | static_cast<std::uint32_t>(fileBlocks);
    const std::uint32_t lastAddress = firstAddress + 1;
    const std::vector<Column> firstColumns(columns_.begin(), columns_.begin() + 1);
    const std::vector<Column> lastColumns(columns_.begin() + 1, columns_.end());
    placeBlock(path_, firstAddress,
               pieceWithAddresses(0x08, firstColumns, {{headAddress_, head_.slot}, {lastAddress, 0}}));
    placeBlock(path_, lastAddress, pieceWithAddresses(0x04, lastColumns, {}));
    rewriteHead(pieceWithAddresses(0x20, {}, {{firstAddress, 0}}));

    const std::vector<VisitedRow> visited = walkBlock(path_, head_.block);
    ASSERT_EQ(visited.size(), 1u);
    EXPECT_EQ(visited[0].chain, RowChain::Joined);
    EXPECT_EQ(visited[0].columns, columns_);

    Recovery recovery;
    ASSERT_FALSE(recovery.database.datafiles.open({path_}));
    recovery.options = RecoveryOptions(RecoveryOption::AllButSys);
    SilentMessages messages;
    ProgressSink silent;
    ASSERT_EQ(runAnalysis(recovery, silent, messages, kCaption), AnalysisResult::analysisCompleted);
    RowList values;
    const RowCounts counts =
        readTableRows(recovery.database, recovery.catalog, kTableObject, values, recovery.analysisControl);
    recovery.database.datafiles.close();
    EXPECT_EQ(counts.rowsWritten, 1);
    EXPECT_EQ(counts.migratedChainedRows, 1);
}

namespace {

// A next-piece address bent after the file was written.
struct BentAddress {
    const char* name;
    // The new address and slot, from the head's and the other table's places.
    std::function<std::pair<std::uint32_t, std::uint16_t>(std::uint32_t head, std::uint16_t headSlot,
                                                          std::uint32_t other, std::int64_t fileBlocks)>
        bend;
    RowChain expected;
};
class BentChain : public ScratchFile, public ::testing::WithParamInterface<BentAddress> {};

constexpr std::uint32_t kBlockBits = (1u << 22) - 1;

}  // namespace

TEST_P(BentChain, EndsTheRow) {
    Scenario s;
    chainTable(s).row({"1", "first", "second"}, RowStorage::Chained);
    writeDatafile(s, path_, {.release = 10});
    const FileRows rows = readFileRows(path_);
    const FileRowPiece& head = *rows.of(kTableObject).front();
    const FileRowPiece& other = *rows.of(kOtherObject).front();
    ASSERT_EQ(head.flag, kChainedHeadRow);

    std::fstream file(path_, std::ios::in | std::ios::out | std::ios::binary);
    const std::int64_t at = head.block * kBlockSize + head.offset + 3;
    std::uint8_t address[6] = {};
    file.seekg(at);
    file.read(reinterpret_cast<char*>(address), 6);
    const std::uint32_t fileBits = readU32BE(address) & ~kBlockBits;
    const std::int64_t fileBlocks = static_cast<std::int64_t>(fs::file_size(path_)) / kBlockSize;
    const auto [block, slot] = GetParam().bend(fileBits | static_cast<std::uint32_t>(head.block),
                                               static_cast<std::uint16_t>(head.slot),
                                               fileBits | static_cast<std::uint32_t>(other.block), fileBlocks);
    putRowAddress(address, block, slot);
    file.seekp(at);
    file.write(reinterpret_cast<const char*>(address), 6);
    file.close();

    const std::vector<VisitedRow> visited = walkTable(path_);
    ASSERT_EQ(visited.size(), 1u);
    EXPECT_EQ(visited[0].chain, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BentChain,
    ::testing::Values(
        BentAddress{"pastTheEndOfTheFile",
                    [](std::uint32_t head, std::uint16_t, std::uint32_t, std::int64_t blocks) {
                        return std::pair{(head & ~kBlockBits) | static_cast<std::uint32_t>(blocks + 5), std::uint16_t{0}};
                    },
                    RowChain::Broken},
        BentAddress{"anotherDatafile",
                    [](std::uint32_t head, std::uint16_t, std::uint32_t, std::int64_t) {
                        return std::pair{head + (1u << 22) + 1, std::uint16_t{0}};
                    },
                    RowChain::Broken},
        BentAddress{"aSlotTheBlockDoesNotHave",
                    [](std::uint32_t head, std::uint16_t, std::uint32_t, std::int64_t) {
                        return std::pair{head + 1, std::uint16_t{300}};
                    },
                    RowChain::Broken},
        BentAddress{"anotherTablesPiece",
                    [](std::uint32_t, std::uint16_t, std::uint32_t other, std::int64_t) {
                        return std::pair{other, std::uint16_t{0}};
                    },
                    RowChain::Broken},
        BentAddress{"backToItsOwnHead",
                    [](std::uint32_t head, std::uint16_t slot, std::uint32_t, std::int64_t) {
                        return std::pair{head, slot};
                    },
                    RowChain::Broken}),
    [](const ::testing::TestParamInfo<BentAddress>& info) { return std::string(info.param.name); });

namespace {

// Rows 1 to 6 in every form between single rows, so each follows rows whose
// pieces lie in other blocks; row 8's LONG is longer than a script can carry.
Scenario mixedForms() {
    Scenario s;
    TableDef& t = chainTable(s);
    t.row({"1", "one"})
        .row({"2", "two", std::string(9000, 'L')})
        .row({"3", "three"}, RowStorage::Migrated)
        .row({"4", "four", "L4"}, RowStorage::BrokenChain)
        .row({"5", std::string(3000, 'f'), std::string(1200, 'L')}, RowStorage::SplitColumn)
        .row({"6", "six", "L6"}, RowStorage::ChainLoop)
        .row({"7", "seven"}, RowStorage::Chained)
        .row({"8", "eight", std::string(kPlsqlLiteralLimit + 1, 'L')});
    return s;
}

class ChainedTableRows : public ScratchFile {
protected:
    void SetUp() override {
        writeDatafile(mixedForms(), path_, {.release = 10});
        ASSERT_FALSE(recovery_.database.datafiles.open({path_}));
        recovery_.options = RecoveryOptions(RecoveryOption::AllButSys);
        SilentMessages messages;
        ProgressSink silent;
        ASSERT_EQ(runAnalysis(recovery_, silent, messages, kCaption), AnalysisResult::analysisCompleted);
    }
    void TearDown() override {
        recovery_.database.datafiles.close();
        ScratchFile::TearDown();
    }
    Recovery recovery_;
};

}  // namespace

TEST_F(ChainedTableRows, ThePreviewShowsEachReassembledRowInItsHeadsPlace) {
    RowList rows;
    const RowCounts counts =
        readTableRows(recovery_.database, recovery_.catalog, kTableObject, rows, recovery_.analysisControl);
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < rows.size(); i += 3) ids.push_back(rows[i].text);
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3", "5", "7", "8"}));
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows[10].text, std::string(3000, 'f')) << "the text split across two blocks comes back whole";
    EXPECT_EQ(rows[13].text, "seven");
    EXPECT_EQ(counts.rowsWritten, 6);
    EXPECT_EQ(counts.brokenChains, 2);
}

TEST_F(ChainedTableRows, TheScriptHasEveryFollowedRowAndTheAccountTheRest) {
    SavingState state;
    SilentMessages messages;
    SilentLog log;
    SystemClock clock;
    const fs::path out = fs::path(path_).parent_path() / (fs::path(path_).stem().string() + "-out");
    fs::create_directories(out);
    ASSERT_EQ(
        runSaving(recovery_.analysed(), state, messages, log, clock, SavingSetup{out, "\\bin", std::string(kCaption)}),
        SavingResult::saveCompleted);
    std::ifstream in(outputPath(out, "HR_data\\TData.sql"), std::ios::binary);
    std::ostringstream script;
    script << in.rdbuf();

    std::vector<std::string> ids;
    const std::string text = script.str();
    const std::string head = "insert into HR.T values ('";
    for (std::size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1))
        ids.push_back(text.substr(at + head.size(), 1));
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3", "5", "7", "8"}));
    EXPECT_NE(text.find("('8','eight',NULL )"), std::string::npos);
    // The long value comes back whole once its script pieces are joined.
    const std::string pieceJoin = "'||\r\n'";
    std::string joined = text;
    for (std::size_t at = joined.find(pieceJoin); at != std::string::npos; at = joined.find(pieceJoin, at))
        joined.erase(at, pieceJoin.size());
    EXPECT_NE(joined.find("'" + std::string(3000, 'f') + "'"), std::string::npos);

    std::map<std::string, RowCounts> accounts;
    for (const TableAccount& account : state.tableAccounts) accounts[account.schema + "." + account.table] = account.counts;
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts["HR.T"].rowsWritten, 6);
    EXPECT_EQ(accounts["HR.T"].brokenChains, 2);
    EXPECT_EQ(accounts["HR.T"].valuesTooLong, 1);
    EXPECT_EQ(accounts["HR.U"].rowsWritten, 1);
    EXPECT_EQ(accounts["HR.U"].brokenChains, 0);
}
