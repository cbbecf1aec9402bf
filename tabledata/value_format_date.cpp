// DATE, TIMESTAMP and TIMESTAMP WITH TIME ZONE values, and the intervals.

#include <array>
#include <optional>
#include <string_view>

#include "tabledata/value_format.h"
#include "tabledata/value_format_parts.h"

namespace restorix {

using namespace value_format_parts;

namespace {

using namespace date_layout;

constexpr std::uint32_t kLargestNanoseconds = 999'999'999;
constexpr std::size_t kNanosecondDigits = 9;

struct DateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t nanoseconds = 0;
};

int storedYear(Bytes bytes) {
    return (byteAt(bytes, kCenturyByte) - kYearBias) * 100 + (byteAt(bytes, kYearByte) - kYearBias);
}

// The database counts days in the Julian calendar before 1583 and in the
// Gregorian one from then on; there is no year 0, so 1 BC (year -1) is leap.
bool isLeapYear(int year) {
    const int astronomicalYear = year < 0 ? year + 1 : year;
    if (year < 1583) return astronomicalYear % 4 == 0;
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year)) return 29;
    return kDays[static_cast<std::size_t>(month - 1)];
}

// The date held by the bytes, or nothing when they hold no valid one.
std::optional<DateTime> readDateTime(Bytes bytes, bool fractionAllowed) {
    const bool validLength =
        bytes.size() == kDateLength || (fractionAllowed && bytes.size() == kTimestampLength);
    if (!validLength) return std::nullopt;
    DateTime value;
    value.year = storedYear(bytes);
    value.month = bytes[kMonthByte];
    value.day = bytes[kDayByte];
    value.hour = bytes[kHourByte] - kTimeBias;
    value.minute = bytes[kMinuteByte] - kTimeBias;
    value.second = bytes[kSecondByte] - kTimeBias;
    if (bytes.size() == kTimestampLength) {
        for (std::size_t i = kNanosecondsOffset; i < kTimestampLength; ++i)
            value.nanoseconds = (value.nanoseconds << 8) | bytes[i];
    }
    if (value.month < 1 || value.month > 12) return std::nullopt;
    // Every month has 28 days: the calendar is asked only about the days after.
    if (value.day < 1 || (value.day > 28 && value.day > daysInMonth(value.year, value.month))) return std::nullopt;
    if (value.hour < 0 || value.hour > 23) return std::nullopt;
    if (value.minute < 0 || value.minute > 59) return std::nullopt;
    if (value.second < 0 || value.second > 59) return std::nullopt;
    if (value.nanoseconds > kLargestNanoseconds) return std::nullopt;
    return value;
}

// "YYYY-MM-DD HH24:MI:SS", "-" before years before 1, and ".fraction"
// without trailing zeros when there are nanoseconds. The fields other than
// the year hold two digits, as readDateTime checked.
char* isoText(char* at, const DateTime& value) {
    if (value.year < 0) *at++ = '-';
    at = writeZeroPadded(at, value.year < 0 ? -value.year : value.year, 4);
    *at++ = '-';
    at = writeTwoDigits(at, value.month);
    *at++ = '-';
    at = writeTwoDigits(at, value.day);
    *at++ = ' ';
    at = writeTwoDigits(at, value.hour);
    *at++ = ':';
    at = writeTwoDigits(at, value.minute);
    *at++ = ':';
    at = writeTwoDigits(at, value.second);
    if (value.nanoseconds == 0) return at;
    *at++ = '.';
    // Nine digits: one, then eight by pairs, each divisor a constant (a
    // division by a variable takes a hardware divide).
    at = writeDigit(at, static_cast<int>(value.nanoseconds / 100'000'000));
    at = writeEightDigits(at, value.nanoseconds % 100'000'000);
    while (at[-1] == '0') --at;
    return at;
}

// The day-month-year text kept for bytes that are no valid date: "5-Mar- 2011",
// with an empty month name for a month byte outside 1 to 12.
char* dayMonthYearText(char* at, Bytes bytes) {
    static constexpr std::array<std::string_view, 12> kMonthNames = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sept", "Oct", "Nov", "Dec"};
    const int month = byteAt(bytes, kMonthByte);
    const std::string_view name = month >= 1 && month <= 12 ? kMonthNames[static_cast<std::size_t>(month - 1)] : "";
    at = writeInteger(at, byteAt(bytes, kDayByte));
    *at++ = '-';
    at = std::copy(name.begin(), name.end(), at);
    *at++ = '-';
    *at++ = ' ';
    return writeInteger(at, storedYear(bytes));
}

}  // namespace

// A DATE or TIMESTAMP into kShortTextRoom, with its kind.
char* writeDate(Bytes bytes, bool isTimestamp, char* at, ValueKind& kind) {
    if (const std::optional<DateTime> value = readDateTime(bytes, isTimestamp)) {
        kind = isTimestamp ? ValueKind::Timestamp : ValueKind::Date;
        return isoText(at, *value);
    }
    kind = ValueKind::InvalidDate;
    return dayMonthYearText(at, bytes);
}

namespace {

// ---------------------------------------------------------------------------
// TIMESTAMP WITH TIME ZONE: the UTC time shifted into the zone's local time.

// The day after (or before) a valid date; there is no year 0.
void stepOneDay(DateTime& value, int direction) {
    if (direction > 0) {
        if (++value.day <= daysInMonth(value.year, value.month)) return;
        value.day = 1;
        if (++value.month <= 12) return;
        value.month = 1;
        value.year = value.year == -1 ? 1 : value.year + 1;
        return;
    }
    if (--value.day >= 1) return;
    if (--value.month < 1) {
        value.month = 12;
        value.year = value.year == 1 ? -1 : value.year - 1;
    }
    value.day = daysInMonth(value.year, value.month);
}

// `minutes` (less than a day either way) added to a valid date and time.
DateTime shiftedByMinutes(DateTime value, int minutes) {
    constexpr int kMinutesPerDay = 24 * 60;
    int minuteOfDay = value.hour * 60 + value.minute + minutes;
    if (minuteOfDay < 0) {
        minuteOfDay += kMinutesPerDay;
        stepOneDay(value, -1);
    } else if (minuteOfDay >= kMinutesPerDay) {
        minuteOfDay -= kMinutesPerDay;
        stepOneDay(value, 1);
    }
    value.hour = minuteOfDay / 60;
    value.minute = minuteOfDay % 60;
    return value;
}

// The zone's offset east of UTC in minutes: 0 for a region id, whose name
// is not known (the instant is kept); nothing for an offset no zone has.
std::optional<int> zoneOffsetMinutes(Bytes bytes) {
    const int hourByte = bytes[kZoneHourByte];
    if (hourByte < kFirstOffsetHourByte || hourByte > kLastOffsetHourByte) return 0;
    const int hours = hourByte - kZoneHourBias;
    const int minutes = bytes[kZoneMinuteByte] - kZoneMinuteBias;
    if (minutes <= -60 || minutes >= 60 || (hours > 0 && minutes < 0) || (hours < 0 && minutes > 0))
        return std::nullopt;
    return hours * 60 + minutes;
}

// " +02:00", " -03:30".
char* zoneText(char* at, int offsetMinutes) {
    *at++ = ' ';
    *at++ = offsetMinutes < 0 ? '-' : '+';
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    at = writeTwoDigits(at, magnitude / 60);
    *at++ = ':';
    return writeTwoDigits(at, magnitude % 60);
}

// ---------------------------------------------------------------------------
// Intervals: every field carries the interval's sign.

bool sameSign(std::int64_t a, std::int64_t b) { return !(a > 0 && b < 0) && !(a < 0 && b > 0); }

}  // namespace

namespace value_format_parts {

ValueKind dateValue(Bytes bytes, bool isTimestamp, std::string& text) {
    ValueKind kind = ValueKind::InvalidDate;
    appendShortText<kShortTextRoom>(text, [&](char* at) { return writeDate(bytes, isTimestamp, at, kind); });
    return kind;
}

ValueKind timestampZoneValue(Bytes bytes, std::string& text) {
    if (bytes.size() != kTimestampZoneLength) return undecodable(text);
    const std::optional<DateTime> utc = readDateTime(bytes.first(kTimestampLength), true);
    const std::optional<int> offset = zoneOffsetMinutes(bytes);
    if (!utc || !offset) return undecodable(text);
    const DateTime local = shiftedByMinutes(*utc, *offset);
    appendShortText<kShortTextRoom>(text, [&](char* at) { return zoneText(isoText(at, local), *offset); });
    return ValueKind::TimestampZone;
}

ValueKind intervalYearMonthValue(Bytes bytes, std::string& text) {
    using namespace interval_layout;
    if (bytes.size() != kYearMonthLength) return undecodable(text);
    const std::int64_t years = static_cast<std::int64_t>(bigEndian(bytes, 0, 4)) - kWideBias;
    const int months = bytes[kMonthsByte] - kFieldBias;
    if (months < -11 || months > 11 || !sameSign(years, months)) return undecodable(text);
    const bool negative = years < 0 || months < 0;
    appendShortText<kShortTextRoom>(text, [&](char* at) {
        if (negative) *at++ = '-';
        at = writeInteger(at, negative ? -years : years);
        *at++ = '-';
        return writeInteger(at, negative ? -months : months);
    });
    return ValueKind::IntervalYearMonth;
}

ValueKind intervalDaySecondValue(Bytes bytes, std::string& text) {
    using namespace interval_layout;
    if (bytes.size() != kDaySecondLength) return undecodable(text);
    const std::int64_t days = static_cast<std::int64_t>(bigEndian(bytes, 0, 4)) - kWideBias;
    const std::array<int, 3> time = {bytes[kHoursByte] - kFieldBias, bytes[kMinutesByte] - kFieldBias,
                                     bytes[kSecondsByte] - kFieldBias};
    const std::int64_t nanoseconds = static_cast<std::int64_t>(bigEndian(bytes, kIntervalNanosecondsOffset, 4)) - kWideBias;
    const std::array<int, 3> largest = {23, 59, 59};
    std::int64_t sign = days != 0 ? days : nanoseconds;
    for (std::size_t i = 0; i < time.size(); ++i) {
        if (time[i] < -largest[i] || time[i] > largest[i] || !sameSign(sign, time[i])) return undecodable(text);
        if (sign == 0) sign = time[i];
    }
    if (nanoseconds < -std::int64_t{kLargestNanoseconds} || nanoseconds > kLargestNanoseconds ||
        !sameSign(sign, nanoseconds))
        return undecodable(text);
    const bool negative = sign < 0;
    const auto magnitude = [&](std::int64_t field) { return negative ? -field : field; };
    appendShortText<kShortTextRoom>(text, [&](char* at) {
        if (negative) *at++ = '-';
        at = writeInteger(at, magnitude(days));
        for (std::size_t i = 0; i < time.size(); ++i) {
            *at++ = i == 0 ? ' ' : ':';
            at = writeTwoDigits(at, static_cast<int>(magnitude(time[i])));
        }
        *at++ = '.';
        return writeZeroPadded(at, magnitude(nanoseconds), kNanosecondDigits);
    });
    return ValueKind::IntervalDaySecond;
}


}  // namespace value_format_parts

}  // namespace restorix
