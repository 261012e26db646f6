#include "x11_window.h"

#include <cstdlib>

// Xlib last: its macros must not reach the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

struct TX11Window::Impl {
  Display* display = nullptr;
  Window window = 0;
  Atom deleteWindow = 0;
  bool open = true;
};

TX11Window::TX11Window(std::unique_ptr<Impl> impl) : fImpl(std::move(impl)) {}

std::unique_ptr<TX11Window> TX11Window::Create(const std::string& title, int width, int height) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->display = display;
  const int screen = DefaultScreen(display);
  impl->window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0,
                                     static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                     BlackPixel(display, screen), BlackPixel(display, screen));
  XStoreName(display, impl->window, title.c_str());
  impl->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, impl->window, &impl->deleteWindow, 1);
  XSelectInput(display, impl->window, StructureNotifyMask | KeyPressMask);
  XMapWindow(display, impl->window);
  XSync(display, False);
  return std::unique_ptr<TX11Window>(new TX11Window(std::move(impl)));
}

TX11Window::~TX11Window() {
  XDestroyWindow(fImpl->display, fImpl->window);
  XCloseDisplay(fImpl->display);
}

HWND TX11Window::Handle() const { return static_cast<HWND>(fImpl->window); }

void TX11Window::Resize(int width, int height) {
  XResizeWindow(fImpl->display, fImpl->window, static_cast<unsigned>(width),
                static_cast<unsigned>(height));
  XSync(fImpl->display, False);
}

bool TX11Window::ProcessEvents() {
  while (XPending(fImpl->display) > 0) {
    XEvent event;
    XNextEvent(fImpl->display, &event);
    if (event.type == ClientMessage &&
        static_cast<Atom>(event.xclient.data.l[0]) == fImpl->deleteWindow)
      fImpl->open = false;
  }
  return fImpl->open;
}
