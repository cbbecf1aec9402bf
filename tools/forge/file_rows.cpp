#include "tools/forge/file_rows.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

namespace restorix::forge {

namespace {

constexpr int kColumnCountOffset = 2;
constexpr int kKeyIndexOffset = 3;
constexpr int kMemberHeaderLength = 4;

[[noreturn]] void fail(std::int64_t block, const std::string& why) {
    throw std::runtime_error("block " + std::to_string(block) + ": " + why);
}

void readBlock(const BlockView& view, std::int64_t number, FileRows& rows) {
    const DataBlockLayout layout = parseDataBlockLayout(view);
    if (!dataHeaderInBlock(layout)) fail(number, "data header outside the block");
    ++rows.dataBlocks;
    rows.itlCounts.push_back(layout.itlCount);
    const auto dataObject = static_cast<std::int32_t>(*view.u32le(kDataObjectOffset));
    for (int slot = 0; slot < layout.rowSlotCount; ++slot) {
        const auto entry = view.u16le(layout.rowDirectoryOffset + kRowDirectoryEntrySize * slot);
        if (!entry) fail(number, "row directory runs past the block");
        if (*entry == kEmptySlot) ++rows.emptySlots;
        else if (*entry < layout.rowSlotCount) ++rows.freeSlotLinks;
        const RowSlot rowSlot = rowPieceOffset(view, layout, slot);
        if (rowSlot.state == SlotState::OutOfBlock) fail(number, "row directory runs past the block");
        if (rowSlot.state != SlotState::Piece) {
            if (*entry != kEmptySlot && *entry >= layout.rowSlotCount) fail(number, "directory entry points past the block");
            continue;
        }
        FileRowPiece piece;
        piece.block = number;
        piece.dataObject = dataObject;
        piece.slot = slot;
        piece.offset = rowSlot.offset;
        piece.flag = view.u8(rowSlot.offset).value_or(0);
        piece.columnCount = view.u8(rowSlot.offset + kColumnCountOffset).value_or(0);
        const RowPieceClass form = rowPieceHeaderLength(piece.flag);
        piece.headerLength = form.classified ? form.headerLength : 0;
        if (form.decoded && form.headerLength == kMemberHeaderLength) piece.keyIndex = view.u8(rowSlot.offset + kKeyIndexOffset);
        if (form.decoded) {
            std::vector<ColumnValue> values;
            if (!readColumns(view, rowSlot.offset + form.headerLength, piece.columnCount, values))
                fail(number, "columns of slot " + std::to_string(slot) + " run past the block");
            for (const ColumnValue& v : values)
                piece.columns.push_back(v.isNull ? Column() : Column(Bytes(v.bytes.begin(), v.bytes.end())));
        }
        rows.pieces.push_back(std::move(piece));
    }
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

FileRows readFileRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    FileRows rows;
    Block block{};
    for (std::int64_t number = 0;; ++number) {
        block.fill(0);
        in.read(reinterpret_cast<char*>(block.data()), kBlockSize);
        if (in.gcount() == 0) break;
        if (block[kBlockTypeOffset] == kDataBlockType) readBlock(BlockView(block), number, rows);
        if (in.gcount() < kBlockSize) break;
    }
    return rows;
}

}  // namespace restorix::forge
