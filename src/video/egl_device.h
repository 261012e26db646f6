#pragma once
// OpenGL devices on EGL: a display (X11 or surfaceless), and a context with a
// window or pbuffer surface. Contexts are desktop OpenGL, compatibility
// profile (both shader variants compile), robust where the driver offers it,
// so that a reset is seen as a lost device.

#include <EGL/egl.h>

#include <functional>
#include <memory>
#include <mutex>

#include "video/video_output.h"

class TEglDisplay {
 public:
  // Initialises EGL on a native X11 display, or on the surfaceless platform
  // when x11Display is null. Valid() tells whether that worked.
  explicit TEglDisplay(void* x11Display);
  ~TEglDisplay();
  TEglDisplay(const TEglDisplay&) = delete;
  TEglDisplay& operator=(const TEglDisplay&) = delete;

  bool Valid() const { return fDisplay != EGL_NO_DISPLAY; }
  EGLDisplay Handle() const { return fDisplay; }
  bool HasExtension(const char* name) const;

 private:
  EGLDisplay fDisplay = EGL_NO_DISPLAY;
};

class TEglDevice final : public TGLDevice {
 public:
  // Called while current, before the swap, with the surface size (an
  // offscreen window copies the pixels there).
  using PresentHook = std::function<bool(int width, int height)>;

  // A context with a window surface for an X11 window (0: a 1 x 1 pbuffer),
  // or a pbuffer of the given size; null when either cannot be created.
  static std::unique_ptr<TEglDevice> CreateForWindow(std::shared_ptr<TEglDisplay> display,
                                                     unsigned long window, int visualId,
                                                     bool vsync);
  static std::unique_ptr<TEglDevice> CreatePbuffer(std::shared_ptr<TEglDisplay> display, int width,
                                                   int height, PresentHook hook);
  ~TEglDevice() override;

  bool MakeCurrent() override;
  void DoneCurrent() override;
  bool IsLost() override;
  bool Reset(int width, int height) override;
  bool Present() override;
  // Marks the device lost (a failed swap or a simulated loss).
  void MarkLost() { fLost = true; }

 private:
  TEglDevice(std::shared_ptr<TEglDisplay> display, EGLConfig config, EGLContext context,
             bool robust);
  bool CreatePbufferSurface(int width, int height);

  std::shared_ptr<TEglDisplay> fDisplay;
  EGLConfig fConfig;
  EGLContext fContext;
  EGLSurface fSurface = EGL_NO_SURFACE;
  bool fPbuffer = false;
  bool fRobust = false;
  bool fLost = false;
  bool fVsync = false;
  bool fIntervalSet = false;
  int fWidth = 0;
  int fHeight = 0;
  PresentHook fHook;
};
