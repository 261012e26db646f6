#pragma once
// Reference clocks.
//
// TBCBaseReferenceClock keeps the list of advises (one-shot events and
// periodic semaphores) and answers IReferenceClock; a subclass supplies the
// time (GetPrivateTime) and decides how due advises are found:
// - with a scheduler thread (TBCSystemClock, an audio device's clock): the
//   base starts a thread on the first advise that sleeps until the earliest
//   due time (re-reading the subclass's time at least every 10 ms) and is
//   joined by the destructor;
// - without one (TBCManualClock): the subclass calls FireDueAdvises whenever
//   its time moves.
//
// Threads and locks: every method may be called from any thread. The advise
// lock is held while the time is read and while handles are signalled, so
// once Unadvise returns the handle is never touched again. GetPrivateTime
// runs under that lock and must not call back into the clock.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "directshow/filter_interfaces.h"
#include "directshow/sync.h"
#include "platform/com/com_object.h"

class TBCBaseReferenceClock : public ComObject<IReferenceClock> {
 public:
  ~TBCBaseReferenceClock() override;

  // IReferenceClock. GetTime never goes backwards.
  HRESULT GetTime(REFERENCE_TIME* pTime) override;
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                     DWORD_PTR* pdwAdviseCookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                         DWORD_PTR* pdwAdviseCookie) override;
  HRESULT Unadvise(DWORD_PTR dwAdviseCookie) override;

  // Number of advises not yet fired (periodic ones count until unadvised).
  std::size_t PendingAdviseCount();
  // Earliest due time of a pending advise.
  std::optional<REFERENCE_TIME> NextAdviseTime();

 protected:
  explicit TBCBaseReferenceClock(bool useSchedulerThread, IUnknown* owner = nullptr);

  // The subclass's current time in 100-ns units. Called under the advise lock.
  virtual REFERENCE_TIME GetPrivateTime() = 0;

  // Signals every advise due at the current time; for clocks without a
  // scheduler thread. Call without holding a lock the clock's users take.
  void FireDueAdvises();
  // Wakes the scheduler thread early (the subclass's time jumped).
  void WakeScheduler();
  // Waits until at least `count` advises are pending or the time-out passes.
  bool WaitForPendingAdvises(std::size_t count, std::chrono::milliseconds timeout);
  // Call at the start of a subclass destructor that uses the scheduler
  // thread, so the thread no longer calls GetPrivateTime.
  void StopScheduler();

 private:
  struct Advise {
    DWORD_PTR cookie;
    REFERENCE_TIME due;
    REFERENCE_TIME period;  // 0 for a one-shot advise
    HEVENT event;
    HSEMAPHORE semaphore;
  };

  REFERENCE_TIME NowLocked();
  // Signals due advises; returns the earliest remaining due time.
  std::optional<REFERENCE_TIME> FireDueLocked();
  HRESULT AddAdvise(Advise advise, DWORD_PTR* cookie);
  void SchedulerLoop();

  std::mutex fLock;
  std::condition_variable fChanged;  // advises added/removed/fired, stop
  std::vector<Advise> fAdvises;
  DWORD_PTR fNextCookie = 1;
  REFERENCE_TIME fLastTime = 0;
  const bool fUseScheduler;
  bool fStopScheduler = false;
  std::thread fScheduler;
};

// The system's clock (CLSID_SystemClock): a monotonic time source counting
// from an arbitrary origin, with a scheduler thread.
class TBCSystemClock : public TBCBaseReferenceClock {
 public:
  TBCSystemClock();
  ~TBCSystemClock() override;

 protected:
  REFERENCE_TIME GetPrivateTime() override;
};
