#pragma once
// Durations of playlist items are date-time values (days in a double, see
// platform/date_time.h), read from the media information library's
// "Duration" text and shown with FormatTimeHMS.

#include <string_view>

#include "platform/date_time.h"

// The library's "Duration" text (milliseconds, a decimal number the library
// writes with a "." whatever the user's locale) in days. Text that is not
// such a number, or is negative, gives 0.
TDateTime DurationTextToDays(std::string_view text);
