#include "platform/fpu_control.h"

#if defined(__x86_64__)
#include <xmmintrin.h>
#elif defined(__GLIBC__)
#include <fenv.h>
#endif

void MaskFPUExceptions() noexcept {
#if defined(__x86_64__)
  _mm_setcsr(_mm_getcsr() | kMxcsrExceptionMasks);
  const std::uint16_t control_word = kMaskedX87ControlWord;
  asm volatile("fldcw %0" : : "m"(control_word));
#elif defined(__GLIBC__)
  fedisableexcept(FE_ALL_EXCEPT);
#endif
}
