#include "filters/splitter/module/packet_sample.h"

#include <algorithm>
#include <cstring>

TPacketSample::TPacketSample(ff::PacketPtr packet)
    : fPacket(std::move(packet)), fActual(fPacket ? fPacket->size : 0) {}

HRESULT TPacketSample::GetPointer(BYTE** ppBuffer) {
  if (!ppBuffer) return E_POINTER;
  *ppBuffer = fPacket ? fPacket->data : nullptr;
  return S_OK;
}

LONG TPacketSample::GetSize() { return fPacket ? fPacket->size : 0; }

HRESULT TPacketSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
  if (!pTimeStart || !pTimeEnd) return E_POINTER;
  if (!(fFlags & AM_SAMPLE_TIMEVALID)) return VFW_E_SAMPLE_TIME_NOT_SET;
  *pTimeStart = fStart;
  if (fFlags & AM_SAMPLE_STOPVALID) {
    *pTimeEnd = fStop;
    return S_OK;
  }
  *pTimeEnd = fStart + 1;
  return VFW_S_NO_STOP_TIME;
}

HRESULT TPacketSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
  if (!pTimeStart) {
    fFlags &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
    return S_OK;
  }
  fStart = *pTimeStart;
  fFlags |= AM_SAMPLE_TIMEVALID;
  if (pTimeEnd) {
    fStop = *pTimeEnd;
    fFlags |= AM_SAMPLE_STOPVALID;
  } else {
    fFlags &= ~AM_SAMPLE_STOPVALID;
  }
  return S_OK;
}

HRESULT TPacketSample::IsSyncPoint() { return (fFlags & AM_SAMPLE_SPLICEPOINT) ? S_OK : S_FALSE; }
HRESULT TPacketSample::SetSyncPoint(BOOL b) {
  fFlags = b ? (fFlags | AM_SAMPLE_SPLICEPOINT) : (fFlags & ~AM_SAMPLE_SPLICEPOINT);
  return S_OK;
}
HRESULT TPacketSample::IsPreroll() { return (fFlags & AM_SAMPLE_PREROLL) ? S_OK : S_FALSE; }
HRESULT TPacketSample::SetPreroll(BOOL b) {
  fFlags = b ? (fFlags | AM_SAMPLE_PREROLL) : (fFlags & ~AM_SAMPLE_PREROLL);
  return S_OK;
}
LONG TPacketSample::GetActualDataLength() { return fActual; }
HRESULT TPacketSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > GetSize()) return VFW_E_BUFFER_OVERFLOW;
  fActual = length;
  return S_OK;
}

HRESULT TPacketSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
  if (!ppMediaType) return E_POINTER;
  *ppMediaType = nullptr;
  if (!fMediaType) return S_FALSE;
  *ppMediaType = CreateMediaType(fMediaType.get());
  return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

HRESULT TPacketSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
  if (!pMediaType) {
    fMediaType.reset();
    fFlags &= ~AM_SAMPLE_TYPECHANGED;
    return S_OK;
  }
  fMediaType = std::make_unique<TBCMediaType>(*pMediaType);
  fFlags |= AM_SAMPLE_TYPECHANGED;
  return S_OK;
}

HRESULT TPacketSample::IsDiscontinuity() {
  return (fFlags & AM_SAMPLE_DATADISCONTINUITY) ? S_OK : S_FALSE;
}
HRESULT TPacketSample::SetDiscontinuity(BOOL b) {
  fFlags = b ? (fFlags | AM_SAMPLE_DATADISCONTINUITY) : (fFlags & ~AM_SAMPLE_DATADISCONTINUITY);
  return S_OK;
}

HRESULT TPacketSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
  if (!pTimeStart || !pTimeEnd) return E_POINTER;
  if (!fMediaTimeValid) return VFW_E_MEDIA_TIME_NOT_SET;
  *pTimeStart = fMediaStart;
  *pTimeEnd = fMediaStop;
  return S_OK;
}

HRESULT TPacketSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
  if (!pTimeStart || !pTimeEnd) {
    fMediaTimeValid = false;
    return S_OK;
  }
  fMediaStart = *pTimeStart;
  fMediaStop = *pTimeEnd;
  fMediaTimeValid = true;
  return S_OK;
}

HRESULT TPacketSample::GetProperties(DWORD cbProperties, BYTE* pbProperties) {
  if (!pbProperties) return E_POINTER;
  AM_SAMPLE2_PROPERTIES p{};
  p.cbData = sizeof p;
  p.dwSampleFlags = fFlags;
  p.lActual = fActual;
  p.tStart = fStart;
  p.tStop = fStop;
  p.dwStreamId = AM_STREAM_MEDIA;
  p.pMediaType = fMediaType.get();
  p.pbBuffer = fPacket ? fPacket->data : nullptr;
  p.cbBuffer = GetSize();
  std::memcpy(pbProperties, &p, std::min<std::size_t>(cbProperties, sizeof p));
  return S_OK;
}

HRESULT TPacketSample::SetProperties(DWORD cbProperties, const BYTE* pbProperties) {
  if (!pbProperties) return E_POINTER;
  AM_SAMPLE2_PROPERTIES p{};
  const std::size_t n = std::min<std::size_t>(cbProperties, sizeof p);
  std::memcpy(&p, pbProperties, n);
  if (n >= offsetof(AM_SAMPLE2_PROPERTIES, dwSampleFlags) + sizeof(DWORD))
    fFlags = p.dwSampleFlags & ~AM_SAMPLE_TYPECHANGED;
  if (n >= offsetof(AM_SAMPLE2_PROPERTIES, lActual) + sizeof(LONG)) SetActualDataLength(p.lActual);
  if (n >= offsetof(AM_SAMPLE2_PROPERTIES, tStop) + sizeof(REFERENCE_TIME)) {
    fStart = p.tStart;
    fStop = p.tStop;
  }
  return S_OK;
}
