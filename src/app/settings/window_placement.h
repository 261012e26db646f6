#pragma once
// Where the main window appears at start: at its last position when that
// point lies on one of the monitors, else centred on the primary monitor.
// A pure function of the monitor layout, so it needs no display.

#include <span>

// A monitor's rectangle in virtual-desktop pixels; Right and Bottom are
// exclusive.
struct MonitorRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

struct WindowOrigin {
  int Left = 0;
  int Top = 0;
  friend bool operator==(const WindowOrigin&, const WindowOrigin&) = default;
};

// hasLast is what ReadLastPosition answered. The last point (lastX, lastY) is
// taken when hasLast holds and the point lies inside the bounding rectangle
// of all monitors (left and top inclusive, right and bottom exclusive); a top
// edge under 20 is then raised to 20. Otherwise the window is centred on the
// primary monitor: its left edge is the monitor's left + width / 2 -
// windowWidth / 2, and likewise for the top, each half truncated toward zero.
// (The primary monitor normally starts at 0, 0, where this is exactly
// width / 2 - windowWidth / 2.)
WindowOrigin PlaceMainWindow(bool hasLast, int lastX, int lastY,
                             std::span<const MonitorRect> monitors, const MonitorRect& primary,
                             int windowWidth, int windowHeight);

// ReadLastPosition followed by PlaceMainWindow.
WindowOrigin InitialMainWindowOrigin(std::span<const MonitorRect> monitors,
                                     const MonitorRect& primary, int windowWidth, int windowHeight);
