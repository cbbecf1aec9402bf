#include "tools/forge/block_builder.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace restorix::forge {

namespace {
constexpr int kMaxShortLength = 250;
constexpr int kClusterKeyHeader = 19;
constexpr int kSequenceOffset = 14;  // the block's change sequence, repeated in its tail
constexpr std::uint8_t kFirstSequence = 1;
constexpr int kTailTypeShift = 8;
}  // namespace

void checkBlockSize(int size) {
    for (int s = kMinBlockSize; s <= kMaxBlockSize; s *= 2)
        if (s == size) return;
    throw std::invalid_argument("block size " + std::to_string(size) + " is not 2K, 4K, 8K, 16K or 32K");
}

int dataHeaderOffsetFor(const BlockFormat& format, int itlCount) {
    return kFixedHeaderSize + kItlEntrySize * itlCount + (format.assm ? kAssmDataHeaderShift : 0);
}

void appendColumn(Bytes& row, const Column& column) {
    if (!column) {
        row.push_back(kNullLength);
        return;
    }
    const auto size = column->size();
    if (size <= kMaxShortLength) {
        row.push_back(static_cast<std::uint8_t>(size));
    } else {
        row.push_back(kLongLength);
        row.push_back(static_cast<std::uint8_t>(size & 0xFF));
        row.push_back(static_cast<std::uint8_t>(size >> 8));
    }
    row.insert(row.end(), column->begin(), column->end());
}

Bytes makeRow(const std::vector<Column>& columns, std::uint8_t flag) {
    Bytes row{flag, 0, static_cast<std::uint8_t>(columns.size())};
    for (const auto& c : columns) appendColumn(row, c);
    return row;
}

Bytes makeClusterMemberRow(std::uint8_t keyIndex, const std::vector<Column>& columns, std::uint8_t flag) {
    Bytes row{flag, 0, static_cast<std::uint8_t>(columns.size()), keyIndex};
    for (const auto& c : columns) appendColumn(row, c);
    return row;
}

Bytes makeClusterKeyRow(const std::vector<Column>& columns, std::uint8_t flag) {
    Bytes row(kClusterKeyHeader, 0);
    row[0] = flag;
    row[2] = static_cast<std::uint8_t>(columns.size());
    row[3] = 1;  // rows in the cluster key's chain
    for (const auto& c : columns) appendColumn(row, c);
    return row;
}

DataBlockBuilder::DataBlockBuilder(std::int32_t dataObjectId, std::uint32_t blockAddress, int itlCount,
                                   int tableCount, const BlockFormat& format)
    : dataObjectId_(dataObjectId),
      blockAddress_(blockAddress),
      itlCount_(itlCount),
      tableCount_(tableCount),
      format_(format),
      lowestPiece_(rowSpaceEnd(format)) {
    checkBlockSize(format.size);
}

std::size_t DataBlockBuilder::freeBytes() const {
    const int directoryEnd = rowDirectoryOffset() + kRowDirectoryEntrySize * (slotCount() + 1);
    return lowestPiece_ > directoryEnd ? static_cast<std::size_t>(lowestPiece_ - directoryEnd) : 0;
}

bool DataBlockBuilder::fits(std::size_t pieceSize) const { return pieceSize <= freeBytes(); }

std::optional<int> DataBlockBuilder::addRow(std::span<const std::uint8_t> piece) {
    if (piece.empty() || !fits(piece.size())) return std::nullopt;
    lowestPiece_ -= static_cast<int>(piece.size());
    pieces_.emplace_back(lowestPiece_, Bytes(piece.begin(), piece.end()));
    slots_.push_back(static_cast<std::uint16_t>(lowestPiece_ - dataHeaderOffset()));
    return slotCount() - 1;
}

void DataBlockBuilder::addRawSlot(std::uint16_t entry) { slots_.push_back(entry); }

std::optional<int> DataBlockBuilder::pieceOffset(int slot) const {
    if (slot < 0 || slot >= slotCount()) return std::nullopt;
    const int offset = dataHeaderOffset() + slots_[static_cast<std::size_t>(slot)];
    const bool holdsPiece = std::any_of(pieces_.begin(), pieces_.end(),
                                        [&](const auto& piece) { return piece.first == offset; });
    if (!holdsPiece) return std::nullopt;
    return offset;
}

Block DataBlockBuilder::build() const {
    if (format_.size != kBlockSize) throw std::logic_error("an 8K block asked of a builder of another size");
    Block block{};
    writeInto(block);
    return block;
}

Bytes DataBlockBuilder::buildBytes() const {
    Bytes block(static_cast<std::size_t>(format_.size), 0);
    writeInto(block);
    return block;
}

void DataBlockBuilder::writeInto(std::span<std::uint8_t> block) const {
    auto put16 = [&](int off, std::uint16_t v) { putU16LE(block.data() + off, v); };
    block[kBlockTypeOffset] = kDataBlockType;
    block[1] = 0xA2;  // block format
    putU32LE(block.data() + 4, blockAddress_);
    block[kSegmentKindOffset] = segmentKind_;
    putU32LE(block.data() + kDataObjectOffset, static_cast<std::uint32_t>(dataObjectId_));
    block[kItlCountOffset] = static_cast<std::uint8_t>(itlCount_);
    if (format_.complete) {
        block[kSequenceOffset] = kFirstSequence;
        putU32LE(block.data() + format_.size - kBlockTailSize,
                 static_cast<std::uint32_t>(kDataBlockType) << kTailTypeShift | kFirstSequence);
    }

    const int h = dataHeaderOffset();
    block[h] = 0;
    block[h + kTableCountOffset] = static_cast<std::uint8_t>(tableCount_);
    put16(h + kRowSlotCountOffset, static_cast<std::uint16_t>(slots_.size()));
    // Free-space bookkeeping: start and end of the free gap.
    const int directoryEnd = rowDirectoryOffset() + kRowDirectoryEntrySize * slotCount();
    const auto gapStart = static_cast<std::uint16_t>(directoryEnd - h);
    const auto gapEnd = static_cast<std::uint16_t>(lowestPiece_ - h);
    put16(h + kFreeListHeadOffset, freeListHead_);
    put16(h + kFreeSpaceStartOffset, gapStart);
    put16(h + kFreeSpaceEndOffset, gapEnd);
    put16(h + kAvailableSpaceOffset, static_cast<std::uint16_t>(gapEnd - gapStart));
    put16(h + kTotalAvailableOffset, static_cast<std::uint16_t>(gapEnd - gapStart));
    for (int t = 0; t < tableCount_; ++t) {
        TableDirectoryEntry entry{0, static_cast<std::uint16_t>(t == 0 ? slots_.size() : 0)};
        if (static_cast<std::size_t>(t) < tableDirectory_.size()) entry = tableDirectory_[static_cast<std::size_t>(t)];
        put16(h + kDataHeaderSize + kTableDirectoryEntrySize * t, entry.firstSlot);
        put16(h + kDataHeaderSize + kTableDirectoryEntrySize * t + 2, entry.slotCount);
    }
    const int r = rowDirectoryOffset();
    for (int i = 0; i < slotCount(); ++i) put16(r + kRowDirectoryEntrySize * i, slots_[static_cast<std::size_t>(i)]);
    for (const auto& [offset, bytes] : pieces_) std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
}

}  // namespace restorix::forge
