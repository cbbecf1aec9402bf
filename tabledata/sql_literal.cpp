#include "tabledata/sql_literal.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tabledata/national_text.h"
#include "tabledata/value_format.h"

namespace restorix {

namespace {

constexpr std::string_view kToDate = "TO_DATE(";
constexpr std::string_view kToTimestamp = "TO_TIMESTAMP(";
// What follows the quoted date text in its conversion: the mask, which for a
// year before 1 has to be the signed one, and for a fraction ends in .FF.
constexpr std::string_view kDateTail = ",'YYYY-MM-DD HH24:MI:SS')";
constexpr std::string_view kSignedDateTail = ",'SYYYY-MM-DD HH24:MI:SS')";
constexpr std::string_view kFractionTail = ",'YYYY-MM-DD HH24:MI:SS.FF')";
constexpr std::string_view kSignedFractionTail = ",'SYYYY-MM-DD HH24:MI:SS.FF')";
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

// Sixteen characters tested at once: the compiler turns the operations on
// this type into the processor's vector instructions.
using CharVector = std::uint8_t __attribute__((vector_size(16)));
using WordPair = std::uint64_t __attribute__((vector_size(16)));
constexpr std::ptrdiff_t kVectorLength = sizeof(CharVector);

// Whether the sixteen characters from `at` on may hold one to replace. With
// the lowest bit of every byte set, "'" and "&" both read 0x27, LF reads 0x0B
// and CR 0x0D: three comparisons instead of four, at the price of taking the
// rare VT and FF for candidates, which the exact test then passes over.
bool mayNeedReplacement(const char* at) {
    CharVector chars;
    std::memcpy(&chars, at, sizeof chars);
    const CharVector folded = chars | 1;
    const CharVector hits = (folded == ('\'' | 1)) | (folded == ('\n' | 1)) | (folded == ('\r' | 1));
    WordPair words;
    std::memcpy(&words, &hits, sizeof words);
    return (words[0] | words[1]) != 0;
}

const char* firstNeedingReplacement(const char* at, const char* end) {
    while (at != end && !needsReplacement(*at)) ++at;
    return at;
}

// The first character that needs replacing, or `end`.
const char* nextToReplace(const char* at, const char* end) {
    const char* const start = at;
    for (; end - at >= kVectorLength; at += kVectorLength) {
        if (!mayNeedReplacement(at)) continue;
        const char* const found = firstNeedingReplacement(at, at + kVectorLength);
        if (found != at + kVectorLength) return found;
    }
    // Fewer than sixteen characters left: a text that has sixteen tests its
    // last sixteen at once, those before `at` among them already passed.
    if (at == end || (end - start >= kVectorLength && !mayNeedReplacement(end - kVectorLength))) return end;
    return firstNeedingReplacement(at, end);
}

char* put(char* at, std::string_view text) { return std::copy(text.begin(), text.end(), at); }

// A text about to be written between apostrophes, with its first character
// to replace found once for both measuring and writing.
class QuotedText {
public:
    explicit QuotedText(std::string_view text)
        : text_(text), firstToReplace_(nextToReplace(text.data(), text.data() + text.size())) {}

    std::size_t length() const {
        std::size_t length = text_.size() + 2;
        for (const char* c = firstToReplace_; c != end(); c = nextToReplace(c + 1, end()))
            length += replacementOf(*c).size() - 1;
        return length;
    }

    // The text between apostrophes, an apostrophe doubled; the characters
    // between two replaced ones are copied as one run.
    char* write(char* at) const {
        *at++ = '\'';
        const char* from = text_.data();
        for (const char* c = firstToReplace_;; c = nextToReplace(from, end())) {
            at = put(at, std::string_view(from, static_cast<std::size_t>(c - from)));
            if (c == end()) break;
            at = put(at, replacementOf(*c));
            from = c + 1;
        }
        *at++ = '\'';
        return at;
    }

private:
    const char* end() const { return text_.data() + text_.size(); }

    std::string_view text_;
    const char* firstToReplace_;
};

// The mask's part of a conversion: a date text before year 1 begins with
// "-", which only the signed year mask reads.
std::string_view conversionTail(std::string_view dateText, bool withFraction) {
    const bool signedYear = dateText.starts_with('-');
    if (withFraction) return signedYear ? kSignedFractionTail : kFractionTail;
    return signedYear ? kSignedDateTail : kDateTail;
}

// FUNCTION('text','mask'); `function` holds the opening parenthesis.
void appendConversion(std::string& out, std::string_view function, std::string_view text, bool withFraction) {
    const QuotedText quoted(text);
    const std::string_view tail = conversionTail(text, withFraction);
    appendWritten(out, function.size() + quoted.length() + tail.size(),
                  [&](char* at) { return put(quoted.write(put(at, function)), tail); });
}

void appendQuoted(std::string& out, std::string_view text) {
    const QuotedText quoted(text);
    appendWritten(out, quoted.length(), [&](char* at) { return quoted.write(at); });
}

// The items of the types whose text needs no quoting of its own: hex digits,
// dates, numbers and UNISTR's escapes hold no apostrophe, "&" or line break.
constexpr std::string_view kHexToRaw = "HEXTORAW('";
constexpr std::string_view kUnistr = "UNISTR('";
constexpr std::string_view kToTimestampZone = "TO_TIMESTAMP_TZ('";
constexpr std::string_view kIntervalOpen = "INTERVAL '";
constexpr std::string_view kYearToMonth = "' YEAR(9) TO MONTH";
constexpr std::string_view kDayToSecond = "' DAY(9) TO SECOND(9)";
constexpr std::string_view kZoneMask = " TZH:TZM')";
constexpr std::string_view kCloseQuoted = "')";

void appendWrapped(std::string& out, std::string_view head, std::string_view text, std::string_view tail) {
    out += head;
    out += text;
    out += tail;
}

// TO_TIMESTAMP_TZ('text','mask TZH:TZM'): the date mask as TO_TIMESTAMP's,
// without its closing parenthesis.
void appendTimestampZone(std::string& out, std::string_view text) {
    std::string_view mask = conversionTail(text, text.find('.') != std::string_view::npos);
    mask.remove_suffix(2);  // "')"
    out += kToTimestampZone;
    out += text;
    out += '\'';
    out += mask;
    out += kZoneMask;
}

// 1.5f, -0.1d, 1e+20d; NaN and the infinities by their names.
void appendBinaryFloat(std::string& out, std::string_view text, bool isDouble) {
    const std::string_view name = isDouble ? "BINARY_DOUBLE" : "BINARY_FLOAT";
    if (text == "NaN") {
        out += name;
        out += "_NAN";
    } else if (text == "Inf" || text == "-Inf") {
        if (text.front() == '-') out += '-';
        out += name;
        out += "_INFINITY";
    } else {
        out += text;
        out += isDouble ? 'd' : 'f';
    }
}

void appendUnistr(std::string& out, std::string_view text) {
    out += kUnistr;
    appendUnistrContent(out, text);
    out += kCloseQuoted;
}

}  // namespace

void appendSqlItem(std::string& out, ValueKind kind, std::string_view text) {
    switch (kind) {
        case ValueKind::Null:
        case ValueKind::NoDecoder:
        case ValueKind::Undecodable:
            out += kNullItem;
            return;
        case ValueKind::Raw:
            return appendWrapped(out, kHexToRaw, text, kCloseQuoted);
        case ValueKind::BinaryFloat:
        case ValueKind::BinaryDouble:
            return appendBinaryFloat(out, text, kind == ValueKind::BinaryDouble);
        case ValueKind::TimestampZone:
            return appendTimestampZone(out, text);
        case ValueKind::IntervalYearMonth:
            return appendWrapped(out, kIntervalOpen, text, kYearToMonth);
        case ValueKind::IntervalDaySecond:
            return appendWrapped(out, kIntervalOpen, text, kDayToSecond);
        case ValueKind::NationalText:
            return appendUnistr(out, text);
        case ValueKind::Date:
            return appendConversion(out, kToDate, text, false);
        case ValueKind::Timestamp:
            return appendConversion(out, kToTimestamp, text, text.find('.') != std::string_view::npos);
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
