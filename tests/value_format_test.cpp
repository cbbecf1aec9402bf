#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tabledata/value_format.h"

using namespace restorix;

namespace {

using ByteList = std::vector<std::uint8_t>;

struct ValueCase {
    const char* name;
    ColumnKind columnKind;
    ByteList bytes;
    std::string text;
    ValueKind kind;
};

std::ostream& operator<<(std::ostream& out, const ValueCase& c) { return out << c.name; }

class ColumnValue : public ::testing::TestWithParam<ValueCase> {};

std::string caseName(const ::testing::TestParamInfo<ValueCase>& info) { return info.param.name; }

// An exponent byte followed by `count` copies of one digit byte.
ByteList longMantissa(std::uint8_t exponent, std::uint8_t digit, std::size_t count) {
    ByteList bytes(count + 1, digit);
    bytes[0] = exponent;
    return bytes;
}

std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

TEST_P(ColumnValue, FormatsTheStoredBytes) {
    const ValueCase& c = GetParam();
    const FormattedValue value = formatColumnValue(c.columnKind, c.bytes);
    EXPECT_EQ(value.text, c.text);
    EXPECT_EQ(value.kind, c.kind);
}

constexpr ValueKind kNumber = ValueKind::Number;
constexpr ColumnKind kInt = ColumnKind::NumberInteger;
constexpr ColumnKind kScaled = ColumnKind::NumberScaled;
constexpr ColumnKind kPrecision = ColumnKind::Float;
constexpr ColumnKind kScaleOnly = ColumnKind::NumberStar;

INSTANTIATE_TEST_SUITE_P(
    IntegerColumns, ColumnValue,
    ::testing::Values(
        ValueCase{"7369", kInt, {0xC2, 0x4A, 0x46}, "7369", kNumber},
        ValueCase{"800", kInt, {0xC2, 0x09}, "800", kNumber},
        ValueCase{"20", kInt, {0xC1, 0x15}, "20", kNumber},
        ValueCase{"zero", kInt, {0x80}, "0", kNumber},
        ValueCase{"99", kInt, {0xC1, 0x64}, "99", kNumber},
        ValueCase{"fractionIsKept", kInt, {0xC2, 0x0D, 0x33, 0x33}, "1250.5", kNumber},
        ValueCase{"scaledColumnKeepsCents", kScaled, {0xC2, 0x0D, 0x23, 0x39}, "1234.56", kNumber},
        ValueCase{"12345", kInt, {0xC3, 0x02, 0x18, 0x2E}, "12345", kNumber},
        ValueCase{"10000", kInt, {0xC3, 0x02}, "10000", kNumber},
        ValueCase{"million", kInt, {0xC4, 0x02}, "1000000", kNumber},
        ValueCase{"nineDigits", kInt, {0xC5, 0x02, 0x18, 0x2E, 0x44, 0x5A}, "123456789", kNumber},
        ValueCase{"1200000000", kInt, {0xC5, 0x0D}, "1200000000", kNumber},
        ValueCase{"threeByteBillion", kInt, {0xC5, 0x0D, 0x1F}, "1230000000", kNumber},
        ValueCase{"tenBillion", kInt, {0xC6, 0x02}, "10000000000", kNumber},
        ValueCase{"half", kInt, {0xC0, 0x33}, "0.5", kNumber},
        ValueCase{"minusFive", kInt, {0x3E, 0x60, 0x66}, "-5", kNumber},
        ValueCase{"minus1234_56", kScaled, {0x3D, 0x59, 0x43, 0x2D, 0x66}, "-1234.56", kNumber},
        ValueCase{"fiveByteFraction", kInt, {0xC3, 0x02, 0x18, 0x2E, 0x33}, "12345.5", kNumber},
        ValueCase{"smallestPositive", kInt, {0x80, 0x02}, "0." + std::string(129, '0') + "1", kNumber},
        // Bytes that are no NUMBER keep the integer decoder's text.
        ValueCase{"zeroDigitByte", kInt, {0xC3, 0x02, 0x00, 0x2E}, "20046", kNumber},
        ValueCase{"infinity", kInt, {0xFF, 0x65}, "", kNumber},
        ValueCase{"empty", kInt, {}, "", kNumber}), caseName);

INSTANTIATE_TEST_SUITE_P(
    PrecisionColumns, ColumnValue,
    ::testing::Values(
        ValueCase{"3_14", kPrecision, {0xC1, 0x04, 0x0F}, "3.14", kNumber},
        ValueCase{"1_05", kPrecision, {0xC1, 0x02, 0x06}, "1.05", kNumber},
        ValueCase{"12_0", kPrecision, {0xC1, 0x0D}, "12.0", kNumber},
        ValueCase{"5_50", kPrecision, {0xC1, 0x06, 0x33}, "5.50", kNumber},
        ValueCase{"1234_5000", kPrecision, {0xC2, 0x0D, 0x23, 0x33}, "1234.5000", kNumber},
        ValueCase{"1234_0500", kPrecision, {0xC2, 0x0D, 0x23, 0x06}, "1234.0500", kNumber},
        ValueCase{"1234_0567", kPrecision, {0xC2, 0x0D, 0x23, 0x06, 0x44}, "1234.0567", kNumber},
        ValueCase{"123_4560", kPrecision, {0xC2, 0x02, 0x18, 0x2E, 0x3D}, "123.4560", kNumber},
        ValueCase{"0_25", kPrecision, {0xC0, 0x1A}, "0.25", kNumber},
        ValueCase{"0_05", kPrecision, {0xC0, 0x06}, "0.05", kNumber},
        ValueCase{"0_0102", kPrecision, {0xC0, 0x02, 0x03}, "0.0102", kNumber},
        ValueCase{"12345_0", kPrecision, {0xC3, 0x02, 0x18, 0x2E}, "12345.0", kNumber},
        ValueCase{"fiveByteFraction", kPrecision, {0xC3, 0x02, 0x18, 0x2E, 0x33}, "12345.5", kNumber},
        ValueCase{"digitsPastTheTable", kPrecision, {0xC1, 0x02, 0x03, 0x04, 0x05}, "1.020304", kNumber},
        ValueCase{"negative", kPrecision, {0x3E, 0x60, 0x66}, "-5", kNumber},
        ValueCase{"zero", kPrecision, {0x80}, "0", kNumber},
        // NUMBER(*, s) has no narrow decoder: exact value, or NULL for bad bytes.
        ValueCase{"scaleOnly", kScaleOnly, {0xC1, 0x06, 0x33}, "5.5", kNumber},
        ValueCase{"scaleOnlyZero", kScaleOnly, {0x80}, "0", kNumber},
        ValueCase{"scaleOnlyBadDigit", kScaleOnly, {0xC1, 0x65}, "NULL", ValueKind::NoDecoder},
        // Damaged bytes: a mantissa far longer than a NUMBER holds is still
        // read whole, and a digit byte out of range anywhere spoils it.
        ValueCase{"scaleOnlyLongMantissa", kScaleOnly, longMantissa(0xC1, 0x0B, 100), "10." + repeated("10", 98) + "1", kNumber},
        ValueCase{"scaleOnlyLongMantissaTinyValue", kScaleOnly, longMantissa(0x80, 0x02, 60),
                  "0." + std::string(128, '0') + repeated("01", 60), kNumber},
        ValueCase{"scaleOnlyBadLastDigit", kScaleOnly, {0xC1, 0x02, 0x03, 0x00}, "NULL", ValueKind::NoDecoder}), caseName);

constexpr ColumnKind kDate = ColumnKind::Date;
constexpr ColumnKind kStamp = ColumnKind::Timestamp;
constexpr ValueKind kBadDate = ValueKind::InvalidDate;

INSTANTIATE_TEST_SUITE_P(
    Dates, ColumnValue,
    ::testing::Values(
        ValueCase{"withTime", kDate, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F}, "2011-03-05 10:20:30", ValueKind::Date},
        ValueCase{"newYearsEve", kDate, {0x77, 0xC7, 0x0C, 0x1F, 0x01, 0x01, 0x01}, "1999-12-31 00:00:00", ValueKind::Date},
        ValueCase{"lastSecondOfDay", kDate, {0x78, 0x6F, 0x03, 0x05, 0x18, 0x3C, 0x3C}, "2011-03-05 23:59:59", ValueKind::Date},
        ValueCase{"leap2000", kDate, {0x78, 0x64, 0x02, 0x1D, 0x01, 0x01, 0x01}, "2000-02-29 00:00:00", ValueKind::Date},
        ValueCase{"julianLeap1500", kDate, {0x73, 0x64, 0x02, 0x1D, 0x01, 0x01, 0x01}, "1500-02-29 00:00:00", ValueKind::Date},
        ValueCase{"earliestYear", kDate, {0x35, 0x58, 0x01, 0x01, 0x01, 0x01, 0x01}, "-4712-01-01 00:00:00", ValueKind::Date},
        ValueCase{"oneBcIsLeap", kDate, {0x64, 0x63, 0x02, 0x1D, 0x01, 0x01, 0x01}, "-0001-02-29 00:00:00", ValueKind::Date},
        // Years past four digits keep all of theirs.
        ValueCase{"fiveDigitYear", kDate, {0xFF, 0xFF, 0x01, 0x01, 0x01, 0x01, 0x01}, "15655-01-01 00:00:00", ValueKind::Date},
        ValueCase{"fiveDigitYearBc", kDate, {0x00, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01}, "-10100-01-01 00:00:00", ValueKind::Date},
        ValueCase{"yearZero", kDate, {0x64, 0x64, 0x01, 0x01, 0x01, 0x01, 0x01}, "0000-01-01 00:00:00", ValueKind::Date},
        ValueCase{"stampNanos", kStamp, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F, 0x00, 0xBC, 0x61, 0x4E}, "2011-03-05 10:20:30.012345678", ValueKind::Timestamp},
        ValueCase{"stampHalfSecond", kStamp, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F, 0x1D, 0xCD, 0x65, 0x00}, "2011-03-05 10:20:30.5", ValueKind::Timestamp},
        ValueCase{"stampZeroNanos", kStamp, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F, 0, 0, 0, 0}, "2011-03-05 10:20:30", ValueKind::Timestamp},
        ValueCase{"stampSevenBytes", kStamp, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F}, "2011-03-05 10:20:30", ValueKind::Timestamp},
        // No valid date: the day-month-year text.
        ValueCase{"month13", kDate, {0x78, 0x6F, 0x0D, 0x05, 0x01, 0x01, 0x01}, "5-- 2011", kBadDate},
        ValueCase{"sept31", kDate, {0x78, 0x6F, 0x09, 0x1F, 0x01, 0x01, 0x01}, "31-Sept- 2011", kBadDate},
        ValueCase{"feb30", kDate, {0x78, 0x6F, 0x02, 0x1E, 0x01, 0x01, 0x01}, "30-Feb- 2011", kBadDate},
        ValueCase{"feb29of1900", kDate, {0x77, 0x64, 0x02, 0x1D, 0x01, 0x01, 0x01}, "29-Feb- 1900", kBadDate},
        ValueCase{"day0", kDate, {0x78, 0x6F, 0x03, 0x00, 0x01, 0x01, 0x01}, "0-Mar- 2011", kBadDate},
        ValueCase{"hourByte0", kDate, {0x78, 0x6F, 0x03, 0x05, 0x00, 0x01, 0x01}, "5-Mar- 2011", kBadDate},
        ValueCase{"hourByte25", kDate, {0x78, 0x6F, 0x03, 0x05, 0x19, 0x01, 0x01}, "5-Mar- 2011", kBadDate},
        ValueCase{"minuteByte61", kDate, {0x78, 0x6F, 0x03, 0x05, 0x01, 0x3D, 0x01}, "5-Mar- 2011", kBadDate},
        ValueCase{"secondByte0", kDate, {0x78, 0x6F, 0x03, 0x05, 0x01, 0x01, 0x00}, "5-Mar- 2011", kBadDate},
        ValueCase{"dateOf11Bytes", kDate, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F, 0, 0, 0, 1}, "5-Mar- 2011", kBadDate},
        ValueCase{"stampOf8Bytes", kStamp, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F, 0}, "5-Mar- 2011", kBadDate},
        ValueCase{"billionNanos", kStamp, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F, 0x3B, 0x9A, 0xCA, 0x00}, "5-Mar- 2011", kBadDate},
        ValueCase{"truncated", kDate, {0x78, 0x6F}, "0-- 2011", kBadDate}), caseName);

constexpr ValueKind kText = ValueKind::Text;

INSTANTIATE_TEST_SUITE_P(
    TextAndOtherTypes, ColumnValue,
    ::testing::Values(
        ValueCase{"charKeepsBlanks", ColumnKind::Char, {0x41, 0x42, 0x20}, "AB ", kText},
        ValueCase{"charEndsAtZero", ColumnKind::Char, {0x41, 0x00, 0x42}, "A", kText},
        ValueCase{"varchar2ZeroBecomesSpace", ColumnKind::Varchar2, {0x41, 0x00, 0x42}, "A B", kText},
        ValueCase{"varchar2CodePage", ColumnKind::Varchar2, {0x43, 0x61, 0x66, 0xE9, 0x80}, "Caf\u00E9\u20AC", kText},
        ValueCase{"varchar2TheWordNull", ColumnKind::Varchar2, {'N', 'U', 'L', 'L'}, "NULL", kText},
        ValueCase{"varchar2Empty", ColumnKind::Varchar2, {}, "", kText},
        ValueCase{"charOnlyZero", ColumnKind::Char, {0x00, 0x41}, "", kText},
        ValueCase{"varchar2ZerosAndCodePageInALongValue", ColumnKind::Varchar2,
                  {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 0x00, 0xE9, 'q', 0x00},
                  "abcdefghijklmnop éq ", kText},
        ValueCase{"clob", ColumnKind::Clob, {0x00, 0x54, 0x00, 0x01}, " ", ValueKind::Lob},
        ValueCase{"blob", ColumnKind::Blob, {0x00, 0x54, 0x00, 0x01}, " ", ValueKind::Lob},
        ValueCase{"longAsVarchar2", ColumnKind::Long, {0x41, 0x00, 0x42}, "A B", kText},
        ValueCase{"rawUpperCaseHex", ColumnKind::Raw, {0x0A, 0xFF}, "0AFF", ValueKind::Raw},
        ValueCase{"longRaw", ColumnKind::LongRaw, {0x41}, "41", ValueKind::Raw},
        ValueCase{"rowid", ColumnKind::Rowid, {0x41}, "NULL", ValueKind::NoDecoder},
        ValueCase{"timestampWithLocalTimeZone", ColumnKind::TimestampLocal, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F}, "2011-03-05 10:20:30",
                  ValueKind::Timestamp}), caseName);

constexpr ValueKind kUndecodable = ValueKind::Undecodable;
constexpr ColumnKind kTimestampZone = ColumnKind::TimestampZone, kYearMonth = ColumnKind::IntervalYearMonth,
                     kDaySecond = ColumnKind::IntervalDaySecond, kNvarchar2 = ColumnKind::NationalVarchar2,
                     kNchar = ColumnKind::NationalChar;

INSTANTIATE_TEST_SUITE_P(
    BinaryFloats, ColumnValue,
    ::testing::Values(
        ValueCase{"floatOneAndAHalf", ColumnKind::BinaryFloat, {0xBF, 0xC0, 0x00, 0x00}, "1.5", ValueKind::BinaryFloat},
        ValueCase{"floatMinusATenth", ColumnKind::BinaryFloat, {0x42, 0x33, 0x33, 0x32}, "-0.1", ValueKind::BinaryFloat},
        ValueCase{"floatInfinity", ColumnKind::BinaryFloat, {0xFF, 0x80, 0x00, 0x00}, "Inf", ValueKind::BinaryFloat},
        ValueCase{"floatMinusInfinity", ColumnKind::BinaryFloat, {0x00, 0x7F, 0xFF, 0xFF}, "-Inf", ValueKind::BinaryFloat},
        ValueCase{"floatShort", ColumnKind::BinaryFloat, {0xBF, 0xC0, 0x00}, "NULL", kUndecodable},
        ValueCase{"doubleTenToTheTwenty", ColumnKind::BinaryDouble, {0xC4, 0x15, 0xAF, 0x1D, 0x78, 0xB5, 0x8C, 0x40}, "1e+20",
                  ValueKind::BinaryDouble},
        ValueCase{"doubleNaN", ColumnKind::BinaryDouble, {0xFF, 0xF8, 0, 0, 0, 0, 0, 0}, "NaN", ValueKind::BinaryDouble}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    TimeZonesAndIntervals, ColumnValue,
    ::testing::Values(
        ValueCase{"zoneAheadOfUtc", kTimestampZone,
                  {0x78, 0x6F, 3, 5, 11, 21, 31, 0x1D, 0xCD, 0x65, 0x00, 22, 60}, "2011-03-05 12:20:30.5 +02:00",
                  ValueKind::TimestampZone},
        ValueCase{"zoneBehindIntoThePreviousDay", kTimestampZone, {0x78, 0x6F, 3, 1, 3, 1, 1, 0, 0, 0, 0, 15, 30},
                  "2011-02-28 20:30:00 -05:30", ValueKind::TimestampZone},
        ValueCase{"zoneAheadIntoTheNextYear", kTimestampZone, {0x78, 0x6F, 12, 31, 24, 1, 1, 0, 0, 0, 0, 21, 60},
                  "2012-01-01 00:00:00 +01:00", ValueKind::TimestampZone},
        ValueCase{"regionIdKeepsTheUtcInstant", kTimestampZone,
                  {0x78, 0x6F, 3, 5, 11, 21, 31, 0, 0, 0, 0, 0x84, 0x2C}, "2011-03-05 10:20:30 +00:00",
                  ValueKind::TimestampZone},
        ValueCase{"zoneMinutesOutOfRange", kTimestampZone, {0x78, 0x6F, 3, 5, 11, 21, 31, 0, 0, 0, 0, 22, 0}, "NULL",
                  kUndecodable},
        ValueCase{"zoneWithoutItsZoneBytes", kTimestampZone, {0x78, 0x6F, 3, 5, 11, 21, 31}, "NULL", kUndecodable},
        ValueCase{"zoneMonth13", kTimestampZone, {0x78, 0x6F, 13, 5, 11, 21, 31, 0, 0, 0, 0, 22, 60}, "NULL",
                  kUndecodable},
        ValueCase{"yearsAndMonths", kYearMonth, {0x80, 0, 0, 2, 63}, "2-3", ValueKind::IntervalYearMonth},
        ValueCase{"negativeYearsAndMonths", kYearMonth, {0x7F, 0xFF, 0xFF, 0xFE, 57}, "-2-3",
                  ValueKind::IntervalYearMonth},
        ValueCase{"thirteenMonths", kYearMonth, {0x80, 0, 0, 2, 73}, "NULL", kUndecodable},
        ValueCase{"daysToNanoseconds", kDaySecond, {0x80, 0, 0, 4, 65, 72, 70, 0x8D, 0x3B, 0x73, 0x80},
                  "4 05:12:10.222000000", ValueKind::IntervalDaySecond},
        ValueCase{"negativeDaysToNanoseconds", kDaySecond, {0x7F, 0xFF, 0xFF, 0xFF, 58, 60, 60, 0x62, 0x32, 0x9B, 0x00},
                  "-1 02:00:00.500000000", ValueKind::IntervalDaySecond},
        ValueCase{"mixedSigns", kDaySecond, {0x80, 0, 0, 1, 59, 60, 60, 0x80, 0, 0, 0}, "NULL", kUndecodable},
        ValueCase{"hour24", kDaySecond, {0x80, 0, 0, 1, 84, 60, 60, 0x80, 0, 0, 0}, "NULL", kUndecodable}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    NationalText, ColumnValue,
    ::testing::Values(
        ValueCase{"utf16WithASurrogatePair", kNvarchar2, {0x00, 0x41, 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00},
                  "A\u00E9\U0001F600", ValueKind::NationalText},
        ValueCase{"ncharKeepsItsBlanks", kNchar, {0x00, 0x41, 0x00, 0x20}, "A ", ValueKind::NationalText},
        ValueCase{"oddLength", kNchar, {0x00}, "NULL", kUndecodable},
        ValueCase{"loneLowSurrogate", kNvarchar2, {0xDC, 0x00}, "NULL", kUndecodable},
        ValueCase{"highSurrogateAtTheEnd", kNvarchar2, {0x00, 0x41, 0xD8, 0x3D}, "NULL", kUndecodable}),
    caseName);

// The UTF8 national character set: UTF-8, with a supplementary character
// possibly stored as its two surrogates encoded one by one.
TEST(NationalValue, ReadsTheUtf8NationalSet) {
    const auto text = [](ByteList bytes) {
        return formatColumnValue(kNvarchar2, bytes, NationalCharset::Utf8);
    };
    EXPECT_EQ(text({0x41, 0xC3, 0xA9}).text, "A\u00E9");
    EXPECT_EQ(text({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}).text, "\U0001F600");
    EXPECT_EQ(text({0xF0, 0x9F, 0x98, 0x80}).text, "\U0001F600");
    EXPECT_EQ(text({0x41, 0xC3}).kind, kUndecodable);
    EXPECT_EQ(text({0xC0, 0x81}).kind, kUndecodable);  // overlong
}

// Hostile bytes: every decoder answers without reading past the value, and a
// NUMBER that the bytes do hold is always written with its exact value.
TEST(ColumnValueRandomBytes, NeverFailsAndKeepsExactNumbers) {
    std::mt19937 rng(7);
    const ColumnKind codes[] = {kInt,         kScaled,       kPrecision, kScaleOnly, kDate,      kStamp,
                         ColumnKind::Char, ColumnKind::Varchar2, ColumnKind::Clob, ColumnKind::Other, ColumnKind::Raw, ColumnKind::BinaryFloat, ColumnKind::BinaryDouble,
                         kTimestampZone, kYearMonth, kDaySecond, kNvarchar2, kNchar};
    for (int round = 0; round < 4000; ++round) {
        ByteList bytes(rng() % 24);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
        if (!bytes.empty() && round % 2 == 0) bytes[0] = static_cast<std::uint8_t>(0xBC + rng() % 10);
        const std::optional<std::string> exact = decodeNumber(bytes);
        for (const ColumnKind code : codes) {
            const FormattedValue value = formatColumnValue(code, bytes);
            if (code == kDate || code == kStamp) {
                EXPECT_TRUE(value.kind == ValueKind::InvalidDate || value.kind == ValueKind::Date ||
                            value.kind == ValueKind::Timestamp);
            }
            if (exact && (code == kInt || code == kScaled || code == kPrecision || code == kScaleOnly)) {
                std::string text = value.text;
                if (text.find('.') != std::string::npos) {
                    while (text.back() == '0') text.pop_back();
                    if (text.back() == '.') text.pop_back();
                }
                EXPECT_EQ(text, *exact) << "kind " << static_cast<int>(code);
            }
        }
    }
}

// BINARY_DOUBLE bytes of a number: the sign bit set on a positive one, every
// bit inverted on a negative one, big-endian.
ByteList storedDouble(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
    const std::uint64_t stored = (bits & kSign) ? ~bits : bits | kSign;
    ByteList bytes(8);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(stored >> (56 - 8 * i));
    return bytes;
}

// A BINARY_DOUBLE is written as std::to_chars writes it, whether the short
// way finds its digits or leaves them to std::to_chars: numbers of few
// digits at every scale, their neighbours, powers of two and ten, whole
// numbers past 2^53, the scaling's edges at 10^14 and 10^15, random bits.
TEST(BinaryDoubleText, IsTheShortestTextThatReadsBack) {
    std::vector<double> values = {0.0, -0.0, 0.1, 1e14, 1e15, 999999999999999.9, 9.999999999999999e14, 1e23,
                                  5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, 123456789012345680000.0,
                                  12300000000000001048576.0, 9007199254740993.0, 1e-22, 1e22, 1e-23, 8.643e37};
    std::mt19937_64 rng(3);
    for (int e = -40; e <= 40; ++e) {
        for (int i = 0; i < 200; ++i) {
            const double digits = static_cast<double>(rng() % 1000000) / std::pow(10.0, static_cast<double>(rng() % 7));
            const double value = std::strtod((std::to_string(digits) + "e" + std::to_string(e)).c_str(), nullptr);
            values.insert(values.end(), {value, std::nextafter(value, 0.0), std::nextafter(value, 1e308), -value});
        }
    }
    for (int e = -1074; e <= 1023; e += 7) values.push_back(std::ldexp(1.0, e));
    for (int e = -30; e <= 30; ++e) values.push_back(std::pow(10.0, e));
    for (int i = 0; i < 20000; ++i) {
        values.push_back(std::bit_cast<double>(rng()));
        values.push_back(static_cast<double>(rng() >> (rng() % 64)));
    }
    for (const double value : values) {
        if (!std::isfinite(value)) continue;
        std::array<char, 64> expected;
        const char* const end = std::to_chars(expected.data(), expected.data() + expected.size(), value).ptr;
        ASSERT_EQ(formatColumnValue(ColumnKind::BinaryDouble, storedDouble(value)).text,
                  std::string(expected.data(), static_cast<std::size_t>(end - expected.data())))
            << std::hexfloat << value;
    }
}

// A text reused from value to value: whatever it held before, it ends up
// holding exactly what formatting into a fresh one gives.
TEST(ColumnValueInto, ReplacesWhatTheTextHeld) {
    std::mt19937 rng(11);
    const ColumnKind codes[] = {kInt, kScaled, kPrecision, kScaleOnly, kDate, kStamp, ColumnKind::Char,
                         ColumnKind::Varchar2, ColumnKind::Clob, ColumnKind::Raw};
    std::string reused = std::string(300, '#');
    for (int round = 0; round < 2000; ++round) {
        ByteList bytes(rng() % 40);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0xC1 + rng() % 4 : rng());
        const ColumnKind code = codes[rng() % std::size(codes)];
        const FormattedValue fresh = formatColumnValue(code, bytes);
        EXPECT_EQ(formatColumnValueInto(code, bytes, reused), fresh.kind);
        ASSERT_EQ(reused, fresh.text) << "kind " << static_cast<int>(code) << ", round " << round;
    }
}

// Text columns as the code page and the zero rules define them, over lengths
// and positions that cross the scanner's eight- and sixteen-byte steps.
TEST(ColumnValueText, MatchesTheCharacterByCharacterRules) {
    std::mt19937 rng(5);
    const std::uint8_t alphabet[] = {'a', 'Z', ' ', '\'', 0x00, 0x7F, 0x80, 0xE9, 0xFF};
    for (int round = 0; round < 3000; ++round) {
        ByteList bytes(rng() % 50);
        for (auto& b : bytes) b = rng() % 6 == 0 ? alphabet[rng() % std::size(alphabet)] : static_cast<std::uint8_t>('a' + rng() % 26);

        ByteList beforeZero(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
        ByteList zerosAsSpaces = bytes;
        std::replace(zerosAsSpaces.begin(), zerosAsSpaces.end(), std::uint8_t{0}, std::uint8_t{' '});
        EXPECT_EQ(formatColumnValue(ColumnKind::Char, bytes).text, fromCodePage(beforeZero));
        EXPECT_EQ(formatColumnValue(ColumnKind::Varchar2, bytes).text, fromCodePage(zerosAsSpaces));
    }
}

}  // namespace
