#include "directshow/mem_allocator.h"

#include <cstdlib>

#include "directshow/sample_generation.h"

namespace {
constexpr LONG kMinAlign = 64;
}

void TBCMemAllocator::AlignedFree::operator()(BYTE* p) const noexcept { std::free(p); }

TBCMemAllocator::TBCMemAllocator() = default;

TBCMemAllocator::~TBCMemAllocator() {
  // Every sample holds a reference on the allocator, so none is out now.
  std::lock_guard lock(fLock);
  FreeMemoryLocked();
}

HRESULT TBCMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                       ALLOCATOR_PROPERTIES* pActual) {
  if (!pRequest || !pActual) return E_POINTER;
  std::lock_guard lock(fLock);
  if (fCommitted) return VFW_E_ALREADY_COMMITTED;
  if (fFree.size() != fSlots.size()) return VFW_E_BUFFERS_OUTSTANDING;
  if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0)
    return E_INVALIDARG;
  const LONG align = pRequest->cbAlign <= 0 ? 1 : pRequest->cbAlign;
  if ((align & (align - 1)) != 0) return VFW_E_BADALIGN;
  if (pRequest->cbBuffer > 0x40000000 || pRequest->cBuffers > 4096) return E_OUTOFMEMORY;
  FreeMemoryLocked();
  fProps = *pRequest;
  fProps.cbAlign = align;
  fPropsSet = true;
  *pActual = fProps;
  return S_OK;
}

HRESULT TBCMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
  if (!pProps) return E_POINTER;
  std::lock_guard lock(fLock);
  *pProps = fProps;
  return S_OK;
}

HRESULT TBCMemAllocator::Commit() {
  std::lock_guard lock(fLock);
  if (fCommitted) return S_OK;
  if (!fPropsSet || fProps.cBuffers <= 0 || fProps.cbBuffer <= 0) return VFW_E_SIZENOTSET;
  if (fSlots.empty()) {
    const LONG align = fProps.cbAlign > kMinAlign ? fProps.cbAlign : kMinAlign;
    // The prefix sits before the aligned data pointer.
    const LONG prefixRoom = ((fProps.cbPrefix + align - 1) / align) * align;
    const std::size_t total =
        ((static_cast<std::size_t>(prefixRoom) + fProps.cbBuffer + align - 1) / align) * align;
    fSlots.reserve(static_cast<std::size_t>(fProps.cBuffers));
    for (LONG i = 0; i < fProps.cBuffers; ++i) {
      auto* raw = static_cast<BYTE*>(std::aligned_alloc(static_cast<std::size_t>(align), total));
      if (!raw) {
        FreeMemoryLocked();
        return E_OUTOFMEMORY;
      }
      Slot slot;
      slot.memory.reset(raw);
      slot.sample = std::make_unique<TBCMediaSample>(this, raw + prefixRoom, fProps.cbBuffer);
      fFree.push_back(slot.sample.get());
      fSlots.push_back(std::move(slot));
    }
  }
  fCommitted = true;
  return S_OK;
}

HRESULT TBCMemAllocator::Decommit() {
  {
    std::lock_guard lock(fLock);
    if (!fCommitted) return S_OK;
    fCommitted = false;
    if (fFree.size() == fSlots.size()) FreeMemoryLocked();
  }
  fFreed.notify_all();
  return S_OK;
}

HRESULT TBCMemAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                                   REFERENCE_TIME* pEndTime, DWORD dwFlags) {
  if (!ppBuffer) return E_POINTER;
  *ppBuffer = nullptr;
  TBCMediaSample* sample = nullptr;
  {
    std::unique_lock lock(fLock);
    if (!fCommitted) return VFW_E_NOT_COMMITTED;
    if (fFree.empty() && (dwFlags & AM_GBF_NOWAIT)) return VFW_E_TIMEOUT;
    fFreed.wait(lock, [this] { return !fCommitted || !fFree.empty(); });
    if (!fCommitted) return VFW_E_NOT_COMMITTED;
    sample = fFree.back();
    fFree.pop_back();
    sample->PrepareForUse(ds::NewGeneration());
  }
  AddRef();  // held for the sample until it comes back
  if (pStartTime) sample->SetTime(pStartTime, pEndTime);
  if (dwFlags & AM_GBF_PREVFRAMESKIPPED) sample->SetDiscontinuity(BOOL_TRUE);
  *ppBuffer = static_cast<IMediaSample2*>(sample);
  return S_OK;
}

HRESULT TBCMemAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
  if (!pBuffer) return E_POINTER;
  {
    std::lock_guard lock(fLock);
    TBCMediaSample* sample = nullptr;
    for (auto& slot : fSlots) {
      if (static_cast<IMediaSample2*>(slot.sample.get()) == pBuffer) sample = slot.sample.get();
    }
    if (!sample) return E_INVALIDARG;
    sample->SetMediaType(nullptr);  // frees an attached type now
    fFree.push_back(sample);
    if (!fCommitted && fFree.size() == fSlots.size()) FreeMemoryLocked();
  }
  fFreed.notify_one();
  Release();  // the reference GetBuffer took; may delete this
  return S_OK;
}

int TBCMemAllocator::OutstandingCount() {
  std::lock_guard lock(fLock);
  return static_cast<int>(fSlots.size() - fFree.size());
}

void TBCMemAllocator::FreeMemoryLocked() {
  fFree.clear();
  fSlots.clear();
}
