#include "datafile/row_walk.h"

namespace restorix {

namespace {
constexpr int kColumnCountOffset = 2;
}

RowPieces::RowPieces(const BlockView& block, const RowWalkRules& rules)
    : block_(block),
      rules_(rules),
      layout_(rules.dataHeaderOffset ? parseDataBlockLayout(block, *rules.dataHeaderOffset)
                                     : parseDataBlockLayout(block)) {
    if (!dataHeaderInBlock(layout_)) {
        broken_ = true;
        return;
    }
    if (rules_.fullSlotCountIsEmpty && layout_.rowSlotCount == kEmptySlot) return;
    slotCount_ = layout_.rowSlotCount;
}

void RowPieces::advance(int slot, RowPiece& piece, bool& done) {
    for (; slot < slotCount_; ++slot) {
        const RowSlot row = rowPieceOffset(block_, layout_, slot);
        if (row.state == SlotState::OutOfBlock) {
            broken_ = true;
            break;
        }
        if (row.state != SlotState::Piece) continue;
        piece.slot = slot;
        piece.offset = row.offset;
        piece.flag = block_.u8(row.offset).value_or(0);
        piece.columnCount = block_.u8(row.offset + kColumnCountOffset).value_or(0);
        piece.form = rowPieceHeaderLength(piece.flag);
        if (visits(piece)) return;
    }
    piece.slot = slot;
    done = true;
}

bool RowPieces::visits(const RowPiece& piece) const {
    if (!piece.form.decoded && !rules_.everyPiece) return false;
    if (rules_.onlyFlag && piece.flag != *rules_.onlyFlag) return false;
    if (rules_.onlyColumnCount && piece.columnCount != *rules_.onlyColumnCount) return false;
    return true;
}

}  // namespace restorix
