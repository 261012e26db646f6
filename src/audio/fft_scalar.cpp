// The portable transform kernels.

#include "audio/fft_kernels.h"

namespace fft_detail {
namespace {

inline TComplex Add(TComplex a, TComplex b) { return {a.re + b.re, a.im + b.im}; }
inline TComplex Sub(TComplex a, TComplex b) { return {a.re - b.re, a.im - b.im}; }
inline TComplex Mul(TComplex a, TComplex w) {
  return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re};
}
// a * conj(w)
inline TComplex MulConj(TComplex a, TComplex w) {
  return {a.re * w.re + a.im * w.im, a.im * w.re - a.re * w.im};
}
inline TComplex MulI(TComplex a) { return {-a.im, a.re}; }       // a * i
inline TComplex MulMinusI(TComplex a) { return {a.im, -a.re}; }  // a * -i

// (u, v) -> (u + v, (u - v) w^j) over one block of n entries.
void Radix2Dif(TComplex* x, int n, const TComplex* w) {
  const int half = n / 2;
  for (int j = 0; j < half; ++j) {
    const TComplex u = x[j], v = x[j + half];
    x[j] = Add(u, v);
    x[j + half] = Mul(Sub(u, v), w[j]);
  }
}

// Adjoint of Radix2Dif: (u, v) -> (u + v conj(w^j), u - v conj(w^j)).
void Radix2Dit(TComplex* x, int n, const TComplex* w) {
  const int half = n / 2;
  for (int j = 0; j < half; ++j) {
    const TComplex u = x[j], v = MulConj(x[j + half], w[j]);
    x[j] = Add(u, v);
    x[j + half] = Sub(u, v);
  }
}

// One radix-4 decimation-in-frequency stage of block size m over n entries.
// It equals two radix-2 stages (spans m/2 and m/4), so the output order
// stays bit-reversed.
void Radix4Dif(TComplex* x, int n, int m, const TComplex* const* tw) {
  const int q = m / 4;
  for (int b = 0; b < n; b += m) {
    TComplex* p = x + b;
    if (q == 1) {
      const TComplex a = p[0], bb = p[1], c = p[2], d = p[3];
      const TComplex t0 = Add(a, c), t1 = Sub(a, c), t2 = Add(bb, d), t3 = MulI(Sub(bb, d));
      p[0] = Add(t0, t2);
      p[1] = Sub(t0, t2);
      p[2] = Add(t1, t3);
      p[3] = Sub(t1, t3);
      continue;
    }
    for (int j = 0; j < q; ++j) {
      const TComplex a = p[j], bb = p[j + q], c = p[j + 2 * q], d = p[j + 3 * q];
      const TComplex t0 = Add(a, c), t1 = Sub(a, c), t2 = Add(bb, d), t3 = MulI(Sub(bb, d));
      p[j] = Add(t0, t2);
      p[j + q] = Mul(Sub(t0, t2), tw[1][j]);
      p[j + 2 * q] = Mul(Add(t1, t3), tw[0][j]);
      p[j + 3 * q] = Mul(Sub(t1, t3), tw[2][j]);
    }
  }
}

// Adjoint of Radix4Dif with conjugate twiddles.
void Radix4Dit(TComplex* x, int n, int m, const TComplex* const* tw) {
  const int q = m / 4;
  for (int b = 0; b < n; b += m) {
    TComplex* p = x + b;
    if (q == 1) {
      const TComplex a = p[0], bb = p[1], c = p[2], d = p[3];
      const TComplex s0 = Add(a, bb), s1 = Sub(a, bb), s2 = Add(c, d), s3 = MulMinusI(Sub(c, d));
      p[0] = Add(s0, s2);
      p[1] = Add(s1, s3);
      p[2] = Sub(s0, s2);
      p[3] = Sub(s1, s3);
      continue;
    }
    for (int j = 0; j < q; ++j) {
      const TComplex a = p[j];
      const TComplex bb = MulConj(p[j + q], tw[1][j]);
      const TComplex c = MulConj(p[j + 2 * q], tw[0][j]);
      const TComplex d = MulConj(p[j + 3 * q], tw[2][j]);
      const TComplex s0 = Add(a, bb), s1 = Sub(a, bb), s2 = Add(c, d), s3 = MulMinusI(Sub(c, d));
      p[j] = Add(s0, s2);
      p[j + q] = Add(s1, s3);
      p[j + 2 * q] = Sub(s0, s2);
      p[j + 3 * q] = Sub(s1, s3);
    }
  }
}

void ForwardScalar(TComplex* x, int log2n) {
  const FFTTables& t = Tables();
  const int n = 1 << log2n;
  int m = n, log2m = log2n;
  if (log2n & 1) {
    Radix2Dif(x, n, t.radix2[log2n]);
    m /= 2;
    --log2m;
  }
  for (; m >= 4; m /= 4, log2m -= 2) Radix4Dif(x, n, m, t.radix4[log2m]);
}

void InverseScalar(TComplex* x, int log2n, float scale) {
  const FFTTables& t = Tables();
  const int n = 1 << log2n;
  if (scale != 1.0f) {
    for (int i = 0; i < n; ++i) {
      x[i].re *= scale;
      x[i].im *= scale;
    }
  }
  const int top = (log2n & 1) ? n / 2 : n;
  for (int m = 4, log2m = 2; m <= top; m *= 4, log2m += 2) Radix4Dit(x, n, m, t.radix4[log2m]);
  if (log2n & 1) Radix2Dit(x, n, t.radix2[log2n]);
}

constexpr FFTKernels kScalar{&ForwardScalar, &InverseScalar, "scalar"};

}  // namespace

const FFTKernels& ScalarKernels() { return kScalar; }

}  // namespace fft_detail
