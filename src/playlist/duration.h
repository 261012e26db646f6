#pragma once
// Durations of playlist items: days as a double (a date-time value), read from
// the media information library's "Duration" text and shown as "h:nn:ss".

#include <string>
#include <string_view>

inline constexpr double kMillisecondsPerDay = 86'400'000.0;

// The library's "Duration" text (milliseconds, a decimal number written with
// a "." whatever the user's locale) in days. Text that is not such a number,
// or is negative, gives 0.
double DurationTextToDays(std::string_view text);

// "h:nn:ss": hours without padding (not wrapped at 24), minutes and seconds
// two digits each, the fraction of a second cut off.
std::string FormatDuration(double days);
