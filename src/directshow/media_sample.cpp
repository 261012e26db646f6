#include "directshow/media_sample.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "directshow/mem_allocator.h"

TBCMediaSample::TBCMediaSample(TBCMemAllocator* allocator, BYTE* buffer, LONG size)
    : fAllocator(allocator), fBuffer(buffer), fSize(size) {}

TBCMediaSample::~TBCMediaSample() = default;

HRESULT TBCMediaSample::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IMediaSample::iid || riid == IMediaSample2::iid) {
    *ppv = static_cast<IMediaSample2*>(this);
  } else if (riid == IStreamGeneration::iid) {
    *ppv = static_cast<IStreamGeneration*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TBCMediaSample::AddRef() { return fRefs.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG TBCMediaSample::Release() {
  const ULONG n = fRefs.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (n == 0) fAllocator->ReleaseBuffer(this);
  return n;
}

void TBCMediaSample::PrepareForUse(ULONGLONG generation) {
  fFlags = 0;
  fTypeSpecificFlags = 0;
  fStreamId = AM_STREAM_MEDIA;
  fActual = fSize;
  fStart = fStop = 0;
  fMediaTimeValid = false;
  fMediaStart = fMediaStop = 0;
  fMediaType.reset();
  fGeneration = generation;
  fRefs.store(1, std::memory_order_relaxed);
}

HRESULT TBCMediaSample::GetPointer(BYTE** ppBuffer) {
  if (!ppBuffer) return E_POINTER;
  *ppBuffer = fBuffer;
  return S_OK;
}

LONG TBCMediaSample::GetSize() { return fSize; }

HRESULT TBCMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
  if (!(fFlags & AM_SAMPLE_TIMEVALID)) return VFW_E_SAMPLE_TIME_NOT_SET;
  if (!pTimeStart || !pTimeEnd) return E_POINTER;
  *pTimeStart = fStart;
  if (!(fFlags & AM_SAMPLE_STOPVALID)) {
    *pTimeEnd = fStart + 1;
    return VFW_S_NO_STOP_TIME;
  }
  *pTimeEnd = fStop;
  return S_OK;
}

HRESULT TBCMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
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

HRESULT TBCMediaSample::IsSyncPoint() { return (fFlags & AM_SAMPLE_SPLICEPOINT) ? S_OK : S_FALSE; }

HRESULT TBCMediaSample::SetSyncPoint(BOOL bIsSyncPoint) {
  if (bIsSyncPoint)
    fFlags |= AM_SAMPLE_SPLICEPOINT;
  else
    fFlags &= ~AM_SAMPLE_SPLICEPOINT;
  return S_OK;
}

HRESULT TBCMediaSample::IsPreroll() { return (fFlags & AM_SAMPLE_PREROLL) ? S_OK : S_FALSE; }

HRESULT TBCMediaSample::SetPreroll(BOOL bIsPreroll) {
  if (bIsPreroll)
    fFlags |= AM_SAMPLE_PREROLL;
  else
    fFlags &= ~AM_SAMPLE_PREROLL;
  return S_OK;
}

LONG TBCMediaSample::GetActualDataLength() { return fActual; }

HRESULT TBCMediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > fSize) return VFW_E_BUFFER_OVERFLOW;
  fActual = length;
  return S_OK;
}

HRESULT TBCMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
  if (!ppMediaType) return E_POINTER;
  *ppMediaType = nullptr;
  if (!fMediaType) return S_FALSE;
  *ppMediaType = CreateMediaType(fMediaType.get());
  return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

HRESULT TBCMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
  if (!pMediaType) {
    fMediaType.reset();
    fFlags &= ~AM_SAMPLE_TYPECHANGED;
    return S_OK;
  }
  auto mt = std::make_unique<TBCMediaType>();
  if (FAILED(mt->Set(*pMediaType))) return E_OUTOFMEMORY;
  fMediaType = std::move(mt);
  fFlags |= AM_SAMPLE_TYPECHANGED;
  return S_OK;
}

HRESULT TBCMediaSample::IsDiscontinuity() {
  return (fFlags & AM_SAMPLE_DATADISCONTINUITY) ? S_OK : S_FALSE;
}

HRESULT TBCMediaSample::SetDiscontinuity(BOOL bDiscontinuity) {
  if (bDiscontinuity)
    fFlags |= AM_SAMPLE_DATADISCONTINUITY;
  else
    fFlags &= ~AM_SAMPLE_DATADISCONTINUITY;
  return S_OK;
}

HRESULT TBCMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
  if (!fMediaTimeValid) return VFW_E_MEDIA_TIME_NOT_SET;
  if (!pTimeStart || !pTimeEnd) return E_POINTER;
  *pTimeStart = fMediaStart;
  *pTimeEnd = fMediaStop;
  return S_OK;
}

HRESULT TBCMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
  if (!pTimeStart) {
    fMediaTimeValid = false;
    return S_OK;
  }
  if (!pTimeEnd) return E_POINTER;
  fMediaStart = *pTimeStart;
  fMediaStop = *pTimeEnd;
  fMediaTimeValid = true;
  return S_OK;
}

HRESULT TBCMediaSample::GetProperties(DWORD cbProperties, BYTE* pbProperties) {
  if (cbProperties == 0) return S_OK;
  if (!pbProperties) return E_POINTER;
  AM_SAMPLE2_PROPERTIES p{};
  p.cbData = std::min<DWORD>(cbProperties, sizeof(p));
  p.dwTypeSpecificFlags = fTypeSpecificFlags;
  p.dwSampleFlags = fFlags;
  p.lActual = fActual;
  p.tStart = fStart;
  p.tStop = fStop;
  p.dwStreamId = fStreamId;
  p.pMediaType = fMediaType.get();
  p.pbBuffer = fBuffer;
  p.cbBuffer = fSize;
  std::memcpy(pbProperties, &p, p.cbData);
  return S_OK;
}

HRESULT TBCMediaSample::SetProperties(DWORD cbProperties, const BYTE* pbProperties) {
  if (cbProperties == 0) return S_OK;
  if (!pbProperties) return E_POINTER;
  AM_SAMPLE2_PROPERTIES p{};
  std::memcpy(&p, pbProperties, std::min<DWORD>(cbProperties, sizeof(p)));
  // Only the fields the caller's record covers are taken.
  const auto covers = [&](std::size_t end) { return cbProperties >= end; };
  if (covers(offsetof(AM_SAMPLE2_PROPERTIES, dwTypeSpecificFlags) + sizeof(DWORD)))
    fTypeSpecificFlags = p.dwTypeSpecificFlags;
  if (covers(offsetof(AM_SAMPLE2_PROPERTIES, dwSampleFlags) + sizeof(DWORD)))
    fFlags = p.dwSampleFlags & ~AM_SAMPLE_TYPECHANGED;
  if (covers(offsetof(AM_SAMPLE2_PROPERTIES, lActual) + sizeof(LONG))) {
    if (p.lActual < 0 || p.lActual > fSize) return VFW_E_BUFFER_OVERFLOW;
    fActual = p.lActual;
  }
  if (covers(offsetof(AM_SAMPLE2_PROPERTIES, tStop) + sizeof(REFERENCE_TIME))) {
    fStart = p.tStart;
    fStop = p.tStop;
  }
  if (covers(offsetof(AM_SAMPLE2_PROPERTIES, dwStreamId) + sizeof(DWORD))) fStreamId = p.dwStreamId;
  if (covers(offsetof(AM_SAMPLE2_PROPERTIES, pMediaType) + sizeof(AM_MEDIA_TYPE*))) {
    if (FAILED(SetMediaType(p.pMediaType))) return E_OUTOFMEMORY;
  }
  return S_OK;
}
