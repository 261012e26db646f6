#include "directshow/source_seeking.h"

#include <algorithm>

#include "directshow/dshow_guids.h"
#include "directshow/source.h"

TBCSourceSeeking::TBCSourceSeeking(TBCSource* source, REFERENCE_TIME duration)
    : ComObject(source->GetUnknown()),
      fSourceFilter(source),
      fDuration(duration),
      fStop(duration),
      fTimeFormat(TIME_FORMAT_MEDIA_TIME) {}

TBCSourceSeeking::~TBCSourceSeeking() = default;

HRESULT TBCSourceSeeking::ChangeStart() { return fSourceFilter->RestartStreams(); }
HRESULT TBCSourceSeeking::ChangeStop() { return S_OK; }
HRESULT TBCSourceSeeking::ChangeRate() { return S_OK; }
REFERENCE_TIME TBCSourceSeeking::SnapToKeyFrame(REFERENCE_TIME target) { return target; }

REFERENCE_TIME TBCSourceSeeking::StartPosition() {
  std::lock_guard lock(fLock);
  return fStart;
}

REFERENCE_TIME TBCSourceSeeking::StopPosition() {
  std::lock_guard lock(fLock);
  return fStop;
}

double TBCSourceSeeking::Rate() {
  std::lock_guard lock(fLock);
  return fRate;
}

REFERENCE_TIME TBCSourceSeeking::Duration() {
  std::lock_guard lock(fLock);
  return fDuration;
}

void TBCSourceSeeking::SetDuration(REFERENCE_TIME duration) {
  std::lock_guard lock(fLock);
  if (fStop == fDuration || fStop > duration) fStop = duration;
  fDuration = duration;
}

void TBCSourceSeeking::SetCapabilities(DWORD capabilities) {
  std::lock_guard lock(fLock);
  fCapabilities = capabilities;
}

void TBCSourceSeeking::SetFrameDuration(REFERENCE_TIME frameDuration) {
  std::lock_guard lock(fLock);
  fFrameDuration = frameDuration;
}

bool TBCSourceSeeking::FormatSupportedLocked(const GUID& format) const {
  return format == TIME_FORMAT_MEDIA_TIME || (format == TIME_FORMAT_FRAME && fFrameDuration > 0);
}

LONGLONG TBCSourceSeeking::ToMediaLocked(LONGLONG value) const {
  if (fTimeFormat == TIME_FORMAT_FRAME && fFrameDuration > 0) return value * fFrameDuration;
  return value;
}

LONGLONG TBCSourceSeeking::FromMediaLocked(LONGLONG value) const {
  if (fTimeFormat == TIME_FORMAT_FRAME && fFrameDuration > 0) return value / fFrameDuration;
  return value;
}

HRESULT TBCSourceSeeking::GetCapabilities(DWORD* pCapabilities) {
  if (!pCapabilities) return E_POINTER;
  std::lock_guard lock(fLock);
  *pCapabilities = fCapabilities;
  return S_OK;
}

HRESULT TBCSourceSeeking::CheckCapabilities(DWORD* pCapabilities) {
  if (!pCapabilities) return E_POINTER;
  std::lock_guard lock(fLock);
  const DWORD asked = *pCapabilities;
  *pCapabilities &= fCapabilities;
  if (*pCapabilities == asked) return S_OK;
  return *pCapabilities ? S_FALSE : E_FAIL;
}

HRESULT TBCSourceSeeking::IsFormatSupported(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  std::lock_guard lock(fLock);
  return FormatSupportedLocked(*pFormat) ? S_OK : S_FALSE;
}

HRESULT TBCSourceSeeking::QueryPreferredFormat(GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  *pFormat = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT TBCSourceSeeking::GetTimeFormat(GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  std::lock_guard lock(fLock);
  *pFormat = fTimeFormat;
  return S_OK;
}

HRESULT TBCSourceSeeking::IsUsingTimeFormat(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  std::lock_guard lock(fLock);
  return *pFormat == fTimeFormat ? S_OK : S_FALSE;
}

HRESULT TBCSourceSeeking::SetTimeFormat(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  std::lock_guard lock(fLock);
  const GUID format = *pFormat == TIME_FORMAT_NONE ? TIME_FORMAT_MEDIA_TIME : *pFormat;
  if (!FormatSupportedLocked(format)) return E_INVALIDARG;
  fTimeFormat = format;
  return S_OK;
}

HRESULT TBCSourceSeeking::GetDuration(LONGLONG* pDuration) {
  if (!pDuration) return E_POINTER;
  std::lock_guard lock(fLock);
  *pDuration = FromMediaLocked(fDuration);
  return S_OK;
}

HRESULT TBCSourceSeeking::GetStopPosition(LONGLONG* pStop) {
  if (!pStop) return E_POINTER;
  std::lock_guard lock(fLock);
  *pStop = FromMediaLocked(fStop);
  return S_OK;
}

HRESULT TBCSourceSeeking::GetCurrentPosition(LONGLONG* pCurrent) {
  if (!pCurrent) return E_POINTER;
  std::lock_guard lock(fLock);
  *pCurrent = FromMediaLocked(fStart);
  return S_OK;
}

HRESULT TBCSourceSeeking::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                            LONGLONG Source, const GUID* pSourceFormat) {
  if (!pTarget) return E_POINTER;
  std::lock_guard lock(fLock);
  const GUID target = pTargetFormat ? *pTargetFormat : fTimeFormat;
  const GUID source = pSourceFormat ? *pSourceFormat : fTimeFormat;
  if (!FormatSupportedLocked(target == TIME_FORMAT_NONE ? fTimeFormat : target) ||
      !FormatSupportedLocked(source == TIME_FORMAT_NONE ? fTimeFormat : source))
    return E_INVALIDARG;
  const auto toMedia = [&](const GUID& f, LONGLONG v) {
    return f == TIME_FORMAT_FRAME ? v * fFrameDuration : v;
  };
  const LONGLONG media = toMedia(source == TIME_FORMAT_NONE ? fTimeFormat : source, Source);
  const GUID t = target == TIME_FORMAT_NONE ? fTimeFormat : target;
  *pTarget = t == TIME_FORMAT_FRAME ? media / fFrameDuration : media;
  return S_OK;
}

HRESULT TBCSourceSeeking::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                       DWORD dwStopFlags) {
  const DWORD curPos = dwCurrentFlags & AM_SEEKING_PositioningBitsMask;
  const DWORD stopPos = dwStopFlags & AM_SEEKING_PositioningBitsMask;
  if ((curPos != AM_SEEKING_NoPositioning && !pCurrent) ||
      (stopPos != AM_SEEKING_NoPositioning && !pStop))
    return E_POINTER;
  if (curPos == AM_SEEKING_IncrementalPositioning) return E_INVALIDARG;
  bool startSet = false;
  bool stopChanged = false;
  {
    std::lock_guard lock(fLock);
    if (curPos != AM_SEEKING_NoPositioning && !(fCapabilities & AM_SEEKING_CanSeekAbsolute))
      return E_NOTIMPL;
    REFERENCE_TIME start = fStart;
    REFERENCE_TIME stop = fStop;
    if (curPos == AM_SEEKING_AbsolutePositioning) start = ToMediaLocked(*pCurrent);
    if (curPos == AM_SEEKING_RelativePositioning) start = fStart + ToMediaLocked(*pCurrent);
    if (stopPos == AM_SEEKING_AbsolutePositioning) stop = ToMediaLocked(*pStop);
    if (stopPos == AM_SEEKING_RelativePositioning) stop = fStop + ToMediaLocked(*pStop);
    if (stopPos == AM_SEEKING_IncrementalPositioning) stop = start + ToMediaLocked(*pStop);
    start = std::clamp<REFERENCE_TIME>(start, 0, fDuration);
    stop = std::clamp<REFERENCE_TIME>(stop, 0, fDuration);
    if (curPos != AM_SEEKING_NoPositioning) {
      startSet = true;
      fStart = start;
    }
    if (stop < fStart) stop = fStart;
    stopChanged = stop != fStop;
    fStop = stop;
  }
  if (startSet && (dwCurrentFlags & AM_SEEKING_SeekToKeyFrame)) {
    const REFERENCE_TIME snapped = SnapToKeyFrame(StartPosition());
    std::lock_guard lock(fLock);
    fStart = std::clamp<REFERENCE_TIME>(snapped, 0, fDuration);
    if (fStop < fStart) fStop = fStart;
  }
  HRESULT hr = S_OK;
  if (stopChanged) hr = ChangeStop();
  if (startSet) {
    const HRESULT h = ChangeStart();
    if (FAILED(h)) hr = h;
  }
  std::lock_guard lock(fLock);
  if (pCurrent && (dwCurrentFlags & AM_SEEKING_ReturnTime)) *pCurrent = FromMediaLocked(fStart);
  if (pStop && (dwStopFlags & AM_SEEKING_ReturnTime)) *pStop = FromMediaLocked(fStop);
  return hr;
}

HRESULT TBCSourceSeeking::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) {
  std::lock_guard lock(fLock);
  if (pCurrent) *pCurrent = FromMediaLocked(fStart);
  if (pStop) *pStop = FromMediaLocked(fStop);
  return S_OK;
}

HRESULT TBCSourceSeeking::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) {
  std::lock_guard lock(fLock);
  if (pEarliest) *pEarliest = 0;
  if (pLatest) *pLatest = FromMediaLocked(fDuration);
  return S_OK;
}

HRESULT TBCSourceSeeking::SetRate(double dRate) {
  if (!(dRate > 0)) return E_INVALIDARG;
  {
    std::lock_guard lock(fLock);
    if (dRate == fRate) return S_OK;
    fRate = dRate;
  }
  return ChangeRate();
}

HRESULT TBCSourceSeeking::GetRate(double* pdRate) {
  if (!pdRate) return E_POINTER;
  std::lock_guard lock(fLock);
  *pdRate = fRate;
  return S_OK;
}

HRESULT TBCSourceSeeking::GetPreroll(LONGLONG* pllPreroll) {
  if (!pllPreroll) return E_POINTER;
  *pllPreroll = 0;
  return S_OK;
}
