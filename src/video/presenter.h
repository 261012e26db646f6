#pragma once
// TfrmRenderer: puts video frames on the screen with OpenGL.
//
// A frame arrives as a pointer to raw pixels in the current frame format
// (NV12, or bottom-up 32-bit RGB; bottom-up 24-bit RGB on the software
// path). The presenter uploads it once into its off-screen frame textures,
// stretches it with linear filtering and black bars into a texture as large
// as the window (converting NV12 to RGB on the way), and draws that texture
// over the whole window as a 360-vertex strip through the adjustment shader
// (picture_values.h), whose constant registers c0 and c3..c8 it keeps.
// Without OpenGL at construction (or with LUMORA_VIDEO_OUT=software) it
// scales 24-bit frames in software and blits them into the window.
//
// Device life: the device (context and surface for the target window) is
// built at construction and rebuilt lazily: after it was lost, after a
// frame-format request (ResetDevice) and after a failed resize. The strip,
// the window texture, the shader and the frame textures are rebuilt after
// every device creation and window resize.
//
// Threads: presentations come from the streaming thread (frames), the
// repaint timer and the main thread (the filter's Clear). Each takes the
// presentation lock FLock without waiting and is skipped when another one
// holds it. ResetDevice and SetPSConstant (main or streaming thread) only
// write a request record and the constant table under a short lock that is
// never held across a device call, so they never wait for a presentation.
// Kill sets `killed`, checked between all steps, and returns once a
// presentation in progress has left. Lock order: FLock -> fParamLock.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/com/types.h"
#include "video/picture_geometry.h"
#include "video/picture_values.h"
#include "video/subtitles.h"
#include "video/video_output.h"
#include "video/video_types.h"

// Choices taken from the environment by FromEnvironment:
//   LUMORA_VIDEO_OUT=software  no OpenGL: the software path
//   LUMORA_VIDEO_GLSL=120|330  force one adjustment shader variant
//   LUMORA_VIDEO_NV12=0        report no NV12 support (status 2)
struct TPresenterOptions {
  bool forceSoftware = false;
  int glslVariant = 0;  // 0: by the context's GLSL version
  bool disableNV12 = false;

  static TPresenterOptions FromEnvironment();
};

// A pending frame-format request.
struct TVideoParam {
  int Width = 0;
  int Height = 0;
  double AspectRatio = 0;
  bool NV12 = false;
  bool need_set = false;
};

// Counters for tests and benchmarks.
struct TPresenterStats {
  int presentations = 0;  // frames shown (OpenGL presents and software blits)
  int uploads = 0;        // frames copied into the frame textures
  int stretches = 0;      // stretches into the window texture
  int busySkips = 0;      // presentations skipped because another one ran
  int devicesCreated = 0;
};

class TfrmRenderer {
 public:
  // Builds the presenter for window `dev` (0: none yet) and tries to create
  // the device at once; when that fails the presenter draws in software for
  // good.
  TfrmRenderer(HWND dev, std::shared_ptr<TVideoOutput> output, TPresenterOptions options = {});
  ~TfrmRenderer();
  TfrmRenderer(const TfrmRenderer&) = delete;
  TfrmRenderer& operator=(const TfrmRenderer&) = delete;

  // Requests a frame format, applied (with a new device) by the next
  // presentation. Width or height <= 0 keeps the current one; an aspect <= 0
  // keeps the current aspect and NV12 flag; with aspect 0 a pending request
  // stands unchanged. Returns the status: 1 software, 2 no NV12, else 0.
  HRESULT ResetDevice(int vWidth, int vHeight, double vAspect, bool vNV12);
  // Presents one frame. `Sample` is a frame in the current layout of
  // `sSize` bytes (a shorter buffer is not read); `repeats` redraws from the
  // presenter's own copy, reading `Sample` only when that copy is lost. The
  // times play no part in drawing. Window 0 draws nothing.
  void DoRenderSample(const BYTE* Sample, LONG sSize, REFERENCE_TIME sTime, REFERENCE_TIME eTime,
                      bool repeats);
  // Constant register idx (3..8) := vl, uploaded before the next draw.
  void SetPSConstant(int idx, float vl);
  // Final: nothing is drawn any more. Returns once a presentation in
  // progress has left.
  void Kill();

  HRESULT Status() const;
  void SetTV(HWND window) { fTV = window; }
  HWND TV() const { return fTV; }
  void SetSUB(HWND window) { fSUB = window; }
  HWND SUB() const { return fSUB; }
  void SetDisplayMode(TDisplayMode mode) { fDisplayMode = mode; }
  TDisplayMode DisplayMode() const { return fDisplayMode; }
  double NewAspect() const;
  bool UseGDI() const { return fUseGDI; }
  bool NoNV12() const { return fNoNV12; }
  bool Killed() const { return fKilled; }
  TSubtitleQueue& Subtitles() { return fSubtitles; }
  TPresenterStats Stats() const;
  // The adjustment shader variant of the current device: 120, 330, or 0
  // while there is none (or it could not be built).
  int ShaderVariant() const { return fShaderVariant; }

 private:
  struct TConstant {
    float value = 0;
    int count = 0;
  };

  int InitDevice(bool atConstruction);
  void ReleaseDevice();
  void ReleaseSizeObjects();
  void InitGeometry();
  void InitShader();
  void PresentFrame(const BYTE* sample, LONG size, bool repeats);
  void PresentSoftware(const BYTE* sample, LONG size);
  bool Upload(const BYTE* sample, LONG size);
  void Stretch();
  void Draw();
  void UploadConstants();
  void AdoptRequest();
  bool Stop() const { return fKilled.load(std::memory_order_acquire); }

  const std::shared_ptr<TVideoOutput> fOutput;
  const TPresenterOptions fOptions;

  std::atomic<bool> fKilled{false};
  std::atomic<HWND> fTV{0};
  std::atomic<HWND> fSUB{0};
  std::atomic<TDisplayMode> fDisplayMode{dmKeepAspectRatio};
  std::atomic<bool> fUseGDI{false};
  std::atomic<bool> fNoNV12{false};
  std::atomic<int> fShaderVariant{0};

  // Serialises presentations; guards everything from here to fParamLock.
  // fWidth, fHeight, fAspectRatio and NV12 are written under both locks and
  // read under either.
  std::mutex FLock;
  std::unique_ptr<TGLDevice> fDevice;
  int fVariant = 330;  // shader variant chosen for the device
  bool fHaveVao = false;
  int wWidth = 0;  // client size at the last presentation
  int wHeight = 0;
  bool fNeedResize = false;
  bool DWM_Composition = false;
  int fWidth = 0;  // current frame format
  int fHeight = 0;
  double fAspectRatio = kAspect16x9;
  bool NV12 = false;
  // OpenGL objects of the device (0: missing).
  unsigned fVao = 0;
  unsigned VB = 0;       // the strip
  unsigned TEXTURE = 0;  // window-sized texture...
  unsigned fFbo = 0;     // ...and its framebuffer
  int fTexWidth = 0;
  int fTexHeight = 0;
  unsigned fOffY = 0;   // off-screen frame: NV12 luma, or the RGB32 frame
  unsigned fOffUV = 0;  // NV12 chroma
  bool fOffIsNV12 = false;
  int fOffWidth = 0;
  int fOffHeight = 0;
  unsigned sil_ps = 0;    // adjustment program (or the plain fallback)
  int fConstLoc[9] = {};  // uniform locations of c[0..8]
  int fTargetLoc = -1;
  bool fConstantsDirty = true;
  unsigned fStretchRgb = 0;
  unsigned fStretchNv12 = 0;
  unsigned fQuad = 0;  // corner buffer of the stretch
  std::vector<BYTE> fSoftBitmap;

  // Short lock: the request record and the constant table.
  mutable std::mutex fParamLock;
  TVideoParam NewParam;
  double fNewAspect = kAspect16x9;
  TConstant pss[9];         // entries 3..8 are used
  bool fParamDirty = true;  // pss changed since the last upload

  TSubtitleQueue fSubtitles;

  std::atomic<int> fPresentations{0};
  std::atomic<int> fUploads{0};
  std::atomic<int> fStretches{0};
  std::atomic<int> fBusySkips{0};
  std::atomic<int> fDevicesCreated{0};
};
