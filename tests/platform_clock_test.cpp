#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/clock.h"

using namespace restorix;

struct ClockCase {
    int year, month, day, hour, minute, second;
    const char* logDate;
    const char* logTime;
    const char* clockTime;
    const char* clockDate;
};
class ClockTexts : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockTexts, FormatsEachText) {
    const ClockCase& c = GetParam();
    const FixedClock clock(makeLocalTime(c.year, c.month, c.day, c.hour, c.minute, c.second));
    EXPECT_EQ(logDate(clock), c.logDate);
    EXPECT_EQ(logTime(clock), c.logTime);
    EXPECT_EQ(clockTime(clock), c.clockTime);
    EXPECT_EQ(clockDate(clock), c.clockDate);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClockTexts,
    ::testing::Values(
        // The documented example: 09:05:03 on 6 December 2026.
        ClockCase{2026, 12, 6, 9, 5, 3, "6\\12\\2026", "9:5:3", "09:05:03", "12/06/26"},
        // Two-digit fields everywhere, last second of a day.
        ClockCase{2031, 11, 25, 23, 59, 58, "25\\11\\2031", "23:59:58", "23:59:58", "11/25/31"},
        // Midnight on new year: zeros, and a year whose last two digits are 00.
        ClockCase{2000, 1, 1, 0, 0, 0, "1\\1\\2000", "0:0:0", "00:00:00", "01/01/00"},
        // A year ending in a single digit keeps its leading zero in clockDate.
        ClockCase{2009, 10, 10, 12, 10, 9, "10\\10\\2009", "12:10:9", "12:10:09", "10/10/09"}));

TEST(SystemClock, GivesTheLocalTimeOfNow) {
    const std::time_t before = std::time(nullptr);
    std::tm now = SystemClock().now();
    const std::time_t after = std::time(nullptr);
    // mktime reads the fields as local time: equal to the epoch time only if
    // the clock broke it down in the local zone.
    const std::time_t read = std::mktime(&now);
    EXPECT_GE(read, before);
    EXPECT_LE(read, after);
}
