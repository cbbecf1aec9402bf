#include "datafile/block_index.h"

namespace restorix {

void BlockIndex::appendBlock(std::uint16_t file, std::int32_t dataObjectId, std::uint8_t segmentKind,
                             std::int64_t blockNumber) {
    auto [found, isNew] = runs_.try_emplace(dataObjectId);
    if (isNew) objectOrder_.push_back(dataObjectId);
    std::vector<BlockRun>& runs = found->second;
    const bool extendsLastRun = !runs.empty() && runs.back().file == file &&
                                runs.back().segmentKind == segmentKind &&
                                runs.back().firstBlock + runs.back().count == blockNumber &&
                                runs.back().count != UINT32_MAX;
    if (extendsLastRun) {
        ++runs.back().count;
    } else {
        runs.push_back(BlockRun{file, segmentKind, dataObjectId, blockNumber, 1});
    }
    ++blockCount_;
    last_ = BlockEntry{file, segmentKind, dataObjectId, blockNumber};
}

std::span<const BlockRun> BlockIndex::runsOf(std::int32_t dataObjectId) const {
    const auto found = runs_.find(dataObjectId);
    if (found == runs_.end()) return {};
    return found->second;
}

std::size_t BlockIndex::blockCountOf(std::int32_t dataObjectId) const {
    std::size_t count = 0;
    for (const BlockRun& run : runsOf(dataObjectId)) count += run.count;
    return count;
}

void BlockIndex::clear() {
    runs_.clear();
    objectOrder_.clear();
    objectOrder_.shrink_to_fit();
    blockCount_ = 0;
    last_ = {};
}

}  // namespace restorix
