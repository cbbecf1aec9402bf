#include "tools/forge/column_type.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <limits>
#include <regex>
#include <stdexcept>

#include "platform/codepage.h"
#include "tabledata/national_text.h"
#include "tools/forge/oracle_values.h"

namespace restorix::forge {

namespace {

// TYPE# values as COL$ stores them.
constexpr int kVarchar2Type = 1;
constexpr int kNumberType = 2;
constexpr int kLongType = 8;
constexpr int kDateType = 12;
constexpr int kRawType = 23;
constexpr int kLongRawType = 24;
constexpr int kRowidType = 69;
constexpr int kCharType = 96;
constexpr int kClobType = 112;
constexpr int kBlobType = 113;
constexpr int kTimestampType = 180;
constexpr int kTimestampTzType = 181;
constexpr int kTimestampLtzType = 231;
constexpr int kBinaryFloatType = 100;
constexpr int kBinaryDoubleType = 101;
constexpr int kIntervalYearMonthType = 182;
constexpr int kIntervalDaySecondType = 183;

// LENGTH values of the fixed-width types.
constexpr int kNumberLength = 22;
constexpr int kDateLength = 7;
constexpr int kTimestampLength = 11;
constexpr int kTimestampTzLength = 13;
constexpr int kLobLength = 4000;
constexpr int kRowidLength = 10;
constexpr int kBinaryFloatLength = 4;
constexpr int kBinaryDoubleLength = 8;
constexpr int kIntervalYearMonthLength = 5;
constexpr int kIntervalDaySecondLength = 11;
// Bytes per character of the national character set, AL16UTF16.
constexpr int kNationalCharacterBytes = 2;

constexpr int kDefaultLeadingPrecision = 2;

constexpr int kDefaultFloatPrecision = 126;
constexpr int kDefaultFractionalSeconds = 6;


// The in-row LOB locator: a fixed prefix, a LOB id, the inline data length.
constexpr std::uint8_t kLobLocatorPrefix[] = {0x00, 0x54, 0x00, 0x01, 0x02, 0x0C, 0x80,
                                              0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01};
constexpr std::size_t kLobIdSize = 10;
constexpr std::size_t kMaxInlineLob = 3964;

[[noreturn]] void reject(std::string_view what, std::string_view text) {
    throw std::invalid_argument(std::string(what) + ": \"" + std::string(text) + "\"");
}

// Upper case, single spaces, no spaces next to parentheses or commas.
std::string normalise(std::string_view text) {
    std::string out;
    bool pendingSpace = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            pendingSpace = !out.empty();
            continue;
        }
        const bool tight = c == '(' || c == ')' || c == ',' || (!out.empty() && (out.back() == '(' || out.back() == ','));
        if (pendingSpace && !tight) out += ' ';
        pendingSpace = false;
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::optional<int> parseInt(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

struct Declaration {
    std::string base;
    std::vector<std::string> arguments;
    std::string suffix;
    bool hasArguments = false;
};

Declaration splitDeclaration(const std::string& text) {
    Declaration d;
    const auto open = text.find('(');
    if (open == std::string::npos) {
        // TIMESTAMP WITH ... without a precision
        const auto space = text.find(' ');
        d.base = text.substr(0, space);
        if (space != std::string::npos) d.suffix = text.substr(space + 1);
        if (d.base != "TIMESTAMP") {
            d.base = text;
            d.suffix.clear();
        }
        return d;
    }
    const auto close = text.find(')', open);
    if (close == std::string::npos) reject("unbalanced parenthesis in column type", text);
    d.base = text.substr(0, open);
    d.hasArguments = true;
    std::string inner = text.substr(open + 1, close - open - 1);
    std::size_t start = 0;
    while (true) {
        const auto comma = inner.find(',', start);
        d.arguments.push_back(inner.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    d.suffix = text.substr(close + 1);
    if (!d.suffix.empty() && d.suffix.front() == ' ') d.suffix.erase(0, 1);
    return d;
}

int requiredInt(const std::string& argument, const std::string& text) {
    const auto value = parseInt(argument);
    if (!value || *value < 0) reject("bad number in column type", text);
    return *value;
}

ColumnType numberType(const Declaration& d, const std::string& text) {
    ColumnType type{TypeKind::Number, 0, std::nullopt, std::nullopt};
    if (!d.hasArguments) return type;
    if (d.arguments.empty() || d.arguments.size() > 2) reject("NUMBER takes one or two arguments", text);
    if (d.arguments[0] != "*") type.precision = requiredInt(d.arguments[0], text);
    if (d.arguments.size() == 2) {
        const auto scale = parseInt(d.arguments[1]);
        if (!scale) reject("bad NUMBER scale", text);
        type.scale = *scale;
    } else if (type.precision) {
        type.scale = 0;  // NUMBER(p) is NUMBER(p,0)
    } else {
        reject("NUMBER(*) needs a scale", text);
    }
    return type;
}

ColumnType timestampType(const Declaration& d, const std::string& text) {
    ColumnType type{TypeKind::Timestamp, 0, std::nullopt, kDefaultFractionalSeconds};
    if (d.hasArguments) {
        if (d.arguments.size() != 1) reject("TIMESTAMP takes one argument", text);
        type.scale = requiredInt(d.arguments[0], text);
        if (*type.scale > 9) reject("TIMESTAMP precision above 9", text);
    }
    if (d.suffix == "WITH TIME ZONE") {
        type.kind = TypeKind::TimestampTz;
    } else if (d.suffix == "WITH LOCAL TIME ZONE") {
        type.kind = TypeKind::TimestampLtz;
    } else if (!d.suffix.empty()) {
        reject("unknown TIMESTAMP form", text);
    }
    return type;
}

ColumnType sizedType(TypeKind kind, const Declaration& d, const std::string& text, std::optional<int> fallback) {
    if (!d.hasArguments) {
        if (!fallback) reject("column type needs a length", text);
        return {kind, *fallback, std::nullopt, std::nullopt};
    }
    if (d.arguments.size() != 1) reject("column type takes one length", text);
    const int length = requiredInt(d.arguments[0], text);
    if (length == 0) reject("zero length in column type", text);
    return {kind, length, std::nullopt, std::nullopt};
}

// ---- values ----

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint32_t nanoseconds = 0;
    std::optional<int> zoneMinutes;  // east of UTC
};

int digitsAt(std::string_view text, std::size_t pos, std::size_t count, std::string_view whole) {
    if (pos + count > text.size()) reject("incomplete date or time", whole);
    const auto value = parseInt(text.substr(pos, count));
    if (!value) reject("bad digits in date or time", whole);
    return *value;
}

DateTime parseDateTime(std::string_view text, bool allowFraction, bool allowZone) {
    DateTime t;
    if (text.size() < 10 || text[4] != '-' || text[7] != '-') reject("date is not YYYY-MM-DD", text);
    t.year = digitsAt(text, 0, 4, text);
    t.month = digitsAt(text, 5, 2, text);
    t.day = digitsAt(text, 8, 2, text);
    std::size_t pos = 10;
    if (pos < text.size() && text[pos] == ' ' && pos + 9 <= text.size() && text[pos + 3] == ':') {
        t.hour = digitsAt(text, pos + 1, 2, text);
        t.minute = digitsAt(text, pos + 4, 2, text);
        if (text[pos + 6] != ':') reject("time is not HH:MI:SS", text);
        t.second = digitsAt(text, pos + 7, 2, text);
        pos += 9;
        if (allowFraction && pos < text.size() && text[pos] == '.') {
            const std::size_t start = ++pos;
            while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
            std::string fraction(text.substr(start, pos - start));
            if (fraction.empty() || fraction.size() > 9) reject("fraction of seconds needs 1 to 9 digits", text);
            fraction.append(9 - fraction.size(), '0');
            t.nanoseconds = static_cast<std::uint32_t>(std::stoul(fraction));
        }
    }
    if (allowZone && pos + 7 == text.size() && text[pos] == ' ' && (text[pos + 1] == '+' || text[pos + 1] == '-') &&
        text[pos + 4] == ':') {
        const int minutes = digitsAt(text, pos + 2, 2, text) * 60 + digitsAt(text, pos + 5, 2, text);
        t.zoneMinutes = text[pos + 1] == '-' ? -minutes : minutes;
        pos = text.size();
    }
    if (pos != text.size()) reject("unexpected text after the date", text);
    return t;
}

// The same instant in UTC.
DateTime toUtc(const DateTime& local) {
    using namespace std::chrono;
    const year_month_day date{year{local.year}, month{static_cast<unsigned>(local.month)},
                              day{static_cast<unsigned>(local.day)}};
    const auto instant = sys_days{date} + hours{local.hour} + minutes{local.minute} + seconds{local.second} -
                         minutes{local.zoneMinutes.value_or(0)};
    const auto utcDay = floor<days>(instant);
    const year_month_day utcDate{utcDay};
    const hh_mm_ss time{instant - utcDay};
    DateTime utc = local;
    utc.year = static_cast<int>(utcDate.year());
    utc.month = static_cast<int>(static_cast<unsigned>(utcDate.month()));
    utc.day = static_cast<int>(static_cast<unsigned>(utcDate.day()));
    utc.hour = static_cast<int>(time.hours().count());
    utc.minute = static_cast<int>(time.minutes().count());
    utc.second = static_cast<int>(time.seconds().count());
    return utc;
}

Bytes encodeTimestampWithZone(std::string_view text) {
    const DateTime local = parseDateTime(text, true, true);
    if (!local.zoneMinutes) reject("TIMESTAMP WITH TIME ZONE needs an offset such as +02:00", text);
    const DateTime utc = toUtc(local);
    return encodeTimestampZone(utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second, utc.nanoseconds,
                               *local.zoneMinutes);
}

// "1.5", "-1e+20", "NaN", "Inf", "-Inf".
template <typename Float>
Float parseBinaryFloat(std::string_view text) {
    if (text == "NaN") return std::numeric_limits<Float>::quiet_NaN();
    if (text == "Inf") return std::numeric_limits<Float>::infinity();
    if (text == "-Inf") return -std::numeric_limits<Float>::infinity();
    Float value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) reject("not a binary floating-point number", text);
    return value;
}

// "-" before a negative interval; every field then carries the sign.
int intervalSign(std::string_view& text) {
    if (!text.starts_with('-')) return 1;
    text.remove_prefix(1);
    return -1;
}

int intervalField(std::string_view text, std::string_view whole) {
    const auto value = parseInt(text);
    if (!value || *value < 0) reject("bad interval field", whole);
    return *value;
}

Bytes encodeYearMonth(std::string_view whole) {
    std::string_view text = whole;
    const int sign = intervalSign(text);
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) reject("an interval of years and months is Y-M", whole);
    const int months = intervalField(text.substr(dash + 1), whole);
    if (months > 11) reject("more than 11 months in an interval", whole);
    return encodeIntervalYearMonth(sign * intervalField(text.substr(0, dash), whole), sign * months);
}

Bytes encodeDaySecond(std::string_view whole) {
    std::string_view text = whole;
    const int sign = intervalSign(text);
    const auto space = text.find(' ');
    if (space == std::string_view::npos || text.size() < space + 9 || text[space + 3] != ':' || text[space + 6] != ':')
        reject("an interval of days and seconds is D HH:MI:SS[.fraction]", whole);
    const int days = intervalField(text.substr(0, space), whole);
    const int hours = intervalField(text.substr(space + 1, 2), whole);
    const int minutes = intervalField(text.substr(space + 4, 2), whole);
    const int seconds = intervalField(text.substr(space + 7, 2), whole);
    std::string_view fraction = text.substr(space + 9);
    int nanoseconds = 0;
    if (!fraction.empty()) {
        if (fraction.front() != '.' || fraction.size() < 2 || fraction.size() > 10)
            reject("fraction of seconds needs 1 to 9 digits", whole);
        std::string digits(fraction.substr(1));
        digits.append(9 - digits.size(), '0');
        nanoseconds = intervalField(digits, whole);
    }
    if (hours > 23 || minutes > 59 || seconds > 59) reject("interval time out of range", whole);
    return encodeIntervalDaySecond(sign * days, sign * hours, sign * minutes, sign * seconds, sign * nanoseconds);
}

// UTF-8 text to UTF-16 big-endian, NCHAR blank-padded to its characters.
Bytes nationalBytes(const ColumnType& type, std::string_view text) {
    std::u16string units = utf16Units(text);
    if (units.size() > static_cast<std::size_t>(type.length)) reject("value longer than " + columnTypeText(type), text);
    if (type.kind == TypeKind::Nchar) units.resize(static_cast<std::size_t>(type.length), u' ');
    Bytes out;
    for (const char16_t unit : units) {
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    }
    return out;
}

// INTERVAL YEAR[(p)] TO MONTH, INTERVAL DAY[(p)] TO SECOND[(s)].
std::optional<ColumnType> intervalType(const std::string& text) {
    static const std::regex kYearMonth(R"(INTERVAL YEAR(?:\((\d+)\))? TO MONTH)");
    static const std::regex kDaySecond(R"(INTERVAL DAY(?:\((\d+)\))? TO SECOND(?:\((\d+)\))?)");
    const auto number = [&](const std::ssub_match& match, int fallback) {
        return match.matched ? requiredInt(match.str(), text) : fallback;
    };
    std::smatch match;
    if (std::regex_match(text, match, kYearMonth))
        return ColumnType{TypeKind::IntervalYearMonth, 0, number(match[1], kDefaultLeadingPrecision), std::nullopt};
    if (std::regex_match(text, match, kDaySecond))
        return ColumnType{TypeKind::IntervalDaySecond, 0, number(match[1], kDefaultLeadingPrecision),
                          number(match[2], kDefaultFractionalSeconds)};
    return std::nullopt;
}

Bytes hexBytes(std::string_view text) {
    if (text.size() % 2 != 0) reject("hexadecimal text needs an even number of digits", text);
    Bytes out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2) reject("bad hexadecimal digit", text);
        out.push_back(static_cast<std::uint8_t>(value));
    }
    return out;
}

Bytes codePageBytes(std::string_view text) {
    const std::string bytes = toCodePage(text);
    return Bytes(bytes.begin(), bytes.end());
}

// A deterministic LOB id, so the same scenario always gives the same file.
Bytes lobLocator(const Bytes& data) {
    Bytes out(std::begin(kLobLocatorPrefix), std::end(kLobLocatorPrefix));
    std::uint64_t hash = 1469598103934665603ull;
    for (auto b : data) hash = (hash ^ b) * 1099511628211ull;
    for (std::size_t i = 0; i < kLobIdSize; ++i) out.push_back(static_cast<std::uint8_t>(hash >> (8 * (i % 8))));
    const std::size_t inline_ = data.size() <= kMaxInlineLob ? data.size() : 0;
    out.push_back(static_cast<std::uint8_t>(inline_ >> 8));
    out.push_back(static_cast<std::uint8_t>(inline_ & 0xFF));
    out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(inline_));
    return out;
}

int rowidDigit(char c, std::string_view text) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    reject("bad character in rowid", text);
}

std::uint64_t rowidField(std::string_view text, std::size_t pos, std::size_t count, std::string_view whole) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value = value * 64 + static_cast<std::uint64_t>(rowidDigit(text[pos + i], whole));
    return value;
}

// OOOOOOFFFBBBBBBRRR: data object, file, block, slot; stored big-endian as
// data object (4), block address (4), slot (2).
Bytes encodeRowid(std::string_view text) {
    constexpr std::size_t kRowidTextLength = 18;
    constexpr int kFileShift = 22;
    if (text.size() != kRowidTextLength) reject("a rowid has 18 characters", text);
    const auto object = rowidField(text, 0, 6, text);
    const auto file = rowidField(text, 6, 3, text);
    const auto block = rowidField(text, 9, 6, text);
    const auto slot = rowidField(text, 15, 3, text);
    const auto address = (file << kFileShift) | block;
    Bytes out;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(object >> shift));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(address >> shift));
    out.push_back(static_cast<std::uint8_t>(slot >> 8));
    out.push_back(static_cast<std::uint8_t>(slot & 0xFF));
    return out;
}

Bytes checkedText(const ColumnType& type, std::string_view text) {
    Bytes bytes = codePageBytes(text);
    if (bytes.size() > static_cast<std::size_t>(type.length))
        reject("value longer than " + columnTypeText(type), text);
    if (type.kind == TypeKind::Char) bytes.resize(static_cast<std::size_t>(type.length), ' ');
    return bytes;
}

}  // namespace

ColumnType parseColumnType(std::string_view rawText) {
    const std::string text = normalise(rawText);
    const Declaration d = splitDeclaration(text);
    const bool plain = !d.hasArguments && d.suffix.empty();
    if (d.base == "VARCHAR2" && d.suffix.empty()) return sizedType(TypeKind::Varchar2, d, text, std::nullopt);
    if (d.base == "CHAR" && d.suffix.empty()) return sizedType(TypeKind::Char, d, text, 1);
    if (d.base == "RAW" && d.suffix.empty()) return sizedType(TypeKind::Raw, d, text, std::nullopt);
    if (d.base == "NCHAR" && d.suffix.empty()) return sizedType(TypeKind::Nchar, d, text, 1);
    if (d.base == "NVARCHAR2" && d.suffix.empty()) return sizedType(TypeKind::Nvarchar2, d, text, std::nullopt);
    if (const auto interval = intervalType(text)) return *interval;
    if (d.base == "NUMBER" && d.suffix.empty()) return numberType(d, text);
    if (d.base == "INTEGER" && plain) return {TypeKind::Number, 0, std::nullopt, 0};
    if (d.base == "FLOAT" && d.suffix.empty()) {
        ColumnType type{TypeKind::Float, 0, kDefaultFloatPrecision, std::nullopt};
        if (d.hasArguments) {
            if (d.arguments.size() != 1) reject("FLOAT takes one argument", text);
            type.precision = requiredInt(d.arguments[0], text);
        }
        return type;
    }
    if (d.base == "TIMESTAMP") return timestampType(d, text);
    if (plain) {
        if (d.base == "DATE") return {TypeKind::Date, 0, std::nullopt, std::nullopt};
        if (d.base == "CLOB") return {TypeKind::Clob, 0, std::nullopt, std::nullopt};
        if (d.base == "BLOB") return {TypeKind::Blob, 0, std::nullopt, std::nullopt};
        if (d.base == "LONG") return {TypeKind::Long, 0, std::nullopt, std::nullopt};
        if (d.base == "LONG RAW") return {TypeKind::LongRaw, 0, std::nullopt, std::nullopt};
        if (d.base == "ROWID") return {TypeKind::Rowid, 0, std::nullopt, std::nullopt};
        if (d.base == "BINARY_FLOAT") return {TypeKind::BinaryFloat, 0, std::nullopt, std::nullopt};
        if (d.base == "BINARY_DOUBLE") return {TypeKind::BinaryDouble, 0, std::nullopt, std::nullopt};
    }
    reject("unsupported column type", rawText);
}

std::string columnTypeText(const ColumnType& type) {
    auto sized = [&](const char* name) { return std::string(name) + "(" + std::to_string(type.length) + ")"; };
    auto fractional = [&](const char* suffix) {
        return "TIMESTAMP(" + std::to_string(type.scale.value_or(kDefaultFractionalSeconds)) + ")" + suffix;
    };
    switch (type.kind) {
        case TypeKind::Varchar2: return sized("VARCHAR2");
        case TypeKind::Char: return sized("CHAR");
        case TypeKind::Raw: return sized("RAW");
        case TypeKind::Number:
            if (!type.precision && !type.scale) return "NUMBER";
            return "NUMBER(" + (type.precision ? std::to_string(*type.precision) : std::string("*")) +
                   (type.scale ? "," + std::to_string(*type.scale) : std::string()) + ")";
        case TypeKind::Float: return "FLOAT(" + std::to_string(type.precision.value_or(kDefaultFloatPrecision)) + ")";
        case TypeKind::Date: return "DATE";
        case TypeKind::Timestamp: return fractional("");
        case TypeKind::TimestampTz: return fractional(" WITH TIME ZONE");
        case TypeKind::TimestampLtz: return fractional(" WITH LOCAL TIME ZONE");
        case TypeKind::Clob: return "CLOB";
        case TypeKind::Blob: return "BLOB";
        case TypeKind::Long: return "LONG";
        case TypeKind::LongRaw: return "LONG RAW";
        case TypeKind::Rowid: return "ROWID";
        case TypeKind::BinaryFloat: return "BINARY_FLOAT";
        case TypeKind::BinaryDouble: return "BINARY_DOUBLE";
        case TypeKind::IntervalYearMonth:
            return "INTERVAL YEAR(" + std::to_string(type.precision.value_or(kDefaultLeadingPrecision)) + ") TO MONTH";
        case TypeKind::IntervalDaySecond:
            return "INTERVAL DAY(" + std::to_string(type.precision.value_or(kDefaultLeadingPrecision)) +
                   ") TO SECOND(" + std::to_string(type.scale.value_or(kDefaultFractionalSeconds)) + ")";
        case TypeKind::Nchar: return sized("NCHAR");
        case TypeKind::Nvarchar2: return sized("NVARCHAR2");
    }
    return "";
}

DictionaryType dictionaryType(const ColumnType& type) {
    switch (type.kind) {
        case TypeKind::Varchar2: return {kVarchar2Type, type.length, std::nullopt, std::nullopt, true};
        case TypeKind::Char: return {kCharType, type.length, std::nullopt, std::nullopt, true};
        case TypeKind::Raw: return {kRawType, type.length, std::nullopt, std::nullopt, false};
        case TypeKind::Number: return {kNumberType, kNumberLength, type.precision, type.scale, false};
        case TypeKind::Float: return {kNumberType, kNumberLength, type.precision, std::nullopt, false};
        case TypeKind::Date: return {kDateType, kDateLength, std::nullopt, std::nullopt, false};
        case TypeKind::Timestamp: return {kTimestampType, kTimestampLength, std::nullopt, type.scale, false};
        case TypeKind::TimestampTz: return {kTimestampTzType, kTimestampTzLength, std::nullopt, type.scale, false};
        case TypeKind::TimestampLtz: return {kTimestampLtzType, kTimestampLength, std::nullopt, type.scale, false};
        case TypeKind::Clob: return {kClobType, kLobLength, std::nullopt, std::nullopt, true};
        case TypeKind::Blob: return {kBlobType, kLobLength, std::nullopt, std::nullopt, false};
        case TypeKind::Long: return {kLongType, 0, std::nullopt, std::nullopt, true};
        case TypeKind::LongRaw: return {kLongRawType, 0, std::nullopt, std::nullopt, false};
        case TypeKind::Rowid: return {kRowidType, kRowidLength, std::nullopt, std::nullopt, false};
        case TypeKind::BinaryFloat: return {kBinaryFloatType, kBinaryFloatLength, std::nullopt, std::nullopt, false};
        case TypeKind::BinaryDouble: return {kBinaryDoubleType, kBinaryDoubleLength, std::nullopt, std::nullopt, false};
        case TypeKind::IntervalYearMonth:
            return {kIntervalYearMonthType, kIntervalYearMonthLength, type.precision, std::nullopt, false};
        case TypeKind::IntervalDaySecond:
            return {kIntervalDaySecondType, kIntervalDaySecondLength, type.precision, type.scale, false};
        case TypeKind::Nchar:
            return {kCharType, type.length * kNationalCharacterBytes, std::nullopt, std::nullopt, true, true};
        case TypeKind::Nvarchar2:
            return {kVarchar2Type, type.length * kNationalCharacterBytes, std::nullopt, std::nullopt, true, true};
    }
    return {};
}

Bytes encodeValue(const ColumnType& type, std::string_view text) {
    switch (type.kind) {
        case TypeKind::Varchar2:
        case TypeKind::Char: return checkedText(type, text);
        case TypeKind::Long: return codePageBytes(text);
        case TypeKind::Clob: return lobLocator(codePageBytes(text));
        case TypeKind::Number:
        case TypeKind::Float: return encodeNumber(text);
        case TypeKind::Date: {
            const DateTime t = parseDateTime(text, false, false);
            return encodeDate(t.year, t.month, t.day, t.hour, t.minute, t.second);
        }
        case TypeKind::Timestamp:
        case TypeKind::TimestampLtz: {
            const DateTime t = parseDateTime(text, true, false);
            return encodeTimestamp(t.year, t.month, t.day, t.hour, t.minute, t.second, t.nanoseconds);
        }
        case TypeKind::TimestampTz: return encodeTimestampWithZone(text);
        case TypeKind::Raw: {
            Bytes bytes = hexBytes(text);
            if (bytes.size() > static_cast<std::size_t>(type.length)) reject("value longer than " + columnTypeText(type), text);
            return bytes;
        }
        case TypeKind::LongRaw: return hexBytes(text);
        case TypeKind::Blob: return lobLocator(hexBytes(text));
        case TypeKind::Rowid: return encodeRowid(text);
        case TypeKind::BinaryFloat: return encodeBinaryFloat(parseBinaryFloat<float>(text));
        case TypeKind::BinaryDouble: return encodeBinaryDouble(parseBinaryFloat<double>(text));
        case TypeKind::IntervalYearMonth: return encodeYearMonth(text);
        case TypeKind::IntervalDaySecond: return encodeDaySecond(text);
        case TypeKind::Nchar:
        case TypeKind::Nvarchar2: return nationalBytes(type, text);
    }
    return {};
}

bool storedLast(const ColumnType& type) { return type.kind == TypeKind::Long || type.kind == TypeKind::LongRaw; }

}  // namespace restorix::forge
