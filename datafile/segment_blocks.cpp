#include "datafile/segment_blocks.h"

#include <algorithm>
#include <cstring>

namespace restorix {

SegmentBlocks::SegmentBlocks(const BlockIndex& index, std::int32_t dataObject)
    : entries_(index.entries()), positions_(index.blocksOf(dataObject)) {}

SegmentBlocks::SegmentBlocks(const BlockIndex& index, std::initializer_list<std::int32_t> dataObjects)
    : SegmentBlocks(index, std::span<const std::int32_t>(dataObjects.begin(), dataObjects.size())) {}

SegmentBlocks::SegmentBlocks(const BlockIndex& index, std::span<const std::int32_t> dataObjects)
    : entries_(index.entries()) {
    for (std::size_t i = 0; i < dataObjects.size(); ++i) {
        // A data object listed twice still gives its blocks once.
        if (std::find(dataObjects.begin(), dataObjects.begin() + static_cast<std::ptrdiff_t>(i), dataObjects[i]) !=
            dataObjects.begin() + static_cast<std::ptrdiff_t>(i))
            continue;
        const auto blocks = index.blocksOf(dataObjects[i]);
        merged_.insert(merged_.end(), blocks.begin(), blocks.end());
    }
    // Index positions follow block order.
    std::sort(merged_.begin(), merged_.end());
    positions_ = merged_;
}

std::size_t BlockBatch::load(std::size_t first, std::size_t maxBlocks) {
    const std::size_t count = first < blocks_.size() ? std::min(maxBlocks, blocks_.size() - first) : 0;
    buffer_.resize(count * kBlockSize);
    const auto blockNumber = [&](std::size_t i) { return blocks_.entry(i).blockNumber; };
    for (std::size_t run = 0; run < count;) {
        std::size_t length = 1;
        while (run + length < count &&
               blockNumber(first + run + length) == blockNumber(first + run) + static_cast<std::int64_t>(length))
            ++length;
        const std::span<std::uint8_t> bytes(buffer_.data() + run * kBlockSize, length * kBlockSize);
        const std::size_t got = file_.readAt(blockNumber(first + run) * kBlockSize, bytes);
        std::memset(bytes.data() + got, 0, bytes.size() - got);
        run += length;
    }
    first_ = first;
    return count;
}

BlockView BlockBatch::loaded(std::size_t i) const {
    const std::uint8_t* start = buffer_.data() + (i - first_) * kBlockSize;
    return BlockView(std::span<const std::uint8_t, kBlockSize>(start, kBlockSize));
}

std::optional<BlockView> FileBlockSource::block(std::int64_t blockNumber) {
    if (blockNumber < 0) return std::nullopt;
    const auto asView = [](const KeptBlock& kept) {
        return BlockView(std::span<const std::uint8_t, kBlockSize>(kept.bytes.data(), kBlockSize));
    };
    for (const KeptBlock& kept : kept_)
        if (kept.number == blockNumber) return asView(kept);
    KeptBlock& slot = kept_[nextToReplace_];
    nextToReplace_ = (nextToReplace_ + 1) % kKeptBlocks;
    slot.bytes.resize(kBlockSize);
    slot.number = -1;
    // A short read: the block lies (partly) past the end of the file.
    if (file_.readAt(blockNumber * kBlockSize, slot.bytes) != slot.bytes.size()) return std::nullopt;
    slot.number = blockNumber;
    return asView(slot);
}

}  // namespace restorix
