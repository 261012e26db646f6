#include "directshow/sample_generation.h"

#include <atomic>
#include <chrono>

#include "platform/com/com_ptr.h"

namespace ds {

namespace {
std::atomic<ULONGLONG> gGeneration{0};
}

// Generations follow the monotonic clock (nanoseconds), so that filters in
// different loadable modules, each with its own copy of this counter, still
// agree on which data came first; the counter only keeps two calls within
// the same nanosecond apart.
ULONGLONG NewGeneration() {
  const auto now = static_cast<ULONGLONG>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
  ULONGLONG last = gGeneration.load(std::memory_order_acquire);
  ULONGLONG next;
  do {
    next = now > last ? now : last + 1;
  } while (!gGeneration.compare_exchange_weak(last, next, std::memory_order_acq_rel));
  return next;
}

std::optional<ULONGLONG> SampleGeneration(IMediaSample* sample) {
  if (!sample) return std::nullopt;
  ComPtr<IStreamGeneration> g;
  if (FAILED(sample->QueryInterface(IStreamGeneration::iid, g.PutVoid())) || !g)
    return std::nullopt;
  return g->GetGeneration();
}

bool SetSampleGeneration(IMediaSample* sample, ULONGLONG generation) {
  if (!sample) return false;
  ComPtr<IStreamGeneration> g;
  if (FAILED(sample->QueryInterface(IStreamGeneration::iid, g.PutVoid())) || !g) return false;
  g->SetGeneration(generation);
  return true;
}

void CopySampleGeneration(IMediaSample* from, IMediaSample* to) {
  if (const auto g = SampleGeneration(from)) SetSampleGeneration(to, *g);
}

}  // namespace ds
