#include "tools/forge/table_rows.h"

#include <algorithm>
#include <stdexcept>

#include "tools/forge/dictionary_rows.h"

namespace restorix::forge {

namespace {

// Piece headers that carry a row address: flag, lock, column count, then the
// address (head pieces), or a spare byte and the address (a migrated body).
constexpr int kHeadAddressOffset = 3;
constexpr int kBodyAddressOffset = 4;

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

// Head piece with the first `split` columns, the last piece with the rest.
void addChained(HeapFiller& filler, const std::vector<Column>& columns, std::size_t split) {
    const auto middle = columns.begin() + static_cast<std::ptrdiff_t>(split);
    Bytes head = withColumns(headerWithAddress(kChainedHeadRow, split, kHeadAddressOffset), columns.begin(), middle);
    Bytes tail = withColumns(Bytes{kChainedLastRow, 0, static_cast<std::uint8_t>(columns.size() - split)}, middle,
                             columns.end());
    if (head.size() > kLargestPiece || tail.size() > kLargestPiece)
        throw std::invalid_argument("a row too large for two blocks");
    filler.addSplit(std::move(head), kHeadAddressOffset, std::move(tail), std::nullopt);
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
    while (!columns.empty() && !columns.back()) columns.pop_back();
    if (columns.size() > 255)
        throw std::invalid_argument(table.name + " row " + std::to_string(rowIndex) + " stores more than 255 columns");
    return columns;
}

void addTableRow(HeapFiller& filler, const std::vector<Column>& columns, RowStorage storage) {
    Bytes whole = makeRow(columns, storage == RowStorage::Deleted ? kDeletedRow : kLiveRow);
    if (whole.size() > kLargestPiece) {
        addChained(filler, columns, splitForSize(columns));
        return;
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
