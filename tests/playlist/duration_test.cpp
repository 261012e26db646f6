#include "playlist/duration.h"

#include <gtest/gtest.h>

TEST(Duration, LibraryTextToDays) {
  struct Case {
    const char* text;
    double ms;
  };
  const Case cases[] = {
      {"5025678", 5025678}, {"1500", 1500}, {"5025.678", 5025.678},
      {" 42 ", 42},         {"0", 0},       {"", 0},
      {"abc", 0},           {"12abc", 0},   {"-5", 0},
      {"5,5", 0},           {"inf", 0},     {"nan", 0},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(DurationTextToDays(c.text), c.ms / kMillisecondsPerDay) << c.text;
}

TEST(Duration, ShownAsHoursMinutesSeconds) {
  struct Case {
    double ms;
    const char* shown;
  };
  const Case cases[] = {
      {5025678, "1:23:45"}, {1500, "0:00:01"},      {59999, "0:00:59"},
      {60000, "0:01:00"},   {3600000, "1:00:00"},   {0, "0:00:00"},
      {-1, "0:00:00"},      {90000000, "25:00:00"},  // a day and more is not wrapped
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatDuration(c.ms / kMillisecondsPerDay), c.shown) << c.ms;
  EXPECT_EQ(FormatDuration(DurationTextToDays("5025678")), "1:23:45");
}
