#pragma once
// TBCBaseRenderer: a filter with one input pin "In" that presents each sample
// at its time on the reference clock, on the upstream filter's streaming
// thread (Receive blocks until the sample is due).
//
// Behaviour
// - Running: each sample waits until its start time (stream time, i.e.
//   relative to the run's start time and the segment) on the clock, then
//   DoRenderSample draws it. Without a clock, or a sample without times, it
//   is drawn at once. ShouldDrawSampleNow may draw a sample at once or drop
//   it instead (TBCBaseVideoRenderer drops late ones).
// - Paused: the first sample is shown at once through OnReceiveFirstSample
//   and held (Receive does not return) until Run, a flush or Stop. GetState
//   answers VFW_S_STATE_INTERMEDIATE until such a sample has been shown or
//   the end of stream arrived (an unconnected renderer is always ready).
// - End of stream: EC_COMPLETE (param2 = this filter) once every sample
//   before it has been rendered; delivered when running, or at the next Run
//   when it arrives paused; once per stream, reset by Stop and flushes.
// - Stop and BeginFlush release a waiting sample immediately; Stop and
//   EndFlush return only after a Receive in progress has left.
//
// Locks: the filter lock (application thread, state changes), the receive
// lock (held by the streaming thread for a whole Receive/EndOfStream,
// including the hooks it calls) and the renderer lock (sample and schedule
// state, held only briefly, never while calling a hook). Order: filter lock
// -> receive lock -> renderer lock. Hooks that run on the streaming thread
// must not take the filter lock or call this filter's IBaseFilter methods.
//
// Hooks a subclass overrides:
// | Hook                     | Thread, locks held     | Base behaviour                     |
// | CheckMediaType(mt)       | app (connecting),      | pure: S_OK accepts                 |
// |                          | filter                 |                                    |
// | SetMediaType(mt)         | app, filter            | S_OK                               |
// | CheckConnect / Break- /  | app, filter            | S_OK                               |
// | CompleteConnect          |                        |                                    |
// | DoRenderSample(sample)   | streaming, receive     | pure; its result is ignored        |
// | OnReceiveFirstSample(s)  | streaming, receive     | nothing (paused: first sample)     |
// | ShouldDrawSampleNow(s,   | streaming, receive     | S_FALSE: wait for the start time;  |
// |   start, stop)           |                        | S_OK: draw now; failure: drop      |
// | OnRenderStart / End(s)   | streaming, receive     | nothing (around DoRenderSample)    |
// | OnStartStreaming()       | app (pause from        | S_OK                               |
// |                          | stopped), filter       |                                    |
// | OnStopStreaming()        | app (stop), filter     | S_OK                               |
// | Receive / EndOfStream /  | as the pin's           | the behaviour above; call base     |
// | BeginFlush / EndFlush    |                        |                                    |
// | Stop / Pause / Run /     | app, filter (taken by  | the behaviour above; call base     |
// | GetState                 | base)                  |                                    |
// | CreateInputPin()         | app, filter            | a TBCRendererInputPin "In"         |
// | GetPinCount / GetPin(n)  | app, filter            | 0 = "In" (created on first use),   |
// |                          |                        | then any other pin the subclass    |
// |                          |                        | constructed, in order              |
// | FindPin(id)              | app                    | by QueryId: "In" and the others    |
// The filter also answers IMediaSeeking and IMediaPosition, passed upstream,
// whose current position is that of the last sample drawn or shown.

#include <condition_variable>
#include <memory>
#include <mutex>

#include "directshow/base_filter.h"
#include "directshow/input_pin.h"

class TBCBaseRenderer;
class TBCRendererPosPassThru;

class TBCRendererInputPin : public TBCBaseInputPin {
 public:
  TBCRendererInputPin(TBCBaseRenderer* renderer, std::string pinName = "In");

  // IMemInputPin / IPin: the base checks, then the renderer's methods.
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // TBCBasePin hooks: forwarded to the renderer's hooks.
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT SetMediaType(const TBCMediaType* mt) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;

 protected:
  TBCBaseRenderer* const fRenderer;
};

class TBCBaseRenderer : public TBCBaseFilter {
 public:
  ~TBCBaseRenderer() override;

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IMediaFilter
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;

  int GetPinCount() override;
  TBCBasePin* GetPin(int n) override;

  // Hooks (see the table above).
  virtual HRESULT CheckMediaType(const TBCMediaType* mt) = 0;
  virtual HRESULT SetMediaType(const TBCMediaType* mt);
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT BreakConnect();
  virtual HRESULT CompleteConnect(IPin* receivePin);
  virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;
  virtual void OnReceiveFirstSample(IMediaSample* sample);
  virtual HRESULT ShouldDrawSampleNow(IMediaSample* sample, REFERENCE_TIME* start,
                                      REFERENCE_TIME* stop);
  virtual void OnRenderStart(IMediaSample* sample);
  virtual void OnRenderEnd(IMediaSample* sample);
  virtual HRESULT OnStartStreaming();
  virtual HRESULT OnStopStreaming();
  virtual HRESULT Receive(IMediaSample* sample);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual std::unique_ptr<TBCRendererInputPin> CreateInputPin();

  // The input pin "In" (created on first use).
  TBCRendererInputPin* InputPin();
  // Whether a sample is held (waiting for its time or for Run).
  bool HaveCurrentSample();
  // Whether the end of stream arrived in this run (until Stop or a flush).
  bool IsEndOfStream();
  // Current stream time by the clock and start time of the current run;
  // VFW_E_NO_CLOCK without a clock. Any thread.
  HRESULT CurrentStreamTime(REFERENCE_TIME* time);
  // Sends a quality message upstream (streaming thread).
  HRESULT SendQuality(const Quality& q);

 protected:
  TBCBaseRenderer(std::string objectName, const CLSID& clsid);

 private:
  enum class Wait { Render, Drop, Abort };
  Wait WaitForRenderTime(IMediaSample* sample);
  bool IsReadyLocked() const;
  // Changes the streaming state and wakes the streaming thread.
  void SetStreamStateLocked(FILTER_STATE state);
  void SignalCompleteIfDue();
  void RegisterPosition(IMediaSample* sample);

  std::unique_ptr<TBCRendererInputPin> fInputPin;
  std::unique_ptr<TBCRendererPosPassThru> fPosition;

  std::mutex fReceiveLock;         // the receive lock
  std::mutex fRendererLock;        // guards everything below
  std::condition_variable fReady;  // a sample is held, end of stream, state change
  TBCEvent fRenderEvent;           // the clock's advise, or a state change
  FILTER_STATE fStreamState = State_Stopped;
  ULONGLONG fStateSeq = 0;  // bumped by every state change and flush
  bool fFlushing = false;
  bool fEOS = false;
  bool fEOSDelivered = false;
  IMediaSample* fSample = nullptr;  // held by the Receive in progress
  bool fCueing = false;             // OnReceiveFirstSample is showing fSample
  REFERENCE_TIME fStreamStart = 0;
  ComPtr<IReferenceClock> fStreamClock;
};
