#include "dictionary/oracle_number.h"

#include <algorithm>

namespace restorix {

namespace {

// 100^9 is beyond a signed 64-bit value; nine base-100 digits stay inside.
constexpr int kLargestIntegerExponent = 8;

}  // namespace

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
