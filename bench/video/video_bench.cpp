// Cost of presenting one 1080p frame on this machine's OpenGL (Mesa in CI):
// upload, stretch and draw for NV12 and RGB32 frames, a repaint, the
// software path, and the renderer filter's whole path (presentation plus its
// private copy of the frame). Each result also reports `x_copy`: its time
// over that of copying one RGB32 1080p frame (8 MB) measured in the same
// run, so runs on different machines compare as ratios.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "directshow/dshow.h"
#include "directshow/mem_allocator.h"
#include "video/offscreen_video_output.h"
#include "video/presenter.h"
#include "video/video_renderer.h"

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

// Seconds to copy one RGB32 1080p frame (the best of a few tries).
double CopySeconds() {
  static const double seconds = [] {
    std::vector<BYTE> a(static_cast<std::size_t>(kW) * kH * 4, 1);
    std::vector<BYTE> b(a.size());
    double best = 1e9;
    for (int i = 0; i < 20; ++i) {
      const auto t0 = std::chrono::steady_clock::now();
      std::memcpy(b.data(), a.data(), a.size());
      benchmark::DoNotOptimize(b.data());
      const auto t1 = std::chrono::steady_clock::now();
      best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
  }();
  return seconds;
}

std::vector<BYTE> Frame(std::size_t bytes) {
  std::vector<BYTE> f(bytes);
  for (std::size_t i = 0; i < bytes; ++i) f[i] = static_cast<BYTE>(i * 7 + i / 4096);
  return f;
}

void Report(benchmark::State& state, double seconds) {
  state.counters["x_copy"] =
      benchmark::Counter(seconds / CopySeconds() / static_cast<double>(state.iterations()));
}

// Presents `frame` in the given layout into a 1080p offscreen window.
void Present(benchmark::State& state, bool nv12, bool repeats, bool software, int winW, int winH) {
  auto output = std::make_shared<TOffscreenVideoOutput>(!software);
  output->SetCapture(false);
  const HWND window = output->CreateWindow(winW, winH);
  TfrmRenderer presenter(window, output);
  if (!software && presenter.Status() != kPresenterReady) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  const std::size_t bytes = static_cast<std::size_t>(kW) * kH *
                                (software ? 3
                                 : nv12   ? 1
                                          : 4) +
                            (nv12 ? static_cast<std::size_t>(kW) * kH / 2 : 0);
  const auto frame = Frame(bytes);
  presenter.ResetDevice(kW, kH, 16.0 / 9, nv12);
  presenter.SetPSConstant(kRegVibrance, 0.42f);  // booster on: the full shader runs
  presenter.SetPSConstant(kRegSharpStrength, 0.77f);
  presenter.DoRenderSample(frame.data(), static_cast<LONG>(frame.size()), 0, 1, false);
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    presenter.DoRenderSample(frame.data(), static_cast<LONG>(frame.size()), 0, 1, repeats);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  Report(state, seconds);
}

void BM_PresentNv12(benchmark::State& state) { Present(state, true, false, false, kW, kH); }
void BM_PresentRgb32(benchmark::State& state) { Present(state, false, false, false, kW, kH); }
void BM_Repaint(benchmark::State& state) { Present(state, false, true, false, kW, kH); }
void BM_SoftwareSameSize(benchmark::State& state) { Present(state, false, false, true, kW, kH); }
void BM_SoftwareScaledTo720p(benchmark::State& state) {
  Present(state, false, false, true, 1280, 720);
}

// The filter's whole path for an NV12 sample: presentation and the private
// copy that keeps the last frame valid.
void BM_RendererNv12(benchmark::State& state) {
  auto output = std::make_shared<TOffscreenVideoOutput>();
  output->SetCapture(false);
  TVideoRendererDeps deps;
  deps.output = output;
  deps.ticker = std::make_unique<TManualTickSource>();
  deps.options = TPresenterOptions{};
  auto renderer = MakeCom<TVideoRenderer>(output->CreateWindow(kW, kH), std::move(deps));
  TBCMediaType mt(MEDIATYPE_Video);
  mt.SetSubtype(&MEDIASUBTYPE_NV12);
  mt.SetFormatType(&FORMAT_VideoInfo2);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER2*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER2)));
  vih->bmiHeader.biWidth = kW;
  vih->bmiHeader.biHeight = kH;
  vih->dwPictAspectRatioX = 16;
  vih->dwPictAspectRatioY = 9;
  renderer->SetMediaType(&mt);
  const LONG size = kW * kH * 3 / 2;
  auto allocator = MakeCom<TBCMemAllocator>();
  ALLOCATOR_PROPERTIES request{1, size, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  allocator->SetProperties(&request, &actual);
  allocator->Commit();
  ComPtr<IMediaSample> sample;
  allocator->GetBuffer(sample.Put(), nullptr, nullptr, 0);
  BYTE* p = nullptr;
  sample->GetPointer(&p);
  const auto frame = Frame(static_cast<std::size_t>(size));
  std::memcpy(p, frame.data(), frame.size());
  REFERENCE_TIME t0 = 0;
  REFERENCE_TIME t1 = 1;
  sample->SetTime(&t0, &t1);
  renderer->DoRenderSample(sample.get());
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    renderer->DoRenderSample(sample.get());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Report(state, seconds);
  sample = nullptr;
  allocator->Decommit();
}

BENCHMARK(BM_PresentNv12)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PresentRgb32)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RendererNv12)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SoftwareSameSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SoftwareScaledTo720p)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
