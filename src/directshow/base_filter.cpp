#include "directshow/base_filter.h"

#include <algorithm>

#include "directshow/base_pin.h"
#include "directshow/enumerators.h"
#include "directshow/wide_string.h"

TBCBaseFilter::TBCBaseFilter(std::string objectName, const CLSID& clsid)
    : fObjectName(std::move(objectName)), fClsid(clsid) {}

TBCBaseFilter::~TBCBaseFilter() = default;

void TBCBaseFilter::RegisterPin(TBCBasePin* pin) {
  TBCAutoLock lock(fLock);
  fPins.push_back(pin);
  IncrementPinVersion();
}

void TBCBaseFilter::UnregisterPin(TBCBasePin* pin) {
  TBCAutoLock lock(fLock);
  fPins.erase(std::remove(fPins.begin(), fPins.end(), pin), fPins.end());
  IncrementPinVersion();
}

HRESULT TBCBaseFilter::GetClassID(CLSID* pClsID) {
  if (!pClsID) return E_POINTER;
  *pClsID = fClsid;
  return S_OK;
}

HRESULT TBCBaseFilter::Stop() {
  TBCAutoLock lock(fLock);
  HRESULT result = S_OK;
  if (IsActive()) {
    const int n = GetPinCount();
    for (int i = 0; i < n; ++i) {
      TBCBasePin* pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        const HRESULT hr = pin->Inactive();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
      }
    }
  }
  fState.store(State_Stopped, std::memory_order_release);
  return result;
}

HRESULT TBCBaseFilter::Pause() {
  TBCAutoLock lock(fLock);
  if (IsStopped()) {
    const int n = GetPinCount();
    for (int i = 0; i < n; ++i) {
      TBCBasePin* pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        const HRESULT hr = pin->Active();
        if (FAILED(hr)) return hr;
      }
    }
  }
  fState.store(State_Paused, std::memory_order_release);
  return S_OK;
}

HRESULT TBCBaseFilter::Run(REFERENCE_TIME tStart) {
  TBCAutoLock lock(fLock);
  if (IsStopped()) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  fStart.store(tStart, std::memory_order_release);
  if (State() == State_Paused) {
    const int n = GetPinCount();
    for (int i = 0; i < n; ++i) {
      TBCBasePin* pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        const HRESULT hr = pin->Run(tStart);
        if (FAILED(hr)) return hr;
      }
    }
  }
  fState.store(State_Running, std::memory_order_release);
  return S_OK;
}

HRESULT TBCBaseFilter::GetState(DWORD, FILTER_STATE* State) {
  if (!State) return E_POINTER;
  *State = this->State();
  return S_OK;
}

HRESULT TBCBaseFilter::SetSyncSource(IReferenceClock* pClock) {
  std::lock_guard lock(fClockLock);
  fClock = ComPtr<IReferenceClock>(pClock);
  return S_OK;
}

HRESULT TBCBaseFilter::GetSyncSource(IReferenceClock** pClock) {
  std::lock_guard lock(fClockLock);
  return CopyOut(fClock.get(), pClock);
}

ComPtr<IReferenceClock> TBCBaseFilter::Clock() const {
  std::lock_guard lock(fClockLock);
  return fClock;
}

HRESULT TBCBaseFilter::StreamTime(REFERENCE_TIME* pTime) const {
  if (!pTime) return E_POINTER;
  const auto clock = Clock();
  if (!clock) return VFW_E_NO_CLOCK;
  REFERENCE_TIME now = 0;
  const HRESULT hr = clock->GetTime(&now);
  if (FAILED(hr)) return hr;
  *pTime = now - StartTime();
  return S_OK;
}

HRESULT TBCBaseFilter::EnumPins(IEnumPins** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = MakeCom<TBCEnumPins>(this).Detach();
  return S_OK;
}

HRESULT TBCBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!ppPin) return E_POINTER;
  *ppPin = nullptr;
  if (!Id) return E_POINTER;
  TBCAutoLock lock(fLock);
  const int n = GetPinCount();
  for (int i = 0; i < n; ++i) {
    TBCBasePin* pin = GetPin(i);
    if (!pin) continue;
    LPWSTR id = nullptr;
    if (FAILED(pin->QueryId(&id)) || !id) continue;
    const bool match = ds::WideView(id) == ds::WideView(Id);
    CoTaskMemFree(id);
    if (match) return CopyOut<IPin>(pin, ppPin);
  }
  return VFW_E_NOT_FOUND;
}

HRESULT TBCBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  TBCAutoLock lock(fLock);
  ds::CopyToBuffer(fGraphName, pInfo->achName, MAX_FILTER_NAME);
  pInfo->pGraph = fGraph;
  if (fGraph) fGraph->AddRef();
  return S_OK;
}

HRESULT TBCBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  TBCAutoLock lock(fLock);
  fGraph = pGraph;
  fGraphName = pGraph ? std::u16string(ds::WideView(pName)) : std::u16string();
  IMediaEventSink* sink = nullptr;
  if (pGraph) {
    ComPtr<IMediaEventSink> s;
    if (SUCCEEDED(pGraph->QueryInterface(IMediaEventSink::iid, s.PutVoid()))) sink = s.get();
    // Kept without a reference: the graph holds this filter, not the reverse.
  }
  std::lock_guard sinkLock(fSinkLock);
  fSink = sink;
  return S_OK;
}

HRESULT TBCBaseFilter::QueryVendorInfo(LPWSTR* pVendorInfo) {
  if (pVendorInfo) *pVendorInfo = nullptr;
  return E_NOTIMPL;
}

std::string TBCBaseFilter::GraphName() const {
  TBCAutoLock lock(fLock);
  return ds::ToUtf8(fGraphName);
}

HRESULT TBCBaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
  std::lock_guard lock(fSinkLock);
  if (!fSink) return S_FALSE;
  if (code == EC_COMPLETE && param2 == 0)
    param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
  return fSink->Notify(code, param1, param2);
}

int TBCBaseFilter::GetPinCount() {
  TBCAutoLock lock(fLock);
  return static_cast<int>(fPins.size());
}

TBCBasePin* TBCBaseFilter::GetPin(int n) {
  TBCAutoLock lock(fLock);
  if (n < 0 || static_cast<std::size_t>(n) >= fPins.size()) return nullptr;
  return fPins[static_cast<std::size_t>(n)];
}
