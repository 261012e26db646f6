#pragma once
// Synchronisation primitives of the framework.
//
// TBCCritSec is the recursive lock of filters and pins (a filter's hooks may
// re-enter its own lock). TBCEvent and TBCSemaphore are the handles a
// reference clock signals (HEVENT, HSEMAPHORE); they are plain objects owned
// by whoever waits on them and must outlive every advise made with them
// (IReferenceClock::Unadvise before destruction).

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/com/types.h"

using TBCCritSec = std::recursive_mutex;
using TBCAutoLock = std::lock_guard<std::recursive_mutex>;

class TBCEvent {
 public:
  // A manual-reset event stays set until Reset; an auto-reset event is
  // cleared by the one wait it releases.
  explicit TBCEvent(bool manualReset = false) : fManualReset(manualReset) {}
  TBCEvent(const TBCEvent&) = delete;
  TBCEvent& operator=(const TBCEvent&) = delete;

  void Set();
  void Reset();
  void Wait();
  // True when the event was set within the time-out.
  bool WaitFor(std::chrono::milliseconds timeout);
  // True when set (consumes it when auto-reset); does not block.
  bool Check() { return WaitFor(std::chrono::milliseconds(0)); }

 private:
  std::mutex fLock;
  std::condition_variable fCond;
  bool fSignaled = false;
  const bool fManualReset;
};

class TBCSemaphore {
 public:
  explicit TBCSemaphore(LONG initial = 0) : fCount(initial) {}
  TBCSemaphore(const TBCSemaphore&) = delete;
  TBCSemaphore& operator=(const TBCSemaphore&) = delete;

  void Release(LONG count = 1);
  void Wait();
  bool WaitFor(std::chrono::milliseconds timeout);
  LONG Count();

 private:
  std::mutex fLock;
  std::condition_variable fCond;
  LONG fCount;
};
