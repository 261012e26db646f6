#include "platform/fpu_control.h"

#include <fenv.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

TEST(FpuControl, MaskingMakesDivisionByZeroGiveInfinity) {
  feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  ASSERT_NE(fegetexcept() & FE_DIVBYZERO, 0);
  MaskFPUExceptions();
  EXPECT_EQ(fegetexcept(), 0);
  volatile double zero = 0.0;
  const double inf = 1.0 / zero;  // would trap with the exception unmasked
  EXPECT_TRUE(std::isinf(inf));
  EXPECT_TRUE(std::isnan(zero / zero));
}

#if defined(__x86_64__)
TEST(FpuControl, SetsTheX87ControlWordAndKeepsOtherMxcsrBits) {
  std::uint32_t mxcsr = 0;
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  const std::uint32_t with_round_down = (mxcsr & ~0x6000u) | 0x2000u;  // rounding bits
  asm volatile("ldmxcsr %0" : : "m"(with_round_down));
  feenableexcept(FE_DIVBYZERO);

  MaskFPUExceptions();

  std::uint16_t control_word = 0;
  asm volatile("fnstcw %0" : "=m"(control_word));
  // Bit 6 is reserved and reads as set on current processors.
  EXPECT_EQ(control_word & ~0x40, 0x133F);
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  EXPECT_EQ(mxcsr & kMxcsrExceptionMasks, kMxcsrExceptionMasks);
  EXPECT_EQ(mxcsr & 0x6000u, 0x2000u);
  const std::uint32_t restored = mxcsr & ~0x6000u;  // back to round to nearest
  asm volatile("ldmxcsr %0" : : "m"(restored));
}
#endif

}  // namespace
