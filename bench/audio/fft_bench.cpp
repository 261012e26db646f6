// Forward + inverse transform pairs of TDCFFT against FFTW (single precision,
// in place, same sizes, same run) and, for small sizes, a direct transform.
// Prints the time ratios at the end.

#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "audio/fft.h"
#include "ratio_report.h"

#if defined(LUMORA_HAVE_FFTW)
#include <fftw3.h>
#endif

namespace {

TDCFFTSize SizeFor(int n) {
  int ord = 0;
  while ((2 << ord) < n) ++ord;
  return static_cast<TDCFFTSize>(ord);
}

void FillRandom(TComplex* x, int n) {
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  for (int i = 0; i < n; ++i) x[i] = {d(gen), d(gen)};
}

// The equalizer's use: internal order, scaled inverse.
void RunLumora(benchmark::State& state, TDCFFT::Path path, bool reorder) {
  const int n = static_cast<int>(state.range(0));
  TDCFFT f(path);
  if (path == TDCFFT::Path::kVector && !f.UsesVectorPath()) {
    state.SkipWithError("no vector path on this processor");
    return;
  }
  f.SetFFTSize(SizeFor(n));
  f.SetReOrder(reorder);
  f.SetScale(true);
  FillRandom(f.Cplx(), n);
  for (auto _ : state) {
    f.FFT();
    f.IFFT();
    benchmark::DoNotOptimize(f.Cplx());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 2 * n);
}

void BM_Lumora(benchmark::State& s) { RunLumora(s, TDCFFT::Path::kAuto, false); }
void BM_LumoraReordered(benchmark::State& s) { RunLumora(s, TDCFFT::Path::kAuto, true); }
void BM_LumoraScalar(benchmark::State& s) { RunLumora(s, TDCFFT::Path::kScalar, false); }

#if defined(LUMORA_HAVE_FFTW)
void BM_FFTW(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto* x = fftwf_alloc_complex(static_cast<std::size_t>(n));
  fftwf_plan fwd = fftwf_plan_dft_1d(n, x, x, FFTW_FORWARD, FFTW_MEASURE);
  fftwf_plan inv = fftwf_plan_dft_1d(n, x, x, FFTW_BACKWARD, FFTW_MEASURE);
  FillRandom(reinterpret_cast<TComplex*>(x), n);
  const float scale = 1.0f / static_cast<float>(n);
  for (auto _ : state) {
    fftwf_execute(fwd);
    fftwf_execute(inv);
    // FFTW leaves the inverse unscaled; the pair above includes the 1/N.
    for (int i = 0; i < n; ++i) {
      x[i][0] *= scale;
      x[i][1] *= scale;
    }
    benchmark::DoNotOptimize(x);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 2 * n);
  fftwf_destroy_plan(fwd);
  fftwf_destroy_plan(inv);
  fftwf_free(x);
}
#endif

// A direct O(N^2) transform pair with a precomputed table: the simplest
// correct reference.
void BM_DirectDFT(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<std::complex<float>> w(n), x(n), y(n);
  for (int i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * i / n;
    w[i] = {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
  }
  FillRandom(reinterpret_cast<TComplex*>(x.data()), n);
  for (auto _ : state) {
    for (int dir = 0; dir < 2; ++dir) {
      for (int k = 0; k < n; ++k) {
        std::complex<float> s = 0;
        for (int j = 0, jk = 0; j < n; ++j, jk = (jk + k) & (n - 1)) {
          s += x[j] * (dir == 0 ? w[jk] : std::conj(w[jk]));
        }
        y[k] = dir == 0 ? s : s / static_cast<float>(n);
      }
      x.swap(y);
    }
    benchmark::DoNotOptimize(x.data());
  }
  state.SetItemsProcessed(state.iterations() * 2 * n);
}

constexpr int kSizes[] = {16, 64, 256, 512, 1024, 2048, 4096, 8192};

void Sizes(benchmark::internal::Benchmark* b) {
  for (int n : kSizes) b->Arg(n);
  b->Unit(benchmark::kMicrosecond);
}
void SmallSizes(benchmark::internal::Benchmark* b) {
  for (int n : {16, 64, 256}) b->Arg(n);
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Lumora)->Apply(Sizes);
BENCHMARK(BM_LumoraReordered)->Apply(Sizes);
BENCHMARK(BM_LumoraScalar)->Apply(Sizes);
#if defined(LUMORA_HAVE_FFTW)
BENCHMARK(BM_FFTW)->Apply(Sizes);
#endif
BENCHMARK(BM_DirectDFT)->Apply(SmallSizes);

void PrintRatios(const RatioReporter& r) {
  auto cell = [&](const std::string& a, const std::string& b) {
    auto v = r.Ratio(a, b);
    char buf[32];
    if (v) {
      std::snprintf(buf, sizeof buf, "%10.2f", *v);
    } else {
      std::snprintf(buf, sizeof buf, "%10s", "-");
    }
    return std::string(buf);
  };
  std::printf(
      "\nTime ratios (forward + scaled inverse; below 1 means faster than the reference)\n");
  std::printf("%6s %10s %10s %10s %10s %12s\n", "N", "auto/fftw", "reord/fftw", "scalar/fftw",
              "auto/scalar", "direct/auto");
  for (int n : kSizes) {
    const std::string s = "/" + std::to_string(n);
    std::printf("%6d %s %s %s %s %12s\n", n, cell("BM_Lumora" + s, "BM_FFTW" + s).c_str(),
                cell("BM_LumoraReordered" + s, "BM_FFTW" + s).c_str(),
                cell("BM_LumoraScalar" + s, "BM_FFTW" + s).c_str(),
                cell("BM_Lumora" + s, "BM_LumoraScalar" + s).c_str(),
                cell("BM_DirectDFT" + s, "BM_Lumora" + s).c_str());
  }
  TDCFFT probe;
  std::printf("vector path: %s\n", probe.UsesVectorPath() ? "AVX2" : "none (scalar)");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter);
  benchmark::Shutdown();
  return 0;
}
