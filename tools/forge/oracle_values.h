#pragma once
// Encodes values the way the database stores them in a row, so tests and
// benchmarks can write any value and read it back.

#include <cstdint>
#include <string_view>

#include "tools/forge/block_builder.h"

namespace restorix::forge {

// NUMBER from plain decimal text ("-12.50", "0", "1230000000", ".5"); up to 38
// significant digits, any exponent the type allows. Throws std::invalid_argument
// on text that is no decimal number.
Bytes encodeNumber(std::string_view decimal);

// DATE: 7 bytes (century+100, year+100, month, day, hour+1, minute+1, second+1).
Bytes encodeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// TIMESTAMP: 7 bytes when nanoseconds is 0, else 11 (big-endian nanoseconds).
Bytes encodeTimestamp(int year, int month, int day, int hour, int minute, int second,
                      std::uint32_t nanoseconds);

// BINARY_FLOAT and BINARY_DOUBLE: the IEEE-754 bits big-endian, the sign bit
// set for a positive number and every bit inverted for a negative one.
Bytes encodeBinaryFloat(float value);
Bytes encodeBinaryDouble(double value);

// TIMESTAMP WITH TIME ZONE: the UTC time as an 11-byte TIMESTAMP, then the
// offset east of UTC as hours + 20 and minutes + 60.
Bytes encodeTimestampZone(int year, int month, int day, int hour, int minute, int second, std::uint32_t nanoseconds,
                          int offsetMinutes);

// INTERVAL YEAR TO MONTH: years + 2^31 (4 bytes big-endian), months + 60;
// both fields carry the interval's sign.
Bytes encodeIntervalYearMonth(std::int32_t years, int months);

// INTERVAL DAY TO SECOND: days + 2^31, hours, minutes, seconds + 60,
// nanoseconds + 2^31; every field carries the interval's sign.
Bytes encodeIntervalDaySecond(std::int32_t days, int hours, int minutes, int seconds, std::int32_t nanoseconds);

}  // namespace restorix::forge
