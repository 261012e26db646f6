// TDSPlayer::OpenFile: building and cueing the graph for one file.
#include <algorithm>
#include <exception>
#include <stdexcept>

#include "directshow/wide_string.h"
#include "engine/ds_player.h"
#include "engine/lav_configuration.h"
#include "platform/fpu_control.h"

namespace {

// Thrown by a step whose failure makes the open fail without a message.
struct TOpenAborted {};

ComPtr<IPin> FindPin(IBaseFilter* filter, const char16_t* id) {
  ComPtr<IPin> pin;
  if (filter) filter->FindPin(id, pin.Put());
  return pin;
}

// Loads a filter from its cached module; counts the module's first load.
ComPtr<IBaseFilter> LoadCached(const std::string& file, REFCLSID clsid, HMODULE& module,
                               int& loads) {
  const bool loaded = module != nullptr;
  auto r = LoadFilterCached<IBaseFilter>(file, clsid, module);
  MaskFPUExceptions();
  if (!loaded && module) ++loads;
  if (r.hr < 0 || !r.object) return nullptr;
  return std::move(r.object);
}

}  // namespace

bool TDSPlayer::OpenFile(const std::string& SourceFile) {
  // 1. The renderer forgets the previous picture.
  if (D2R2) D2R2->Clear();
  // 2.
  fPrepare = true;
  bool ok = false;
  try {
    ok = BuildGraph(SourceFile);
  } catch (const TOpenAborted&) {
    ok = false;
  } catch (const std::exception&) {
    ok = false;
  }
  MaskFPUExceptions();
  // 28.
  fState = {};
  if (ok) {
    fState = {psOpened, psPlayed};
    PostMessage(FScreenHandle, WM_PLAYEROPENED, static_cast<WPARAM>(RealVideoSize.cx),
                static_cast<LPARAM>(RealVideoSize.cy));
    PostState(kStatePlaying);
  }
  // 29.
  fPrepare = false;
  if (!ok && D2R2) D2R2->SetLogo();
  if (NOVIDEO && D2R2) D2R2->SetLogo();
  return ok;
}

bool TDSPlayer::BuildGraph(const std::string& SourceFile) {
  // 3.
  if (fState.Has(psOpened)) CloseFile();
  // 4.
  FPlayedFile = SourceFile;
  // 5. The previous graph goes, with the interfaces of its filters.
  ReleaseGraph();
  SplitSetting = nullptr;
  StreamSelect = nullptr;
  LAVVCONF = nullptr;
  // A player whose construction did not finish cannot open anything.
  if (!DAud || !FMadVr) throw TOpenAborted{};

  // 6.
  if (FAILED(CreateObject(CLSID_FilterGraph, IFilterGraph2::iid, FGraph.PutVoid())) || !FGraph) {
    FGraph = nullptr;
    ErrorMessage = "Could not create the Filtergraph";
    return false;
  }
  // 7. The splitter, from its module loaded once.
  Splt = LoadCached(FFiltersPath + kSplitterModuleName, CLSID_LAVSplitter, FSpiltHandle,
                    fSplitterLoads);
  if (!Splt) {
    ErrorMessage = "Could not create the haali check if  splitter is installed and registered.";
    return false;
  }
  // 8.
  FGraph->AddFilter(Splt.get(), u"LAV source");
  if (DSnd) FGraph->AddFilter(DSnd.get(), u"MPC Audio out");
  if (ieq) FGraph->AddFilter(ieq.get(), u"DSP");
  // 9. The video decoder, from its module loaded once.
  DVid = LoadCached(FFiltersPath + kVideoModuleName, CLSID_LAVVideo, FVideoHandle, fVideoLoads);
  if (!DVid) {
    ErrorMessage =
        "Could not create the haali check if Haali splitter is installed and registered.";
    return false;
  }
  // 10.
  if (SUCCEEDED(DVid.As(LAVVCONF))) {
    ConfigureVideoDecoder(*LAVVCONF, NO_Direct3D, NO_NV12);
    MaskFPUExceptions();
  }
  // 11.
  FGraph->AddFilter(DVid.get(), u"LAV Video decoder");
  FGraph->AddFilter(DAud.get(), u"LAV Audio decoder");
  FGraph->AddFilter(FMadVr.get(), u"D2R2 render");
  // 12. Graph events go to the hidden target.
  if (SUCCEEDED(FGraph.As(MediaEvent)))
    MediaEvent->SetNotifyWindow(FWindowHandle, static_cast<LONG>(WM_GRAPHNOTIFY), 0);
  // 13.
  MaskFPUExceptions();
  // 14.
  if (FAILED(Splt.As(SplitSetting))) return false;
  ConfigureSplitter(*SplitSetting);
  // 15.
  ComPtr<IFileSourceFilter> source;
  if (FAILED(Splt.As(source))) return false;
  AM_MEDIA_TYPE mt{};
  const std::u16string name = ds::ToUtf16(FPlayedFile);
  const HRESULT loaded = source->Load(name.c_str(), &mt);
  MaskFPUExceptions();
  if (loaded != S_OK) {
    ErrorMessage = "Неизвестный формат файла";
    return false;
  }
  // 16.
  if (FAILED(Splt.As(StreamSelect))) return false;
  // 17.
  BuildStreamTable();
  MaskFPUExceptions();
  // 18 to 22.
  ConnectStreams();
  // 23.
  MaskFPUExceptions();
  // 24.
  ReadDuration();
  // 25.
  FGraph->SetDefaultSyncSource();
  // 26. Cue: the first picture is shown, then the graph stops.
  if (FAILED(FGraph.As(MediaControl))) throw TOpenAborted{};
  MediaControl->StopWhenReady();
  MaskFPUExceptions();
  // 27.
  return true;
}

void TDSPlayer::BuildStreamTable() {
  DWORD count = 0;
  StreamSelect->Count(&count);
  StreamsCount = static_cast<int>(std::min<DWORD>(count, kMaxStreams));
  bool audioMarked = false;
  for (TStreamInfo& s : Streams) s = {};
  for (int i = 0; i < StreamsCount; ++i) {
    DWORD flags = 0;
    DWORD group = 0;
    LPWSTR streamName = nullptr;
    const HRESULT hr =
        StreamSelect->Info(i, nullptr, &flags, nullptr, &group, &streamName, nullptr, nullptr);
    TStreamInfo& entry = Streams[static_cast<std::size_t>(i)];
    entry.name = ds::ToUtf8(ds::WideView(streamName));
    CoTaskMemFree(streamName);
    entry.mtype = static_cast<int>(group);
    const bool enabled = SUCCEEDED(hr) && (flags & AMSTREAMSELECTINFO_ENABLED);
    if (group == 0) {
      entry.active = SUCCEEDED(hr);
    } else if (group == 1) {
      entry.active = enabled && !audioMarked;
      audioMarked = audioMarked || entry.active;
    } else {
      entry.active = group == 2 && enabled;
    }
  }
  // A splitter that flags no audio stream plays its first one.
  if (!audioMarked) {
    for (int i = 0; i < StreamsCount; ++i) {
      TStreamInfo& entry = Streams[static_cast<std::size_t>(i)];
      if (entry.mtype == 1) {
        entry.active = true;
        break;
      }
    }
  }
}

void TDSPlayer::ConnectStreams() {
  // 18. Video.
  ComPtr<IPin> videoIn = FindPin(DVid.get(), u"In");
  ComPtr<IPin> videoOut = FindPin(Splt.get(), u"Video");
  NOVIDEO = !videoOut;
  if (videoOut && videoIn) FGraph->Connect(videoOut.get(), videoIn.get());
  // 19. Audio.
  ComPtr<IPin> audioIn = FindPin(DAud.get(), u"In");
  ComPtr<IPin> audioOut = FindPin(Splt.get(), u"Audio");
  if (!audioOut) {
    NOAUDIO = true;
  } else {
    if (audioIn) FGraph->Connect(audioOut.get(), audioIn.get());
    NOAUDIO = false;
  }
  // 20. Subtitles; a failure only means there are none.
  ComPtr<IPin> subIn = FindPin(FMadVr.get(), u"SubIn");
  ComPtr<IPin> subOut = FindPin(Splt.get(), u"Subtitle");
  if (subOut && subIn) FGraph->Connect(subOut.get(), subIn.get());
  // 21. Decoded audio through the effect filter to the audio renderer.
  if (!NOAUDIO) {
    ComPtr<IPin> decoded = FindPin(DAud.get(), u"Out");
    ComPtr<IPin> rendererIn = FindPin(DSnd.get(), u"Audio Input pin (rendered)");
    if (ieq) {
      ComPtr<IPin> effectIn = FindPin(ieq.get(), u"In");
      if (decoded && effectIn) FGraph->Connect(decoded.get(), effectIn.get());
      ComPtr<IPin> effectOut = FindPin(ieq.get(), u"Out");
      if (effectOut && rendererIn) FGraph->Connect(effectOut.get(), rendererIn.get());
    } else if (decoded && rendererIn) {
      FGraph->Connect(decoded.get(), rendererIn.get());
    }
  }
  // 22. The picture, or the logo for a file without video.
  if (NOVIDEO) {
    RealVideoSize = {1920, 1080};
    FGraph->RemoveFilter(FMadVr.get());
  } else {
    if (LAVVCONF) ReconfigureVideoDecoderForConnect(*LAVVCONF);
    ComPtr<IPin> decoded = FindPin(DVid.get(), u"Out");
    ComPtr<IPin> rendererIn = FindPin(FMadVr.get(), u"In");
    if (decoded && rendererIn) FGraph->Connect(decoded.get(), rendererIn.get());
    SIZE size{};
    if (D2R2 && SUCCEEDED(D2R2->GetVideoSize(&size)) && size.cx > 0 && size.cy > 0)
      RealVideoSize = {static_cast<int>(size.cx), static_cast<int>(size.cy)};
    else
      RealVideoSize = {1920, 1080};
  }
}

void TDSPlayer::ReadDuration() {
  if (FAILED(FGraph.As(MediaSeeking))) throw TOpenAborted{};
  LONGLONG duration = 0;
  if (MediaSeeking->IsFormatSupported(&TIME_FORMAT_FRAME) == S_OK) {
    MediaSeeking->SetTimeFormat(&TIME_FORMAT_FRAME);
    double rate = 0;
    MediaSeeking->GetRate(&rate);
    FFrameRate = rate;
    FramedTime = true;
    MediaSeeking->GetDuration(&duration);
    Lengths = static_cast<int>(static_cast<std::uint32_t>(duration));
    LenDT = MillisecondsToDateTime(static_cast<std::int64_t>(Lengths * FFrameRate));
  } else {
    FramedTime = false;
    MediaSeeking->GetDuration(&duration);
    Lengths = static_cast<int>(duration / 10000);
    LenDT = MillisecondsToDateTime(Lengths);
  }
}
