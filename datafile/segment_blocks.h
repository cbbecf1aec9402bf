#pragma once
// A segment's blocks (or several segments' blocks together) found through the
// block index, file by file in the order the files were given, then block
// order, and read from the datafiles a batch at a time.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "datafile/block_index.h"
#include "datafile/block_source.h"
#include "datafile/block_view.h"

namespace restorix {

class SegmentBlocks {
public:
    SegmentBlocks(const BlockIndex& index, std::int32_t dataObject);
    // The blocks of every listed data object, merged into file and block order.
    SegmentBlocks(const BlockIndex& index, std::initializer_list<std::int32_t> dataObjects);
    SegmentBlocks(const BlockIndex& index, std::span<const std::int32_t> dataObjects);

    std::size_t size() const { return runStarts_.empty() ? 0 : runStarts_.back(); }
    BlockEntry entry(std::size_t i) const;
    // Whether block i is the last block of the whole index.
    bool isLastIndexEntry(std::size_t i) const { return index_.isLastBlock(entry(i)); }

private:
    void addRuns(std::span<const BlockRun> runs);

    const BlockIndex& index_;
    std::vector<BlockRun> runs_;
    // runStarts_[r] is the number of blocks before run r; one more entry holds the total.
    std::vector<std::size_t> runStarts_;
};

// Loads blocks of a SegmentBlocks into one reused buffer, with one read per
// run of consecutive blocks of one file. Bytes past the end of a file read as
// zeros. A run the disk fails to read is read again block by block: a block
// that still cannot be read is zero-filled, recorded with its file and
// marked, and the others are read.
class BlockBatch {
public:
    BlockBatch(const BlockSource& source, const SegmentBlocks& blocks) : source_(source), blocks_(blocks) {}

    // Loads blocks first, first + 1, ... (at most maxBlocks); returns how many.
    std::size_t load(std::size_t first, std::size_t maxBlocks);
    // Block i of the segment, which the last load must have covered.
    BlockView loaded(std::size_t i) const;
    // Whether block i of the last load could not be read.
    bool unreadable(std::size_t i) const { return unreadable_[i - first_]; }

private:
    const BlockSource& source_;
    const SegmentBlocks& blocks_;
    std::vector<std::uint8_t> buffer_;
    std::vector<BlockEntry> entries_;   // the blocks of the last load
    std::vector<std::size_t> starts_;  // where each loaded block begins; one more for the end
    std::vector<bool> unreadable_;     // of the blocks of the last load
    std::size_t first_ = 0;
};

// Single blocks of the datafiles, for the pieces of a row that continue
// outside the block being read. The next piece mostly lies in a block read a
// moment ago, so the last few blocks are kept. Not shared between threads:
// each reader has its own.
class RecentBlocks {
public:
    explicit RecentBlocks(const BlockSource& source) : source_(source) {}

    // The block, or nothing when it does not lie wholly inside its file or
    // cannot be read. The view holds until a few more blocks were asked for.
    std::optional<BlockView> block(std::uint16_t file, std::int64_t blockNumber);

private:
    static constexpr std::size_t kKeptBlocks = 4;
    struct KeptBlock {
        std::uint16_t file = 0;
        std::int64_t number = -1;
        std::vector<std::uint8_t> bytes;
    };
    const BlockSource& source_;
    std::array<KeptBlock, kKeptBlocks> kept_;
    std::size_t nextToReplace_ = 0;
};

// The number of blocks a sequential walk reads at a time.
constexpr std::size_t kSegmentReadBatch = 64;

// Calls onBlock(entry, block) for every block in order until it answers
// false; returns false then, true after the last block. A block that cannot
// be read is passed over (it is recorded with its file), with
// onUnreadable(entry) when given.
template <typename OnBlock, typename OnUnreadable = void (*)(const BlockEntry&)>
bool forEachSegmentBlock(const BlockSource& source, const SegmentBlocks& blocks, OnBlock&& onBlock,
                         OnUnreadable&& onUnreadable = [](const BlockEntry&) {}) {
    BlockBatch batch(source, blocks);
    for (std::size_t first = 0; first < blocks.size();) {
        const std::size_t count = batch.load(first, kSegmentReadBatch);
        for (std::size_t i = first; i < first + count; ++i) {
            if (batch.unreadable(i)) {
                onUnreadable(blocks.entry(i));
                continue;
            }
            if (!onBlock(blocks.entry(i), batch.loaded(i))) return false;
        }
        first += count;
    }
    return true;
}

}  // namespace restorix
