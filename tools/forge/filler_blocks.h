#pragma once
// Padding that looks like the rest of a SYSTEM datafile: extents of
// unrelated segments (a segment header, then data blocks full of rows) with
// stretches of never-formatted blocks between them. The data blocks are
// prepared once and reused, so a gigabyte is padded in seconds.

#include <cstdint>
#include <set>
#include <vector>

#include "datafile/block_view.h"
#include "tools/forge/datafile_writer.h"

namespace restorix::forge {

class FillerBlocks {
public:
    // The filler segments take data object numbers none of `numbersInUse` has.
    explicit FillerBlocks(const std::set<std::int32_t>& numbersInUse);

    // Writes whole blocks while one more fits below `fileSize` bytes.
    void pad(DatafileWriter& writer, std::uint64_t fileSize) const;

    std::int32_t firstObject() const { return firstObject_; }
    static constexpr int kObjects = 24;  // filler segments, taking turns

private:
    std::vector<Block> templates_;
    std::int32_t firstObject_;
};

}  // namespace restorix::forge
