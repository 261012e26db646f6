#pragma once
// TSplitterPin: one output pin of the splitter ("Video", "Audio" or
// "Subtitle"). Its streaming thread takes the pin's packets from the
// splitter's queue and delivers each as a TPacketSample, with times relative
// to the current segment.

#include <atomic>
#include <mutex>

#include "directshow/source.h"

class TLAVSplitter;

class TSplitterPin : public TBCSourceStream {
 public:
  // `slot` is the pin's queue (0 video, 1 audio, 2 subtitles).
  TSplitterPin(TLAVSplitter* splitter, int slot, std::string name, const TBCMediaType& type);

  int Slot() const { return fSlot; }
  // The stream's type; a change reaches downstream with the next sample.
  void SetStreamType(const TBCMediaType& type);
  // Media time of the last sample delivered; nullopt before the first.
  std::optional<REFERENCE_TIME> LastDelivered() const;
  // The next sample is marked as a discontinuity.
  void MarkDiscontinuity() { fDiscontinuity.store(true); }
  void ResetLastDelivered();

  // TBCSourceStream
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT DoBufferProcessingLoop() override;
  HRESULT OnThreadStartPlay() override;
  HRESULT Inactive() override;

  // TBCBasePin / TBCBaseOutputPin
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 private:
  TLAVSplitter* const fSplitter;
  const int fSlot;
  mutable std::mutex fTypeLock;
  TBCMediaType fType;         // the stream's type (guarded by fTypeLock)
  bool fTypeChanged = false;  // guarded by fTypeLock
  std::atomic<bool> fDiscontinuity{true};
  std::atomic<bool> fHasDelivered{false};
  std::atomic<REFERENCE_TIME> fLastDelivered{0};
};
