// The AVX2 transform kernels: the same decomposition as the portable ones,
// four complex values per 256-bit register. Only functions marked with the
// target attribute use AVX instructions, and they run only after the
// processor has been asked, so the rest of the program stays portable.

#include "audio/fft_kernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#define LUMORA_AVX2 __attribute__((target("avx2,fma")))

namespace fft_detail {
namespace {

LUMORA_AVX2 inline __m256 Load(const TComplex* p) {
  return _mm256_loadu_ps(reinterpret_cast<const float*>(p));
}
LUMORA_AVX2 inline void Store(TComplex* p, __m256 v) {
  _mm256_storeu_ps(reinterpret_cast<float*>(p), v);
}

// a * w for four interleaved complex pairs.
LUMORA_AVX2 inline __m256 Mul(__m256 a, __m256 w) {
  const __m256 wr = _mm256_moveldup_ps(w);
  const __m256 wi = _mm256_movehdup_ps(w);
  const __m256 as = _mm256_permute_ps(a, 0xB1);
  return _mm256_fmaddsub_ps(a, wr, _mm256_mul_ps(as, wi));
}
// a * conj(w)
LUMORA_AVX2 inline __m256 MulConj(__m256 a, __m256 w) {
  const __m256 wr = _mm256_moveldup_ps(w);
  const __m256 wi = _mm256_movehdup_ps(w);
  const __m256 as = _mm256_permute_ps(a, 0xB1);
  return _mm256_fmsubadd_ps(a, wr, _mm256_mul_ps(as, wi));
}
// a * i = (-im, re)
LUMORA_AVX2 inline __m256 MulI(__m256 a) {
  const __m256 sign = _mm256_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f);
  return _mm256_xor_ps(_mm256_permute_ps(a, 0xB1), sign);
}
// a * -i = (im, -re)
LUMORA_AVX2 inline __m256 MulMinusI(__m256 a) {
  const __m256 sign = _mm256_setr_ps(0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f);
  return _mm256_xor_ps(_mm256_permute_ps(a, 0xB1), sign);
}

// Transposes four rows of four complex values (64-bit elements).
LUMORA_AVX2 inline void Transpose4(__m256& r0, __m256& r1, __m256& r2, __m256& r3) {
  const __m256d a = _mm256_castps_pd(r0), b = _mm256_castps_pd(r1);
  const __m256d c = _mm256_castps_pd(r2), d = _mm256_castps_pd(r3);
  const __m256d t0 = _mm256_unpacklo_pd(a, b), t1 = _mm256_unpackhi_pd(a, b);
  const __m256d t2 = _mm256_unpacklo_pd(c, d), t3 = _mm256_unpackhi_pd(c, d);
  r0 = _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x20));
  r1 = _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x20));
  r2 = _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x31));
  r3 = _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x31));
}

LUMORA_AVX2 void Radix2Dif(TComplex* x, int n, const TComplex* w) {
  const int half = n / 2;
  for (int j = 0; j < half; j += 4) {
    const __m256 u = Load(x + j), v = Load(x + j + half);
    Store(x + j, _mm256_add_ps(u, v));
    Store(x + j + half, Mul(_mm256_sub_ps(u, v), Load(w + j)));
  }
}

LUMORA_AVX2 void Radix2Dit(TComplex* x, int n, const TComplex* w) {
  const int half = n / 2;
  for (int j = 0; j < half; j += 4) {
    const __m256 u = Load(x + j), v = MulConj(Load(x + j + half), Load(w + j));
    Store(x + j, _mm256_add_ps(u, v));
    Store(x + j + half, _mm256_sub_ps(u, v));
  }
}

// Radix-4 stage of block size m >= 16 (so m/4 is a multiple of 4).
LUMORA_AVX2 void Radix4Dif(TComplex* x, int n, int m, const TComplex* const* tw) {
  const int q = m / 4;
  for (int b = 0; b < n; b += m) {
    TComplex* p = x + b;
    for (int j = 0; j < q; j += 4) {
      const __m256 a = Load(p + j), bb = Load(p + j + q);
      const __m256 c = Load(p + j + 2 * q), d = Load(p + j + 3 * q);
      const __m256 t0 = _mm256_add_ps(a, c), t1 = _mm256_sub_ps(a, c);
      const __m256 t2 = _mm256_add_ps(bb, d), t3 = MulI(_mm256_sub_ps(bb, d));
      Store(p + j, _mm256_add_ps(t0, t2));
      Store(p + j + q, Mul(_mm256_sub_ps(t0, t2), Load(tw[1] + j)));
      Store(p + j + 2 * q, Mul(_mm256_add_ps(t1, t3), Load(tw[0] + j)));
      Store(p + j + 3 * q, Mul(_mm256_sub_ps(t1, t3), Load(tw[2] + j)));
    }
  }
}

LUMORA_AVX2 void Radix4Dit(TComplex* x, int n, int m, const TComplex* const* tw) {
  const int q = m / 4;
  for (int b = 0; b < n; b += m) {
    TComplex* p = x + b;
    for (int j = 0; j < q; j += 4) {
      const __m256 a = Load(p + j);
      const __m256 bb = MulConj(Load(p + j + q), Load(tw[1] + j));
      const __m256 c = MulConj(Load(p + j + 2 * q), Load(tw[0] + j));
      const __m256 d = MulConj(Load(p + j + 3 * q), Load(tw[2] + j));
      const __m256 s0 = _mm256_add_ps(a, bb), s1 = _mm256_sub_ps(a, bb);
      const __m256 s2 = _mm256_add_ps(c, d), s3 = MulMinusI(_mm256_sub_ps(c, d));
      Store(p + j, _mm256_add_ps(s0, s2));
      Store(p + j + q, _mm256_add_ps(s1, s3));
      Store(p + j + 2 * q, _mm256_sub_ps(s0, s2));
      Store(p + j + 3 * q, _mm256_sub_ps(s1, s3));
    }
  }
}

// The last forward stage (blocks of four, no twiddles), four blocks at a
// time: transpose so each register holds one position of four blocks.
LUMORA_AVX2 void Radix4DifLast(TComplex* x, int n) {
  for (int g = 0; g < n; g += 16) {
    __m256 a = Load(x + g), b = Load(x + g + 4), c = Load(x + g + 8), d = Load(x + g + 12);
    Transpose4(a, b, c, d);
    const __m256 t0 = _mm256_add_ps(a, c), t1 = _mm256_sub_ps(a, c);
    const __m256 t2 = _mm256_add_ps(b, d), t3 = MulI(_mm256_sub_ps(b, d));
    __m256 y0 = _mm256_add_ps(t0, t2), y1 = _mm256_sub_ps(t0, t2);
    __m256 y2 = _mm256_add_ps(t1, t3), y3 = _mm256_sub_ps(t1, t3);
    Transpose4(y0, y1, y2, y3);
    Store(x + g, y0);
    Store(x + g + 4, y1);
    Store(x + g + 8, y2);
    Store(x + g + 12, y3);
  }
}

// The first inverse stage, with the input scaling folded in.
LUMORA_AVX2 void Radix4DitFirst(TComplex* x, int n, float scale) {
  const __m256 s = _mm256_set1_ps(scale);
  for (int g = 0; g < n; g += 16) {
    __m256 a = _mm256_mul_ps(Load(x + g), s), b = _mm256_mul_ps(Load(x + g + 4), s);
    __m256 c = _mm256_mul_ps(Load(x + g + 8), s), d = _mm256_mul_ps(Load(x + g + 12), s);
    Transpose4(a, b, c, d);
    const __m256 s0 = _mm256_add_ps(a, b), s1 = _mm256_sub_ps(a, b);
    const __m256 s2 = _mm256_add_ps(c, d), s3 = MulMinusI(_mm256_sub_ps(c, d));
    __m256 y0 = _mm256_add_ps(s0, s2), y1 = _mm256_add_ps(s1, s3);
    __m256 y2 = _mm256_sub_ps(s0, s2), y3 = _mm256_sub_ps(s1, s3);
    Transpose4(y0, y1, y2, y3);
    Store(x + g, y0);
    Store(x + g + 4, y1);
    Store(x + g + 8, y2);
    Store(x + g + 12, y3);
  }
}

LUMORA_AVX2 void ForwardAvx2(TComplex* x, int log2n) {
  if (log2n < 4) {
    ScalarKernels().forward(x, log2n);
    return;
  }
  const FFTTables& t = Tables();
  const int n = 1 << log2n;
  int m = n, log2m = log2n;
  if (log2n & 1) {
    Radix2Dif(x, n, t.radix2[log2n]);
    m /= 2;
    --log2m;
  }
  for (; m >= 16; m /= 4, log2m -= 2) Radix4Dif(x, n, m, t.radix4[log2m]);
  Radix4DifLast(x, n);
}

LUMORA_AVX2 void InverseAvx2(TComplex* x, int log2n, float scale) {
  if (log2n < 4) {
    ScalarKernels().inverse(x, log2n, scale);
    return;
  }
  const FFTTables& t = Tables();
  const int n = 1 << log2n;
  Radix4DitFirst(x, n, scale);
  const int top = (log2n & 1) ? n / 2 : n;
  for (int m = 16, log2m = 4; m <= top; m *= 4, log2m += 2) Radix4Dit(x, n, m, t.radix4[log2m]);
  if (log2n & 1) Radix2Dit(x, n, t.radix2[log2n]);
}

constexpr FFTKernels kAvx2{&ForwardAvx2, &InverseAvx2, "avx2"};

}  // namespace

const FFTKernels* VectorKernels() {
  static const bool available = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return available ? &kAvx2 : nullptr;
}

}  // namespace fft_detail

#else

namespace fft_detail {
const FFTKernels* VectorKernels() { return nullptr; }
}  // namespace fft_detail

#endif
