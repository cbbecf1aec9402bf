#pragma once
// Column values as items of the insert statements in the data scripts.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tabledata/row_value.h"
#include "tabledata/value_format.h"

namespace restorix {

// Appends one value inside "values ( ... )", from its kind and text: the
// bare word NULL for a NULL column, a type without a decoder or undecodable
// bytes; TO_DATE / TO_TIMESTAMP / TO_TIMESTAMP_TZ for valid dates; HEXTORAW
// for RAW, UNISTR for national text, INTERVAL literals, BINARY_FLOAT /
// BINARY_DOUBLE numbers with their suffix; the text between apostrophes for
// everything else.
void appendSqlItem(std::string& out, ValueKind kind, std::string_view text);

// The item of a value written straight from its stored bytes, as
// appendSqlItem writes the text formatColumnValueInto (code-page spelling)
// gives it, for numbers, dates and timestamps, RAW, finite BINARY_FLOAT and
// BINARY_DOUBLE and plain ASCII text: written from `at` on into
// storedSqlItemRoom(bytes.size()) characters, it returns its end and sets
// `item`. For the other values, texts longer than a SQL literal and texts
// with characters to replace, which are written the general way, it returns
// nullptr (having written whatever into the room).
struct StoredItem {
    ValueKind kind = ValueKind::Null;
    bool undecodable = false;  // as isUndecodable tells of its kind and text
};
// What an item adds around its text: a function and an apostrophe before
// it, an apostrophe and a conversion mask after it.
inline constexpr std::size_t kStoredItemFrame = 64;
constexpr std::size_t storedSqlItemRoom(std::size_t byteCount) {
    return kStoredItemFrame + commonValueTextRoom(byteCount);
}
char* writeStoredSqlItem(char* at, ColumnKind columnKind, std::span<const std::uint8_t> bytes, StoredItem& item);

// The pieces of one insert statement, for writers that produce its items one
// at a time: the head, then an item separator before every item but the
// first, then the tail.
void appendInsertHead(std::string& out, std::string_view qualifiedTable);
inline constexpr std::string_view kItemSeparator = ",";
// The item of a NULL value.
inline constexpr std::string_view kNullItem = "NULL";
void appendInsertTail(std::string& out);

// sqlplus refuses an input line over 2,499 bytes. A statement whose one-line
// form is longer than this is written over several lines instead.
inline constexpr std::size_t kOneLineStatementLimit = 2000;
// The longest run of a quoted text kept on one line; a longer one is cut
// into pieces joined by '||.
inline constexpr std::size_t kQuotedPieceLimit = 1000;
// The longest text SQL takes as a literal; a longer value is inserted from
// a PL/SQL block, whose literals may reach kPlsqlLiteralLimit.
inline constexpr std::size_t kSqlLiteralLimit = 4000;
inline constexpr std::size_t kPlsqlLiteralLimit = 32767;

// Rewrites the statement text from `start` to the end of `out` for sqlplus:
// a CR LF after each comma at `commaOffsets` (relative to `start`,
// ascending), and every quoted text longer than kQuotedPieceLimit cut between
// two of its characters into pieces, each but the last ending in '|| CR LF.
// A character's written form (a doubled apostrophe, a '||CHR(n)||' splice, a
// \XXXX escape or surrogate pair of escapes, a UTF-8 sequence) is never cut.
void breakStatementLines(std::string& out, std::size_t start, std::span<const std::size_t> commaOffsets);

// For a DDL statement longer than kOneLineStatementLimit: `lineEnd` after
// each comma (outside double quotes) that separates two double-quoted
// column names or column definitions, as in ("A","B") or ( "A" Number, "B" Date).
void breakBetweenColumns(std::string& statement, std::string_view lineEnd);

}  // namespace restorix
