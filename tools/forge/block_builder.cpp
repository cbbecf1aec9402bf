#include "tools/forge/block_builder.h"

#include <algorithm>

namespace restorix::forge {

namespace {
constexpr int kMaxShortLength = 250;
constexpr int kClusterKeyHeader = 19;
}  // namespace

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
                                   int tableCount)
    : dataObjectId_(dataObjectId), blockAddress_(blockAddress), itlCount_(itlCount), tableCount_(tableCount) {}

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
    Block block{};
    auto put16 = [&](int off, std::uint16_t v) {
        block[off] = static_cast<std::uint8_t>(v & 0xFF);
        block[off + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](int off, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) block[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    block[kBlockTypeOffset] = kDataBlockType;
    block[1] = 0xA2;  // block format
    put32(4, blockAddress_);
    block[kSegmentKindOffset] = segmentKind_;
    put32(kDataObjectOffset, static_cast<std::uint32_t>(dataObjectId_));
    block[kItlCountOffset] = static_cast<std::uint8_t>(itlCount_);

    const int h = dataHeaderOffset();
    block[h] = 0;
    block[h + kTableCountOffset] = static_cast<std::uint8_t>(tableCount_);
    put16(h + kRowSlotCountOffset, static_cast<std::uint16_t>(slots_.size()));
    // Free-space bookkeeping: start and end of the free gap.
    const int directoryEnd = rowDirectoryOffset() + kRowDirectoryEntrySize * slotCount();
    put16(h + 4, static_cast<std::uint16_t>(directoryEnd - h));
    put16(h + 6, static_cast<std::uint16_t>(lowestPiece_ - h));
    for (int t = 0; t < tableCount_; ++t) {
        TableDirectoryEntry entry{0, static_cast<std::uint16_t>(t == 0 ? slots_.size() : 0)};
        if (static_cast<std::size_t>(t) < tableDirectory_.size()) entry = tableDirectory_[static_cast<std::size_t>(t)];
        put16(h + kDataHeaderSize + kTableDirectoryEntrySize * t, entry.firstSlot);
        put16(h + kDataHeaderSize + kTableDirectoryEntrySize * t + 2, entry.slotCount);
    }
    const int r = rowDirectoryOffset();
    for (int i = 0; i < slotCount(); ++i) put16(r + kRowDirectoryEntrySize * i, slots_[i]);
    for (const auto& [offset, bytes] : pieces_) std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
    return block;
}

}  // namespace restorix::forge
