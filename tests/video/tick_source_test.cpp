#include "video/tick_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

TEST(ThreadTickSource, TicksOnItsOwnThreadUntilStopped) {
  TThreadTickSource source;
  std::mutex lock;
  std::condition_variable ticked;
  int ticks = 0;
  std::thread::id tickThread;
  source.Start(std::chrono::milliseconds(5), [&] {
    std::lock_guard guard(lock);
    ++ticks;
    tickThread = std::this_thread::get_id();
    ticked.notify_all();
  });
  {
    std::unique_lock guard(lock);
    ASSERT_TRUE(ticked.wait_for(guard, std::chrono::seconds(10), [&] { return ticks >= 3; }));
    EXPECT_NE(tickThread, std::this_thread::get_id());
  }
  source.Stop();
  int after;
  {
    std::lock_guard guard(lock);
    after = ticks;
  }
  // Stop returned after the last tick: the count no longer moves. A restart
  // ticks again.
  std::atomic<int> second{0};
  source.Start(std::chrono::milliseconds(5), [&] { ++second; });
  while (second.load() < 1) std::this_thread::yield();
  source.Stop();
  std::lock_guard guard(lock);
  EXPECT_EQ(ticks, after);
}

TEST(ThreadTickSource, StopWaitsForATickInProgress) {
  TThreadTickSource source;
  std::atomic<bool> inTick{false};
  std::atomic<bool> finished{false};
  std::mutex gate;
  gate.lock();
  source.Start(std::chrono::milliseconds(1), [&] {
    if (finished) return;
    inTick = true;
    std::lock_guard wait(gate);  // held until the test lets it go
    finished = true;
  });
  while (!inTick) std::this_thread::yield();
  std::thread stopper([&] { source.Stop(); });
  gate.unlock();
  stopper.join();
  EXPECT_TRUE(finished);
}

TEST(ManualTickSource, TicksOnTheCallerUntilStopped) {
  TManualTickSource source;
  EXPECT_FALSE(source.Tick());
  int ticks = 0;
  source.Start(std::chrono::milliseconds(40), [&] { ++ticks; });
  EXPECT_TRUE(source.Running());
  EXPECT_TRUE(source.Tick());
  EXPECT_EQ(ticks, 1);
  source.Stop();
  EXPECT_FALSE(source.Tick());
  EXPECT_EQ(ticks, 1);
}

}  // namespace
