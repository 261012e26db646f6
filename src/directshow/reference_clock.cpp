#include "directshow/reference_clock.h"

#include <algorithm>
#include <chrono>

#include "directshow/dshow_guids.h"

namespace {
// The scheduler re-reads the subclass's time at least this often, so a clock
// that does not run at the system's pace is followed closely.
constexpr auto kMaxSchedulerWait = std::chrono::milliseconds(10);
}  // namespace

TBCBaseReferenceClock::TBCBaseReferenceClock(bool useSchedulerThread, IUnknown* owner)
    : ComObject(owner), fUseScheduler(useSchedulerThread) {}

TBCBaseReferenceClock::~TBCBaseReferenceClock() { StopScheduler(); }

void TBCBaseReferenceClock::StopScheduler() {
  {
    std::lock_guard lock(fLock);
    fStopScheduler = true;
  }
  fChanged.notify_all();
  if (fScheduler.joinable()) fScheduler.join();
}

REFERENCE_TIME TBCBaseReferenceClock::NowLocked() {
  const REFERENCE_TIME t = GetPrivateTime();
  if (t > fLastTime) fLastTime = t;
  return fLastTime;
}

HRESULT TBCBaseReferenceClock::GetTime(REFERENCE_TIME* pTime) {
  if (!pTime) return E_POINTER;
  std::lock_guard lock(fLock);
  *pTime = NowLocked();
  return S_OK;
}

HRESULT TBCBaseReferenceClock::AddAdvise(Advise advise, DWORD_PTR* cookie) {
  {
    std::lock_guard lock(fLock);
    advise.cookie = fNextCookie++;
    *cookie = advise.cookie;
    fAdvises.push_back(advise);
    if (fUseScheduler && !fScheduler.joinable() && !fStopScheduler)
      fScheduler = std::thread([this] { SchedulerLoop(); });
    if (!fUseScheduler) FireDueLocked();
  }
  fChanged.notify_all();
  return S_OK;
}

HRESULT TBCBaseReferenceClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime,
                                          HEVENT hEvent, DWORD_PTR* pdwAdviseCookie) {
  if (!pdwAdviseCookie) return E_POINTER;
  *pdwAdviseCookie = 0;
  if (!hEvent) return E_INVALIDARG;
  const REFERENCE_TIME due = baseTime + streamTime;
  if (due < 0) return E_INVALIDARG;
  return AddAdvise(Advise{0, due, 0, hEvent, nullptr}, pdwAdviseCookie);
}

HRESULT TBCBaseReferenceClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                              HSEMAPHORE hSemaphore, DWORD_PTR* pdwAdviseCookie) {
  if (!pdwAdviseCookie) return E_POINTER;
  *pdwAdviseCookie = 0;
  if (!hSemaphore || startTime < 0 || periodTime <= 0) return E_INVALIDARG;
  return AddAdvise(Advise{0, startTime, periodTime, nullptr, hSemaphore}, pdwAdviseCookie);
}

HRESULT TBCBaseReferenceClock::Unadvise(DWORD_PTR dwAdviseCookie) {
  bool found = false;
  {
    std::lock_guard lock(fLock);
    auto it = std::find_if(fAdvises.begin(), fAdvises.end(),
                           [&](const Advise& a) { return a.cookie == dwAdviseCookie; });
    if (it != fAdvises.end()) {
      fAdvises.erase(it);
      found = true;
    }
  }
  if (!found) return S_FALSE;
  fChanged.notify_all();
  return S_OK;
}

std::size_t TBCBaseReferenceClock::PendingAdviseCount() {
  std::lock_guard lock(fLock);
  return fAdvises.size();
}

std::optional<REFERENCE_TIME> TBCBaseReferenceClock::NextAdviseTime() {
  std::lock_guard lock(fLock);
  std::optional<REFERENCE_TIME> next;
  for (const auto& a : fAdvises)
    if (!next || a.due < *next) next = a.due;
  return next;
}

std::optional<REFERENCE_TIME> TBCBaseReferenceClock::FireDueLocked() {
  const REFERENCE_TIME now = NowLocked();
  std::optional<REFERENCE_TIME> next;
  for (auto it = fAdvises.begin(); it != fAdvises.end();) {
    if (it->due <= now) {
      if (it->event) {
        it->event->Set();
        it = fAdvises.erase(it);
        continue;
      }
      // Periodic: one release per period passed.
      LONG releases = 0;
      while (it->due <= now) {
        it->due += it->period;
        ++releases;
      }
      it->semaphore->Release(releases);
    }
    if (!next || it->due < *next) next = it->due;
    ++it;
  }
  return next;
}

void TBCBaseReferenceClock::FireDueAdvises() {
  {
    std::lock_guard lock(fLock);
    FireDueLocked();
  }
  fChanged.notify_all();
}

void TBCBaseReferenceClock::WakeScheduler() { fChanged.notify_all(); }

bool TBCBaseReferenceClock::WaitForPendingAdvises(std::size_t count,
                                                  std::chrono::milliseconds timeout) {
  std::unique_lock lock(fLock);
  return fChanged.wait_for(lock, timeout, [&] { return fAdvises.size() >= count; });
}

void TBCBaseReferenceClock::SchedulerLoop() {
  std::unique_lock lock(fLock);
  while (!fStopScheduler) {
    const auto next = FireDueLocked();
    if (!next) {
      fChanged.wait(lock);
      continue;
    }
    const REFERENCE_TIME wait100ns = *next - fLastTime;
    auto wait = std::chrono::microseconds(std::max<REFERENCE_TIME>(wait100ns / 10, 0));
    if (wait > kMaxSchedulerWait) wait = kMaxSchedulerWait;
    fChanged.wait_for(lock, wait);
  }
}

TBCSystemClock::TBCSystemClock() : TBCBaseReferenceClock(true) {}

TBCSystemClock::~TBCSystemClock() { StopScheduler(); }

REFERENCE_TIME TBCSystemClock::GetPrivateTime() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
}
