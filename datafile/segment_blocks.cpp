#include "datafile/segment_blocks.h"

#include <algorithm>

namespace restorix {

SegmentBlocks::SegmentBlocks(const BlockIndex& index, std::int32_t dataObject) : index_(index) {
    addRuns(index.runsOf(dataObject));
}

SegmentBlocks::SegmentBlocks(const BlockIndex& index, std::initializer_list<std::int32_t> dataObjects)
    : SegmentBlocks(index, std::span<const std::int32_t>(dataObjects.begin(), dataObjects.size())) {}

SegmentBlocks::SegmentBlocks(const BlockIndex& index, std::span<const std::int32_t> dataObjects) : index_(index) {
    std::vector<BlockRun> merged;
    for (std::size_t i = 0; i < dataObjects.size(); ++i) {
        // A data object listed twice still gives its blocks once.
        if (std::find(dataObjects.begin(), dataObjects.begin() + static_cast<std::ptrdiff_t>(i), dataObjects[i]) !=
            dataObjects.begin() + static_cast<std::ptrdiff_t>(i))
            continue;
        const auto runs = index.runsOf(dataObjects[i]);
        merged.insert(merged.end(), runs.begin(), runs.end());
    }
    // Files were scanned in the order given, each in block order: that is the order wanted.
    std::sort(merged.begin(), merged.end(), [](const BlockRun& a, const BlockRun& b) {
        return a.file != b.file ? a.file < b.file : a.firstBlock < b.firstBlock;
    });
    addRuns(merged);
}

void SegmentBlocks::addRuns(std::span<const BlockRun> runs) {
    runs_.assign(runs.begin(), runs.end());
    runStarts_.assign(1, 0);
    for (const BlockRun& run : runs_) runStarts_.push_back(runStarts_.back() + run.count);
}

BlockEntry SegmentBlocks::entry(std::size_t i) const {
    const auto next = std::upper_bound(runStarts_.begin(), runStarts_.end(), i);
    const auto run = static_cast<std::size_t>(next - runStarts_.begin()) - 1;
    return runs_[run].at(static_cast<std::uint32_t>(i - runStarts_[run]));
}

std::size_t BlockBatch::load(std::size_t first, std::size_t maxBlocks) {
    const std::size_t count = first < blocks_.size() ? std::min(maxBlocks, blocks_.size() - first) : 0;
    entries_.resize(count);
    starts_.assign(1, 0);
    for (std::size_t i = 0; i < count; ++i) {
        entries_[i] = blocks_.entry(first + i);
        starts_.push_back(starts_.back() + static_cast<std::size_t>(source_.files().at(entries_[i].file).blockSize));
    }
    buffer_.resize(starts_.back());
    unreadable_.assign(count, false);
    for (std::size_t run = 0; run < count;) {
        std::size_t length = 1;
        const BlockEntry& start = entries_[run];
        while (run + length < count && entries_[run + length].file == start.file &&
               entries_[run + length].blockNumber == start.blockNumber + static_cast<std::int64_t>(length))
            ++length;
        const std::span<std::uint8_t> bytes(buffer_.data() + starts_[run], starts_[run + length] - starts_[run]);
        source_.read(start.file, start.blockNumber, bytes, [&](std::int64_t blockNumber) {
            unreadable_[run + static_cast<std::size_t>(blockNumber - start.blockNumber)] = true;
        });
        run += length;
    }
    first_ = first;
    return count;
}

BlockView BlockBatch::loaded(std::size_t i) const {
    const std::size_t at = i - first_;
    return source_.view(entries_[at].file,
                        std::span<const std::uint8_t>(buffer_.data() + starts_[at], starts_[at + 1] - starts_[at]));
}

std::optional<BlockView> RecentBlocks::block(std::uint16_t file, std::int64_t blockNumber) {
    if (blockNumber < 0 || file >= source_.files().size()) return std::nullopt;
    const auto asView = [this](const KeptBlock& kept) {
        return source_.view(kept.file, std::span<const std::uint8_t>(kept.bytes));
    };
    for (const KeptBlock& kept : kept_)
        if (kept.number == blockNumber && kept.file == file) return asView(kept);
    KeptBlock& slot = kept_[nextToReplace_];
    nextToReplace_ = (nextToReplace_ + 1) % kKeptBlocks;
    slot.bytes.resize(static_cast<std::size_t>(source_.files().at(file).blockSize));
    slot.number = -1;
    // A short read: the block lies (partly) past the end of the file.
    bool unreadable = false;
    const std::size_t got = source_.read(file, blockNumber, slot.bytes, [&](std::int64_t) { unreadable = true; });
    if (unreadable || got != slot.bytes.size()) return std::nullopt;
    slot.file = file;
    slot.number = blockNumber;
    return asView(slot);
}

}  // namespace restorix
