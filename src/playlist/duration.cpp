#include "playlist/duration.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

double DurationTextToDays(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  double ms = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  if (!std::isfinite(ms) || ms < 0) return 0;
  return ms / kMillisecondsPerDay;
}

std::string FormatDuration(double days) {
  if (!std::isfinite(days) || days <= 0) days = 0;
  // A small allowance so that a whole second held as a binary fraction of a
  // day is not shown as the second before it.
  const double seconds = std::floor(days * 86'400.0 + 1e-6);
  const auto total = seconds > 9.0e15 ? std::int64_t{0} : static_cast<std::int64_t>(seconds);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%lld:%02d:%02d", static_cast<long long>(total / 3600),
                static_cast<int>(total / 60 % 60), static_cast<int>(total % 60));
  return buf;
}
