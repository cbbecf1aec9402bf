#pragma once
// Turns the stored bytes of one column value into the text the data scripts
// and the preview show, with the kind that tells a writer how to quote it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "tabledata/row_value.h"

namespace restorix {

// Column type codes as the catalog keeps them: the stored type number plus
// one, and three codes of our own for the NUMBER forms.
namespace type_code {
constexpr int kVarchar2 = 2;
constexpr int kNumberWithScaleOnly = 3;  // NUMBER(*, s): scale but no precision
constexpr int kDate = 13;
constexpr int kChar = 97;
constexpr int kClob = 113;
constexpr int kBlob = 114;
constexpr int kTimestamp = 181;
constexpr int kNumberInteger = 240;    // NUMBER without precision, scale absent or 0
constexpr int kNumberScaled = 241;     // NUMBER(p, s)
constexpr int kNumberPrecision = 242;  // NUMBER(p) and FLOAT
}  // namespace type_code

// NUMBER as the format stores it: an exponent byte, then base-100 digits.
// Positive: exponent byte 0xC1 + e (the first digit weighs 100^e), digit d
// stored as d + 1. Negative: exponent byte 0x3E - e, digit d stored as
// 101 - d, and a 0x66 terminator unless the mantissa has all its 20 bytes.
// Zero is the exponent byte 0x80 alone.
namespace number_layout {
constexpr std::uint8_t kZero = 0x80;
constexpr int kPositiveExponentBias = 0xC1;
constexpr int kNegativeExponentBias = 0x3E;
constexpr int kNegativeDigitBase = 101;
constexpr std::uint8_t kNegativeTerminator = 0x66;
constexpr std::size_t kMaxMantissaBytes = 20;
constexpr int kSmallestExponent = -65;  // 10^-130
constexpr int kLargestExponent = 62;    // below 10^126
}  // namespace number_layout

// DATE: century + 100, year + 100, month, day, hour + 1, minute + 1,
// second + 1. A TIMESTAMP adds big-endian nanoseconds when they are not 0.
namespace date_layout {
constexpr std::size_t kCenturyByte = 0;
constexpr std::size_t kYearByte = 1;
constexpr std::size_t kMonthByte = 2;
constexpr std::size_t kDayByte = 3;
constexpr std::size_t kHourByte = 4;
constexpr std::size_t kMinuteByte = 5;
constexpr std::size_t kSecondByte = 6;
constexpr std::size_t kNanosecondsOffset = 7;
constexpr std::size_t kDateLength = kSecondByte + 1;
constexpr std::size_t kTimestampLength = kNanosecondsOffset + 4;
constexpr int kYearBias = 100;
constexpr int kTimeBias = 1;
}  // namespace date_layout

// Makes `room` characters at the end of `text`, lets `write(char*)` fill them
// from their start and return where it stopped, and cuts the text there: one
// resize in place of an append per piece.
template <typename Write>
void appendWritten(std::string& text, std::size_t room, const Write& write) {
    const std::size_t start = text.size();
    text.resize(start + room);
    char* const end = write(text.data() + start);
    text.resize(static_cast<std::size_t>(end - text.data()));
}

struct FormattedValue {
    std::string text;  // UTF-8
    ValueKind kind = ValueKind::Null;
};

// The value of a column of the given type code. Never fails: bytes that the
// type's decoder cannot read still give a text (see ValueKind).
FormattedValue formatColumnValue(int typeCode, std::span<const std::uint8_t> bytes);

// How the text of a CHAR or VARCHAR2 value spells its characters beyond
// ASCII: in UTF-8 for display, or in the code page's bytes as stored, which
// the data scripts write as they are (every byte round-trips through UTF-8).
enum class TextBytes { Utf8, CodePage };

// The same into a caller's text, which is replaced; a text reused from value
// to value keeps its room, so formatting a row allocates nothing.
ValueKind formatColumnValueInto(int typeCode, std::span<const std::uint8_t> bytes, std::string& text,
                                TextBytes spelling = TextBytes::Utf8);

// A plain decimal text split at its point: "-12.50" gives negative, "12", "50".
struct DecimalParts {
    bool negative = false;
    std::string_view integerDigits;
    std::string_view fractionDigits;
};

// Nothing for a text that is no plain decimal: an optional sign, digits, and
// an optional point with digits; at least one digit, no exponent.
std::optional<DecimalParts> splitDecimal(std::string_view text);

// The exact value of NUMBER bytes in plain decimal ("-1234.5", "0.001",
// "1230000000"): no exponent, no trailing fraction zeros. Nothing when the
// bytes are no valid NUMBER encoding.
std::optional<std::string> decodeNumber(std::span<const std::uint8_t> bytes);

}  // namespace restorix
