#include "platform/messages/message_layer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <latch>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/messages/player_messages.h"

namespace {

using namespace std::chrono_literals;

constexpr UINT kQuit = WM_APP + 100;
constexpr UINT kRun = WM_APP + 101;
constexpr UINT kTest = WM_USER + 1;
constexpr UINT kDone = WM_USER + 2;

// A thread running a plain message loop. Targets made with Create() belong to
// it; Run() executes code on it and waits.
class LoopThread {
 public:
  LoopThread() {
    auto control = control_promise_.get_future();
    thread_ = std::thread([this] {
      bool quit = false;
      const HWND h = CreateMessageWindow([&quit](HWND, UINT msg, WPARAM, LPARAM l) -> LRESULT {
        if (msg == kQuit) quit = true;
        if (msg == kRun) (*reinterpret_cast<std::function<void()>*>(l))();
        return 0;
      });
      control_promise_.set_value(h);
      while (!quit) {
        WaitForMessages(1h);
        PumpMessages();
      }
    });
    control_ = control.get();
  }
  LoopThread(const LoopThread&) = delete;
  LoopThread& operator=(const LoopThread&) = delete;
  ~LoopThread() {
    PostMessage(control_, kQuit, 0, 0);
    thread_.join();
  }

  void Run(std::function<void()> fn) {
    SendMessage(control_, kRun, 0, reinterpret_cast<LPARAM>(&fn));
  }
  HWND Create(WindowProc proc) {
    HWND h = 0;
    Run([&] { h = CreateMessageWindow(std::move(proc)); });
    return h;
  }
  std::thread::id Id() const { return thread_.get_id(); }

 private:
  std::promise<HWND> control_promise_;
  HWND control_ = 0;
  std::thread thread_;
};

struct Record {
  HWND hwnd;
  WPARAM value;
  bool operator==(const Record&) const = default;
};

TEST(MessageLayer, PlayerMessageNumbers) {
  EXPECT_EQ(WM_PREVIEWREADY, 0x800u);
  EXPECT_EQ(WM_PLAYERVOLUME, 0x812u);
  EXPECT_EQ(WM_PLAYERSTATE, 0x813u);
  EXPECT_EQ(WM_PLAYEROPENED, 0x814u);
  EXPECT_EQ(WM_GRAPHNOTIFY, 0x8001u);
  EXPECT_EQ(WM_COPYDATA, 0x4Au);
}

TEST(MessageLayer, PostedMessagesRunOnOwnerThreadInFifoOrderAcrossTargets) {
  LoopThread loop;
  std::vector<Record> seen;  // touched on the loop thread only
  std::promise<void> done;
  bool wrong_thread = false;
  auto proc = [&](HWND h, UINT msg, WPARAM w, LPARAM) -> LRESULT {
    if (std::this_thread::get_id() != loop.Id()) wrong_thread = true;
    if (msg == kTest) seen.push_back({h, w});
    if (msg == kDone) done.set_value();
    return 0;
  };
  const HWND a = loop.Create(proc);
  const HWND b = loop.Create(proc);
  std::vector<Record> expected;
  for (WPARAM i = 0; i < 200; ++i) {
    const HWND h = (i % 3 == 0) ? b : a;
    ASSERT_TRUE(PostMessage(h, kTest, i, 0));
    expected.push_back({h, i});
  }
  PostMessage(a, kDone, 0, 0);
  done.get_future().wait();
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(wrong_thread);
}

TEST(MessageLayer, EachSendersPostsKeepTheirOrder) {
  LoopThread loop;
  std::vector<WPARAM> seen[2];
  std::latch finished(2);
  const HWND h = loop.Create([&](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    if (msg == kTest) seen[l].push_back(w);
    if (msg == kDone) finished.count_down();
    return 0;
  });
  std::latch start(2);
  auto sender = [&](LPARAM who) {
    start.arrive_and_wait();
    for (WPARAM i = 0; i < 500; ++i) PostMessage(h, kTest, i, who);
    PostMessage(h, kDone, 0, 0);
  };
  std::thread s0(sender, 0);
  std::thread s1(sender, 1);
  s0.join();
  s1.join();
  finished.wait();
  for (const auto& list : seen) {
    ASSERT_EQ(list.size(), 500u);
    for (WPARAM i = 0; i < 500; ++i) EXPECT_EQ(list[i], i);
  }
}

TEST(MessageLayer, SendRunsOnOwnerThreadAndReturnsItsResult) {
  LoopThread loop;
  int side_effect = 0;
  std::thread::id ran_on;
  const HWND h = loop.Create([&](HWND, UINT, WPARAM w, LPARAM l) -> LRESULT {
    ran_on = std::this_thread::get_id();
    side_effect = 7;  // visible to the sender once SendMessage returns
    return static_cast<LRESULT>(w) * 2 + l;
  });
  EXPECT_EQ(SendMessage(h, kTest, 20, 2), 42);
  EXPECT_EQ(ran_on, loop.Id());
  EXPECT_EQ(side_effect, 7);
  LRESULT r = 0;
  EXPECT_TRUE(SendMessageChecked(h, kTest, 1, 1, &r));
  EXPECT_EQ(r, 3);
}

TEST(MessageLayer, SendBlocksTheSenderUntilTheProcedureReturns) {
  LoopThread loop;
  std::atomic<bool> sender_returned{false};
  std::latch entered(1);
  std::latch release(1);
  bool returned_early = false;
  const HWND h = loop.Create([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    entered.count_down();
    release.wait();
    returned_early = sender_returned.load();
    return 5;
  });
  std::thread sender([&] {
    EXPECT_EQ(SendMessage(h, kTest, 0, 0), 5);
    sender_returned = true;
  });
  entered.wait();
  EXPECT_FALSE(sender_returned.load());
  release.count_down();
  sender.join();
  EXPECT_FALSE(returned_early);
}

TEST(MessageLayer, SendFromOwnerThreadRunsInline) {
  int depth = 0;
  int max_depth = 0;
  HWND self = 0;
  self = CreateMessageWindow([&](HWND h, UINT, WPARAM w, LPARAM) -> LRESULT {
    max_depth = std::max(max_depth, ++depth);
    const LRESULT r = w > 0 ? SendMessage(h, kTest, w - 1, 0) + 1 : 100;
    --depth;
    return r;
  });
  EXPECT_EQ(SendMessage(self, kTest, 3, 0), 103);
  EXPECT_EQ(max_depth, 4);
  EXPECT_EQ(PumpMessages(), 0u);  // nothing was queued
  DestroyMessageWindow(self);
}

TEST(MessageLayer, SenderHandlesMessagesSentToItWhileWaiting) {
  // main sends to b; b's procedure sends back to a, owned by main, which
  // must be handled while main waits.
  std::thread::id a_ran_on;
  const HWND a = CreateMessageWindow([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
    a_ran_on = std::this_thread::get_id();
    return static_cast<LRESULT>(w) + 1;
  });
  LoopThread loop;
  const HWND b = loop.Create(
      [a](HWND, UINT, WPARAM w, LPARAM) -> LRESULT { return SendMessage(a, kTest, w, 0) * 10; });
  EXPECT_EQ(SendMessage(b, kTest, 4, 0), 50);
  EXPECT_EQ(a_ran_on, std::this_thread::get_id());
  DestroyMessageWindow(a);
}

TEST(MessageLayer, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  HWND targets[2] = {0, 0};
  LRESULT results[2] = {0, 0};
  std::atomic<bool> done[2] = {false, false};
  std::latch created(2);
  auto body = [&](int me) {
    const int other = 1 - me;
    targets[me] = CreateMessageWindow([me](HWND, UINT msg, WPARAM w, LPARAM) -> LRESULT {
      return msg == kTest ? static_cast<LRESULT>(w) + me * 1000 : 0;
    });
    created.arrive_and_wait();
    results[me] = SendMessage(targets[other], kTest, static_cast<WPARAM>(me) + 1, 0);
    done[me] = true;
    PostMessage(targets[other], WM_NULL, 0, 0);  // wakes the other
    // Keep serving the other's send until it has finished.
    while (!done[other]) {
      WaitForMessages(1h);
      PumpMessages();
    }
  };
  std::thread t0(body, 0);
  std::thread t1(body, 1);
  t0.join();
  t1.join();
  EXPECT_EQ(results[0], 1001);  // handled by thread 1
  EXPECT_EQ(results[1], 2);     // handled by thread 0
}

TEST(MessageLayer, SentMessagesTakePriorityOverPosted) {
  std::vector<WPARAM> order;
  const HWND h = CreateMessageWindow([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
    order.push_back(w);
    return 0;
  });
  PostMessage(h, kTest, 1, 0);
  PostMessage(h, kTest, 2, 0);
  std::latch arrived(1);
  SetWakeHandler([&] { arrived.count_down(); });
  std::thread sender([&] { EXPECT_TRUE(SendMessageChecked(h, kTest, 99, 0)); });
  arrived.wait();
  EXPECT_EQ(PumpMessages(), 3u);
  sender.join();
  SetWakeHandler({});
  EXPECT_EQ(order, (std::vector<WPARAM>{99, 1, 2}));
  DestroyMessageWindow(h);
}

TEST(MessageLayer, PumpHandlesOnlyWhatWaitedWhenCalled) {
  int calls = 0;
  const HWND h = CreateMessageWindow([&](HWND self, UINT, WPARAM, LPARAM) -> LRESULT {
    ++calls;
    PostMessage(self, kTest, 0, 0);  // re-posts itself forever
    return 0;
  });
  EXPECT_FALSE(WaitForMessages(0ms));
  PostMessage(h, kTest, 0, 0);
  EXPECT_TRUE(WaitForMessages(0ms));
  EXPECT_EQ(PumpMessages(), 1u);
  EXPECT_EQ(PumpMessages(), 1u);
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(WaitForMessages(0ms));
  DestroyMessageWindow(h);
  EXPECT_FALSE(WaitForMessages(0ms));  // the waiting message went with it
}

TEST(MessageLayer, DestroyedTargetDropsWaitingMessages) {
  int calls = 0;
  auto owned = std::make_shared<int>(0);
  std::weak_ptr<int> watch = owned;
  const HWND h = CreateMessageWindow(
      [&calls, owned = std::move(owned)](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        ++calls;
        return 0;
      });
  const HWND other = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    ++calls;
    return 0;
  });
  for (int i = 0; i < 3; ++i) PostMessage(h, kTest, 0, 0);
  PostMessage(other, kTest, 0, 0);
  EXPECT_TRUE(DestroyMessageWindow(h));
  EXPECT_TRUE(watch.expired());  // the procedure was released
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(PostMessage(h, kTest, 0, 0));
  EXPECT_FALSE(DestroyMessageWindow(h));
  EXPECT_EQ(PumpMessages(), 1u);  // only other's message
  EXPECT_EQ(calls, 1);
  DestroyMessageWindow(other);
}

TEST(MessageLayer, TargetDestroyingItselfDropsItsLaterMessages) {
  std::vector<WPARAM> seen;
  const HWND h = CreateMessageWindow([&](HWND self, UINT, WPARAM w, LPARAM) -> LRESULT {
    seen.push_back(w);
    if (w == 1) DestroyMessageWindow(self);
    return 0;
  });
  for (WPARAM i = 1; i <= 3; ++i) PostMessage(h, kTest, i, 0);
  EXPECT_EQ(PumpMessages(), 1u);
  EXPECT_EQ(seen, std::vector<WPARAM>{1});
}

TEST(MessageLayer, DestroyReleasesBlockedSenderWithFailure) {
  bool called = false;
  const HWND h = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    called = true;
    return 1;
  });
  std::latch arrived(1);
  SetWakeHandler([&] { arrived.count_down(); });
  LRESULT result = 123;
  bool handled = true;
  std::thread sender([&] { handled = SendMessageChecked(h, kTest, 0, 0, &result); });
  arrived.wait();  // the send waits in this thread's queue
  EXPECT_TRUE(DestroyMessageWindow(h));
  sender.join();
  SetWakeHandler({});
  EXPECT_FALSE(handled);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(PumpMessages(), 0u);
  EXPECT_FALSE(called);
}

TEST(MessageLayer, OwnerThreadExitDestroysTargetsAndReleasesSenders) {
  auto owned = std::make_shared<int>(0);
  std::weak_ptr<int> watch = owned;
  std::promise<HWND> made;
  std::latch arrived(1);
  std::thread owner([&, owned = std::move(owned)]() mutable {
    SetWakeHandler([&] { arrived.count_down(); });
    made.set_value(CreateMessageWindow(
        [owned = std::move(owned)](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 1; }));
    arrived.wait();  // a send waits; leave without pumping
  });
  const HWND h = made.get_future().get();
  EXPECT_FALSE(SendMessageChecked(h, kTest, 0, 0));
  owner.join();
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(PostMessage(h, kTest, 0, 0));
  EXPECT_EQ(SendMessage(h, kTest, 0, 0), 0);
  EXPECT_TRUE(watch.expired());
}

TEST(MessageLayer, ZeroHandleIsANoOp) {
  LRESULT r = 55;
  EXPECT_FALSE(PostMessage(0, kTest, 1, 2));
  EXPECT_EQ(SendMessage(0, kTest, 1, 2), 0);
  EXPECT_FALSE(SendMessageChecked(0, kTest, 1, 2, &r));
  EXPECT_EQ(r, 0);
  EXPECT_FALSE(IsWindow(0));
  EXPECT_FALSE(DestroyMessageWindow(0));
  EXPECT_EQ(PumpMessages(), 0u);
}

TEST(MessageLayer, HandlesAreNeverReused) {
  const HWND first = CreateMessageWindow(DefWindowProc);
  ASSERT_NE(first, 0u);
  DestroyMessageWindow(first);
  const HWND second = CreateMessageWindow(DefWindowProc);
  EXPECT_NE(second, first);
  EXPECT_FALSE(PostMessage(first, kTest, 0, 0));
  EXPECT_TRUE(IsWindow(second));
  DestroyMessageWindow(second);
}

TEST(MessageLayer, WakeHandlerRunsOnTheQueuingThreadForEachMessage) {
  const HWND h = CreateMessageWindow(DefWindowProc);
  std::vector<std::thread::id> wakes;  // written by the poster only
  SetWakeHandler([&] { wakes.push_back(std::this_thread::get_id()); });
  std::thread::id poster_id;
  std::thread poster([&] {
    poster_id = std::this_thread::get_id();
    PostMessage(h, kTest, 0, 0);
    PostMessage(h, kTest, 0, 0);
  });
  poster.join();
  EXPECT_EQ(wakes, (std::vector<std::thread::id>{poster_id, poster_id}));
  SetWakeHandler({});
  PostMessage(h, kTest, 0, 0);
  EXPECT_EQ(wakes.size(), 2u);
  EXPECT_EQ(PumpMessages(), 3u);
  DestroyMessageWindow(h);
}

TEST(MessageLayer, ExceptionInSentProcedureReachesTheSender) {
  LoopThread loop;
  const HWND h = loop.Create([](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
    if (msg == kTest) throw std::runtime_error("bad file");
    return 9;
  });
  EXPECT_THROW(SendMessage(h, kTest, 0, 0), std::runtime_error);
  EXPECT_EQ(SendMessage(h, kDone, 0, 0), 9);  // the owner still pumps
}

TEST(MessageLayer, CopyDataIsReadableDuringTheSend) {
  LoopThread loop;
  std::string received;
  const HWND h = loop.Create([&](HWND, UINT msg, WPARAM, LPARAM l) -> LRESULT {
    if (msg != WM_COPYDATA) return 0;
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(l);
    if (cds->dwData != 67542) return 0;
    received.assign(static_cast<const char*>(cds->lpData), cds->cbData);
    return 1;
  });
  std::string text = "player.exe \"a b.mkv\"";
  COPYDATASTRUCT cds{67542, static_cast<DWORD>(text.size()), text.data()};
  EXPECT_EQ(SendMessage(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 1);
  EXPECT_EQ(received, text);
}

}  // namespace
