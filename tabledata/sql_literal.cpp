#include "tabledata/sql_literal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_scan.h"
#include "platform/utf8.h"
#include "tabledata/column_types.h"
#include "tabledata/national_text.h"
#include "tabledata/value_format.h"

namespace restorix {

namespace {

constexpr std::string_view kToDate = "TO_DATE(";
constexpr std::string_view kToTimestamp = "TO_TIMESTAMP(";
// A date's text: the date and time ("YYYY-MM-DD HH24:MI:SS", longer with a
// sign or a fifth year digit), then its fraction, then a zone.
constexpr std::size_t kDateTimeLength = 19;
// What follows the quoted date text in its conversion: the mask, which for a
// year before 1 has to be the signed one, and for a fraction ends in .FF.
constexpr std::string_view kDateTail = ",'YYYY-MM-DD HH24:MI:SS')";
constexpr std::string_view kSignedDateTail = ",'SYYYY-MM-DD HH24:MI:SS')";
constexpr std::string_view kFractionTail = ",'YYYY-MM-DD HH24:MI:SS.FF')";
constexpr std::string_view kSignedFractionTail = ",'SYYYY-MM-DD HH24:MI:SS.FF')";
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

// The characters replacementOf replaces, for the scans; the check below
// keeps the two lists the same.
constexpr ByteSet kToReplace{.listed = {'\'', '&', '\r', '\n'}, .listedCount = 4};
static_assert([] {
    for (int c = 0; c < 256; ++c)
        if (kToReplace.contains(static_cast<std::uint8_t>(c)) == replacementOf(static_cast<char>(c)).empty())
            return false;
    return true;
}());

// The first character that needs replacing, or `end`.
const char* nextToReplace(const char* at, const char* end) { return firstByteIn<kToReplace>(at, end); }

char* put(char* at, std::string_view text) { return std::copy(text.begin(), text.end(), at); }

// The characters that keep a text from being written as it stands between
// apostrophes: a zero byte or one beyond ASCII (the text types' own rules),
// or a character to replace.
constexpr ByteSet kNeedsCare{.below = 1, .nonAscii = true, .listed = kToReplace.listed,
                             .listedCount = kToReplace.listedCount};

// Whether a CHAR or VARCHAR2 text is plain ASCII with nothing to replace, as
// most are: it then stands as it is between apostrophes.
bool quotableAsItStands(std::string_view text) { return noByteIn<kNeedsCare>(text); }

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
// use(mask) with the mask as a constant, so that a copy of it is one of a
// length known beforehand.
template <typename Use>
auto withConversionTail(std::string_view dateText, bool withFraction, const Use& use) {
    const bool signedYear = dateText.starts_with('-');
    if (withFraction) return signedYear ? use(kSignedFractionTail) : use(kFractionTail);
    return signedYear ? use(kSignedDateTail) : use(kDateTail);
}

std::string_view conversionTail(std::string_view dateText, bool withFraction) {
    return withConversionTail(dateText, withFraction, [](std::string_view tail) { return tail; });
}

// Whether a date's text has a fraction: its point can only follow the date
// and time.
bool hasFraction(std::string_view dateText) {
    const auto from = dateText.begin() + static_cast<std::ptrdiff_t>(std::min(dateText.size(), kDateTimeLength));
    return std::find(from, dateText.end(), '.') != dateText.end();
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
// The most an item adds after its text: the closing apostrophe and the
// longest conversion mask.
constexpr std::size_t kItemTailRoom = 1 + kSignedFractionTail.size();

void appendWrapped(std::string& out, std::string_view head, std::string_view text, std::string_view tail) {
    out += head;
    out += text;
    out += tail;
}

// TO_TIMESTAMP_TZ('text','mask TZH:TZM'): the date mask as TO_TIMESTAMP's,
// without its closing parenthesis.
void appendTimestampZone(std::string& out, std::string_view text) {
    std::string_view mask = conversionTail(text, hasFraction(text));
    mask.remove_suffix(2);  // "')"
    out += kToTimestampZone;
    out += text;
    out += '\'';
    out += mask;
    out += kZoneMask;
}

char binaryFloatSuffix(bool isDouble) { return isDouble ? 'd' : 'f'; }

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
        out += binaryFloatSuffix(isDouble);
    }
}

void appendUnistr(std::string& out, std::string_view text) {
    out += kUnistr;
    appendUnistrContent(out, text);
    out += kCloseQuoted;
}

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kPieceJoin = "'||\r\n'";
constexpr std::string_view kSpliceOpen = "'||CHR(";
constexpr std::string_view kSpliceClose = ")||'";
constexpr std::size_t kEscapeLength = 5;  // \XXXX

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The code unit of a \XXXX escape at the start of `text`, or -1.
long escapedUnit(std::string_view text) {
    if (text.size() < kEscapeLength || text[0] != '\\') return -1;
    if (!std::all_of(text.begin() + 1, text.begin() + kEscapeLength, isHexDigit)) return -1;
    long unit = 0;
    std::from_chars(text.data() + 1, text.data() + kEscapeLength, unit, 16);
    return unit;
}

// The length of a '||CHR(n)||' splice at the start of `text`, or 0.
std::size_t spliceLength(std::string_view text) {
    if (!text.starts_with(kSpliceOpen)) return 0;
    std::size_t at = kSpliceOpen.size();
    const std::size_t digitsStart = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == digitsStart || !text.substr(at).starts_with(kSpliceClose)) return 0;
    return at + kSpliceClose.size();
}

// The length of the written character at the start of a quoted text's
// remaining content; 0 at the apostrophe that closes the text.
std::size_t tokenLength(std::string_view rest) {
    if (rest[0] == '\'') {
        if (rest.size() > 1 && rest[1] == '\'') return 2;
        return spliceLength(rest);
    }
    if (const long unit = escapedUnit(rest); unit >= 0) {
        const long next = escapedUnit(rest.substr(kEscapeLength));
        if (isHighSurrogate(static_cast<char32_t>(unit)) && next >= 0 && isLowSurrogate(static_cast<char32_t>(next)))
            return 2 * kEscapeLength;
        return kEscapeLength;
    }
    // A UTF-8 lead byte and its continuation bytes, at most a whole sequence.
    std::size_t length = 1;
    if (static_cast<unsigned char>(rest[0]) >= 0xC0)
        while (length < rest.size() && length < kLongestUtf8Sequence && isUtf8Continuation(rest[length])) ++length;
    return length;
}

// The content of the quoted text that opens at `text[0]`, up to (not
// including) its closing apostrophe or the end of `text`.
std::string_view quotedContent(std::string_view text) {
    std::size_t at = 1;
    while (at < text.size()) {
        const std::size_t length = tokenLength(text.substr(at));
        if (length == 0) break;
        at += length;
    }
    return text.substr(1, at - 1);
}

// The content, cut before each character that would make its piece longer
// than kQuotedPieceLimit.
void appendCutContent(std::string& out, std::string_view content) {
    std::size_t pieceLength = 0;
    for (std::size_t at = 0; at < content.size();) {
        const std::size_t length = tokenLength(content.substr(at));
        if (pieceLength > 0 && pieceLength + length > kQuotedPieceLimit) {
            out += kPieceJoin;
            pieceLength = 0;
        }
        out.append(content.substr(at, length));
        pieceLength += length;
        at += length;
    }
}

// One stretch of a statement between two breaks: the text outside quotes as
// it is, each quoted text cut when it is too long.
void appendWithQuotedTextsCut(std::string& out, std::string_view stretch) {
    for (std::size_t at = 0; at < stretch.size();) {
        if (stretch[at] != '\'') {
            out.push_back(stretch[at++]);
            continue;
        }
        const std::string_view content = quotedContent(stretch.substr(at));
        out.push_back('\'');
        if (content.size() > kQuotedPieceLimit) {
            appendCutContent(out, content);
        } else {
            out.append(content);
        }
        at += 1 + content.size();
        if (at < stretch.size()) out.push_back(stretch[at++]);  // the closing apostrophe
    }
}

}  // namespace

void breakStatementLines(std::string& out, std::size_t start, std::span<const std::size_t> commaOffsets) {
    const std::string statement = out.substr(start);
    out.resize(start);
    std::size_t from = 0;
    for (const std::size_t comma : commaOffsets) {
        appendWithQuotedTextsCut(out, std::string_view(statement).substr(from, comma + 1 - from));
        out += kLineEnd;
        from = comma + 1;
    }
    appendWithQuotedTextsCut(out, std::string_view(statement).substr(from));
}

void breakBetweenColumns(std::string& statement, std::string_view lineEnd) {
    if (statement.size() <= kOneLineStatementLimit) return;
    std::string broken;
    broken.reserve(statement.size() + statement.size() / 8);
    bool inName = false;
    for (std::size_t at = 0; at < statement.size(); ++at) {
        const char c = statement[at];
        broken.push_back(c);
        if (c == '"') inName = !inName;
        if (c != ',' || inName) continue;
        const std::size_t next = statement.find_first_not_of(' ', at + 1);
        if (next != std::string::npos && statement[next] == '"') broken += lineEnd;
    }
    statement = std::move(broken);
}

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
            return appendConversion(out, kToTimestamp, text, hasFraction(text));
        case ValueKind::Text:
        case ValueKind::Number:
        case ValueKind::InvalidDate:
        case ValueKind::Lob:
            break;
    }
    appendQuoted(out, text);
}

namespace {

// Closes the quoted text of an item, from `textStart` to `end`, of a value
// of this kind; nullptr for a text longer than a SQL literal.
char* closeQuotedItem(char* textStart, char* end, ValueKind kind, StoredItem& item) {
    const auto length = static_cast<std::size_t>(end - textStart);
    if (length > kSqlLiteralLimit) return nullptr;
    item = StoredItem{kind, isUndecodable(kind, std::string_view(textStart, length))};
    *end++ = '\'';
    return end;
}

char* numberItem(char* at, std::span<const std::uint8_t> bytes, bool pointDecoder, StoredItem& item) {
    *at++ = '\'';
    char* const end = pointDecoder ? writePointNumber(bytes, at) : writeIntegerNumber(bytes, at);
    return closeQuotedItem(at, end, ValueKind::Number, item);
}

// TO_DATE('text','mask') or TO_TIMESTAMP('text','mask'); for bytes that are
// no valid date, their day-month-year text alone, quoted.
char* dateItem(char* at, std::span<const std::uint8_t> bytes, bool isTimestamp, StoredItem& item) {
    // Each function put on its own: a copy of a length known beforehand.
    char* const textStart = (isTimestamp ? put(at, kToTimestamp) : put(at, kToDate)) + 1;
    textStart[-1] = '\'';
    ValueKind kind = ValueKind::Null;
    char* const end = writeDate(bytes, isTimestamp, textStart, kind);
    const std::string_view text(textStart, static_cast<std::size_t>(end - textStart));
    if (kind == ValueKind::InvalidDate) {
        const auto length = static_cast<std::size_t>(end - (textStart - 1));
        std::memmove(at, textStart - 1, length);
        return closeQuotedItem(at + 1, at + length, kind, item);
    }
    item = StoredItem{kind, false};
    const bool withFraction = isTimestamp && hasFraction(text);
    *end = '\'';
    return withConversionTail(text, withFraction, [&](std::string_view tail) { return put(end + 1, tail); });
}

// Plain ASCII text with no character to replace, quoted; nullptr for any
// other text, which is written the general way.
char* plainTextItem(char* at, std::span<const std::uint8_t> bytes, StoredItem& item) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.size() > kSqlLiteralLimit || !quotableAsItStands(text)) return nullptr;
    *at++ = '\'';
    return closeQuotedItem(at, put(at, text), ValueKind::Text, item);
}

char* rawItem(char* at, std::span<const std::uint8_t> bytes, StoredItem& item) {
    if (2 * bytes.size() > kSqlLiteralLimit) return nullptr;
    item = StoredItem{ValueKind::Raw, false};
    return put(writeHex(bytes, put(at, kHexToRaw)), kCloseQuoted);
}

// A finite number of the binary types, unquoted, with its suffix.
char* binaryFloatItem(char* at, std::span<const std::uint8_t> bytes, bool isDouble, StoredItem& item) {
    char* end = isDouble ? writeFiniteBinaryDouble(bytes, at) : writeFiniteBinaryFloat(bytes, at);
    if (!end) return nullptr;
    item = StoredItem{isDouble ? ValueKind::BinaryDouble : ValueKind::BinaryFloat, false};
    *end++ = binaryFloatSuffix(isDouble);
    return end;
}

}  // namespace

// The frame the header allows an item around its text holds the longest
// function and apostrophe before it and the longest tail after it.
static_assert(kToTimestamp.size() + 1 + kItemTailRoom <= kStoredItemFrame);

char* writeStoredSqlItem(char* at, ColumnKind columnKind, std::span<const std::uint8_t> bytes, StoredItem& item) {
    switch (valueDecoder(columnKind)) {
        case ValueDecoder::IntegerNumber:
            return numberItem(at, bytes, false, item);
        case ValueDecoder::PointNumber:
            return numberItem(at, bytes, true, item);
        case ValueDecoder::Date:
            return dateItem(at, bytes, false, item);
        case ValueDecoder::Timestamp:
            return dateItem(at, bytes, true, item);
        case ValueDecoder::Char:
        case ValueDecoder::Varchar2:
            return plainTextItem(at, bytes, item);
        case ValueDecoder::Raw:
            return rawItem(at, bytes, item);
        case ValueDecoder::BinaryFloat:
            return binaryFloatItem(at, bytes, false, item);
        case ValueDecoder::BinaryDouble:
            return binaryFloatItem(at, bytes, true, item);
        default:
            return nullptr;
    }
}

void appendInsertHead(std::string& out, std::string_view qualifiedTable) {
    out += kInsertInto;
    out += qualifiedTable;
    out += kValuesOpen;
}

void appendInsertTail(std::string& out) { out += kValuesClose; }

}  // namespace restorix
