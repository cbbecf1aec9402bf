// BINARY_FLOAT and BINARY_DOUBLE values, in the shortest text that reads
// back as the same number.

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "tabledata/value_format.h"
#include "tabledata/value_format_parts.h"

namespace restorix {

using namespace value_format_parts;

namespace {

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
ValueKind storedFloatValue(Bytes bytes, std::string& text, ValueKind kind) {
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

namespace value_format_parts {

ValueKind binaryFloatValue(Bytes bytes, std::string& text) {
    return storedFloatValue<float, std::uint32_t>(bytes, text, ValueKind::BinaryFloat);
}

ValueKind binaryDoubleValue(Bytes bytes, std::string& text) {
    return storedFloatValue<double, std::uint64_t>(bytes, text, ValueKind::BinaryDouble);
}

}  // namespace value_format_parts

}  // namespace restorix
