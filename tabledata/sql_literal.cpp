#include "tabledata/sql_literal.h"

namespace restorix {

namespace {

constexpr std::string_view kDateMask = "YYYY-MM-DD HH24:MI:SS";
constexpr std::string_view kSignedDateMask = "SYYYY-MM-DD HH24:MI:SS";
constexpr std::string_view kFractionMask = ".FF";
// sqlplus reads "&" as the start of a substitution variable, so the
// character is spliced in by its code instead.
constexpr std::string_view kAmpersand = "'||CHR(38)||'";
// sqlplus reads a script line by line: a blank line (or a line of "/" or
// ".") inside a quoted value would end or run the statement early, so line
// breaks inside values are spliced in by their codes too.
constexpr std::string_view kCarriageReturn = "'||CHR(13)||'";
constexpr std::string_view kLineFeed = "'||CHR(10)||'";

// The text between apostrophes, an apostrophe doubled.
std::string quoted(std::string_view text) {
    std::string item = "'";
    for (const char c : text) {
        if (c == '\'')
            item += "''";
        else if (c == '&')
            item += kAmpersand;
        else if (c == '\r')
            item += kCarriageReturn;
        else if (c == '\n')
            item += kLineFeed;
        else
            item += c;
    }
    item += '\'';
    return item;
}

// A date text before year 1 begins with "-", which only the signed year
// mask reads.
std::string dateMask(std::string_view dateText) {
    return std::string(dateText.starts_with('-') ? kSignedDateMask : kDateMask);
}

std::string toDate(std::string_view text) {
    return "TO_DATE(" + quoted(text) + "," + quoted(dateMask(text)) + ")";
}

std::string toTimestamp(std::string_view text) {
    std::string mask = dateMask(text);
    if (text.find('.') != std::string_view::npos) mask += kFractionMask;
    return "TO_TIMESTAMP(" + quoted(text) + "," + quoted(mask) + ")";
}

}  // namespace

std::string sqlItem(const RowValue& value) {
    switch (value.kind) {
        case ValueKind::Null:
        case ValueKind::NoDecoder:
            return "NULL";
        case ValueKind::Date:
            return toDate(value.text);
        case ValueKind::Timestamp:
            return toTimestamp(value.text);
        case ValueKind::Text:
        case ValueKind::Number:
        case ValueKind::InvalidDate:
        case ValueKind::Lob:
            break;
    }
    return quoted(value.text);
}

std::string insertStatement(std::string_view qualifiedTable, std::span<const RowValue> row) {
    std::string statement = "insert into ";
    statement += qualifiedTable;
    statement += " values (";
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0) statement += ',';
        statement += sqlItem(row[i]);
    }
    statement += " ) ; ";
    return statement;
}

}  // namespace restorix
