#pragma once
// TBCMemAllocator (CLSID_MemoryAllocator): a fixed pool of equally sized
// buffers in main memory.
//
// GetBuffer blocks while every buffer is out and returns VFW_E_NOT_COMMITTED
// as soon as the allocator is decommitted, which is how stopping and
// flushing release a thread waiting for a buffer. Each sample handed out
// holds a reference on the allocator, so the allocator and its memory live
// until the last sample is back; after Decommit the memory is freed when
// that happens. Any thread may call any method.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "directshow/filter_interfaces.h"
#include "directshow/media_sample.h"
#include "platform/com/com_object.h"

class TBCMemAllocator : public ComObject<IMemAllocator> {
 public:
  TBCMemAllocator();
  ~TBCMemAllocator() override;

  // IMemAllocator. Buffers are aligned to at least 64 bytes whatever cbAlign
  // asks (cbAlign must be a power of two: VFW_E_BADALIGN otherwise).
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                    DWORD dwFlags) override;
  HRESULT ReleaseBuffer(IMediaSample* pBuffer) override;

  // Buffers currently handed out; for tests.
  int OutstandingCount();

 private:
  struct AlignedFree {
    void operator()(BYTE* p) const noexcept;
  };
  struct Slot {
    std::unique_ptr<BYTE, AlignedFree> memory;
    std::unique_ptr<TBCMediaSample> sample;
  };

  void FreeMemoryLocked();

  std::mutex fLock;
  std::condition_variable fFreed;  // a buffer came back, or decommit
  ALLOCATOR_PROPERTIES fProps{};
  bool fPropsSet = false;
  bool fCommitted = false;
  std::vector<Slot> fSlots;
  std::vector<TBCMediaSample*> fFree;
};
