#pragma once
// The X display of the X11 tests: $DISPLAY when it is set (CI runs the tests
// under xvfb-run), otherwise an Xvfb server this process starts for itself
// and ends when it exits. A display that cannot be had is a test failure.
// Xlib stays inside the .cpp (its macros clash with ordinary names).

#include <string>

#include "test_frames.h"

// True when $DISPLAY names a usable display afterwards; *why says otherwise.
bool EnsureTestDisplay(std::string* why);

// A connection of the test's own for making windows and reading them back.
class TTestX11 {
 public:
  TTestX11();
  ~TTestX11();
  TTestX11(const TTestX11&) = delete;
  TTestX11& operator=(const TTestX11&) = delete;

  bool Ok() const { return fDisplay != nullptr; }
  // A mapped top-level window of that client size (returns once mapped).
  unsigned long MakeWindow(int width, int height);
  void DestroyWindow(unsigned long window);
  // Reads pixel (x, y) until it has the expected colour within `tolerance`
  // or enough round trips went by (the drawing arrives over another
  // connection); the last colour read.
  TColor8 ReadUntil(unsigned long window, int x, int y, TColor8 expected, int tolerance);

 private:
  void* fDisplay = nullptr;
};
