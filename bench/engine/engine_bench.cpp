// The player engine on a 1080p H.264 + AAC file, each figure against a
// reference on the same file in the same run:
// - FirstPicture: OpenFile and Play until the renderer has drawn the first
//   frame of playback, against the FFmpeg libraries opening the file and
//   decoding its first video frame in-process; open_ms is OpenFile alone,
//   whose cue already shows the first picture once;
// - Seek: SetPosition while playing until the first frame from the new
//   position is drawn, against av_seek_frame to the key frame before the
//   target and decoding the first frame after it;
// - CPU: CPU seconds per second of real-time playback (all threads of this
//   process), against the ffmpeg tool decoding the whole file
//   (`ffmpeg -i FILE -f null -`, its CPU seconds per second of media).
// The counter "ratio" is ours divided by the reference (goals: at most 1.5
// for the first picture and seeks, 1.3 for CPU). The picture goes nowhere
// (no window) and the sound to the null device, as with lumora-play on a
// machine without a display.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "directshow/filter_graph.h"
#include "engine/ds_player.h"
#include "filters/audio_renderer/audio_renderer.h"
#include "filters/audio_renderer/null_audio_device.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFileSeconds = 8;

std::string BenchFile() {
  static const std::string path = [] {
    const std::string p = std::filesystem::temp_directory_path() / "lumora_engine_bench_1080p.mkv";
    if (!std::filesystem::exists(p)) {
      const std::string cmd =
          "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi "
          "-i testsrc2=size=1920x1080:rate=25:duration=" +
          std::to_string(kFileSeconds) +
          " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" +
          std::to_string(kFileSeconds) +
          " -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 50 -c:a aac -b:a 128k -ac 2 '" + p +
          ".part.mkv' && mv '" + p + ".part.mkv' '" + p + "'";
      if (std::system(cmd.c_str()) != 0) return std::string();
    }
    return p;
  }();
  return path;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

// ---- the player ----

class TBenchPlayer {
 public:
  TBenchPlayer() {
    fTarget = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    TDSPlayerDeps deps;
    deps.createObject = [](REFCLSID clsid, REFIID riid, void** ppv) -> HRESULT {
      if (clsid != CLSID_DSoundRender) return CreateFrameworkObject(clsid, riid, ppv);
      TAudioDeviceFactory factory = [] { return std::make_unique<TNullAudioDevice>(); };
      return MakeCom<TAudioRenderer>(factory)->QueryInterface(riid, ppv);
    };
    player = std::make_unique<TDSPlayer>(fTarget, 0, std::string(LUMORA_FILTERS_DIR) + "/", fTarget,
                                         std::move(deps));
  }
  ~TBenchPlayer() {
    player->Kill();
    player.reset();
    DestroyMessageWindow(fTarget);
  }

  int FramesDrawn() {
    int n = 0;
    if (auto qp = ComPtr<IBaseFilter>(player->VideoRenderer()).As<IQualProp>())
      qp->get_FramesDrawn(&n);
    return n;
  }
  // Pumps the player's messages until the renderer has drawn more than
  // `frames` frames; false after 10 s.
  bool WaitForFrame(int frames) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
      PumpMessages();
      if (FramesDrawn() > frames) return true;
      WaitForMessages(std::chrono::milliseconds(1));
    }
    return false;
  }

  std::unique_ptr<TDSPlayer> player;

 private:
  HWND fTarget = 0;
};

// ---- the reference: the FFmpeg libraries ----

class TReferenceDecoder {
 public:
  explicit TReferenceDecoder(const std::string& file) {
    if (avformat_open_input(&fFormat, file.c_str(), nullptr, nullptr) < 0) return;
    if (avformat_find_stream_info(fFormat, nullptr) < 0) return;
    const AVCodec* codec = nullptr;
    fStream = av_find_best_stream(fFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (fStream < 0 || !codec) return;
    fCodec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(fCodec, fFormat->streams[fStream]->codecpar);
    fCodec->thread_count = 0;
    if (avcodec_open2(fCodec, codec, nullptr) < 0) return;
    fFrame = av_frame_alloc();
    fPacket = av_packet_alloc();
    fOk = true;
  }
  ~TReferenceDecoder() {
    av_packet_free(&fPacket);
    av_frame_free(&fFrame);
    avcodec_free_context(&fCodec);
    avformat_close_input(&fFormat);
  }
  bool Ok() const { return fOk; }

  // Decodes until a video frame comes out.
  bool NextFrame() {
    for (;;) {
      const int r = avcodec_receive_frame(fCodec, fFrame);
      if (r == 0) return true;
      if (r != AVERROR(EAGAIN)) return false;
      if (av_read_frame(fFormat, fPacket) < 0) {
        avcodec_send_packet(fCodec, nullptr);
        continue;
      }
      if (fPacket->stream_index == fStream) avcodec_send_packet(fCodec, fPacket);
      av_packet_unref(fPacket);
    }
  }
  bool SeekTo(int ms) {
    const AVStream* s = fFormat->streams[fStream];
    const std::int64_t ts = av_rescale_q(ms, AVRational{1, 1000}, s->time_base);
    if (av_seek_frame(fFormat, fStream, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(fCodec);
    return NextFrame();
  }

 private:
  AVFormatContext* fFormat = nullptr;
  AVCodecContext* fCodec = nullptr;
  AVFrame* fFrame = nullptr;
  AVPacket* fPacket = nullptr;
  int fStream = -1;
  bool fOk = false;
};

// ---- benchmarks ----

void BM_FirstPicture(benchmark::State& state) {
  const std::string file = BenchFile();
  if (file.empty()) return state.SkipWithError("the ffmpeg tool could not make the file");
  TBenchPlayer bench;
  double ours = 0;
  double opening = 0;
  double reference = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (!bench.player->OpenFile(file)) return state.SkipWithError("OpenFile failed");
    const auto t1 = Clock::now();
    bench.player->Play();
    if (!bench.WaitForFrame(0)) return state.SkipWithError("no picture");
    const double t = Ms(Clock::now() - t0);
    state.SetIterationTime(t / 1000);
    ours += t;
    opening += Ms(t1 - t0);
    bench.player->CloseFile();

    const auto r0 = Clock::now();
    TReferenceDecoder ref(file);
    if (!ref.Ok() || !ref.NextFrame()) return state.SkipWithError("reference failed");
    reference += Ms(Clock::now() - r0);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["lumora_ms"] = ours / n;
  state.counters["open_ms"] = opening / n;  // OpenFile alone (its cue shows a first picture)
  state.counters["ffmpeg_ms"] = reference / n;
  state.counters["ratio"] = ours / reference;
  state.counters["open_ratio"] = opening / reference;
}

void BM_Seek(benchmark::State& state) {
  const std::string file = BenchFile();
  if (file.empty()) return state.SkipWithError("the ffmpeg tool could not make the file");
  TBenchPlayer bench;
  if (!bench.player->OpenFile(file)) return state.SkipWithError("OpenFile failed");
  bench.player->Play();
  if (!bench.WaitForFrame(0)) return state.SkipWithError("no picture");
  TReferenceDecoder ref(file);
  if (!ref.Ok()) return state.SkipWithError("reference failed");
  static constexpr int kTargets[] = {5000, 1000, 6500, 3000, 2000, 4500};
  double ours = 0;
  double reference = 0;
  int i = 0;
  for (auto _ : state) {
    const int target = kTargets[i++ % 6];
    const auto t0 = Clock::now();
    bench.player->SetPosition(target);
    if (!bench.WaitForFrame(bench.FramesDrawn())) return state.SkipWithError("no picture");
    const double t = Ms(Clock::now() - t0);
    state.SetIterationTime(t / 1000);
    ours += t;
    const auto r0 = Clock::now();
    if (!ref.SeekTo(target)) return state.SkipWithError("reference seek failed");
    reference += Ms(Clock::now() - r0);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["lumora_ms"] = ours / n;
  state.counters["ffmpeg_ms"] = reference / n;
  state.counters["ratio"] = ours / reference;
}

void BM_CpuPerSecond(benchmark::State& state) {
  const std::string file = BenchFile();
  if (file.empty()) return state.SkipWithError("the ffmpeg tool could not make the file");
  TBenchPlayer bench;
  double ours = 0;
  double reference = 0;
  for (auto _ : state) {
    if (!bench.player->OpenFile(file)) return state.SkipWithError("OpenFile failed");
    const double c0 = CpuSeconds(RUSAGE_SELF);
    const auto t0 = Clock::now();
    bench.player->Play();
    // Six seconds of playback.
    while (Clock::now() - t0 < std::chrono::seconds(6)) {
      PumpMessages();
      WaitForMessages(std::chrono::milliseconds(20));
    }
    const double played = bench.player->GetPosition() / 1000.0;
    const double cpu = CpuSeconds(RUSAGE_SELF) - c0;
    bench.player->CloseFile();
    state.SetIterationTime(cpu);
    ours += cpu / played;

    const double r0 = CpuSeconds(RUSAGE_CHILDREN);
    const std::string cmd =
        "ffmpeg -nostdin -hide_banner -loglevel error -i '" + file + "' -f null - > /dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return state.SkipWithError("ffmpeg failed");
    reference += (CpuSeconds(RUSAGE_CHILDREN) - r0) / kFileSeconds;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["lumora_cpu_per_s"] = ours / n;
  state.counters["ffmpeg_cpu_per_s"] = reference / n;
  state.counters["ratio"] = ours / reference;
}

BENCHMARK(BM_FirstPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Seek)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_CpuPerSecond)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
