#pragma once
// The one walk over a data block's row directory. Every reader (the dictionary
// passes, the table row reader, the view and trigger step, the dump command)
// finds its row pieces here; what differs between them is a rule of the walk,
// not a copy of it:
//
//     for (const RowPiece& piece : rowPieces(block, rules)) ...
//
// Two extensions belong here and nowhere else: blocks whose data header does
// not follow the ITL entries (automatically managed segments carry 8 more
// bytes before it; until dataHeaderOffsetOf recognises them, a caller may name
// the offset in the rules, and tableDataHeaderOffsetOf finds it), and rows whose pieces continue in other slots or
// blocks: with RowChains in the rules, the walk visits every row's head piece
// once and follows the next-piece addresses from it (RowPieces::advance);
// the pieces after a head are never visited as rows of their own.

#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "datafile/block_layout.h"
#include "datafile/block_view.h"
#include "datafile/segment_blocks.h"

namespace restorix {

// How a visited piece holds its row.
enum class RowChain : std::uint8_t {
    Single,  // the whole row is in this piece
    Joined,  // the row's pieces were followed; RowPiece::joined holds its columns
    Broken,  // a next-piece address leads nowhere usable: the row cannot be read
};

// Follows a row's pieces from its head through the datafile and joins their
// columns (a column split across two pieces becomes one). Keeps the joined
// bytes until the next row is followed; one per reading thread.
class RowChains {
public:
    explicit RowChains(const BlockSource& source) : files_(source.files()), blocks_(source) {}

    // The row whose head piece (header 9 bytes, next-piece address at offset
    // 3, big-endian) is at `headOffset` of `head`, a block of datafile `headFile`:
    // Joined with columns(), or Broken when an address names a file not
    // given or a block outside its file, a missing slot, a piece of another
    // segment or a piece seen before, or a piece cannot be read.
    // `headDataHeader` is what tableDataHeaderOffsetOf gives for `head`,
    // worked out once for all the chains of a block.
    RowChain follow(const BlockView& head, std::uint16_t headFile, int headSlot, int headOffset,
                    std::optional<int> headDataHeader);
    std::span<const ColumnValue> columns() const { return joined_; }
    // Whether the last row followed went through a piece carrying both its
    // head's and the next piece's address (a migrated row that is also
    // chained), whose layout no published dump confirms.
    bool passedHeadAndNextPiece() const { return passedHeadAndNextPiece_; }

private:
    struct Part {
        bool isNull = true;
        std::size_t start = 0;
        std::size_t length = 0;
    };
    bool appendPiece(const BlockView& block, int offset, int headerLength, bool continuesPrevious);

    const DatafileSet& files_;
    RecentBlocks blocks_;
    std::vector<std::uint8_t> bytes_;
    std::vector<Part> parts_;
    std::vector<ColumnValue> pieceColumns_;
    std::vector<ColumnValue> joined_;
    std::unordered_set<std::uint64_t> seen_;
    bool passedHeadAndNextPiece_ = false;
};

struct RowWalkRules {
    // The data header's block offset; from the block's ITL count when absent.
    std::optional<int> dataHeaderOffset;
    // Which pieces are visited: those the classification decodes, those of
    // exactly this flag byte, those storing exactly this many columns.
    std::optional<std::uint8_t> onlyFlag;
    std::optional<int> onlyColumnCount;
    // Only the slots the table directory gives this table (a cluster block's
    // table number): none when the directory does not list it.
    std::optional<int> onlyTable;
    // Also the pieces the classification does not decode (the dump shows them).
    bool everyPiece = false;
    // A slot count of 0xFFFF says "no rows" instead of a directory that runs
    // past the block.
    bool fullSlotCountIsEmpty = false;
    // Rows in several pieces: visits live head pieces only (a single-piece
    // row or the head of a chain) and follows each chain from `file`, the
    // block's datafile.
    RowChains* chains = nullptr;
    std::uint16_t file = 0;
};

// One row piece the walk visits.
struct RowPiece {
    int slot = 0;
    int offset = 0;  // block offset of the flag byte
    std::uint8_t flag = 0;
    std::uint8_t columnCount = 0;  // byte 2
    RowPieceClass form;            // header length: where the first column's length byte is
    // Set when the rules follow chains.
    RowChain chain = RowChain::Single;
    std::span<const ColumnValue> joined;  // the row's columns when Joined
    bool throughHeadAndNextPiece = false;  // see RowChains::passedHeadAndNextPiece
    int firstColumnOffset() const { return offset + form.headerLength; }
};

// The walk of one block, in row directory order. After the loop, broken()
// tells whether it ended because the data header or the row directory points
// outside the block (some readers give up on the whole segment then; others
// take it as the end of the block's rows).
class RowPieces {
public:
    explicit RowPieces(const BlockView& block, const RowWalkRules& rules = {});

    class iterator {
    public:
        using value_type = RowPiece;
        using difference_type = std::ptrdiff_t;
        const RowPiece& operator*() const { return piece_; }
        const RowPiece* operator->() const { return &piece_; }
        iterator& operator++() {
            walk_->advance(piece_.slot + 1, piece_, done_);
            return *this;
        }
        bool operator==(std::default_sentinel_t) const { return done_; }

    private:
        friend class RowPieces;
        explicit iterator(RowPieces& walk) : walk_(&walk) { walk_->advance(0, piece_, done_); }
        RowPieces* walk_;
        RowPiece piece_;
        bool done_ = false;
    };

    iterator begin() { return iterator(*this); }
    std::default_sentinel_t end() const { return {}; }

    const DataBlockLayout& layout() const { return layout_; }
    bool broken() const { return broken_; }

private:
    // Finds the first visited piece at or after `slot`; sets `done` at the end.
    void advance(int slot, RowPiece& piece, bool& done);
    bool visits(const RowPiece& piece) const;

    BlockView block_;
    RowWalkRules rules_;
    DataBlockLayout layout_;
    int firstSlot_ = 0;  // the slots the walk may visit: from here
    int slotCount_ = 0;  // to here
    bool broken_ = false;
    // tableDataHeaderOffsetOf(block_), once a chain is followed.
    std::optional<std::optional<int>> headDataHeader_;
};

inline RowPieces rowPieces(const BlockView& block, const RowWalkRules& rules = {}) { return RowPieces(block, rules); }

}  // namespace restorix
