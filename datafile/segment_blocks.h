#pragma once
// A segment's blocks (or several segments' blocks together) found through the
// block index, in block order, and read from the datafile a batch at a time.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "datafile/block_index.h"
#include "datafile/block_view.h"
#include "datafile/cfile64.h"

namespace restorix {

class SegmentBlocks {
public:
    SegmentBlocks(const BlockIndex& index, std::int32_t dataObject);
    // The blocks of every listed data object, merged into block order.
    SegmentBlocks(const BlockIndex& index, std::initializer_list<std::int32_t> dataObjects);
    SegmentBlocks(const BlockIndex& index, std::span<const std::int32_t> dataObjects);
    // Holds a view into its own list.
    SegmentBlocks(const SegmentBlocks&) = delete;
    SegmentBlocks& operator=(const SegmentBlocks&) = delete;

    std::size_t size() const { return positions_.size(); }
    const BlockEntry& entry(std::size_t i) const { return entries_[positions_[i]]; }
    // Whether block i is the last entry of the whole index.
    bool isLastIndexEntry(std::size_t i) const { return positions_[i] + 1 >= entries_.size(); }

private:
    const std::vector<BlockEntry>& entries_;
    std::vector<std::uint32_t> merged_;
    std::span<const std::uint32_t> positions_;
};

// Loads blocks of a SegmentBlocks into one reused buffer, with one read per
// run of consecutive block numbers. Bytes past the end of the file read as zeros.
class BlockBatch {
public:
    BlockBatch(const CFile64& file, const SegmentBlocks& blocks) : file_(file), blocks_(blocks) {}

    // Loads blocks first, first + 1, ... (at most maxBlocks); returns how many.
    std::size_t load(std::size_t first, std::size_t maxBlocks);
    // Block i of the segment, which the last load must have covered.
    BlockView loaded(std::size_t i) const;

private:
    const CFile64& file_;
    const SegmentBlocks& blocks_;
    std::vector<std::uint8_t> buffer_;
    std::size_t first_ = 0;
};

// Single blocks of the datafile by block number, for the pieces of a row
// that continue outside the block being read. The next piece mostly lies in
// a block read a moment ago, so the last few blocks are kept. Not shared
// between threads: each reader has its own.
class FileBlockSource {
public:
    explicit FileBlockSource(const CFile64& file) : file_(file) {}

    // The block, or nothing when it does not lie wholly inside the file. The
    // view holds until a few more blocks were asked for.
    std::optional<BlockView> block(std::int64_t blockNumber);

private:
    static constexpr std::size_t kKeptBlocks = 4;
    struct KeptBlock {
        std::int64_t number = -1;
        std::vector<std::uint8_t> bytes;
    };
    const CFile64& file_;
    std::array<KeptBlock, kKeptBlocks> kept_;
    std::size_t nextToReplace_ = 0;
};

// The number of blocks a sequential walk reads at a time.
constexpr std::size_t kSegmentReadBatch = 64;

// Calls onBlock(entry, block) for every block in block order until it answers
// false; returns false then, true after the last block.
template <typename OnBlock>
bool forEachSegmentBlock(const CFile64& file, const SegmentBlocks& blocks, OnBlock&& onBlock) {
    BlockBatch batch(file, blocks);
    for (std::size_t first = 0; first < blocks.size();) {
        const std::size_t count = batch.load(first, kSegmentReadBatch);
        for (std::size_t i = first; i < first + count; ++i) {
            if (!onBlock(blocks.entry(i), batch.loaded(i))) return false;
        }
        first += count;
    }
    return true;
}

}  // namespace restorix
