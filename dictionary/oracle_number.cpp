#include "dictionary/oracle_number.h"

#include <algorithm>

namespace restorix {

namespace {

constexpr int kLargestDigit = 99;
// 100^9 is beyond a signed 64-bit value; nine base-100 digits stay inside.
constexpr int kLargestIntegerExponent = 8;

}  // namespace

std::optional<UnpackedNumber> unpackNumber(std::span<const std::uint8_t> bytes) {
    using namespace number_layout;
    if (bytes.empty()) return std::nullopt;
    if (bytes.size() == 1 && bytes[0] == kZero) return UnpackedNumber(false, 0, {});
    const bool negative = bytes[0] < kZero;
    const int exponent = negative ? kNegativeExponentBias - bytes[0] : bytes[0] - kPositiveExponentBias;
    std::span<const std::uint8_t> mantissa = bytes.subspan(1);
    if (negative && !mantissa.empty() && mantissa.back() == kNegativeTerminator)
        mantissa = mantissa.first(mantissa.size() - 1);
    if (mantissa.empty()) return std::nullopt;
    // Digits 0 to 99 are stored as 1 to 100, or as 101 to 2 in a negative number.
    const int lowestByte = negative ? kNegativeDigitBase - kLargestDigit : 1;
    const int highestByte = negative ? kNegativeDigitBase : kLargestDigit + 1;
    for (const std::uint8_t b : mantissa)
        if (b < lowestByte || b > highestByte) return std::nullopt;
    return UnpackedNumber(negative, exponent, mantissa);
}

std::optional<std::int64_t> decodeInteger(std::span<const std::uint8_t> bytes) {
    const std::optional<UnpackedNumber> number = unpackNumber(bytes);
    if (!number) return std::nullopt;
    if (number->digitCount() == 0) return 0;
    // Digits past the units pair are a fraction; pairs not stored are zeros.
    const auto integerDigits = static_cast<std::size_t>(std::max(number->exponent() + 1, 0));
    if (number->exponent() > kLargestIntegerExponent || number->digitCount() > integerDigits) return std::nullopt;
    std::int64_t value = 0;
    for (std::size_t i = 0; i < integerDigits; ++i) {
        value = value * 100 + (i < number->digitCount() ? number->digit(i) : 0);
    }
    return number->negative() ? -value : value;
}

DictionaryNumber dictionaryNumber(std::span<const std::uint8_t> bytes) {
    const std::optional<std::int64_t> value = decodeInteger(bytes);
    return value && *value >= 0 ? *value : kNoNumber;
}

}  // namespace restorix
