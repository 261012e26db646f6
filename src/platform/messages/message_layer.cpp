#include "platform/messages/message_layer.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

// Design
//
// One process-wide mutex (State::mu) guards the table of targets and every
// thread's queues. Nothing calls out of this file while holding it: window
// procedures, wake handlers and the destructors of procedures all run with
// it released. Each thread's queue has its own condition variable, waited on
// only by that thread, and its own wake mutex, which serialises the wake
// handler with SetWakeHandler. The two mutexes never nest.
//
// A thread's queue is created on first use and shared by the targets it owns
// and by the pending calls it sends, so a sender that outlives the owner (or
// the other way round) never touches freed memory. When a thread exits, a
// thread-local hook destroys its targets, drops what waits in its queue and
// releases every thread blocked sending to it.
//
// Queuing a message looks up its target and appends to the owner's queue in
// one step under the mutex, and destroying a target removes it and purges its
// messages in one step, so no message for a destroyed target can linger and
// no sender can be left waiting on one.

namespace {

struct ThreadQueue;

// A SendMessage across threads, waiting in the owner's queue.
struct SentCall {
  enum class Status { kPending, kHandled, kFailed };

  HWND hwnd;
  UINT msg;
  WPARAM wparam;
  LPARAM lparam;
  std::shared_ptr<ThreadQueue> reply_to;  // the sender's queue
  // Guarded by State::mu.
  Status status = Status::kPending;
  LRESULT result = 0;
  std::exception_ptr error;
};

struct PostedMessage {
  HWND hwnd;
  UINT msg;
  WPARAM wparam;
  LPARAM lparam;
};

struct ThreadQueue {
  // Guarded by State::mu.
  std::deque<std::shared_ptr<SentCall>> sent;
  std::deque<PostedMessage> posted;
  std::condition_variable cv;  // waited on by the owning thread only

  std::mutex wake_mu;
  std::function<void()> wake;  // guarded by wake_mu
};

struct Target {
  WindowProc proc;
  std::shared_ptr<ThreadQueue> owner;
};

struct State {
  std::mutex mu;
  std::unordered_map<HWND, std::shared_ptr<Target>> targets;
  // Handles count up from 1 and are never reused, so a stale handle cannot
  // reach a newer target.
  HWND next_handle = 1;
};

// The state lives for the whole process, also while other threads and
// thread-exit hooks still run during process exit.
State& GlobalState() {
  alignas(State) static unsigned char storage[sizeof(State)];
  static State* const state = ::new (storage) State();
  return *state;
}

void OnThreadExit(const std::shared_ptr<ThreadQueue>& queue);

struct ThreadQueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ThreadQueueHolder() = default;
  ThreadQueueHolder(const ThreadQueueHolder&) = delete;
  ThreadQueueHolder& operator=(const ThreadQueueHolder&) = delete;
  ~ThreadQueueHolder() {
    if (queue) OnThreadExit(queue);
  }
};

// The calling thread's queue, created on first use; its holder's destructor
// is the thread-exit hook.
const std::shared_ptr<ThreadQueue>& CurrentQueue() {
  thread_local ThreadQueueHolder holder;
  if (!holder.queue) holder.queue = std::make_shared<ThreadQueue>();
  return holder.queue;
}

// Completes a pending call and wakes its sender. Requires State::mu.
void Complete(SentCall& call, SentCall::Status status, LRESULT result = 0,
              std::exception_ptr error = nullptr) {
  call.status = status;
  call.result = result;
  call.error = std::move(error);
  call.reply_to->cv.notify_all();
}

void Wake(ThreadQueue& queue) {
  std::lock_guard lock(queue.wake_mu);
  if (queue.wake) queue.wake();
}

std::shared_ptr<Target> FindTarget(State& s, HWND hwnd) {
  auto it = s.targets.find(hwnd);
  return it == s.targets.end() ? nullptr : it->second;
}

LRESULT CallProc(const Target& target, HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  return target.proc ? target.proc(hwnd, msg, wparam, lparam) : 0;
}

// Runs a call sent from another thread, on the owner's thread. The
// procedure's exception, if any, goes back to the sender. True when the
// procedure ran.
bool RunSentCall(const std::shared_ptr<SentCall>& call) {
  State& s = GlobalState();
  std::shared_ptr<Target> target;
  {
    std::lock_guard lock(s.mu);
    target = FindTarget(s, call->hwnd);
    if (!target) {
      Complete(*call, SentCall::Status::kFailed);
      return false;
    }
  }
  LRESULT result = 0;
  std::exception_ptr error;
  try {
    result = CallProc(*target, call->hwnd, call->msg, call->wparam, call->lparam);
  } catch (...) {
    error = std::current_exception();
  }
  std::lock_guard lock(s.mu);
  Complete(*call, SentCall::Status::kHandled, result, std::move(error));
  return true;
}

// Removes every message for hwnd from queue and fails the calls sent to it.
// Requires State::mu.
void PurgeTarget(ThreadQueue& queue, HWND hwnd) {
  std::erase_if(queue.posted, [hwnd](const PostedMessage& m) { return m.hwnd == hwnd; });
  std::erase_if(queue.sent, [hwnd](const std::shared_ptr<SentCall>& c) {
    if (c->hwnd != hwnd) return false;
    Complete(*c, SentCall::Status::kFailed);
    return true;
  });
}

void OnThreadExit(const std::shared_ptr<ThreadQueue>& queue) {
  State& s = GlobalState();
  // Destroyed after the mutex is released: a procedure's captures may
  // themselves use this layer when they go.
  std::vector<std::shared_ptr<Target>> doomed;
  std::function<void()> old_wake;
  {
    std::lock_guard lock(s.mu);
    for (auto it = s.targets.begin(); it != s.targets.end();) {
      if (it->second->owner == queue) {
        doomed.push_back(std::move(it->second));
        it = s.targets.erase(it);
      } else {
        ++it;
      }
    }
    queue->posted.clear();
    for (const auto& call : queue->sent) Complete(*call, SentCall::Status::kFailed);
    queue->sent.clear();
  }
  std::lock_guard lock(queue->wake_mu);
  old_wake = std::exchange(queue->wake, nullptr);
}

}  // namespace

HWND CreateMessageWindow(WindowProc proc) {
  auto target = std::make_shared<Target>(Target{std::move(proc), CurrentQueue()});
  State& s = GlobalState();
  std::lock_guard lock(s.mu);
  const HWND hwnd = s.next_handle++;
  s.targets.emplace(hwnd, std::move(target));
  return hwnd;
}

bool DestroyMessageWindow(HWND hwnd) {
  if (hwnd == 0) return false;
  State& s = GlobalState();
  std::shared_ptr<Target> doomed;  // released after the mutex
  std::lock_guard lock(s.mu);
  auto it = s.targets.find(hwnd);
  if (it == s.targets.end()) return false;
  doomed = std::move(it->second);
  s.targets.erase(it);
  PurgeTarget(*doomed->owner, hwnd);
  return true;
}

bool IsWindow(HWND hwnd) {
  if (hwnd == 0) return false;
  State& s = GlobalState();
  std::lock_guard lock(s.mu);
  return s.targets.contains(hwnd);
}

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hwnd == 0) return false;
  State& s = GlobalState();
  std::shared_ptr<ThreadQueue> owner;
  {
    std::lock_guard lock(s.mu);
    auto target = FindTarget(s, hwnd);
    if (!target) return false;
    owner = target->owner;
    owner->posted.push_back(PostedMessage{hwnd, msg, wParam, lParam});
    owner->cv.notify_all();
  }
  Wake(*owner);
  return true;
}

bool SendMessageChecked(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (result) *result = 0;
  if (hwnd == 0) return false;
  State& s = GlobalState();
  const std::shared_ptr<ThreadQueue>& self = CurrentQueue();
  std::shared_ptr<Target> target;
  std::shared_ptr<SentCall> call;
  {
    std::lock_guard lock(s.mu);
    target = FindTarget(s, hwnd);
    if (!target) return false;
    if (target->owner != self) {
      call = std::make_shared<SentCall>(SentCall{hwnd, msg, wParam, lParam, self});
      target->owner->sent.push_back(call);
      target->owner->cv.notify_all();
    }
  }
  if (!call) {
    // Sent from the owner's thread: a plain call.
    const LRESULT r = CallProc(*target, hwnd, msg, wParam, lParam);
    if (result) *result = r;
    return true;
  }
  Wake(*target->owner);
  target.reset();  // the owner may destroy it while we wait

  // Wait for the reply, handling what other threads send to this one.
  std::unique_lock lock(s.mu);
  while (call->status == SentCall::Status::kPending) {
    if (!self->sent.empty()) {
      auto incoming = std::move(self->sent.front());
      self->sent.pop_front();
      lock.unlock();
      RunSentCall(incoming);
      lock.lock();
      continue;
    }
    self->cv.wait(lock);
  }
  const bool handled = call->status == SentCall::Status::kHandled;
  const LRESULT r = call->result;
  std::exception_ptr error = std::move(call->error);
  lock.unlock();
  if (error) std::rethrow_exception(error);
  if (handled && result) *result = r;
  return handled;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  SendMessageChecked(hwnd, msg, wParam, lParam, &result);
  return result;
}

std::size_t PumpMessages() {
  State& s = GlobalState();
  const std::shared_ptr<ThreadQueue>& self = CurrentQueue();
  std::size_t handled = 0;
  std::size_t posted_budget;
  {
    std::lock_guard lock(s.mu);
    posted_budget = self->posted.size();
  }
  for (;;) {
    std::shared_ptr<SentCall> call;
    std::optional<PostedMessage> posted;
    std::shared_ptr<Target> target;
    {
      std::lock_guard lock(s.mu);
      if (!self->sent.empty()) {
        call = std::move(self->sent.front());
        self->sent.pop_front();
      } else if (posted_budget > 0 && !self->posted.empty()) {
        posted = self->posted.front();
        self->posted.pop_front();
        --posted_budget;
        target = FindTarget(s, posted->hwnd);
      } else {
        break;
      }
    }
    if (call) {
      if (RunSentCall(call)) ++handled;
    } else if (target) {
      CallProc(*target, posted->hwnd, posted->msg, posted->wparam, posted->lparam);
      ++handled;
    }
  }
  return handled;
}

bool WaitForMessages(std::chrono::milliseconds timeout) {
  State& s = GlobalState();
  const std::shared_ptr<ThreadQueue>& self = CurrentQueue();
  std::unique_lock lock(s.mu);
  return self->cv.wait_for(lock, timeout,
                           [&] { return !self->sent.empty() || !self->posted.empty(); });
}

void SetWakeHandler(std::function<void()> wake) {
  const std::shared_ptr<ThreadQueue>& self = CurrentQueue();
  std::function<void()> old;  // destroyed after the wake mutex is released
  std::lock_guard lock(self->wake_mu);
  old = std::exchange(self->wake, std::move(wake));
}
