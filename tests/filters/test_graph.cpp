#include "test_graph.h"

#include <chrono>

namespace fxt {

TCollectSink::TCollectSink(GUID majorType, bool keepData,
                           std::function<bool(const TBCMediaType&)> accept)
    : TBCBaseRenderer("Collect sink", CLSID_CollectSink),
      fMajor(majorType),
      fKeep(keepData),
      fAccept(std::move(accept)) {}

HRESULT TCollectSink::CheckMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  if (mt->majortype != fMajor) return VFW_E_TYPE_NOT_ACCEPTED;
  if (fAccept && !fAccept(*mt)) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TCollectSink::SetMediaType(const TBCMediaType* mt) {
  std::lock_guard lock(fLock);
  fType = *mt;
  return S_OK;
}

HRESULT TCollectSink::DoRenderSample(IMediaSample* sample) {
  TCollected c;
  c.timed = SUCCEEDED(sample->GetTime(&c.start, &c.stop));
  c.discontinuity = sample->IsDiscontinuity() == S_OK;
  AM_MEDIA_TYPE* mt = nullptr;
  if (sample->GetMediaType(&mt) == S_OK && mt) {
    c.subtype = mt->subtype;
    std::lock_guard lock(fLock);
    fType = *mt;
    DeleteMediaType(mt);
  }
  if (fKeep) {
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    const LONG n = sample->GetActualDataLength();
    if (p && n > 0) c.data.assign(p, p + n);
  }
  std::unique_lock lock(fLock);
  fSamples.push_back(std::move(c));
  fChanged.notify_all();
  fChanged.wait(lock, [&] { return fSamples.size() < fGate; });
  return S_OK;
}

void TCollectSink::CloseGateAfter(std::size_t n) {
  std::lock_guard lock(fLock);
  fGate = n;
}

void TCollectSink::OpenGate() {
  std::lock_guard lock(fLock);
  fGate = SIZE_MAX;
  fChanged.notify_all();
}

HRESULT TCollectSink::Stop() {
  OpenGate();
  return TBCBaseRenderer::Stop();
}

HRESULT TCollectSink::EndOfStream() {
  {
    std::lock_guard lock(fLock);
    fEOS = true;
    fChanged.notify_all();
  }
  return TBCBaseRenderer::EndOfStream();
}

HRESULT TCollectSink::BeginFlush() {
  {
    std::lock_guard lock(fLock);
    ++fFlushes;
    fEOS = false;
    fGate = SIZE_MAX;
    fChanged.notify_all();
  }
  return TBCBaseRenderer::BeginFlush();
}

std::vector<TCollected> TCollectSink::Samples() {
  std::lock_guard lock(fLock);
  return fSamples;
}

std::size_t TCollectSink::Count() {
  std::lock_guard lock(fLock);
  return fSamples.size();
}

void TCollectSink::Clear() {
  std::lock_guard lock(fLock);
  fSamples.clear();
  fEOS = false;
}

bool TCollectSink::WaitForCount(std::size_t n, int timeoutMs) {
  std::unique_lock lock(fLock);
  return fChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return fSamples.size() >= n; });
}

bool TCollectSink::WaitForEndOfStream(int timeoutMs) {
  std::unique_lock lock(fLock);
  return fChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return fEOS; });
}

TBCMediaType TCollectSink::Connected() {
  std::lock_guard lock(fLock);
  return fType;
}

int TCollectSink::Flushes() {
  std::lock_guard lock(fLock);
  return fFlushes;
}

HRESULT ConnectByName(IFilterGraph2* graph, IBaseFilter* from, const char* outName, IBaseFilter* to,
                      const char* inName) {
  ComPtr<IPin> out, in;
  HRESULT hr = from->FindPin(ds::ToUtf16(outName).c_str(), out.Put());
  if (FAILED(hr)) return hr;
  hr = to->FindPin(ds::ToUtf16(inName).c_str(), in.Put());
  if (FAILED(hr)) return hr;
  return graph->Connect(out.get(), in.get());
}

void DisconnectPin(IFilterGraph2* graph, IBaseFilter* filter, const char* name) {
  ComPtr<IPin> pin, peer;
  if (FAILED(filter->FindPin(ds::ToUtf16(name).c_str(), pin.Put()))) return;
  if (SUCCEEDED(pin->ConnectedTo(peer.Put())) && peer) graph->Disconnect(peer.get());
  graph->Disconnect(pin.get());
}

bool HasPin(IBaseFilter* filter, const char* name) {
  ComPtr<IPin> pin;
  return SUCCEEDED(filter->FindPin(ds::ToUtf16(name).c_str(), pin.Put())) && pin;
}

bool RunToCompletion(IFilterGraph2* graph, int timeoutMs) {
  auto control = ComPtr<IFilterGraph2>(graph).As<IMediaControl>();
  auto events = ComPtr<IFilterGraph2>(graph).As<IMediaEvent>();
  if (!control || !events) return false;
  if (FAILED(control->Run())) return false;
  LONG code = 0;
  return events->WaitForCompletion(timeoutMs, &code) == S_OK && code == EC_COMPLETE;
}

}  // namespace fxt
