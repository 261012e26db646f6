#include "directshow/output_pin.h"

#include "directshow/mem_allocator.h"

TBCBaseOutputPin::TBCBaseOutputPin(std::string objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                                   std::string pinName)
    : TBCBasePin(std::move(objectName), filter, lock, std::move(pinName), PINDIR_OUTPUT) {}

TBCBaseOutputPin::~TBCBaseOutputPin() = default;

HRESULT TBCBaseOutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT TBCBaseOutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT TBCBaseOutputPin::EndFlush() { return E_UNEXPECTED; }

HRESULT TBCBaseOutputPin::CheckConnect(IPin* pin) {
  HRESULT hr = TBCBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  ComPtr<IMemInputPin> input;
  hr = pin->QueryInterface(IMemInputPin::iid, input.PutVoid());
  if (FAILED(hr) || !input) return E_NOINTERFACE;
  fInputPin = std::move(input);
  return S_OK;
}

HRESULT TBCBaseOutputPin::CompleteConnect(IPin*) {
  if (!fInputPin) return E_UNEXPECTED;
  return DecideAllocator(fInputPin.get(), &fAllocator);
}

HRESULT TBCBaseOutputPin::BreakConnect() {
  if (fAllocator) {
    fAllocator->Decommit();
    fAllocator = nullptr;
  }
  fInputPin = nullptr;
  return S_OK;
}

HRESULT TBCBaseOutputPin::InitAllocator(ComPtr<IMemAllocator>* allocator) {
  *allocator = MakeCom<TBCMemAllocator>();
  return S_OK;
}

HRESULT TBCBaseOutputPin::DecideAllocator(IMemInputPin* pin, ComPtr<IMemAllocator>* allocator) {
  ALLOCATOR_PROPERTIES props{};
  pin->GetAllocatorRequirements(&props);
  if (props.cbAlign == 0) props.cbAlign = 1;

  // The input pin's allocator first.
  ComPtr<IMemAllocator> candidate;
  HRESULT hr = pin->GetAllocator(candidate.Put());
  if (SUCCEEDED(hr) && candidate) {
    ALLOCATOR_PROPERTIES request = props;
    hr = DecideBufferSize(candidate.get(), &request);
    if (SUCCEEDED(hr)) {
      hr = pin->NotifyAllocator(candidate.get(), BOOL_FALSE);
      if (SUCCEEDED(hr)) {
        *allocator = std::move(candidate);
        return S_OK;
      }
    }
  }
  // Then one of our own.
  hr = InitAllocator(&candidate);
  if (FAILED(hr) || !candidate) return FAILED(hr) ? hr : VFW_E_NO_ALLOCATOR;
  ALLOCATOR_PROPERTIES request = props;
  hr = DecideBufferSize(candidate.get(), &request);
  if (FAILED(hr)) return hr;
  hr = pin->NotifyAllocator(candidate.get(), BOOL_FALSE);
  if (FAILED(hr)) return hr;
  *allocator = std::move(candidate);
  return S_OK;
}

HRESULT TBCBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                            REFERENCE_TIME* stop, DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  if (!fAllocator) return VFW_E_NO_ALLOCATOR;
  return fAllocator->GetBuffer(sample, start, stop, flags);
}

HRESULT TBCBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!fInputPin) return VFW_E_NOT_CONNECTED;
  return fInputPin->Receive(sample);
}

HRESULT TBCBaseOutputPin::DeliverEndOfStream() {
  IPin* peer = GetConnected();
  return peer ? peer->EndOfStream() : S_OK;
}

HRESULT TBCBaseOutputPin::DeliverBeginFlush() {
  IPin* peer = GetConnected();
  return peer ? peer->BeginFlush() : S_OK;
}

HRESULT TBCBaseOutputPin::DeliverEndFlush() {
  IPin* peer = GetConnected();
  return peer ? peer->EndFlush() : S_OK;
}

HRESULT TBCBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                            double rate) {
  IPin* peer = GetConnected();
  return peer ? peer->NewSegment(start, stop, rate) : S_OK;
}

HRESULT TBCBaseOutputPin::Active() {
  if (!fAllocator) return VFW_E_NO_ALLOCATOR;
  return fAllocator->Commit();
}

HRESULT TBCBaseOutputPin::Inactive() {
  if (fAllocator) fAllocator->Decommit();
  return S_OK;
}
