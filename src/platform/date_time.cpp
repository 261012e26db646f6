#include "platform/date_time.h"

#include <cmath>
#include <cstdio>

TimeOfDay DecodeTime(TDateTime value) noexcept {
  const double ms = std::nearbyint(value * kMSecsPerDay);
  // 9.2e18 is about the int64 limit; anything beyond has no time of day
  // worth showing.
  if (!std::isfinite(ms) || std::fabs(ms) > 9.0e18) return {};
  const std::int64_t day_ms = static_cast<std::int64_t>(std::fabs(ms)) % 86400000;
  TimeOfDay t;
  t.hour = static_cast<int>(day_ms / 3600000);
  t.minute = static_cast<int>(day_ms / 60000 % 60);
  t.second = static_cast<int>(day_ms / 1000 % 60);
  t.millisecond = static_cast<int>(day_ms % 1000);
  return t;
}

std::string FormatTimeHMS(TDateTime value) {
  const TimeOfDay t = DecodeTime(value);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}
