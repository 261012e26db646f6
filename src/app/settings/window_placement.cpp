#include "app/settings/window_placement.h"

#include <algorithm>

#include "app/settings/settings_store.h"

WindowOrigin PlaceMainWindow(bool hasLast, int lastX, int lastY,
                             std::span<const MonitorRect> monitors, const MonitorRect& primary,
                             int windowWidth, int windowHeight) {
  if (hasLast && !monitors.empty()) {
    MonitorRect bounds = monitors.front();
    for (const MonitorRect& m : monitors) {
      bounds.Left = std::min(bounds.Left, m.Left);
      bounds.Top = std::min(bounds.Top, m.Top);
      bounds.Right = std::max(bounds.Right, m.Right);
      bounds.Bottom = std::max(bounds.Bottom, m.Bottom);
    }
    if (lastX >= bounds.Left && lastX < bounds.Right && lastY >= bounds.Top &&
        lastY < bounds.Bottom)
      return {lastX, std::max(lastY, 20)};
  }
  return {primary.Left + primary.Width() / 2 - windowWidth / 2,
          primary.Top + primary.Height() / 2 - windowHeight / 2};
}

WindowOrigin InitialMainWindowOrigin(std::span<const MonitorRect> monitors,
                                     const MonitorRect& primary, int windowWidth,
                                     int windowHeight) {
  int x = 0, y = 0;
  bool hasLast = ReadLastPosition(x, y);
  return PlaceMainWindow(hasLast, x, y, monitors, primary, windowWidth, windowHeight);
}
