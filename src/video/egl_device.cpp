#include "video/egl_device.h"

#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace {

bool HasWord(const char* list, std::string_view word) {
  if (!list) return false;
  std::string_view all(list);
  std::size_t pos = 0;
  while ((pos = all.find(word, pos)) != std::string_view::npos) {
    const bool startOk = pos == 0 || all[pos - 1] == ' ';
    const std::size_t end = pos + word.size();
    const bool endOk = end == all.size() || all[end] == ' ';
    if (startOk && endOk) return true;
    pos = end;
  }
  return false;
}

using GetResetStatusFn = GLenum (*)();

GetResetStatusFn ResetStatusFunction() {
  static const GetResetStatusFn fn = [] {
    auto f = reinterpret_cast<GetResetStatusFn>(eglGetProcAddress("glGetGraphicsResetStatus"));
    if (!f)
      f = reinterpret_cast<GetResetStatusFn>(eglGetProcAddress("glGetGraphicsResetStatusARB"));
    return f;
  }();
  return fn;
}

// A desktop OpenGL context, robust (lose context on reset) when offered.
EGLContext CreateContext(const TEglDisplay& display, EGLConfig config, bool* robust) {
  *robust = false;
  if (!eglBindAPI(EGL_OPENGL_API)) return EGL_NO_CONTEXT;
  if (display.HasExtension("EGL_EXT_create_context_robustness")) {
    const EGLint attrs[] = {EGL_CONTEXT_OPENGL_ROBUST_ACCESS_EXT, EGL_TRUE,
                            EGL_CONTEXT_OPENGL_RESET_NOTIFICATION_STRATEGY_EXT,
                            EGL_LOSE_CONTEXT_ON_RESET_EXT, EGL_NONE};
    EGLContext ctx = eglCreateContext(display.Handle(), config, EGL_NO_CONTEXT, attrs);
    if (ctx != EGL_NO_CONTEXT) {
      *robust = true;
      return ctx;
    }
  }
  return eglCreateContext(display.Handle(), config, EGL_NO_CONTEXT, nullptr);
}

bool ChooseConfig(const TEglDisplay& display, EGLint surfaceType, int visualId, EGLConfig* config) {
  const EGLint attrs[] = {
      EGL_SURFACE_TYPE,    surfaceType,    EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
      EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLint count = 0;
  if (!eglChooseConfig(display.Handle(), attrs, nullptr, 0, &count) || count <= 0) return false;
  std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
  if (!eglChooseConfig(display.Handle(), attrs, configs.data(), count, &count) || count <= 0)
    return false;
  *config = configs[0];
  if (visualId != 0) {
    for (EGLint i = 0; i < count; ++i) {
      EGLint id = 0;
      if (eglGetConfigAttrib(display.Handle(), configs[static_cast<std::size_t>(i)],
                             EGL_NATIVE_VISUAL_ID, &id) &&
          id == visualId) {
        *config = configs[static_cast<std::size_t>(i)];
        break;
      }
    }
  }
  return true;
}

}  // namespace

TEglDisplay::TEglDisplay(void* x11Display) {
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  EGLDisplay d = EGL_NO_DISPLAY;
  if (x11Display) {
    if (HasWord(clientExtensions, "EGL_KHR_platform_x11") ||
        HasWord(clientExtensions, "EGL_EXT_platform_x11"))
      d = eglGetPlatformDisplay(EGL_PLATFORM_X11_KHR, x11Display, nullptr);
  } else if (HasWord(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    d = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  }
  if (d == EGL_NO_DISPLAY) return;
  EGLint major = 0;
  EGLint minor = 0;
  if (!eglInitialize(d, &major, &minor)) return;
  fDisplay = d;
}

TEglDisplay::~TEglDisplay() {
  if (fDisplay != EGL_NO_DISPLAY) eglTerminate(fDisplay);
}

bool TEglDisplay::HasExtension(const char* name) const {
  return Valid() && HasWord(eglQueryString(fDisplay, EGL_EXTENSIONS), name);
}

TEglDevice::TEglDevice(std::shared_ptr<TEglDisplay> display, EGLConfig config, EGLContext context,
                       bool robust)
    : fDisplay(std::move(display)), fConfig(config), fContext(context), fRobust(robust) {}

std::unique_ptr<TEglDevice> TEglDevice::CreateForWindow(std::shared_ptr<TEglDisplay> display,
                                                        unsigned long window, int visualId,
                                                        bool vsync) {
  if (!display || !display->Valid()) return nullptr;
  if (window == 0) return CreatePbuffer(std::move(display), 1, 1, nullptr);
  EGLConfig config;
  if (!ChooseConfig(*display, EGL_WINDOW_BIT, visualId, &config)) return nullptr;
  bool robust = false;
  EGLContext ctx = CreateContext(*display, config, &robust);
  if (ctx == EGL_NO_CONTEXT) return nullptr;
  std::unique_ptr<TEglDevice> dev(new TEglDevice(display, config, ctx, robust));
  dev->fSurface = eglCreateWindowSurface(display->Handle(), config,
                                         static_cast<EGLNativeWindowType>(window), nullptr);
  if (dev->fSurface == EGL_NO_SURFACE) return nullptr;
  dev->fVsync = vsync;
  return dev;
}

std::unique_ptr<TEglDevice> TEglDevice::CreatePbuffer(std::shared_ptr<TEglDisplay> display,
                                                      int width, int height, PresentHook hook) {
  if (!display || !display->Valid()) return nullptr;
  EGLConfig config;
  if (!ChooseConfig(*display, EGL_PBUFFER_BIT, 0, &config)) return nullptr;
  bool robust = false;
  EGLContext ctx = CreateContext(*display, config, &robust);
  if (ctx == EGL_NO_CONTEXT) return nullptr;
  std::unique_ptr<TEglDevice> dev(new TEglDevice(display, config, ctx, robust));
  dev->fPbuffer = true;
  dev->fHook = std::move(hook);
  if (!dev->CreatePbufferSurface(width, height)) return nullptr;
  return dev;
}

bool TEglDevice::CreatePbufferSurface(int width, int height) {
  const EGLint attrs[] = {EGL_WIDTH, width > 0 ? width : 1, EGL_HEIGHT, height > 0 ? height : 1,
                          EGL_NONE};
  EGLSurface s = eglCreatePbufferSurface(fDisplay->Handle(), fConfig, attrs);
  if (s == EGL_NO_SURFACE) return false;
  if (fSurface != EGL_NO_SURFACE) {
    const bool current = eglGetCurrentContext() == fContext;
    if (current) eglMakeCurrent(fDisplay->Handle(), s, s, fContext);
    eglDestroySurface(fDisplay->Handle(), fSurface);
  }
  fSurface = s;
  fWidth = width > 0 ? width : 1;
  fHeight = height > 0 ? height : 1;
  return true;
}

TEglDevice::~TEglDevice() {
  const EGLDisplay d = fDisplay->Handle();
  eglBindAPI(EGL_OPENGL_API);
  if (eglGetCurrentContext() == fContext)
    eglMakeCurrent(d, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (fSurface != EGL_NO_SURFACE) eglDestroySurface(d, fSurface);
  if (fContext != EGL_NO_CONTEXT) eglDestroyContext(d, fContext);
}

bool TEglDevice::MakeCurrent() {
  if (fLost) return false;
  eglBindAPI(EGL_OPENGL_API);  // the current context is kept per thread and API
  if (!eglMakeCurrent(fDisplay->Handle(), fSurface, fSurface, fContext)) {
    fLost = true;
    return false;
  }
  if (!fPbuffer && !fIntervalSet) {
    eglSwapInterval(fDisplay->Handle(), fVsync ? 1 : 0);
    fIntervalSet = true;
  }
  return true;
}

void TEglDevice::DoneCurrent() {
  eglBindAPI(EGL_OPENGL_API);
  eglMakeCurrent(fDisplay->Handle(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

bool TEglDevice::IsLost() {
  if (fLost) return true;
  if (fRobust) {
    if (GetResetStatusFn fn = ResetStatusFunction(); fn && fn() != GL_NO_ERROR) fLost = true;
  }
  return fLost;
}

bool TEglDevice::Reset(int width, int height) {
  if (fLost) return false;
  if (!fPbuffer) return true;  // a window surface follows its window
  if (width == fWidth && height == fHeight) return true;
  return CreatePbufferSurface(width, height);
}

bool TEglDevice::Present() {
  if (fLost) return false;
  if (fPbuffer) {
    if (fHook && !fHook(fWidth, fHeight)) {
      fLost = true;
      return false;
    }
    if (!fHook) glFinish();
    return true;
  }
  if (!eglSwapBuffers(fDisplay->Handle(), fSurface)) {
    const EGLint err = eglGetError();
    if (err == EGL_CONTEXT_LOST || err == EGL_BAD_SURFACE || err == EGL_BAD_NATIVE_WINDOW ||
        err == EGL_BAD_ALLOC)
      fLost = true;
    return false;
  }
  return true;
}
