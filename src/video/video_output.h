#pragma once
// The window system behind the presenter, injectable so that tests and
// benchmarks draw into memory: window sizes, OpenGL devices presenting into a
// window, and the software path's blit.
//
// TGLDevice is one OpenGL context with its surface for one window. It is used
// by one thread at a time (the presenter serialises presentations): make it
// current, draw, present, release it again.

#include <memory>

#include "platform/com/types.h"
#include "platform/messages/message_layer.h"

class TGLDevice {
 public:
  TGLDevice() = default;
  TGLDevice(const TGLDevice&) = delete;
  TGLDevice& operator=(const TGLDevice&) = delete;
  virtual ~TGLDevice() = default;

  // Makes the context current on the calling thread; false when it cannot
  // be (the device is then lost).
  virtual bool MakeCurrent() = 0;
  virtual void DoneCurrent() = 0;
  // While current: whether the context was lost or its surface is gone.
  virtual bool IsLost() = 0;
  // Adapts the surface to a new client size; false when that failed.
  virtual bool Reset(int width, int height) = 0;
  // Shows what was drawn into the default framebuffer; false when the
  // surface is gone (IsLost then answers true).
  virtual bool Present() = 0;
};

class TVideoOutput {
 public:
  TVideoOutput() = default;
  TVideoOutput(const TVideoOutput&) = delete;
  TVideoOutput& operator=(const TVideoOutput&) = delete;
  virtual ~TVideoOutput() = default;

  // Client size of a window; false when there is no such window.
  virtual bool ClientSize(HWND window, int* width, int* height) = 0;
  // Whether a compositor presents the windows (presentation then need not
  // wait for the vertical retrace).
  virtual bool CompositionEnabled() = 0;
  // A device presenting into `window`, or, for window 0, a device without a
  // window that can only be probed. Null when no OpenGL device can be made.
  virtual std::unique_ptr<TGLDevice> CreateDevice(HWND window, bool vsync) = 0;
  // Software path: copies a bottom-up 24-bit bitmap (rows `stride` bytes
  // apart) to the window's top-left corner. False when it could not.
  virtual bool BlitBgr24(HWND window, const BYTE* bits, int width, int height, int stride) = 0;
};

// The output on the X11 display named by $DISPLAY; window handles are X11
// window ids. Without a display every call fails (no device, no blit).
std::shared_ptr<TVideoOutput> CreateX11VideoOutput();
