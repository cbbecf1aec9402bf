#include "tabledata/value_format.h"

#include <array>
#include <string_view>

#include "platform/codepage.h"

namespace restorix {

namespace {

using Bytes = std::span<const std::uint8_t>;

using namespace number_layout;
using namespace date_layout;

constexpr int kLargestDigit = 99;

// Exponent bytes of the positive numbers that the narrow decoders know.
constexpr std::uint8_t kHundredths = kPositiveExponentBias - 1;         // 0xC0
constexpr std::uint8_t kUnits = kPositiveExponentBias;                  // 0xC1
constexpr std::uint8_t kHundreds = kPositiveExponentBias + 1;           // 0xC2
constexpr std::uint8_t kTenThousands = kPositiveExponentBias + 2;       // 0xC3
constexpr std::uint8_t kMillions = kPositiveExponentBias + 3;           // 0xC4
constexpr std::uint8_t kHundredMillions = kPositiveExponentBias + 4;    // 0xC5

// "-", the integer digits ("0" when none), and "." with the fraction digits
// when there is a fraction; leading and trailing zeros dropped, no "-0".
std::string composeDecimal(bool negative, std::string_view integerDigits,
                           std::string_view fractionDigits) {
    while (!integerDigits.empty() && integerDigits.front() == '0') integerDigits.remove_prefix(1);
    while (!fractionDigits.empty() && fractionDigits.back() == '0') fractionDigits.remove_suffix(1);
    std::string text;
    if (negative && !(integerDigits.empty() && fractionDigits.empty())) text += '-';
    text += integerDigits.empty() ? std::string_view("0") : integerDigits;
    if (!fractionDigits.empty()) {
        text += '.';
        text += fractionDigits;
    }
    return text;
}

// The canonical form of a plain decimal text such as "12.0" or "0.0500";
// nothing for a text that is no plain decimal (the empty text included).
std::optional<std::string> canonicalDecimal(std::string_view text) {
    const std::optional<DecimalParts> parts = splitDecimal(text);
    if (!parts) return std::nullopt;
    return composeDecimal(parts->negative, parts->integerDigits, parts->fractionDigits);
}

// A number in decimal with leading zeros up to the given width.
std::string zeroPadded(long long value, std::size_t width) {
    std::string text = std::to_string(value);
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text;
}

// Byte i of a value; a byte past the end reads as 0.
int byteAt(Bytes bytes, std::size_t i) { return i < bytes.size() ? bytes[i] : 0; }

// Digit i as the narrow decoders take it: byte - 1, and 0 for a missing byte.
int digit(Bytes bytes, std::size_t i) { return i < bytes.size() ? bytes[i] - 1 : 0; }

// Digit i where the decoder takes a missing or zero byte as the digit 0.
int digitOrZero(Bytes bytes, std::size_t i) {
    const int b = byteAt(bytes, i);
    return b == 0 ? 0 : b - 1;
}

// The integer decoder of the NUMBER(p, s) and plain NUMBER columns: it knows
// a few exponents and lengths, drops any fraction, and gives an empty text
// for everything else (negative numbers, numbers below 1 or of 10^10 and up).
std::string narrowIntegerText(Bytes bytes) {
    const std::size_t length = bytes.size();
    const auto d = [&](std::size_t i) { return digit(bytes, i); };
    const auto dz = [&](std::size_t i) { return digitOrZero(bytes, i); };
    switch (byteAt(bytes, 0)) {
        case kHundreds:
            if (length >= 3) return std::to_string(d(1) * 100 + d(2));
            return std::to_string(length == 2 ? d(1) * 100 : 0);
        case kUnits:
            return std::to_string(d(1));
        case kZero:
            return "0";
        case kTenThousands:
            if (length == 2) return std::to_string(dz(1) * 10000);
            if (length == 3) return std::to_string(dz(1) * 10000 + dz(2) * 100);
            if (length == 4) {
                if (bytes[1] == 0 || bytes[2] == 0 || bytes[3] == 0)
                    return std::to_string(bytes[1] * 10000 + bytes[2] * 100 + bytes[3]);
                return std::to_string(d(1) * 10000 + d(2) * 100 + d(3));
            }
            return {};
        case kMillions:
            return std::to_string(dz(1) * 1000000 + dz(2) * 10000 + dz(3) * 100 + dz(4));
        case kHundredMillions:
            if (length != 6 && length != 2) return {};
            return std::to_string(std::int64_t{dz(1)} * 100000000 + std::int64_t{dz(2)} * 1000000 +
                                  dz(3) * 10000 + dz(4) * 100 + dz(5));
        default:
            return {};
    }
}

// I "." F with F "0" for a zero fraction, else the fraction padded with
// leading zeros to the given width.
std::string pointText(int integerPart, int fraction, std::size_t width) {
    return std::to_string(integerPart) + "." + (fraction == 0 ? "0" : zeroPadded(fraction, width));
}

// The decoder of the NUMBER(p) and FLOAT columns: a few exponents and
// lengths, always written with a point; an empty text for the rest.
std::string narrowPointText(Bytes bytes) {
    const std::size_t length = bytes.size();
    const auto d = [&](std::size_t i) { return digit(bytes, i); };
    const std::uint8_t exponent = static_cast<std::uint8_t>(byteAt(bytes, 0));
    if (exponent == kHundreds && length == 5) return pointText(d(1) * 100 + d(2), d(3) * 100 + d(4), 4);
    if (exponent == kHundreds && length == 4) return pointText(d(1) * 100 + d(2), d(3) * 100, 4);
    if (exponent == kHundreds && length == 3) return pointText(d(1) * 100 + d(2), 0, 0);
    if (exponent == kHundreds && length == 2) return pointText(d(1) * 100, 0, 0);
    if (exponent == kTenThousands && length == 4)
        return pointText(d(1) * 10000 + d(2) * 100 + d(3), 0, 0);
    if (exponent == kTenThousands && length == 3) return pointText(d(1) * 10000 + d(2) * 100, 0, 0);
    if (exponent == kTenThousands && length == 2) return pointText(d(1) * 10000, 0, 0);
    if (exponent == kUnits && length == 4) return pointText(d(1), d(2) * 100 + d(3), 4);
    if (exponent == kHundredths && length == 3) return pointText(0, d(1) * 100 + d(2), 4);
    if (exponent == kUnits) return pointText(d(1), digitOrZero(bytes, 2), 2);
    if (exponent == kHundredths) return pointText(0, digitOrZero(bytes, 1), 2);
    if (exponent == kZero) return "0";
    return {};
}

// A number is written with its exact stored value. The narrow decoders'
// texts keep their own spelling ("12.0", "5.50") where they agree with it,
// and stand alone where the bytes are no valid NUMBER.
FormattedValue numberValue(Bytes bytes, const std::string& narrowText) {
    const std::optional<std::string> exact = decodeNumber(bytes);
    if (!exact || canonicalDecimal(narrowText) == exact) return {narrowText, ValueKind::Number};
    return {*exact, ValueKind::Number};
}

// NUMBER(*, s) has no narrow decoder: its exact value, or NULL.
FormattedValue scaleOnlyNumberValue(Bytes bytes) {
    if (std::optional<std::string> exact = decodeNumber(bytes)) return {*exact, ValueKind::Number};
    return {"NULL", ValueKind::NoDecoder};
}

constexpr std::uint32_t kLargestNanoseconds = 999'999'999;

struct DateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t nanoseconds = 0;
};

int storedYear(Bytes bytes) {
    return (byteAt(bytes, kCenturyByte) - kYearBias) * 100 + (byteAt(bytes, kYearByte) - kYearBias);
}

// The database counts days in the Julian calendar before 1583 and in the
// Gregorian one from then on; there is no year 0, so 1 BC (year -1) is leap.
bool isLeapYear(int year) {
    const int astronomicalYear = year < 0 ? year + 1 : year;
    if (year < 1583) return astronomicalYear % 4 == 0;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year)) return 29;
    return kDays[static_cast<std::size_t>(month - 1)];
}

// The date held by the bytes, or nothing when they hold no valid one.
std::optional<DateTime> readDateTime(Bytes bytes, bool fractionAllowed) {
    const bool validLength =
        bytes.size() == kDateLength || (fractionAllowed && bytes.size() == kTimestampLength);
    if (!validLength) return std::nullopt;
    DateTime value;
    value.year = storedYear(bytes);
    value.month = bytes[kMonthByte];
    value.day = bytes[kDayByte];
    value.hour = bytes[kHourByte] - kTimeBias;
    value.minute = bytes[kMinuteByte] - kTimeBias;
    value.second = bytes[kSecondByte] - kTimeBias;
    if (bytes.size() == kTimestampLength) {
        for (std::size_t i = kNanosecondsOffset; i < kTimestampLength; ++i)
            value.nanoseconds = (value.nanoseconds << 8) | bytes[i];
    }
    if (value.month < 1 || value.month > 12) return std::nullopt;
    if (value.day < 1 || value.day > daysInMonth(value.year, value.month)) return std::nullopt;
    if (value.hour < 0 || value.hour > 23) return std::nullopt;
    if (value.minute < 0 || value.minute > 59) return std::nullopt;
    if (value.second < 0 || value.second > 59) return std::nullopt;
    if (value.nanoseconds > kLargestNanoseconds) return std::nullopt;
    return value;
}

// "YYYY-MM-DD HH24:MI:SS", "-" before years before 1, and ".fraction"
// without trailing zeros when there are nanoseconds.
std::string isoText(const DateTime& value) {
    std::string text = value.year < 0 ? "-" : "";
    text += zeroPadded(value.year < 0 ? -value.year : value.year, 4) + "-" + zeroPadded(value.month, 2) +
            "-" + zeroPadded(value.day, 2) + " " + zeroPadded(value.hour, 2) + ":" +
            zeroPadded(value.minute, 2) + ":" + zeroPadded(value.second, 2);
    if (value.nanoseconds != 0) {
        std::string fraction = zeroPadded(value.nanoseconds, 9);
        while (fraction.back() == '0') fraction.pop_back();
        text += "." + fraction;
    }
    return text;
}

// The day-month-year text kept for bytes that are no valid date: "5-Mar- 2011",
// with an empty month name for a month byte outside 1 to 12.
std::string dayMonthYearText(Bytes bytes) {
    static constexpr std::array<const char*, 12> kMonthNames = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sept", "Oct", "Nov", "Dec"};
    const int month = byteAt(bytes, kMonthByte);
    const char* name = month >= 1 && month <= 12 ? kMonthNames[static_cast<std::size_t>(month - 1)] : "";
    return std::to_string(byteAt(bytes, kDayByte)) + "-" + name + "- " + std::to_string(storedYear(bytes));
}

FormattedValue dateValue(Bytes bytes, bool isTimestamp) {
    if (const std::optional<DateTime> value = readDateTime(bytes, isTimestamp))
        return {isoText(*value), isTimestamp ? ValueKind::Timestamp : ValueKind::Date};
    return {dayMonthYearText(bytes), ValueKind::InvalidDate};
}

// ---------------------------------------------------------------------------
// Text columns: 8-bit code-page bytes.

// CHAR: a zero byte ends the value.
FormattedValue charValue(Bytes bytes) {
    std::size_t length = 0;
    while (length < bytes.size() && bytes[length] != 0) ++length;
    return {fromCodePage(bytes.first(length)), ValueKind::Text};
}

// VARCHAR2: a zero byte becomes a space, so no character is lost.
FormattedValue varchar2Value(Bytes bytes) {
    std::string raw(bytes.begin(), bytes.end());
    for (char& c : raw)
        if (c == '\0') c = ' ';
    return {fromCodePage(raw), ValueKind::Text};
}

}  // namespace

std::optional<DecimalParts> splitDecimal(std::string_view text) {
    DecimalParts parts;
    parts.negative = text.starts_with('-');
    if (parts.negative || text.starts_with('+')) text.remove_prefix(1);
    const std::size_t point = text.find('.');
    parts.integerDigits = text.substr(0, point);
    if (point != std::string_view::npos) parts.fractionDigits = text.substr(point + 1);
    const auto allDigits = [](std::string_view digits) {
        return digits.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) return std::nullopt;
    if (!allDigits(parts.integerDigits) || !allDigits(parts.fractionDigits)) return std::nullopt;
    return parts;
}

std::optional<std::string> decodeNumber(Bytes bytes) {
    if (bytes.empty()) return std::nullopt;
    if (bytes.size() == 1 && bytes[0] == kZero) return "0";
    const bool negative = bytes[0] < kZero;
    const int exponent = negative ? kNegativeExponentBias - bytes[0] : bytes[0] - kPositiveExponentBias;
    Bytes mantissa = bytes.subspan(1);
    if (negative && !mantissa.empty() && mantissa.back() == kNegativeTerminator)
        mantissa = mantissa.first(mantissa.size() - 1);
    if (mantissa.empty()) return std::nullopt;

    // Two decimal digits per base-100 digit; the first pair weighs 100^exponent.
    std::string digits;
    for (const std::uint8_t stored : mantissa) {
        const int d = negative ? kNegativeDigitBase - stored : stored - 1;
        if (d < 0 || d > kLargestDigit) return std::nullopt;
        digits += static_cast<char>('0' + d / 10);
        digits += static_cast<char>('0' + d % 10);
    }
    int integerLength = 2 * (exponent + 1);
    if (integerLength < 0) {
        digits.insert(0, static_cast<std::size_t>(-integerLength), '0');
        integerLength = 0;
    }
    if (static_cast<std::size_t>(integerLength) > digits.size())
        digits.append(static_cast<std::size_t>(integerLength) - digits.size(), '0');
    const std::string_view all = digits;
    return composeDecimal(negative, all.substr(0, static_cast<std::size_t>(integerLength)),
                          all.substr(static_cast<std::size_t>(integerLength)));
}

FormattedValue formatColumnValue(int typeCode, Bytes bytes) {
    switch (typeCode) {
        case type_code::kNumberInteger:
        case type_code::kNumberScaled:
            return numberValue(bytes, narrowIntegerText(bytes));
        case type_code::kNumberPrecision:
            return numberValue(bytes, narrowPointText(bytes));
        case type_code::kNumberWithScaleOnly:
            return scaleOnlyNumberValue(bytes);
        case type_code::kDate:
            return dateValue(bytes, false);
        case type_code::kTimestamp:
            return dateValue(bytes, true);
        case type_code::kChar:
            return charValue(bytes);
        case type_code::kVarchar2:
            return varchar2Value(bytes);
        case type_code::kClob:
        case type_code::kBlob:
            return {" ", ValueKind::Lob};
        default:
            return {"NULL", ValueKind::NoDecoder};
    }
}

}  // namespace restorix
