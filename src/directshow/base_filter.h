#pragma once
// TBCBaseFilter: the state, clock, graph membership and pins of a filter.
//
// Threads and locks
// - The filter lock (FilterLock(), recursive) guards state changes,
//   connections and pin creation. The application's thread (through the
//   graph) takes it in every IMediaFilter/IBaseFilter method and in the pins'
//   connection methods. Streaming threads never take it; a hook that runs on
//   a streaming thread must not either.
// - State, start time and clock may be read from any thread (State(),
//   StartTime(), Clock()).
// - NotifyEvent may be called from any thread holding any of the filter's
//   own locks: it only takes the event-sink lock, and the graph's sink never
//   calls back into a filter.
// Lock order where locks meet: graph lock -> filter lock (upstream before
// downstream during connection) -> a filter's receive/renderer locks ->
// event-sink lock -> the graph's event lock.
//
// Pins register themselves with their filter when constructed and leave when
// destroyed; by default GetPinCount/GetPin list them in construction order,
// so a subclass that adds a pin (a renderer's second input) is seen by the
// graph without further work. Pins are owned by the subclass (members or
// std::unique_ptr) and destroyed before this base.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "directshow/dshow.h"
#include "directshow/sync.h"
#include "platform/com/com_object.h"

class TBCBasePin;

class TBCBaseFilter : public ComObject<IBaseFilter> {
 public:
  ~TBCBaseFilter() override;

  // IPersist
  HRESULT GetClassID(CLSID* pClsID) override;

  // IMediaFilter. Application thread; each takes the filter lock.
  // Stop: Inactive() on every connected pin, then State_Stopped.
  HRESULT Stop() override;
  // Pause: from stopped, Active() on every connected pin; then State_Paused.
  HRESULT Pause() override;
  // Run: pauses first when stopped, records tStart, Run(tStart) on every
  // connected pin; then State_Running.
  HRESULT Run(REFERENCE_TIME tStart) override;
  // The state; S_OK (renderers answer VFW_S_STATE_INTERMEDIATE while cueing).
  HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
  HRESULT SetSyncSource(IReferenceClock* pClock) override;
  HRESULT GetSyncSource(IReferenceClock** pClock) override;

  // IBaseFilter
  HRESULT EnumPins(IEnumPins** ppEnum) override;
  // The first pin (in GetPin order) whose QueryId equals Id exactly.
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* pInfo) override;
  // Keeps the graph without a reference (the graph holds the filter) and its
  // IMediaEventSink for NotifyEvent.
  HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
  HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) override;

  // Pin list. Application thread; the base takes the filter lock.
  virtual int GetPinCount();
  // Pin n (0-based) or null; no reference is added.
  virtual TBCBasePin* GetPin(int n);

  // Any thread.
  FILTER_STATE State() const { return fState.load(std::memory_order_acquire); }
  bool IsStopped() const { return State() == State_Stopped; }
  bool IsActive() const { return State() != State_Stopped; }
  // Reference time of stream time 0 in the current or last run.
  REFERENCE_TIME StartTime() const { return fStart.load(std::memory_order_acquire); }
  ComPtr<IReferenceClock> Clock() const;
  // Current stream time (clock time - StartTime()); VFW_E_NO_CLOCK.
  HRESULT StreamTime(REFERENCE_TIME* pTime) const;
  // Sends an event to the graph's sink; S_FALSE when not in a graph.
  // EC_COMPLETE with param2 0 is sent with this filter as param2.
  HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);

  // Application thread.
  IFilterGraph* Graph() const { return fGraph; }
  std::string GraphName() const;  // the name the graph gave, UTF-8
  const std::string& ObjectName() const { return fObjectName; }
  TBCCritSec& FilterLock() const { return fLock; }
  // Tells enumerators the pin list changed.
  void IncrementPinVersion() { ++fPinVersion; }
  int GetPinVersion() const { return fPinVersion.load(); }

 protected:
  TBCBaseFilter(std::string objectName, const CLSID& clsid);

  mutable TBCCritSec fLock;  // the filter lock
  std::atomic<FILTER_STATE> fState{State_Stopped};
  std::atomic<REFERENCE_TIME> fStart{0};

 private:
  friend class TBCBasePin;
  void RegisterPin(TBCBasePin* pin);
  void UnregisterPin(TBCBasePin* pin);

  const std::string fObjectName;
  const CLSID fClsid;
  std::vector<TBCBasePin*> fPins;  // registered pins, construction order
  std::atomic<int> fPinVersion{1};

  mutable std::mutex fClockLock;
  ComPtr<IReferenceClock> fClock;

  IFilterGraph* fGraph = nullptr;  // weak
  std::u16string fGraphName;
  std::mutex fSinkLock;
  IMediaEventSink* fSink = nullptr;  // weak, like fGraph
};
