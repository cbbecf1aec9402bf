#include "tools/forge/file_rows.h"

#include "datafile/row_walk.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace restorix::forge {

namespace {

constexpr int kKeyIndexOffset = 3;
constexpr int kMemberHeaderLength = 4;

[[noreturn]] void fail(std::int64_t block, const std::string& why) {
    throw std::runtime_error("block " + std::to_string(block) + ": " + why);
}

// Counts the directory's empty slots and free-slot links, and fails on an
// entry the walk would skip because its piece lies past the block.
void countSlots(const BlockView& view, const DataBlockLayout& layout, std::int64_t number, FileRows& rows) {
    for (int slot = 0; slot < layout.rowSlotCount; ++slot) {
        const auto entry = view.u16(layout.rowDirectoryOffset + kRowDirectoryEntrySize * slot);
        if (!entry) return;  // the walk reports it
        if (*entry == kEmptySlot) ++rows.emptySlots;
        else if (*entry < layout.rowSlotCount) ++rows.freeSlotLinks;
        else if (rowPieceOffset(view, layout, slot).state != SlotState::Piece)
            fail(number, "directory entry points past the block");
    }
}

void readBlock(const BlockView& view, std::int64_t number, FileRows& rows) {
    RowWalkRules everyPiece;
    everyPiece.everyPiece = true;
    RowPieces walk(view, everyPiece);
    if (!dataHeaderInBlock(walk.layout())) fail(number, "data header outside the block");
    ++rows.dataBlocks;
    rows.itlCounts.push_back(walk.layout().itlCount);
    countSlots(view, walk.layout(), number, rows);
    const auto dataObject = static_cast<std::int32_t>(*view.u32(kDataObjectOffset));
    for (const RowPiece& rowPiece : walk) {
        FileRowPiece piece;
        piece.block = number;
        piece.dataObject = dataObject;
        piece.slot = rowPiece.slot;
        piece.offset = rowPiece.offset;
        piece.flag = rowPiece.flag;
        piece.columnCount = rowPiece.columnCount;
        piece.headerLength = rowPiece.form.classified ? rowPiece.form.headerLength : 0;
        if (rowPiece.form.decoded && rowPiece.form.headerLength == kMemberHeaderLength)
            piece.keyIndex = view.u8(rowPiece.offset + kKeyIndexOffset);
        if (rowPiece.form.decoded) {
            std::vector<ColumnValue> values;
            if (!readColumns(view, rowPiece.firstColumnOffset(), piece.columnCount, values))
                fail(number, "columns of slot " + std::to_string(rowPiece.slot) + " run past the block");
            for (const ColumnValue& v : values)
                piece.columns.push_back(v.isNull ? Column() : Column(Bytes(v.bytes.begin(), v.bytes.end())));
        }
        rows.pieces.push_back(std::move(piece));
    }
    if (walk.broken()) fail(number, "row directory runs past the block");
}

}  // namespace

std::vector<const FileRowPiece*> FileRows::of(std::int32_t dataObject) const {
    std::vector<const FileRowPiece*> out;
    for (const FileRowPiece& p : pieces)
        if (p.dataObject == dataObject) out.push_back(&p);
    return out;
}

std::string scratchPath(const std::string& name) {
    static std::atomic<int> counter{0};
    const std::string unique = "restorix-forge-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + name;
    return (std::filesystem::temp_directory_path() / unique).string();
}

namespace {

// Calls onDataBlock(view, number) for every data block of the file.
template <typename OnDataBlock>
void forEachDataBlock(const std::string& path, const OnDataBlock& onDataBlock) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    Block block{};
    for (std::int64_t number = 0;; ++number) {
        block.fill(0);
        in.read(reinterpret_cast<char*>(block.data()), kBlockSize);
        if (in.gcount() == 0) break;
        if (block[kBlockTypeOffset] == kDataBlockType) onDataBlock(BlockView(block), number);
        if (in.gcount() < kBlockSize) break;
    }
}

}  // namespace

FileRows readFileRows(const std::string& path) {
    FileRows rows;
    forEachDataBlock(path, [&](const BlockView& view, std::int64_t number) { readBlock(view, number, rows); });
    return rows;
}

void indexFileBlocks(const std::string& path, BlockIndex& index) {
    forEachDataBlock(path, [&](const BlockView& view, std::int64_t number) {
        index.appendBlock(0, static_cast<std::int32_t>(view.u32(kDataObjectOffset).value_or(0)),
                          view.u8(kSegmentKindOffset).value_or(0), number);
    });
}

}  // namespace restorix::forge
