#include "tools/forge/oracle_values.h"

#include <bit>
#include <stdexcept>
#include <string>

#include "tabledata/value_format.h"

namespace restorix::forge {

namespace {

using namespace number_layout;
using namespace date_layout;

[[noreturn]] void rejectNumber(std::string_view decimal, const char* why) {
    throw std::invalid_argument("cannot encode NUMBER \"" + std::string(decimal) + "\": " + why);
}

std::uint8_t storedByte(int value) { return static_cast<std::uint8_t>(value); }

template <typename Bits>
void appendBigEndian(Bytes& out, Bits value) {
    for (int shift = 8 * static_cast<int>(sizeof(Bits)) - 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

template <typename Bits, typename Float>
Bytes orderedFloatBytes(Float value) {
    constexpr Bits kSignBit = Bits{1} << (8 * sizeof(Bits) - 1);
    const auto bits = std::bit_cast<Bits>(value);
    Bytes stored;
    appendBigEndian(stored, (bits & kSignBit) ? static_cast<Bits>(~bits) : static_cast<Bits>(bits | kSignBit));
    return stored;
}

std::uint32_t biased(std::int64_t value) { return static_cast<std::uint32_t>(value + interval_layout::kWideBias); }

}  // namespace

Bytes encodeNumber(std::string_view decimal) {
    const std::optional<DecimalParts> parts = splitDecimal(decimal);
    if (!parts) rejectNumber(decimal, "not a plain decimal number");
    const bool negative = parts->negative;
    const std::string_view integerDigits = parts->integerDigits;
    const std::string_view fractionDigits = parts->fractionDigits;

    // The value is 0.<digits> x 10^pointPosition once the zeros around the
    // significant digits are gone.
    std::string digits = std::string(integerDigits) + std::string(fractionDigits);
    int pointPosition = static_cast<int>(integerDigits.size());
    const std::size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos) return {kZero};
    digits.erase(0, firstSignificant);
    pointPosition -= static_cast<int>(firstSignificant);
    digits.erase(digits.find_last_not_of('0') + 1);

    // Base-100 digits pair decimal digits on each side of the point.
    if (pointPosition % 2 != 0) {
        digits.insert(0, 1, '0');
        ++pointPosition;
    }
    if (digits.size() % 2 != 0) digits += '0';
    const int exponent = pointPosition / 2 - 1;
    const std::size_t mantissaBytes = digits.size() / 2;
    if (mantissaBytes > kMaxMantissaBytes) rejectNumber(decimal, "too many significant digits");
    if (exponent < kSmallestExponent || exponent > kLargestExponent)
        rejectNumber(decimal, "outside the range NUMBER holds");

    Bytes stored;
    stored.push_back(storedByte(negative ? kNegativeExponentBias - exponent : kPositiveExponentBias + exponent));
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int d = (digits[i] - '0') * 10 + (digits[i + 1] - '0');
        stored.push_back(storedByte(negative ? kNegativeDigitBase - d : d + 1));
    }
    if (negative && mantissaBytes < kMaxMantissaBytes) stored.push_back(kNegativeTerminator);
    return stored;
}

// No range checks: tests also build impossible dates (a 30th of February,
// month 13) with it.
Bytes encodeDate(int year, int month, int day, int hour, int minute, int second) {
    return {storedByte(year / 100 + kYearBias), storedByte(year % 100 + kYearBias), storedByte(month),
            storedByte(day),  storedByte(hour + kTimeBias), storedByte(minute + kTimeBias),
            storedByte(second + kTimeBias)};
}

Bytes encodeTimestamp(int year, int month, int day, int hour, int minute, int second,
                      std::uint32_t nanoseconds) {
    Bytes stored = encodeDate(year, month, day, hour, minute, second);
    if (nanoseconds != 0) {
        for (int shift = 24; shift >= 0; shift -= 8)
            stored.push_back(static_cast<std::uint8_t>(nanoseconds >> shift));
    }
    return stored;
}

Bytes encodeBinaryFloat(float value) { return orderedFloatBytes<std::uint32_t>(value); }
Bytes encodeBinaryDouble(double value) { return orderedFloatBytes<std::uint64_t>(value); }

Bytes encodeTimestampZone(int year, int month, int day, int hour, int minute, int second, std::uint32_t nanoseconds,
                          int offsetMinutes) {
    Bytes stored = encodeDate(year, month, day, hour, minute, second);
    appendBigEndian(stored, nanoseconds);
    stored.push_back(storedByte(offsetMinutes / 60 + kZoneHourBias));
    stored.push_back(storedByte(offsetMinutes % 60 + kZoneMinuteBias));
    return stored;
}

Bytes encodeIntervalYearMonth(std::int32_t years, int months) {
    Bytes stored;
    appendBigEndian(stored, biased(years));
    stored.push_back(storedByte(months + interval_layout::kFieldBias));
    return stored;
}

Bytes encodeIntervalDaySecond(std::int32_t days, int hours, int minutes, int seconds, std::int32_t nanoseconds) {
    using interval_layout::kFieldBias;
    Bytes stored;
    appendBigEndian(stored, biased(days));
    for (const int field : {hours, minutes, seconds}) stored.push_back(storedByte(field + kFieldBias));
    appendBigEndian(stored, biased(nanoseconds));
    return stored;
}

}  // namespace restorix::forge
