#pragma once
// A user table's rows as its segment stores them: values encoded by column
// type, trailing NULL columns left out, and the row forms a real table shows
// (live, deleted, migrated, chained).

#include <vector>

#include "tools/forge/scenario.h"
#include "tools/forge/segment.h"

namespace restorix::forge {

// Row piece flags of the split forms.
constexpr std::uint8_t kHeadOnlyRow = 0x20;       // migrated row: the head left behind
constexpr std::uint8_t kMigratedBodyRow = 0x0C;   // migrated row: first and last piece, no head
constexpr std::uint8_t kChainedHeadRow = 0x28;    // head and first piece, more follows
constexpr std::uint8_t kChainedLastRow = 0x04;    // the last piece
constexpr std::uint8_t kContinuesPrevious = 0x02;  // the first column goes on from the previous piece
constexpr std::uint8_t kContinuesNext = 0x01;      // the last column goes on in the next piece

// The stored columns of one row; trailing NULLs are not stored. Throws
// std::invalid_argument naming the table, row and column of a bad value.
std::vector<Column> encodeRow(const TableDef& table, const RowDef& row, std::size_t rowIndex);

// A row chained in two pieces at column `split`: the head with the first
// columns (its next-piece address left zero for the caller to fill at
// offset 3: block address, then slot) and the last piece with the rest.
Bytes chainedHead(const std::vector<Column>& columns, std::size_t split);
Bytes chainedTail(const std::vector<Column>& columns, std::size_t split);
constexpr int kNextPieceAddressOffset = 3;

// Places one row in the segment in the requested form. A row too large for
// one block is chained whatever the form asked for.
void addTableRow(HeapFiller& filler, const std::vector<Column>& columns, RowStorage storage);

// The segment of a table's rows (an empty table gets one empty block).
Segment tableSegment(std::int32_t dataObject, const TableDef& table, const std::vector<RowDef>& rows);

}  // namespace restorix::forge
