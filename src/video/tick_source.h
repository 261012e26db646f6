#pragma once
// Periodic ticks for the renderer's repaint timer, injectable so that tests
// tick by hand. TThreadTickSource ticks on a thread of its own at a fixed
// rate (a late tick does not make the next ones come faster);
// TManualTickSource ticks on the thread that calls Tick.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TTickSource {
 public:
  TTickSource() = default;
  TTickSource(const TTickSource&) = delete;
  TTickSource& operator=(const TTickSource&) = delete;
  virtual ~TTickSource() = default;

  // Starts calling `tick` every `period` (a running source is restarted).
  virtual void Start(std::chrono::milliseconds period, std::function<void()> tick) = 0;
  // Returns once a tick in progress has finished; no tick follows.
  virtual void Stop() = 0;
};

class TThreadTickSource final : public TTickSource {
 public:
  TThreadTickSource() = default;
  ~TThreadTickSource() override { Stop(); }

  void Start(std::chrono::milliseconds period, std::function<void()> tick) override;
  void Stop() override;

 private:
  void Run(std::chrono::milliseconds period, std::function<void()> tick);

  std::mutex fLock;
  std::condition_variable fWake;
  bool fStopping = false;
  std::thread fThread;
};

class TManualTickSource final : public TTickSource {
 public:
  void Start(std::chrono::milliseconds period, std::function<void()> tick) override;
  void Stop() override;

  // Runs one tick on the calling thread; false when the source is stopped.
  bool Tick();
  bool Running() const;
  std::chrono::milliseconds Period() const;

 private:
  mutable std::mutex fLock;
  std::function<void()> fTick;
  std::chrono::milliseconds fPeriod{0};
};
