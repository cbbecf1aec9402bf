#include "tools/forge/table_rows.h"

#include <algorithm>
#include <stdexcept>

#include "tools/forge/dictionary_rows.h"

namespace restorix::forge {

namespace {

// Piece headers that carry a row address: flag, lock, column count, then the
// address: the next piece's after a head, the head's before a migrated body.
constexpr int kHeadAddressOffset = kNextPieceAddressOffset;
constexpr int kBodyAddressOffset = kNextPieceAddressOffset;

// Every eleventh row of a table leaves a free directory entry behind.
constexpr int kTableFreeSlotEvery = 11;

// Room for one piece in a block with three ITL entries.
constexpr std::size_t kLargestPiece =
    kBlockSize - (kFixedHeaderSize + 3 * kItlEntrySize + kDataHeaderSize + kTableDirectoryEntrySize) - kRowDirectoryEntrySize;

Bytes headerWithAddress(std::uint8_t flag, std::size_t columnCount, int addressOffset) {
    Bytes piece(static_cast<std::size_t>(addressOffset + kRowAddressSize), 0);
    piece[0] = flag;
    piece[2] = static_cast<std::uint8_t>(columnCount);
    return piece;
}

Bytes withColumns(Bytes piece, std::vector<Column>::const_iterator first, std::vector<Column>::const_iterator last) {
    for (auto it = first; it != last; ++it) appendColumn(piece, *it);
    return piece;
}

void addMigrated(HeapFiller& filler, const std::vector<Column>& columns) {
    Bytes head = headerWithAddress(kHeadOnlyRow, 0, kHeadAddressOffset);
    Bytes body = withColumns(headerWithAddress(kMigratedBodyRow, columns.size(), kBodyAddressOffset), columns.begin(),
                             columns.end());
    filler.addSplit(std::move(head), kHeadAddressOffset, std::move(body), kBodyAddressOffset);
}

bool fitsTwoPieces(const std::vector<Column>& columns, std::size_t split) {
    return chainedHead(columns, split).size() <= kLargestPiece && chainedTail(columns, split).size() <= kLargestPiece;
}

// Head piece with the first `split` columns, the last piece with the rest.
void addChained(HeapFiller& filler, const std::vector<Column>& columns, std::size_t split) {
    if (!fitsTwoPieces(columns, split)) throw std::invalid_argument("a row too large for two blocks");
    filler.addSplit(chainedHead(columns, split), kHeadAddressOffset, chainedTail(columns, split), std::nullopt);
}

// A column cut where a piece is full: its first bytes end one piece, the
// rest begins the next.
struct PieceDraft {
    std::vector<Column> columns;
    bool continuesPrevious = false;  // the first column goes on from the previous piece
    bool continuesNext = false;      // the last column goes on in the next piece
};

// The columns cut into pieces of at most `room` bytes of columns each (length
// bytes included), a column split where a piece fills up.
std::vector<PieceDraft> draftPieces(const std::vector<Column>& columns, std::size_t room) {
    constexpr std::size_t kLongLengthBytes = 3;
    constexpr std::size_t kSmallestCut = 8;  // less room than this closes the piece instead
    std::vector<PieceDraft> drafts(1);
    std::size_t used = 0;
    const auto nextPiece = [&](bool cutColumn) {
        drafts.back().continuesNext = cutColumn;
        drafts.push_back({});
        drafts.back().continuesPrevious = cutColumn;
        used = 0;
    };
    for (const Column& column : columns) {
        if (!column) {
            if (used + 1 > room) nextPiece(false);
            drafts.back().columns.push_back(std::nullopt);
            used += 1;
            continue;
        }
        Bytes rest = *column;
        for (;;) {
            Bytes encoded;
            appendColumn(encoded, rest);
            if (used + encoded.size() <= room) {
                drafts.back().columns.push_back(std::move(rest));
                used += encoded.size();
                break;
            }
            if (used + kLongLengthBytes + kSmallestCut > room) {
                nextPiece(false);
                continue;
            }
            const std::size_t cut = room - used - kLongLengthBytes;
            drafts.back().columns.push_back(Bytes(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(cut)));
            rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(cut));
            nextPiece(true);
        }
    }
    return drafts;
}

// The pieces of a chained row: the head (head and first bits), middle pieces
// (neither), the last piece; each flags a column that continues across it.
std::vector<Bytes> chainPieces(const std::vector<PieceDraft>& drafts) {
    std::vector<Bytes> pieces;
    for (std::size_t i = 0; i < drafts.size(); ++i) {
        const PieceDraft& draft = drafts[i];
        const bool last = i + 1 == drafts.size();
        std::uint8_t flag = i == 0 ? kChainedHeadRow : 0;
        if (last) flag |= kChainedLastRow;
        if (draft.continuesPrevious) flag |= kContinuesPrevious;
        if (draft.continuesNext) flag |= kContinuesNext;
        Bytes piece = last ? Bytes{flag, 0, static_cast<std::uint8_t>(draft.columns.size())}
                           : headerWithAddress(flag, draft.columns.size(), kHeadAddressOffset);
        pieces.push_back(withColumns(std::move(piece), draft.columns.begin(), draft.columns.end()));
    }
    return pieces;
}

// The row in pieces of at most `room` bytes of columns.
void addChainedPieces(HeapFiller& filler, const std::vector<Column>& columns, std::size_t room) {
    std::vector<PieceDraft> drafts = draftPieces(columns, room);
    if (drafts.size() < 2) {
        addChained(filler, columns, std::max<std::size_t>(columns.size() / 2, 1));
        return;
    }
    filler.addChain(chainPieces(drafts), kHeadAddressOffset);
}

std::size_t storedSize(const std::vector<Column>& columns) {
    Bytes all;
    for (const Column& column : columns) appendColumn(all, column);
    return all.size();
}

// The largest head that still fits one block.
std::size_t splitForSize(const std::vector<Column>& columns) {
    std::size_t size = kHeadAddressOffset + kRowAddressSize;
    std::size_t split = 0;
    for (; split < columns.size(); ++split) {
        Bytes column;
        appendColumn(column, columns[split]);
        if (size + column.size() > kLargestPiece) break;
        size += column.size();
    }
    return std::max<std::size_t>(split, 1);
}

}  // namespace

Bytes chainedHead(const std::vector<Column>& columns, std::size_t split) {
    return withColumns(headerWithAddress(kChainedHeadRow, split, kHeadAddressOffset), columns.begin(),
                       columns.begin() + static_cast<std::ptrdiff_t>(split));
}

Bytes chainedTail(const std::vector<Column>& columns, std::size_t split) {
    return withColumns(Bytes{kChainedLastRow, 0, static_cast<std::uint8_t>(columns.size() - split)},
                       columns.begin() + static_cast<std::ptrdiff_t>(split), columns.end());
}

std::vector<Column> encodeRow(const TableDef& table, const RowDef& row, std::size_t rowIndex) {
    if (row.values.size() > table.columns.size())
        throw std::invalid_argument(table.name + " row " + std::to_string(rowIndex) + " has more values than columns");
    std::vector<Column> columns;
    // LONG columns are stored last, whatever their declared place.
    for (const std::size_t i : storedColumnOrder(table.columns, [](const ColumnDef& c) { return c.type; })) {
        if (i >= row.values.size() || !row.values[i]) {
            columns.push_back(std::nullopt);
            continue;
        }
        try {
            columns.push_back(encodeValue(table.columns[i].type, *row.values[i]));
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument(table.name + " row " + std::to_string(rowIndex) + " column " +
                                        table.columns[i].name + ": " + e.what());
        }
    }
    // Values beyond every column follow the last column, with the NULLs before them stored.
    for (const Value& extra : row.extraValues) columns.push_back(extra ? Column(textColumn(*extra)) : Column());
    while (!columns.empty() && !columns.back()) columns.pop_back();
    if (columns.size() > 255)
        throw std::invalid_argument(table.name + " row " + std::to_string(rowIndex) + " stores more than 255 columns");
    return columns;
}

void addTableRow(HeapFiller& filler, const std::vector<Column>& columns, RowStorage storage) {
    Bytes whole = makeRow(columns, storage == RowStorage::Deleted ? kDeletedRow : kLiveRow);
    if (whole.size() > kLargestPiece) {
        const std::size_t split = splitForSize(columns);
        if (fitsTwoPieces(columns, split)) return addChained(filler, columns, split);
        return addChainedPieces(filler, columns, kLargestPiece - kHeadAddressOffset - kRowAddressSize);
    }
    switch (storage) {
        case RowStorage::Normal:
        case RowStorage::Deleted: filler.add(std::move(whole)); return;
        case RowStorage::Migrated: addMigrated(filler, columns); return;
        case RowStorage::Chained:
            if (columns.size() < 2) {  // nothing to split: the row moves whole
                addMigrated(filler, columns);
                return;
            }
            addChained(filler, columns, columns.size() / 2);
            return;
        case RowStorage::SplitColumn:
            // Half the row in each piece (the cut column's second length
            // bytes included): the cut falls inside a column.
            addChainedPieces(filler, columns, std::max<std::size_t>(storedSize(columns) / 2 + 4, 16));
            return;
        case RowStorage::BrokenChain: {
            const std::size_t split = std::max<std::size_t>(columns.size() / 2, 1);
            Bytes head = headerWithAddress(kChainedHeadRow, split, kHeadAddressOffset);
            filler.addDangling(withColumns(std::move(head), columns.begin(), columns.begin() + static_cast<std::ptrdiff_t>(split)),
                               kHeadAddressOffset);
            return;
        }
        case RowStorage::ChainLoop: {
            // A middle piece (no last bit) whose next-piece address is the head's.
            const auto middle = columns.begin() + static_cast<std::ptrdiff_t>(std::max<std::size_t>(columns.size() / 2, 1));
            Bytes head = withColumns(headerWithAddress(kChainedHeadRow, static_cast<std::size_t>(middle - columns.begin()),
                                                       kHeadAddressOffset),
                                     columns.begin(), middle);
            Bytes body = withColumns(headerWithAddress(0, static_cast<std::size_t>(columns.end() - middle), kHeadAddressOffset),
                                     middle, columns.end());
            filler.addSplit(std::move(head), kHeadAddressOffset, std::move(body), kHeadAddressOffset);
            return;
        }
    }
}

Segment tableSegment(std::int32_t dataObject, const TableDef& table, const std::vector<RowDef>& rows) {
    Segment segment(dataObject, 1);
    HeapFiller filler(segment, kTableFreeSlotEvery);
    for (std::size_t i = 0; i < rows.size(); ++i) addTableRow(filler, encodeRow(table, rows[i], i), rows[i].storage);
    filler.finish();
    if (segment.empty()) segment.startBlock();
    return segment;
}

}  // namespace restorix::forge
