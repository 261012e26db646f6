#pragma once
// The date-time value: a number of days as a double, the fraction being the
// time of day (0.5 is noon). Durations use the same scale, so a duration of
// N milliseconds is N / 86400000 days, and shown to the user as a time of
// day: the whole days are dropped, so 25 hours shows as "1:00:00".

#include <cstdint>
#include <string>

using TDateTime = double;

inline constexpr double kMSecsPerDay = 86400000.0;

// 0 plus ms milliseconds.
constexpr TDateTime MillisecondsToDateTime(std::int64_t ms) noexcept {
  return static_cast<double>(ms) / kMSecsPerDay;
}

struct TimeOfDay {
  int hour = 0;  // 0..23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool operator==(const TimeOfDay&) const = default;
};

// The time of day of value. The value is first rounded to the nearest
// millisecond (ties to even), so 0:00:59.9996 is 0:01:00.000; the parts are
// then whole units of that (seconds are not rounded again). The sign is
// ignored: -1.5 hours is 1:30:00. A value that is not finite, or too large
// to count in milliseconds, reads as 0:00:00.
TimeOfDay DecodeTime(TDateTime value) noexcept;

// "h:nn:ss": hours without a leading zero, minutes and seconds with two
// digits, from DecodeTime (fractions of a second are dropped).
std::string FormatTimeHMS(TDateTime value);
