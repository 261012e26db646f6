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
