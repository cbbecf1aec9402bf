#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tabledata/value_format.h"
#include "tools/forge/column_type.h"
#include "tools/forge/oracle_values.h"

using namespace restorix;
using restorix::forge::Bytes;

namespace {

struct NumberCase {
    const char* name;
    std::string decimal;
    Bytes stored;
};

class NumberEncoding : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberEncoding, StoresTheFormatsBytes) {
    EXPECT_EQ(forge::encodeNumber(GetParam().decimal), GetParam().stored);
}

// Twenty base-100 digits: a negative number of full length has no terminator.
const std::string kFortyDigits = "1234567890123456789012345678901234567890";

Bytes fullNegativeMantissa() {
    Bytes stored{0x3E - 19};
    for (int pair = 0; pair < 20; ++pair) {
        const int d = (kFortyDigits[2 * pair] - '0') * 10 + (kFortyDigits[2 * pair + 1] - '0');
        stored.push_back(static_cast<std::uint8_t>(101 - d));
    }
    return stored;
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberEncoding,
    ::testing::Values(NumberCase{"zero", "0", {0x80}},
                      NumberCase{"negativeZero", "-0.00", {0x80}},
                      NumberCase{"units", "7", {0xC1, 0x08}},
                      NumberCase{"plusSign", "+7", {0xC1, 0x08}},
                      NumberCase{"hundreds", "7369", {0xC2, 0x4A, 0x46}},
                      NumberCase{"trailingPairsStripped", "1230000000", {0xC5, 0x0D, 0x1F}},
                      NumberCase{"fraction", "1250.5", {0xC2, 0x0D, 0x33, 0x33}},
                      NumberCase{"leadingPoint", ".5", {0xC0, 0x33}},
                      NumberCase{"hundredths", "0.05", {0xC0, 0x06}},
                      NumberCase{"oddDigitsBelowOne", "0.005", {0xBF, 0x33}},
                      NumberCase{"minusFive", "-5", {0x3E, 0x60, 0x66}},
                      NumberCase{"negativeFraction", "-1234.56", {0x3D, 0x59, 0x43, 0x2D, 0x66}},
                      NumberCase{"smallestPositive", "0." + std::string(129, '0') + "1", {0x80, 0x02}},
                      NumberCase{"smallestNegative", "-0." + std::string(129, '0') + "1", {0x7F, 0x64, 0x66}},
                      NumberCase{"largestExponent", "1" + std::string(125, '0'), {0xFF, 0x0B}},
                      NumberCase{"fullNegative", "-" + kFortyDigits, fullNegativeMantissa()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NumberEncoding, RejectsTextNumberCannotHold) {
    for (const std::string& text :
         {std::string(""), std::string("-"), std::string("."), std::string("1e5"), std::string("1.2.3"),
          std::string("12a"), std::string(" 1"), "1" + kFortyDigits,
          "1" + std::string(126, '0'), "0." + std::string(130, '0') + "1"}) {
        EXPECT_THROW(forge::encodeNumber(text), std::invalid_argument) << '"' << text << '"';
    }
}

TEST(DateEncoding, StoresCenturyYearAndBiasedTime) {
    EXPECT_EQ(forge::encodeDate(2011, 3, 5, 10, 20, 30), (Bytes{0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F}));
    EXPECT_EQ(forge::encodeDate(-4712, 1, 1), (Bytes{0x35, 0x58, 0x01, 0x01, 0x01, 0x01, 0x01}));
    EXPECT_EQ(forge::encodeTimestamp(2011, 3, 5, 10, 20, 30, 0), forge::encodeDate(2011, 3, 5, 10, 20, 30));
    EXPECT_EQ(forge::encodeTimestamp(1999, 12, 31, 23, 59, 59, 12345678),
              (Bytes{0x77, 0xC7, 0x0C, 0x1F, 0x18, 0x3C, 0x3C, 0x00, 0xBC, 0x61, 0x4E}));
}

// The plain decimal text of 0.<digits> x 10^(exponent + 1): the first digit
// weighs 10^exponent.
std::string plainDecimal(bool negative, const std::string& digits, int exponent) {
    const int integerLength = exponent + 1;
    std::string text = negative ? "-" : "";
    const int count = static_cast<int>(digits.size());
    if (integerLength <= 0) return text + "0." + std::string(static_cast<std::size_t>(-integerLength), '0') + digits;
    if (integerLength >= count) return text + digits + std::string(static_cast<std::size_t>(integerLength - count), '0');
    return text + digits.substr(0, static_cast<std::size_t>(integerLength)) + "." +
           digits.substr(static_cast<std::size_t>(integerLength));
}

// "12.0" and "5.50" are the same numbers as "12" and "5.5".
std::string withoutTrailingFractionZeros(std::string text) {
    if (text.find('.') == std::string::npos) return text;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

TEST(NumberRoundTrip, RandomNumbersComeBackExactlyInEveryNumberColumn) {
    std::mt19937 rng(20110305);
    const ColumnKind codes[] = {ColumnKind::NumberInteger, ColumnKind::NumberScaled, ColumnKind::Float,
                         ColumnKind::NumberStar};
    for (int round = 0; round < 3000; ++round) {
        const int significant = 1 + static_cast<int>(rng() % 38);
        std::string digits;
        for (int i = 0; i < significant; ++i) {
            const bool edge = i == 0 || i == significant - 1;  // no leading or trailing zero
            digits += static_cast<char>(edge ? '1' + rng() % 9 : '0' + rng() % 10);
        }
        const int exponent = -130 + static_cast<int>(rng() % 256);  // -130 ... 125
        const std::string expected = plainDecimal(rng() % 2 == 0, digits, exponent);

        const Bytes stored = forge::encodeNumber(expected);
        for (const ColumnKind code : codes) {
            const FormattedValue value = formatColumnValue(code, stored);
            EXPECT_EQ(value.kind, ValueKind::Number);
            ASSERT_EQ(withoutTrailingFractionZeros(value.text), expected) << "kind " << static_cast<int>(code);
        }
    }
}

TEST(DateRoundTrip, RandomDatesAndTimestampsComeBackExactly) {
    std::mt19937 rng(1999);
    for (int round = 0; round < 3000; ++round) {
        int year = -4712 + static_cast<int>(rng() % (9999 + 4712));
        if (year >= 0) ++year;  // there is no year 0
        const int month = 1 + static_cast<int>(rng() % 12);
        const int day = 1 + static_cast<int>(rng() % 28);
        const int hour = static_cast<int>(rng() % 24);
        const int minute = static_cast<int>(rng() % 60);
        const int second = static_cast<int>(rng() % 60);
        const std::uint32_t nanoseconds = rng() % 3 == 0 ? 0 : static_cast<std::uint32_t>(rng() % 1000000000);

        char buffer[96];
        std::snprintf(buffer, sizeof buffer, "%s%04d-%02d-%02d %02d:%02d:%02d", year < 0 ? "-" : "",
                      year < 0 ? -year : year, month, day, hour, minute, second);
        const std::string dateText = buffer;
        std::string fraction;
        if (nanoseconds != 0) {
            std::snprintf(buffer, sizeof buffer, ".%09u", static_cast<unsigned>(nanoseconds));
            fraction = buffer;
            while (fraction.back() == '0') fraction.pop_back();
        }

        const FormattedValue date =
            formatColumnValue(ColumnKind::Date, forge::encodeDate(year, month, day, hour, minute, second));
        ASSERT_EQ(date.text, dateText);
        EXPECT_EQ(date.kind, ValueKind::Date);
        const FormattedValue stamp = formatColumnValue(
            ColumnKind::Timestamp, forge::encodeTimestamp(year, month, day, hour, minute, second, nanoseconds));
        ASSERT_EQ(stamp.text, dateText + fraction);
        EXPECT_EQ(stamp.kind, ValueKind::Timestamp);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Random values through the forge's encoders and the decoders come back
// exactly.

namespace {

template <typename Float, typename Bits>
void expectBinaryFloatsRoundTrip(ColumnKind columnKind, Bytes (*encode)(Float), std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    for (int round = 0; round < 20000; ++round) {
        const Float value = std::bit_cast<Float>(static_cast<Bits>(rng()));
        const FormattedValue decoded = formatColumnValue(columnKind, encode(value));
        if (std::isnan(value)) {
            EXPECT_EQ(decoded.text, "NaN");
            continue;
        }
        if (std::isinf(value)) {
            EXPECT_EQ(decoded.text, value < 0 ? "-Inf" : "Inf");
            continue;
        }
        Float read{};
        const auto [end, error] = std::from_chars(decoded.text.data(), decoded.text.data() + decoded.text.size(), read);
        ASSERT_TRUE(error == std::errc() && end == decoded.text.data() + decoded.text.size()) << decoded.text;
        ASSERT_EQ(std::bit_cast<Bits>(read), std::bit_cast<Bits>(value)) << decoded.text;
    }
}

std::string twoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// "HH:MI:SS" and, when there are nanoseconds, "." and their digits without trailing zeros.
std::string timeText(int hour, int minute, int second, std::uint32_t nanoseconds) {
    std::string text = twoDigits(hour) + ":" + twoDigits(minute) + ":" + twoDigits(second);
    if (nanoseconds == 0) return text;
    std::string fraction = std::to_string(nanoseconds);
    fraction.insert(0, 9 - fraction.size(), '0');
    return text + "." + fraction.substr(0, fraction.find_last_not_of('0') + 1);
}

}  // namespace

TEST(ForgedValuesRoundTrip, BinaryFloatsAndDoubles) {
    expectBinaryFloatsRoundTrip<float, std::uint32_t>(ColumnKind::BinaryFloat, forge::encodeBinaryFloat, 11);
    expectBinaryFloatsRoundTrip<double, std::uint64_t>(ColumnKind::BinaryDouble, forge::encodeBinaryDouble, 12);
}

TEST(ForgedValuesRoundTrip, TimestampsWithTimeZone) {
    std::mt19937 rng(13);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    const forge::ColumnType type = forge::parseColumnType("TIMESTAMP(9) WITH TIME ZONE");
    for (int round = 0; round < 5000; ++round) {
        const int year = between(1600, 9998), month = between(1, 12);
        const int day = between(1, static_cast<int>(static_cast<unsigned>(
                                       std::chrono::year_month_day_last(std::chrono::year(year),
                                                                        std::chrono::month_day_last(std::chrono::month(
                                                                            static_cast<unsigned>(month))))
                                           .day())));
        const auto nanoseconds = round % 3 == 0 ? 0u : static_cast<std::uint32_t>(between(0, 999'999'999));
        const int offset = between(-12 * 60, 14 * 60);
        const char sign = offset < 0 ? '-' : '+';
        const std::string text = std::to_string(year) + "-" + twoDigits(month) + "-" + twoDigits(day) + " " +
                                 timeText(between(0, 23), between(0, 59), between(0, 59), nanoseconds) + " " + sign +
                                 twoDigits(std::abs(offset) / 60) + ":" + twoDigits(std::abs(offset) % 60);
        const FormattedValue decoded = formatColumnValue(ColumnKind::TimestampZone, forge::encodeValue(type, text));
        ASSERT_EQ(decoded.kind, ValueKind::TimestampZone) << text;
        ASSERT_EQ(decoded.text, text);
    }
}

TEST(ForgedValuesRoundTrip, Intervals) {
    std::mt19937 rng(14);
    const auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    const forge::ColumnType yearMonth = forge::parseColumnType("INTERVAL YEAR(9) TO MONTH");
    const forge::ColumnType daySecond = forge::parseColumnType("INTERVAL DAY(9) TO SECOND(9)");
    for (int round = 0; round < 5000; ++round) {
        const std::string sign = round % 2 == 0 ? "-" : "";
        const std::string years = sign + std::to_string(between(0, 999'999'999)) + "-" + std::to_string(between(0, 11));
        const FormattedValue months = formatColumnValue(ColumnKind::IntervalYearMonth, forge::encodeValue(yearMonth, years));
        ASSERT_EQ(months.kind, ValueKind::IntervalYearMonth) << years;
        // "-0-0" is the zero interval, which has no sign.
        ASSERT_EQ(months.text, years == "-0-0" ? "0-0" : years);

        std::string fraction = std::to_string(between(0, 999'999'999));
        fraction.insert(0, 9 - fraction.size(), '0');
        const std::string days = sign + std::to_string(between(1, 999'999'999)) + " " + twoDigits(between(0, 23)) +
                                 ":" + twoDigits(between(0, 59)) + ":" + twoDigits(between(0, 59)) + "." + fraction;
        const FormattedValue seconds = formatColumnValue(ColumnKind::IntervalDaySecond, forge::encodeValue(daySecond, days));
        ASSERT_EQ(seconds.kind, ValueKind::IntervalDaySecond) << days;
        ASSERT_EQ(seconds.text, days);
    }
}
