#include "datafile/block_index.h"

namespace restorix {

void BlockIndex::appendBlockEntry(std::uint8_t blockType, const std::array<std::uint8_t, 4>& objectIdBytes,
                                  std::int32_t dataObjectId, std::uint8_t segmentKind,
                                  std::int64_t blockNumber) {
    const auto position = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(BlockEntry{blockType, objectIdBytes, segmentKind, dataObjectId, blockNumber});
    // Kept alongside so that one segment's blocks are found without a walk
    // over the whole index; entries arrive in block order, so each list is too.
    byObject_[dataObjectId].push_back(position);
}

std::span<const std::uint32_t> BlockIndex::blocksOf(std::int32_t dataObjectId) const {
    const auto found = byObject_.find(dataObjectId);
    if (found == byObject_.end()) return {};
    return found->second;
}

void BlockIndex::clear() {
    entries_.clear();
    entries_.shrink_to_fit();
    byObject_.clear();
}

}  // namespace restorix
