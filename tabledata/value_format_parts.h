#pragma once
// What the value formatting files share: the digit writers every family's
// texts are made with, and the one function per family of types that
// formatColumnValueInto hands a value to. Only the value_format files
// include this; everyone else goes through tabledata/value_format.h.
//
// Texts are written through a pointer into room made beforehand, on the
// stack for short ones (appendShortText), at the end of the caller's string
// for others (appendWritten): no text is built piece by piece. Every writer
// returns the end of what it wrote.

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "tabledata/value_format.h"

namespace restorix::value_format_parts {

using Bytes = std::span<const std::uint8_t>;

inline constexpr std::string_view kNullText = "NULL";

// Room for any text but a NUMBER's exact value: a date with its fraction, the
// day-month-year form, and the narrow decoders' texts (two integers at most).
inline constexpr std::size_t kShortTextRoom = 64;
inline constexpr std::size_t kMaxIntegerLength = 20;  // "-9223372036854775808"

inline constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The two digits of a value from 0 to 99.
inline char* writeTwoDigits(char* at, int value) {
    std::memcpy(at, &kDigitPairs[static_cast<std::size_t>(2 * value)], 2);
    return at + 2;
}

// The eight digits of a value below 10^8, by pairs.
inline char* writeEightDigits(char* at, std::uint32_t value) {
    at = writeTwoDigits(at, static_cast<int>(value / 1'000'000));
    at = writeTwoDigits(at, static_cast<int>(value / 10'000 % 100));
    at = writeTwoDigits(at, static_cast<int>(value / 100 % 100));
    return writeTwoDigits(at, static_cast<int>(value % 100));
}

inline char* writeDigit(char* at, int value) {
    *at = static_cast<char>('0' + value);
    return at + 1;
}

inline char* writeInteger(char* at, std::int64_t value) {
    return std::to_chars(at, at + kMaxIntegerLength, value).ptr;
}

// writeZeroPadded for any value and width.
char* writeAnyZeroPadded(char* at, std::int64_t value, std::size_t width);

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

inline void assignText(std::string& text, std::string_view value) {
    text.clear();
    text.append(value.data(), value.size());
}

// Bytes that do not fit their type's form are written NULL.
inline ValueKind undecodable(std::string& text) {
    assignText(text, kNullText);
    return ValueKind::Undecodable;
}

// Byte i of a value; a byte past the end reads as 0.
inline int byteAt(Bytes bytes, std::size_t i) { return i < bytes.size() ? bytes[i] : 0; }

// The unsigned big-endian number of `count` bytes from `offset` on; the
// caller checked the length.
inline std::uint64_t bigEndian(Bytes bytes, std::size_t offset, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = offset; i < offset + count; ++i) value = (value << 8) | bytes[i];
    return value;
}

// One function per family of types, each appending to an empty `text` and
// returning the value's kind.

// value_format_number.cpp: NUMBER by its column's decoder.
ValueKind integerNumberValue(Bytes bytes, std::string& text);
ValueKind pointNumberValue(Bytes bytes, std::string& text);
ValueKind scaleOnlyNumberValue(Bytes bytes, std::string& text);

// value_format_binary_float.cpp: BINARY_FLOAT and BINARY_DOUBLE.
ValueKind binaryFloatValue(Bytes bytes, std::string& text);
ValueKind binaryDoubleValue(Bytes bytes, std::string& text);

// value_format_date.cpp: DATE, TIMESTAMP, TIMESTAMP WITH TIME ZONE and the
// intervals.
ValueKind dateValue(Bytes bytes, bool isTimestamp, std::string& text);
ValueKind timestampZoneValue(Bytes bytes, std::string& text);
ValueKind intervalYearMonthValue(Bytes bytes, std::string& text);
ValueKind intervalDaySecondValue(Bytes bytes, std::string& text);

// value_format_text.cpp: CHAR, VARCHAR2, NCHAR and NVARCHAR2.
ValueKind charValue(Bytes bytes, TextBytes spelling, std::string& text);
ValueKind varchar2Value(Bytes bytes, TextBytes spelling, std::string& text);
ValueKind nationalValue(Bytes bytes, NationalCharset national, std::string& text);

// value_format_raw.cpp: RAW and LONG RAW.
ValueKind rawValue(Bytes bytes, std::string& text);

}  // namespace restorix::value_format_parts
