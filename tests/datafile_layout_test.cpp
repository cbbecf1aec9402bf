#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include <fstream>
#include <sstream>
#include <string>

#include "datafile/block_layout.h"
#include "datafile/row_walk.h"
#include "tabledata/value_format.h"
#include "tools/forge/block_builder.h"

using namespace restorix;

namespace {

void put16(Block& block, int offset, std::uint16_t value) {
    block[offset] = static_cast<std::uint8_t>(value & 0xFF);
    block[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

// A block with only the fields the layout reads: ITL count, table count,
// slot count and the row directory entries.
Block headerOnlyBlock(int itlCount, int tableCount, std::uint16_t slotCount,
                      const std::vector<std::uint16_t>& entries = {}) {
    Block block{};
    block[kBlockTypeOffset] = kDataBlockType;
    block[kItlCountOffset] = static_cast<std::uint8_t>(itlCount);
    const int h = kFixedHeaderSize + kItlEntrySize * itlCount;
    block[h + kTableCountOffset] = static_cast<std::uint8_t>(tableCount);
    put16(block, h + kRowSlotCountOffset, slotCount);
    const int r = h + kDataHeaderSize + kTableDirectoryEntrySize * tableCount;
    for (std::size_t i = 0; i < entries.size(); ++i)
        put16(block, r + kRowDirectoryEntrySize * static_cast<int>(i), entries[i]);
    return block;
}

bool spanInside(const Block& block, std::span<const std::uint8_t> bytes) {
    const auto* begin = block.data();
    const auto* end = block.data() + block.size();
    return bytes.data() == nullptr ? bytes.empty()
                                   : bytes.data() >= begin && bytes.data() + bytes.size() <= end;
}

}  // namespace

// --- Block header and directories -------------------------------------------

struct LayoutCase {
    int itlCount;
    int tableCount;
    std::uint16_t slotCount;
    int dataHeader;
    int rowDirectory;
};
class DataBlockLayoutTable : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DataBlockLayoutTable, ComputesHeaderAndDirectoryOffsets) {
    const auto& c = GetParam();
    const Block block = headerOnlyBlock(c.itlCount, c.tableCount, c.slotCount);
    const DataBlockLayout layout = parseDataBlockLayout(BlockView(block));
    EXPECT_EQ(layout.itlCount, c.itlCount);
    EXPECT_EQ(layout.tableCount, c.tableCount);
    EXPECT_EQ(layout.rowSlotCount, c.slotCount);
    EXPECT_EQ(layout.dataHeaderOffset, c.dataHeader);
    EXPECT_EQ(layout.rowDirectoryOffset, c.rowDirectory);
    EXPECT_TRUE(dataHeaderInBlock(layout));
}

INSTANTIATE_TEST_SUITE_P(Table, DataBlockLayoutTable,
                         ::testing::Values(LayoutCase{2, 1, 3, 92, 110},          // ITL 2, one table
                                           LayoutCase{3, 1, 5, 116, 134},         // ITL 3, one table
                                           LayoutCase{0, 0, 0, 44, 58},           // no ITL, no table
                                           LayoutCase{255, 255, 0xFFFF, 6164, 7198}));  // hostile maxima

TEST(DataBlockLayout, HeaderPlausibilityLimits) {
    // The dictionary passes give up once the header's fixed fields could not fit.
    const std::vector<std::pair<int, bool>> cases = {{92, true}, {8174, true}, {8175, false}, {8178, false},
                                                     {8179, false}, {9000, false}};
    for (const auto& [h, inBlock] : cases) {
        DataBlockLayout layout;
        layout.dataHeaderOffset = h;
        EXPECT_EQ(dataHeaderInBlock(layout), inBlock) << "H = " << h;
    }
}

// Where a table block's data header is: after the ITL entries, or 8 bytes
// later in automatically managed segments, judged by the header's own
// free-space start and row offsets.
struct HeaderPlaceCase {
    const char* name;
    int blockSize;
    int headerAt;                      // where the header is written (ITL count 2: 92 or 100)
    std::uint16_t freeSpaceStart;      // 14 + 4 + 2 x rows is consistent
    std::vector<std::uint16_t> rows;   // row directory entries
    std::optional<int> found;
};
class TableDataHeaderPlace : public ::testing::TestWithParam<HeaderPlaceCase> {};

TEST_P(TableDataHeaderPlace, IsFoundFromTheBlockItself) {
    const HeaderPlaceCase& c = GetParam();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(c.blockSize), 0);
    const auto put16 = [&](int at, std::uint16_t v) {
        bytes[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(v);
        bytes[static_cast<std::size_t>(at) + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    bytes[kItlCountOffset] = 2;
    bytes[static_cast<std::size_t>(c.headerAt) + kTableCountOffset] = 1;
    put16(c.headerAt + kRowSlotCountOffset, static_cast<std::uint16_t>(c.rows.size()));
    put16(c.headerAt + 6, c.freeSpaceStart);
    for (std::size_t i = 0; i < c.rows.size(); ++i) put16(c.headerAt + 18 + 2 * static_cast<int>(i), c.rows[i]);
    EXPECT_EQ(tableDataHeaderOffsetOf(BlockView(bytes)), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TableDataHeaderPlace,
    ::testing::Values(HeaderPlaceCase{"freelist", 8192, 92, 22, {8000, 8050}, 92},
                      HeaderPlaceCase{"assm", 8192, 100, 22, {8000, 8050}, 100},
                      HeaderPlaceCase{"assm_16k", 16384, 100, 20, {16000}, 100},
                      HeaderPlaceCase{"assm_2k", 2048, 100, 20, {1900}, 100},
                      HeaderPlaceCase{"empty_slot_and_free_link_point_nowhere", 8192, 100, 24, {0xFFFF, 1, 8000}, 100},
                      HeaderPlaceCase{"free_space_start_off_by_two", 8192, 100, 24, {8000, 8050}, std::nullopt},
                      HeaderPlaceCase{"row_past_the_block", 8192, 92, 20, {8100}, std::nullopt},
                      HeaderPlaceCase{"row_past_a_2k_block", 2048, 100, 20, {1948}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Row directory walk -----------------------------------------------------

struct SlotCase {
    const char* name;
    int itlCount;
    std::uint16_t slotCount;
    std::vector<std::uint16_t> entries;
    int slot;
    SlotState state;
    int offset;  // checked for pieces only
};
class RowDirectoryWalk : public ::testing::TestWithParam<SlotCase> {};

TEST_P(RowDirectoryWalk, AppliesTheSkipRules) {
    const auto& c = GetParam();
    const Block block = headerOnlyBlock(c.itlCount, 1, c.slotCount, c.entries);
    const BlockView view(block);
    const RowSlot slot = rowPieceOffset(view, parseDataBlockLayout(view), c.slot);
    EXPECT_EQ(slot.state, c.state);
    if (c.state == SlotState::Piece) {
        EXPECT_EQ(slot.offset, c.offset);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RowDirectoryWalk,
    ::testing::Values(
        SlotCase{"entry_1F6A_after_ITL_3", 3, 1, {0x1F6A}, 0, SlotState::Piece, 8158},
        SlotCase{"piece_at_last_byte", 3, 1, {8191 - 116}, 0, SlotState::Piece, 8191},
        SlotCase{"piece_at_8192_skipped", 3, 1, {8192 - 116}, 0, SlotState::Skipped, 0},
        SlotCase{"entry_FFFE_skipped", 2, 1, {0xFFFE}, 0, SlotState::Skipped, 0},
        SlotCase{"five_slots_empty", 2, 5, {0xFFFF, 3, 0x1F00}, 0, SlotState::Skipped, 0},
        SlotCase{"five_slots_free_link", 2, 5, {0xFFFF, 3, 0x1F00}, 1, SlotState::Skipped, 0},
        SlotCase{"five_slots_visited", 2, 5, {0xFFFF, 3, 0x1F00}, 2, SlotState::Piece, 92 + 0x1F00},
        SlotCase{"entry_equal_to_slot_count_visited", 2, 5, {5}, 0, SlotState::Piece, 97},
        SlotCase{"negative_slot", 2, 1, {0x1F00}, -1, SlotState::OutOfBlock, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowDirectoryWalk, EntriesPastTheBlockEndAreNeverRead) {
    // ITL 255 and 255 tables put the directory at 7198; a slot count of 0xFFFF
    // claims far more entries than the block holds.
    Block block = headerOnlyBlock(255, 255, 0xFFFF);
    std::fill(block.begin() + 7198, block.end(), 0x10);  // every entry 0x1010
    const BlockView view(block);
    const DataBlockLayout layout = parseDataBlockLayout(view);
    const int lastInside = (kBlockSize - kRowDirectoryEntrySize - layout.rowDirectoryOffset) / 2;
    EXPECT_EQ(rowPieceOffset(view, layout, lastInside).state, SlotState::Skipped);  // 6164 + 0x1010 > 8191
    EXPECT_EQ(rowPieceOffset(view, layout, lastInside + 1).state, SlotState::OutOfBlock);
    EXPECT_EQ(rowPieceOffset(view, layout, 0xFFFE).state, SlotState::OutOfBlock);
}

// --- The one walk ------------------------------------------------------------

namespace {

// A block of one table with these directory entries and a row piece of the
// given flag and column count wherever an entry points (from 0x1F00 on).
struct PieceAt {
    std::uint16_t entry;
    std::uint8_t flag;
    std::uint8_t columnCount;
};
Block blockWithPieces(int itlCount, std::uint16_t slotCount, const std::vector<PieceAt>& pieces, int extraHeader = 0) {
    std::vector<std::uint16_t> entries;
    for (const PieceAt& p : pieces) entries.push_back(p.entry);
    Block block = headerOnlyBlock(itlCount, 1, slotCount, entries);
    if (extraHeader > 0) {  // move the data header and directory further down
        const int h = kFixedHeaderSize + kItlEntrySize * itlCount;
        std::copy_backward(block.begin() + h, block.begin() + h + 64, block.begin() + h + 64 + extraHeader);
        std::fill(block.begin() + h, block.begin() + h + extraHeader, 0);
    }
    const int h = kFixedHeaderSize + kItlEntrySize * itlCount + extraHeader;
    for (const PieceAt& p : pieces) {
        if (p.entry < 0x1F00 || p.entry == kEmptySlot || h + p.entry + 2 >= kBlockSize) continue;
        block[static_cast<std::size_t>(h + p.entry)] = p.flag;
        block[static_cast<std::size_t>(h + p.entry + 2)] = p.columnCount;
    }
    return block;
}

RowWalkRules onlyFlag(std::uint8_t flag) {
    RowWalkRules rules;
    rules.onlyFlag = flag;
    return rules;
}

}  // namespace

struct WalkCase {
    const char* name;
    Block block;
    RowWalkRules rules;
    std::vector<int> slots;  // visited, in order
    bool broken;
};
class RowWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(RowWalk, VisitsThePiecesItsRulesAllow) {
    const WalkCase& c = GetParam();
    const BlockView view(c.block);
    RowPieces pieces(view, c.rules);
    std::vector<int> slots;
    for (const RowPiece& piece : pieces) {
        slots.push_back(piece.slot);
        EXPECT_EQ(piece.offset, pieces.layout().dataHeaderOffset + *view.u16(pieces.layout().rowDirectoryOffset + 2 * piece.slot));
        EXPECT_EQ(piece.form.headerLength, rowPieceHeaderLength(piece.flag).headerLength);
    }
    EXPECT_EQ(slots, c.slots);
    EXPECT_EQ(pieces.broken(), c.broken);
}

namespace {

const std::vector<PieceAt> kMixedPieces = {
    {0xFFFF, 0, 0}, {3, 0, 0}, {0x1F00, 0x2C, 3}, {0x1F10, 0x10, 1}, {0x1F20, 0x3C, 3}, {0x1F30, 0x2C, 8}, {0x1F40, 0x24, 3}};

Block directoryPastTheBlock(std::uint16_t slotCount) {
    Block block = headerOnlyBlock(255, 255, slotCount);
    std::fill(block.begin() + 7198, block.end(), 0xFF);  // every entry empty
    return block;
}

RowWalkRules wholeRowsOf(int columnCount) {
    RowWalkRules rules = onlyFlag(0x2C);
    rules.onlyColumnCount = columnCount;
    rules.fullSlotCountIsEmpty = true;
    return rules;
}

RowWalkRules every() {
    RowWalkRules rules;
    rules.everyPiece = true;
    return rules;
}

RowWalkRules headerAt(int offset) {
    RowWalkRules rules;
    rules.dataHeaderOffset = offset;
    return rules;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Table, RowWalk,
    ::testing::Values(
        // The dictionary passes: every decoded piece, deleted ones too.
        WalkCase{"decoded_pieces", blockWithPieces(2, 7, kMixedPieces), {}, {2, 4, 5}, false},
        // The table row reader: live single-piece rows only.
        WalkCase{"live_single_pieces", blockWithPieces(2, 7, kMixedPieces), onlyFlag(0x2C), {2, 5}, false},
        // The view and trigger step: whole rows of its column count.
        WalkCase{"whole_rows_of_eight_columns", blockWithPieces(2, 7, kMixedPieces), wholeRowsOf(8), {5}, false},
        // The dump: unclassified and undecoded pieces too.
        WalkCase{"every_piece", blockWithPieces(2, 7, kMixedPieces), every(), {2, 3, 4, 5, 6}, false},
        WalkCase{"directory_past_the_block", directoryPastTheBlock(0x1000), {}, {}, true},
        WalkCase{"full_slot_count_past_the_block", directoryPastTheBlock(0xFFFF), {}, {}, true},
        WalkCase{"full_slot_count_means_no_rows", directoryPastTheBlock(0xFFFF), wholeRowsOf(8), {}, false},
        // A data header 8 bytes after the ITL entries, as automatically managed segments have it.
        WalkCase{"data_header_given", blockWithPieces(3, 1, {{0x1F00, 0x2C, 1}}, 8), headerAt(124), {0}, false},
        WalkCase{"data_header_given_past_the_block", blockWithPieces(2, 1, {{0x1F00, 0x2C, 1}}), headerAt(8180), {}, true},
        WalkCase{"data_header_given_negative", blockWithPieces(2, 1, {{0x1F00, 0x2C, 1}}), headerAt(-4), {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowWalkOfABuiltBlock, FindsTheRowsTheBuilderPlaced) {
    forge::DataBlockBuilder builder(4711, 0x00400010, 3);
    const auto first = builder.addRow(forge::makeRow({forge::Bytes{0xC1, 0x02}}));
    builder.addEmptySlot();
    const auto second = builder.addRow(forge::makeRow({std::nullopt, forge::Bytes{'A'}}));
    ASSERT_TRUE(first && second);
    const Block block = builder.build();
    std::vector<int> pieces;
    for (const RowPiece& piece : rowPieces(BlockView(block))) pieces.push_back(piece.offset);
    // Pieces are packed from the end of the block downwards.
    const int firstSize = 3 + 3;
    const int secondSize = 3 + 1 + 2;
    EXPECT_EQ(pieces, (std::vector<int>{kBlockSize - firstSize, kBlockSize - firstSize - secondSize}));
}

// --- Real blocks ----------------------------------------------------------------

namespace {

// A block as a fixture file describes it (see the files for the line forms).
struct RealBlock {
    Block bytes{};
    int dataHeader = 0;
    std::vector<std::string> rows;  // columns joined by '|'
};

RealBlock loadRealBlock(const std::string& name) {
    std::ifstream in(std::string(RESTORIX_SOURCE_DIR) + "/tests/fixtures/" + name);
    EXPECT_TRUE(in) << name;
    RealBlock block;
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "row") {
            block.rows.push_back(line.substr(line.find(' ') + 1));
            continue;
        }
        std::string offsetText;
        fields >> offsetText;
        if (kind.empty()) continue;
        std::size_t offset = std::stoul(offsetText, nullptr, 16);
        if (kind == "header") block.dataHeader = static_cast<int>(offset);
        for (std::string item; fields >> item;) {
            const unsigned long value = std::stoul(item, nullptr, 16);
            const int width = kind == "words" ? 4 : 1;  // words are little-endian in the dump
            for (int b = 0; b < width; ++b) block.bytes.at(offset++) = static_cast<std::uint8_t>(value >> (8 * b));
        }
    }
    return block;
}

}  // namespace

struct RealBlockCase {
    const char* file;
    int extraHeaderBytes;        // before the data header, beyond the ITL entries
    std::vector<ColumnKind> columnKinds;  // the kinds of the table's columns
};
class RealBlocks : public ::testing::TestWithParam<RealBlockCase> {};

TEST_P(RealBlocks, TheWalkReadsThePublishedRows) {
    const RealBlockCase& c = GetParam();
    const RealBlock real = loadRealBlock(c.file);
    const BlockView view(real.bytes);
    EXPECT_EQ(view.u8(kBlockTypeOffset), kDataBlockType);
    EXPECT_EQ(dataHeaderOffsetOf(view) + c.extraHeaderBytes, real.dataHeader);
    // Found from the block's own bytes, as the table reader finds it.
    EXPECT_EQ(tableDataHeaderOffsetOf(view), real.dataHeader);
    RowWalkRules rules;
    rules.dataHeaderOffset = real.dataHeader;
    RowPieces pieces(view, rules);
    std::vector<std::string> rows;
    std::vector<ColumnValue> columns;
    for (const RowPiece& piece : pieces) {
        EXPECT_EQ(piece.flag, 0x2C);
        ASSERT_TRUE(readColumns(view, piece.firstColumnOffset(), piece.columnCount, columns));
        ASSERT_EQ(columns.size(), c.columnKinds.size());
        std::string row;
        for (std::size_t k = 0; k < columns.size(); ++k)
            row += (k ? "|" : "") + formatColumnValue(c.columnKinds[k], columns[k].bytes).text;
        rows.push_back(row);
    }
    EXPECT_FALSE(pieces.broken());
    EXPECT_EQ(rows, real.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RealBlocks,
    ::testing::Values(RealBlockCase{"real-assm-dept-block.txt", 8, {ColumnKind::NumberInteger, ColumnKind::Varchar2, ColumnKind::Varchar2}},
                      RealBlockCase{"real-assm-single-row-block.txt", 8, {ColumnKind::NumberInteger}},
                      RealBlockCase{"real-freelist-single-row-block.txt", 0, {ColumnKind::Varchar2}}),
    [](const auto& info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// --- Row piece classification -----------------------------------------------

namespace {

struct FlagClass {
    int headerLength;
    bool decoded;
};

std::set<int> range(int from, int to) {
    std::set<int> values;
    for (int v = from; v <= to; ++v) values.insert(v);
    return values;
}

std::set<int> unite(std::initializer_list<std::set<int>> parts) {
    std::set<int> all;
    for (const auto& part : parts) all.insert(part.begin(), part.end());
    return all;
}

// The classes of the 128 flag values without the cluster-key bit, listed as
// the format documents them rather than derived from the rules.
std::optional<FlagClass> documentedClass(int flag) {
    if (flag & ClusterKey) return FlagClass{19, true};
    static const std::set<int> header3 = {0x04, 0x06, 0x14, 0x16, 0x26, 0x2C, 0x2D,
                                          0x2E, 0x2F, 0x34, 0x36, 0x3C, 0x3E};
    static const std::set<int> header4 = unite({range(0x6C, 0x6F), range(0x7C, 0x7F)});
    static const std::set<int> header9 =
        unite({{0x01, 0x03, 0x05, 0x07, 0x09, 0x0B, 0x11, 0x13, 0x15, 0x17, 0x19, 0x1B, 0x25, 0x35, 0x3D, 0x3F},
               range(0x20, 0x23), range(0x27, 0x2B), range(0x30, 0x33), range(0x37, 0x3B),
               range(0x0C, 0x0F), range(0x1C, 0x1F)});  // a migrated row's body: its head's address
    static const std::set<int> header10 = unite({range(0x4C, 0x4F), range(0x5C, 0x5F), range(0x60, 0x63),
                                                 range(0x70, 0x73)});
    if (header3.count(flag)) return FlagClass{3, true};
    if (header4.count(flag)) return FlagClass{4, true};
    if (header9.count(flag)) return FlagClass{9, true};
    if (header10.count(flag)) return FlagClass{10, true};
    if (flag == 0x08) return FlagClass{15, true};
    if (flag == 0x10) return FlagClass{2, false};
    if (flag == 0x00) return FlagClass{3, false};
    return std::nullopt;
}

}  // namespace

TEST(RowPieceHeaderLength, EveryFlagValueMatchesItsDocumentedClass) {
    int unclassified = 0;
    for (int flag = 0; flag < 256; ++flag) {
        const RowPieceClass actual = rowPieceHeaderLength(static_cast<std::uint8_t>(flag));
        const auto expected = documentedClass(flag);
        SCOPED_TRACE(::testing::Message() << "flag 0x" << std::hex << flag);
        ASSERT_EQ(actual.classified, expected.has_value());
        if (!expected) {
            ++unclassified;
            EXPECT_FALSE(actual.decoded);
            continue;
        }
        EXPECT_EQ(actual.headerLength, expected->headerLength);
        EXPECT_EQ(actual.decoded, expected->decoded);
    }
    // 0x02 0x0A 0x12 0x18 0x1A 0x24, 0x40-0x4B, 0x50-0x5B, 0x64-0x6B, 0x74-0x7B.
    EXPECT_EQ(unclassified, 6 + 12 + 12 + 8 + 8);
}

// --- Column walk ------------------------------------------------------------

struct ColumnCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int count;
    bool atBlockEnd;  // place the bytes so that they end at byte 8191
    bool complete;
    std::vector<std::optional<std::vector<std::uint8_t>>> columns;
};
class ColumnWalk : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(ColumnWalk, ReadsValuesAndStopsAtTheBlockEnd) {
    const auto& c = GetParam();
    Block block{};
    const int offset = c.atBlockEnd ? kBlockSize - static_cast<int>(c.bytes.size()) : 1000;
    std::copy(c.bytes.begin(), c.bytes.end(), block.begin() + offset);
    std::vector<ColumnValue> columns;
    EXPECT_EQ(readColumns(BlockView(block), offset, c.count, columns), c.complete);
    ASSERT_EQ(columns.size(), c.columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(columns[i].isNull, !c.columns[i].has_value());
        if (c.columns[i]) {
            EXPECT_EQ(std::vector<std::uint8_t>(columns[i].bytes.begin(), columns[i].bytes.end()), *c.columns[i]);
        }
        EXPECT_TRUE(spanInside(block, columns[i].bytes));
    }
}

namespace {

std::vector<std::uint8_t> longValueRow() {
    std::vector<std::uint8_t> row = {0x01, 'a', 0xFE, 0x2C, 0x01};  // 'a', then 300 bytes
    for (int i = 0; i < 300; ++i) row.push_back(static_cast<std::uint8_t>(i));
    row.insert(row.end(), {0x02, 'z', 'z'});
    return row;
}
std::vector<std::uint8_t> bytesUpTo(int n) {
    std::vector<std::uint8_t> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(i));
    return v;
}
using Col = std::optional<std::vector<std::uint8_t>>;

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Table, ColumnWalk,
    ::testing::Values(
        ColumnCase{"null_short_null_short", {0xFF, 0x02, 0xC1, 0x02, 0xFF, 0x01, 0x41}, 4, false, true,
                   {std::nullopt, Col{{0xC1, 0x02}}, std::nullopt, Col{{0x41}}}},
        ColumnCase{"long_value_between_short_ones", longValueRow(), 3, false, true,
                   {Col{{'a'}}, Col{bytesUpTo(300)}, Col{{'z', 'z'}}}},
        ColumnCase{"empty_values_are_not_null", {0x00, 0xFE, 0x00, 0x00}, 2, false, true,
                   {Col{std::vector<std::uint8_t>{}}, Col{std::vector<std::uint8_t>{}}}},
        ColumnCase{"fewer_columns_than_asked_stop_at_end", {0x01, 0x41, 0x01}, 3, true, false, {Col{{0x41}}}},
        ColumnCase{"length_runs_past_end", {0xFF, 0x05, 0x01, 0x02}, 2, true, false, {std::nullopt}},
        ColumnCase{"long_length_field_cut", {0x01, 0x41, 0xFE, 0x10}, 2, true, false, {Col{{0x41}}}},
        ColumnCase{"long_value_runs_past_end", {0xFE, 0x01, 0x41, 0x00}, 1, true, false, {}},
        ColumnCase{"last_value_ends_at_block_end", {0x02, 0x01, 0x02}, 1, true, true, {Col{{0x01, 0x02}}}},
        ColumnCase{"zero_count", {0x02, 0x01, 0x02}, 0, false, true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Hostile input ----------------------------------------------------------

namespace {

// Walks a block the way a reader does and checks that every answer stays in it.
void walkWholeBlock(const Block& block) {
    const BlockView view(block);
    // Where a table reader would take the data header: a header it accepts lies inside the block.
    if (const std::optional<int> header = tableDataHeaderOffsetOf(view)) {
        ASSERT_GE(*header, 0);
        ASSERT_LE(*header + 14, kBlockSize);
    }
    std::vector<ColumnValue> columns;
    for (const RowPiece& piece : rowPieces(view, every())) {
        ASSERT_GE(piece.offset, 0);
        ASSERT_LT(piece.offset, kBlockSize);
        if (!piece.form.classified) continue;
        readColumns(view, piece.firstColumnOffset(), piece.columnCount, columns);
        for (const ColumnValue& column : columns) {
            ASSERT_TRUE(spanInside(block, column.bytes));
            ASSERT_GE(column.lengthOffset, 0);
            ASSERT_LT(column.lengthOffset, kBlockSize);
        }
    }
}

Block builtBlock(std::mt19937& random) {
    forge::DataBlockBuilder builder(static_cast<std::int32_t>(random()), random(), 1 + random() % 4);
    std::uniform_int_distribution<int> columnCount(0, 12);
    std::uniform_int_distribution<int> valueSize(0, 400);
    while (true) {
        std::vector<forge::Column> row;
        for (int c = columnCount(random); c > 0; --c) {
            if (random() % 5 == 0) {
                row.emplace_back(std::nullopt);
            } else {
                row.emplace_back(forge::Bytes(static_cast<std::size_t>(valueSize(random)), 0x5A));
            }
        }
        if (!builder.addRow(forge::makeRow(row, static_cast<std::uint8_t>(random())))) break;
    }
    return builder.build();
}

}  // namespace

TEST(HostileBlocks, ExtremeHeaderValuesStayInsideTheBlock) {
    Block block{};
    std::fill(block.begin(), block.end(), 0xFF);  // ITL 255, slot count FFFF, entries FFFF, lengths FF
    walkWholeBlock(block);
    std::fill(block.begin(), block.end(), 0xFE);  // every length byte announces a long value
    walkWholeBlock(block);
    // Every entry points at the last byte of the block, whose flag is 0x2C.
    block = headerOnlyBlock(2, 1, 2000);
    for (int i = 0; i < 2000; ++i) put16(block, 110 + 2 * i, static_cast<std::uint16_t>(kBlockSize - 1 - 92));
    block[kBlockSize - 1] = 0x2C;
    walkWholeBlock(block);
}

TEST(HostileBlocks, RandomAndMutatedBlocksStayInsideTheBlock) {
    std::mt19937 random(20240607);
    for (int round = 0; round < 3000; ++round) {
        Block block{};
        if (round % 3 == 0) {
            for (auto& b : block) b = static_cast<std::uint8_t>(random());
            // Keep the directory plausible often enough that pieces get visited.
            block[kItlCountOffset] = static_cast<std::uint8_t>(random() % 4);
        } else {
            block = builtBlock(random);
            for (int flips = 1 + random() % 40; flips > 0; --flips) {
                block[random() % kBlockSize] = static_cast<std::uint8_t>(random());
            }
        }
        walkWholeBlock(block);
        if (HasFatalFailure()) {
            FAIL() << "round " << round;
        }
    }
}

namespace {

// A cluster block's rows belong to the table its table directory gives their
// slot, whatever their flags and column counts: random blocks of 1 to 4
// tables, some slots empty, every table's rows of any column count.
TEST(ClusterBlockTables, RowsGoByTableNumberOnly) {
    std::mt19937 random(20261208);
    for (int trial = 0; trial < 300; ++trial) {
        const int tables = 1 + static_cast<int>(random() % 4);
        forge::DataBlockBuilder builder(7, 0x00400010, 2, tables);
        std::vector<std::vector<int>> expected(static_cast<std::size_t>(tables));
        std::vector<forge::DataBlockBuilder::TableDirectoryEntry> directory;
        for (int t = 0; t < tables; ++t) {
            const int rows = static_cast<int>(random() % 5);
            directory.push_back({static_cast<std::uint16_t>(builder.slotCount()), static_cast<std::uint16_t>(rows)});
            for (int r = 0; r < rows; ++r) {
                if (random() % 6 == 0) {
                    builder.addEmptySlot();
                    continue;
                }
                const std::vector<forge::Column> columns(random() % 4, forge::Bytes{0xC1, 0x02});
                const forge::Bytes piece =
                    t == 0 ? forge::makeClusterKeyRow(columns) : forge::makeClusterMemberRow(0, columns);
                const std::optional<int> slot = builder.addRow(piece);
                ASSERT_TRUE(slot);
                expected[static_cast<std::size_t>(t)].push_back(*slot);
            }
        }
        builder.setTableDirectory(directory);
        const Block block = builder.build();
        for (int t = 0; t <= tables; ++t) {
            RowWalkRules rules;
            rules.onlyTable = t;
            rules.everyPiece = true;
            std::vector<int> visited;
            for (const RowPiece& piece : rowPieces(BlockView(block), rules)) visited.push_back(piece.slot);
            const std::vector<int> want = t < tables ? expected[static_cast<std::size_t>(t)] : std::vector<int>{};
            EXPECT_EQ(visited, want) << "trial " << trial << ", table " << t << " of " << tables;
        }
    }
}

}  // namespace
