#include "test_filters.h"

#include <chrono>
#include <cstring>

namespace dstest {

TBCMediaType TestVideoType() {
  TBCMediaType mt(MEDIATYPE_Video);
  mt.SetSubtype(&MEDIASUBTYPE_RGB32);
  mt.SetFormatType(&FORMAT_VideoInfo2);
  mt.SetSampleSize(16 * 16 * 4);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER2*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER2)));
  vih->AvgTimePerFrame = kFrame;
  vih->dwPictAspectRatioX = 16;
  vih->dwPictAspectRatioY = 9;
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biWidth = 16;
  vih->bmiHeader.biHeight = 16;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = 32;
  return mt;
}

std::int64_t SampleNumber(IMediaSample* sample) {
  BYTE* p = nullptr;
  if (FAILED(sample->GetPointer(&p)) || sample->GetActualDataLength() < 8) return -1;
  std::int64_t n = 0;
  std::memcpy(&n, p, sizeof n);
  return n;
}

// ---------------------------------------------------------------------------

TNumberedStream::TNumberedStream(TNumberedSource* source, std::string name, bool silent)
    : TBCSourceStream("Numbered stream", source, std::move(name)),
      fOwner(source),
      fSilent(silent) {}

HRESULT TNumberedStream::CheckMediaType(const TBCMediaType* mt) {
  return mt && *mt == TestVideoType() ? S_OK : E_INVALIDARG;
}

HRESULT TNumberedStream::GetMediaType(int position, TBCMediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = TestVideoType();
  return S_OK;
}

HRESULT TNumberedStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = 4;
  request->cbBuffer = 64;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers >= 1 && actual.cbBuffer >= 8 ? S_OK : E_FAIL;
}

HRESULT TNumberedStream::OnThreadStartPlay() {
  const REFERENCE_TIME start = fOwner->Seeking()->StartPosition();
  fFirst = start / kFrame;
  fNext = fFirst;
  fDiscontinuity = true;
  return TBCSourceStream::OnThreadStartPlay();
}

HRESULT TNumberedStream::FillBuffer(IMediaSample* sample) {
  const REFERENCE_TIME segStart = fOwner->Seeking()->StartPosition();
  const REFERENCE_TIME stop = fOwner->Seeking()->StopPosition();
  if (fNext >= fOwner->Frames() || fNext * kFrame >= stop) return S_FALSE;
  BYTE* p = nullptr;
  sample->GetPointer(&p);
  std::memcpy(p, &fNext, sizeof fNext);
  sample->SetActualDataLength(sizeof fNext);
  REFERENCE_TIME t0 = fNext * kFrame - segStart;
  REFERENCE_TIME t1 = t0 + kFrame;
  sample->SetTime(&t0, &t1);
  sample->SetSyncPoint(ToBOOL(fNext % fOwner->KeyInterval() == 0));
  sample->SetDiscontinuity(ToBOOL(fDiscontinuity));
  fDiscontinuity = false;
  ++fNext;
  std::lock_guard lock(fLock);
  ++fDelivered;
  return S_OK;
}

HRESULT TNumberedStream::DoBufferProcessingLoop() {
  if (!fSilent) return TBCSourceStream::DoBufferProcessingLoop();
  WaitForStopRequest();
  return S_OK;
}

int TNumberedStream::Delivered() {
  std::lock_guard lock(fLock);
  return fDelivered;
}

TNumberedSeeking::TNumberedSeeking(TNumberedSource* source, REFERENCE_TIME duration,
                                   int keyInterval)
    : TBCSourceSeeking(source, duration), fKeyInterval(keyInterval) {
  SetFrameDuration(kFrame);
}

REFERENCE_TIME TNumberedSeeking::SnapToKeyFrame(REFERENCE_TIME target) {
  const std::int64_t frame = target / kFrame;
  return (frame - frame % fKeyInterval) * kFrame;
}

TNumberedSource::TNumberedSource(std::int64_t frames, int pins, int silentPins, int keyInterval)
    : TBCSource("Numbered source", CLSID_NumberedSource),
      fFrames(frames),
      fKeyInterval(keyInterval) {
  for (int i = 0; i < pins + silentPins; ++i) {
    fStreams.push_back(
        std::make_unique<TNumberedStream>(this, "Out" + std::to_string(i), i >= pins));
  }
  EnableSeeking(std::make_unique<TNumberedSeeking>(this, frames * kFrame, keyInterval));
}

TNumberedSource::~TNumberedSource() {
  // The streams' threads call into this object: end them first.
  for (auto& s : fStreams) s->Inactive();
  fStreams.clear();
}

// ---------------------------------------------------------------------------

TPassThrough::TPassThrough() : TBCTransformFilter("Pass-through", CLSID_PassThrough) {}

HRESULT TPassThrough::CheckInputType(const TBCMediaType* mt) {
  return mt && mt->majortype == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TPassThrough::CheckTransform(const TBCMediaType* in, const TBCMediaType* out) {
  return *in == *out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TPassThrough::GetMediaType(int position, TBCMediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = InputPin()->CurrentMediaType();
  return S_OK;
}

HRESULT TPassThrough::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = 4;
  request->cbBuffer = 64;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(request, &actual);
}

HRESULT TPassThrough::Transform(IMediaSample* in, IMediaSample* out) {
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  const LONG n = in->GetActualDataLength();
  if (n > out->GetSize()) return E_FAIL;
  std::memcpy(dst, src, static_cast<std::size_t>(n));
  out->SetActualDataLength(n);
  const int every = fDropEvery.load();
  if (every > 0 && SampleNumber(out) % every == 0) return S_FALSE;
  if (fHoldBack.exchange(false)) {
    std::lock_guard lock(fHeldLock);
    fHeld = ComPtr<IMediaSample>(out);
  }
  return S_OK;
}

HRESULT TPassThrough::EndFlush() {
  const HRESULT hr = TBCTransformFilter::EndFlush();
  ComPtr<IMediaSample> held;
  {
    std::lock_guard lock(fHeldLock);
    held = std::move(fHeld);
  }
  if (held && !fLate.joinable()) {
    // A faulty filter: data from before the flush goes out after it.
    fLate = std::thread([this, held] {
      const HRESULT result = OutputPin()->Deliver(held.get());
      std::lock_guard lock(fHeldLock);
      fHeldDelivered = true;
      fHeldResult = result;
      fHeldDone.notify_all();
    });
  }
  return hr;
}

bool TPassThrough::WaitHeldDelivered(HRESULT* result) {
  std::unique_lock lock(fHeldLock);
  if (!fHeldDone.wait_for(lock, std::chrono::seconds(5), [this] { return fHeldDelivered; }))
    return false;
  *result = fHeldResult;
  return true;
}

HRESULT TPassThrough::Stop() {
  const HRESULT hr = TBCTransformFilter::Stop();
  if (fLate.joinable()) fLate.join();
  return hr;
}

TPassThrough::~TPassThrough() {
  if (fLate.joinable()) fLate.join();
}

// ---------------------------------------------------------------------------

TCollectingRenderer::TCollectingRenderer(bool withSubPin)
    : TBCBaseVideoRenderer("Collecting renderer", CLSID_Collector) {
  if (withSubPin)
    fSubPin = std::make_unique<TAnyRenderedPin>("Sub pin", this, &FilterLock(), "SubIn");
}

TCollectingRenderer::~TCollectingRenderer() = default;

HRESULT TCollectingRenderer::CheckMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  return mt->majortype == MEDIATYPE_Video ? S_OK : E_INVALIDARG;
}

void TCollectingRenderer::Record(IMediaSample* sample, bool first) {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  sample->GetTime(&start, &stop);
  REFERENCE_TIME now = 0;
  CurrentStreamTime(&now);
  {
    std::lock_guard lock(fLock);
    fLog.push_back(Rendered{SampleNumber(sample), start, now, first});
  }
  fChanged.notify_all();
}

HRESULT TCollectingRenderer::DoRenderSample(IMediaSample* sample) {
  Record(sample, false);
  return S_OK;
}

void TCollectingRenderer::OnReceiveFirstSample(IMediaSample* sample) { Record(sample, true); }

std::vector<Rendered> TCollectingRenderer::Log() {
  std::lock_guard lock(fLock);
  return fLog;
}

std::vector<std::int64_t> TCollectingRenderer::Drawn() {
  std::lock_guard lock(fLock);
  std::vector<std::int64_t> out;
  for (const auto& r : fLog)
    if (!r.firstWhilePaused) out.push_back(r.number);
  return out;
}

bool TCollectingRenderer::WaitForLog(std::size_t count) {
  std::unique_lock lock(fLock);
  return fChanged.wait_for(lock, std::chrono::seconds(20), [&] { return fLog.size() >= count; });
}

void TCollectingRenderer::ClearLog() {
  std::lock_guard lock(fLock);
  fLog.clear();
}

}  // namespace dstest
