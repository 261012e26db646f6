#pragma once
// The event queue behind a graph's IMediaEventEx.
//
// Push queues an event and posts the notify message to the window set with
// SetNotifyWindow (outside the queue's lock); Get takes the oldest event,
// waiting up to a time-out. The event handle (a manual-reset TBCEvent) is set
// while events wait. Any thread.

#include <condition_variable>
#include <deque>
#include <mutex>

#include "directshow/dshow_types.h"
#include "directshow/sync.h"

class TGraphEventQueue {
 public:
  struct Event {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
  };

  void Push(LONG code, LONG_PTR param1, LONG_PTR param2);
  // E_ABORT when nothing arrives within the time-out (INFINITE waits).
  HRESULT Get(Event* event, LONG msTimeout);
  void Clear();
  void SetNotifyWindow(HWND hwnd, UINT message, LONG_PTR instanceData);
  void SetNotifyFlags(LONG flags);
  LONG NotifyFlags();
  TBCEvent& Handle() { return fHandle; }

  // Completion tracking for WaitForCompletion: forgets earlier completions.
  void ResetCompletion();
  // Waits for EC_COMPLETE, EC_USERABORT or EC_ERRORABORT queued since the
  // last ResetCompletion; E_ABORT on time-out.
  HRESULT WaitForCompletion(LONG msTimeout, LONG* code);

 private:
  std::mutex fLock;
  std::condition_variable fArrived;
  std::deque<Event> fEvents;
  HWND fHwnd = 0;
  UINT fMessage = 0;
  LONG_PTR fInstance = 0;
  LONG fFlags = 0;
  LONG fCompletion = 0;  // 0: none yet
  TBCEvent fHandle{true};
};
