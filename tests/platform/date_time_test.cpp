#include "platform/date_time.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(DateTime, MillisecondsAreFractionsOfADay) {
  EXPECT_DOUBLE_EQ(MillisecondsToDateTime(86400000), 1.0);
  EXPECT_DOUBLE_EQ(MillisecondsToDateTime(43200000), 0.5);
  EXPECT_EQ(MillisecondsToDateTime(0), 0.0);
}

TEST(DateTime, FormatsHoursMinutesSeconds) {
  struct Case {
    std::int64_t ms;
    const char* text;
  };
  const Case cases[] = {
      {0, "0:00:00"},
      {999, "0:00:00"},  // fractions of a second are dropped
      {1000, "0:00:01"},
      {59999, "0:00:59"},
      {61000, "0:01:01"},
      {3599000, "0:59:59"},
      {3600000, "1:00:00"},
      {36000000 + 5 * 60000 + 7000, "10:05:07"},
      {86399999, "23:59:59"},
      {86400000, "0:00:00"},  // whole days wrap like a time of day
      {25 * 3600000LL, "1:00:00"},
      {-5400000, "1:30:00"},  // sign ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    EXPECT_EQ(FormatTimeHMS(MillisecondsToDateTime(c.ms)), c.text);
  }
}

TEST(DateTime, RoundsToMillisecondsBeforeTruncatingSeconds) {
  // 59.9996 s rounds to 60.000 s; 59.9994 s rounds to 59.999 s.
  EXPECT_EQ(FormatTimeHMS(59999.6 / kMSecsPerDay), "0:01:00");
  EXPECT_EQ(FormatTimeHMS(59999.4 / kMSecsPerDay), "0:00:59");
  EXPECT_EQ(DecodeTime(MillisecondsToDateTime(3723456)), (TimeOfDay{1, 2, 3, 456}));
  // The sum of many small steps still lands on the whole second.
  TDateTime t = 0;
  for (int i = 0; i < 1000; ++i) t += MillisecondsToDateTime(1);
  EXPECT_EQ(FormatTimeHMS(t), "0:00:01");
}

TEST(DateTime, ValuesWithoutATimeOfDayShowZero) {
  EXPECT_EQ(FormatTimeHMS(std::numeric_limits<double>::quiet_NaN()), "0:00:00");
  EXPECT_EQ(FormatTimeHMS(std::numeric_limits<double>::infinity()), "0:00:00");
  EXPECT_EQ(FormatTimeHMS(1e300), "0:00:00");
  // A large but countable value still gives its time of day.
  EXPECT_EQ(FormatTimeHMS(10000.0 + MillisecondsToDateTime(7200000)), "2:00:00");
}

}  // namespace
