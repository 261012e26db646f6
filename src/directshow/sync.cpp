#include "directshow/sync.h"

void TBCEvent::Set() {
  {
    std::lock_guard lock(fLock);
    fSignaled = true;
  }
  if (fManualReset)
    fCond.notify_all();
  else
    fCond.notify_one();
}

void TBCEvent::Reset() {
  std::lock_guard lock(fLock);
  fSignaled = false;
}

void TBCEvent::Wait() {
  std::unique_lock lock(fLock);
  fCond.wait(lock, [this] { return fSignaled; });
  if (!fManualReset) fSignaled = false;
}

bool TBCEvent::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(fLock);
  if (!fCond.wait_for(lock, timeout, [this] { return fSignaled; })) return false;
  if (!fManualReset) fSignaled = false;
  return true;
}

void TBCSemaphore::Release(LONG count) {
  {
    std::lock_guard lock(fLock);
    fCount += count;
  }
  fCond.notify_all();
}

void TBCSemaphore::Wait() {
  std::unique_lock lock(fLock);
  fCond.wait(lock, [this] { return fCount > 0; });
  --fCount;
}

bool TBCSemaphore::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(fLock);
  if (!fCond.wait_for(lock, timeout, [this] { return fCount > 0; })) return false;
  --fCount;
  return true;
}

LONG TBCSemaphore::Count() {
  std::lock_guard lock(fLock);
  return fCount;
}
