#include "directshow/pos_passthru.h"

#include <cmath>

#include "directshow/dshow_guids.h"

TBCPosPassThru::TBCPosPassThru(IUnknown* owner, IPin* input) : ComObject(owner), fInput(input) {}

ComPtr<IMediaSeeking> TBCPosPassThru::Upstream() {
  ComPtr<IPin> peer;
  if (!fInput || FAILED(fInput->ConnectedTo(peer.Put())) || !peer) return nullptr;
  return peer.As<IMediaSeeking>();
}

#define LUMORA_FORWARD(call)          \
  do {                                \
    const auto upstream = Upstream(); \
    if (!upstream) return E_NOTIMPL;  \
    return upstream->call;            \
  } while (false)

HRESULT TBCPosPassThru::GetCapabilities(DWORD* p) { LUMORA_FORWARD(GetCapabilities(p)); }
HRESULT TBCPosPassThru::CheckCapabilities(DWORD* p) { LUMORA_FORWARD(CheckCapabilities(p)); }
HRESULT TBCPosPassThru::IsFormatSupported(const GUID* p) { LUMORA_FORWARD(IsFormatSupported(p)); }
HRESULT TBCPosPassThru::QueryPreferredFormat(GUID* p) { LUMORA_FORWARD(QueryPreferredFormat(p)); }
HRESULT TBCPosPassThru::GetTimeFormat(GUID* p) { LUMORA_FORWARD(GetTimeFormat(p)); }
HRESULT TBCPosPassThru::IsUsingTimeFormat(const GUID* p) { LUMORA_FORWARD(IsUsingTimeFormat(p)); }
HRESULT TBCPosPassThru::SetTimeFormat(const GUID* p) { LUMORA_FORWARD(SetTimeFormat(p)); }
HRESULT TBCPosPassThru::GetDuration(LONGLONG* p) { LUMORA_FORWARD(GetDuration(p)); }
HRESULT TBCPosPassThru::GetStopPosition(LONGLONG* p) { LUMORA_FORWARD(GetStopPosition(p)); }
HRESULT TBCPosPassThru::GetCurrentPosition(LONGLONG* p) { LUMORA_FORWARD(GetCurrentPosition(p)); }
HRESULT TBCPosPassThru::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                          LONGLONG Source, const GUID* pSourceFormat) {
  LUMORA_FORWARD(ConvertTimeFormat(pTarget, pTargetFormat, Source, pSourceFormat));
}
HRESULT TBCPosPassThru::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                     DWORD dwStopFlags) {
  LUMORA_FORWARD(SetPositions(pCurrent, dwCurrentFlags, pStop, dwStopFlags));
}
HRESULT TBCPosPassThru::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) {
  LUMORA_FORWARD(GetPositions(pCurrent, pStop));
}
HRESULT TBCPosPassThru::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) {
  LUMORA_FORWARD(GetAvailable(pEarliest, pLatest));
}
HRESULT TBCPosPassThru::SetRate(double dRate) { LUMORA_FORWARD(SetRate(dRate)); }
HRESULT TBCPosPassThru::GetRate(double* pdRate) { LUMORA_FORWARD(GetRate(pdRate)); }
HRESULT TBCPosPassThru::GetPreroll(LONGLONG* p) { LUMORA_FORWARD(GetPreroll(p)); }

#undef LUMORA_FORWARD

namespace {

REFTIME ToSeconds(LONGLONG t) { return static_cast<double>(t) / static_cast<double>(UNITS); }
LONGLONG FromSeconds(REFTIME s) {
  return static_cast<LONGLONG>(std::llround(s * static_cast<double>(UNITS)));
}

}  // namespace

HRESULT TBCPosPassThru::get_Duration(REFTIME* plength) {
  if (!plength) return E_POINTER;
  LONGLONG d = 0;
  const HRESULT hr = GetDuration(&d);
  if (SUCCEEDED(hr)) *plength = ToSeconds(d);
  return hr;
}

HRESULT TBCPosPassThru::put_CurrentPosition(REFTIME llTime) {
  LONGLONG t = FromSeconds(llTime);
  return SetPositions(&t, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT TBCPosPassThru::get_CurrentPosition(REFTIME* pllTime) {
  if (!pllTime) return E_POINTER;
  LONGLONG t = 0;
  const HRESULT hr = GetCurrentPosition(&t);
  if (SUCCEEDED(hr)) *pllTime = ToSeconds(t);
  return hr;
}

HRESULT TBCPosPassThru::get_StopTime(REFTIME* pllTime) {
  if (!pllTime) return E_POINTER;
  LONGLONG t = 0;
  const HRESULT hr = GetStopPosition(&t);
  if (SUCCEEDED(hr)) *pllTime = ToSeconds(t);
  return hr;
}

HRESULT TBCPosPassThru::put_StopTime(REFTIME llTime) {
  LONGLONG t = FromSeconds(llTime);
  return SetPositions(nullptr, AM_SEEKING_NoPositioning, &t, AM_SEEKING_AbsolutePositioning);
}

HRESULT TBCPosPassThru::get_PrerollTime(REFTIME* pllTime) {
  if (!pllTime) return E_POINTER;
  LONGLONG t = 0;
  const HRESULT hr = GetPreroll(&t);
  if (SUCCEEDED(hr)) *pllTime = ToSeconds(t);
  return hr;
}

HRESULT TBCPosPassThru::put_PrerollTime(REFTIME) { return E_NOTIMPL; }
HRESULT TBCPosPassThru::put_Rate(double dRate) { return SetRate(dRate); }
HRESULT TBCPosPassThru::get_Rate(double* pdRate) { return GetRate(pdRate); }

HRESULT TBCPosPassThru::CanSeekForward(LONG* pCanSeekForward) {
  if (!pCanSeekForward) return E_POINTER;
  DWORD caps = 0;
  const HRESULT hr = GetCapabilities(&caps);
  *pCanSeekForward = ToBOOL(SUCCEEDED(hr) && (caps & AM_SEEKING_CanSeekForwards));
  return S_OK;
}

HRESULT TBCPosPassThru::CanSeekBackward(LONG* pCanSeekBackward) {
  if (!pCanSeekBackward) return E_POINTER;
  DWORD caps = 0;
  const HRESULT hr = GetCapabilities(&caps);
  *pCanSeekBackward = ToBOOL(SUCCEEDED(hr) && (caps & AM_SEEKING_CanSeekBackwards));
  return S_OK;
}

HRESULT TBCRendererPosPassThru::GetCurrentPosition(LONGLONG* pCurrent) {
  if (!pCurrent) return E_POINTER;
  std::optional<REFERENCE_TIME> mediaTime;
  {
    std::lock_guard lock(fLock);
    mediaTime = fMediaTime;
  }
  if (!mediaTime) return TBCPosPassThru::GetCurrentPosition(pCurrent);
  // Reported in the time format upstream uses.
  const auto upstream = Upstream();
  GUID format = TIME_FORMAT_MEDIA_TIME;
  if (upstream && SUCCEEDED(upstream->GetTimeFormat(&format)) && format != TIME_FORMAT_MEDIA_TIME) {
    return upstream->ConvertTimeFormat(pCurrent, &format, *mediaTime, &TIME_FORMAT_MEDIA_TIME);
  }
  *pCurrent = *mediaTime;
  return S_OK;
}

void TBCRendererPosPassThru::RegisterMediaTime(IMediaSample* sample, REFERENCE_TIME segmentStart) {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  if (!sample || FAILED(sample->GetTime(&start, &stop))) return;
  std::lock_guard lock(fLock);
  fMediaTime = start + segmentStart;
}

void TBCRendererPosPassThru::ResetMediaTime() {
  std::lock_guard lock(fLock);
  fMediaTime.reset();
}
