#pragma once
// Where rows are inside a data block, how a row piece's flag byte is
// classified, and the one column walk that every reader uses.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "datafile/block_view.h"

namespace restorix {

// Block header.
constexpr int kBlockTypeOffset = 0;
constexpr int kBlockAddressOffset = 4;  // the block's own address
constexpr int kSegmentKindOffset = 20;
constexpr int kDataObjectOffset = 24;
constexpr int kItlCountOffset = 36;  // a u16: see itlCountOf
constexpr int kFixedHeaderSize = 20 + 24;  // cache layer + transaction header
constexpr int kItlEntrySize = 24;
constexpr std::uint8_t kDataBlockType = 6;

// Data header, relative to its start H.
constexpr int kTableCountOffset = 1;
constexpr int kRowSlotCountOffset = 2;
constexpr int kFreeListHeadOffset = 4;     // first free slot of the row directory
constexpr int kFreeSpaceStartOffset = 6;   // the end of the row directory
constexpr int kFreeSpaceEndOffset = 8;     // the lowest row piece
constexpr int kAvailableSpaceOffset = 10;
constexpr int kTotalAvailableOffset = 12;
constexpr int kDataHeaderSize = 14;
constexpr int kTableDirectoryEntrySize = 4;
constexpr int kRowDirectoryEntrySize = 2;
constexpr std::uint16_t kEmptySlot = 0xFFFF;

// Column length bytes.
constexpr std::uint8_t kNullLength = 0xFF;
constexpr std::uint8_t kLongLength = 0xFE;  // a u16 length (the file's byte order) and the data follow

enum RowFlag : std::uint8_t {
    ClusterKey = 0x80,
    ClusterMember = 0x40,
    Head = 0x20,
    Deleted = 0x10,
    First = 0x08,
    Last = 0x04,
    PrevPart = 0x02,
    NextPart = 0x01,
};

// A row stored whole in one piece: its head, first and last piece at once.
constexpr std::uint8_t kWholeRowFlag = Head | First | Last;

struct DataBlockLayout {
    int blockSize = kBlockSize;
    std::uint8_t itlCount = 0;
    int dataHeaderOffset = 0;    // H
    std::uint8_t tableCount = 0;
    std::uint16_t rowSlotCount = 0;
    int rowDirectoryOffset = 0;  // R
};

// The number of ITL entries: the low byte of the u16 at 36 in the file's byte
// order (byte 36 of a little-endian file, byte 37 of a big-endian one). A
// block has at most 255 entries; the other byte is not trusted.
std::uint8_t itlCountOf(const BlockView& block);

// Where a block's data header starts: right after its transaction entries,
// 44 + 24 x the ITL count. The one place that decides it for every reader.
int dataHeaderOffsetOf(const BlockView& block);

// Where the data header of a table's block starts, decided block by block:
// after the ITL entries (freelist segments) or 8 bytes later (automatically
// managed segments), whichever holds a consistent header (the first when
// both do). Nothing when neither does: the block cannot be read.
std::optional<int> tableDataHeaderOffsetOf(const BlockView& block);

// Computed from the data header at `dataHeaderOffset` (bytes H+1 and H+2).
// Fields whose bytes lie outside the block read as 0.
DataBlockLayout parseDataBlockLayout(const BlockView& block, int dataHeaderOffset);
// The same with H from the block's ITL count.
DataBlockLayout parseDataBlockLayout(const BlockView& block);

// The checks with which a dictionary pass gives up on a block whose header
// points outside it: H > 8178, H + 14 > 8188 or H + 18 > 8192 in an 8K block
// (the same distances from the end in another size).
bool dataHeaderInBlock(const DataBlockLayout& layout);

// The row directory slots of table `table` in the block's table directory
// (cluster blocks: table 0 holds the cluster keys, each clustered table its
// TAB$ table number): from `first`, `count` of them, cut to the slot count.
// Nothing for a table the directory does not list or an entry outside the block.
struct TableSlots {
    int first = 0;
    int count = 0;
};
std::optional<TableSlots> tableSlotsOf(const BlockView& block, const DataBlockLayout& layout, int table);

enum class SlotState {
    Piece,       // offset holds the row piece's block offset
    Skipped,     // empty slot, free-slot link, or a piece at or past the end
    OutOfBlock,  // the directory entry itself lies past the block
};
struct RowSlot {
    SlotState state = SlotState::Skipped;
    int offset = 0;
};

// Slot i of the row directory, with the walk rules: 0xFFFF is empty, an entry
// below rowSlotCount is a free-slot link, H + entry past the block is skipped.
RowSlot rowPieceOffset(const BlockView& block, const DataBlockLayout& layout, int slot);

struct RowPieceClass {
    bool classified = false;  // false: the flag matches no rule
    bool decoded = false;     // the piece goes on to column decoding
    int headerLength = 0;     // 2, 3, 4, 9, 10, 15 or 19
};
RowPieceClass rowPieceHeaderLength(std::uint8_t flag);

// One stored column: NULL, or its bytes inside the block.
struct ColumnValue {
    bool isNull = true;
    std::span<const std::uint8_t> bytes;
    int lengthOffset = 0;  // block offset of the column's length byte
};

// Reads `count` columns from block offset `offset`. A length byte FF is NULL;
// FE is followed by a u16 length in the file's byte order and that many bytes; any other byte L by L
// bytes. Returns false when a length byte or a value would leave the block;
// `out` then holds the columns read before that point.
bool readColumns(const BlockView& block, int offset, int count, std::vector<ColumnValue>& out);

}  // namespace restorix
