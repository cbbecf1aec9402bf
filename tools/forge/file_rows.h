#pragma once
// Every row piece of a datafile, read back through the block layout the
// readers use: for tests of the forge and of anything that reads its files,
// and to look at what a forged file holds.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datafile/block_index.h"
#include "tools/forge/block_builder.h"

namespace restorix::forge {

struct FileRowPiece {
    std::int64_t block = 0;
    std::int32_t dataObject = 0;
    int slot = 0;
    int offset = 0;  // block offset of the piece
    std::uint8_t flag = 0;
    int headerLength = 0;  // 0 when the flag byte matches no row form
    int columnCount = 0;   // byte 2
    std::optional<std::uint8_t> keyIndex;  // byte 3 of a cluster member row
    std::vector<Column> columns;           // read for pieces the layout decodes
};

struct FileRows {
    std::vector<FileRowPiece> pieces;  // block order, then row directory order
    std::int64_t dataBlocks = 0;
    std::int64_t emptySlots = 0;     // directory entries 0xFFFF
    std::int64_t freeSlotLinks = 0;  // directory entries below the slot count
    std::vector<int> itlCounts;      // per data block, in block order

    std::vector<const FileRowPiece*> of(std::int32_t dataObject) const;
};

// A path in the temporary folder that no other process (tests run side by
// side) and no earlier call of this process uses; `name` ends it.
std::string scratchPath(const std::string& name);

// Throws std::runtime_error naming the block when a data header, a directory
// entry or a piece's columns lie outside their block.
FileRows readFileRows(const std::string& path);

// Appends every data block of the file to `index`, as the block scan does,
// for tests that give a job a file without running the analysis.
void indexFileBlocks(const std::string& path, BlockIndex& index);

}  // namespace restorix::forge
