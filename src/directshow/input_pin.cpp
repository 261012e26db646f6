#include "directshow/input_pin.h"

#include "directshow/mem_allocator.h"
#include "directshow/sample_generation.h"

TBCBaseInputPin::TBCBaseInputPin(std::string objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                                 std::string pinName)
    : ComExtend(std::move(objectName), filter, lock, std::move(pinName), PINDIR_INPUT) {}

TBCBaseInputPin::~TBCBaseInputPin() = default;

HRESULT TBCBaseInputPin::GetAllocator(IMemAllocator** ppAllocator) {
  if (!ppAllocator) return E_POINTER;
  TBCAutoLock lock(*fLock);
  if (!fAllocator) fAllocator = MakeCom<TBCMemAllocator>();
  return CopyOut(fAllocator.get(), ppAllocator);
}

HRESULT TBCBaseInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
  if (!pAllocator) return E_POINTER;
  TBCAutoLock lock(*fLock);
  fAllocator = ComPtr<IMemAllocator>(pAllocator);
  fReadOnly = FromBOOL(bReadOnly);
  return S_OK;
}

HRESULT TBCBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

ComPtr<IMemAllocator> TBCBaseInputPin::Allocator() const {
  TBCAutoLock lock(*fLock);
  return fAllocator;
}

HRESULT TBCBaseInputPin::CheckStreaming() {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (IsFlushing()) return S_FALSE;
  if (fRunTimeError.load(std::memory_order_acquire)) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

bool TBCBaseInputPin::IsStale(IMediaSample* sample) const {
  const auto g = ds::SampleGeneration(sample);
  return g && *g < fFlushGeneration.load(std::memory_order_acquire);
}

HRESULT TBCBaseInputPin::Receive(IMediaSample* pSample) {
  if (!pSample) return E_POINTER;
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  if (IsStale(pSample)) return VFW_S_SOME_DATA_IGNORED;
  AM_MEDIA_TYPE* raw = nullptr;
  if (pSample->GetMediaType(&raw) == S_OK && raw) {
    const TBCMediaType mt(*raw);
    DeleteMediaType(raw);
    if (CheckMediaType(&mt) != S_OK) return VFW_E_INVALIDMEDIATYPE;
  }
  return S_OK;
}

HRESULT TBCBaseInputPin::ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                         LONG* nSamplesProcessed) {
  if (!pSamples || !nSamplesProcessed) return E_POINTER;
  *nSamplesProcessed = 0;
  HRESULT hr = S_OK;
  while (*nSamplesProcessed < nSamples) {
    hr = Receive(pSamples[*nSamplesProcessed]);
    if (hr != S_OK && hr != VFW_S_SOME_DATA_IGNORED) break;
    ++*nSamplesProcessed;
  }
  return hr;
}

HRESULT TBCBaseInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT TBCBaseInputPin::EndOfStream() { return CheckStreaming(); }

HRESULT TBCBaseInputPin::BeginFlush() {
  fFlushing.store(true, std::memory_order_release);
  return S_OK;
}

HRESULT TBCBaseInputPin::EndFlush() {
  fFlushGeneration.store(ds::NewGeneration(), std::memory_order_release);
  fRunTimeError.store(false, std::memory_order_release);
  fFlushing.store(false, std::memory_order_release);
  return S_OK;
}

HRESULT TBCBaseInputPin::Notify(IBaseFilter*, Quality q) { return PassNotify(q); }

HRESULT TBCBaseInputPin::PassNotify(const Quality& q) {
  if (IQualityControl* sink = QualitySink()) return sink->Notify(fFilter, q);
  IPin* peer = GetConnected();
  if (!peer) return VFW_E_NOT_FOUND;
  ComPtr<IQualityControl> qc;
  if (FAILED(peer->QueryInterface(IQualityControl::iid, qc.PutVoid())) || !qc)
    return VFW_E_NOT_FOUND;
  return qc->Notify(fFilter, q);
}

HRESULT TBCBaseInputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = TBCBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  PIN_DIRECTION dir;
  if (FAILED(pin->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  return S_OK;
}

HRESULT TBCBaseInputPin::BreakConnect() {
  if (fAllocator) {
    fAllocator->Decommit();
    fAllocator = nullptr;
  }
  return S_OK;
}

HRESULT TBCBaseInputPin::Inactive() {
  fRunTimeError.store(false, std::memory_order_release);
  fFlushing.store(false, std::memory_order_release);
  if (auto allocator = Allocator()) allocator->Decommit();
  return S_OK;
}
