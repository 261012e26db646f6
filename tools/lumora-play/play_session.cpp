#include "play_session.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "counting_audio_device.h"
#include "directshow/filter_graph.h"
#include "filters/audio_renderer/audio_renderer.h"
#include "filters/audio_renderer/null_audio_device.h"
#include "json_line.h"

namespace {

// How long playback may stand still before the run is given up.
constexpr auto kStallLimit = std::chrono::seconds(15);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

std::string ExecutableDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

std::string FiltersPath(const std::string& option) {
  std::string path = option.empty() ? ExecutableDir() + "/Filters/" : option;
  if (path.back() != '/') path += '/';
  return path;
}

}  // namespace

TPlaySession::TPlaySession(TPlayOptions options)
    : fOptions(std::move(options)), fAudioFrames(std::make_shared<std::atomic<std::int64_t>>(0)) {}

TPlaySession::~TPlaySession() {
  if (fPlayer) fPlayer->Kill();
  fPlayer.reset();
  if (fTarget) DestroyMessageWindow(fTarget);
}

double TPlaySession::ElapsedMs(Clock::time_point since) const {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

LRESULT TPlaySession::OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PLAYEROPENED:
      TJsonLine("opened")
          .Int("width", static_cast<std::int64_t>(wParam))
          .Int("height", static_cast<std::int64_t>(lParam))
          .Print();
      return 0;
    case WM_PLAYERSTATE:
      TJsonLine("state").Int("code", static_cast<std::int64_t>(wParam & 0xFF)).Print();
      if ((wParam & 0xFF) == kStateEndOfStream) fEnded = true;
      return 0;
    case WM_PLAYERVOLUME:
      TJsonLine("volume").Int("value", static_cast<std::int64_t>(wParam)).Print();
      return 0;
    default:
      return DefWindowProc(hwnd, msg, wParam, lParam);
  }
}

void TPlaySession::PrintError(const std::string& message) {
  TJsonLine("error").String("message", message).Print();
}

int TPlaySession::Run() {
  if (!fOptions.headless) fWindow = TX11Window::Create("Lumora - " + fOptions.file, 640, 360);
  fTarget = CreateMessageWindow(
      [this](HWND h, UINT m, WPARAM w, LPARAM l) { return OnMessage(h, m, w, l); });

  TDSPlayerDeps deps;
  const bool untimed = fOptions.untimed;
  auto counter = fAudioFrames;
  deps.createObject = [untimed, counter](REFCLSID clsid, REFIID riid, void** ppv) -> HRESULT {
    if (clsid != CLSID_DSoundRender) return CreateFrameworkObject(clsid, riid, ppv);
    // The audio renderer, with its device wrapped to count the frames played.
    // Untimed, the audio plays into a null device on a fast clock.
    TAudioTimeSource time = untimed ? FastTime(100) : TAudioTimeSource(SteadyClockTime);
    TAudioDeviceFactory factory = [untimed, counter, time]() -> std::unique_ptr<TAudioDevice> {
      std::unique_ptr<TAudioDevice> device =
          untimed ? std::make_unique<TNullAudioDevice>(time) : CreateAudioDevice(AudioOutSetting());
      return std::make_unique<TCountingAudioDevice>(std::move(device), counter, time);
    };
    ComPtr<TAudioRenderer> renderer = MakeCom<TAudioRenderer>(factory, time);
    return renderer->QueryInterface(riid, ppv);
  };

  const HWND tv = fWindow ? fWindow->Handle() : 0;
  fPlayer = std::make_unique<TDSPlayer>(fTarget, tv, FiltersPath(fOptions.filtersPath), fTarget,
                                        std::move(deps));
  if (!fPlayer->ErrorMessage.empty()) {
    PrintError(fPlayer->ErrorMessage);
    return 3;
  }
  ApplySettings();
  PumpMessages();

  const auto opening = Clock::now();
  if (!fPlayer->OpenFile(fOptions.file)) {
    PumpMessages();
    PrintError(fPlayer->ErrorMessage.empty() ? "cannot open " + fOptions.file
                                             : fPlayer->ErrorMessage);
    return 1;
  }
  PumpMessages();
  if (fWindow && !fPlayer->NOVIDEO) {
    const double scale =
        std::min({1.0, 1280.0 / fPlayer->RealVideoSize.cx, 720.0 / fPlayer->RealVideoSize.cy});
    fWindow->Resize(std::max(1, static_cast<int>(fPlayer->RealVideoSize.cx * scale)),
                    std::max(1, static_cast<int>(fPlayer->RealVideoSize.cy * scale)));
  }
  if (untimed) {
    // No clock: every renderer draws as soon as a sample arrives.
    if (auto filter = ComPtr<IFilterGraph2>(fPlayer->Graph()).As<IMediaFilter>())
      filter->SetSyncSource(nullptr);
  }
  if (fOptions.track) fPlayer->SelectStream(*fOptions.track);
  for (const TSeekRequest& s : fOptions.seeks)
    if (s.at < 0) fPlayer->SetPosition(s.target);

  const int code = PlayToEnd(opening);
  PrintSummary();
  return code;
}

void TPlaySession::ApplySettings() {
  if (fOptions.volume) fPlayer->SetVolume(*fOptions.volume);
  if (fOptions.mute) fPlayer->SetMute(true);
  for (const auto& [band, value] : fOptions.eq)
    fPlayer->SetEQBand(static_cast<std::uint16_t>(band), value);
  if (fOptions.eqOn) fPlayer->SetEQEnable(true);
  if (fOptions.booster) fPlayer->SetAMPEnable(true);
  if (fOptions.fill) fPlayer->SetFill(static_cast<TDisplayMode>(*fOptions.fill));
}

int TPlaySession::FramesDrawn(int* dropped) {
  int drawn = 0;
  int lost = 0;
  if (auto qp = ComPtr<IBaseFilter>(fPlayer->VideoRenderer()).As<IQualProp>()) {
    qp->get_FramesDrawn(&drawn);
    qp->get_FramesDroppedInRenderer(&lost);
  }
  if (dropped) *dropped = lost;
  return drawn;
}

void TPlaySession::SampleOffset() {
  if (fPlayer->NOVIDEO || fPlayer->NOAUDIO || fOptions.untimed) return;
  auto video = ComPtr<IBaseFilter>(fPlayer->VideoRenderer()).As<IMediaSeeking>();
  auto graph = ComPtr<IFilterGraph2>(fPlayer->Graph()).As<IMediaSeeking>();
  if (!video || !graph) return;
  LONGLONG shown = 0;
  LONGLONG heard = 0;
  if (FAILED(video->GetCurrentPosition(&shown))) return;
  if (shown == fLastVideoPos) return;
  const bool first = fLastVideoPos < 0;
  fLastVideoPos = shown;
  if (first || FAILED(graph->GetCurrentPosition(&heard))) return;
  // Positive: the picture is behind the sound.
  const double offset = std::abs(static_cast<double>(heard - shown) / 10000.0);
  fOffsetSum += offset;
  fOffsetMax = std::max(fOffsetMax, offset);
  ++fOffsetSamples;
}

int TPlaySession::PlayToEnd(Clock::time_point opening) {
  const auto started = Clock::now();
  fPlayer->Play();
  std::vector<TSeekRequest> pending;
  for (const TSeekRequest& s : fOptions.seeks)
    if (s.at >= 0) pending.push_back(s);
  int lastPosition = fPlayer->GetPosition();
  auto lastProgress = Clock::now();
  int seekFramesBefore = -1;
  Clock::time_point seekStart;
  while (!fEnded) {
    PumpMessages();
    if (fEnded) break;
    if (fWindow && !fWindow->ProcessEvents()) break;
    const double elapsed = ElapsedMs(started);
    if (fOptions.playFor && elapsed >= *fOptions.playFor) break;
    for (auto it = pending.begin(); it != pending.end();) {
      if (it->at <= elapsed) {
        seekStart = Clock::now();
        fPlayer->SetPosition(it->target);
        seekFramesBefore = FramesDrawn();
        it = pending.erase(it);
      } else {
        ++it;
      }
    }
    if (seekFramesBefore >= 0 && FramesDrawn() > seekFramesBefore) {
      fSeekLatencyMs = ElapsedMs(seekStart);
      seekFramesBefore = -1;
    }
    // The first picture of playback: the cue's picture is replaced by black
    // when the cued graph stops.
    const bool waitingForPicture = !fPlayer->NOVIDEO && std::isnan(fFirstPictureMs);
    if (waitingForPicture && FramesDrawn() > 0) fFirstPictureMs = ElapsedMs(opening);
    SampleOffset();
    const int position = fPlayer->GetPosition();
    if (position != lastPosition) {
      lastPosition = position;
      lastProgress = Clock::now();
    } else if (Clock::now() - lastProgress > kStallLimit) {
      PrintError("playback stalled at " + std::to_string(position) + " ms");
      return 4;
    }
    WaitForMessages(waitingForPicture ? std::chrono::milliseconds(1) : kPollInterval);
  }
  PumpMessages();
  return 0;
}

void TPlaySession::PrintSummary() {
  std::string streams = "[";
  for (int i = 0; i < fPlayer->StreamsCount; ++i) {
    const TStreamInfo& s = fPlayer->Streams[static_cast<std::size_t>(i)];
    if (i) streams += ",";
    streams += "{\"name\":" + JsonString(s.name) + ",\"group\":" + std::to_string(s.mtype) +
               ",\"active\":" + (s.active ? "true" : "false") + "}";
  }
  streams += "]";
  int dropped = 0;
  const int drawn = fPlayer->NOVIDEO ? 0 : FramesDrawn(&dropped);
  const std::string size = "[" + std::to_string(fPlayer->RealVideoSize.cx) + "," +
                           std::to_string(fPlayer->RealVideoSize.cy) + "]";
  TJsonLine line("summary");
  line.String("file", fOptions.file)
      .Int("duration_ms",
           fPlayer->FramedTime
               ? std::llround(fPlayer->PosToTime(static_cast<std::uint64_t>(fPlayer->Lengths)) *
                              kMSecsPerDay)
               : fPlayer->Lengths)
      .Raw("streams", streams)
      .Raw("video_size", size)
      .Bool("novideo", fPlayer->NOVIDEO)
      .Bool("noaudio", fPlayer->NOAUDIO)
      .Int("frames_drawn", drawn)
      .Int("frames_dropped", dropped)
      .Number("first_picture_ms", fFirstPictureMs)
      .Number("av_offset_ms_avg", fOffsetSamples ? fOffsetSum / fOffsetSamples : 0.0)
      .Number("av_offset_ms_max", fOffsetMax)
      .Int("audio_frames", fAudioFrames->load())
      .Number("seek_latency_ms", fSeekLatencyMs)
      .Int("position_ms", fPlayer->GetPosition());
  line.Print();
}
