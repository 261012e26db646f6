// Processing allocates nothing: every effect works in fixed memory made at
// construction. This test program counts the global allocations made while
// the chain processes.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "audio/amplify.h"
#include "audio/compressor.h"
#include "audio/eq_bands.h"
#include "audio/equalizer.h"
#include "audio/filter_list.h"
#include "audio/parametric_eq.h"
#include "test_signals.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void* Allocate(std::size_t n, std::size_t align) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
  if (n == 0) n = 1;
  void* p = align <= alignof(std::max_align_t)
                ? std::malloc(n)
                : std::aligned_alloc(align, (n + align - 1) / align * align);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(std::size_t n) { return Allocate(n, alignof(std::max_align_t)); }
void* operator new(std::size_t n, std::align_val_t a) {
  return Allocate(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

using test_signals::Bytes;

class CountAllocations {
 public:
  CountAllocations() {
    g_allocations = 0;
    g_counting = true;
  }
  ~CountAllocations() { g_counting = false; }
  long Count() const { return g_allocations.load(); }
};

TEST(Allocation, CounterSeesAllocations) {
  CountAllocations count;
  auto v = std::make_unique<std::vector<int>>(100);
  EXPECT_GE(count.Count(), 2);
}

TEST(Allocation, ProcessingTheWholeChainAllocatesNothing) {
  TDCFilterList list;
  for (auto t :
       {TDCFilterType::ftEqualizer, TDCFilterType::ftDynamicAmplify, TDCFilterType::ftCompressor,
        TDCFilterType::ftAmplify, TDCFilterType::ftParametricEQ, TDCFilterType::ftEchoDelay}) {
    list.Add(t)->SetEnabled(true);
  }
  auto eq = list.GetDSPInterface(0).As<IDCEqualizer>();
  auto peq = list.GetDSPInterface(4).As<IDCParametricEQ>();
  ASSERT_TRUE(eq && peq);
  peq->set_Gain(0, 6);

  auto s16 = test_signals::ToInt16(test_signals::Sine(20000, 2, 440, 44100, 0.9));
  auto f32 = test_signals::Sine(9000, 6, 1000, 48000, 0.9);
  std::vector<std::uint8_t> b24(3 * 12000, 0x11);

  CountAllocations count;
  list.Init({0, 44100, 2, 16, BOOL_FALSE, BOOL_FALSE, BOOL_FALSE});
  list.Process(s16.data(), Bytes(s16));
  SetUserEQBand(*eq, 4, 170);  // new spectra at the next buffer
  eq->set_Seperate(BOOL_TRUE);
  peq->set_Frequency(0, 300);
  list.Process(s16.data(), Bytes(s16));
  list.Init({0, 48000, 6, 32, BOOL_TRUE, BOOL_FALSE, BOOL_FALSE});  // a format change
  list.Process(f32.data(), Bytes(f32));
  eq->set_FFTSize(TDCFFTSize::fts8192);
  list.Init({0, 96000, 1, 24, BOOL_FALSE, BOOL_FALSE, BOOL_FALSE});
  list.Process(b24.data(), Bytes(b24));
  list.Flush();
  EXPECT_EQ(count.Count(), 0);
}

}  // namespace
