#pragma once
// TDSPlayer: the playback engine. It owns one filter graph per opened file
// and the filters that outlive the graphs: the audio decoder, the audio
// renderer, the audio effect filter and the video renderer. The splitter and
// the video decoder are created anew for every file from modules loaded once.
//
//   TDSPlayer player(mainWindow, videoWindow, filtersPath, mainWindow);
//   if (!player.ErrorMessage.empty()) ...;       // unusable: modules missing
//   if (player.OpenFile(path)) player.Play();
//
// The player reports to the window it was created with (`Screen`) by posted
// messages: WM_PLAYEROPENED (width, height), WM_PLAYERSTATE (a code of
// player_types.h) and WM_PLAYERVOLUME (the new volume). The graph's events
// reach the player's own hidden message target as WM_GRAPHNOTIFY, handled by
// Notify when the creating thread pumps its messages.
//
// Threads: every operation runs on the thread that created the player (the
// main thread) and returns at once; the player never waits for the graph to
// change state, except that OpenFile cues the first picture.

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "audio/dsp_interfaces.h"
#include "directshow/dshow.h"
#include "engine/player_types.h"
#include "filters/lav_settings.h"
#include "platform/com/com_ptr.h"
#include "platform/date_time.h"
#include "platform/messages/message_layer.h"
#include "platform/modules/module_loader.h"
#include "video/id2r2.h"
#include "video/video_renderer.h"

class TEffectFilterControl;

// What the player is built on; empty members take the defaults.
struct TDSPlayerDeps {
  // Creates the framework's and the system's objects by class id: the
  // filter graph manager (CLSID_FilterGraph) and the audio renderer
  // (CLSID_DSoundRender). Default: the framework, then the system filters.
  std::function<HRESULT(REFCLSID clsid, REFIID riid, void** ppv)> createObject;
  // The video renderer's output, repaint timer and presenter options.
  TVideoRendererDeps renderer;
};

class TDSPlayer {
 public:
  // `Screen` receives the notifications, `TV` is the window of the picture
  // (0: none), `FiltersPath` the folder of the decoder modules ending with
  // a slash, `SUBScreen` the window for subtitles. Afterwards a non-empty
  // ErrorMessage means the player is unusable.
  TDSPlayer(HWND Screen, HWND TV, std::string FiltersPath, HWND SUBScreen, TDSPlayerDeps deps = {});
  ~TDSPlayer();
  TDSPlayer(const TDSPlayer&) = delete;
  TDSPlayer& operator=(const TDSPlayer&) = delete;

  // Builds a graph for the file (or network address) and cues it: the first
  // picture is shown, the graph stopped. True on success, which posts
  // WM_PLAYEROPENED and WM_PLAYERSTATE 2; the caller starts playback.
  bool OpenFile(const std::string& SourceFile);
  // Stops an open graph and clears the state; the graph stays until the
  // next OpenFile or destruction.
  void CloseFile();
  // Final for the video renderer: nothing is drawn any more.
  void Kill();

  // Transport.
  void Play();
  void Pause();
  void PlayPause();
  void Stop();

  // Position in milliseconds (frames in frame mode); setting it clamps to
  // 0 ... Lengths - 1 (Lengths itself stays) and seeks to a key frame.
  int GetPosition();
  void SetPosition(int value);
  // A position as a time-of-day value; GetPosTime of the current one.
  TDateTime PosToTime(std::uint64_t pos) const;
  TDateTime GetPosTime();

  // Volume 1 ... 100 (1 is silence; 0 until first set); nothing happens
  // without an audio renderer.
  int Volume() const { return fVolume; }
  void SetVolume(int value);
  bool GetMute() const { return fMute > 0; }
  void SetMute(bool value);

  // Enables stream `strm` of the splitter (its group's stream switches).
  void SelectStream(int strm);
  // Drains the graph's events; end of stream posts WM_PLAYERSTATE 0.
  void Notify();

  TDisplayMode Fill() const { return fFill; }
  void SetFill(TDisplayMode mode);
  bool GetFullScreen() const { return FFullScreen; }
  void SetFullScreen(bool value) { FFullScreen = value; }
  double GetAspectRatio();
  // Moves the picture to another window; `rc` is not used.
  void SetRenderWindow(HWND owner, const RECT& rc);

  // Picture settings, passed to the renderer's adjustment shader.
  int Brightness() const { return fBrightness; }
  int Contrast() const { return fContrast; }
  int Saturation() const { return fSaturation; }
  int Sharpness() const { return fSharpness; }
  int Vibrance() const { return fVibrance; }
  void SetBrightness(int value);
  void SetContrast(int value);
  void SetSaturation(int value);
  void SetSharpness(int value);
  void SetVibrance(int value);

  // Audio effects; each does nothing (reads give 0 or false) without its
  // effect.
  bool GetEQEnable();
  void SetEQEnable(bool value);
  // User equalizer band `Index` (0 ... 9) on the scale 0 ... 200, 100 flat.
  int getEQBand(std::uint16_t Index);
  void SetEQBand(std::uint16_t Index, int Value);
  // The sound booster: the dynamic amplifier and the compressor together.
  bool GetAMPEnable();
  void SetAMPEnable(bool value);
  std::uint32_t GetAMPAttack();
  void SetAMPAttack(std::uint32_t value);
  std::uint32_t GetAMPRelease();
  void SetAMPRelease(std::uint32_t value);
  std::uint32_t GetAMPMAX();
  void SetAMPMAX(std::uint32_t value);

  TPlayerState State() const { return fState; }
  void SetState(TPlayerState state) { fState = state; }
  const std::string& PlayedFile() const { return FPlayedFile; }

  // Optional observers (nothing in the program assigns them).
  TIntChangeEvent OnBrightnessChange, OnContrastChange, OnSaturationChange, OnSharpnessChange,
      OnVibranceChange;
  TBoolChangeEvent OnMute;

  // The video renderer filter (tests and tools read its statistics), and
  // the audio renderer (null when it could not be created).
  TVideoRenderer* VideoRenderer() const { return fRenderer.get(); }
  IBaseFilter* AudioRenderer() const { return DSnd.get(); }
  IFilterGraph2* Graph() const { return FGraph.get(); }
  // The player's hidden message target for graph events.
  HWND NotifyWindow() const { return FWindowHandle; }
  // How often each decoder module was loaded (0 or 1: they are cached).
  int SplitterModuleLoads() const { return fSplitterLoads; }
  int VideoModuleLoads() const { return fVideoLoads; }

  // Read by the main window after construction and after OpenFile.
  bool NO_NV12 = false;
  bool NO_Direct3D = false;
  bool NOVIDEO = false;
  bool NOAUDIO = false;
  int StreamsCount = 0;
  std::array<TStreamInfo, kMaxStreams> Streams{};
  std::string ErrorMessage;
  bool FramedTime = false;
  TSize RealVideoSize{1920, 1080};
  int Lengths = 0;
  TDateTime LenDT = 0;

 private:
  LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Construct(HWND TV);
  void CreateEffectFilter();
  void ConfigureAudioDecoder();
  // The steps of OpenFile inside its exception guard; false on a failure.
  bool BuildGraph(const std::string& SourceFile);
  void ReleaseGraph();
  void BuildStreamTable();
  void ConnectStreams();
  void ReadDuration();
  void PostState(WPARAM code);
  void SetPictureConstant(int index, float value);
  HRESULT CreateObject(REFCLSID clsid, REFIID riid, void** ppv);

  TDSPlayerDeps fDeps;

  bool fPrepare = false;
  HWND fSubScreen = 0;
  TDisplayMode fFill = dmFIll;
  TPlayerState fState;
  ComPtr<IBasicAudio> BasicAudio;
  ComPtr<IFilterGraph2> FGraph;
  ComPtr<IMediaSeeking> MediaSeeking;
  ComPtr<ILAVFSettings> SplitSetting;
  ComPtr<IMediaEventEx> MediaEvent;
  ComPtr<IMediaControl> MediaControl;
  ComPtr<IAMStreamSelect> StreamSelect;
  std::unique_ptr<TEffectFilterControl> DSP;
  ComPtr<ILAVVideoSettings> LAVVCONF;
  ComPtr<ILAVAudioSettings> LAVACONF;
  ComPtr<IDCEqualizer> EQ;
  ComPtr<IDCDynamicAmplify> AMP;
  ComPtr<IDCCompressor> COMP;
  ComPtr<IBaseFilter> ieq;
  ComPtr<IBaseFilter> FMadVr;
  ComPtr<IBaseFilter> DVid;
  ComPtr<IBaseFilter> Splt;
  ComPtr<IBaseFilter> DAud;
  ComPtr<IBaseFilter> DSnd;
  ComPtr<ID2R2> D2R2;
  ComPtr<TVideoRenderer> fRenderer;
  int fMute = 0;
  int fVolume = 0;  // 0 until the volume is first set
  int fBrightness = 0;
  int fContrast = 0;
  int fSaturation = 0;
  int fSharpness = 0;
  int fVibrance = 0;
  bool FFullScreen = false;
  double FFrameRate = 0;
  HMODULE FSpiltHandle = nullptr;
  HMODULE FVideoHandle = nullptr;
  HWND FScreenHandle = 0;
  std::string FFiltersPath;
  std::string FPlayedFile;
  HWND FWindowHandle = 0;
  int fSplitterLoads = 0;
  int fVideoLoads = 0;
};
