#pragma once
// ID2R2: the video renderer's control interface. The player is its only
// client; every operation runs on the application's main thread.

#include "directshow/formats.h"
#include "platform/com/unknown.h"
#include "video/video_types.h"

struct ID2R2 : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A868BA-0AD4-11CE-B03A-0020AF0B0000}");

  // Makes `owner` (a native window id; 0 draws nothing) the target window;
  // the next presentation builds a new device for it. Returns the
  // presenter's status: 0 ready, 1 software drawing, 2 no NV12.
  virtual HRESULT SetVideoWindow(HWND owner) = 0;
  // Stores a window for subtitles (not drawn). S_OK.
  virtual HRESULT SetSubtitleWindow(HWND subWin) = 0;
  // Sets the adjustment shader's constant register idx (3..8). S_OK.
  virtual HRESULT SetPSConstant(int idx, float vl) = 0;
  // The connected format; E_FAIL (output untouched) before "In" connects.
  virtual HRESULT GetVideoParams(VIDEOINFOHEADER2* VParams) = 0;
  // Display size: height and height x picture aspect; E_FAIL as above.
  virtual HRESULT GetVideoSize(SIZE* vsz) = 0;
  // The last non-zero aspect ratio requested of the presenter. S_OK.
  virtual HRESULT GetAspectRatio(double* AR) = 0;
  virtual HRESULT SetDisplayMode(TDisplayMode dm) = 0;
  // Shows black at once (a file is being opened).
  virtual void Clear() = 0;
  // Shows the splash picture, repainted by the timer.
  virtual void SetLogo() = 0;
  // Final: nothing is drawn any more; returns once a presentation in
  // progress has left.
  virtual void Kill() = 0;

 protected:
  ~ID2R2() = default;
};

inline constexpr IID IID_ID2R2 = ID2R2::iid;
