#pragma once
// TVideoRenderer: the program's video renderer filter ("D2R2 Video
// Renderer"). It hands every frame to its presenter TfrmRenderer and decides
// which picture the presenter shows while no frames flow: the splash picture
// at start and after SetLogo, black while a file is opened (Clear) and after
// a stop, the last frame while paused. A repaint timer (40 ms, on a thread of
// its own) re-presents that picture while `Repaint` is set, so window size
// changes and picture adjustments show while the graph stands still.
//
// Pins: "In" (the base class's, video frames) and "SubIn" (TSubPin).
// Interfaces beyond the base's: ID2R2 (the player's control interface, main
// thread) and IAMFilterMiscFlags (a renderer).
//
// The last frame: the sample's buffer goes back to the decoder once drawn,
// so the filter keeps a private copy of the bytes of each frame it draws;
// `LastFrame` points at that copy (or at one of its pictures) and stays
// valid in every state, a stop during a stream switch included. Copies are
// reused and handed to the timer by shared ownership, so the streaming thread
// never overwrites a frame the timer is presenting.
//
// Threads: ID2R2, construction, destruction, Pause, Stop and connection on
// the main thread; DoRenderSample and OnReceiveFirstSample on the streaming
// thread; the repaint tick on the timer's thread. Drawing is serialised
// inside the presenter. fLastLock is held only to swap the last-frame record,
// never across a call out.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "directshow/video_renderer.h"
#include "video/frame_picture.h"
#include "video/id2r2.h"
#include "video/presenter.h"
#include "video/sub_pin.h"
#include "video/tick_source.h"
#include "video/video_output.h"

// Set by the player while it switches streams; a renderer stop meanwhile
// keeps the current picture.
extern std::atomic<bool> StreamSwitching;

// What the renderer is built on; empty members take the defaults.
struct TVideoRendererDeps {
  std::shared_ptr<TVideoOutput> output;      // default: the X11 display
  std::unique_ptr<TTickSource> ticker;       // default: a 40 ms thread
  std::optional<TPresenterOptions> options;  // default: from the environment
};

class TVideoRenderer final : public ComExtend<TBCBaseVideoRenderer, IAMFilterMiscFlags, ID2R2> {
 public:
  static constexpr auto kRepaintPeriod = std::chrono::milliseconds(40);

  // `device`: the window the video is shown in (an X11 window id, 0: none).
  explicit TVideoRenderer(HWND device, TVideoRendererDeps deps = {});
  ~TVideoRenderer() override;

  // ID2R2
  HRESULT SetVideoWindow(HWND owner) override;
  HRESULT SetSubtitleWindow(HWND subWin) override;
  HRESULT SetPSConstant(int idx, float vl) override;
  HRESULT GetVideoParams(VIDEOINFOHEADER2* VParams) override;
  HRESULT GetVideoSize(SIZE* vsz) override;
  HRESULT GetAspectRatio(double* AR) override;
  HRESULT SetDisplayMode(TDisplayMode dm) override;
  void Clear() override;
  void SetLogo() override;
  void Kill() override;

  // IAMFilterMiscFlags
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

  // Overrides of the base filter.
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT SetMediaType(const TBCMediaType* mt) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  void OnReceiveFirstSample(IMediaSample* sample) override;
  HRESULT Pause() override;
  HRESULT Stop() override;

  // One repaint tick (what the timer runs).
  void RepaintTick();

  // State shared with the player and read by tests.
  bool Repaint() const { return fRepaint; }
  const BYTE* LastFrame() const;
  LONG LastFrameSize() const { return fLastFrameSize; }
  const BYTE* SplashBits() const { return fSplash.Bits(); }
  const BYTE* BlackBits() const { return fBlack.Bits(); }
  TfrmRenderer& Presenter() { return *fPresenter; }
  TSubPin& SubPin() { return *fSubPin; }

 private:
  // What a repaint presents: the bytes, how many of them, and the copy that
  // keeps them alive (empty for the pictures).
  struct TLastFrame {
    std::shared_ptr<const std::vector<BYTE>> copy;
    const BYTE* data = nullptr;
    LONG bytes = 0;
  };

  void Draw(IMediaSample* sample);
  void ShowPicture(const TFramePicture& picture);
  void KeepLastFrame(const BYTE* data, LONG size);
  TLastFrame Last() const;
  void ResetToPicture();

  // The connected frame format as requested of the presenter. Showing one
  // of the pictures replaces the presenter's format; the next frame then
  // requests this one again (fNeedFormat), so frames that follow a stop or a
  // Clear without a new connection are not read in the pictures' format.
  struct TFrameFormat {
    int width = 0;
    int height = 0;
    double aspect = 0;
    bool nv12 = false;
  };

  VIDEOINFOHEADER2 fFormat{};
  TFrameFormat fFrameFormat;  // written on the main thread while stopped
  std::atomic<bool> fNeedFormat{false};
  std::unique_ptr<TSubPin> fSubPin;
  TFramePicture fSplash;
  TFramePicture fBlack;
  std::unique_ptr<TfrmRenderer> fPresenter;
  std::unique_ptr<TTickSource> fTicker;

  std::atomic<bool> fRepaint{true};
  std::atomic<LONG> fLastFrameSize{0};
  mutable std::mutex fLastLock;
  TLastFrame fLast;
  // Streaming thread only: copies to reuse once nobody else holds them.
  std::vector<std::shared_ptr<std::vector<BYTE>>> fCopies;
};
