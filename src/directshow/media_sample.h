#pragma once
// TBCMediaSample: a buffer of a TBCMemAllocator with its properties.
//
// Reference counting is its own: when the last reference goes the sample
// returns to its allocator's free list (it is never deleted by Release). A
// sample is filled by one thread at a time (the one that got it from
// GetBuffer, then each receiver in turn), so its properties are unlocked.

#include <atomic>
#include <memory>

#include "directshow/filter_interfaces.h"

class TBCMemAllocator;

class TBCMediaSample final : public IMediaSample2, public IStreamGeneration {
 public:
  TBCMediaSample(TBCMemAllocator* allocator, BYTE* buffer, LONG size);
  ~TBCMediaSample();
  TBCMediaSample(const TBCMediaSample&) = delete;
  TBCMediaSample& operator=(const TBCMediaSample&) = delete;

  // IUnknown
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IMediaSample
  HRESULT GetPointer(BYTE** ppBuffer) override;
  LONG GetSize() override;
  HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
  HRESULT SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
  HRESULT IsSyncPoint() override;
  HRESULT SetSyncPoint(BOOL bIsSyncPoint) override;
  HRESULT IsPreroll() override;
  HRESULT SetPreroll(BOOL bIsPreroll) override;
  LONG GetActualDataLength() override;
  HRESULT SetActualDataLength(LONG length) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
  HRESULT IsDiscontinuity() override;
  HRESULT SetDiscontinuity(BOOL bDiscontinuity) override;
  HRESULT GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
  HRESULT SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

  // IMediaSample2
  HRESULT GetProperties(DWORD cbProperties, BYTE* pbProperties) override;
  HRESULT SetProperties(DWORD cbProperties, const BYTE* pbProperties) override;

  // IStreamGeneration
  ULONGLONG GetGeneration() override { return fGeneration; }
  void SetGeneration(ULONGLONG generation) override { fGeneration = generation; }

  // For the allocator: clears every property and takes the first reference.
  void PrepareForUse(ULONGLONG generation);

 private:
  TBCMemAllocator* const fAllocator;
  BYTE* const fBuffer;
  const LONG fSize;
  std::atomic<ULONG> fRefs{0};
  DWORD fFlags = 0;  // AM_SAMPLE_*
  DWORD fTypeSpecificFlags = 0;
  DWORD fStreamId = AM_STREAM_MEDIA;
  LONG fActual = 0;
  REFERENCE_TIME fStart = 0;
  REFERENCE_TIME fStop = 0;
  bool fMediaTimeValid = false;
  LONGLONG fMediaStart = 0;
  LONGLONG fMediaStop = 0;
  std::unique_ptr<TBCMediaType> fMediaType;
  ULONGLONG fGeneration = 0;
};
