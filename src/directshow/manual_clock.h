#pragma once
// A reference clock whose time moves only when told to: for tests and
// benchmarks that must be exact and never sleep. Advises fire synchronously
// inside SetTime/Advance on the calling thread.
//
//   auto clock = MakeCom<TBCManualClock>();
//   FilterGraphOptions options;
//   options.systemClock = ComPtr<IReferenceClock>(clock.get());
//   auto graph = CreateFilterGraph(options);  // its default clock
//   ...Run...
//   clock->WaitForPendingAdvise();          // a renderer now waits for a sample
//   clock->AdvanceToNextAdvise();           // ...which is then due

#include <atomic>
#include <chrono>

#include "directshow/reference_clock.h"

class TBCManualClock : public TBCBaseReferenceClock {
 public:
  explicit TBCManualClock(REFERENCE_TIME start = 0);

  REFERENCE_TIME Now();
  // Moves the time to t (never backwards) and fires what became due.
  void SetTime(REFERENCE_TIME t);
  void Advance(REFERENCE_TIME delta);
  // Moves to the earliest pending advise; false when none is pending.
  bool AdvanceToNextAdvise();
  // Blocks until `count` advises are pending (a thread waits on the clock);
  // the time-out only guards against a test hanging.
  bool WaitForPendingAdvise(std::size_t count = 1,
                            std::chrono::milliseconds timeout = std::chrono::seconds(20));

 protected:
  REFERENCE_TIME GetPrivateTime() override;

 private:
  std::atomic<REFERENCE_TIME> fNow;
};
