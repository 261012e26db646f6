// 1080p H.264 decoding through the splitter and the video decoder into a
// sink that drops every frame, against `ffmpeg -benchmark -i FILE -f null -`
// on the same file in the same run. The counter "ratio" is ffmpeg's time
// divided by ours (1.0: as fast as ffmpeg; the goal is at least 0.9).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "directshow/base_renderer.h"
#include "directshow/filter_graph.h"
#include "directshow/wide_string.h"
#include "filters/splitter/module/splitter.h"
#include "filters/video_decoder/module/video_decoder.h"

namespace {

const CLSID CLSID_NullSink = MakeGuid("{5B0E7D3C-6A41-4E2F-8C19-7D2A4B6E9F10}");

class TNullSink final : public TBCBaseRenderer {
 public:
  TNullSink() : TBCBaseRenderer("Null sink", CLSID_NullSink) {}
  HRESULT CheckMediaType(const TBCMediaType* mt) override {
    return mt && mt->majortype == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT ShouldDrawSampleNow(IMediaSample*, REFERENCE_TIME*, REFERENCE_TIME*) override {
    return S_OK;
  }
  HRESULT DoRenderSample(IMediaSample*) override {
    ++frames;
    return S_OK;
  }
  std::atomic<int> frames{0};
};

std::string BenchFile() {
  static const std::string path = [] {
    const std::string p = std::filesystem::temp_directory_path() / "lumora_bench_1080p.mkv";
    if (!std::filesystem::exists(p)) {
      const std::string cmd =
          "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi "
          "-i testsrc2=size=1920x1080:rate=25:duration=8 -c:v libx264 -preset veryfast "
          "-pix_fmt yuv420p -g 50 '" +
          p + ".tmp.mkv' && mv '" + p + ".tmp.mkv' '" + p + "'";
      if (std::system(cmd.c_str()) != 0) return std::string();
    }
    return p;
  }();
  return path;
}

// ffmpeg's own measure of its real time ("rtime=") in seconds.
double FfmpegSeconds(const std::string& file) {
  const std::string cmd =
      "ffmpeg -nostdin -hide_banner -benchmark -i '" + file + "' -f null - 2>&1";
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return 0;
  char line[512];
  double rtime = 0;
  while (std::fgets(line, sizeof line, p))
    if (const char* r = std::strstr(line, "rtime=")) rtime = std::atof(r + 6);
  pclose(p);
  return rtime;
}

double GraphSeconds(const std::string& file, LAVOutPixFmts format, int* frames) {
  auto graph = CreateFilterGraph();
  auto splitter = MakeCom<TLAVSplitter>();
  auto video = MakeCom<TLAVVideo>();
  auto sink = MakeCom<TNullSink>();
  for (int f = 0; f < LAVOutPixFmt_NB; ++f)
    video->SetPixelFormat(static_cast<LAVOutPixFmts>(f), ToBOOL(f == format));
  graph->AddFilter(splitter.get(), u"source");
  graph->AddFilter(video.get(), u"video");
  graph->AddFilter(sink.get(), u"sink");
  if (FAILED(splitter->Load(ds::ToUtf16(file).c_str(), nullptr))) return 0;
  ComPtr<IPin> out, in, vout, sin;
  splitter->FindPin(u"Video", out.Put());
  video->FindPin(u"In", in.Put());
  video->FindPin(u"Out", vout.Put());
  sink->FindPin(u"In", sin.Put());
  if (FAILED(graph->Connect(out.get(), in.get())) || FAILED(graph->Connect(vout.get(), sin.get())))
    return 0;
  const auto start = std::chrono::steady_clock::now();
  graph.As<IMediaControl>()->Run();
  LONG code = 0;
  graph.As<IMediaEvent>()->WaitForCompletion(120000, &code);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  graph.As<IMediaControl>()->Stop();
  *frames = sink->frames;
  return took.count();
}

void BM_Decode1080p(benchmark::State& state, LAVOutPixFmts format) {
  const std::string file = BenchFile();
  if (file.empty()) {
    state.SkipWithError("the ffmpeg tool could not make the 1080p file");
    return;
  }
  double ours = 0, theirs = 0;
  int frames = 0;
  for (auto _ : state) {
    const double t = GraphSeconds(file, format, &frames);
    state.SetIterationTime(t);
    ours += t;
    theirs += FfmpegSeconds(file);
  }
  state.counters["frames"] = frames;
  state.counters["fps"] =
      benchmark::Counter(frames * static_cast<double>(state.iterations()) / ours);
  state.counters["ffmpeg_s"] = theirs / static_cast<double>(state.iterations());
  state.counters["ratio"] = ours > 0 ? theirs / ours : 0;
}

BENCHMARK_CAPTURE(BM_Decode1080p, NV12, LAVOutPixFmt_NV12)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_Decode1080p, RGB32, LAVOutPixFmt_RGB32)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
