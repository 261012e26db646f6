#pragma once
// Internals of TDCFFT: the shared twiddle and reordering tables and the
// transform kernels (a portable one and, where built, an AVX2 one).
//
// Both kernels run the same decomposition: a decimation-in-frequency forward
// transform (natural order in, bit-reversed order out) and its exact adjoint,
// a decimation-in-time inverse (bit-reversed in, natural out). A transform of
// 2^k points runs radix-4 stages, preceded (forward) or followed (inverse) by
// one radix-2 stage when k is odd.

#include <cstdint>

#include "audio/fft.h"

namespace fft_detail {

inline constexpr int kMaxLog2 = 13;

struct FFTTables {
  // For a stage of block size M = 2^m (1 <= m <= 13), w = e^(+2 pi i / M):
  // radix2[m][j] = w^j for j < M/2; radix4[m][r][j] = w^((r+1) j) for j < M/4.
  const TComplex* radix2[kMaxLog2 + 1];
  const TComplex* radix4[kMaxLog2 + 1][3];
  // bitrev[m][k]: k with its m low bits reversed, k < 2^m.
  const std::uint16_t* bitrev[kMaxLog2 + 1];
};

// Built on first use (thread-safe) and never changed.
const FFTTables& Tables();

struct FFTKernels {
  // In place on 2^log2n entries, 1 <= log2n <= 13.
  void (*forward)(TComplex* x, int log2n);
  // Multiplies the input by scale (a power of two, so exactly), then runs the
  // inverse.
  void (*inverse)(TComplex* x, int log2n, float scale);
  const char* name;
};

const FFTKernels& ScalarKernels();
// The AVX2 kernels, or nullptr when the build or the processor lacks them.
const FFTKernels* VectorKernels();

}  // namespace fft_detail
