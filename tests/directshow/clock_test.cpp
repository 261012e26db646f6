#include <gtest/gtest.h>

#include "directshow/manual_clock.h"

namespace {

TEST(ManualClock, AdvisesFireWhenTheTimeIsReached) {
  auto clock = MakeCom<TBCManualClock>(100);
  TBCEvent due;
  DWORD_PTR cookie = 0;
  ASSERT_EQ(clock->AdviseTime(100, 50, &due, &cookie), S_OK);
  EXPECT_EQ(clock->PendingAdviseCount(), 1u);
  EXPECT_EQ(clock->NextAdviseTime(), 150);
  clock->Advance(49);
  EXPECT_FALSE(due.Check());
  clock->Advance(1);
  EXPECT_TRUE(due.Check());
  EXPECT_EQ(clock->PendingAdviseCount(), 0u);

  // Already due: fires at once. Unadvised: never.
  TBCEvent past;
  ASSERT_EQ(clock->AdviseTime(0, 10, &past, &cookie), S_OK);
  EXPECT_TRUE(past.Check());
  TBCEvent later;
  ASSERT_EQ(clock->AdviseTime(1000, 0, &later, &cookie), S_OK);
  EXPECT_EQ(clock->Unadvise(cookie), S_OK);
  clock->SetTime(2000);
  EXPECT_FALSE(later.Check());
  EXPECT_EQ(clock->Unadvise(cookie), S_FALSE);
}

TEST(ManualClock, TimeNeverGoesBackAndPeriodicAdvisesRepeat) {
  auto clock = MakeCom<TBCManualClock>(0);
  TBCSemaphore ticks;
  DWORD_PTR cookie = 0;
  ASSERT_EQ(clock->AdvisePeriodic(10, 10, &ticks, &cookie), S_OK);
  clock->SetTime(35);
  EXPECT_EQ(ticks.Count(), 3);
  clock->SetTime(20);
  EXPECT_EQ(clock->Now(), 35);
  clock->Unadvise(cookie);
  clock->SetTime(100);
  EXPECT_EQ(ticks.Count(), 3);
  EXPECT_EQ(clock->AdviseTime(0, 0, nullptr, &cookie), E_INVALIDARG);
}

TEST(SystemClock, AdviseFiresOnTheSchedulerThread) {
  auto clock = MakeCom<TBCSystemClock>();
  REFERENCE_TIME now = 0;
  ASSERT_EQ(clock->GetTime(&now), S_OK);
  TBCEvent due;
  DWORD_PTR cookie = 0;
  ASSERT_EQ(clock->AdviseTime(now, MILLISECONDS, &due, &cookie), S_OK);
  EXPECT_TRUE(due.WaitFor(std::chrono::seconds(10)));
  REFERENCE_TIME after = 0;
  clock->GetTime(&after);
  EXPECT_GE(after, now + MILLISECONDS);
}

}  // namespace
