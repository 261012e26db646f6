#include "directshow/sample_generation.h"

#include <atomic>

#include "platform/com/com_ptr.h"

namespace ds {

namespace {
std::atomic<ULONGLONG> gGeneration{0};
}

ULONGLONG NewGeneration() { return gGeneration.fetch_add(1, std::memory_order_acq_rel) + 1; }

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
