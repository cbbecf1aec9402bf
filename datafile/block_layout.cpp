#include "datafile/block_layout.h"

#include <algorithm>

namespace restorix {

namespace {

// Limits past which a dictionary pass no longer trusts the data header, from
// the end of the block (8178 and 8188 in an 8K block).
constexpr int kMaxDataHeaderFromEnd = 14;
constexpr int kMaxDirectoryStartFromEnd = 4;
constexpr int kDataHeaderProbeSize = 18;                    // header fields up to H + 18
// Automatically managed segments keep 8 more bytes before the data header.
constexpr int kAutoManagedExtra = 8;
constexpr int kLongLengthFieldSize = 2;                     // u16 after an FE length byte

constexpr int kClusterKeyHeader = 19;
constexpr int kSinglePieceHeader = 3;
constexpr int kClusterMemberHeader = 4;
constexpr int kRowAddressSize = 6;  // block address, then slot
// The three header bytes, then one address: the next piece's after a head,
// the head's before a migrated row's body (flag 0x0C: "hrid" in a dump).
constexpr int kChainedHeader = kSinglePieceHeader + kRowAddressSize;
constexpr int kMigratedBodyHeader = kSinglePieceHeader + kRowAddressSize;
constexpr int kClusterChainedHeader = kClusterMemberHeader + kRowAddressSize;
// A first piece that neither heads nor ends its row: the head's address, then
// the next piece's (no published dump shows one; counted apart in the report).
constexpr int kFirstOnlyHeader = kSinglePieceHeader + 2 * kRowAddressSize;
constexpr int kDeletedOnlyHeader = 2;

constexpr std::uint8_t kHeadFirstLast = Head | First | Last;
constexpr std::uint8_t kFirstLast = First | Last;

constexpr bool allSet(std::uint8_t flag, std::uint8_t bits) { return (flag & bits) == bits; }
constexpr bool allClear(std::uint8_t flag, std::uint8_t bits) { return (flag & bits) == 0; }

constexpr RowPieceClass decodedWith(int headerLength) { return {true, true, headerLength}; }
constexpr RowPieceClass skippedWith(int headerLength) { return {true, false, headerLength}; }

}  // namespace

std::uint8_t itlCountOf(const BlockView& block) {
    const std::uint16_t count = block.u16(kItlCountOffset).value_or(0);
    return static_cast<std::uint8_t>(count & 0xFF);
}

int dataHeaderOffsetOf(const BlockView& block) { return kFixedHeaderSize + kItlEntrySize * itlCountOf(block); }

namespace {

// A data header at H is believable when its free-space start is the end of
// its row directory and every row it lists starts inside the block.
bool consistentDataHeader(const BlockView& block, int h) {
    const DataBlockLayout layout = parseDataBlockLayout(block, h);
    const auto freeSpaceStart = block.u16(h + kFreeSpaceStartOffset);
    const long directoryEnd = static_cast<long>(layout.rowDirectoryOffset) + kRowDirectoryEntrySize * layout.rowSlotCount;
    if (!freeSpaceStart || !block.contains(h, kDataHeaderSize) || !block.contains(directoryEnd, 0)) return false;
    if (*freeSpaceStart != directoryEnd - h) return false;
    for (int slot = 0; slot < layout.rowSlotCount; ++slot) {
        const std::uint16_t entry = *block.u16(layout.rowDirectoryOffset + kRowDirectoryEntrySize * slot);
        // Empty slots and free-slot links point nowhere.
        if (entry == kEmptySlot || entry < layout.rowSlotCount) continue;
        if (!block.contains(h + entry, 1)) return false;
    }
    return true;
}

}  // namespace

std::optional<int> tableDataHeaderOffsetOf(const BlockView& block) {
    const int afterItls = dataHeaderOffsetOf(block);
    if (consistentDataHeader(block, afterItls)) return afterItls;
    if (consistentDataHeader(block, afterItls + kAutoManagedExtra)) return afterItls + kAutoManagedExtra;
    return std::nullopt;
}

DataBlockLayout parseDataBlockLayout(const BlockView& block) {
    return parseDataBlockLayout(block, dataHeaderOffsetOf(block));
}

DataBlockLayout parseDataBlockLayout(const BlockView& block, int dataHeaderOffset) {
    DataBlockLayout layout;
    layout.blockSize = block.size();
    layout.itlCount = itlCountOf(block);
    layout.dataHeaderOffset = dataHeaderOffset;
    const int h = layout.dataHeaderOffset;
    layout.tableCount = block.u8(h + kTableCountOffset).value_or(0);
    layout.rowSlotCount = block.u16(h + kRowSlotCountOffset).value_or(0);
    layout.rowDirectoryOffset = h + kDataHeaderSize + kTableDirectoryEntrySize * layout.tableCount;
    return layout;
}

bool dataHeaderInBlock(const DataBlockLayout& layout) {
    const int h = layout.dataHeaderOffset;
    const int size = layout.blockSize;
    return h >= 0 && h <= size - kMaxDataHeaderFromEnd && h + kDataHeaderSize <= size - kMaxDirectoryStartFromEnd &&
           h + kDataHeaderProbeSize <= size;
}

std::optional<TableSlots> tableSlotsOf(const BlockView& block, const DataBlockLayout& layout, int table) {
    if (table < 0 || table >= layout.tableCount) return std::nullopt;
    const int entry = layout.dataHeaderOffset + kDataHeaderSize + kTableDirectoryEntrySize * table;
    const auto first = block.u16(entry);
    const auto count = block.u16(entry + kTableDirectoryEntrySize / 2);
    if (!first || !count) return std::nullopt;
    const int end = std::min<int>(*first + *count, layout.rowSlotCount);
    return TableSlots{*first, std::max(0, end - *first)};
}

RowSlot rowPieceOffset(const BlockView& block, const DataBlockLayout& layout, int slot) {
    if (slot < 0) return {SlotState::OutOfBlock, 0};
    const long entryOffset = layout.rowDirectoryOffset + static_cast<long>(kRowDirectoryEntrySize) * slot;
    const auto entry = block.u16(entryOffset);
    if (!entry) return {SlotState::OutOfBlock, 0};
    if (*entry == kEmptySlot) return {SlotState::Skipped, 0};
    // An entry below the slot count is a link in the free-slot chain, not a row.
    if (*entry < layout.rowSlotCount) return {SlotState::Skipped, 0};
    const int pieceOffset = layout.dataHeaderOffset + *entry;
    if (pieceOffset < 0 || pieceOffset >= block.size()) return {SlotState::Skipped, 0};
    return {SlotState::Piece, pieceOffset};
}

RowPieceClass rowPieceHeaderLength(std::uint8_t flag) {
    // The order matters: the first matching rule decides.
    if (allSet(flag, ClusterKey)) return decodedWith(kClusterKeyHeader);
    if (flag == (Head | Deleted | First | Last)) return decodedWith(kSinglePieceHeader);
    if (allSet(flag, kHeadFirstLast) && allClear(flag, ClusterMember | Deleted))
        return decodedWith(kSinglePieceHeader);
    if (allSet(flag, kHeadFirstLast | ClusterMember)) return decodedWith(kClusterMemberHeader);
    if (allSet(flag, kFirstLast | ClusterMember) && allClear(flag, Head)) return decodedWith(kClusterChainedHeader);
    if (allSet(flag, kFirstLast) && allClear(flag, Head | ClusterMember)) return decodedWith(kMigratedBodyHeader);
    if (allSet(flag, Head) && allClear(flag, kFirstLast | ClusterMember)) return decodedWith(kChainedHeader);
    if (allSet(flag, Head | ClusterMember) && allClear(flag, kFirstLast)) return decodedWith(kClusterChainedHeader);
    if (allSet(flag, NextPart) && allClear(flag, ClusterMember)) return decodedWith(kChainedHeader);
    if (flag == Last) return decodedWith(kSinglePieceHeader);
    if (allSet(flag, PrevPart | Last) && allClear(flag, ClusterMember)) return decodedWith(kSinglePieceHeader);
    if (allSet(flag, Head | First) && allClear(flag, ClusterMember)) return decodedWith(kChainedHeader);
    if (allSet(flag, Deleted | Last) && allClear(flag, ClusterMember)) return decodedWith(kSinglePieceHeader);
    if (flag == Deleted) return skippedWith(kDeletedOnlyHeader);
    if (flag == First) return decodedWith(kFirstOnlyHeader);
    if (flag == 0) return skippedWith(kSinglePieceHeader);
    return {};
}

bool readColumns(const BlockView& block, int offset, int count, std::vector<ColumnValue>& out) {
    // Sized once per row: a list reused from row to row keeps its room and
    // every column read is written over in place, without growing value by
    // value.
    out.resize(static_cast<std::size_t>(std::max(count, 0)));
    // Read at every column of every row: each range is checked as the view
    // checks it, and the bytes then read in place.
    const std::span<const std::uint8_t> bytes = block.raw();
    // A row cut short keeps the columns read before the one that left the block.
    const auto cutBefore = [&out](int column) {
        out.resize(static_cast<std::size_t>(column));
        return false;
    };
    long position = offset;
    for (int column = 0; column < count; ++column) {
        if (!block.contains(position)) return cutBefore(column);
        const std::uint8_t lengthByte = bytes[static_cast<std::size_t>(position)];
        ColumnValue& value = out[static_cast<std::size_t>(column)];
        value.lengthOffset = static_cast<int>(position);
        if (lengthByte == kNullLength) {
            value.isNull = true;
            value.bytes = {};
            position += 1;
            continue;
        }
        long dataOffset = position + 1;
        long length = lengthByte;
        if (lengthByte == kLongLength) {
            if (!block.contains(dataOffset, kLongLengthFieldSize)) return cutBefore(column);
            length = readU16(bytes.data() + dataOffset, block.byteOrder());
            dataOffset += kLongLengthFieldSize;
        }
        if (!block.contains(dataOffset, length)) return cutBefore(column);
        value.isNull = false;
        value.bytes = bytes.subspan(static_cast<std::size_t>(dataOffset), static_cast<std::size_t>(length));
        position = dataOffset + length;
    }
    return true;
}

}  // namespace restorix
