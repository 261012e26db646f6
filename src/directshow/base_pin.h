#pragma once
// TBCBasePin: connection, media type, segment and quality plumbing of a pin.
//
// A pin lives inside its filter: its reference count is the filter's, and
// the filter owns and destroys it. Its lock (given at construction, usually
// the filter lock) guards connecting and disconnecting.
//
// Connecting (IPin::Connect on the output pin, application thread, both
// pins' locks taken output first):
//   a full type given -> that type only; otherwise each type of the output
//   pin's EnumMediaTypes (GetMediaType), then each of the input pin's, that
//   matches the partial type given. For each candidate:
//   CheckConnect(peer) -> CheckMediaType(mt) -> SetMediaType(mt) ->
//   peer->ReceiveConnection(this, mt) -> CompleteConnect(peer); a failed step
//   undoes the attempt (BreakConnect) and the next type is tried.
// The input side runs CheckConnect, CheckMediaType, SetMediaType and
// CompleteConnect in ReceiveConnection. Connections change only while the
// filter is stopped (VFW_E_NOT_STOPPED), so streaming threads read
// GetConnected()/CurrentMediaType() without a lock.
//
// Hooks (all run on the application's thread with this pin's lock held,
// unless noted):
// | Hook              | Base behaviour                                      |
// | CheckMediaType    | pure: S_OK accepts the type                         |
// | GetMediaType(n,mt)| VFW_S_NO_MORE_ITEMS (the pin proposes no types)     |
// | SetMediaType      | stores the type (CurrentMediaType)                  |
// | CheckConnect(pin) | refuses a peer of the same direction                |
// | CompleteConnect   | S_OK                                                |
// | BreakConnect      | S_OK                                                |
// | Active / Inactive | S_OK; called by the filter for a connected pin when |
// |                   | it leaves / enters the stopped state                |
// | Run(tStart)       | S_OK; called for a connected pin on every Run       |
// | NewSegment        | stores start, stop and rate (any thread)            |
// | QueryId           | the pin's name                                      |

#include <mutex>
#include <string>

#include "directshow/base_filter.h"
#include "directshow/media_type.h"

class TBCBasePin : public ComObject<IPin, IQualityControl> {
 public:
  TBCBasePin(std::string objectName, TBCBaseFilter* filter, TBCCritSec* lock, std::string pinName,
             PIN_DIRECTION direction);
  ~TBCBasePin() override;

  // IPin
  HRESULT Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
  HRESULT ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pPin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  HRESULT QueryPinInfo(PIN_INFO* pInfo) override;
  HRESULT QueryDirection(PIN_DIRECTION* pPinDir) override;
  HRESULT QueryId(LPWSTR* Id) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
  HRESULT QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
  HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
  // EndOfStream, BeginFlush and EndFlush are the input and output bases'.

  // IQualityControl: base Notify refuses (E_NOTIMPL); SetSink stores a sink
  // without a reference, to which quality messages go instead of upstream.
  HRESULT Notify(IBaseFilter* pSelf, Quality q) override;
  HRESULT SetSink(IQualityControl* piqc) override;

  // Hooks (see the table above).
  virtual HRESULT CheckMediaType(const TBCMediaType* mt) = 0;
  virtual HRESULT GetMediaType(int position, TBCMediaType* mt);
  virtual HRESULT SetMediaType(const TBCMediaType* mt);
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT CompleteConnect(IPin* receivePin);
  virtual HRESULT BreakConnect();
  virtual HRESULT Active();
  virtual HRESULT Inactive();
  virtual HRESULT Run(REFERENCE_TIME tStart);

  // State readers.
  bool IsConnected() const { return fConnected != nullptr; }
  IPin* GetConnected() const { return fConnected.get(); }
  const TBCMediaType& CurrentMediaType() const { return fMt; }
  PIN_DIRECTION Direction() const { return fDirection; }
  const std::string& Name() const { return fName; }
  const std::string& ObjectName() const { return fObjectName; }
  TBCBaseFilter* Filter() const { return fFilter; }
  TBCCritSec* PinLock() const { return fLock; }
  bool IsStopped() const { return fFilter->IsStopped(); }
  // The segment of the last NewSegment (start 0, stop MAX_TIME, rate 1 at
  // first); any thread.
  REFERENCE_TIME CurrentStartTime() const;
  REFERENCE_TIME CurrentStopTime() const;
  double CurrentRate() const;
  IQualityControl* QualitySink() const { return fQSink; }

 protected:
  HRESULT AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* pmt);
  HRESULT TryMediaTypes(IPin* receivePin, const TBCMediaType* partial, IEnumMediaTypes* types);
  HRESULT AttemptConnection(IPin* receivePin, const TBCMediaType& mt);
  // Undoes a connection on this side.
  HRESULT DisconnectInternal();

  TBCBaseFilter* const fFilter;
  TBCCritSec* const fLock;
  ComPtr<IPin> fConnected;
  TBCMediaType fMt;

 private:
  const std::string fObjectName;
  const std::string fName;
  const PIN_DIRECTION fDirection;
  mutable std::mutex fSegmentLock;
  REFERENCE_TIME fSegStart = 0;
  REFERENCE_TIME fSegStop = MAX_TIME;
  double fSegRate = 1.0;
  IQualityControl* fQSink = nullptr;
};
