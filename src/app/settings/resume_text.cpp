#include "app/settings/resume_text.h"

#include <cstdio>

std::string FormatResumeText(std::int64_t position) {
  char text[33];
  std::snprintf(text, sizeof text, "%032llX",
                static_cast<unsigned long long>(static_cast<std::uint64_t>(position)));
  return text;
}

std::int64_t ParseResumeText(std::string_view text) {
  if (text.empty()) return 0;
  std::uint32_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      return 0;
    if (value > (0x7FFFFFFFu >> 4)) return 0;  // one more digit would pass 31 bits
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  // value fits into 31 bits, so the signed 32-bit result is not negative.
  return static_cast<std::int64_t>(static_cast<std::int32_t>(value));
}
