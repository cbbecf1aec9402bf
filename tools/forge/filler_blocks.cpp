#include "tools/forge/filler_blocks.h"

#include <string>

#include "tools/forge/block_builder.h"
#include "tools/forge/dictionary_rows.h"
#include "tools/forge/lcg.h"
#include "tools/forge/oracle_values.h"

namespace restorix::forge {

namespace {

constexpr int kTemplates = 16;
constexpr int kBlocksPerExtent = 16;
constexpr int kSegmentHeaderEvery = 8;      // extents
constexpr int kUnformattedEvery = 4;        // extents
constexpr int kUnformattedBlocks = 8;
constexpr int kDeletedRowEvery = 9;
constexpr std::int32_t kPreferredFirstObject = 900000;


std::string word(Lcg& random) {
    std::string text;
    const auto length = 4 + random.next(28);
    for (std::uint32_t i = 0; i < length; ++i) text += static_cast<char>('A' + random.next(26));
    return text;
}

Block templateBlock(int index) {
    Lcg random(static_cast<std::uint32_t>(index) * 7919u + 17u);
    DataBlockBuilder builder(0, 0, index % 3 == 2 ? 3 : 2);
    for (int row = 0;; ++row) {
        const std::vector<Column> columns{
            numberColumn(1000 + index * 1000 + row),
            textColumn(word(random)),
            encodeDate(1995 + static_cast<int>(random.next(15)), 1 + static_cast<int>(random.next(12)),
                       1 + static_cast<int>(random.next(28))),
        };
        const Bytes piece = makeRow(columns, row % kDeletedRowEvery == kDeletedRowEvery - 1 ? kDeletedRow : kLiveRow);
        if (!builder.addRow(piece)) break;
    }
    return builder.build();
}

std::int32_t chooseFirstObject(const std::set<std::int32_t>& used) {
    auto clashes = [&](std::int32_t first) {
        auto it = used.lower_bound(first);
        return it != used.end() && *it < first + FillerBlocks::kObjects;
    };
    if (!clashes(kPreferredFirstObject)) return kPreferredFirstObject;
    return used.empty() ? kPreferredFirstObject : *used.rbegin() + 1;
}

}  // namespace

FillerBlocks::FillerBlocks(const std::set<std::int32_t>& numbersInUse) : firstObject_(chooseFirstObject(numbersInUse)) {
    for (int i = 0; i < kTemplates; ++i) templates_.push_back(templateBlock(i));
}

void FillerBlocks::pad(DatafileWriter& writer, std::uint64_t fileSize) const {
    auto room = [&] { return writer.bytesWritten() + kBlockSize <= fileSize; };
    Block block;
    for (std::int64_t extent = 0; room(); ++extent) {
        const auto object = static_cast<std::uint32_t>(firstObject_ + extent % kObjects);
        if (extent % kSegmentHeaderEvery == 0) writer.writeNonDataBlock(kSegmentHeaderBlockType);
        for (int i = 0; i < kBlocksPerExtent && room(); ++i) {
            block = templates_[static_cast<std::size_t>((extent * kBlocksPerExtent + i) % kTemplates)];
            putU32LE(block.data() + kBlockAddressOffset, writer.addressOf(writer.nextBlockNumber()));
            putU32LE(block.data() + kDataObjectOffset, object);
            writer.writeBlock(block);
        }
        if (extent % kUnformattedEvery == kUnformattedEvery - 1)
            for (int i = 0; i < kUnformattedBlocks && room(); ++i) writer.writeZeroBlocks(1);
    }
}

}  // namespace restorix::forge
