#include "playlist/duration.h"

#include <charconv>
#include <cmath>

TDateTime DurationTextToDays(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  double ms = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  if (!std::isfinite(ms) || ms < 0) return 0;
  return ms / kMSecsPerDay;
}
