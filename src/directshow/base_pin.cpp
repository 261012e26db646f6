#include "directshow/base_pin.h"

#include "directshow/enumerators.h"
#include "directshow/wide_string.h"

TBCBasePin::TBCBasePin(std::string objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                       std::string pinName, PIN_DIRECTION direction)
    : ComObject(filter->GetUnknown()),
      fFilter(filter),
      fLock(lock ? lock : &filter->FilterLock()),
      fObjectName(std::move(objectName)),
      fName(std::move(pinName)),
      fDirection(direction) {
  fFilter->RegisterPin(this);
}

TBCBasePin::~TBCBasePin() { fFilter->UnregisterPin(this); }

HRESULT TBCBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
  if (!pReceivePin) return E_POINTER;
  TBCAutoLock lock(*fLock);
  if (fConnected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  return AgreeMediaType(pReceivePin, pmt);
}

HRESULT TBCBasePin::AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* pmt) {
  if (pmt) {
    TBCMediaType mt(*pmt);
    if (!mt.IsPartiallySpecified()) return AttemptConnection(receivePin, mt);
  }
  const TBCMediaType partial = pmt ? TBCMediaType(*pmt) : TBCMediaType();
  const TBCMediaType* filter = pmt ? &partial : nullptr;
  HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
  // The output pin's own types first, then those the input pin proposes.
  IPin* sources[2] = {this, receivePin};
  for (IPin* source : sources) {
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(source->EnumMediaTypes(types.Put())) || !types) continue;
    const HRESULT hr = TryMediaTypes(receivePin, filter, types.get());
    if (SUCCEEDED(hr)) return S_OK;
    if (hr != VFW_E_NO_ACCEPTABLE_TYPES) last = hr;
  }
  return last;
}

HRESULT TBCBasePin::TryMediaTypes(IPin* receivePin, const TBCMediaType* partial,
                                  IEnumMediaTypes* types) {
  HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
  for (;;) {
    AM_MEDIA_TYPE* raw = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &raw, &fetched) != S_OK || fetched != 1 || !raw) break;
    TBCMediaType mt(*raw);
    DeleteMediaType(raw);
    if (partial && !mt.MatchesPartial(partial)) continue;
    const HRESULT hr = AttemptConnection(receivePin, mt);
    if (SUCCEEDED(hr)) return S_OK;
    last = hr;
  }
  return last;
}

HRESULT TBCBasePin::AttemptConnection(IPin* receivePin, const TBCMediaType& mt) {
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(&mt);
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  fConnected = ComPtr<IPin>(receivePin);
  hr = SetMediaType(&mt);
  if (SUCCEEDED(hr)) {
    hr = receivePin->ReceiveConnection(this, &mt);
    if (SUCCEEDED(hr)) {
      hr = CompleteConnect(receivePin);
      if (SUCCEEDED(hr)) return S_OK;
      receivePin->Disconnect();
    }
  }
  fConnected = nullptr;
  fMt.Reset();
  BreakConnect();
  return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TBCBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
  if (!pConnector || !pmt) return E_POINTER;
  TBCAutoLock lock(*fLock);
  if (fConnected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(pConnector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  const TBCMediaType mt(*pmt);
  hr = CheckMediaType(&mt);
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  fConnected = ComPtr<IPin>(pConnector);
  hr = SetMediaType(&mt);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(pConnector);
    if (SUCCEEDED(hr)) return S_OK;
  }
  fConnected = nullptr;
  fMt.Reset();
  BreakConnect();
  return hr;
}

HRESULT TBCBasePin::Disconnect() {
  TBCAutoLock lock(*fLock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  return DisconnectInternal();
}

HRESULT TBCBasePin::DisconnectInternal() {
  if (!fConnected) return S_FALSE;
  const HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  fConnected = nullptr;
  fMt.Reset();
  return S_OK;
}

HRESULT TBCBasePin::ConnectedTo(IPin** pPin) {
  if (!pPin) return E_POINTER;
  TBCAutoLock lock(*fLock);
  *pPin = nullptr;
  if (!fConnected) return VFW_E_NOT_CONNECTED;
  return CopyOut(fConnected.get(), pPin);
}

HRESULT TBCBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  TBCAutoLock lock(*fLock);
  if (!fConnected) {
    TBCMediaType empty;
    CopyMediaType(pmt, &empty);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(pmt, &fMt);
}

HRESULT TBCBasePin::QueryPinInfo(PIN_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  pInfo->pFilter = fFilter;
  fFilter->AddRef();
  pInfo->dir = fDirection;
  ds::CopyToBuffer(ds::ToUtf16(fName), pInfo->achName, MAX_PIN_NAME);
  return S_OK;
}

HRESULT TBCBasePin::QueryDirection(PIN_DIRECTION* pPinDir) {
  if (!pPinDir) return E_POINTER;
  *pPinDir = fDirection;
  return S_OK;
}

HRESULT TBCBasePin::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  *Id = ds::CoTaskStrDup(ds::ToUtf16(fName));
  return *Id ? S_OK : E_OUTOFMEMORY;
}

HRESULT TBCBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  TBCAutoLock lock(*fLock);
  const TBCMediaType mt(*pmt);
  const HRESULT hr = CheckMediaType(&mt);
  return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT TBCBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = MakeCom<TBCEnumMediaTypes>(this).Detach();
  return S_OK;
}

HRESULT TBCBasePin::QueryInternalConnections(IPin** apPin, ULONG* nPin) {
  (void)apPin;
  (void)nPin;
  return E_NOTIMPL;
}

HRESULT TBCBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
  std::lock_guard lock(fSegmentLock);
  fSegStart = tStart;
  fSegStop = tStop;
  fSegRate = dRate;
  return S_OK;
}

REFERENCE_TIME TBCBasePin::CurrentStartTime() const {
  std::lock_guard lock(fSegmentLock);
  return fSegStart;
}

REFERENCE_TIME TBCBasePin::CurrentStopTime() const {
  std::lock_guard lock(fSegmentLock);
  return fSegStop;
}

double TBCBasePin::CurrentRate() const {
  std::lock_guard lock(fSegmentLock);
  return fSegRate;
}

HRESULT TBCBasePin::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

HRESULT TBCBasePin::SetSink(IQualityControl* piqc) {
  TBCAutoLock lock(*fLock);
  fQSink = piqc;
  return S_OK;
}

HRESULT TBCBasePin::GetMediaType(int, TBCMediaType*) { return VFW_S_NO_MORE_ITEMS; }

HRESULT TBCBasePin::SetMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  return fMt.Set(*mt);
}

HRESULT TBCBasePin::CheckConnect(IPin* pin) {
  if (!pin) return E_POINTER;
  PIN_DIRECTION dir;
  const HRESULT hr = pin->QueryDirection(&dir);
  if (FAILED(hr)) return hr;
  return dir == fDirection ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT TBCBasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT TBCBasePin::BreakConnect() { return S_OK; }
HRESULT TBCBasePin::Active() { return S_OK; }
HRESULT TBCBasePin::Inactive() { return S_OK; }
HRESULT TBCBasePin::Run(REFERENCE_TIME) { return S_OK; }
