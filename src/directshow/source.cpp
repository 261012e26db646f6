#include "directshow/source.h"

#include <vector>

#include "directshow/source_seeking.h"

// ---------------------------------------------------------------------------
// Stream

TBCSourceStream::TBCSourceStream(std::string objectName, TBCSource* source, std::string pinName)
    : TBCBaseOutputPin(std::move(objectName), source, &source->FilterLock(), std::move(pinName)),
      fSource(source) {}

TBCSourceStream::~TBCSourceStream() { StopThread(); }

HRESULT TBCSourceStream::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IMediaSeeking::iid) {
    *ppv = nullptr;
    TBCSourceSeeking* seeking = fSource->Seeking();
    if (!seeking) return E_NOINTERFACE;
    return seeking->NonDelegatingQueryInterface(riid, ppv);
  }
  return TBCBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT TBCSourceStream::OnThreadCreate() { return S_OK; }
HRESULT TBCSourceStream::OnThreadDestroy() { return S_OK; }

HRESULT TBCSourceStream::OnThreadStartPlay() {
  if (TBCSourceSeeking* seeking = fSource->Seeking())
    return DeliverNewSegment(seeking->StartPosition(), seeking->StopPosition(), seeking->Rate());
  return S_OK;
}

HRESULT TBCSourceStream::Active() {
  HRESULT hr = TBCBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  return StartThread();
}

HRESULT TBCSourceStream::Inactive() {
  StopThread();
  return TBCBaseOutputPin::Inactive();
}

HRESULT TBCSourceStream::StartThread() {
  if (fThread.joinable()) return S_OK;
  if (!IsConnected()) return S_OK;
  if (fAllocator) fAllocator->Commit();
  fStopRequested.store(false, std::memory_order_release);
  fThread = std::thread([this] { ThreadProc(); });
  return S_OK;
}

void TBCSourceStream::StopThread() {
  if (!fThread.joinable()) return;
  {
    std::lock_guard lock(fStopLock);
    fStopRequested.store(true, std::memory_order_release);
  }
  fStopCond.notify_all();
  // A GetDeliveryBuffer in progress fails at once.
  if (fAllocator) fAllocator->Decommit();
  fThread.join();
}

void TBCSourceStream::WaitForStopRequest() {
  std::unique_lock lock(fStopLock);
  fStopCond.wait(lock, [this] { return StopRequested(); });
}

void TBCSourceStream::ThreadProc() {
  HRESULT hr = OnThreadCreate();
  if (SUCCEEDED(hr)) hr = OnThreadStartPlay();
  if (SUCCEEDED(hr)) {
    DoBufferProcessingLoop();
  } else {
    fFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
    DeliverEndOfStream();
    WaitForStopRequest();
  }
  OnThreadDestroy();
}

HRESULT TBCSourceStream::DoBufferProcessingLoop() {
  while (!StopRequested()) {
    ComPtr<IMediaSample> sample;
    HRESULT hr = GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
    if (FAILED(hr)) break;  // decommitted: stopping
    hr = FillBuffer(sample.get());
    if (hr == S_OK) {
      hr = Deliver(sample.get());
      sample = nullptr;
      // S_FALSE: downstream is flushing; a failure: it stopped taking data.
      if (hr == S_FALSE || FAILED(hr)) break;
      continue;
    }
    sample = nullptr;
    if (FAILED(hr)) fFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
    if (!StopRequested()) DeliverEndOfStream();
    break;
  }
  WaitForStopRequest();
  return S_OK;
}

// ---------------------------------------------------------------------------
// Source filter

TBCSource::TBCSource(std::string objectName, const CLSID& clsid)
    : TBCBaseFilter(std::move(objectName), clsid) {}

TBCSource::~TBCSource() = default;

void TBCSource::EnableSeeking(std::unique_ptr<TBCSourceSeeking> seeking) {
  TBCAutoLock lock(fLock);
  fSeeking = std::move(seeking);
}

HRESULT TBCSource::OnPositionChange() { return S_OK; }

HRESULT TBCSource::RestartStreams() {
  TBCAutoLock lock(fLock);
  if (IsStopped()) return OnPositionChange();
  std::vector<TBCSourceStream*> streams;
  const int n = GetPinCount();
  for (int i = 0; i < n; ++i) {
    auto* stream = dynamic_cast<TBCSourceStream*>(GetPin(i));
    if (stream && stream->IsConnected()) streams.push_back(stream);
  }
  // Unblock and empty the whole graph downstream, then stop our threads.
  for (auto* s : streams) s->DeliverBeginFlush();
  for (auto* s : streams) s->StopThread();
  HRESULT result = OnPositionChange();
  for (auto* s : streams) s->DeliverEndFlush();
  for (auto* s : streams) {
    const HRESULT hr = s->StartThread();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}
