// IMediaSeeking of the filter graph manager: one seeking path per source
// filter, found from the renderers upstream.

#include <algorithm>

#include "directshow/filter_graph_impl.h"

namespace {

std::vector<ComPtr<IPin>> InputPinsOf(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> e;
  if (FAILED(filter->EnumPins(e.Put())) || !e) return pins;
  for (;;) {
    IPin* pin = nullptr;
    ULONG fetched = 0;
    if (e->Next(1, &pin, &fetched) != S_OK || fetched != 1) break;
    auto p = ComPtr<IPin>::Adopt(pin);
    PIN_DIRECTION dir = PINDIR_OUTPUT;
    p->QueryDirection(&dir);
    if (dir == PINDIR_INPUT) pins.push_back(p);
  }
  return pins;
}

bool HasOutputPins(IBaseFilter* filter) {
  ComPtr<IEnumPins> e;
  if (FAILED(filter->EnumPins(e.Put())) || !e) return false;
  for (;;) {
    IPin* pin = nullptr;
    ULONG fetched = 0;
    if (e->Next(1, &pin, &fetched) != S_OK || fetched != 1) return false;
    auto p = ComPtr<IPin>::Adopt(pin);
    PIN_DIRECTION dir = PINDIR_INPUT;
    p->QueryDirection(&dir);
    if (dir == PINDIR_OUTPUT) return true;
  }
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

// The filter at the start of the chain that feeds `input`.
ComPtr<IBaseFilter> SourceOf(IPin* input) {
  ComPtr<IPin> pin(input);
  for (int depth = 0; depth < 64; ++depth) {
    const auto peer = PeerOf(pin.get());
    if (!peer) return nullptr;
    const auto filter = FilterOf(peer.get());
    if (!filter) return nullptr;
    ComPtr<IPin> next;
    for (const auto& in : InputPinsOf(filter.get())) {
      if (PeerOf(in.get())) {
        next = in;
        break;
      }
    }
    if (!next) return filter;
    pin = next;
  }
  return nullptr;
}

bool IsRenderer(IBaseFilter* filter) {
  if (auto flags = ComPtr<IBaseFilter>(filter).As<IAMFilterMiscFlags>()) {
    if (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER) return true;
  }
  return !HasOutputPins(filter);
}

}  // namespace

std::vector<TFilterGraph::SeekPath> TFilterGraph::SeekPathsLocked() {
  std::vector<SeekPath> paths;
  for (const auto& e : fFilters) {
    if (!IsRenderer(e.filter.get())) continue;
    bool first = true;
    for (const auto& in : InputPinsOf(e.filter.get())) {
      const auto peer = PeerOf(in.get());
      const bool firstPin = first;
      first = false;
      if (!peer) continue;
      const auto source = SourceOf(in.get());
      if (source && std::any_of(paths.begin(), paths.end(),
                                [&](const SeekPath& p) { return p.source == source; }))
        continue;
      // The renderer's own seeking (it knows the last sample) for its first
      // input, the upstream pin's for the others.
      ComPtr<IMediaSeeking> seeking;
      if (firstPin) seeking = e.filter.As<IMediaSeeking>();
      if (!seeking) seeking = peer.As<IMediaSeeking>();
      if (seeking) paths.push_back(SeekPath{seeking, source});
    }
  }
  return paths;
}

HRESULT TFilterGraph::ToFormatLocked(const std::vector<SeekPath>& paths, REFERENCE_TIME media,
                                     LONGLONG* out) {
  if (fTimeFormat == TIME_FORMAT_MEDIA_TIME) {
    *out = media;
    return S_OK;
  }
  return paths.front().seeking->ConvertTimeFormat(out, &fTimeFormat, media,
                                                  &TIME_FORMAT_MEDIA_TIME);
}

HRESULT TFilterGraph::ToMediaLocked(const std::vector<SeekPath>& paths, LONGLONG value,
                                    REFERENCE_TIME* media) {
  if (fTimeFormat == TIME_FORMAT_MEDIA_TIME) {
    *media = value;
    return S_OK;
  }
  return paths.front().seeking->ConvertTimeFormat(media, &TIME_FORMAT_MEDIA_TIME, value,
                                                  &fTimeFormat);
}

std::optional<REFERENCE_TIME> TFilterGraph::MediaPositionLocked() {
  const auto paths = SeekPathsLocked();
  if (paths.empty()) return std::nullopt;
  REFERENCE_TIME duration = MAX_TIME;
  {
    LONGLONG d = 0;
    REFERENCE_TIME media = 0;
    if (SUCCEEDED(paths.front().seeking->GetDuration(&d)) &&
        SUCCEEDED(ToMediaLocked(paths, d, &media)))
      duration = media;
  }
  REFERENCE_TIME position = fSeekBase + fPausedStreamTime;
  if (fState == State_Running && fClock) {
    // Playing: the clock tells how far the stream has come.
    const auto elapsed = static_cast<double>(ClockTimeLocked() - fStart) * fRate;
    position = fSeekBase + static_cast<REFERENCE_TIME>(elapsed);
  } else {
    // Paused or stopped: the last sample drawn or shown (or the seek target).
    LONGLONG value = 0;
    REFERENCE_TIME media = 0;
    if (SUCCEEDED(paths.front().seeking->GetCurrentPosition(&value)) &&
        SUCCEEDED(ToMediaLocked(paths, value, &media)))
      position = media;
  }
  return std::clamp<REFERENCE_TIME>(position, 0, duration);
}

HRESULT TFilterGraph::SeekLocked(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                 DWORD dwStopFlags) {
  const auto paths = SeekPathsLocked();
  if (paths.empty()) return E_NOTIMPL;
  const bool wasRunning = fState == State_Running;
  if (wasRunning) {
    for (const auto& f : SortedFiltersLocked()) f->Pause();
  }
  HRESULT result = E_NOTIMPL;
  bool any = false;
  LONGLONG returnedCurrent = pCurrent ? *pCurrent : 0;
  LONGLONG returnedStop = pStop ? *pStop : 0;
  for (const auto& path : paths) {
    LONGLONG current = pCurrent ? *pCurrent : 0;
    LONGLONG stop = pStop ? *pStop : 0;
    const HRESULT hr = path.seeking->SetPositions(pCurrent ? &current : nullptr, dwCurrentFlags,
                                                  pStop ? &stop : nullptr, dwStopFlags);
    if (SUCCEEDED(hr) && !any) {
      any = true;
      result = hr;
      returnedCurrent = current;
      returnedStop = stop;
    } else if (FAILED(hr) && !any) {
      result = hr;
    }
  }
  if (any && (dwCurrentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning) {
    // Stream time 0 is now the new position; every stream ends anew.
    LONGLONG value = 0;
    REFERENCE_TIME media = 0;
    if (SUCCEEDED(paths.front().seeking->GetPositions(&value, nullptr)) &&
        SUCCEEDED(ToMediaLocked(paths, value, &media)))
      fSeekBase = media;
    fPausedStreamTime = 0;
    ResetCompletion();
  }
  if (pCurrent && (dwCurrentFlags & AM_SEEKING_ReturnTime)) *pCurrent = returnedCurrent;
  if (pStop && (dwStopFlags & AM_SEEKING_ReturnTime)) *pStop = returnedStop;
  if (wasRunning) {
    fStart = ClockTimeLocked();
    for (const auto& f : SortedFiltersLocked()) f->Run(fStart);
  }
  return result;
}

HRESULT TFilterGraph::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                   DWORD dwStopFlags) {
  TBCAutoLock lock(fGraphLock);
  return SeekLocked(pCurrent, dwCurrentFlags, pStop, dwStopFlags);
}

HRESULT TFilterGraph::GetCurrentPosition(LONGLONG* pCurrent) {
  if (!pCurrent) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const auto media = MediaPositionLocked();
  if (!media) return E_NOTIMPL;
  return ToFormatLocked(SeekPathsLocked(), *media, pCurrent);
}

HRESULT TFilterGraph::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) {
  TBCAutoLock lock(fGraphLock);
  if (pCurrent) {
    const HRESULT hr = GetCurrentPosition(pCurrent);
    if (FAILED(hr)) return hr;
  }
  if (pStop) return GetStopPosition(pStop);
  return S_OK;
}

HRESULT TFilterGraph::GetCapabilities(DWORD* pCapabilities) {
  if (!pCapabilities) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const auto paths = SeekPathsLocked();
  if (paths.empty()) return E_NOTIMPL;
  DWORD caps = ~DWORD{0};
  for (const auto& p : paths) {
    DWORD c = 0;
    if (SUCCEEDED(p.seeking->GetCapabilities(&c))) caps &= c;
  }
  *pCapabilities = caps;
  return S_OK;
}

HRESULT TFilterGraph::CheckCapabilities(DWORD* pCapabilities) {
  if (!pCapabilities) return E_POINTER;
  DWORD caps = 0;
  const HRESULT hr = GetCapabilities(&caps);
  if (FAILED(hr)) return hr;
  const DWORD asked = *pCapabilities;
  *pCapabilities &= caps;
  if (*pCapabilities == asked) return S_OK;
  return *pCapabilities ? S_FALSE : E_FAIL;
}

HRESULT TFilterGraph::IsFormatSupported(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const auto paths = SeekPathsLocked();
  if (paths.empty()) return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
  for (const auto& p : paths)
    if (p.seeking->IsFormatSupported(pFormat) != S_OK) return S_FALSE;
  return S_OK;
}

HRESULT TFilterGraph::QueryPreferredFormat(GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  *pFormat = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT TFilterGraph::GetTimeFormat(GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  *pFormat = fTimeFormat;
  return S_OK;
}

HRESULT TFilterGraph::IsUsingTimeFormat(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  return *pFormat == fTimeFormat ? S_OK : S_FALSE;
}

HRESULT TFilterGraph::SetTimeFormat(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const GUID format = *pFormat == TIME_FORMAT_NONE ? TIME_FORMAT_MEDIA_TIME : *pFormat;
  const auto paths = SeekPathsLocked();
  for (const auto& p : paths) {
    if (FAILED(p.seeking->SetTimeFormat(&format))) {
      for (const auto& q : paths) q.seeking->SetTimeFormat(&fTimeFormat);
      return E_INVALIDARG;
    }
  }
  if (paths.empty() && format != TIME_FORMAT_MEDIA_TIME) return E_INVALIDARG;
  fTimeFormat = format;
  return S_OK;
}

HRESULT TFilterGraph::GetDuration(LONGLONG* pDuration) {
  if (!pDuration) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const auto paths = SeekPathsLocked();
  if (paths.empty()) return E_NOTIMPL;
  HRESULT result = E_NOTIMPL;
  LONGLONG longest = 0;
  for (const auto& p : paths) {
    LONGLONG d = 0;
    if (SUCCEEDED(p.seeking->GetDuration(&d))) {
      result = S_OK;
      longest = std::max(longest, d);
    }
  }
  if (SUCCEEDED(result)) *pDuration = longest;
  return result;
}

HRESULT TFilterGraph::GetStopPosition(LONGLONG* pStop) {
  if (!pStop) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const auto paths = SeekPathsLocked();
  if (paths.empty()) return E_NOTIMPL;
  return paths.front().seeking->GetStopPosition(pStop);
}

HRESULT TFilterGraph::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                        LONGLONG Source, const GUID* pSourceFormat) {
  if (!pTarget) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const GUID target = pTargetFormat ? *pTargetFormat : fTimeFormat;
  const GUID source = pSourceFormat ? *pSourceFormat : fTimeFormat;
  if (target == source) {
    *pTarget = Source;
    return S_OK;
  }
  const auto paths = SeekPathsLocked();
  if (paths.empty()) return E_NOTIMPL;
  return paths.front().seeking->ConvertTimeFormat(pTarget, &target, Source, &source);
}

HRESULT TFilterGraph::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) {
  if (pEarliest) *pEarliest = 0;
  if (pLatest) return GetDuration(pLatest);
  return S_OK;
}

HRESULT TFilterGraph::SetRate(double dRate) {
  if (!(dRate > 0)) return E_INVALIDARG;
  TBCAutoLock lock(fGraphLock);
  const auto paths = SeekPathsLocked();
  if (paths.empty()) return E_NOTIMPL;
  // Keep the position continuous across the change.
  const auto position = MediaPositionLocked();
  for (const auto& p : paths) {
    const HRESULT hr = p.seeking->SetRate(dRate);
    if (FAILED(hr)) {
      for (const auto& q : paths) q.seeking->SetRate(fRate);
      return hr;
    }
  }
  if (position && fState == State_Running) {
    fSeekBase = *position;
    fStart = ClockTimeLocked();
  }
  fRate = dRate;
  return S_OK;
}

HRESULT TFilterGraph::GetRate(double* pdRate) {
  if (!pdRate) return E_POINTER;
  TBCAutoLock lock(fGraphLock);
  const auto paths = SeekPathsLocked();
  if (!paths.empty() && SUCCEEDED(paths.front().seeking->GetRate(pdRate))) return S_OK;
  *pdRate = fRate;
  return S_OK;
}

HRESULT TFilterGraph::GetPreroll(LONGLONG* pllPreroll) {
  if (!pllPreroll) return E_POINTER;
  *pllPreroll = 0;
  return S_OK;
}
