#pragma once
// Turns the stored bytes of one column value into the text the data scripts
// and the preview show, with the kind that tells a writer how to quote it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "dictionary/oracle_number.h"
#include "tabledata/column_types.h"
#include "tabledata/row_value.h"

namespace restorix {

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
// TIMESTAMP WITH TIME ZONE: the UTC time as a TIMESTAMP with its
// nanoseconds always present, then the zone. A zone hour byte of 5 to 36
// holds an offset (hours + 20, minutes + 60); any other byte starts a
// region id.
constexpr std::size_t kZoneHourByte = kTimestampLength;
constexpr std::size_t kZoneMinuteByte = kZoneHourByte + 1;
constexpr std::size_t kTimestampZoneLength = kZoneMinuteByte + 1;
constexpr int kZoneHourBias = 20;
constexpr int kZoneMinuteBias = 60;
constexpr int kFirstOffsetHourByte = 5;
constexpr int kLastOffsetHourByte = 36;
}  // namespace date_layout

// INTERVAL YEAR TO MONTH: years + 2^31 (u32 big-endian), months + 60.
// INTERVAL DAY TO SECOND: days + 2^31 (u32 big-endian), hours, minutes and
// seconds + 60, nanoseconds + 2^31 (u32 big-endian).
namespace interval_layout {
constexpr std::int64_t kWideBias = std::int64_t{1} << 31;
constexpr int kFieldBias = 60;
constexpr std::size_t kYearMonthLength = 5;
constexpr std::size_t kMonthsByte = 4;
constexpr std::size_t kDaySecondLength = 11;
constexpr std::size_t kHoursByte = 4;
constexpr std::size_t kMinutesByte = 5;
constexpr std::size_t kSecondsByte = 6;
constexpr std::size_t kIntervalNanosecondsOffset = 7;
}  // namespace interval_layout

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

// The value of a column of the given kind. Never fails: bytes that the
// kind's decoder cannot read still give a text (see ValueKind). NCHAR and
// NVARCHAR2 values are read in the given national character set.
FormattedValue formatColumnValue(ColumnKind columnKind, std::span<const std::uint8_t> bytes,
                                 NationalCharset national = NationalCharset::Al16Utf16);

// How the text of a CHAR or VARCHAR2 value spells its characters beyond
// ASCII: in UTF-8 for display, or in the code page's bytes as stored, which
// the data scripts write as they are (every byte round-trips through UTF-8).
enum class TextBytes { Utf8, CodePage };

// The same into a caller's text, which is replaced; a text reused from value
// to value keeps its room, so formatting a row allocates nothing.
ValueKind formatColumnValueInto(ColumnKind columnKind, std::span<const std::uint8_t> bytes, std::string& text,
                                TextBytes spelling = TextBytes::Utf8,
                                NationalCharset national = NationalCharset::Al16Utf16);

// The texts formatColumnValueInto gives the most common values, written from
// `at` on into commonValueTextRoom(bytes.size()) characters, each returning
// its end: the data scripts write them straight into their statements.
inline constexpr std::size_t commonValueTextRoom(std::size_t byteCount) {
    // The longest is a NUMBER's exact value: a sign, "0" and the point, up
    // to 128 zeros that its exponent puts before or after its digits, and
    // two digits per byte; every other text fits in that.
    return 3 + 128 + 2 * byteCount;
}
// A NUMBER column's value by the integer decoder or the point decoder.
char* writeIntegerNumber(std::span<const std::uint8_t> bytes, char* at);
char* writePointNumber(std::span<const std::uint8_t> bytes, char* at);
// A DATE or TIMESTAMP, with its kind: Date, Timestamp, or InvalidDate for
// bytes that hold no valid date.
char* writeDate(std::span<const std::uint8_t> bytes, bool isTimestamp, char* at, ValueKind& kind);
// RAW bytes in upper-case hexadecimal.
char* writeHex(std::span<const std::uint8_t> bytes, char* at);
// A finite BINARY_FLOAT or BINARY_DOUBLE; nothing, and nullptr, for any other.
char* writeFiniteBinaryFloat(std::span<const std::uint8_t> bytes, char* at);
char* writeFiniteBinaryDouble(std::span<const std::uint8_t> bytes, char* at);
// Whether CHAR or VARCHAR2 bytes are plain ASCII, which reads the same in
// every spelling and which neither type's zero rule touches: the text is the
// bytes themselves.
bool isPlainAscii(std::span<const std::uint8_t> bytes);

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
