#include "directshow/manual_clock.h"

TBCManualClock::TBCManualClock(REFERENCE_TIME start) : TBCBaseReferenceClock(false), fNow(start) {}

REFERENCE_TIME TBCManualClock::GetPrivateTime() { return fNow.load(std::memory_order_acquire); }

REFERENCE_TIME TBCManualClock::Now() {
  REFERENCE_TIME t = 0;
  GetTime(&t);
  return t;
}

void TBCManualClock::SetTime(REFERENCE_TIME t) {
  REFERENCE_TIME cur = fNow.load(std::memory_order_acquire);
  while (t > cur && !fNow.compare_exchange_weak(cur, t, std::memory_order_acq_rel)) {
  }
  FireDueAdvises();
}

void TBCManualClock::Advance(REFERENCE_TIME delta) {
  if (delta > 0) fNow.fetch_add(delta, std::memory_order_acq_rel);
  FireDueAdvises();
}

bool TBCManualClock::AdvanceToNextAdvise() {
  const auto next = NextAdviseTime();
  if (!next) return false;
  SetTime(*next);
  return true;
}

bool TBCManualClock::WaitForPendingAdvise(std::size_t count, std::chrono::milliseconds timeout) {
  return WaitForPendingAdvises(count, timeout);
}
