#include "directshow/base_renderer.h"

#include "directshow/pos_passthru.h"

// ---------------------------------------------------------------------------
// Input pin

TBCRendererInputPin::TBCRendererInputPin(TBCBaseRenderer* renderer, std::string pinName)
    : TBCBaseInputPin("Renderer input pin", renderer, &renderer->FilterLock(), std::move(pinName)),
      fRenderer(renderer) {}

HRESULT TBCRendererInputPin::Receive(IMediaSample* pSample) {
  const HRESULT hr = TBCBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  return fRenderer->Receive(pSample);
}

HRESULT TBCRendererInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return fRenderer->EndOfStream();
}

HRESULT TBCRendererInputPin::BeginFlush() {
  TBCBaseInputPin::BeginFlush();
  return fRenderer->BeginFlush();
}

HRESULT TBCRendererInputPin::EndFlush() {
  const HRESULT hr = fRenderer->EndFlush();
  TBCBaseInputPin::EndFlush();
  return hr;
}

HRESULT TBCRendererInputPin::CheckMediaType(const TBCMediaType* mt) {
  return fRenderer->CheckMediaType(mt);
}

HRESULT TBCRendererInputPin::SetMediaType(const TBCMediaType* mt) {
  HRESULT hr = TBCBaseInputPin::SetMediaType(mt);
  if (FAILED(hr)) return hr;
  return fRenderer->SetMediaType(mt);
}

HRESULT TBCRendererInputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = fRenderer->CheckConnect(pin);
  if (FAILED(hr)) return hr;
  return TBCBaseInputPin::CheckConnect(pin);
}

HRESULT TBCRendererInputPin::BreakConnect() {
  fRenderer->BreakConnect();
  return TBCBaseInputPin::BreakConnect();
}

HRESULT TBCRendererInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = fRenderer->CompleteConnect(receivePin);
  if (FAILED(hr)) return hr;
  return TBCBaseInputPin::CompleteConnect(receivePin);
}

// ---------------------------------------------------------------------------
// Renderer

TBCBaseRenderer::TBCBaseRenderer(std::string objectName, const CLSID& clsid)
    : TBCBaseFilter(std::move(objectName), clsid) {}

TBCBaseRenderer::~TBCBaseRenderer() {
  fPosition.reset();
  fInputPin.reset();
}

std::unique_ptr<TBCRendererInputPin> TBCBaseRenderer::CreateInputPin() {
  return std::make_unique<TBCRendererInputPin>(this, "In");
}

TBCRendererInputPin* TBCBaseRenderer::InputPin() {
  TBCAutoLock lock(fLock);
  if (!fInputPin) {
    // Both exist before any streaming thread can reach this filter.
    fInputPin = CreateInputPin();
    fPosition = std::make_unique<TBCRendererPosPassThru>(GetUnknown(), fInputPin.get());
  }
  return fInputPin.get();
}

int TBCBaseRenderer::GetPinCount() {
  TBCAutoLock lock(fLock);
  InputPin();
  return TBCBaseFilter::GetPinCount();
}

TBCBasePin* TBCBaseRenderer::GetPin(int n) {
  TBCAutoLock lock(fLock);
  TBCBasePin* in = InputPin();
  if (n == 0) return in;
  // The other registered pins, in order, skipping "In".
  int index = 0;
  for (int i = 0;; ++i) {
    TBCBasePin* pin = TBCBaseFilter::GetPin(i);
    if (!pin) return nullptr;
    if (pin == in) continue;
    if (++index == n) return pin;
  }
}

HRESULT TBCBaseRenderer::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IMediaSeeking::iid || riid == IMediaPosition::iid) {
    InputPin();
    return fPosition->NonDelegatingQueryInterface(riid, ppv);
  }
  return TBCBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

// Default hooks.
HRESULT TBCBaseRenderer::SetMediaType(const TBCMediaType*) { return S_OK; }
HRESULT TBCBaseRenderer::CheckConnect(IPin*) { return S_OK; }
HRESULT TBCBaseRenderer::BreakConnect() { return S_OK; }
HRESULT TBCBaseRenderer::CompleteConnect(IPin*) { return S_OK; }
void TBCBaseRenderer::OnReceiveFirstSample(IMediaSample*) {}
HRESULT TBCBaseRenderer::ShouldDrawSampleNow(IMediaSample*, REFERENCE_TIME*, REFERENCE_TIME*) {
  return S_FALSE;
}
void TBCBaseRenderer::OnRenderStart(IMediaSample*) {}
void TBCBaseRenderer::OnRenderEnd(IMediaSample*) {}
HRESULT TBCBaseRenderer::OnStartStreaming() { return S_OK; }
HRESULT TBCBaseRenderer::OnStopStreaming() { return S_OK; }

void TBCBaseRenderer::SetStreamStateLocked(FILTER_STATE state) {
  fStreamState = state;
  ++fStateSeq;
  fRenderEvent.Set();
  fReady.notify_all();
}

bool TBCBaseRenderer::IsReadyLocked() const {
  return fStreamState != State_Paused || (fSample != nullptr && !fCueing) || fEOS;
}

HRESULT TBCBaseRenderer::Stop() {
  TBCAutoLock lock(fLock);
  if (IsStopped()) return S_OK;
  {
    std::lock_guard r(fRendererLock);
    fEOS = false;
    fEOSDelivered = false;
    SetStreamStateLocked(State_Stopped);
  }
  // Releases an upstream thread waiting for one of our buffers.
  InputPin()->Inactive();
  // Waits for a Receive in progress (it now leaves at once).
  { std::lock_guard receive(fReceiveLock); }
  {
    // The run's clock is not kept: a renderer that is itself the graph's
    // clock would otherwise hold a reference to itself for ever.
    std::lock_guard r(fRendererLock);
    fStreamClock = nullptr;
  }
  // Stopped, the position is where the next run starts (upstream's).
  if (fPosition) fPosition->ResetMediaTime();
  const HRESULT hr = OnStopStreaming();
  TBCBaseFilter::Stop();
  return hr;
}

HRESULT TBCBaseRenderer::Pause() {
  TBCAutoLock lock(fLock);
  const FILTER_STATE old = State();
  if (old == State_Paused) return S_OK;
  if (old == State_Stopped) {
    const HRESULT hr = OnStartStreaming();
    if (FAILED(hr)) return hr;
    if (fPosition) fPosition->ResetMediaTime();
  }
  {
    std::lock_guard r(fRendererLock);
    if (old == State_Stopped) {
      fEOS = false;
      fEOSDelivered = false;
      fFlushing = false;
    }
    SetStreamStateLocked(State_Paused);
  }
  const HRESULT hr = TBCBaseFilter::Pause();
  // An unconnected renderer will get nothing: it is ready at once.
  std::lock_guard r(fRendererLock);
  fReady.notify_all();
  return hr;
}

HRESULT TBCBaseRenderer::Run(REFERENCE_TIME tStart) {
  TBCAutoLock lock(fLock);
  if (State() == State_Running) return S_OK;
  HRESULT hr = TBCBaseFilter::Run(tStart);  // pauses first when stopped
  if (FAILED(hr)) return hr;
  {
    std::lock_guard r(fRendererLock);
    fStreamStart = tStart;
    fStreamClock = Clock();
    SetStreamStateLocked(State_Running);
  }
  SignalCompleteIfDue();
  return hr;
}

HRESULT TBCBaseRenderer::GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) {
  if (!State) return E_POINTER;
  const FILTER_STATE state = this->State();
  *State = state;
  if (state != State_Paused) return S_OK;
  if (!InputPin()->IsConnected()) return S_OK;
  std::unique_lock r(fRendererLock);
  const auto ready = [this] { return IsReadyLocked(); };
  if (dwMilliSecsTimeout == INFINITE) {
    fReady.wait(r, ready);
    return S_OK;
  }
  return fReady.wait_for(r, std::chrono::milliseconds(dwMilliSecsTimeout), ready)
             ? S_OK
             : VFW_S_STATE_INTERMEDIATE;
}

bool TBCBaseRenderer::HaveCurrentSample() {
  std::lock_guard r(fRendererLock);
  return fSample != nullptr;
}

bool TBCBaseRenderer::IsEndOfStream() {
  std::lock_guard r(fRendererLock);
  return fEOS;
}

HRESULT TBCBaseRenderer::CurrentStreamTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  ComPtr<IReferenceClock> clock;
  REFERENCE_TIME start = 0;
  {
    std::lock_guard r(fRendererLock);
    clock = fStreamClock;
    start = fStreamStart;
  }
  if (!clock) return VFW_E_NO_CLOCK;
  REFERENCE_TIME now = 0;
  const HRESULT hr = clock->GetTime(&now);
  if (FAILED(hr)) return hr;
  *time = now - start;
  return S_OK;
}

HRESULT TBCBaseRenderer::SendQuality(const Quality& q) {
  TBCRendererInputPin* pin = fInputPin.get();
  return pin ? pin->PassNotify(q) : VFW_E_NOT_CONNECTED;
}

void TBCBaseRenderer::RegisterPosition(IMediaSample* sample) {
  if (fPosition) fPosition->RegisterMediaTime(sample, fInputPin->CurrentStartTime());
}

HRESULT TBCBaseRenderer::Receive(IMediaSample* sample) {
  std::lock_guard receive(fReceiveLock);
  bool first = false;
  {
    std::lock_guard r(fRendererLock);
    if (fFlushing) return S_FALSE;
    if (fStreamState == State_Stopped) return VFW_E_WRONG_STATE;
    if (fEOS) return VFW_E_SAMPLE_REJECTED_EOS;
    // Preroll data only primes the decoders upstream.
    if (sample->IsPreroll() == S_OK) return S_OK;
    fSample = sample;
    first = fStreamState == State_Paused;
    fCueing = first;
  }
  if (first) {
    OnReceiveFirstSample(sample);
    RegisterPosition(sample);
  }
  {
    std::lock_guard r(fRendererLock);
    fCueing = false;
    fReady.notify_all();
  }
  const Wait result = WaitForRenderTime(sample);
  if (result == Wait::Render) {
    OnRenderStart(sample);
    DoRenderSample(sample);
    OnRenderEnd(sample);
    RegisterPosition(sample);
  }
  std::lock_guard r(fRendererLock);
  fSample = nullptr;
  if (result != Wait::Abort) return S_OK;
  return fFlushing ? S_FALSE : VFW_E_WRONG_STATE;
}

TBCBaseRenderer::Wait TBCBaseRenderer::WaitForRenderTime(IMediaSample* sample) {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
  std::unique_lock r(fRendererLock);
  ULONGLONG decidedSeq = ~0ull;  // the run the current schedule belongs to
  DWORD_PTR cookie = 0;
  ComPtr<IReferenceClock> clock;
  const auto cancel = [&] {
    if (cookie && clock) clock->Unadvise(cookie);
    cookie = 0;
  };
  for (;;) {
    if (fFlushing || fStreamState == State_Stopped) {
      cancel();
      return Wait::Abort;
    }
    if (fStreamState == State_Paused) {
      // Hold the sample until Run, a flush or Stop.
      cancel();
      decidedSeq = ~0ull;
      r.unlock();
      fRenderEvent.Wait();
      r.lock();
      continue;
    }
    if (decidedSeq != fStateSeq) {
      // A new run: decide how to present this sample in it.
      cancel();
      decidedSeq = fStateSeq;
      clock = fStreamClock;
      const REFERENCE_TIME base = fStreamStart;
      if (!clock || !timed) return Wait::Render;
      REFERENCE_TIME s = start;
      REFERENCE_TIME e = stop;
      r.unlock();
      const HRESULT hr = ShouldDrawSampleNow(sample, &s, &e);
      r.lock();
      if (decidedSeq != fStateSeq || fFlushing) continue;  // state changed meanwhile
      if (FAILED(hr)) return Wait::Drop;
      if (hr == S_OK) return Wait::Render;
      fRenderEvent.Reset();
      if (FAILED(clock->AdviseTime(base, s, &fRenderEvent, &cookie))) {
        cookie = 0;
        return Wait::Render;
      }
    }
    r.unlock();
    fRenderEvent.Wait();
    r.lock();
    if (fStreamState == State_Running && decidedSeq == fStateSeq && !fFlushing) {
      // Nothing else changed, so the clock set the event: the sample is due.
      cookie = 0;
      return Wait::Render;
    }
  }
}

void TBCBaseRenderer::SignalCompleteIfDue() {
  bool send = false;
  {
    std::lock_guard r(fRendererLock);
    if (fStreamState == State_Running && fEOS && !fEOSDelivered && !fSample && !fFlushing) {
      fEOSDelivered = true;
      send = true;
    }
  }
  if (send) NotifyEvent(EC_COMPLETE, S_OK, 0);
}

HRESULT TBCBaseRenderer::EndOfStream() {
  std::lock_guard receive(fReceiveLock);
  {
    std::lock_guard r(fRendererLock);
    if (fFlushing || fStreamState == State_Stopped) return S_OK;
    fEOS = true;
    fReady.notify_all();
  }
  SignalCompleteIfDue();
  return S_OK;
}

HRESULT TBCBaseRenderer::BeginFlush() {
  if (fPosition) fPosition->ResetMediaTime();
  std::lock_guard r(fRendererLock);
  fFlushing = true;
  fEOS = false;
  fEOSDelivered = false;
  ++fStateSeq;
  fRenderEvent.Set();
  fReady.notify_all();
  return S_OK;
}

HRESULT TBCBaseRenderer::EndFlush() {
  // A Receive still in progress leaves at once (flushing); wait for it.
  { std::lock_guard receive(fReceiveLock); }
  std::lock_guard r(fRendererLock);
  fFlushing = false;
  ++fStateSeq;
  if (fPosition) fPosition->ResetMediaTime();
  return S_OK;
}
