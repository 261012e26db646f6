#include "test_display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace {

pid_t gServer = -1;
// One connection stays open for the whole process: an X server resets when
// its last client leaves, and would refuse the next test's connection while
// it does.
Display* gKeepAlive = nullptr;

void EndServer() {
  if (gKeepAlive) XCloseDisplay(gKeepAlive);
  gKeepAlive = nullptr;
  if (gServer > 0) {
    kill(gServer, SIGTERM);
    waitpid(gServer, nullptr, 0);
    gServer = -1;
  }
}

bool CanOpen() {
  if (!gKeepAlive) gKeepAlive = XOpenDisplay(nullptr);
  return gKeepAlive != nullptr;
}

// Starts Xvfb, which writes its display number to the pipe once it listens.
bool StartServer(std::string* why) {
  int fds[2];
  if (pipe(fds) != 0) {
    *why = "pipe failed";
    return false;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    *why = "fork failed";
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-noreset",
           "-nolisten", "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  gServer = pid;
  std::atexit(EndServer);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    *why = "Xvfb did not start (is the xvfb package installed?)";
    return false;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return true;
}

}  // namespace

bool EnsureTestDisplay(std::string* why) {
  static std::mutex lock;
  std::lock_guard guard(lock);
  const char* display = std::getenv("DISPLAY");
  if (display && *display && CanOpen()) return true;
  if (gServer < 0 && !StartServer(why)) return false;
  if (!CanOpen()) {
    *why = "cannot open the X display";
    return false;
  }
  return true;
}

TTestX11::TTestX11() : fDisplay(XOpenDisplay(nullptr)) {}

TTestX11::~TTestX11() {
  if (fDisplay) XCloseDisplay(static_cast<Display*>(fDisplay));
}

unsigned long TTestX11::MakeWindow(int width, int height) {
  Display* d = static_cast<Display*>(fDisplay);
  const int screen = DefaultScreen(d);
  const Window win =
      XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, 0, WhitePixel(d, screen));
  XSelectInput(d, win, StructureNotifyMask);
  XMapWindow(d, win);
  XEvent e;
  do XWindowEvent(d, win, StructureNotifyMask, &e);
  while (e.type != MapNotify);
  return win;
}

void TTestX11::DestroyWindow(unsigned long window) {
  Display* d = static_cast<Display*>(fDisplay);
  XDestroyWindow(d, window);
  XSync(d, False);
}

TColor8 TTestX11::ReadUntil(unsigned long window, int x, int y, TColor8 expected, int tolerance) {
  Display* d = static_cast<Display*>(fDisplay);
  TColor8 got{-1, -1, -1};
  for (int attempt = 0; attempt < 200; ++attempt) {
    XSync(d, False);
    XImage* img = XGetImage(d, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) continue;
    const unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    got = {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
           static_cast<int>(p & 0xFF)};
    if (MaxDiff(got, expected) <= tolerance) break;
  }
  return got;
}
