#include "video/tick_source.h"

void TThreadTickSource::Start(std::chrono::milliseconds period, std::function<void()> tick) {
  Stop();
  std::lock_guard lock(fLock);
  fStopping = false;
  fThread = std::thread(&TThreadTickSource::Run, this, period, std::move(tick));
}

void TThreadTickSource::Stop() {
  {
    std::lock_guard lock(fLock);
    fStopping = true;
  }
  fWake.notify_all();
  if (fThread.joinable()) fThread.join();
}

void TThreadTickSource::Run(std::chrono::milliseconds period, std::function<void()> tick) {
  using Clock = std::chrono::steady_clock;
  auto next = Clock::now() + period;
  std::unique_lock lock(fLock);
  for (;;) {
    if (fWake.wait_until(lock, next, [this] { return fStopping; })) return;
    lock.unlock();
    tick();
    lock.lock();
    const auto now = Clock::now();
    next += period;
    if (next <= now) next = now + period;  // skip the ticks that were missed
  }
}

void TManualTickSource::Start(std::chrono::milliseconds period, std::function<void()> tick) {
  std::lock_guard lock(fLock);
  fPeriod = period;
  fTick = std::move(tick);
}

void TManualTickSource::Stop() {
  std::lock_guard lock(fLock);
  fTick = nullptr;
}

bool TManualTickSource::Tick() {
  std::function<void()> tick;
  {
    std::lock_guard lock(fLock);
    tick = fTick;
  }
  if (!tick) return false;
  tick();
  return true;
}

bool TManualTickSource::Running() const {
  std::lock_guard lock(fLock);
  return static_cast<bool>(fTick);
}

std::chrono::milliseconds TManualTickSource::Period() const {
  std::lock_guard lock(fLock);
  return fPeriod;
}
