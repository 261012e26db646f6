#include "filters/splitter/module/splitter_pin.h"

#include "directshow/sample_generation.h"
#include "directshow/source_seeking.h"
#include "filters/splitter/module/packet_sample.h"
#include "filters/splitter/module/splitter.h"

namespace {
constexpr auto kPollInterval = std::chrono::milliseconds(20);
}

TSplitterPin::TSplitterPin(TLAVSplitter* splitter, int slot, std::string name,
                           const TBCMediaType& type)
    : TBCSourceStream(name + " pin", splitter, name),
      fSplitter(splitter),
      fSlot(slot),
      fType(type) {}

void TSplitterPin::SetStreamType(const TBCMediaType& type) {
  std::lock_guard lock(fTypeLock);
  if (type == fType) return;
  fType = type;
  fTypeChanged = IsConnected();
}

std::optional<REFERENCE_TIME> TSplitterPin::LastDelivered() const {
  if (!fHasDelivered.load()) return std::nullopt;
  return fLastDelivered.load();
}

void TSplitterPin::ResetLastDelivered() { fHasDelivered.store(false); }

HRESULT TSplitterPin::FillBuffer(IMediaSample*) {
  // Samples are made from packets in DoBufferProcessingLoop; never called.
  return E_UNEXPECTED;
}

HRESULT TSplitterPin::OnThreadStartPlay() {
  MarkDiscontinuity();
  return DeliverNewSegment(fSplitter->SegmentStart(), fSplitter->SegmentStop(), 1.0);
}

HRESULT TSplitterPin::DoBufferProcessingLoop() {
  TPacketQueues& queues = fSplitter->Queues();
  bool refused = false;
  while (!StopRequested()) {
    std::optional<TQueuedPacket> item = queues.Pop(fSlot, kPollInterval);
    if (!item) continue;
    if (!item->packet) {
      DeliverEndOfStream();
      queues.EndDelivery(fSlot);
      continue;
    }
    if (refused) {
      queues.EndDelivery(fSlot);
      continue;
    }
    const bool key = (item->packet->flags & AV_PKT_FLAG_KEY) != 0;
    ComPtr<TPacketSample> sample = MakeCom<TPacketSample>(std::move(item->packet));
    // Data read from here on is newer than every flush so far.
    sample->SetGeneration(ds::NewGeneration());
    if (item->hasTime) {
      const REFERENCE_TIME segStart = fSplitter->SegmentStart();
      REFERENCE_TIME start = item->start - segStart;
      REFERENCE_TIME stop = item->stop - segStart;
      sample->SetTime(&start, item->hasStop ? &stop : nullptr);
      LONGLONG ms = item->start;
      LONGLONG me = item->hasStop ? item->stop : item->start + 1;
      sample->SetMediaTime(&ms, &me);
    }
    sample->SetSyncPoint(ToBOOL(key));
    sample->SetDiscontinuity(ToBOOL(fDiscontinuity.exchange(false)));
    {
      std::lock_guard lock(fTypeLock);
      if (fTypeChanged) {
        sample->SetMediaType(&fType);
        fTypeChanged = false;
      }
    }
    const HRESULT hr = Deliver(sample.get());
    if (item->hasTime) {
      fLastDelivered.store(item->start);
      fHasDelivered.store(true);
    }
    queues.EndDelivery(fSlot);
    // Downstream refused the stream (an error, not a flush): the rest of
    // its packets are discarded until the streams restart.
    if (FAILED(hr)) refused = true;
  }
  return S_OK;
}

HRESULT TSplitterPin::Inactive() {
  // The base flags the thread to stop and joins it; wake it from the queue.
  fSplitter->Queues().WakeConsumers();
  return TBCSourceStream::Inactive();
}

HRESULT TSplitterPin::CheckMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  std::lock_guard lock(fTypeLock);
  return *mt == fType ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TSplitterPin::GetMediaType(int position, TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  std::lock_guard lock(fTypeLock);
  *mt = fType;
  return S_OK;
}

HRESULT TSplitterPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  // The agreed allocator is not used for data (packets travel in their own
  // samples); it is set up small to complete the connection.
  if (!allocator || !request) return E_POINTER;
  request->cBuffers = 1;
  request->cbBuffer = 4096;
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(request, &actual);
}
