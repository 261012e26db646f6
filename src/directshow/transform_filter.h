#pragma once
// TBCTransformFilter: a filter with one input pin and one output pin that
// turns each input sample into one output sample on the upstream filter's
// streaming thread.
//
// Locks: the filter lock (FilterLock(), application thread) and the receive
// lock (ReceiveLock(), taken by the input pin around Receive and
// EndOfStream). Order: filter lock -> receive lock. Stop takes the receive
// lock after releasing both allocators, so it waits for a Receive in
// progress to finish; the renderer downstream is stopped first by the graph.
//
// Hooks a subclass overrides:
// | Hook                    | Thread, locks held          | Base behaviour                    |
// | CheckInputType(mt)      | app (connecting), filter    | pure: S_OK accepts the input type |
// | CheckTransform(in, out) | app, filter                 | pure: S_OK accepts the pair       |
// | GetMediaType(n, mt)     | app, filter                 | pure: output type n (called only  |
// |                         |                             | while the input is connected)     |
// | DecideBufferSize(a, p)  | app, filter                 | pure: set the output allocator    |
// | SetMediaType(dir, mt)   | app, filter                 | S_OK                              |
// | CheckConnect(dir, pin)  | app, filter                 | S_OK                              |
// | BreakConnect(dir)       | app, filter                 | S_OK                              |
// | CompleteConnect(dir, p) | app, filter                 | S_OK                              |
// | StartStreaming()        | app (pause from stopped),   | S_OK                              |
// |                         | filter + receive            |                                   |
// | StopStreaming()         | app (stop), filter + receive| S_OK                              |
// | Receive(in)             | streaming, receive          | a sample of another stream than   |
// |                         |                             | AM_STREAM_MEDIA is delivered as   |
// |                         |                             | is; else InitializeOutputSample,  |
// |                         |                             | Transform, then S_OK delivers the |
// |                         |                             | output sample and S_FALSE drops it|
// |                         |                             | and raises EC_QUALITY_CHANGE once |
// |                         |                             | (per run)                         |
// | InitializeOutputSample  | streaming, receive          | a delivery buffer with the input's|
// |                         |                             | times, media times, sync point,   |
// |                         |                             | preroll, discontinuity (also after|
// |                         |                             | a dropped sample), stream id and  |
// |                         |                             | stream generation (no data)       |
// | Transform(in, out)      | streaming, receive          | E_UNEXPECTED (override it)        |
// | EndOfStream()           | streaming, receive          | passes it downstream              |
// | BeginFlush()            | flushing thread, none       | passes it downstream              |
// | EndFlush()              | flushing thread, receive    | passes it downstream (no Receive  |
// |                         | (no Receive in progress)    | runs: reset decoder state here)   |
// | NewSegment(s, e, r)     | streaming, none             | passes it downstream              |
// | AlterQuality(q)         | downstream's streaming, none| S_FALSE: the message goes upstream|
// | Stop(), Pause(), Run()  | app, filter (taken by base) | see the .cpp; subclasses call base|
// | GetPinCount / GetPin(n) | app, filter                 | 2; both pins created on the first |
// |                         |                             | GetPin: 0 input, 1 output         |
// | FindPin(id)             | app                         | "In" -> GetPin(0), "Out" ->       |
// |                         |                             | GetPin(1), else VFW_E_NOT_FOUND   |
// A subclass with its own pin classes overrides GetPin and creates them into
// fInput/fOutput on the first call.

#include <memory>
#include <mutex>

#include "directshow/base_filter.h"
#include "directshow/input_pin.h"
#include "directshow/output_pin.h"

class TBCTransformFilter;
class TBCPosPassThru;

class TBCTransformInputPin : public TBCBaseInputPin {
 public:
  TBCTransformInputPin(std::string objectName, TBCTransformFilter* filter, std::string pinName);

  // IPin / IMemInputPin
  HRESULT QueryId(LPWSTR* Id) override;  // "In"
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

  // TBCBasePin hooks: the filter's CheckInputType (and CheckTransform against
  // a connected output), SetMediaType, CheckConnect, BreakConnect,
  // CompleteConnect.
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT SetMediaType(const TBCMediaType* mt) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;

 protected:
  TBCTransformFilter* const fTransformFilter;
};

class TBCTransformOutputPin : public TBCBaseOutputPin {
 public:
  TBCTransformOutputPin(std::string objectName, TBCTransformFilter* filter, std::string pinName);
  ~TBCTransformOutputPin() override;

  // Answers IMediaSeeking and IMediaPosition through a pass-through to the
  // input pin's upstream, created on the first request.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT QueryId(LPWSTR* Id) override;  // "Out"
  // The filter's AlterQuality; when it declines, the input pin's PassNotify.
  HRESULT Notify(IBaseFilter* pSelf, Quality q) override;

  // TBCBasePin / TBCBaseOutputPin hooks: the input pin must be connected
  // for CheckMediaType (CheckTransform against the input type; E_INVALIDARG
  // otherwise), SetMediaType and GetMediaType (E_UNEXPECTED otherwise).
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT SetMediaType(const TBCMediaType* mt) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;

 protected:
  TBCTransformFilter* const fTransformFilter;

 private:
  std::unique_ptr<TBCPosPassThru> fPosition;
};

class TBCTransformFilter : public TBCBaseFilter {
 public:
  ~TBCTransformFilter() override;

  // IMediaFilter / IBaseFilter
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;

  int GetPinCount() override;
  TBCBasePin* GetPin(int n) override;

  // Hooks (see the table above).
  virtual HRESULT CheckInputType(const TBCMediaType* mtIn) = 0;
  virtual HRESULT CheckTransform(const TBCMediaType* mtIn, const TBCMediaType* mtOut) = 0;
  virtual HRESULT GetMediaType(int position, TBCMediaType* mt) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT SetMediaType(PIN_DIRECTION direction, const TBCMediaType* mt);
  virtual HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin);
  virtual HRESULT BreakConnect(PIN_DIRECTION direction);
  virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin);
  virtual HRESULT StartStreaming();
  virtual HRESULT StopStreaming();
  virtual HRESULT Receive(IMediaSample* sample);
  virtual HRESULT InitializeOutputSample(IMediaSample* sample, IMediaSample** outSample);
  virtual HRESULT Transform(IMediaSample* in, IMediaSample* out);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  virtual HRESULT AlterQuality(const Quality& q);

  TBCTransformInputPin* InputPin() const { return fInput.get(); }
  TBCTransformOutputPin* OutputPin() const { return fOutput.get(); }
  TBCCritSec& ReceiveLock() { return fReceiveLock; }

 protected:
  TBCTransformFilter(std::string objectName, const CLSID& clsid);

  TBCCritSec fReceiveLock;  // the receive lock
  std::unique_ptr<TBCTransformInputPin> fInput;
  std::unique_ptr<TBCTransformOutputPin> fOutput;
  // Receive-lock state.
  bool fEOSDelivered = false;    // end of stream sent for an unconnected input
  bool fSampleSkipped = false;   // the last Transform dropped its sample
  bool fQualityChanged = false;  // EC_QUALITY_CHANGE raised in this run
};
