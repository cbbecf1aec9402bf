#include "tabledata/value_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/codepage.h"
#include "tabledata/column_types.h"
#include "tabledata/national_text.h"

namespace restorix {

namespace {

using Bytes = std::span<const std::uint8_t>;

using namespace number_layout;
using namespace date_layout;

constexpr std::string_view kNullText = "NULL";

// Exponent bytes of the positive numbers that the narrow decoders know.
constexpr std::uint8_t kHundredths = kPositiveExponentBias - 1;         // 0xC0
constexpr std::uint8_t kUnits = kPositiveExponentBias;                  // 0xC1
constexpr std::uint8_t kHundreds = kPositiveExponentBias + 1;           // 0xC2
constexpr std::uint8_t kTenThousands = kPositiveExponentBias + 2;       // 0xC3
constexpr std::uint8_t kMillions = kPositiveExponentBias + 3;           // 0xC4
constexpr std::uint8_t kHundredMillions = kPositiveExponentBias + 4;    // 0xC5

// ---------------------------------------------------------------------------
// Texts are written through a pointer into room made beforehand, on the
// stack for short ones (appendShortText), at the end of the caller's string
// for others (appendWritten): no text is built piece by piece. Every writer
// returns the end of what it wrote.

// Room for any text but a NUMBER's exact value: a date with its fraction, the
// day-month-year form, and the narrow decoders' texts (two integers at most).
constexpr std::size_t kShortTextRoom = 64;
constexpr std::size_t kMaxIntegerLength = 20;  // "-9223372036854775808"
// Room for a valid NUMBER's exact value: 128 zeros after the point and 40
// digits, with a sign, a "0" and the point.
constexpr std::size_t kNumberTextRoom = 192;

constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The two digits of a value from 0 to 99.
char* writeTwoDigits(char* at, int value) {
    std::memcpy(at, &kDigitPairs[static_cast<std::size_t>(2 * value)], 2);
    return at + 2;
}

// The eight digits of a value below 10^8, by pairs.
char* writeEightDigits(char* at, std::uint32_t value) {
    at = writeTwoDigits(at, static_cast<int>(value / 1'000'000));
    at = writeTwoDigits(at, static_cast<int>(value / 10'000 % 100));
    at = writeTwoDigits(at, static_cast<int>(value / 100 % 100));
    return writeTwoDigits(at, static_cast<int>(value % 100));
}

char* writeDigit(char* at, int value) {
    *at = static_cast<char>('0' + value);
    return at + 1;
}

char* writeInteger(char* at, std::int64_t value) { return std::to_chars(at, at + kMaxIntegerLength, value).ptr; }

// writeZeroPadded for any value and width.
char* writeAnyZeroPadded(char* at, std::int64_t value, std::size_t width) {
    std::array<char, kMaxIntegerLength> digits{};
    const auto length = static_cast<std::size_t>(writeInteger(digits.data(), value) - digits.data());
    if (length < width) {
        std::memset(at, '0', width - length);
        at += width - length;
    }
    std::memcpy(at, digits.data(), length);
    return at + length;
}

// `value` in decimal with leading zeros up to `width` characters (a minus
// sign counts as one of them). Inline: two or four digits that fill the
// width, as years, date fields and fractions mostly are, go by pairs
// wherever they are written.
inline char* writeZeroPadded(char* at, std::int64_t value, std::size_t width) {
    if (width == 2 && value >= 0 && value < 100) return writeTwoDigits(at, static_cast<int>(value));
    if (width == 4 && value >= 0 && value < 10000)
        return writeTwoDigits(writeTwoDigits(at, static_cast<int>(value / 100)), static_cast<int>(value % 100));
    return writeAnyZeroPadded(at, value, width);
}

// Lets `write(char*)` fill room on the stack and appends what it wrote.
template <std::size_t kRoom, typename Write>
void appendShortText(std::string& text, const Write& write) {
    std::array<char, kRoom> room;
    const char* const end = write(room.data());
    text.append(room.data(), static_cast<std::size_t>(end - room.data()));
}

void assignText(std::string& text, std::string_view value) {
    text.clear();
    text.append(value.data(), value.size());
}

// A decimal is canonical with "-" only when it is not zero, the integer digits
// without leading zeros ("0" when none), and "." with the fraction digits
// without trailing zeros when any remain. compactDecimal turns `digitCount`
// raw digits, held at base + kDecimalSlack with the first `integerLength` of
// them before the point, into that form written from `base` on. The slack is
// the most the form can add (sign, "0", point), so writing never overtakes
// the digits still to be read.
constexpr std::size_t kDecimalSlack = 3;

char* compactDecimal(char* base, bool negative, std::size_t integerLength, std::size_t digitCount) {
    const char* const digits = base + kDecimalSlack;
    std::size_t integerStart = 0;
    while (integerStart < integerLength && digits[integerStart] == '0') ++integerStart;
    std::size_t fractionEnd = digitCount;
    while (fractionEnd > integerLength && digits[fractionEnd - 1] == '0') --fractionEnd;
    const bool hasInteger = integerStart < integerLength;
    const bool hasFraction = fractionEnd > integerLength;
    char* at = base;
    if (negative && (hasInteger || hasFraction)) *at++ = '-';
    if (!hasInteger) *at++ = '0';
    // Copied forwards one by one: the few digits overlap where they go.
    for (std::size_t i = integerStart; i < integerLength; ++i) *at++ = digits[i];
    if (!hasFraction) return at;
    *at++ = '.';
    for (std::size_t i = integerLength; i < fractionEnd; ++i) *at++ = digits[i];
    return at;
}

// Whether `text` is a plain decimal whose canonical form is `canonical`; the
// narrow decoders' texts it is asked about are far shorter than the room.
bool hasCanonicalForm(std::string_view text, std::string_view canonical) {
    const std::optional<DecimalParts> parts = splitDecimal(text);
    if (!parts || text.size() > kShortTextRoom) return false;
    std::array<char, kShortTextRoom + kDecimalSlack> form;
    char* const digits = form.data() + kDecimalSlack;
    const std::size_t integerLength = parts->integerDigits.size();
    std::copy(parts->fractionDigits.begin(), parts->fractionDigits.end(),
              std::copy(parts->integerDigits.begin(), parts->integerDigits.end(), digits));
    const char* const end =
        compactDecimal(form.data(), parts->negative, integerLength, integerLength + parts->fractionDigits.size());
    return std::string_view(form.data(), static_cast<std::size_t>(end - form.data())) == canonical;
}

// Whether `text` is a spelling of the canonical decimal `exact`. Most often
// it is `exact` itself or `exact` with fraction zeros added ("5.50", "12.0"),
// which is told without taking `text` apart.
bool spellsTheSameNumber(std::string_view text, std::string_view exact) {
    if (!text.starts_with(exact)) return hasCanonicalForm(text, exact);
    std::string_view added = text.substr(exact.size());
    if (exact.find('.') == std::string_view::npos) {
        if (added.empty()) return true;
        if (added.front() != '.' || added.size() == 1) return hasCanonicalForm(text, exact);
        added.remove_prefix(1);
    }
    return added.find_first_not_of('0') == std::string_view::npos || hasCanonicalForm(text, exact);
}

// The most zeros an exponent puts before the digits (a value below 100^-64)
// or after them (an integer of 63 pairs).
constexpr std::size_t kMostExponentZeros = 128;

// Room for the exact value of any NUMBER of `size` bytes: the slack, the
// exponent's zeros and two digits per byte.
constexpr std::size_t exactNumberRoom(std::size_t size) { return kDecimalSlack + kMostExponentZeros + 2 * size; }

// The pairs of decimal digits of an unpacked NUMBER, from the first that is
// not zero to the last: pair i weighs 100^(exponent - i), so those up to the
// exponent's are the integer part (zeros where no pair is stored) and the
// rest the fraction, after the zero pairs of a value below 0.01. The integer
// part's leading zero and the fraction's trailing zero are left out. Made
// for one sign: no pair asks it again.
template <bool Negative>
char* writeExactPairs(std::span<const std::uint8_t> mantissa, long exponent, char* at) {
    const auto digitAt = [&](long i) {
        return UnpackedNumber::digitOf(Negative, mantissa[static_cast<std::size_t>(i)]);
    };
    const long count = static_cast<long>(mantissa.size());
    long first = 0;
    while (first < count && digitAt(first) == 0) ++first;
    if (first == count) {
        *at = '0';
        return at + 1;
    }
    long last = count - 1;
    while (digitAt(last) == 0) --last;
    if (Negative) *at++ = '-';
    if (first <= exponent) {
        const int lead = digitAt(first);
        at = lead < 10 ? writeDigit(at, lead) : writeTwoDigits(at, lead);
        // Stored pairs up to the last non-zero one, then the zeros the exponent adds.
        const long lastStored = std::min(exponent, last);
        for (long i = first + 1; i <= lastStored; ++i) at = writeTwoDigits(at, digitAt(i));
        at = std::fill_n(at, 2 * (exponent - lastStored), '0');
    } else {
        *at++ = '0';
    }
    if (last <= exponent) return at;
    *at++ = '.';
    // Zero pairs of a value below 0.01 first, then the stored pairs.
    const long firstStored = std::max(exponent + 1, 0L);
    at = std::fill_n(at, 2 * (firstStored - (exponent + 1)), '0');
    for (long i = firstStored; i < last; ++i) at = writeTwoDigits(at, digitAt(i));
    const int tail = digitAt(last);
    return tail % 10 == 0 ? writeDigit(at, tail / 10) : writeTwoDigits(at, tail);
}

// Writes the exact value of NUMBER bytes into exactNumberRoom; nothing, and
// nullptr, when the bytes are no valid NUMBER encoding.
char* writeExactNumber(Bytes bytes, char* at) {
    const std::optional<UnpackedNumber> number = unpackNumber(bytes);
    if (!number) return nullptr;
    return number->negative() ? writeExactPairs<true>(number->mantissa(), number->exponent(), at)
                              : writeExactPairs<false>(number->mantissa(), number->exponent(), at);
}

// Appends what `write` writes into `room` characters: on the stack when they
// are few, as they are for every valid NUMBER; false, appending nothing, when
// it returns nullptr.
template <typename Write>
bool appendNumberText(std::string& text, std::size_t room, const Write& write) {
    bool written = true;
    const auto writeOrNothing = [&](char* at) {
        char* const end = write(at);
        written = end != nullptr;
        return written ? end : at;
    };
    if (room <= kNumberTextRoom)
        appendShortText<kNumberTextRoom>(text, writeOrNothing);
    else
        appendWritten(text, room, writeOrNothing);
    return written;
}

// Appends the exact value of NUMBER bytes; false, appending nothing, when the
// bytes are no valid NUMBER encoding.
bool appendExactNumber(std::string& out, Bytes bytes) {
    return appendNumberText(out, exactNumberRoom(bytes.size()), [&](char* at) { return writeExactNumber(bytes, at); });
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
// a few exponents and lengths, drops any fraction, and gives no text for
// everything else (negative numbers, numbers below 1 or of 10^10 and up).
std::optional<std::int64_t> narrowInteger(Bytes bytes) {
    const std::size_t length = bytes.size();
    const auto d = [&](std::size_t i) { return digit(bytes, i); };
    const auto dz = [&](std::size_t i) { return digitOrZero(bytes, i); };
    switch (byteAt(bytes, 0)) {
        case kHundreds:
            if (length >= 3) return d(1) * 100 + d(2);
            return length == 2 ? d(1) * 100 : 0;
        case kUnits:
            return d(1);
        case kZero:
            return 0;
        case kTenThousands:
            if (length == 2) return dz(1) * 10000;
            if (length == 3) return dz(1) * 10000 + dz(2) * 100;
            if (length == 4) {
                if (bytes[1] == 0 || bytes[2] == 0 || bytes[3] == 0)
                    return bytes[1] * 10000 + bytes[2] * 100 + bytes[3];
                return d(1) * 10000 + d(2) * 100 + d(3);
            }
            return std::nullopt;
        case kMillions:
            return dz(1) * 1000000 + dz(2) * 10000 + dz(3) * 100 + dz(4);
        case kHundredMillions:
            if (length != 6 && length != 2) return std::nullopt;
            return std::int64_t{dz(1)} * 100000000 + std::int64_t{dz(2)} * 1000000 + dz(3) * 10000 + dz(4) * 100 +
                   dz(5);
        default:
            return std::nullopt;
    }
}

char* narrowIntegerText(Bytes bytes, char* at) {
    const std::optional<std::int64_t> value = narrowInteger(bytes);
    return value ? writeInteger(at, *value) : at;
}

// I "." F with F "0" for a zero fraction, else the fraction padded with
// leading zeros to the given width.
char* pointText(char* at, int integerPart, int fraction, std::size_t width) {
    at = writeInteger(at, integerPart);
    *at++ = '.';
    if (fraction != 0) return writeZeroPadded(at, fraction, width);
    *at++ = '0';
    return at;
}

// The decoder of the NUMBER(p) and FLOAT columns: a few exponents and
// lengths, always written with a point; no text for the rest.
char* narrowPointText(Bytes bytes, char* at) {
    const std::size_t length = bytes.size();
    const auto d = [&](std::size_t i) { return digit(bytes, i); };
    const std::uint8_t exponent = static_cast<std::uint8_t>(byteAt(bytes, 0));
    if (exponent == kHundreds && length == 5) return pointText(at, d(1) * 100 + d(2), d(3) * 100 + d(4), 4);
    if (exponent == kHundreds && length == 4) return pointText(at, d(1) * 100 + d(2), d(3) * 100, 4);
    if (exponent == kHundreds && length == 3) return pointText(at, d(1) * 100 + d(2), 0, 0);
    if (exponent == kHundreds && length == 2) return pointText(at, d(1) * 100, 0, 0);
    if (exponent == kTenThousands && length == 4) return pointText(at, d(1) * 10000 + d(2) * 100 + d(3), 0, 0);
    if (exponent == kTenThousands && length == 3) return pointText(at, d(1) * 10000 + d(2) * 100, 0, 0);
    if (exponent == kTenThousands && length == 2) return pointText(at, d(1) * 10000, 0, 0);
    if (exponent == kUnits && length == 4) return pointText(at, d(1), d(2) * 100 + d(3), 4);
    if (exponent == kHundredths && length == 3) return pointText(at, 0, d(1) * 100 + d(2), 4);
    if (exponent == kUnits) return pointText(at, d(1), digitOrZero(bytes, 2), 2);
    if (exponent == kHundredths) return pointText(at, 0, digitOrZero(bytes, 1), 2);
    if (exponent == kZero) *at++ = '0';
    return at;
}

// Room for any number text: the exact value or a narrow decoder's text.
constexpr std::size_t numberTextRoom(std::size_t size) { return std::max(exactNumberRoom(size), kShortTextRoom); }

// Whether narrowPointText reads every digit the bytes store: the exponents
// and lengths it spells in full. For a valid NUMBER among them (positive by
// its exponent) its text has the exact value, in the spelling it keeps.
bool narrowPointReadsEveryDigit(Bytes bytes) {
    const std::size_t length = bytes.size();
    switch (byteAt(bytes, 0)) {
        case kHundredths:
            return length == 2 || length == 3;
        case kUnits:
        case kTenThousands:
            return length >= 2 && length <= 4;
        case kHundreds:
            return length >= 2 && length <= 5;
        default:
            return false;
    }
}

}  // namespace

// NUMBER(p) and FLOAT, into numberTextRoom. A number is written with its
// exact stored value. The narrow decoder's text keeps its own spelling
// ("12.0", "5.50") where it agrees with it, and stands alone where the bytes
// are no valid NUMBER; where it is known to agree, the exact value is not
// worked out at all.
char* writePointNumber(Bytes bytes, char* at) {
    if (narrowPointReadsEveryDigit(bytes) && unpackNumber(bytes)) return narrowPointText(bytes, at);
    std::array<char, kShortTextRoom> narrow;
    const std::string_view narrowText(narrow.data(),
                                      static_cast<std::size_t>(narrowPointText(bytes, narrow.data()) - narrow.data()));
    char* const end = writeExactNumber(bytes, at);
    if (end && !spellsTheSameNumber(narrowText, std::string_view(at, static_cast<std::size_t>(end - at)))) return end;
    return std::copy(narrowText.begin(), narrowText.end(), at);
}

// The integer decoder's text is a plain integer, which spells the exact value
// only by being it: the exact value stands whenever the bytes hold one, and
// the narrow text is worked out only for bytes that hold none.
char* writeIntegerNumber(Bytes bytes, char* at) {
    if (char* const end = writeExactNumber(bytes, at)) return end;
    return narrowIntegerText(bytes, at);
}

namespace {

template <char* (*writeNumber)(Bytes, char*)>
ValueKind numberValue(Bytes bytes, std::string& text) {
    appendNumberText(text, numberTextRoom(bytes.size()), [&](char* at) { return writeNumber(bytes, at); });
    return ValueKind::Number;
}

// NUMBER(*, s) has no narrow decoder: its exact value, or NULL.
ValueKind scaleOnlyNumberValue(Bytes bytes, std::string& text) {
    if (appendExactNumber(text, bytes)) return ValueKind::Number;
    assignText(text, kNullText);
    return ValueKind::NoDecoder;
}

constexpr std::uint32_t kLargestNanoseconds = 999'999'999;
constexpr std::size_t kNanosecondDigits = 9;

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
    // Every month has 28 days: the calendar is asked only about the days after.
    if (value.day < 1 || (value.day > 28 && value.day > daysInMonth(value.year, value.month))) return std::nullopt;
    if (value.hour < 0 || value.hour > 23) return std::nullopt;
    if (value.minute < 0 || value.minute > 59) return std::nullopt;
    if (value.second < 0 || value.second > 59) return std::nullopt;
    if (value.nanoseconds > kLargestNanoseconds) return std::nullopt;
    return value;
}

// "YYYY-MM-DD HH24:MI:SS", "-" before years before 1, and ".fraction"
// without trailing zeros when there are nanoseconds. The fields other than
// the year hold two digits, as readDateTime checked.
char* isoText(char* at, const DateTime& value) {
    if (value.year < 0) *at++ = '-';
    at = writeZeroPadded(at, value.year < 0 ? -value.year : value.year, 4);
    *at++ = '-';
    at = writeTwoDigits(at, value.month);
    *at++ = '-';
    at = writeTwoDigits(at, value.day);
    *at++ = ' ';
    at = writeTwoDigits(at, value.hour);
    *at++ = ':';
    at = writeTwoDigits(at, value.minute);
    *at++ = ':';
    at = writeTwoDigits(at, value.second);
    if (value.nanoseconds == 0) return at;
    *at++ = '.';
    // Nine digits: one, then eight by pairs, each divisor a constant (a
    // division by a variable takes a hardware divide).
    at = writeDigit(at, static_cast<int>(value.nanoseconds / 100'000'000));
    at = writeEightDigits(at, value.nanoseconds % 100'000'000);
    while (at[-1] == '0') --at;
    return at;
}

// The day-month-year text kept for bytes that are no valid date: "5-Mar- 2011",
// with an empty month name for a month byte outside 1 to 12.
char* dayMonthYearText(char* at, Bytes bytes) {
    static constexpr std::array<std::string_view, 12> kMonthNames = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sept", "Oct", "Nov", "Dec"};
    const int month = byteAt(bytes, kMonthByte);
    const std::string_view name = month >= 1 && month <= 12 ? kMonthNames[static_cast<std::size_t>(month - 1)] : "";
    at = writeInteger(at, byteAt(bytes, kDayByte));
    *at++ = '-';
    at = std::copy(name.begin(), name.end(), at);
    *at++ = '-';
    *at++ = ' ';
    return writeInteger(at, storedYear(bytes));
}

}  // namespace

// A DATE or TIMESTAMP into kShortTextRoom, with its kind.
char* writeDate(Bytes bytes, bool isTimestamp, char* at, ValueKind& kind) {
    if (const std::optional<DateTime> value = readDateTime(bytes, isTimestamp)) {
        kind = isTimestamp ? ValueKind::Timestamp : ValueKind::Date;
        return isoText(at, *value);
    }
    kind = ValueKind::InvalidDate;
    return dayMonthYearText(at, bytes);
}

namespace {

ValueKind dateValue(Bytes bytes, bool isTimestamp, std::string& text) {
    ValueKind kind = ValueKind::InvalidDate;
    appendShortText<kShortTextRoom>(text, [&](char* at) { return writeDate(bytes, isTimestamp, at, kind); });
    return kind;
}

// Bytes that do not fit their type's form are written NULL.
ValueKind undecodable(std::string& text) {
    assignText(text, kNullText);
    return ValueKind::Undecodable;
}

// The unsigned big-endian number of `count` bytes from `offset` on; the
// caller checked the length.
std::uint64_t bigEndian(Bytes bytes, std::size_t offset, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = offset; i < offset + count; ++i) value = (value << 8) | bytes[i];
    return value;
}

// ---------------------------------------------------------------------------
// TIMESTAMP WITH TIME ZONE: the UTC time shifted into the zone's local time.

// The day after (or before) a valid date; there is no year 0.
void stepOneDay(DateTime& value, int direction) {
    if (direction > 0) {
        if (++value.day <= daysInMonth(value.year, value.month)) return;
        value.day = 1;
        if (++value.month <= 12) return;
        value.month = 1;
        value.year = value.year == -1 ? 1 : value.year + 1;
        return;
    }
    if (--value.day >= 1) return;
    if (--value.month < 1) {
        value.month = 12;
        value.year = value.year == 1 ? -1 : value.year - 1;
    }
    value.day = daysInMonth(value.year, value.month);
}

// `minutes` (less than a day either way) added to a valid date and time.
DateTime shiftedByMinutes(DateTime value, int minutes) {
    constexpr int kMinutesPerDay = 24 * 60;
    int minuteOfDay = value.hour * 60 + value.minute + minutes;
    if (minuteOfDay < 0) {
        minuteOfDay += kMinutesPerDay;
        stepOneDay(value, -1);
    } else if (minuteOfDay >= kMinutesPerDay) {
        minuteOfDay -= kMinutesPerDay;
        stepOneDay(value, 1);
    }
    value.hour = minuteOfDay / 60;
    value.minute = minuteOfDay % 60;
    return value;
}

// The zone's offset east of UTC in minutes: 0 for a region id, whose name
// is not known (the instant is kept); nothing for an offset no zone has.
std::optional<int> zoneOffsetMinutes(Bytes bytes) {
    const int hourByte = bytes[kZoneHourByte];
    if (hourByte < kFirstOffsetHourByte || hourByte > kLastOffsetHourByte) return 0;
    const int hours = hourByte - kZoneHourBias;
    const int minutes = bytes[kZoneMinuteByte] - kZoneMinuteBias;
    if (minutes <= -60 || minutes >= 60 || (hours > 0 && minutes < 0) || (hours < 0 && minutes > 0))
        return std::nullopt;
    return hours * 60 + minutes;
}

// " +02:00", " -03:30".
char* zoneText(char* at, int offsetMinutes) {
    *at++ = ' ';
    *at++ = offsetMinutes < 0 ? '-' : '+';
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    at = writeTwoDigits(at, magnitude / 60);
    *at++ = ':';
    return writeTwoDigits(at, magnitude % 60);
}

ValueKind timestampZoneValue(Bytes bytes, std::string& text) {
    if (bytes.size() != kTimestampZoneLength) return undecodable(text);
    const std::optional<DateTime> utc = readDateTime(bytes.first(kTimestampLength), true);
    const std::optional<int> offset = zoneOffsetMinutes(bytes);
    if (!utc || !offset) return undecodable(text);
    const DateTime local = shiftedByMinutes(*utc, *offset);
    appendShortText<kShortTextRoom>(text, [&](char* at) { return zoneText(isoText(at, local), *offset); });
    return ValueKind::TimestampZone;
}

// ---------------------------------------------------------------------------
// BINARY_FLOAT and BINARY_DOUBLE: stored so that their bytes sort as the
// numbers do: a positive number with its sign bit set, a negative one with
// every bit inverted.

// The number BINARY_FLOAT or BINARY_DOUBLE bytes hold; nothing for bytes of
// another length.
template <typename Float, typename Bits>
std::optional<Float> storedBinaryFloat(Bytes bytes) {
    if (bytes.size() != sizeof(Bits)) return std::nullopt;
    constexpr Bits kSignBit = Bits{1} << (8 * sizeof(Bits) - 1);
    const auto stored = static_cast<Bits>(bigEndian(bytes, 0, sizeof(Bits)));
    return std::bit_cast<Float>((stored & kSignBit) ? static_cast<Bits>(stored & ~kSignBit)
                                                    : static_cast<Bits>(~stored));
}

// The shortest decimal text that reads back as the same finite number, into
// kShortTextRoom, as std::to_chars writes it: the fewest digits, in the fixed
// or the scientific form, whichever is shorter (fixed on a tie).
template <typename Float>
char* writeShortest(char* at, Float value) { return std::to_chars(at, at + kShortTextRoom, value).ptr; }

// Most stored doubles have fifteen digits or fewer: exact double arithmetic
// finds those in fewer steps than std::to_chars's general method takes. The
// rest go to std::to_chars.

// The powers of ten that a double holds exactly.
constexpr int kLargestExactPower = 22;
constexpr std::array<double, kLargestExactPower + 1> kExactPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// Every integer below 2^53 is a double exactly.
constexpr double kExactIntegerLimit = 9007199254740992.0;
constexpr int kMantissaBits = 52;
constexpr std::uint64_t kExponentMask = 0x7FF;
// frexp's exponent of a normal double: its biased exponent less this.
constexpr int kFrexpBias = 1022;
// (e × 78913) >> 18 is within one of e log10 2 for the exponents of doubles.
constexpr int kLog10Of2Times2To18 = 78913;
constexpr int kLog10Of2Shift = 18;
// The magnitude is scaled to fifteen digits before the point.
constexpr int kScaledDigits = 15;
constexpr double kSmallestScaled = 1e14;
constexpr double kScaledBound = 1e15;
constexpr std::uint32_t kEightDigits = 100'000'000;

// A decimal that reads back as a double: digits × 10^-places, the digits
// below 10^16 and not 0.
struct ShortDecimal {
    std::uint64_t digits = 0;
    int places = 0;
};

// magnitude × 10^places, rounded once.
double scaledBy(double magnitude, int places) {
    const double power = kExactPowersOfTen[static_cast<std::size_t>(std::abs(places))];
    return places >= 0 ? magnitude * power : magnitude / power;
}

// How many zeros a number (not 0, below 10^16) ends in.
int trailingDecimalZeros(std::uint64_t value) {
    int zeros = 0;
    if (value % kEightDigits == 0) {
        value /= kEightDigits;
        zeros += 8;
    }
    auto low = static_cast<std::uint32_t>(value % kEightDigits);
    if (low % 10'000 == 0) {
        low /= 10'000;
        zeros += 4;
    }
    if (low % 100 == 0) {
        low /= 100;
        zeros += 2;
    }
    return zeros + (low % 10 == 0 ? 1 : 0);
}

// How many digits a number (not 0) has.
int decimalLength(std::uint64_t value) {
    static constexpr std::array<std::uint64_t, 20> kPowers = [] {
        std::array<std::uint64_t, 20> powers{};
        std::uint64_t power = 1;
        for (std::uint64_t& p : powers) {
            p = power;
            power *= 10;
        }
        return powers;
    }();
    // bits × log10 2, a little below: the length or one less.
    const int guess = ((64 - std::countl_zero(value)) * 1233) >> 12;
    return guess + (value >= kPowers[static_cast<std::size_t>(guess)] ? 1 : 0);
}

// The shortest decimal that reads back as `magnitude` (a normal double above
// 0), when it has fifteen digits at most; nothing when it has more, or the
// test below cannot tell.
//
// `scaled`, magnitude × 10^places, is below 10^15: within 1/8 of its exact
// value t (one rounding of a number below 2^50). Every decimal that reads
// back lies within half the gap between two doubles of t, which is below 1/8
// on that scale too. Two decimals on the grid of `places` places that read
// back would be within 1/4 of each other, so there is one at most, and it is
// the integer nearest to `scaled`, within 1/4 of it. Any decimal with fewer
// digits is on that grid: the nearest integer, if it reads back, is the
// shortest. Reading it back settles that. The grid holds fifteen digits, or
// fewer for a magnitude so small that more would take a power of ten beyond
// the exact ones.
std::optional<ShortDecimal> fewestDigits(double magnitude) {
    const auto biased = static_cast<int>((std::bit_cast<std::uint64_t>(magnitude) >> kMantissaBits) & kExponentMask);
    if (biased == 0) return std::nullopt;  // subnormal
    // magnitude < 2^e: its decimal exponent is about e log10 2, which puts
    // `scaled` at fifteen digits or one digit off.
    const int decimalExponent = ((biased - kFrexpBias) * kLog10Of2Times2To18) >> kLog10Of2Shift;
    int places = std::min(kScaledDigits - 1 - decimalExponent, kLargestExactPower);
    if (places < -kLargestExactPower) return std::nullopt;
    double scaled = scaledBy(magnitude, places);
    if (scaled >= kScaledBound) {
        if (--places < -kLargestExactPower) return std::nullopt;
        scaled = scaledBy(magnitude, places);
    } else if (scaled < kSmallestScaled && places < kLargestExactPower) {
        scaled = scaledBy(magnitude, ++places);
    }
    if (scaled >= kScaledBound) return std::nullopt;
    const auto nearest = static_cast<std::uint64_t>(scaled + 0.5);  // exact below 2^50
    // Both factors exact doubles: one rounding of the decimal's exact value
    // to the nearest double, as reading its text does.
    if (nearest == 0 || scaledBy(static_cast<double>(nearest), -places) != magnitude) return std::nullopt;
    return ShortDecimal{nearest, places};
}

// The digits of a short decimal, sixteen characters with the units digit
// last, padded with leading zeros, and room after them, so that any run of
// its digits is copied at a fixed width: a copy of a length known beforehand
// takes no call. Every form below writes at most that width past its end,
// well inside kShortTextRoom.
constexpr std::size_t kDecimalDigits = 16;
using PaddedDigits = std::array<char, 2 * kDecimalDigits>;

// Copies `count` (up to sixteen) digits from `from`, writing sixteen.
char* putDigits(char* at, const char* from, int count) {
    std::memcpy(at, from, kDecimalDigits);
    return at + count;
}

// The fixed form: "1500", "12.5", "0.0012". `digits` (`count` of them) has no
// zero at either end; the last weighs 10^exponent. A fixed form has fewer
// than sixteen zeros beside its digits, or the scientific one would be shorter.
char* writeFixed(char* at, const char* digits, int count, int exponent) {
    if (exponent >= 0) {
        std::memset(putDigits(at, digits, count), '0', kDecimalDigits);
        return at + count + exponent;
    }
    const int pointAfter = count + exponent;
    if (pointAfter > 0) {
        putDigits(at, digits, pointAfter);
        at[pointAfter] = '.';
        return putDigits(at + pointAfter + 1, digits + pointAfter, count - pointAfter);
    }
    *at++ = '0';
    *at++ = '.';
    std::memset(at, '0', kDecimalDigits);
    return putDigits(at - pointAfter, digits, count);
}

// The scientific form: "1.25e-07", "3e+20".
char* writeScientific(char* at, const char* digits, int count, int scientificExponent) {
    *at++ = digits[0];
    if (count > 1) {
        *at++ = '.';
        at = putDigits(at, digits + 1, count - 1);
    }
    *at++ = 'e';
    *at++ = scientificExponent < 0 ? '-' : '+';
    const int magnitude = std::abs(scientificExponent);
    return magnitude < 100 ? writeTwoDigits(at, magnitude) : writeInteger(at, magnitude);
}

// Writes `decimal` in the shorter of the two forms, fixed on a tie; nullptr
// for a fixed form with zeros after the digits of a number beyond the exact
// integers, where std::to_chars writes the double's exact digits instead.
char* writeShortestForm(char* at, ShortDecimal decimal, double magnitude) {
    // The significant digits lie between the leading and the trailing zeros.
    PaddedDigits padded{};
    writeEightDigits(writeEightDigits(padded.data(), static_cast<std::uint32_t>(decimal.digits / kEightDigits)),
                     static_cast<std::uint32_t>(decimal.digits % kEightDigits));
    const int zeros = trailingDecimalZeros(decimal.digits);
    const int length = decimalLength(decimal.digits);
    const char* const digits = padded.data() + kDecimalDigits - length;
    const int count = length - zeros;
    const int exponent = zeros - decimal.places;
    const int scientificExponent = exponent + count - 1;
    const int scientificLength = count + (count > 1 ? 1 : 0) + 2 + (std::abs(scientificExponent) >= 100 ? 3 : 2);
    const int fixedLength = exponent >= 0             ? count + exponent
                            : scientificExponent >= 0 ? count + 1
                                                      : count + 1 - scientificExponent;
    if (fixedLength > scientificLength) return writeScientific(at, digits, count, scientificExponent);
    if (exponent > 0 && magnitude >= kExactIntegerLimit) return nullptr;
    return writeFixed(at, digits, count, exponent);
}

template <>
char* writeShortest<double>(char* at, double value) {
    const double magnitude = std::abs(value);
    if (value != 0) {
        if (const std::optional<ShortDecimal> decimal = fewestDigits(magnitude)) {
            char* const sign = at;
            if (value < 0) *at++ = '-';
            if (char* const end = writeShortestForm(at, *decimal, magnitude)) return end;
            at = sign;
        }
    }
    return std::to_chars(at, at + kShortTextRoom, value).ptr;
}

template <typename Float, typename Bits>
ValueKind binaryFloatValue(Bytes bytes, std::string& text, ValueKind kind) {
    const std::optional<Float> value = storedBinaryFloat<Float, Bits>(bytes);
    if (!value) return undecodable(text);
    if (std::isnan(*value)) {
        assignText(text, "NaN");
    } else if (std::isinf(*value)) {
        assignText(text, *value < 0 ? "-Inf" : "Inf");
    } else {
        appendShortText<kShortTextRoom>(text, [&](char* at) { return writeShortest(at, *value); });
    }
    return kind;
}

// The same for a finite number only, into kShortTextRoom; nothing, and
// nullptr, otherwise.
template <typename Float, typename Bits>
char* writeFiniteStoredFloat(Bytes bytes, char* at) {
    const std::optional<Float> value = storedBinaryFloat<Float, Bits>(bytes);
    if (!value || !std::isfinite(*value)) return nullptr;
    return writeShortest(at, *value);
}

}  // namespace

char* writeFiniteBinaryFloat(Bytes bytes, char* at) { return writeFiniteStoredFloat<float, std::uint32_t>(bytes, at); }

char* writeFiniteBinaryDouble(Bytes bytes, char* at) {
    return writeFiniteStoredFloat<double, std::uint64_t>(bytes, at);
}

namespace {

// ---------------------------------------------------------------------------
// Intervals: every field carries the interval's sign.

bool sameSign(std::int64_t a, std::int64_t b) { return !(a > 0 && b < 0) && !(a < 0 && b > 0); }

ValueKind intervalYearMonthValue(Bytes bytes, std::string& text) {
    using namespace interval_layout;
    if (bytes.size() != kYearMonthLength) return undecodable(text);
    const std::int64_t years = static_cast<std::int64_t>(bigEndian(bytes, 0, 4)) - kWideBias;
    const int months = bytes[kMonthsByte] - kFieldBias;
    if (months < -11 || months > 11 || !sameSign(years, months)) return undecodable(text);
    const bool negative = years < 0 || months < 0;
    appendShortText<kShortTextRoom>(text, [&](char* at) {
        if (negative) *at++ = '-';
        at = writeInteger(at, negative ? -years : years);
        *at++ = '-';
        return writeInteger(at, negative ? -months : months);
    });
    return ValueKind::IntervalYearMonth;
}

ValueKind intervalDaySecondValue(Bytes bytes, std::string& text) {
    using namespace interval_layout;
    if (bytes.size() != kDaySecondLength) return undecodable(text);
    const std::int64_t days = static_cast<std::int64_t>(bigEndian(bytes, 0, 4)) - kWideBias;
    const std::array<int, 3> time = {bytes[kHoursByte] - kFieldBias, bytes[kMinutesByte] - kFieldBias,
                                     bytes[kSecondsByte] - kFieldBias};
    const std::int64_t nanoseconds = static_cast<std::int64_t>(bigEndian(bytes, kIntervalNanosecondsOffset, 4)) - kWideBias;
    const std::array<int, 3> largest = {23, 59, 59};
    std::int64_t sign = days != 0 ? days : nanoseconds;
    for (std::size_t i = 0; i < time.size(); ++i) {
        if (time[i] < -largest[i] || time[i] > largest[i] || !sameSign(sign, time[i])) return undecodable(text);
        if (sign == 0) sign = time[i];
    }
    if (nanoseconds < -std::int64_t{kLargestNanoseconds} || nanoseconds > kLargestNanoseconds ||
        !sameSign(sign, nanoseconds))
        return undecodable(text);
    const bool negative = sign < 0;
    const auto magnitude = [&](std::int64_t field) { return negative ? -field : field; };
    appendShortText<kShortTextRoom>(text, [&](char* at) {
        if (negative) *at++ = '-';
        at = writeInteger(at, magnitude(days));
        for (std::size_t i = 0; i < time.size(); ++i) {
            *at++ = i == 0 ? ' ' : ':';
            at = writeTwoDigits(at, static_cast<int>(magnitude(time[i])));
        }
        *at++ = '.';
        return writeZeroPadded(at, magnitude(nanoseconds), kNanosecondDigits);
    });
    return ValueKind::IntervalDaySecond;
}

// ---------------------------------------------------------------------------
// RAW and LONG RAW: upper-case hexadecimal.

// The two hexadecimal digits of every byte value, one copy per byte.
constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> pairs{};
    for (std::size_t b = 0; b < 256; ++b) {
        pairs[2 * b] = kUpperHexDigits[b >> 4];
        pairs[2 * b + 1] = kUpperHexDigits[b & 0x0F];
    }
    return pairs;
}();

}  // namespace

// Two characters per byte.
char* writeHex(Bytes bytes, char* at) {
    for (const std::uint8_t b : bytes) {
        std::memcpy(at, &kHexPairs[2 * std::size_t{b}], 2);
        at += 2;
    }
    return at;
}

namespace {

ValueKind rawValue(Bytes bytes, std::string& text) {
    appendWritten(text, 2 * bytes.size(), [&](char* at) { return writeHex(bytes, at); });
    return ValueKind::Raw;
}

// NCHAR and NVARCHAR2 in the national character set.
ValueKind nationalValue(Bytes bytes, NationalCharset national, std::string& text) {
    if (!appendNationalText(text, bytes, national)) return undecodable(text);
    return ValueKind::NationalText;
}

// ---------------------------------------------------------------------------
// Text columns: 8-bit code-page bytes.

// The length of the bytes before the first zero byte (all of them without one).
std::size_t lengthBeforeZero(Bytes bytes) {
    const void* zero = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
    return zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes.data()) : bytes.size();
}

// Sixteen bytes tested at once: the compiler turns the operations on this
// type into the processor's vector instructions.
using ByteVector = std::uint8_t __attribute__((vector_size(16)));
using WordPair = std::uint64_t __attribute__((vector_size(16)));
constexpr std::uint64_t kLowBits = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

bool plainVector(const std::uint8_t* at) {
    ByteVector bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    const auto odd = (bytes == 0) | (bytes >= 0x80);
    WordPair words;
    std::memcpy(&words, &odd, sizeof words);
    return (words[0] | words[1]) == 0;
}

// (w - 0x01...01) & ~w has the top bit of a byte set where the byte is zero
// (past the first zero, possibly others too), w where it is 0x80 or more.
bool plainWord(const std::uint8_t* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return ((((word - kLowBits) & ~word) | word) & kHighBits) == 0;
}

}  // namespace

// Whether no byte is zero or 0x80 and above: such text reads the same in the
// code page and in UTF-8, and the text types' zero rules leave it alone. The
// last sixteen (or eight) bytes are tested again over the ones before them.
bool isPlainAscii(Bytes bytes) {
    const std::uint8_t* const data = bytes.data();
    const std::size_t size = bytes.size();
    constexpr std::size_t kVector = sizeof(ByteVector);
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    if (size >= kVector) {
        for (std::size_t i = 0; i + kVector <= size; i += kVector)
            if (!plainVector(data + i)) return false;
        return plainVector(data + size - kVector);
    }
    if (size >= kWord) return plainWord(data) && plainWord(data + size - kWord);
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0 && b < 0x80; });
}

namespace {

void appendPlain(std::string& text, Bytes bytes) {
    text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// CHAR: a zero byte ends the value.
ValueKind charValue(Bytes bytes, TextBytes spelling, std::string& text) {
    if (isPlainAscii(bytes)) {
        appendPlain(text, bytes);
        return ValueKind::Text;
    }
    const Bytes value = bytes.first(lengthBeforeZero(bytes));
    if (spelling == TextBytes::CodePage)
        appendPlain(text, value);
    else
        appendFromCodePage(text, value);
    return ValueKind::Text;
}

// VARCHAR2: a zero byte becomes a space, so no character is lost.
ValueKind varchar2Value(Bytes bytes, TextBytes spelling, std::string& text) {
    if (isPlainAscii(bytes)) {
        appendPlain(text, bytes);
        return ValueKind::Text;
    }
    for (;;) {
        const std::size_t runLength = lengthBeforeZero(bytes);
        if (spelling == TextBytes::CodePage)
            appendPlain(text, bytes.first(runLength));
        else
            appendFromCodePage(text, bytes.first(runLength));
        if (runLength == bytes.size()) return ValueKind::Text;
        text.push_back(' ');
        bytes = bytes.subspan(runLength + 1);
    }
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
        return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (parts.integerDigits.empty() && parts.fractionDigits.empty()) return std::nullopt;
    if (!allDigits(parts.integerDigits) || !allDigits(parts.fractionDigits)) return std::nullopt;
    return parts;
}

std::optional<std::string> decodeNumber(Bytes bytes) {
    std::string text;
    if (!appendExactNumber(text, bytes)) return std::nullopt;
    return text;
}

ValueKind formatColumnValueInto(int typeCode, Bytes bytes, std::string& text, TextBytes spelling,
                                NationalCharset national) {
    text.clear();
    switch (valueDecoder(typeCode)) {
        case ValueDecoder::IntegerNumber:
            return numberValue<writeIntegerNumber>(bytes, text);
        case ValueDecoder::PointNumber:
            return numberValue<writePointNumber>(bytes, text);
        case ValueDecoder::ExactNumber:
            return scaleOnlyNumberValue(bytes, text);
        case ValueDecoder::Date:
            return dateValue(bytes, false, text);
        case ValueDecoder::Timestamp:
            return dateValue(bytes, true, text);
        case ValueDecoder::Char:
            return charValue(bytes, spelling, text);
        case ValueDecoder::Varchar2:
            return varchar2Value(bytes, spelling, text);
        case ValueDecoder::Raw:
            return rawValue(bytes, text);
        case ValueDecoder::BinaryFloat:
            return binaryFloatValue<float, std::uint32_t>(bytes, text, ValueKind::BinaryFloat);
        case ValueDecoder::BinaryDouble:
            return binaryFloatValue<double, std::uint64_t>(bytes, text, ValueKind::BinaryDouble);
        case ValueDecoder::TimestampZone:
            return timestampZoneValue(bytes, text);
        case ValueDecoder::IntervalYearMonth:
            return intervalYearMonthValue(bytes, text);
        case ValueDecoder::IntervalDaySecond:
            return intervalDaySecondValue(bytes, text);
        case ValueDecoder::NationalChar:
        case ValueDecoder::NationalVarchar2:
            return nationalValue(bytes, national, text);
        case ValueDecoder::Lob:
            text.push_back(' ');
            return ValueKind::Lob;
        case ValueDecoder::None:
            break;
    }
    assignText(text, kNullText);
    return ValueKind::NoDecoder;
}

// The room the header promises holds every number text, whatever its length.
static_assert([] {
    for (std::size_t size = 0; size <= 0xFFFF; ++size)
        if (commonValueTextRoom(size) < numberTextRoom(size)) return false;
    return true;
}());

FormattedValue formatColumnValue(int typeCode, Bytes bytes, NationalCharset national) {
    FormattedValue value;
    value.kind = formatColumnValueInto(typeCode, bytes, value.text, TextBytes::Utf8, national);
    return value;
}

}  // namespace restorix
