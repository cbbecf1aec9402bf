#pragma once
// The local clock, behind an interface so that tests fix the time, and the
// four date and time texts that the activity log and the output folder carry.

#include <ctime>
#include <string>

namespace restorix {

class Clock {
public:
    virtual ~Clock() = default;
    // Local calendar time, broken down.
    virtual std::tm now() const = 0;
};

// The machine's local time.
class SystemClock : public Clock {
public:
    std::tm now() const override;
};

// Always the same moment: for tests and for reproducible runs.
class FixedClock : public Clock {
public:
    explicit FixedClock(const std::tm& moment) : moment_(moment) {}
    std::tm now() const override { return moment_; }

private:
    std::tm moment_;
};

// A broken-down time from its calendar fields (month 1..12, hour 0..23).
std::tm makeLocalTime(int year, int month, int day, int hour, int minute, int second);

// 6\12\2026: day, month, four-digit year, backslashes, no leading zeros.
std::string logDate(const std::tm& t);
// 9:5:3: hour 0..23, minute, second, no leading zeros.
std::string logTime(const std::tm& t);
// 09:05:03: two digits each, 24-hour.
std::string clockTime(const std::tm& t);
// 12/06/26: month, day, two-digit year, two digits each.
std::string clockDate(const std::tm& t);

inline std::string logDate(const Clock& clock) { return logDate(clock.now()); }
inline std::string logTime(const Clock& clock) { return logTime(clock.now()); }
inline std::string clockTime(const Clock& clock) { return clockTime(clock.now()); }
inline std::string clockDate(const Clock& clock) { return clockDate(clock.now()); }

}  // namespace restorix
