#pragma once
// The blocks of one segment while they are filled, before they have places
// in the file. Row pieces that point at each other (chained and migrated
// rows, cluster key chains) are tied by references that become block
// addresses once the blocks are placed.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "tools/forge/block_builder.h"

namespace restorix::forge {

// Block kinds as offset 20 of a block stores them.
constexpr std::uint8_t kDataSegmentKind = 1;

// One row piece of a segment: block within the segment, table within the
// block (0 unless the block belongs to a cluster), entry within that table.
struct PieceRef {
    int block = 0;
    int table = 0;
    int index = 0;
};

// A row address (4-byte block address, 2-byte slot, little-endian) written
// into a piece at `offsetInPiece`, pointing at `target`.
struct AddressLink {
    PieceRef piece;
    int offsetInPiece = 0;
    PieceRef target;
};
constexpr int kRowAddressSize = 6;

class StagedBlock {
public:
    StagedBlock(int itlCount, int tableCount, const BlockFormat& format);

    // Whether one more piece of this size, with its directory entry, fits.
    bool fits(std::size_t pieceSize) const;
    // Whether a directory entry without a piece fits.
    bool fitsEntry() const { return fits(0); }
    PieceRef add(int blockIndex, int table, Bytes piece);
    // A free directory entry: it holds the slot of the next free entry of
    // the block, the last one 0xFFFF.
    void addFree(int table);

    int itlCount() const { return itlCount_; }
    const BlockFormat& format() const { return format_; }
    int tableCount() const { return static_cast<int>(tables_.size()); }
    int entries(int table) const { return static_cast<int>(tables_[static_cast<std::size_t>(table)].size()); }
    int pieceCount() const { return pieces_; }
    Bytes& piece(const PieceRef& ref) { return *tables_[static_cast<std::size_t>(ref.table)][static_cast<std::size_t>(ref.index)]; }
    // Slot in the block's row directory, tables laid out one after the other.
    int slotOf(int table, int index) const;

    // The finished block; `locate` gives the block address and slot of a
    // piece of the same segment.
    struct Location {
        std::uint32_t address = 0;
        std::uint16_t slot = 0;
    };
    Bytes build(std::int32_t dataObject, std::uint8_t segmentKind, std::uint32_t address,
                const std::vector<AddressLink>& links, const std::function<Location(const PieceRef&)>& locate) const;

private:
    int itlCount_;
    BlockFormat format_;
    std::vector<std::vector<std::optional<Bytes>>> tables_;  // nullopt: a free entry
    std::size_t used_ = 0;                                   // piece bytes and directory entries
    int pieces_ = 0;
};

class Segment {
public:
    Segment(std::int32_t dataObject, int tableCount, std::uint8_t segmentKind = kDataSegmentKind,
            const BlockFormat& format = {});

    std::int32_t dataObject() const { return dataObject_; }
    int blockCount() const { return static_cast<int>(blocks_.size()); }
    bool empty() const { return blocks_.empty(); }

    StagedBlock& block(int index) { return blocks_[static_cast<std::size_t>(index)]; }
    const StagedBlock& block(int index) const { return blocks_[static_cast<std::size_t>(index)]; }
    // Opens a new block and returns its index. ITL counts alternate between
    // 2 and 3 as blocks of a real segment do once some were busier.
    int startBlock();
    int lastBlock() const { return blockCount() - 1; }
    // The shape of the blocks opened from now on: a segment whose extents lie
    // in files of different block sizes changes it between them.
    void setFormat(const BlockFormat& format) { format_ = format; }
    const BlockFormat& format() const { return format_; }

    void link(const AddressLink& link) { links_[static_cast<std::size_t>(link.piece.block)].push_back(link); }

    // The block at `index`, its size that of its format; `addressOf` gives the
    // block address of every block of the segment.
    Bytes build(int index, const std::function<std::uint32_t(int)>& addressOf) const;

private:
    std::int32_t dataObject_;
    int tableCount_;
    std::uint8_t segmentKind_;
    BlockFormat format_;
    std::vector<StagedBlock> blocks_;
    std::vector<std::vector<AddressLink>> links_;  // per block
};

// Fills an ordinary (heap) segment row by row: a row goes into the last
// block while it fits, otherwise into a new one. Every `freeSlotEvery` rows a
// free directory entry is left behind, as deletes and later inserts leave them.
class HeapFiller {
public:
    explicit HeapFiller(Segment& segment, int freeSlotEvery = 0) : segment_(segment), freeSlotEvery_(freeSlotEvery) {}

    PieceRef add(Bytes piece);
    // A row in two pieces: `head` here, `tail` in the next block. The head
    // carries the tail's address at `headLinkOffset`; when `tailLinkOffset`
    // is set, the tail carries the head's address there (a migrated row).
    void addSplit(Bytes head, int headLinkOffset, Bytes tail, std::optional<int> tailLinkOffset);
    // A row in several pieces, each in the block after the previous one's;
    // every piece but the last carries the next one's address at `linkOffset`.
    void addChain(std::vector<Bytes> pieces, int linkOffset);
    // A piece whose address at `linkOffset` names a slot its block does not have.
    void addDangling(Bytes piece, int linkOffset);
    // Opens a new block even though the last one has room, and places there
    // the tails waiting for a next block.
    void breakBlock();
    // Places the tails still waiting for a next block.
    void finish();

private:
    struct PendingTail {
        Bytes tail;
        PieceRef head;
        int headLinkOffset;
        std::optional<int> tailLinkOffset;
        std::vector<Bytes> after;  // pieces that follow the tail, a block each
    };
    int blockFor(std::size_t pieceSize);
    void placeTails();

    Segment& segment_;
    int freeSlotEvery_;
    long rowsAdded_ = 0;
    std::vector<PendingTail> pendingTails_;
};

// Fills a cluster segment key by key: a key row in table 0 and the key's
// member rows in the tables after it. A key whose members do not all fit in
// one block goes on in the next block under a repeated key row, the key rows
// chained to each other. Byte 3 of every member row is set to the index of
// its key among the key rows of its block.
class ClusterFiller {
public:
    ClusterFiller(Segment& segment, int maxKeysPerBlock, int freeSlotEvery = 0)
        : segment_(segment), maxKeysPerBlock_(maxKeysPerBlock), freeSlotEvery_(freeSlotEvery) {}

    struct Member {
        int table = 1;
        Bytes piece;  // a cluster member row; byte 3 is filled in here
    };
    void addKey(const Column& keyColumn, std::vector<Member> members);

private:
    bool roomForKey(int block, std::size_t keySize, std::size_t firstMemberSize) const;
    PieceRef placeKey(int block, const Bytes& keyRow);

    Segment& segment_;
    int maxKeysPerBlock_;
    int freeSlotEvery_;
    long membersAdded_ = 0;
};

constexpr int kClusterKeyIndexOffset = 3;  // in a member row

}  // namespace restorix::forge
