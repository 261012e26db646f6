#include "directshow/filter_graph.h"

#include <algorithm>
#include <chrono>

#include "directshow/enumerators.h"
#include "directshow/filter_graph_impl.h"
#include "directshow/mem_allocator.h"
#include "directshow/reference_clock.h"
#include "directshow/wide_string.h"

namespace {

// How often StopWhenReady looks at its time-out while a renderer cues.
constexpr DWORD kCuePollMs = 10;

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> e;
  if (FAILED(filter->EnumPins(e.Put())) || !e) return pins;
  for (;;) {
    IPin* pin = nullptr;
    ULONG fetched = 0;
    if (e->Next(1, &pin, &fetched) != S_OK || fetched != 1) break;
    pins.push_back(ComPtr<IPin>::Adopt(pin));
  }
  return pins;
}

PIN_DIRECTION DirectionOf(IPin* pin) {
  PIN_DIRECTION dir = PINDIR_INPUT;
  pin->QueryDirection(&dir);
  return dir;
}

ComPtr<IPin> PeerOf(IPin* pin) {
  ComPtr<IPin> peer;
  if (FAILED(pin->ConnectedTo(peer.Put()))) return nullptr;
  return peer;
}

ComPtr<IBaseFilter> FilterOf(IPin* pin) {
  PIN_INFO info{};
  if (FAILED(pin->QueryPinInfo(&info)) || !info.pFilter) return nullptr;
  return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

// A filter that ends streams: flagged as renderer, or without output pins.
bool IsRendererLike(IBaseFilter* filter, const std::vector<ComPtr<IPin>>& pins) {
  if (auto flags = ComPtr<IBaseFilter>(filter).As<IAMFilterMiscFlags>()) {
    if (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER) return true;
  }
  return std::none_of(pins.begin(), pins.end(),
                      [](const ComPtr<IPin>& p) { return DirectionOf(p.get()) == PINDIR_OUTPUT; });
}

}  // namespace

ComPtr<IFilterGraph2> CreateFilterGraph(const FilterGraphOptions& options) {
  return ComPtr<IFilterGraph2>(MakeCom<TFilterGraph>(options).get());
}

HRESULT CreateFrameworkObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid == CLSID_FilterGraph) {
    return MakeCom<TFilterGraph>(FilterGraphOptions{})->QueryInterface(riid, ppv);
  }
  if (clsid == CLSID_SystemClock) return MakeCom<TBCSystemClock>()->QueryInterface(riid, ppv);
  if (clsid == CLSID_MemoryAllocator) return MakeCom<TBCMemAllocator>()->QueryInterface(riid, ppv);
  return REGDB_E_CLASSNOTREG;
}

TFilterGraph::TFilterGraph(const FilterGraphOptions& options)
    : fTimeFormat(TIME_FORMAT_MEDIA_TIME),
      fSystemClock(options.systemClock),
      fCueTimeout(options.cueTimeout) {
  if (!fSystemClock) fSystemClock = ComPtr<IReferenceClock>(MakeCom<TBCSystemClock>().get());
}

TFilterGraph::~TFilterGraph() {
  TBCAutoLock lock(fGraphLock);
  StopLocked(false);
  while (!fFilters.empty()) RemoveEntryLocked(fFilters.size() - 1);
}

// ---------------------------------------------------------------------------
// Membership and connections

bool TFilterGraph::ContainsLocked(IBaseFilter* filter) {
  return std::any_of(fFilters.begin(), fFilters.end(),
                     [&](const Entry& e) { return e.filter.get() == filter; });
}

HRESULT TFilterGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR pName) {
  if (!pFilter) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  if (ContainsLocked(pFilter)) return E_INVALIDARG;
  FILTER_INFO info{};
  if (SUCCEEDED(pFilter->QueryFilterInfo(&info)) && info.pGraph) {
    const bool other = info.pGraph != static_cast<IFilterGraph*>(this);
    info.pGraph->Release();
    if (other) return VFW_E_WRONG_STATE;  // still in another graph
  }
  std::u16string base(ds::WideView(pName));
  if (base.size() >= MAX_FILTER_NAME) base.resize(MAX_FILTER_NAME - 6);
  const auto taken = [&](const std::u16string& n) {
    return std::any_of(fFilters.begin(), fFilters.end(),
                       [&](const Entry& e) { return e.name == n; });
  };
  std::u16string name = base;
  bool duplicate = false;
  for (int i = 1; taken(name); ++i) {
    duplicate = true;
    std::string suffix = std::to_string(i);
    suffix.insert(0, suffix.size() < 4 ? 4 - suffix.size() : 0, '0');
    name = base + ds::ToUtf16(" " + suffix);
  }
  const HRESULT hr = pFilter->JoinFilterGraph(this, name.c_str());
  if (FAILED(hr)) return hr;
  fFilters.push_back(Entry{ComPtr<IBaseFilter>(pFilter), name});
  if (fClockChosen) pFilter->SetSyncSource(fClock.get());
  return duplicate ? VFW_S_DUPLICATE_NAME : S_OK;
}

HRESULT TFilterGraph::RemoveEntryLocked(std::size_t index) {
  ComPtr<IBaseFilter> filter = fFilters[index].filter;
  filter->Stop();
  for (const auto& pin : PinsOf(filter.get())) {
    if (auto peer = PeerOf(pin.get())) {
      peer->Disconnect();
      pin->Disconnect();
    }
  }
  filter->SetSyncSource(nullptr);
  filter->JoinFilterGraph(nullptr, nullptr);
  fFilters.erase(fFilters.begin() + static_cast<std::ptrdiff_t>(index));
  std::lock_guard events(fEventLock);
  fCompletion.erase(filter.get());
  return S_OK;
}

HRESULT TFilterGraph::RemoveFilter(IBaseFilter* pFilter) {
  if (!pFilter) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  for (std::size_t i = 0; i < fFilters.size(); ++i) {
    if (fFilters[i].filter.get() != pFilter) continue;
    if (fState != State_Stopped) return VFW_E_NOT_STOPPED;
    return RemoveEntryLocked(i);
  }
  return VFW_E_NOT_FOUND;
}

HRESULT TFilterGraph::EnumFilters(IEnumFilters** ppEnum) {
  if (!ppEnum) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  std::vector<ComPtr<IBaseFilter>> filters;
  for (const auto& e : fFilters) filters.push_back(e.filter);
  *ppEnum = MakeCom<TBCEnumFilters>(std::move(filters)).Detach();
  return S_OK;
}

HRESULT TFilterGraph::FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) {
  if (!pName || !ppFilter) return E_POINTER;
  *ppFilter = nullptr;
  TBCAutoLock lock(fGraphLock);
  for (const auto& e : fFilters)
    if (e.name == ds::WideView(pName)) return CopyOut(e.filter.get(), ppFilter);
  return VFW_E_NOT_FOUND;
}

HRESULT TFilterGraph::ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) {
  if (!ppinOut || !ppinIn) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const auto outFilter = FilterOf(ppinOut);
  const auto inFilter = FilterOf(ppinIn);
  if (!outFilter || !inFilter || !ContainsLocked(outFilter.get()) ||
      !ContainsLocked(inFilter.get()))
    return VFW_E_NOT_IN_GRAPH;
  if (DirectionOf(ppinOut) != PINDIR_OUTPUT || DirectionOf(ppinIn) != PINDIR_INPUT)
    return VFW_E_INVALID_DIRECTION;
  if (fState != State_Stopped) return VFW_E_NOT_STOPPED;
  return ppinOut->Connect(ppinIn, pmt);
}

HRESULT TFilterGraph::Connect(IPin* ppinOut, IPin* ppinIn) {
  return ConnectDirect(ppinOut, ppinIn, nullptr);
}

HRESULT TFilterGraph::Disconnect(IPin* ppin) {
  if (!ppin) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  return ppin->Disconnect();
}

HRESULT TFilterGraph::Reconnect(IPin* ppin) { return ReconnectEx(ppin, nullptr); }

HRESULT TFilterGraph::ReconnectEx(IPin* ppin, const AM_MEDIA_TYPE* pmt) {
  if (!ppin) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  if (fState != State_Stopped) return VFW_E_NOT_STOPPED;
  const auto peer = PeerOf(ppin);
  if (!peer) return VFW_E_NOT_CONNECTED;
  ComPtr<IPin> out(ppin);
  ComPtr<IPin> in = peer;
  if (DirectionOf(ppin) == PINDIR_INPUT) std::swap(out, in);
  TBCMediaType current;
  out->ConnectionMediaType(&current);
  out->Disconnect();
  in->Disconnect();
  HRESULT hr = out->Connect(in.get(), pmt);
  // Fall back to the type the pins had.
  if (FAILED(hr) && pmt) hr = out->Connect(in.get(), &current);
  return hr;
}

HRESULT TFilterGraph::Render(IPin*) { return E_NOTIMPL; }
HRESULT TFilterGraph::RenderFile(LPCWSTR, LPCWSTR) { return E_NOTIMPL; }
HRESULT TFilterGraph::AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter** ppFilter) {
  if (ppFilter) *ppFilter = nullptr;
  return E_NOTIMPL;
}
HRESULT TFilterGraph::SetLogFile(DWORD_PTR) { return S_OK; }
HRESULT TFilterGraph::Abort() { return S_OK; }
HRESULT TFilterGraph::ShouldOperationContinue() { return S_OK; }
HRESULT TFilterGraph::AddSourceFilterForMoniker(IMoniker*, IBindCtx*, LPCWSTR,
                                                IBaseFilter** ppFilter) {
  if (ppFilter) *ppFilter = nullptr;
  return E_NOTIMPL;
}
HRESULT TFilterGraph::RenderEx(IPin*, DWORD, DWORD*) { return E_NOTIMPL; }

// ---------------------------------------------------------------------------
// Clock

REFERENCE_TIME TFilterGraph::ClockTimeLocked() {
  REFERENCE_TIME now = 0;
  if (fClock) fClock->GetTime(&now);
  return now;
}

HRESULT TFilterGraph::SetSyncSourceLocked(IReferenceClock* clock) {
  if (fState != State_Stopped) return VFW_E_NOT_STOPPED;
  for (const auto& e : fFilters) e.filter->SetSyncSource(clock);
  fClock = ComPtr<IReferenceClock>(clock);
  fClockChosen = true;
  return S_OK;
}

HRESULT TFilterGraph::SetDefaultSyncSource() {
  TBCAutoLock lock(fGraphLock);
  if (fState != State_Stopped) return VFW_E_NOT_STOPPED;
  for (const auto& e : fFilters) {
    auto clock = e.filter.As<IReferenceClock>();
    if (!clock) continue;
    const auto pins = PinsOf(e.filter.get());
    const bool fed = std::any_of(pins.begin(), pins.end(), [](const ComPtr<IPin>& p) {
      return DirectionOf(p.get()) == PINDIR_INPUT && PeerOf(p.get());
    });
    if (fed) return SetSyncSourceLocked(clock.get());
  }
  return SetSyncSourceLocked(fSystemClock.get());
}

HRESULT TFilterGraph::SetSyncSource(IReferenceClock* pClock) {
  TBCAutoLock lock(fGraphLock);
  return SetSyncSourceLocked(pClock);
}

HRESULT TFilterGraph::GetSyncSource(IReferenceClock** pClock) {
  TBCAutoLock lock(fGraphLock);
  return CopyOut(fClock.get(), pClock);
}

HRESULT TFilterGraph::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = CLSID_FilterGraph;
  return S_OK;
}

// ---------------------------------------------------------------------------
// State

std::vector<ComPtr<IBaseFilter>> TFilterGraph::SortedFiltersLocked() {
  // Downstream first: a filter comes after every filter its outputs feed.
  std::vector<ComPtr<IBaseFilter>> remaining;
  for (const auto& e : fFilters) remaining.push_back(e.filter);
  std::vector<ComPtr<IBaseFilter>> sorted;
  while (!remaining.empty()) {
    bool progress = false;
    for (auto it = remaining.begin(); it != remaining.end();) {
      bool ready = true;
      for (const auto& pin : PinsOf(it->get())) {
        if (DirectionOf(pin.get()) != PINDIR_OUTPUT) continue;
        const auto peer = PeerOf(pin.get());
        if (!peer) continue;
        const auto down = FilterOf(peer.get());
        if (down && std::any_of(remaining.begin(), remaining.end(),
                                [&](const ComPtr<IBaseFilter>& f) { return f == down; })) {
          ready = false;
          break;
        }
      }
      if (ready) {
        sorted.push_back(*it);
        it = remaining.erase(it);
        progress = true;
      } else {
        ++it;
      }
    }
    if (!progress) {  // a cycle: take the rest as they are
      sorted.insert(sorted.end(), remaining.begin(), remaining.end());
      break;
    }
  }
  return sorted;
}

void TFilterGraph::BuildCompletionLocked() {
  std::map<IBaseFilter*, Completion> completion;
  int total = 0;
  for (const auto& e : fFilters) {
    const auto pins = PinsOf(e.filter.get());
    if (!IsRendererLike(e.filter.get(), pins)) continue;
    int inputs = 0;
    for (const auto& pin : pins)
      if (DirectionOf(pin.get()) == PINDIR_INPUT && PeerOf(pin.get())) ++inputs;
    if (inputs == 0) continue;
    completion[e.filter.get()] = Completion{inputs, 0};
    total += inputs;
  }
  std::lock_guard events(fEventLock);
  fCompletion = std::move(completion);
  fExpectedTotal = total;
  fReceivedTotal = 0;
  fCompleteSent = false;
}

void TFilterGraph::ResetCompletion() {
  {
    std::lock_guard events(fEventLock);
    for (auto& [filter, c] : fCompletion) c.received = 0;
    fReceivedTotal = 0;
    fCompleteSent = false;
  }
  fEvents.ResetCompletion();
}

HRESULT TFilterGraph::PauseLocked() {
  if (fState == State_Paused) return S_OK;
  if (fState == State_Stopped) {
    if (!fClockChosen) SetDefaultSyncSource();
    BuildCompletionLocked();
    fEvents.ResetCompletion();
    fPausedStreamTime = 0;
  } else {
    fPausedStreamTime = ClockTimeLocked() - fStart;
  }
  HRESULT result = S_OK;
  for (const auto& f : SortedFiltersLocked()) {
    const HRESULT hr = f->Pause();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  fState = State_Paused;
  if (FAILED(result)) return result;
  for (const auto& e : fFilters) {
    FILTER_STATE fs;
    if (e.filter->GetState(0, &fs) == VFW_S_STATE_INTERMEDIATE) return S_FALSE;
  }
  return S_OK;
}

HRESULT TFilterGraph::RunLocked(std::optional<REFERENCE_TIME> tStart) {
  if (fState == State_Running) return S_OK;
  if (fState == State_Stopped) {
    const HRESULT hr = PauseLocked();
    if (FAILED(hr)) return hr;
  }
  fStart = tStart ? *tStart : ClockTimeLocked() - fPausedStreamTime;
  HRESULT result = S_OK;
  for (const auto& f : SortedFiltersLocked()) {
    const HRESULT hr = f->Run(fStart);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  fState = State_Running;
  return result;
}

HRESULT TFilterGraph::StopLocked(bool keepPosition) {
  if (fState == State_Stopped) return S_OK;
  const std::optional<REFERENCE_TIME> position =
      keepPosition ? MediaPositionLocked() : std::nullopt;
  HRESULT result = S_OK;
  for (const auto& f : SortedFiltersLocked()) {
    const HRESULT hr = f->Stop();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  fState = State_Stopped;
  fPausedStreamTime = 0;
  ResetCompletion();
  if (position) {
    // The next run resumes where this one stopped.
    LONGLONG target = 0;
    const auto paths = SeekPathsLocked();
    if (!paths.empty() && SUCCEEDED(ToFormatLocked(paths, *position, &target)))
      SeekLocked(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  return result;
}

HRESULT TFilterGraph::Run() {
  TBCAutoLock lock(fGraphLock);
  return RunLocked(std::nullopt);
}

HRESULT TFilterGraph::Run(REFERENCE_TIME tStart) {
  TBCAutoLock lock(fGraphLock);
  return RunLocked(tStart);
}

HRESULT TFilterGraph::Pause() {
  TBCAutoLock lock(fGraphLock);
  return PauseLocked();
}

HRESULT TFilterGraph::Stop() {
  TBCAutoLock lock(fGraphLock);
  return StopLocked(true);
}

HRESULT TFilterGraph::StateLocked(DWORD msTimeout, FILTER_STATE* state) {
  *state = fState;
  if (fState != State_Paused) return S_OK;
  std::vector<ComPtr<IBaseFilter>> filters;
  for (const auto& e : fFilters) filters.push_back(e.filter);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(msTimeout);
  for (const auto& f : filters) {
    DWORD wait = msTimeout;
    if (msTimeout != INFINITE) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      wait = left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
    }
    FILTER_STATE fs;
    if (f->GetState(wait, &fs) == VFW_S_STATE_INTERMEDIATE) return VFW_S_STATE_INTERMEDIATE;
  }
  return S_OK;
}

HRESULT TFilterGraph::GetState(LONG msTimeout, OAFilterState* pfs) {
  if (!pfs) return E_POINTER;
  FILTER_STATE state;
  HRESULT hr;
  {
    TBCAutoLock lock(fGraphLock);
    hr = StateLocked(static_cast<DWORD>(msTimeout), &state);
  }
  *pfs = state;
  return hr;
}

HRESULT TFilterGraph::GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) {
  if (!State) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  return StateLocked(dwMilliSecsTimeout, State);
}

HRESULT TFilterGraph::StopWhenReady() {
  TBCAutoLock lock(fGraphLock);
  HRESULT hr = PauseLocked();
  if (FAILED(hr)) {
    StopLocked(false);
    return hr;
  }
  // Wait for every filter to cue, at most the cue time-out on the system
  // clock (a stream that never delivers must not block us).
  TBCEvent timeout;
  DWORD_PTR cookie = 0;
  REFERENCE_TIME now = 0;
  fSystemClock->GetTime(&now);
  const bool haveTimeout = SUCCEEDED(fSystemClock->AdviseTime(now, fCueTimeout, &timeout, &cookie));
  bool timedOut = false;
  for (const auto& e : fFilters) {
    FILTER_STATE fs;
    while (e.filter->GetState(kCuePollMs, &fs) == VFW_S_STATE_INTERMEDIATE) {
      if (haveTimeout && timeout.Check()) {
        timedOut = true;
        break;
      }
    }
    if (timedOut) break;
  }
  if (haveTimeout) fSystemClock->Unadvise(cookie);
  StopLocked(true);
  return timedOut ? S_FALSE : S_OK;
}

HRESULT TFilterGraph::RenderFile(BSTR) { return E_NOTIMPL; }
HRESULT TFilterGraph::AddSourceFilter(BSTR, IDispatch** ppUnk) {
  if (ppUnk) *ppUnk = nullptr;
  return E_NOTIMPL;
}
HRESULT TFilterGraph::get_FilterCollection(IDispatch** ppUnk) {
  if (ppUnk) *ppUnk = nullptr;
  return E_NOTIMPL;
}
HRESULT TFilterGraph::get_RegFilterCollection(IDispatch** ppUnk) {
  if (ppUnk) *ppUnk = nullptr;
  return E_NOTIMPL;
}

// ---------------------------------------------------------------------------
// Events

HRESULT TFilterGraph::Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
  if (EventCode == EC_COMPLETE && fCompleteDefault.load()) {
    bool complete = false;
    {
      std::lock_guard events(fEventLock);
      auto it = fCompletion.find(reinterpret_cast<IBaseFilter*>(EventParam2));
      if (it == fCompletion.end()) return S_OK;  // not a stream end we wait for
      if (it->second.received < it->second.expected) {
        ++it->second.received;
        ++fReceivedTotal;
      }
      if (fReceivedTotal >= fExpectedTotal && !fCompleteSent) {
        fCompleteSent = true;
        complete = true;
      }
    }
    if (complete) fEvents.Push(EC_COMPLETE, S_OK, 0);
    return S_OK;
  }
  fEvents.Push(EventCode, EventParam1, EventParam2);
  return S_OK;
}

HRESULT TFilterGraph::GetEventHandle(OAEVENT* hEvent) {
  if (!hEvent) return E_POINTER;
  *hEvent = reinterpret_cast<OAEVENT>(&fEvents.Handle());
  return S_OK;
}

HRESULT TFilterGraph::GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                               LONG msTimeout) {
  if (!lEventCode || !lParam1 || !lParam2) return E_POINTER;
  TGraphEventQueue::Event e{};
  const HRESULT hr = fEvents.Get(&e, msTimeout);
  if (FAILED(hr)) {
    *lEventCode = 0;
    *lParam1 = *lParam2 = 0;
    return hr;
  }
  *lEventCode = e.code;
  *lParam1 = e.param1;
  *lParam2 = e.param2;
  return S_OK;
}

HRESULT TFilterGraph::WaitForCompletion(LONG msTimeout, LONG* pEvCode) {
  if (pEvCode) *pEvCode = 0;
  {
    TBCAutoLock lock(fGraphLock);
    if (fState != State_Running) return VFW_E_WRONG_STATE;
  }
  return fEvents.WaitForCompletion(msTimeout, pEvCode);
}

HRESULT TFilterGraph::CancelDefaultHandling(LONG lEvCode) {
  if (lEvCode != EC_COMPLETE) return E_INVALIDARG;
  fCompleteDefault = false;
  return S_OK;
}

HRESULT TFilterGraph::RestoreDefaultHandling(LONG lEvCode) {
  if (lEvCode != EC_COMPLETE) return E_INVALIDARG;
  fCompleteDefault = true;
  return S_OK;
}

HRESULT TFilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) {
  // No event of this framework carries allocated parameters.
  return S_OK;
}

HRESULT TFilterGraph::SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) {
  fEvents.SetNotifyWindow(hwnd, static_cast<UINT>(lMsg), lInstanceData);
  return S_OK;
}

HRESULT TFilterGraph::SetNotifyFlags(LONG lNoNotifyFlags) {
  if (lNoNotifyFlags != 0 && lNoNotifyFlags != AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
  fEvents.SetNotifyFlags(lNoNotifyFlags);
  return S_OK;
}

HRESULT TFilterGraph::GetNotifyFlags(LONG* lplNoNotifyFlags) {
  if (!lplNoNotifyFlags) return E_POINTER;
  *lplNoNotifyFlags = fEvents.NotifyFlags();
  return S_OK;
}
