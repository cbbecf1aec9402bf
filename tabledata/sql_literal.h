#pragma once
// Column values as items of the insert statements in the data scripts.

#include <span>
#include <string>
#include <string_view>

#include "tabledata/row_value.h"

namespace restorix {

// One value inside "values ( ... )": the bare word NULL for a NULL column,
// a type without a decoder or undecodable bytes; TO_DATE / TO_TIMESTAMP /
// TO_TIMESTAMP_TZ for valid dates; HEXTORAW for RAW, UNISTR for national
// text, INTERVAL literals, BINARY_FLOAT / BINARY_DOUBLE numbers with their
// suffix; the text between apostrophes for everything else.
std::string sqlItem(const RowValue& value);

// The same item appended to `out`, from a value's kind and UTF-8 text.
void appendSqlItem(std::string& out, ValueKind kind, std::string_view text);

// "insert into <table> values (<items joined by ",">" ) ; " for one row;
// the caller supplies the table name as it is to appear (schema.table) and
// writes the line end and the commit itself.
std::string insertStatement(std::string_view qualifiedTable, std::span<const RowValue> row);
void appendInsertStatement(std::string& out, std::string_view qualifiedTable, std::span<const RowValue> row);

// The pieces of one insert statement, for writers that produce its items one
// at a time: the head, then an item separator before every item but the
// first, then the tail.
void appendInsertHead(std::string& out, std::string_view qualifiedTable);
inline void appendItemSeparator(std::string& out) { out.push_back(','); }
void appendInsertTail(std::string& out);

}  // namespace restorix
