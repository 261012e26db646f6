// Throughput of the player's effect chain (equalizer on, dynamic amplifier,
// compressor on) on 16-bit stereo 44.1 kHz audio, one core, as a realtime
// factor; the equalizer's vector path against its scalar path; and FFmpeg's
// firequalizer and acompressor on the same input in the same run (through the
// ffmpeg command-line tool, one thread, minus its own decoding and I/O
// measured with anull).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "audio/compressor.h"
#include "audio/eq_bands.h"
#include "audio/equalizer.h"
#include "audio/filter_list.h"
#include "ratio_report.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kSeconds = 30;
constexpr int kFrames = kRate * kSeconds;
constexpr int kBufferFrames = kRate / 10;  // 100 ms, as a decoder delivers them
// FFmpeg reads the input this many times over, so that its start-up is small
// against the filtering.
constexpr int kFFmpegLoops = 10;

// Music-like test input: a few partials under a slow envelope that swings
// from quiet to near full scale, plus a little noise.
const std::vector<std::int16_t>& Input() {
  static const std::vector<std::int16_t> input = [] {
    std::vector<std::int16_t> v(static_cast<std::size_t>(kFrames) * kChannels);
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 0.01);
    for (int n = 0; n < kFrames; ++n) {
      const double t = static_cast<double>(n) / kRate;
      const double env = 0.15 + 0.8 * (0.5 + 0.5 * std::sin(2 * std::numbers::pi * 0.25 * t));
      for (int c = 0; c < kChannels; ++c) {
        double s = 0.5 * std::sin(2 * std::numbers::pi * (110 + c) * t) +
                   0.3 * std::sin(2 * std::numbers::pi * 880 * t + c) +
                   0.2 * std::sin(2 * std::numbers::pi * 5000 * t);
        s = env * s + noise(gen);
        v[static_cast<std::size_t>(n) * kChannels + c] =
            static_cast<std::int16_t>(std::lrint(std::clamp(s, -1.0, 1.0) * 32767));
      }
    }
    return v;
  }();
  return input;
}

// Runs process(buffer, bytes) over the whole input in 100 ms buffers.
template <class Fn>
void RunOverInput(benchmark::State& state, Fn&& process) {
  const auto& in = Input();
  std::vector<std::int16_t> buf(static_cast<std::size_t>(kBufferFrames) * kChannels);
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < in.size(); pos += buf.size()) {
      const std::size_t n = std::min(buf.size(), in.size() - pos);
      std::memcpy(buf.data(), in.data() + pos, n * sizeof(std::int16_t));
      process(buf.data(), static_cast<int>(n * sizeof(std::int16_t)));
      benchmark::DoNotOptimize(buf.data());
    }
  }
  state.counters["realtime_x"] =
      benchmark::Counter(static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

void BM_CopyOnly(benchmark::State& state) {
  RunOverInput(state, [](std::int16_t*, int) {});
}

void BM_PlayerChain(benchmark::State& state) {
  TDCFilterList list;
  list.Add(TDCFilterType::ftEqualizer)->SetEnabled(true);
  list.Add(TDCFilterType::ftDynamicAmplify)->SetEnabled(true);
  list.Add(TDCFilterType::ftCompressor)->SetEnabled(true);
  auto eq = list.GetDSPInterface(0).As<IDCEqualizer>();
  for (auto [band, value] : {std::pair{0, 140}, {1, 130}, {2, 110}, {8, 115}, {9, 130}}) {
    SetUserEQBand(*eq, band, value);
  }
  list.Init({0, kRate, kChannels, 16, BOOL_FALSE, BOOL_FALSE, BOOL_FALSE});
  RunOverInput(state, [&](std::int16_t* p, int bytes) { list.Process(p, bytes); });
}

void RunEqualizer(benchmark::State& state, TDCFFT::Path path) {
  auto eq = MakeCom<TDCEqualizer>(path);
  eq->set_FFTSize(TDCFFTSize::fts2048);
  eq->SetEnabled(true);
  SetUserEQBand(*eq, 0, 140);
  SetUserEQBand(*eq, 9, 130);
  RunOverInput(state,
               [&](std::int16_t* p, int bytes) { eq->Process(p, bytes, 16, kChannels, false); });
}
void BM_Equalizer(benchmark::State& s) { RunEqualizer(s, TDCFFT::Path::kAuto); }
void BM_EqualizerScalar(benchmark::State& s) { RunEqualizer(s, TDCFFT::Path::kScalar); }

void BM_Compressor(benchmark::State& state) {
  auto comp = MakeCom<TDCCompressor>();
  comp->set_Enabled(BOOL_TRUE);
  RunOverInput(state, [&](std::int16_t* p, int bytes) {
    comp->Process(p, bytes, 16, kChannels, false, kRate);
  });
}

// --- FFmpeg on the same input.

const std::string& RawInputPath() {
  static const std::string path = [] {
    const auto p = std::filesystem::temp_directory_path() / "lumora_chain_bench_input.s16";
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    const auto& in = Input();
    out.write(reinterpret_cast<const char*>(in.data()),
              static_cast<std::streamsize>(in.size() * sizeof(std::int16_t)));
    return p.string();
  }();
  return path;
}

bool HaveFFmpeg() {
  static const bool have =
      std::system("ffmpeg -hide_banner -loglevel quiet -version > /dev/null 2>&1") == 0;
  return have;
}

const char* const kFirEqualizer =
    "firequalizer=gain_entry='entry(0,8);entry(65,8);entry(130,6);entry(270,2);"
    "entry(480,0);entry(9000,0);entry(12000,3);entry(17000,6);entry(22050,6)'";
const char* const kCompressor = "acompressor=threshold=0.2512:ratio=2:attack=50:release=500";

void RunFFmpeg(benchmark::State& state, const std::string& filter) {
  if (!HaveFFmpeg()) {
    state.SkipWithError("ffmpeg not found");
    return;
  }
  const std::string cmd =
      "ffmpeg -hide_banner -nostdin -loglevel error -threads 1 -filter_threads 1 "
      "-stream_loop " +
      std::to_string(kFFmpegLoops - 1) + " -f s16le -ar 44100 -ac 2 -i " + RawInputPath() +
      " -af \"" + filter + "\" -f null - > /dev/null 2>&1";
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = std::system(cmd.c_str());
    const auto t1 = std::chrono::steady_clock::now();
    if (rc != 0) {
      state.SkipWithError("ffmpeg failed");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
  }
}

void BM_FFmpegAnull(benchmark::State& s) { RunFFmpeg(s, "anull"); }
void BM_FFmpegFirEqualizer(benchmark::State& s) { RunFFmpeg(s, kFirEqualizer); }
void BM_FFmpegCompressor(benchmark::State& s) { RunFFmpeg(s, kCompressor); }
void BM_FFmpegBoth(benchmark::State& s) {
  RunFFmpeg(s, std::string(kFirEqualizer) + "," + kCompressor);
}

BENCHMARK(BM_CopyOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayerChain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Equalizer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EqualizerScalar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compressor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FFmpegAnull)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_FFmpegFirEqualizer)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_FFmpegCompressor)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_FFmpegBoth)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void PrintSummary(const RatioReporter& r) {
  auto rt = [&](const std::string& name, const char* minus = nullptr,
                double seconds = kSeconds) -> double {
    auto t = r.Time(name);
    if (!t) return 0;
    double ms = *t;
    if (minus) {
      auto b = r.Time(minus);
      if (!b) return 0;
      ms -= *b;
    }
    return ms > 0 ? seconds * 1000.0 / ms : 0;
  };
  const double chain = rt("BM_PlayerChain"), chain_net = rt("BM_PlayerChain", "BM_CopyOnly");
  constexpr double kFF = kSeconds * kFFmpegLoops;
  const double ff = rt("BM_FFmpegBoth", nullptr, kFF);
  const double ff_net = rt("BM_FFmpegBoth", "BM_FFmpegAnull", kFF);
  std::printf(
      "\nRealtime factors (seconds of 16-bit stereo 44.1 kHz audio per second, one core)\n");
  std::printf(
      "  player chain (equalizer on, dynamic amplifier, compressor on): %8.0fx  (goal 200x)\n",
      chain);
  std::printf("  equalizer alone: vector %8.0fx, scalar %8.0fx (vector/scalar time %.2f)\n",
              rt("BM_Equalizer"), rt("BM_EqualizerScalar"),
              r.Ratio("BM_Equalizer", "BM_EqualizerScalar").value_or(0));
  std::printf("  compressor alone: %8.0fx\n", rt("BM_Compressor"));
  if (ff > 0) {
    std::printf(
        "  ffmpeg firequalizer,acompressor: %8.0fx as run, %8.0fx without its decoding and "
        "I/O (anull subtracted)\n",
        ff, ff_net);
    std::printf("  ffmpeg firequalizer alone (net) %8.0fx, acompressor alone (net) %8.0fx\n",
                rt("BM_FFmpegFirEqualizer", "BM_FFmpegAnull", kFF),
                rt("BM_FFmpegCompressor", "BM_FFmpegAnull", kFF));
    if (ff_net > 0) {
      std::printf("  player chain / ffmpeg filters speed ratio (net): %.2f\n", chain_net / ff_net);
    }
  } else {
    std::printf("  ffmpeg: not run\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove(std::filesystem::temp_directory_path() / "lumora_chain_bench_input.s16",
                          ec);
  return 0;
}
