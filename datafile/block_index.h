#pragma once
// Every data block of the file, in block order, with the data object that owns it.

#include <array>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace restorix {

struct BlockEntry {
    std::uint8_t blockType = 0;
    std::array<std::uint8_t, 4> objectIdBytes{};
    std::uint8_t segmentKind = 0;
    std::int32_t dataObjectId = 0;
    std::int64_t blockNumber = 0;
};

class BlockIndex {
public:
    void appendBlockEntry(std::uint8_t blockType, const std::array<std::uint8_t, 4>& objectIdBytes,
                          std::int32_t dataObjectId, std::uint8_t segmentKind, std::int64_t blockNumber);

    const std::vector<BlockEntry>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // Positions in entries() of one data object's blocks, in block order.
    // Costs O(its blocks).
    std::span<const std::uint32_t> blocksOf(std::int32_t dataObjectId) const;

    void clear();

private:
    std::vector<BlockEntry> entries_;
    std::unordered_map<std::int32_t, std::vector<std::uint32_t>> byObject_;
};

}  // namespace restorix
