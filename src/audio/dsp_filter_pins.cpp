// The effect filter's input and output pins.

#include "audio/dsp_filter.h"
#include "directshow/wide_string.h"

// ---------------------------------------------------------------------------
// Input pin

TDCDSPFilterInputPin::TDCDSPFilterInputPin(TDCDSPFilter* owner, int index)
    : TBCTransformInputPin("Input Pin", owner, "Input"), fOwner(owner), fIndex(index) {}

HRESULT TDCDSPFilterInputPin::Receive(IMediaSample* pSample) {
  if (Blocked()) {
    if (fOwner->fEnableForceStopFilter.load(std::memory_order_acquire) &&
        !fUpstreamStopRequested.exchange(true))
      fOwner->StopUpstreamOf(this);
    return E_FAIL;
  }
  return TBCTransformInputPin::Receive(pSample);
}

// A blocked pin's stream is not played: its end, flushes and segments do not
// reach the renderer, which follows the active stream only.
HRESULT TDCDSPFilterInputPin::EndOfStream() {
  if (Blocked()) return TBCBaseInputPin::EndOfStream();
  return TBCTransformInputPin::EndOfStream();
}

HRESULT TDCDSPFilterInputPin::BeginFlush() {
  if (Blocked()) return TBCBaseInputPin::BeginFlush();
  return TBCTransformInputPin::BeginFlush();
}

HRESULT TDCDSPFilterInputPin::EndFlush() {
  if (Blocked()) return TBCBaseInputPin::EndFlush();
  return TBCTransformInputPin::EndFlush();
}

HRESULT TDCDSPFilterInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                         double dRate) {
  if (Blocked()) return TBCBasePin::NewSegment(tStart, tStop, dRate);
  return TBCTransformInputPin::NewSegment(tStart, tStop, dRate);
}

HRESULT TDCDSPFilterInputPin::QueryPinInfo(PIN_INFO* pInfo) {
  const HRESULT hr = TBCTransformInputPin::QueryPinInfo(pInfo);
  if (FAILED(hr) || !IsConnected()) return hr;
  ds::CopyToBuffer(fOwner->StreamName(fIndex), pInfo->achName, MAX_PIN_NAME);
  return hr;
}

HRESULT TDCDSPFilterInputPin::CheckMediaType(const TBCMediaType* mt) {
  if (mt == nullptr) return E_POINTER;
  if (!Blocked()) return TBCTransformInputPin::CheckMediaType(mt);
  return fOwner->CheckInputTypeImpl(*mt, false);
}

HRESULT TDCDSPFilterInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = TBCTransformInputPin::CompleteConnect(receivePin);
  if (FAILED(hr)) return hr;
  fOwner->OnInputConnected(this);
  TBCTransformOutputPin* out = fOwner->OutputPin();
  if (!Blocked() && fOwner->fEnableForceDisconnect && out != nullptr && out->IsConnected()) {
    // The new stream may bring another format: let downstream take it.
    if (IFilterGraph* graph = fOwner->Graph()) graph->Reconnect(out);
  }
  return hr;
}

HRESULT TDCDSPFilterInputPin::BreakConnect() {
  // Also called after a failed attempt, when the pin was never connected.
  if (IsConnected()) fOwner->OnInputDisconnected(this);
  return TBCTransformInputPin::BreakConnect();
}

HRESULT TDCDSPFilterInputPin::Inactive() {
  fUpstreamStopRequested.store(false, std::memory_order_release);
  return TBCTransformInputPin::Inactive();
}

// ---------------------------------------------------------------------------
// Output pin

TDCDSPFilterOutputPin::TDCDSPFilterOutputPin(TDCDSPFilter* owner)
    : TBCTransformOutputPin("Output Pin", owner, "Output"), fOwner(owner) {}

TDCDSPFilterOutputPin::~TDCDSPFilterOutputPin() = default;

HRESULT TDCDSPFilterOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IMediaSeeking::iid || riid == IMediaPosition::iid) {
    *ppv = nullptr;
    TBCPosPassThru* passThru = nullptr;
    {
      TBCAutoLock lock(*fLock);
      TDCDSPFilterInputPin* active = fOwner->ActivePin();
      if (active == nullptr) return E_NOINTERFACE;
      for (const auto& p : fPositions) {
        if (p.input == active) passThru = p.passThru.get();
      }
      if (passThru == nullptr) {
        fPositions.push_back(
            Position{active, std::make_unique<TBCPosPassThru>(fFilter->GetUnknown(), active)});
        passThru = fPositions.back().passThru.get();
      }
    }
    return passThru->NonDelegatingQueryInterface(riid, ppv);
  }
  return TBCBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT TDCDSPFilterOutputPin::Notify(IBaseFilter*, Quality q) {
  const HRESULT hr = fOwner->AlterQuality(q);
  if (hr != S_FALSE) return hr;
  TDCDSPFilterInputPin* active = fOwner->fActivePin.load(std::memory_order_acquire);
  if (active == nullptr) return VFW_E_NOT_FOUND;
  return active->PassNotify(q);
}

HRESULT TDCDSPFilterOutputPin::CheckMediaType(const TBCMediaType* mt) {
  if (mt == nullptr) return E_POINTER;
  TDCDSPFilterInputPin* active = fOwner->ActivePin();
  if (active == nullptr || !active->IsConnected()) return E_UNEXPECTED;
  return fOwner->CheckTransform(&active->CurrentMediaType(), mt);
}

HRESULT TDCDSPFilterOutputPin::SetMediaType(const TBCMediaType* mt) {
  if (mt == nullptr) return E_POINTER;
  TDCDSPFilterInputPin* active = fOwner->ActivePin();
  if (active == nullptr || !active->IsConnected()) return E_UNEXPECTED;
  TBCMediaType offered;
  HRESULT hr = fOwner->GetMediaType(0, &offered);
  if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  if (!(offered == *mt)) return VFW_E_TYPE_NOT_ACCEPTED;
  hr = fOwner->CheckInputType(mt);
  if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  return TBCTransformOutputPin::SetMediaType(mt);
}

HRESULT TDCDSPFilterOutputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = TBCTransformOutputPin::CompleteConnect(receivePin);
  if (FAILED(hr)) return hr;
  fOwner->OnOutputConnected();
  return hr;
}

HRESULT TDCDSPFilterOutputPin::BreakConnect() {
  if (IsConnected()) fOwner->OnOutputDisconnected();
  return TBCTransformOutputPin::BreakConnect();
}
