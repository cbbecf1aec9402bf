#include "platform/clock.h"

#include <cstdio>

namespace restorix {

namespace {

// std::tm counts years from 1900 and months from 0.
constexpr int kTmYearBase = 1900;
constexpr int kTmMonthBase = 1;

int calendarYear(const std::tm& t) { return t.tm_year + kTmYearBase; }
int calendarMonth(const std::tm& t) { return t.tm_mon + kTmMonthBase; }

// The two-digit year of clockDate; a negative remainder (years before 1 AD)
// cannot reach here from a real clock but must not print a minus sign.
int twoDigitYear(const std::tm& t) {
    const int year = calendarYear(t) % 100;
    return year < 0 ? year + 100 : year;
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, pattern, args...);
    if (length < 0) return {};
    return std::string(buffer, static_cast<std::size_t>(length) < sizeof buffer
                                   ? static_cast<std::size_t>(length)
                                   : sizeof buffer - 1);
}

}  // namespace

std::tm SystemClock::now() const {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

std::tm makeLocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - kTmYearBase;
    t.tm_mon = month - kTmMonthBase;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

std::string logDate(const std::tm& t) {
    return format("%d\\%d\\%d", t.tm_mday, calendarMonth(t), calendarYear(t));
}

std::string logTime(const std::tm& t) {
    return format("%d:%d:%d", t.tm_hour, t.tm_min, t.tm_sec);
}

std::string clockTime(const std::tm& t) {
    return format("%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
}

std::string clockDate(const std::tm& t) {
    return format("%02d/%02d/%02d", calendarMonth(t), t.tm_mday, twoDigitYear(t));
}

}  // namespace restorix
