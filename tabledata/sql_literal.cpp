#include "tabledata/sql_literal.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace restorix {

namespace {

constexpr std::string_view kDateMask = "YYYY-MM-DD HH24:MI:SS";
constexpr std::string_view kSignedDateMask = "SYYYY-MM-DD HH24:MI:SS";
constexpr std::string_view kFractionMask = ".FF";
constexpr std::string_view kNullItem = "NULL";
constexpr std::string_view kInsertInto = "insert into ";
constexpr std::string_view kValuesOpen = " values (";
constexpr std::string_view kValuesClose = " ) ; ";
// sqlplus reads "&" as the start of a substitution variable, so the
// character is spliced in by its code instead.
constexpr std::string_view kAmpersand = "'||CHR(38)||'";
// sqlplus reads a script line by line: a blank line (or a line of "/" or
// ".") inside a quoted value would end or run the statement early, so line
// breaks inside values are spliced in by their codes too.
constexpr std::string_view kCarriageReturn = "'||CHR(13)||'";
constexpr std::string_view kLineFeed = "'||CHR(10)||'";
constexpr std::string_view kDoubledApostrophe = "''";

// What a character becomes between apostrophes; empty for a character that
// stands for itself.
constexpr std::string_view replacementOf(char c) {
    switch (c) {
        case '\'':
            return kDoubledApostrophe;
        case '&':
            return kAmpersand;
        case '\r':
            return kCarriageReturn;
        case '\n':
            return kLineFeed;
        default:
            return {};
    }
}

constexpr std::array<bool, 256> kNeedsReplacement = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c) table[static_cast<std::size_t>(c)] = !replacementOf(static_cast<char>(c)).empty();
    return table;
}();

bool needsReplacement(char c) { return kNeedsReplacement[static_cast<unsigned char>(c)]; }

constexpr std::uint64_t kLowBits = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// Whether any byte of the word equals c: after the XOR those bytes are zero,
// and (x - 0x01...01) & ~x & 0x80...80 is non-zero exactly when a byte of x is.
constexpr bool hasByte(std::uint64_t word, std::uint8_t c) {
    const std::uint64_t x = word ^ (kLowBits * c);
    return ((x - kLowBits) & ~x & kHighBits) != 0;
}

// Whether the word may hold a character to replace. With the lowest bit of
// every byte set, "'" and "&" both read 0x27, LF reads 0x0B and CR 0x0D: three
// tests instead of four, at the price of taking the rare VT and FF bytes for
// candidates, which the exact test then passes over.
constexpr bool mayNeedReplacement(std::uint64_t word) {
    const std::uint64_t folded = word | kLowBits;
    return hasByte(folded, '\'' | 1) || hasByte(folded, '\n' | 1) || hasByte(folded, '\r' | 1);
}

// The first character that needs replacing, or `end`; eight are tested at once.
const char* nextToReplace(const char* at, const char* end) {
    for (std::uint64_t word; end - at >= static_cast<std::ptrdiff_t>(sizeof word); at += sizeof word) {
        std::memcpy(&word, at, sizeof word);
        if (mayNeedReplacement(word)) break;
    }
    while (at != end && !needsReplacement(*at)) ++at;
    return at;
}

// The text between apostrophes, an apostrophe doubled; the characters
// between two replaced ones are copied as one run.
void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('\'');
    const char* at = text.data();
    const char* const end = at + text.size();
    for (;;) {
        const char* const runEnd = nextToReplace(at, end);
        out.append(at, static_cast<std::size_t>(runEnd - at));
        if (runEnd == end) break;
        out += replacementOf(*runEnd);
        at = runEnd + 1;
    }
    out.push_back('\'');
}

// A date text before year 1 begins with "-", which only the signed year
// mask reads.
std::string_view dateMask(std::string_view dateText) {
    return dateText.starts_with('-') ? kSignedDateMask : kDateMask;
}

// FUNCTION('text','mask'), the mask followed by `maskSuffix`.
void appendConversion(std::string& out, std::string_view function, std::string_view text, std::string_view maskSuffix) {
    out += function;
    out.push_back('(');
    appendQuoted(out, text);
    out += ",'";
    out += dateMask(text);
    out += maskSuffix;
    out += "')";
}

}  // namespace

void appendSqlItem(std::string& out, ValueKind kind, std::string_view text) {
    switch (kind) {
        case ValueKind::Null:
        case ValueKind::NoDecoder:
            out += kNullItem;
            return;
        case ValueKind::Date:
            return appendConversion(out, "TO_DATE", text, {});
        case ValueKind::Timestamp:
            return appendConversion(out, "TO_TIMESTAMP", text,
                                    text.find('.') != std::string_view::npos ? kFractionMask : std::string_view{});
        case ValueKind::Text:
        case ValueKind::Number:
        case ValueKind::InvalidDate:
        case ValueKind::Lob:
            break;
    }
    appendQuoted(out, text);
}

std::string sqlItem(const RowValue& value) {
    std::string item;
    appendSqlItem(item, value.kind, value.text);
    return item;
}

void appendInsertHead(std::string& out, std::string_view qualifiedTable) {
    out += kInsertInto;
    out += qualifiedTable;
    out += kValuesOpen;
}

void appendInsertTail(std::string& out) { out += kValuesClose; }

void appendInsertStatement(std::string& out, std::string_view qualifiedTable, std::span<const RowValue> row) {
    appendInsertHead(out, qualifiedTable);
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0) appendItemSeparator(out);
        appendSqlItem(out, row[i].kind, row[i].text);
    }
    appendInsertTail(out);
}

std::string insertStatement(std::string_view qualifiedTable, std::span<const RowValue> row) {
    std::string statement;
    appendInsertStatement(statement, qualifiedTable, row);
    return statement;
}

}  // namespace restorix
