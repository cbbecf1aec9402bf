#include "tools/forge/big_endian.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <stdexcept>
#include <vector>

#include "datafile/block_layout.h"
#include "datafile/block_source.h"
#include "datafile/block_view.h"
#include "datafile/datafile_set.h"

namespace restorix::forge {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Block 0 (block size, block count, magic) and the file header's integers.
// A cluster key's header: the counts of its member rows, after flag, lock and column count.
constexpr int kKeyMemberCountOffset = 3;
constexpr int kKeyCommittedCountOffset = 5;
// The tail the forge writes in complete blocks: type 6, sequence 1.
constexpr std::uint32_t kForgedTail = 0x0601;
constexpr int kTailSize = 4;

// The integers of one block to turn around: block offset, then width (2 or 4).
using Integers = std::map<long, int>;

void turnAround(std::span<std::uint8_t> block, const Integers& integers) {
    for (const auto& [offset, width] : integers)
        if (offset >= 0 && offset + width <= static_cast<long>(block.size()))
            std::reverse(block.begin() + offset, block.begin() + offset + width);
}

// Where the row pieces' own integers are: the u16 after each FE length byte
// and a cluster key's counts. Returns where the last piece ends.
long addRowIntegers(const BlockView& block, const DataBlockLayout& layout, Integers& integers) {
    long lastEnd = 0;
    std::vector<ColumnValue> columns;
    for (int slot = 0; slot < layout.rowSlotCount; ++slot) {
        const RowSlot row = rowPieceOffset(block, layout, slot);
        if (row.state != SlotState::Piece) continue;
        const std::uint8_t flag = block.u8(row.offset).value_or(0);
        const RowPieceClass form = rowPieceHeaderLength(flag);
        if (!form.classified || !form.decoded) continue;
        if (flag & ClusterKey) {
            integers[row.offset + kKeyMemberCountOffset] = 2;
            integers[row.offset + kKeyCommittedCountOffset] = 2;
        }
        const int count = block.u8(row.offset + 2).value_or(0);
        readColumns(block, row.offset + form.headerLength, count, columns);
        lastEnd = std::max<long>(lastEnd, row.offset + form.headerLength);
        for (const ColumnValue& column : columns) {
            if (block.u8(column.lengthOffset) == kLongLength) integers[column.lengthOffset + 1] = 2;
            const long end = column.isNull ? column.lengthOffset + 1 : column.bytes.data() - block.raw().data() +
                                                                            static_cast<long>(column.bytes.size());
            lastEnd = std::max(lastEnd, end);
        }
    }
    return lastEnd;
}

void addDataBlockIntegers(const BlockView& block, Integers& integers) {
    const int h = tableDataHeaderOffsetOf(block).value_or(dataHeaderOffsetOf(block));
    const DataBlockLayout layout = parseDataBlockLayout(block, h);
    integers[kItlCountOffset] = 2;
    for (const int field : {kRowSlotCountOffset, kFreeListHeadOffset, kFreeSpaceStartOffset, kFreeSpaceEndOffset,
                            kAvailableSpaceOffset, kTotalAvailableOffset})
        integers[h + field] = 2;
    for (int t = 0; t < layout.tableCount; ++t) {
        const int entry = h + kDataHeaderSize + kTableDirectoryEntrySize * t;
        integers[entry] = 2;
        integers[entry + 2] = 2;
    }
    for (int slot = 0; slot < layout.rowSlotCount; ++slot)
        integers[layout.rowDirectoryOffset + kRowDirectoryEntrySize * slot] = 2;
    const long rowsEnd = addRowIntegers(block, layout, integers);
    const long tail = block.size() - kTailSize;
    if (rowsEnd <= tail && block.u32(tail) == kForgedTail) integers[tail] = 4;
}

void turnBlockAround(std::span<std::uint8_t> bytes, std::int64_t number) {
    const BlockView block(bytes);
    Integers integers;
    if (number == 0) {
        for (const int field : {kBlockSizeFieldOffset, kBlockZeroBlockCountOffset, kByteOrderMagicOffset})
            integers[field] = 4;
    } else if (block.u8(kBlockTypeOffset) == kFileHeaderBlockType) {
        for (const int field : {kBlockAddressOffset, kDatabaseIdOffset, kHeaderBlockCountOffset, kRootAddressOffset,
                                kRelativeFileNumberOffset})
            integers[field] = 4;
        integers[kTablespaceNameLengthOffset] = 2;
    } else if (block.u8(kBlockTypeOffset).value_or(0) != 0) {
        integers[kBlockAddressOffset] = 4;
        integers[kDataObjectOffset] = 4;
        if (block.u8(kBlockTypeOffset) == kDataBlockType) addDataBlockIntegers(block, integers);
    }
    turnAround(bytes, integers);
}

std::string systemReason() { return std::strerror(errno); }

}  // namespace

void rewriteBigEndian(const std::string& path, const BigEndianCopy& copy) {
    Bytes file;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw std::runtime_error("cannot read " + path + ": " + systemReason());
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const auto blockSize = static_cast<std::size_t>(copy.blockSize);
    for (std::size_t at = 0; at + blockSize <= file.size(); at += blockSize)
        turnBlockAround(std::span<std::uint8_t>(file.data() + at, blockSize), static_cast<std::int64_t>(at / blockSize));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (copy.aixLeader) {
        const Bytes leader(static_cast<std::size_t>(kAixLeaderBytes), 0);
        out.write(reinterpret_cast<const char*>(leader.data()), static_cast<std::streamsize>(leader.size()));
    }
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path + ": " + systemReason());
}

}  // namespace restorix::forge
