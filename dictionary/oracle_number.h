#pragma once
// NUMBER as the format stores it, read once for every user: the dictionary's
// keys (users, objects, columns, constraints, owners) and the values of
// NUMBER columns both go through unpackNumber.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace restorix {

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
constexpr int kLargestDigit = 99;
}  // namespace number_layout

// A NUMBER taken apart: its sign, the weight of its first base-100 digit
// (100^exponent) and its stored digit bytes, terminator removed.
class UnpackedNumber {
public:
    UnpackedNumber(bool negative, int exponent, std::span<const std::uint8_t> mantissa)
        : negative_(negative), exponent_(exponent), mantissa_(mantissa) {}

    bool negative() const { return negative_; }
    int exponent() const { return exponent_; }
    // Base-100 digits; none for zero.
    std::size_t digitCount() const { return mantissa_.size(); }
    // The stored bytes of the digits.
    std::span<const std::uint8_t> mantissa() const { return mantissa_; }
    int digit(std::size_t i) const { return digitOf(negative_, mantissa_[i]); }
    // The base-100 digit a stored byte holds, in a number of this sign.
    static constexpr int digitOf(bool negative, std::uint8_t stored) {
        return negative ? number_layout::kNegativeDigitBase - stored : stored - 1;
    }

private:
    bool negative_;
    int exponent_;
    std::span<const std::uint8_t> mantissa_;
};

// Nothing for bytes that are no NUMBER encoding: none at all, no digit after
// a non-zero exponent byte, or a digit byte outside 0 to 99. Inline: every
// NUMBER value of every row is unpacked.
inline std::optional<UnpackedNumber> unpackNumber(std::span<const std::uint8_t> bytes) {
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

// A dictionary number (user, object, column, constraint, type, length ...)
// by value; -1 where the dictionary holds none or holds a value no key can be.
using DictionaryNumber = std::int64_t;
inline constexpr DictionaryNumber kNoNumber = -1;

// The integer that NUMBER bytes hold, whatever their length; nothing for
// bytes that are no NUMBER, a value with a fraction, or one beyond 18 digits.
std::optional<std::int64_t> decodeInteger(std::span<const std::uint8_t> bytes);

// decodeInteger for a dictionary key: a non-negative integer, else kNoNumber.
DictionaryNumber dictionaryNumber(std::span<const std::uint8_t> bytes);

}  // namespace restorix
