// The effect filter's stream switching (extra input pins, IAMStreamSelect,
// language list), its connection refusals and its registration in the
// running object table.

#include <algorithm>
#include <set>
#include <utility>

#include "audio/dsp_filter.h"
#include "audio/language_table.h"
#include "audio/running_object_table.h"
#include "directshow/wide_string.h"

namespace {

// Downstream filters the output refuses to connect to.
constexpr CLSID kRefusedDownstream = MakeGuid("{D3CD7858-971A-4838-ACEC-40CA5D529DC8}");
// A downstream filter that a forced stream switch also disconnects from its
// own downstream.
constexpr CLSID kChainedDownstream = MakeGuid("{A753A1EC-973E-4718-AF8E-A3F554D45C44}");

ComPtr<IBaseFilter> FilterOf(IPin* pin) {
  PIN_INFO info{};
  if (pin == nullptr || FAILED(pin->QueryPinInfo(&info)) || info.pFilter == nullptr) return nullptr;
  return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

CLSID ClassOf(IBaseFilter* filter) {
  CLSID clsid = GUID_NULL;
  if (filter != nullptr) filter->GetClassID(&clsid);
  return clsid;
}

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

ComPtr<IPin> PeerOf(IPin* pin) {
  ComPtr<IPin> peer;
  if (FAILED(pin->ConnectedTo(peer.Put()))) return nullptr;
  return peer;
}

}  // namespace

// ---------------------------------------------------------------------------
// Language list

std::vector<TDCStreamLanguage> TDCDSPFilter::StreamLanguages() {
  TBCAutoLock lock(fLock);
  return fStreamList;
}

LONG TDCDSPFilter::PreferredStream() {
  TBCAutoLock lock(fLock);
  return fPreferedStream;
}

std::u16string TDCDSPFilter::StreamName(int index) {
  TBCAutoLock lock(fLock);
  if (index >= 0 && static_cast<std::size_t>(index) < fStreamList.size() &&
      !fStreamList[static_cast<std::size_t>(index)].name.empty())
    return fStreamList[static_cast<std::size_t>(index)].name;
  return u"Audio Track " + ds::ToUtf16(std::to_string(index + 1));
}

DWORD TDCDSPFilter::StreamLanguageId(int index) {
  TBCAutoLock lock(fLock);
  if (index >= 0 && static_cast<std::size_t>(index) < fStreamList.size())
    return fStreamList[static_cast<std::size_t>(index)].id;
  return 0;
}

// ---------------------------------------------------------------------------
// Connections

void TDCDSPFilter::OnInputConnected(TDCDSPFilterInputPin* pin) {
  TBCAutoLock lock(fLock);
  if (!fEnableStreamSwitching) return;
  // One free input always waits for the next audio stream.
  const bool allConnected = std::all_of(fPinList.begin(), fPinList.end(),
                                        [](TDCDSPFilterInputPin* p) { return p->IsConnected(); });
  if (allConnected) {
    auto extra = std::make_unique<TDCDSPFilterInputPin>(this, static_cast<int>(fPinList.size()));
    extra->SetBlocked(true);
    fPinList.push_back(extra.get());
    fExtraPins.push_back(std::move(extra));
  }
  // The stream the language detection prefers is enabled once its pin is
  // connected.
  const LONG preferred = fPreferedStream;
  if (preferred >= 0 && static_cast<std::size_t>(preferred) < fPinList.size() &&
      fPinList[static_cast<std::size_t>(preferred)] == pin) {
    fPreferedStream = -1;
    SwitchTo(preferred);
  }
}

void TDCDSPFilter::OnInputDisconnected(TDCDSPFilterInputPin* pin) {
  TBCAutoLock lock(fLock);
  const bool othersConnected =
      std::any_of(fPinList.begin(), fPinList.end(),
                  [pin](TDCDSPFilterInputPin* p) { return p != pin && p->IsConnected(); });
  if (othersConnected) return;
  // The last stream went: the next connection starts over on the first pin.
  for (TDCDSPFilterInputPin* p : fPinList) p->SetBlocked(p != fPinList.front());
  fActivePin = fPinList.front();
  fStreamList.clear();
  fPreferedStream = -1;
}

void TDCDSPFilter::OnOutputConnected() {
  TBCAutoLock lock(fLock);
  if (!fEnableStreamSwitching || fInitialized) return;
  fInitialized = true;
  fNeedMediatypeChange.store(true, std::memory_order_release);
  fStreamList.clear();
  const DWORD locale = fOptions.threadLocale ? *fOptions.threadLocale : UserDefaultLanguageId();
  TDCLanguageDetection detection = DetectStreamLanguages(Graph(), locale);
  fStreamList = std::move(detection.streams);
  if (detection.preferred >= 0) fPreferedStream = detection.preferred;
}

void TDCDSPFilter::OnOutputDisconnected() {
  TBCAutoLock lock(fLock);
  // The next connection (another file) detects its languages again.
  fInitialized = false;
}

// ---------------------------------------------------------------------------
// IAMStreamSelect

HRESULT TDCDSPFilter::Count(DWORD* pcStreams) {
  if (pcStreams == nullptr) return E_POINTER;
  std::lock_guard switching(FSwitchLock);
  TBCAutoLock lock(fLock);
  *pcStreams = static_cast<DWORD>(std::count_if(
      fPinList.begin(), fPinList.end(), [](TDCDSPFilterInputPin* p) { return p->IsConnected(); }));
  return S_OK;
}

HRESULT TDCDSPFilter::Info(LONG lIndex, AM_MEDIA_TYPE** ppmt, DWORD* pdwFlags, LCID* plcid,
                           DWORD* pdwGroup, LPWSTR* ppszName, IUnknown** ppObject,
                           IUnknown** ppUnk) {
  std::lock_guard switching(FSwitchLock);
  TBCAutoLock lock(fLock);
  CreatePinsLocked();
  if (lIndex < 0 || static_cast<std::size_t>(lIndex) >= fPinList.size()) return S_FALSE;
  TDCDSPFilterInputPin* pin = fPinList[static_cast<std::size_t>(lIndex)];
  if (ppmt != nullptr)
    *ppmt = pin->IsConnected() ? CreateMediaType(&pin->CurrentMediaType()) : nullptr;
  if (pdwFlags != nullptr)
    *pdwFlags = pin->Blocked() ? 0 : AMSTREAMSELECTINFO_ENABLED | AMSTREAMSELECTINFO_EXCLUSIVE;
  if (plcid != nullptr) *plcid = StreamLanguageId(lIndex);
  if (pdwGroup != nullptr) *pdwGroup = 1;
  if (ppszName != nullptr) *ppszName = ds::CoTaskStrDup(StreamName(lIndex));
  if (ppObject != nullptr) *ppObject = nullptr;
  if (ppUnk != nullptr) *ppUnk = nullptr;
  return S_OK;
}

HRESULT TDCDSPFilter::Enable(LONG lIndex, DWORD dwFlags) {
  if (dwFlags == 0 || (dwFlags & AMSTREAMSELECTENABLE_ENABLEALL) != 0) return E_NOTIMPL;
  if ((dwFlags & AMSTREAMSELECTENABLE_ENABLE) == 0) return S_FALSE;
  std::lock_guard switching(FSwitchLock);
  return SwitchTo(lIndex);
}

HRESULT TDCDSPFilter::SwitchTo(int index) {
  TDCDSPFilterInputPin* pin = InputPinAt(index);
  if (pin == nullptr || !pin->IsConnected() || !pin->Blocked()) return S_FALSE;

  // The graph stops while the inputs change and resumes where it was.
  IFilterGraph* graph = Graph();
  ComPtr<IMediaControl> control;
  ComPtr<IMediaSeeking> seeking;
  if (graph != nullptr) {
    graph->QueryInterface(IMediaControl::iid, control.PutVoid());
    graph->QueryInterface(IMediaSeeking::iid, seeking.PutVoid());
  }
  OAFilterState state = State_Stopped;
  if (control) control->GetState(0, &state);
  LONGLONG position = 0;
  const bool havePosition = seeking && SUCCEEDED(seeking->GetCurrentPosition(&position));
  if (control && state != State_Stopped) control->Stop();

  bool forceDisconnect;
  {
    TBCAutoLock lock(fLock);
    for (TDCDSPFilterInputPin* p : fPinList) p->SetBlocked(true);
    pin->SetBlocked(false);
    fActivePin = pin;
    fNeedMediatypeChange.store(true, std::memory_order_release);
    forceDisconnect = fEnableForceDisconnect;
  }

  if (forceDisconnect && graph != nullptr && fOutput && fOutput->IsConnected()) {
    ComPtr<IPin> peer(fOutput->GetConnected());
    const ComPtr<IBaseFilter> peerFilter = FilterOf(peer.get());
    if (peerFilter && ClassOf(peerFilter.get()) == kChainedDownstream) {
      for (const auto& p : PinsOf(peerFilter.get())) {
        PIN_DIRECTION dir = PINDIR_INPUT;
        p->QueryDirection(&dir);
        if (dir != PINDIR_OUTPUT) continue;
        if (auto next = PeerOf(p.get())) {
          graph->Disconnect(next.get());
          graph->Disconnect(p.get());
        }
      }
    }
    graph->Disconnect(fOutput.get());
    graph->Disconnect(peer.get());
    graph->Reconnect(pin);
    graph->ConnectDirect(fOutput.get(), peer.get(), nullptr);
  }

  if (havePosition)
    seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                          AM_SEEKING_NoPositioning);
  if (control && state == State_Paused) control->Pause();
  if (control && state == State_Running) control->Run();
  return S_OK;
}

// ---------------------------------------------------------------------------
// Stopping the filter that feeds a blocked pin

void TDCDSPFilter::StopUpstreamOf(TDCDSPFilterInputPin* pin) {
  // The caller is the upstream filter's streaming thread, which that
  // filter's Stop would wait for: the stop runs on a thread of its own,
  // joined when this filter stops or goes.
  const ComPtr<IBaseFilter> upstream = FilterOf(pin->GetConnected());
  if (!upstream) return;
  std::lock_guard lock(fStopThreadsLock);
  fStopThreads.emplace_back([upstream] { upstream->Stop(); });
}

void TDCDSPFilter::JoinStopThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(fStopThreadsLock);
    threads.swap(fStopThreads);
  }
  for (auto& t : threads) t.join();
}

// ---------------------------------------------------------------------------
// Connection refusals

bool TDCDSPFilter::AnotherInstanceUpstream(IPin* connecting) {
  std::vector<ComPtr<IPin>> frontier;  // output pins upstream
  for (TDCDSPFilterInputPin* p : fPinList) {
    if (p->IsConnected()) frontier.emplace_back(p->GetConnected());
  }
  if (connecting != nullptr) frontier.emplace_back(connecting);
  std::set<IBaseFilter*> visited{static_cast<IBaseFilter*>(this)};
  while (!frontier.empty()) {
    const ComPtr<IPin> out = frontier.back();
    frontier.pop_back();
    const ComPtr<IBaseFilter> filter = FilterOf(out.get());
    if (!filter || !visited.insert(filter.get()).second) continue;
    if (ClassOf(filter.get()) == CLSID_DCDSPFilter) return true;
    for (const auto& p : PinsOf(filter.get())) {
      PIN_DIRECTION dir = PINDIR_OUTPUT;
      p->QueryDirection(&dir);
      if (dir != PINDIR_INPUT) continue;
      if (auto peer = PeerOf(p.get())) frontier.push_back(peer);
    }
  }
  return false;
}

HRESULT TDCDSPFilter::CheckConnect(PIN_DIRECTION direction, IPin* pin) {
  if (pin == nullptr) return E_POINTER;
  TBCAutoLock lock(fLock);
  if (fEnableLimitInstance && AnotherInstanceUpstream(direction == PINDIR_INPUT ? pin : nullptr))
    return E_FAIL;
  if (direction == PINDIR_OUTPUT) {
    const ComPtr<IBaseFilter> downstream = FilterOf(pin);
    if (downstream) {
      if (ClassOf(downstream.get()) == kRefusedDownstream) return E_FAIL;
      if (auto other = downstream.As<IDCDSPFilterInterface>()) {
        LONG instance = 0;
        other->get_Instance(&instance);
        return E_FAIL;
      }
    }
    if (FEnableRunningObjectTable && FRunningObjectTable == 0) RegisterInRunningObjectTableLocked();
  }
  return TBCTransformFilter::CheckConnect(direction, pin);
}

// ---------------------------------------------------------------------------
// Running object table

DWORD TDCDSPFilter::RunningObjectTableCookie() {
  TBCAutoLock lock(fLock);
  return FRunningObjectTable;
}

void TDCDSPFilter::RegisterInRunningObjectTableLocked() {
  IFilterGraph* graph = Graph();
  if (graph == nullptr || FRunningObjectTable != 0) return;
  DWORD cookie = 0;
  if (SUCCEEDED(
          TDCRunningObjectTable::Process().Register(graph, GraphRegistrationName(graph), &cookie)))
    FRunningObjectTable = cookie;
}

void TDCDSPFilter::RevokeRunningObjectTableLocked() {
  // Cleared first: releasing the table's reference may end the graph, which
  // then takes this filter out of it (JoinFilterGraph comes back here).
  const DWORD cookie = std::exchange(FRunningObjectTable, 0);
  if (cookie != 0) TDCRunningObjectTable::Process().Revoke(cookie);
}
