#include "directshow/graph_events.h"

#include <chrono>

void TGraphEventQueue::Push(LONG code, LONG_PTR param1, LONG_PTR param2) {
  HWND hwnd = 0;
  UINT message = 0;
  LONG_PTR instance = 0;
  {
    std::lock_guard lock(fLock);
    if (fFlags & AM_MEDIAEVENT_NONOTIFY) return;
    fEvents.push_back(Event{code, param1, param2});
    if (code == EC_COMPLETE || code == EC_USERABORT || code == EC_ERRORABORT) fCompletion = code;
    fHandle.Set();
    hwnd = fHwnd;
    message = fMessage;
    instance = fInstance;
  }
  fArrived.notify_all();
  if (hwnd) PostMessage(hwnd, message, 0, instance);
}

HRESULT TGraphEventQueue::Get(Event* event, LONG msTimeout) {
  std::unique_lock lock(fLock);
  const auto have = [this] { return !fEvents.empty(); };
  if (static_cast<DWORD>(msTimeout) == INFINITE) {
    fArrived.wait(lock, have);
  } else if (!fArrived.wait_for(lock, std::chrono::milliseconds(msTimeout < 0 ? 0 : msTimeout),
                                have)) {
    return E_ABORT;
  }
  *event = fEvents.front();
  fEvents.pop_front();
  if (fEvents.empty()) fHandle.Reset();
  return S_OK;
}

void TGraphEventQueue::Clear() {
  std::lock_guard lock(fLock);
  fEvents.clear();
  fHandle.Reset();
}

void TGraphEventQueue::SetNotifyWindow(HWND hwnd, UINT message, LONG_PTR instanceData) {
  std::lock_guard lock(fLock);
  fHwnd = hwnd;
  fMessage = message;
  fInstance = instanceData;
}

void TGraphEventQueue::SetNotifyFlags(LONG flags) {
  std::lock_guard lock(fLock);
  fFlags = flags;
  if (flags & AM_MEDIAEVENT_NONOTIFY) {
    fEvents.clear();
    fHandle.Reset();
  }
}

LONG TGraphEventQueue::NotifyFlags() {
  std::lock_guard lock(fLock);
  return fFlags;
}

void TGraphEventQueue::ResetCompletion() {
  std::lock_guard lock(fLock);
  fCompletion = 0;
}

HRESULT TGraphEventQueue::WaitForCompletion(LONG msTimeout, LONG* code) {
  std::unique_lock lock(fLock);
  const auto done = [this] { return fCompletion != 0; };
  if (static_cast<DWORD>(msTimeout) == INFINITE) {
    fArrived.wait(lock, done);
  } else if (!fArrived.wait_for(lock, std::chrono::milliseconds(msTimeout < 0 ? 0 : msTimeout),
                                done)) {
    return E_ABORT;
  }
  if (code) *code = fCompletion;
  return S_OK;
}
