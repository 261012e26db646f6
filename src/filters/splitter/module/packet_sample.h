#pragma once
// TPacketSample: a media sample that carries one demuxed packet without a
// copy. The splitter delivers its packets this way (a compressed packet has
// no size bound an allocator could be set up for); the sample owns the
// packet and frees it with its last reference.

#include <memory>

#include "directshow/filter_interfaces.h"
#include "filters/ffmpeg/module/ff_common.h"
#include "platform/com/com_object.h"

class TPacketSample final : public ComObject<IMediaSample2, IStreamGeneration> {
 public:
  explicit TPacketSample(ff::PacketPtr packet);

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

 private:
  ff::PacketPtr fPacket;
  LONG fActual;
  DWORD fFlags = 0;
  REFERENCE_TIME fStart = 0;
  REFERENCE_TIME fStop = 0;
  bool fMediaTimeValid = false;
  LONGLONG fMediaStart = 0;
  LONGLONG fMediaStop = 0;
  std::unique_ptr<TBCMediaType> fMediaType;
  ULONGLONG fGeneration = 0;
};
