#include "dsp_test_filters.h"

#include <cstring>

namespace dsptest {

TBCMediaType PcmType(int rate, int channels, int bits, WORD tag, const GUID& subtype) {
  TBCMediaType mt(MEDIATYPE_Audio);
  mt.SetSubtype(&subtype);
  mt.SetFormatType(&FORMAT_WaveFormatEx);
  auto* wfx = reinterpret_cast<WAVEFORMATEX*>(mt.AllocFormatBuffer(sizeof(WAVEFORMATEX)));
  wfx->wFormatTag = tag;
  wfx->nChannels = static_cast<WORD>(channels);
  wfx->nSamplesPerSec = static_cast<DWORD>(rate);
  wfx->wBitsPerSample = static_cast<WORD>(bits);
  wfx->nBlockAlign = static_cast<WORD>(channels * bits / 8);
  wfx->nAvgBytesPerSec = static_cast<DWORD>(rate) * wfx->nBlockAlign;
  mt.SetSampleSize(wfx->nBlockAlign);
  return mt;
}

TBCMediaType ExtensibleType(int rate, int channels, int bits, const GUID& subFormat) {
  TBCMediaType mt(MEDIATYPE_Audio);
  mt.SetSubtype(&subFormat);
  mt.SetFormatType(&FORMAT_WaveFormatEx);
  auto* ext =
      reinterpret_cast<WAVEFORMATEXTENSIBLE*>(mt.AllocFormatBuffer(sizeof(WAVEFORMATEXTENSIBLE)));
  ext->Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  ext->Format.nChannels = static_cast<WORD>(channels);
  ext->Format.nSamplesPerSec = static_cast<DWORD>(rate);
  ext->Format.wBitsPerSample = static_cast<WORD>(bits);
  ext->Format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  ext->Format.nAvgBytesPerSec = static_cast<DWORD>(rate) * ext->Format.nBlockAlign;
  ext->Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
  ext->Samples.wValidBitsPerSample = static_cast<WORD>(bits);
  ext->dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
  ext->SubFormat = subFormat;
  return mt;
}

// ---------------------------------------------------------------------------

HRESULT TRecordingSeeking::GetCapabilities(DWORD* p) {
  *p = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetCurrentPos;
  return S_OK;
}
HRESULT TRecordingSeeking::CheckCapabilities(DWORD*) { return S_OK; }
HRESULT TRecordingSeeking::IsFormatSupported(const GUID* f) {
  return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}
HRESULT TRecordingSeeking::QueryPreferredFormat(GUID* f) {
  *f = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}
HRESULT TRecordingSeeking::GetTimeFormat(GUID* f) { return QueryPreferredFormat(f); }
HRESULT TRecordingSeeking::IsUsingTimeFormat(const GUID* f) { return IsFormatSupported(f); }
HRESULT TRecordingSeeking::SetTimeFormat(const GUID* f) {
  return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}
HRESULT TRecordingSeeking::GetDuration(LONGLONG* d) {
  *d = kDuration;
  return S_OK;
}
HRESULT TRecordingSeeking::GetStopPosition(LONGLONG* s) { return GetDuration(s); }
HRESULT TRecordingSeeking::GetCurrentPosition(LONGLONG* c) {
  std::lock_guard lock(fLock);
  *c = fPosition;
  return S_OK;
}
HRESULT TRecordingSeeking::ConvertTimeFormat(LONGLONG* t, const GUID*, LONGLONG s, const GUID*) {
  *t = s;
  return S_OK;
}
HRESULT TRecordingSeeking::SetPositions(LONGLONG* c, DWORD cf, LONGLONG*, DWORD) {
  if ((cf & AM_SEEKING_PositioningBitsMask) == AM_SEEKING_AbsolutePositioning && c) {
    std::lock_guard lock(fLock);
    fPosition = *c;
    fSeeks.push_back(*c);
  }
  return S_OK;
}
HRESULT TRecordingSeeking::GetPositions(LONGLONG* c, LONGLONG* s) {
  if (c) GetCurrentPosition(c);
  if (s) *s = kDuration;
  return S_OK;
}
HRESULT TRecordingSeeking::GetAvailable(LONGLONG* e, LONGLONG* l) {
  if (e) *e = 0;
  if (l) *l = kDuration;
  return S_OK;
}
HRESULT TRecordingSeeking::SetRate(double) { return S_OK; }
HRESULT TRecordingSeeking::GetRate(double* r) {
  *r = 1.0;
  return S_OK;
}
HRESULT TRecordingSeeking::GetPreroll(LONGLONG* p) {
  *p = 0;
  return S_OK;
}
std::vector<LONGLONG> TRecordingSeeking::Seeks() {
  std::lock_guard lock(fLock);
  return fSeeks;
}

// ---------------------------------------------------------------------------

TPcmPushPin::TPcmPushPin(TPcmPushSource* source, std::string name, TBCMediaType type)
    : TBCBaseOutputPin("PCM push pin", source, &source->FilterLock(), std::move(name)),
      fType(std::move(type)),
      fSeeking(source->GetUnknown()) {}

HRESULT TPcmPushPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IMediaSeeking::iid) return fSeeking.NonDelegatingQueryInterface(riid, ppv);
  return TBCBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT TPcmPushPin::CheckMediaType(const TBCMediaType* mt) {
  return mt && *mt == fType ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TPcmPushPin::GetMediaType(int position, TBCMediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = fType;
  return S_OK;
}

HRESULT TPcmPushPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = 2;
  request->cbBuffer = kBufferSize;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(request, &actual);
}

HRESULT TPcmPushPin::Push(const void* data, LONG bytes, std::optional<REFERENCE_TIME> start,
                          std::optional<REFERENCE_TIME> stop, const AM_MEDIA_TYPE* type) {
  if (bytes > kBufferSize) return E_INVALIDARG;
  IMediaSample* raw = nullptr;
  HRESULT hr = GetDeliveryBuffer(&raw, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  ComPtr<IMediaSample> sample = ComPtr<IMediaSample>::Adopt(raw);
  BYTE* p = nullptr;
  sample->GetPointer(&p);
  if (bytes > 0) std::memcpy(p, data, static_cast<std::size_t>(bytes));
  sample->SetActualDataLength(bytes);
  if (start) {
    REFERENCE_TIME s = *start;
    REFERENCE_TIME e = stop ? *stop : 0;
    sample->SetTime(&s, stop ? &e : nullptr);
  }
  sample->SetSyncPoint(BOOL_FALSE);
  if (type) sample->SetMediaType(const_cast<AM_MEDIA_TYPE*>(type));
  return Deliver(sample.get());
}

TPcmPushSource::TPcmPushSource(std::vector<TBCMediaType> types, const CLSID& clsid)
    : TBCBaseFilter("PCM push source", clsid) {
  for (std::size_t i = 0; i < types.size(); ++i) {
    fPins.push_back(
        std::make_unique<TPcmPushPin>(this, "Out" + std::to_string(i), std::move(types[i])));
  }
}

TPcmPushSource::~TPcmPushSource() { fPins.clear(); }

HRESULT TPcmPushSource::Stop() {
  const HRESULT hr = TBCBaseFilter::Stop();
  {
    std::lock_guard lock(fStopLock);
    ++fStops;
  }
  fStopped.notify_all();
  return hr;
}

void TPcmPushSource::WaitForStops(int count) {
  std::unique_lock lock(fStopLock);
  fStopped.wait(lock, [&] { return fStops >= count; });
}

int TPcmPushSource::Stops() {
  std::lock_guard lock(fStopLock);
  return fStops;
}

// ---------------------------------------------------------------------------

TPcmSinkPin::TPcmSinkPin(TPcmSink* sink)
    : TBCBaseInputPin("PCM sink pin", sink, &sink->FilterLock(), "In"), fSink(sink) {}

HRESULT TPcmSinkPin::CheckMediaType(const TBCMediaType* mt) {
  return mt && mt->majortype == MEDIATYPE_Audio ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TPcmSinkPin::Receive(IMediaSample* sample) {
  const HRESULT hr = TBCBaseInputPin::Receive(sample);
  if (hr != S_OK) return hr;
  ReceivedSample r;
  BYTE* p = nullptr;
  sample->GetPointer(&p);
  r.data.assign(p, p + sample->GetActualDataLength());
  r.hasTime = SUCCEEDED(sample->GetTime(&r.start, &r.stop));
  r.syncPoint = sample->IsSyncPoint() == S_OK;
  r.discontinuity = sample->IsDiscontinuity() == S_OK;
  AM_MEDIA_TYPE* mt = nullptr;
  if (sample->GetMediaType(&mt) == S_OK && mt) {
    r.type = TBCMediaType(*mt);
    DeleteMediaType(mt);
  }
  std::lock_guard lock(fSink->fLock);
  fSink->fSamples.push_back(std::move(r));
  return S_OK;
}

HRESULT TPcmSinkPin::EndOfStream() {
  std::lock_guard lock(fSink->fLock);
  ++fSink->fEndOfStreams;
  return S_OK;
}

HRESULT TPcmSinkPin::BeginFlush() {
  {
    std::lock_guard lock(fSink->fLock);
    ++fSink->fBeginFlushes;
  }
  return TBCBaseInputPin::BeginFlush();
}

HRESULT TPcmSinkPin::EndFlush() {
  {
    std::lock_guard lock(fSink->fLock);
    ++fSink->fEndFlushes;
  }
  return TBCBaseInputPin::EndFlush();
}

TPcmSink::TPcmSink(const CLSID& clsid) : TBCBaseFilter("PCM sink", clsid) {
  fPin = std::make_unique<TPcmSinkPin>(this);
}

TPcmSink::~TPcmSink() { fPin.reset(); }

std::vector<ReceivedSample> TPcmSink::Samples() {
  std::lock_guard lock(fLock);
  return fSamples;
}

void TPcmSink::Clear() {
  std::lock_guard lock(fLock);
  fSamples.clear();
}

int TPcmSink::EndOfStreams() {
  std::lock_guard lock(fLock);
  return fEndOfStreams;
}

int TPcmSink::BeginFlushes() {
  std::lock_guard lock(fLock);
  return fBeginFlushes;
}

int TPcmSink::EndFlushes() {
  std::lock_guard lock(fLock);
  return fEndFlushes;
}

// ---------------------------------------------------------------------------

TPcmPassThrough::TPcmPassThrough() : TBCTransformFilter("PCM pass-through", CLSID_PcmPassThrough) {}

HRESULT TPcmPassThrough::CheckInputType(const TBCMediaType* mt) {
  return mt && mt->majortype == MEDIATYPE_Audio ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TPcmPassThrough::CheckTransform(const TBCMediaType* in, const TBCMediaType* out) {
  return *in == *out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TPcmPassThrough::GetMediaType(int position, TBCMediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = InputPin()->CurrentMediaType();
  return S_OK;
}

HRESULT TPcmPassThrough::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = 2;
  request->cbBuffer = TPcmPushPin::kBufferSize;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(request, &actual);
}

HRESULT TPcmPassThrough::Transform(IMediaSample* in, IMediaSample* out) {
  BYTE* a = nullptr;
  BYTE* b = nullptr;
  in->GetPointer(&a);
  out->GetPointer(&b);
  const LONG n = in->GetActualDataLength();
  std::memcpy(b, a, static_cast<std::size_t>(n));
  out->SetActualDataLength(n);
  return S_OK;
}

}  // namespace dsptest
