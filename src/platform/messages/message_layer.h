#pragma once
// A small window-message layer: handle-addressed targets, each owned by the
// thread that created it, with a FIFO queue per thread.
//
// - PostMessage queues a message for the target's thread and returns at once.
// - SendMessage runs the target's procedure on the target's thread and blocks
//   the sender until it returns (inline when sent from that thread). While it
//   waits, the sender keeps handling messages sent to its own thread, so two
//   threads sending to each other do not deadlock.
// - A zero handle is a no-op. Destroying a target drops the messages that wait
//   for it; a sender blocked on it is released with a failure.
// - A thread handles its messages by pumping: PumpMessages in a plain loop (the
//   tests, headless programs), or from a toolkit's event loop woken by the
//   thread's wake handler.
//
// Details a caller can rely on:
// - Handles count up from 1 and are never reused within the process, so a
//   stale handle is simply "no live target".
// - Posted messages are handled in the order they were queued for the thread
//   (FIFO across all its targets). Messages sent from other threads take
//   priority: a pump, and a thread waiting in SendMessage, handles every sent
//   message that waits before the next posted one.
// - PumpMessages handles the posted messages that waited when it was called
//   (and every sent message); what their procedures post is left for the next
//   pump, so a procedure that posts to itself cannot make a pump endless.
// - An exception thrown by a procedure reaches the caller that made it run:
//   the pumping thread for a posted message, the sender for a sent one (also
//   across threads; the target's thread goes on pumping).
// - When a thread exits, its targets are destroyed: what waits for them is
//   dropped and their blocked senders are released with a failure.
// - DestroyMessageWindow does not call the procedure (no WM_DESTROY); the
//   procedure object is released, on the destroying thread, once no message
//   is being handled by it.
// - The wake handler is called without any lock of this layer held, and must
//   neither block nor use this layer; once SetWakeHandler returns, the
//   previous handler is not running and is not called again.

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/com/types.h"

using HWND = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// The message a WM_COPYDATA's LPARAM points to.
struct COPYDATASTRUCT {
  std::uintptr_t dwData;
  DWORD cbData;
  void* lpData;
};

using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Creates a target owned by the calling thread. Never returns 0.
HWND CreateMessageWindow(WindowProc proc);
// Destroys a target (from any thread). False when there is no such target.
bool DestroyMessageWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
// The default procedure: handles nothing, returns 0.
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// False when hwnd names no live target.
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The procedure's result; 0 when hwnd names no live target or it went away
// before handling the message.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// As SendMessage, but tells whether the message was handled.
bool SendMessageChecked(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                        LRESULT* result = nullptr);

// Handles every message waiting for the calling thread's targets; returns how
// many were handled.
std::size_t PumpMessages();
// Blocks until a message waits for the calling thread or the time-out passes;
// true when a message waits.
bool WaitForMessages(std::chrono::milliseconds timeout);
// Called, from whichever thread queued it, when a message arrives for the
// calling thread's queue. Empty to remove.
void SetWakeHandler(std::function<void()> wake);
