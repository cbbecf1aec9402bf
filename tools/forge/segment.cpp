#include "tools/forge/segment.h"

#include <iterator>
#include <stdexcept>

namespace restorix::forge {

namespace {

// Cluster key row fields: member rows of the key in this block (twice: all
// and committed), then the previous and the next key row of the key's chain.
constexpr int kKeyMemberCountOffset = 3;
constexpr int kKeyCommittedCountOffset = 5;
constexpr int kKeyPreviousOffset = 7;
constexpr int kKeyNextOffset = 13;

int capacityOf(const BlockFormat& format, int itlCount, int tableCount) {
    return rowSpaceEnd(format) -
           (dataHeaderOffsetFor(format, itlCount) + kDataHeaderSize + kTableDirectoryEntrySize * tableCount);
}

}  // namespace

// ---- StagedBlock ----

StagedBlock::StagedBlock(int itlCount, int tableCount, const BlockFormat& format)
    : itlCount_(itlCount), format_(format), tables_(static_cast<std::size_t>(tableCount)) {}

bool StagedBlock::fits(std::size_t pieceSize) const {
    return used_ + pieceSize + kRowDirectoryEntrySize <= static_cast<std::size_t>(capacityOf(format_, itlCount_, tableCount()));
}

PieceRef StagedBlock::add(int blockIndex, int table, Bytes piece) {
    if (piece.empty() || !fits(piece.size())) throw std::logic_error("row piece does not fit its block");
    used_ += piece.size() + kRowDirectoryEntrySize;
    ++pieces_;
    auto& entries = tables_[static_cast<std::size_t>(table)];
    entries.emplace_back(std::move(piece));
    return {blockIndex, table, static_cast<int>(entries.size()) - 1};
}

void StagedBlock::addFree(int table) {
    if (!fitsEntry()) return;
    used_ += kRowDirectoryEntrySize;
    tables_[static_cast<std::size_t>(table)].emplace_back(std::nullopt);
}

int StagedBlock::slotOf(int table, int index) const {
    int slot = index;
    for (int t = 0; t < table; ++t) slot += entries(t);
    return slot;
}

Bytes StagedBlock::build(std::int32_t dataObject, std::uint8_t segmentKind, std::uint32_t address,
                         const std::vector<AddressLink>& links,
                         const std::function<Location(const PieceRef&)>& locate) const {
    DataBlockBuilder builder(dataObject, address, itlCount_, tableCount(), format_);
    builder.setSegmentKind(segmentKind);

    std::vector<int> freeSlots;
    for (int t = 0; t < tableCount(); ++t)
        for (int i = 0; i < entries(t); ++i)
            if (!tables_[static_cast<std::size_t>(t)][static_cast<std::size_t>(i)]) freeSlots.push_back(slotOf(t, i));
    std::size_t nextFree = 0;
    if (!freeSlots.empty()) builder.setFreeListHead(static_cast<std::uint16_t>(freeSlots.front()));

    std::vector<DataBlockBuilder::TableDirectoryEntry> directory;
    for (int t = 0; t < tableCount(); ++t) {
        directory.push_back({static_cast<std::uint16_t>(slotOf(t, 0)), static_cast<std::uint16_t>(entries(t))});
        for (const auto& entry : tables_[static_cast<std::size_t>(t)]) {
            if (entry) {
                if (!builder.addRow(*entry)) throw std::logic_error("staged block overflows");
                continue;
            }
            ++nextFree;
            builder.addRawSlot(nextFree < freeSlots.size() ? static_cast<std::uint16_t>(freeSlots[nextFree]) : kEmptySlot);
        }
    }
    builder.setTableDirectory(std::move(directory));
    Bytes block = builder.buildBytes();

    for (const AddressLink& link : links) {
        const auto pieceOffset = builder.pieceOffset(slotOf(link.piece.table, link.piece.index));
        if (!pieceOffset || *pieceOffset + link.offsetInPiece + kRowAddressSize > rowSpaceEnd(format_))
            throw std::logic_error("row address outside its piece");
        const Location target = locate(link.target);
        std::uint8_t* at = block.data() + *pieceOffset + link.offsetInPiece;
        putRowAddress(at, target.address, target.slot);
    }
    return block;
}

// ---- Segment ----

Segment::Segment(std::int32_t dataObject, int tableCount, std::uint8_t segmentKind, const BlockFormat& format)
    : dataObject_(dataObject), tableCount_(tableCount), segmentKind_(segmentKind), format_(format) {}

int Segment::startBlock() {
    const int index = blockCount();
    const int itlCount = (dataObject_ + index) % 3 == 2 ? 3 : 2;
    blocks_.emplace_back(itlCount, tableCount_, format_);
    links_.emplace_back();
    return index;
}

Bytes Segment::build(int index, const std::function<std::uint32_t(int)>& addressOf) const {
    auto locate = [&](const PieceRef& ref) {
        return StagedBlock::Location{addressOf(ref.block),
                                     static_cast<std::uint16_t>(block(ref.block).slotOf(ref.table, ref.index))};
    };
    return block(index).build(dataObject_, segmentKind_, addressOf(index), links_[static_cast<std::size_t>(index)], locate);
}

// ---- HeapFiller ----

int HeapFiller::blockFor(std::size_t pieceSize) {
    if (!segment_.empty() && segment_.block(segment_.lastBlock()).fits(pieceSize)) return segment_.lastBlock();
    breakBlock();
    if (segment_.block(segment_.lastBlock()).fits(pieceSize)) return segment_.lastBlock();
    const int fresh = segment_.startBlock();
    if (!segment_.block(fresh).fits(pieceSize))
        throw std::invalid_argument("a row piece of " + std::to_string(pieceSize) + " bytes does not fit in a block");
    return fresh;
}

PieceRef HeapFiller::add(Bytes piece) {
    const int block = blockFor(piece.size());
    const PieceRef ref = segment_.block(block).add(block, 0, std::move(piece));
    if (freeSlotEvery_ > 0 && ++rowsAdded_ % freeSlotEvery_ == 0) segment_.block(block).addFree(0);
    return ref;
}

void HeapFiller::addSplit(Bytes head, int headLinkOffset, Bytes tail, std::optional<int> tailLinkOffset) {
    const int block = blockFor(head.size());
    const PieceRef headRef = segment_.block(block).add(block, 0, std::move(head));
    pendingTails_.push_back({std::move(tail), headRef, headLinkOffset, tailLinkOffset, {}});
}

void HeapFiller::addChain(std::vector<Bytes> pieces, int linkOffset) {
    if (pieces.size() < 2) throw std::logic_error("a chain of fewer than two pieces");
    const int block = blockFor(pieces.front().size());
    const PieceRef headRef = segment_.block(block).add(block, 0, std::move(pieces.front()));
    std::vector<Bytes> after(std::make_move_iterator(pieces.begin() + 2), std::make_move_iterator(pieces.end()));
    pendingTails_.push_back({std::move(pieces[1]), headRef, linkOffset, std::nullopt, std::move(after)});
}

void HeapFiller::addDangling(Bytes piece, int linkOffset) {
    constexpr int kMissingEntry = 4000;  // more slots than a block can hold
    const PieceRef ref = add(std::move(piece));
    segment_.link({ref, linkOffset, PieceRef{ref.block, 0, kMissingEntry}});
}

void HeapFiller::placeTails() {
    auto tails = std::move(pendingTails_);
    pendingTails_.clear();
    std::vector<PendingTail> nextBlock;
    for (PendingTail& pending : tails) {
        int block = segment_.lastBlock();
        if (!segment_.block(block).fits(pending.tail.size())) block = segment_.startBlock();
        const PieceRef tailRef = segment_.block(block).add(block, 0, std::move(pending.tail));
        segment_.link({pending.head, pending.headLinkOffset, tailRef});
        if (pending.tailLinkOffset) segment_.link({tailRef, *pending.tailLinkOffset, pending.head});
        if (pending.after.empty()) continue;
        Bytes next = std::move(pending.after.front());
        pending.after.erase(pending.after.begin());
        nextBlock.push_back({std::move(next), tailRef, pending.headLinkOffset, std::nullopt, std::move(pending.after)});
    }
    pendingTails_ = std::move(nextBlock);
}

void HeapFiller::breakBlock() {
    segment_.startBlock();
    placeTails();
}

void HeapFiller::finish() {
    while (!pendingTails_.empty()) breakBlock();
}

// ---- ClusterFiller ----

bool ClusterFiller::roomForKey(int block, std::size_t keySize, std::size_t firstMemberSize) const {
    const StagedBlock& b = segment_.block(block);
    if (b.entries(0) >= maxKeysPerBlock_) return false;
    return b.fits(keySize + (firstMemberSize ? firstMemberSize + kRowDirectoryEntrySize : 0));
}

PieceRef ClusterFiller::placeKey(int block, const Bytes& keyRow) {
    return segment_.block(block).add(block, 0, keyRow);
}

void ClusterFiller::addKey(const Column& keyColumn, std::vector<Member> members) {
    const Bytes keyRow = makeClusterKeyRow({keyColumn});
    const std::size_t firstMember = members.empty() ? 0 : members.front().piece.size();
    int block = segment_.empty() ? segment_.startBlock() : segment_.lastBlock();
    if (!roomForKey(block, keyRow.size(), firstMember)) block = segment_.startBlock();
    if (!roomForKey(block, keyRow.size(), firstMember)) throw std::invalid_argument("a cluster key row does not fit in a block");

    std::vector<std::pair<PieceRef, std::uint16_t>> chain;  // key rows and their member counts
    chain.push_back({placeKey(block, keyRow), 0});
    for (Member& member : members) {
        if (!segment_.block(block).fits(member.piece.size())) {
            block = segment_.startBlock();
            if (!roomForKey(block, keyRow.size(), member.piece.size()))
                throw std::invalid_argument("a cluster member row does not fit in a block");
            chain.push_back({placeKey(block, keyRow), 0});
        }
        member.piece.at(kClusterKeyIndexOffset) = static_cast<std::uint8_t>(chain.back().first.index);
        segment_.block(block).add(block, member.table, std::move(member.piece));
        ++chain.back().second;
        if (freeSlotEvery_ > 0 && ++membersAdded_ % freeSlotEvery_ == 0) segment_.block(block).addFree(member.table);
    }

    for (std::size_t i = 0; i < chain.size(); ++i) {
        const auto& [key, count] = chain[i];
        Bytes& row = segment_.block(key.block).piece(key);
        putU16LE(row.data() + kKeyMemberCountOffset, count);
        putU16LE(row.data() + kKeyCommittedCountOffset, count);
        segment_.link({key, kKeyPreviousOffset, i > 0 ? chain[i - 1].first : key});
        segment_.link({key, kKeyNextOffset, i + 1 < chain.size() ? chain[i + 1].first : key});
    }
}

}  // namespace restorix::forge
