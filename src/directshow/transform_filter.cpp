#include "directshow/transform_filter.h"

#include <cstddef>

#include "directshow/pos_passthru.h"
#include "directshow/sample_generation.h"
#include "directshow/wide_string.h"

// ---------------------------------------------------------------------------
// Input pin

TBCTransformInputPin::TBCTransformInputPin(std::string objectName, TBCTransformFilter* filter,
                                           std::string pinName)
    : TBCBaseInputPin(std::move(objectName), filter, &filter->FilterLock(), std::move(pinName)),
      fTransformFilter(filter) {}

HRESULT TBCTransformInputPin::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  *Id = ds::CoTaskStrDup(u"In");
  return *Id ? S_OK : E_OUTOFMEMORY;
}

HRESULT TBCTransformInputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = fTransformFilter->CheckConnect(PINDIR_INPUT, pin);
  if (FAILED(hr)) return hr;
  return TBCBaseInputPin::CheckConnect(pin);
}

HRESULT TBCTransformInputPin::BreakConnect() {
  fTransformFilter->BreakConnect(PINDIR_INPUT);
  return TBCBaseInputPin::BreakConnect();
}

HRESULT TBCTransformInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = fTransformFilter->CompleteConnect(PINDIR_INPUT, receivePin);
  if (FAILED(hr)) return hr;
  return TBCBaseInputPin::CompleteConnect(receivePin);
}

HRESULT TBCTransformInputPin::CheckMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  HRESULT hr = fTransformFilter->CheckInputType(mt);
  if (hr != S_OK) return hr;
  TBCTransformOutputPin* out = fTransformFilter->OutputPin();
  if (out && out->IsConnected()) {
    hr = fTransformFilter->CheckTransform(mt, &out->CurrentMediaType());
  }
  return hr;
}

HRESULT TBCTransformInputPin::SetMediaType(const TBCMediaType* mt) {
  const HRESULT hr = TBCBaseInputPin::SetMediaType(mt);
  if (FAILED(hr)) return hr;
  return fTransformFilter->SetMediaType(PINDIR_INPUT, mt);
}

HRESULT TBCTransformInputPin::Receive(IMediaSample* pSample) {
  TBCAutoLock lock(fTransformFilter->ReceiveLock());
  const HRESULT hr = TBCBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  return fTransformFilter->Receive(pSample);
}

HRESULT TBCTransformInputPin::EndOfStream() {
  TBCAutoLock lock(fTransformFilter->ReceiveLock());
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return fTransformFilter->EndOfStream();
}

HRESULT TBCTransformInputPin::BeginFlush() {
  {
    TBCAutoLock lock(*fLock);
    if (!IsConnected() || !fTransformFilter->OutputPin() ||
        !fTransformFilter->OutputPin()->IsConnected())
      return VFW_E_NOT_CONNECTED;
  }
  const HRESULT hr = TBCBaseInputPin::BeginFlush();
  if (FAILED(hr)) return hr;
  return fTransformFilter->BeginFlush();
}

HRESULT TBCTransformInputPin::EndFlush() {
  {
    TBCAutoLock lock(*fLock);
    if (!IsConnected() || !fTransformFilter->OutputPin() ||
        !fTransformFilter->OutputPin()->IsConnected())
      return VFW_E_NOT_CONNECTED;
  }
  // No Receive runs while the flush ends: the filter may reset its state.
  TBCAutoLock receive(fTransformFilter->ReceiveLock());
  const HRESULT hr = fTransformFilter->EndFlush();
  if (FAILED(hr)) return hr;
  return TBCBaseInputPin::EndFlush();
}

HRESULT TBCTransformInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop,
                                         double dRate) {
  TBCBasePin::NewSegment(tStart, tStop, dRate);
  return fTransformFilter->NewSegment(tStart, tStop, dRate);
}

// ---------------------------------------------------------------------------
// Output pin

TBCTransformOutputPin::TBCTransformOutputPin(std::string objectName, TBCTransformFilter* filter,
                                             std::string pinName)
    : TBCBaseOutputPin(std::move(objectName), filter, &filter->FilterLock(), std::move(pinName)),
      fTransformFilter(filter) {}

TBCTransformOutputPin::~TBCTransformOutputPin() = default;

HRESULT TBCTransformOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IMediaSeeking::iid || riid == IMediaPosition::iid) {
    {
      TBCAutoLock lock(*fLock);
      if (!fPosition)
        fPosition =
            std::make_unique<TBCPosPassThru>(fFilter->GetUnknown(), fTransformFilter->GetPin(0));
    }
    return fPosition->NonDelegatingQueryInterface(riid, ppv);
  }
  return TBCBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT TBCTransformOutputPin::QueryId(LPWSTR* Id) {
  if (!Id) return E_POINTER;
  *Id = ds::CoTaskStrDup(u"Out");
  return *Id ? S_OK : E_OUTOFMEMORY;
}

HRESULT TBCTransformOutputPin::Notify(IBaseFilter*, Quality q) {
  const HRESULT hr = fTransformFilter->AlterQuality(q);
  if (hr != S_FALSE) return hr;
  TBCTransformInputPin* in = fTransformFilter->InputPin();
  if (!in) return VFW_E_NOT_FOUND;
  return in->PassNotify(q);
}

HRESULT TBCTransformOutputPin::CheckConnect(IPin* pin) {
  TBCTransformInputPin* in = fTransformFilter->InputPin();
  if (!in || !in->IsConnected()) return E_UNEXPECTED;
  const HRESULT hr = fTransformFilter->CheckConnect(PINDIR_OUTPUT, pin);
  if (FAILED(hr)) return hr;
  return TBCBaseOutputPin::CheckConnect(pin);
}

HRESULT TBCTransformOutputPin::BreakConnect() {
  fTransformFilter->BreakConnect(PINDIR_OUTPUT);
  return TBCBaseOutputPin::BreakConnect();
}

HRESULT TBCTransformOutputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = fTransformFilter->CompleteConnect(PINDIR_OUTPUT, receivePin);
  if (FAILED(hr)) return hr;
  return TBCBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT TBCTransformOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                                ALLOCATOR_PROPERTIES* request) {
  return fTransformFilter->DecideBufferSize(allocator, request);
}

HRESULT TBCTransformOutputPin::CheckMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  TBCTransformInputPin* in = fTransformFilter->InputPin();
  if (!in || !in->IsConnected()) return E_INVALIDARG;
  return fTransformFilter->CheckTransform(&in->CurrentMediaType(), mt);
}

HRESULT TBCTransformOutputPin::SetMediaType(const TBCMediaType* mt) {
  TBCTransformInputPin* in = fTransformFilter->InputPin();
  if (!in || !in->IsConnected()) return E_UNEXPECTED;
  const HRESULT hr = TBCBaseOutputPin::SetMediaType(mt);
  if (FAILED(hr)) return hr;
  return fTransformFilter->SetMediaType(PINDIR_OUTPUT, mt);
}

HRESULT TBCTransformOutputPin::GetMediaType(int position, TBCMediaType* mt) {
  TBCTransformInputPin* in = fTransformFilter->InputPin();
  if (!in || !in->IsConnected()) return E_UNEXPECTED;
  return fTransformFilter->GetMediaType(position, mt);
}

// ---------------------------------------------------------------------------
// Filter

TBCTransformFilter::TBCTransformFilter(std::string objectName, const CLSID& clsid)
    : TBCBaseFilter(std::move(objectName), clsid) {}

TBCTransformFilter::~TBCTransformFilter() {
  // The output pin's pass-through refers to the input pin: output first.
  fOutput.reset();
  fInput.reset();
}

int TBCTransformFilter::GetPinCount() { return 2; }

TBCBasePin* TBCTransformFilter::GetPin(int n) {
  TBCAutoLock lock(fLock);
  if (!fInput) {
    fInput = std::make_unique<TBCTransformInputPin>("Transform input pin", this, "XForm In");
    fOutput = std::make_unique<TBCTransformOutputPin>("Transform output pin", this, "XForm Out");
  }
  if (n == 0) return fInput.get();
  if (n == 1) return fOutput.get();
  return nullptr;
}

HRESULT TBCTransformFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!ppPin) return E_POINTER;
  *ppPin = nullptr;
  if (!Id) return E_POINTER;
  const auto id = ds::WideView(Id);
  TBCBasePin* pin = nullptr;
  if (id == u"In")
    pin = GetPin(0);
  else if (id == u"Out")
    pin = GetPin(1);
  if (!pin) return VFW_E_NOT_FOUND;
  return CopyOut<IPin>(pin, ppPin);
}

HRESULT TBCTransformFilter::Stop() {
  TBCAutoLock lock(fLock);
  if (IsStopped()) return S_OK;
  // Release a streaming thread waiting for a buffer on either side, then
  // wait for a Receive in progress to leave.
  if (fInput) fInput->Inactive();
  if (fOutput) fOutput->Inactive();
  TBCAutoLock receive(fReceiveLock);
  const HRESULT hr = StopStreaming();
  TBCBaseFilter::Stop();
  fEOSDelivered = false;
  fQualityChanged = false;
  fSampleSkipped = false;
  return hr;
}

HRESULT TBCTransformFilter::Pause() {
  TBCAutoLock lock(fLock);
  if (State() == State_Paused) return S_OK;
  GetPin(0);
  if (!fInput->IsConnected()) {
    // No data can come: tell downstream at once.
    if (fOutput->IsConnected() && !fEOSDelivered) {
      fOutput->DeliverEndOfStream();
      fEOSDelivered = true;
    }
  } else if (IsStopped() && fOutput->IsConnected()) {
    TBCAutoLock receive(fReceiveLock);
    const HRESULT hr = StartStreaming();
    if (FAILED(hr)) return hr;
  }
  return TBCBaseFilter::Pause();
}

HRESULT TBCTransformFilter::SetMediaType(PIN_DIRECTION, const TBCMediaType*) { return S_OK; }
HRESULT TBCTransformFilter::CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }
HRESULT TBCTransformFilter::BreakConnect(PIN_DIRECTION) { return S_OK; }
HRESULT TBCTransformFilter::CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }
HRESULT TBCTransformFilter::StartStreaming() { return S_OK; }
HRESULT TBCTransformFilter::StopStreaming() { return S_OK; }
HRESULT TBCTransformFilter::Transform(IMediaSample*, IMediaSample*) { return E_UNEXPECTED; }
HRESULT TBCTransformFilter::AlterQuality(const Quality&) { return S_FALSE; }

HRESULT TBCTransformFilter::InitializeOutputSample(IMediaSample* sample, IMediaSample** outSample) {
  if (!sample || !outSample) return E_POINTER;
  *outSample = nullptr;
  AM_SAMPLE2_PROPERTIES in{};
  bool haveProps = false;
  ComPtr<IMediaSample2> sample2;
  if (SUCCEEDED(sample->QueryInterface(IMediaSample2::iid, sample2.PutVoid())) && sample2) {
    haveProps = SUCCEEDED(sample2->GetProperties(sizeof(in), reinterpret_cast<BYTE*>(&in)));
  }
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const HRESULT timeHr = sample->GetTime(&start, &stop);
  const bool timeValid = SUCCEEDED(timeHr);
  const bool stopValid = timeHr == S_OK;

  DWORD flags = 0;
  if (fSampleSkipped) flags |= AM_GBF_PREVFRAMESKIPPED;
  if (sample->IsSyncPoint() != S_OK) flags |= AM_GBF_NOTASYNCPOINT;
  IMediaSample* out = nullptr;
  HRESULT hr = fOutput->GetDeliveryBuffer(&out, timeValid ? &start : nullptr,
                                          stopValid ? &stop : nullptr, flags);
  if (FAILED(hr)) return hr;
  ComPtr<IMediaSample> result = ComPtr<IMediaSample>::Adopt(out);

  if (timeValid)
    result->SetTime(&start, stopValid ? &stop : nullptr);
  else
    result->SetTime(nullptr, nullptr);
  result->SetSyncPoint(ToBOOL(sample->IsSyncPoint() == S_OK));
  result->SetDiscontinuity(ToBOOL(sample->IsDiscontinuity() == S_OK || fSampleSkipped));
  result->SetPreroll(ToBOOL(sample->IsPreroll() == S_OK));
  LONGLONG mStart = 0;
  LONGLONG mStop = 0;
  if (sample->GetMediaTime(&mStart, &mStop) == S_OK)
    result->SetMediaTime(&mStart, &mStop);
  else
    result->SetMediaTime(nullptr, nullptr);
  if (haveProps && in.dwStreamId != AM_STREAM_MEDIA) {
    ComPtr<IMediaSample2> out2 = result.As<IMediaSample2>();
    AM_SAMPLE2_PROPERTIES props{};
    if (out2 && SUCCEEDED(out2->GetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)))) {
      props.dwStreamId = in.dwStreamId;
      out2->SetProperties(offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId) + sizeof(DWORD),
                          reinterpret_cast<const BYTE*>(&props));
    }
  }
  ds::CopySampleGeneration(sample, result.get());
  fSampleSkipped = false;
  *outSample = result.Detach();
  return S_OK;
}

HRESULT TBCTransformFilter::Receive(IMediaSample* sample) {
  if (!fOutput || !fOutput->IsConnected()) return VFW_E_NOT_CONNECTED;
  ComPtr<IMediaSample2> sample2;
  if (SUCCEEDED(sample->QueryInterface(IMediaSample2::iid, sample2.PutVoid())) && sample2) {
    AM_SAMPLE2_PROPERTIES props{};
    if (SUCCEEDED(sample2->GetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props))) &&
        props.dwStreamId != AM_STREAM_MEDIA) {
      return fOutput->Deliver(sample);
    }
  }
  IMediaSample* raw = nullptr;
  HRESULT hr = InitializeOutputSample(sample, &raw);
  if (FAILED(hr)) return hr;
  ComPtr<IMediaSample> out = ComPtr<IMediaSample>::Adopt(raw);
  hr = Transform(sample, out.get());
  if (FAILED(hr)) return hr;
  if (hr == S_OK) return fOutput->Deliver(out.get());
  // S_FALSE: the sample is dropped; tell the graph once per run.
  fSampleSkipped = true;
  if (!fQualityChanged) {
    fQualityChanged = true;
    NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
  }
  return S_OK;
}

HRESULT TBCTransformFilter::EndOfStream() {
  return fOutput ? fOutput->DeliverEndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT TBCTransformFilter::BeginFlush() {
  return fOutput ? fOutput->DeliverBeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT TBCTransformFilter::EndFlush() {
  return fOutput ? fOutput->DeliverEndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT TBCTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return fOutput ? fOutput->DeliverNewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}
