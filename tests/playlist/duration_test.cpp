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
    EXPECT_DOUBLE_EQ(DurationTextToDays(c.text), c.ms / kMSecsPerDay) << c.text;
}

TEST(Duration, ShownAsHoursMinutesSeconds) {
  EXPECT_EQ(FormatTimeHMS(DurationTextToDays("5025678")), "1:23:45");
  EXPECT_EQ(FormatTimeHMS(DurationTextToDays("1500")), "0:00:01");
}
