#pragma once
// Every data block of the given datafiles with the data object that owns it,
// kept as runs of consecutive blocks: a segment's extents are long runs, so a
// database of hundreds of gigabytes is indexed in little memory.

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace restorix {

// One block as the index hands it out. `file` is the block's datafile: its
// place in the order the files were given.
struct BlockEntry {
    std::uint16_t file = 0;
    std::uint8_t segmentKind = 0;
    std::int32_t dataObjectId = 0;
    std::int64_t blockNumber = 0;
};

// Consecutive blocks of one file, all of one data object and segment kind.
struct BlockRun {
    std::uint16_t file = 0;
    std::uint8_t segmentKind = 0;
    std::int32_t dataObjectId = 0;
    std::int64_t firstBlock = 0;
    std::uint32_t count = 0;

    BlockEntry at(std::uint32_t i) const { return {file, segmentKind, dataObjectId, firstBlock + i}; }
};

class BlockIndex {
public:
    // Blocks arrive file by file, in block order within a file.
    void appendBlock(std::uint16_t file, std::int32_t dataObjectId, std::uint8_t segmentKind, std::int64_t blockNumber);

    std::size_t size() const { return blockCount_; }
    bool empty() const { return blockCount_ == 0; }

    // One data object's blocks, file by file in the order given, then block order.
    std::span<const BlockRun> runsOf(std::int32_t dataObjectId) const;
    std::size_t blockCountOf(std::int32_t dataObjectId) const;
    // The data objects in the order of their first block.
    const std::vector<std::int32_t>& dataObjects() const { return objectOrder_; }
    // The last block indexed.
    bool isLastBlock(const BlockEntry& entry) const {
        return blockCount_ != 0 && entry.file == last_.file && entry.blockNumber == last_.blockNumber;
    }

    void clear();

private:
    std::unordered_map<std::int32_t, std::vector<BlockRun>> runs_;
    std::vector<std::int32_t> objectOrder_;
    std::size_t blockCount_ = 0;
    BlockEntry last_;
};

}  // namespace restorix
