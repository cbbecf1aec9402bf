#include "datafile/row_walk.h"

#include <algorithm>

namespace restorix {

namespace {
constexpr int kColumnCountOffset = 2;
// A row address: u32 block address, then u16 slot, both big-endian in the
// files of every platform. It ends a piece's header: the next piece's address
// is the header's last six bytes (at 3 after a head, at 9 after a piece that
// also carries its head's address).
constexpr int kRowAddressSize = 6;
constexpr int kSlotInAddress = 4;
constexpr int kChainedHeader = 9;
constexpr int kFirstOnlyHeader = 15;
// Flags 0x00 to 0x03: a middle piece of a chain, whose header carries the
// next piece's address whatever the classification says of such flags alone.
constexpr std::uint8_t kLastMiddleFlag = PrevPart | NextPart;
constexpr std::uint8_t kNotARowOfItsOwn = ClusterKey | ClusterMember | Deleted;

// A live row's head: the whole row, or the first piece of one that goes on.
bool isLiveHead(std::uint8_t flag) {
    if (flag == kWholeRowFlag) return true;
    return (flag & Head) && !(flag & (kNotARowOfItsOwn | Last));
}

std::uint64_t pieceKey(std::uint16_t file, std::uint32_t blockNumber, std::uint16_t slot) {
    return (static_cast<std::uint64_t>(file) << 48) | (static_cast<std::uint64_t>(blockNumber) << 16) | slot;
}

// The header length of a piece met inside a chain; nothing when the flag
// cannot be such a piece (a head, a deleted or clustered piece, no known form).
std::optional<int> chainPieceHeaderLength(std::uint8_t flag) {
    if (flag & (Head | kNotARowOfItsOwn)) return std::nullopt;
    if (flag <= kLastMiddleFlag) return kChainedHeader;
    const RowPieceClass form = rowPieceHeaderLength(flag);
    if (!form.classified) return std::nullopt;
    return form.headerLength;
}
}  // namespace

RowChain RowChains::follow(const BlockView& head, std::uint16_t headFile, int headSlot, int headOffset,
                           std::optional<int> headDataHeader) {
    bytes_.clear();
    parts_.clear();
    joined_.clear();
    seen_.clear();
    passedHeadAndNextPiece_ = false;
    const std::uint32_t headAddress = head.u32(kBlockAddressOffset).value_or(0);
    const std::uint32_t relativeFile = headAddress >> kRelativeFileShift;
    const auto dataObject = head.u32(kDataObjectOffset);
    seen_.insert(pieceKey(headFile, headAddress & kBlockNumberMask, static_cast<std::uint16_t>(headSlot)));

    BlockView block = head;
    int offset = headOffset;
    std::uint8_t flag = head.u8(offset).value_or(0);
    int headerLength = kChainedHeader;
    bool continuesPrevious = false;
    for (;;) {
        if (!appendPiece(block, offset, headerLength, continuesPrevious)) return RowChain::Broken;
        if (flag & Last) break;
        if (headerLength != kChainedHeader && headerLength != kFirstOnlyHeader) return RowChain::Broken;
        if (headerLength == kFirstOnlyHeader) passedHeadAndNextPiece_ = true;
        continuesPrevious = (flag & NextPart) != 0;
        const int nextAddressOffset = offset + headerLength - kRowAddressSize;
        const auto address = block.u32be(nextAddressOffset);
        const auto slot = block.u16be(nextAddressOffset + kSlotInAddress);
        if (!address || !slot) return RowChain::Broken;
        // Addresses that name the head's own file need no file header to be followed.
        const std::optional<std::uint16_t> file = files_.fileAddressed(headFile, relativeFile, *address);
        if (!file) return RowChain::Broken;
        const std::uint32_t blockNumber = *address & kBlockNumberMask;
        if (!seen_.insert(pieceKey(*file, blockNumber, *slot)).second) return RowChain::Broken;

        // A piece in the head's own block needs no read.
        const bool inHeadBlock = *file == headFile && blockNumber == (headAddress & kBlockNumberMask);
        const std::optional<BlockView> next =
            inHeadBlock ? std::optional<BlockView>(head) : blocks_.block(*file, blockNumber);
        if (!next || next->u32(kDataObjectOffset) != dataObject) return RowChain::Broken;
        const std::optional<int> dataHeader = inHeadBlock ? headDataHeader : tableDataHeaderOffsetOf(*next);
        if (!dataHeader) return RowChain::Broken;
        const DataBlockLayout layout = parseDataBlockLayout(*next, *dataHeader);
        if (!dataHeaderInBlock(layout) || *slot >= layout.rowSlotCount) return RowChain::Broken;
        const RowSlot piece = rowPieceOffset(*next, layout, *slot);
        if (piece.state != SlotState::Piece) return RowChain::Broken;
        flag = next->u8(piece.offset).value_or(0);
        const std::optional<int> length = chainPieceHeaderLength(flag);
        if (!length) return RowChain::Broken;
        block = *next;
        offset = piece.offset;
        headerLength = *length;
    }
    // The bytes no longer move: the columns may point into them.
    for (const Part& part : parts_) {
        ColumnValue value;
        value.isNull = part.isNull;
        if (!part.isNull) value.bytes = std::span<const std::uint8_t>(bytes_).subspan(part.start, part.length);
        joined_.push_back(value);
    }
    return RowChain::Joined;
}

bool RowChains::appendPiece(const BlockView& block, int offset, int headerLength, bool continuesPrevious) {
    const int count = block.u8(offset + kColumnCountOffset).value_or(0);
    if (!readColumns(block, offset + headerLength, count, pieceColumns_)) return false;
    // The previous piece said its last column goes on here.
    if (continuesPrevious && (count == 0 || parts_.empty())) return false;
    for (std::size_t i = 0; i < pieceColumns_.size(); ++i) {
        const ColumnValue& column = pieceColumns_[i];
        if (i == 0 && continuesPrevious) {
            // The part being continued is the last one added, so its bytes
            // end where these are appended.
            Part& continued = parts_.back();
            continued.isNull = continued.isNull && column.isNull;
            continued.length += column.bytes.size();
        } else {
            parts_.push_back({column.isNull, bytes_.size(), column.bytes.size()});
        }
        bytes_.insert(bytes_.end(), column.bytes.begin(), column.bytes.end());
    }
    return true;
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
    if (rules_.onlyTable) {
        const std::optional<TableSlots> table = tableSlotsOf(block_, layout_, *rules_.onlyTable);
        firstSlot_ = table ? table->first : 0;
        slotCount_ = table ? table->first + table->count : 0;
    }
}

void RowPieces::advance(int slot, RowPiece& piece, bool& done) {
    for (slot = std::max(slot, firstSlot_); slot < slotCount_; ++slot) {
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
        if (!visits(piece)) continue;
        piece.chain = RowChain::Single;
        piece.joined = {};
        piece.throughHeadAndNextPiece = false;
        if (rules_.chains && piece.flag != kWholeRowFlag) {
            if (!headDataHeader_) headDataHeader_ = tableDataHeaderOffsetOf(block_);
            piece.chain = rules_.chains->follow(block_, rules_.file, slot, piece.offset, *headDataHeader_);
            piece.joined = rules_.chains->columns();
            piece.throughHeadAndNextPiece = rules_.chains->passedHeadAndNextPiece();
        }
        return;
    }
    piece.slot = slot;
    done = true;
}

bool RowPieces::visits(const RowPiece& piece) const {
    if (!piece.form.decoded && !rules_.everyPiece) return false;
    if (rules_.chains && !isLiveHead(piece.flag)) return false;
    if (rules_.onlyFlag && piece.flag != *rules_.onlyFlag) return false;
    if (rules_.onlyColumnCount && piece.columnCount != *rules_.onlyColumnCount) return false;
    return true;
}

}  // namespace restorix
