#include "audio/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using CD = std::complex<double>;

// The exact transform in double precision; sign +1 is the forward direction.
std::vector<CD> Dft(const std::vector<CD>& x, int sign) {
  const int n = static_cast<int>(x.size());
  std::vector<CD> w(n);
  for (int i = 0; i < n; ++i) {
    const double a = sign * 2.0 * std::numbers::pi * i / n;
    w[i] = CD(std::cos(a), std::sin(a));
  }
  std::vector<CD> out(n);
  for (int k = 0; k < n; ++k) {
    CD s = 0;
    for (int j = 0, jk = 0; j < n; ++j, jk = (jk + k) % n) s += x[j] * w[jk];
    out[k] = s;
  }
  return out;
}

std::vector<CD> RandomSignal(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  std::vector<CD> x(n);
  for (auto& v : x) v = CD(d(gen), d(gen));
  return x;
}

void Load(TDCFFT& f, const std::vector<CD>& x) {
  f.Flush();
  for (std::size_t i = 0; i < x.size(); ++i) {
    f.Cplx()[i] = {static_cast<float>(x[i].real()), static_cast<float>(x[i].imag())};
  }
}

std::vector<CD> Read(const TDCFFT& f) {
  std::vector<CD> out(f.FFTSizeInt());
  for (int i = 0; i < f.FFTSizeInt(); ++i) out[i] = CD(f.Cplx()[i].re, f.Cplx()[i].im);
  return out;
}

// Root-mean-square error relative to the RMS of the reference.
double RelativeError(const std::vector<CD>& got, const std::vector<CD>& want) {
  double err = 0, ref = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    err += std::norm(got[i] - want[i]);
    ref += std::norm(want[i]);
  }
  return std::sqrt(err / ref);
}

TDCFFTSize SizeFor(int n) {
  int ord = 0;
  while ((2 << ord) < n) ++ord;
  return static_cast<TDCFFTSize>(ord);
}

// Single-precision rounding over log2(N) stages: about one unit of 2^-24 per
// stage, well below any genuine fault (a wrong twiddle or index is O(1)).
double Tolerance(int n) { return 5e-8 * std::log2(n) + 1e-7; }

struct PathCase {
  TDCFFT::Path path;
  const char* name;
};

class FFTPaths : public ::testing::TestWithParam<PathCase> {
 protected:
  void SetUp() override {
    if (GetParam().path == TDCFFT::Path::kVector && !TDCFFT::VectorPathAvailable()) {
      GTEST_SKIP() << "no vector path on this processor";
    }
  }
};

TEST_P(FFTPaths, ForwardMatchesDirectTransformInNaturalOrder) {
  for (int n = 2; n <= 8192; n *= 2) {
    SCOPED_TRACE("N = " + std::to_string(n));
    TDCFFT f(GetParam().path);
    f.SetFFTSize(SizeFor(n));
    ASSERT_EQ(f.FFTSizeInt(), n);
    const auto x = RandomSignal(n, static_cast<unsigned>(n));
    Load(f, x);
    f.SetReOrder(true);
    f.FFT();
    EXPECT_LT(RelativeError(Read(f), Dft(x, +1)), Tolerance(n));
  }
}

TEST_P(FFTPaths, InverseMatchesDirectTransformAndScales) {
  for (int n : {2, 4, 8, 16, 32, 64, 512, 2048, 8192}) {
    SCOPED_TRACE("N = " + std::to_string(n));
    TDCFFT f(GetParam().path);
    f.SetFFTSize(SizeFor(n));
    const auto x = RandomSignal(n, 77u + static_cast<unsigned>(n));
    auto want = Dft(x, -1);
    for (auto& v : want) v /= n;
    Load(f, x);
    f.SetReOrder(true);
    f.SetScale(true);
    f.IFFT();
    EXPECT_LT(RelativeError(Read(f), want), Tolerance(n));
  }
}

TEST_P(FFTPaths, RoundTripsWithEitherOrderAndUnscaledInverseGivesNTimes) {
  for (int n : {2, 8, 64, 1024, 2048, 8192}) {
    for (bool reorder : {false, true}) {
      SCOPED_TRACE("N = " + std::to_string(n) + (reorder ? " reordered" : " internal"));
      TDCFFT f(GetParam().path);
      f.SetFFTSize(SizeFor(n));
      f.SetReOrder(reorder);
      const auto x = RandomSignal(n, 5u);
      Load(f, x);
      f.FFT();
      f.SetScale(true);
      f.IFFT();
      EXPECT_LT(RelativeError(Read(f), x), 2 * Tolerance(n));

      Load(f, x);
      f.FFT();
      f.SetScale(false);
      f.IFFT();
      auto scaled = x;
      for (auto& v : scaled) v *= n;
      EXPECT_LT(RelativeError(Read(f), scaled), 2 * Tolerance(n));
    }
  }
}

// Spectra in internal order multiply into a circular convolution.
TEST_P(FFTPaths, InternalOrderProductIsCircularConvolution) {
  const int n = 256;
  const auto a = RandomSignal(n, 1u), b = RandomSignal(n, 2u);
  TDCFFT fa(GetParam().path), fb(GetParam().path);
  for (TDCFFT* f : {&fa, &fb}) {
    f->SetFFTSize(TDCFFTSize::fts256);
    f->SetReOrder(false);
  }
  Load(fa, a);
  Load(fb, b);
  fa.FFT();
  fb.FFT();
  for (int k = 0; k < n; ++k) {
    const std::complex<float> p = std::complex<float>(fa.Cplx()[k].re, fa.Cplx()[k].im) *
                                  std::complex<float>(fb.Cplx()[k].re, fb.Cplx()[k].im);
    fa.Cplx()[k] = {p.real(), p.imag()};
  }
  fa.IFFT();
  std::vector<CD> want(n);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) want[i] += a[j] * b[(i - j + n) % n];
  }
  EXPECT_LT(RelativeError(Read(fa), want), 4 * Tolerance(n));
}

INSTANTIATE_TEST_SUITE_P(All, FFTPaths,
                         ::testing::Values(PathCase{TDCFFT::Path::kScalar, "Scalar"},
                                           PathCase{TDCFFT::Path::kVector, "Vector"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(FFT, FourPointExamplesInInternalOrder) {
  TDCFFT f;
  f.SetFFTSize(TDCFFTSize::fts4);
  f.SetReOrder(false);
  f.Cplx()[0] = {1, 0};
  f.FFT();
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(f.Cplx()[i].re, 1.0f);
    EXPECT_FLOAT_EQ(f.Cplx()[i].im, 0.0f);
  }
  f.Flush();
  f.Cplx()[1] = {1, 0};
  f.FFT();
  // X[0], X[2], X[1], X[3] of the positive-exponent transform: 1, -1, i, -i.
  const TComplex want[4] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(f.Cplx()[i].re, want[i].re, 1e-7) << i;
    EXPECT_NEAR(f.Cplx()[i].im, want[i].im, 1e-7) << i;
  }
}

TEST(FFT, EightPointImpulseAtOneGivesPositiveExponentInNaturalOrder) {
  TDCFFT f;
  f.SetFFTSize(TDCFFTSize::fts8);
  f.SetReOrder(true);
  f.Cplx()[1] = {1, 0};
  f.FFT();
  for (int k = 0; k < 8; ++k) {
    const double a = 2 * std::numbers::pi * k / 8;
    EXPECT_NEAR(f.Cplx()[k].re, std::cos(a), 1e-7) << k;
    EXPECT_NEAR(f.Cplx()[k].im, std::sin(a), 1e-7) << k;
  }
}

TEST(FFT, CreationStateAndFlushClearsEveryEntry) {
  TDCFFT f;
  EXPECT_EQ(f.FFTSize(), TDCFFTSize::fts512);
  EXPECT_EQ(f.FFTSizeInt(), 512);
  EXPECT_TRUE(f.ReOrder());
  EXPECT_TRUE(f.Scale());
  for (int i = 0; i < TDCFFT::kMaxPoints; ++i) ASSERT_EQ(f.Cplx()[i].re, 0.0f);

  f.SetFFTSize(TDCFFTSize::fts16);
  for (int i = 0; i < TDCFFT::kMaxPoints; ++i) f.Cplx()[i] = {1.0f, 2.0f};
  f.Flush();
  for (int i = 0; i < TDCFFT::kMaxPoints; ++i) {
    ASSERT_EQ(f.Cplx()[i].re, 0.0f);
    ASSERT_EQ(f.Cplx()[i].im, 0.0f);
  }
}

TEST(FFT, TransformLeavesEntriesBeyondNUntouched) {
  TDCFFT f;
  f.SetFFTSize(TDCFFTSize::fts64);
  for (int i = 64; i < TDCFFT::kMaxPoints; ++i) f.Cplx()[i] = {7.0f, -7.0f};
  f.Cplx()[3] = {1, 0};
  f.FFT();
  f.IFFT();
  for (int i = 64; i < TDCFFT::kMaxPoints; ++i) {
    ASSERT_EQ(f.Cplx()[i].re, 7.0f);
    ASSERT_EQ(f.Cplx()[i].im, -7.0f);
  }
}

TEST(FFT, SizeChangeKeepsDataAndOutOfRangeOrdinalIsIgnored) {
  TDCFFT f;
  f.Cplx()[5] = {3, 4};
  f.SetFFTSize(TDCFFTSize::fts8192);
  EXPECT_EQ(f.FFTSizeInt(), 8192);
  EXPECT_EQ(f.Cplx()[5].re, 3.0f);
  f.SetFFTSize(static_cast<TDCFFTSize>(13));
  EXPECT_EQ(f.FFTSize(), TDCFFTSize::fts8192);
}

}  // namespace
