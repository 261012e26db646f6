// Where the main window opens.
#include <gtest/gtest.h>

#include <vector>

#include "app/settings/settings_store.h"
#include "app/settings/window_placement.h"
#include "platform/registry/registry_sandbox.h"

namespace {

const MonitorRect kPrimary{0, 0, 1920, 1080};
const MonitorRect kRight{1920, 0, 3200, 1024};
const MonitorRect kLeft{-1280, -200, 0, 824};
constexpr int kW = 801, kH = 601;
// Centred on the primary: 960 - 400, 540 - 300.
const WindowOrigin kCentred{560, 240};

}  // namespace

TEST(WindowPlacement, AcceptsPointsInsideTheMonitorsElseCentres) {
  struct Case {
    const char* what;
    bool hasLast;
    int x, y;
    std::vector<MonitorRect> monitors;
    WindowOrigin expected;
  };
  const std::vector<Case> cases = {
      {"no stored position", false, 100, 100, {kPrimary}, kCentred},
      {"on the primary", true, 100, 200, {kPrimary}, {100, 200}},
      {"top under 20 is raised", true, 100, 5, {kPrimary}, {100, 20}},
      {"top edge 0 is raised", true, 0, 0, {kPrimary}, {0, 20}},
      {"right edge is outside", true, 1920, 100, {kPrimary}, kCentred},
      {"bottom edge is outside", true, 100, 1080, {kPrimary}, kCentred},
      {"last pixel is inside", true, 1919, 1079, {kPrimary}, {1919, 1079}},
      {"removed monitor", true, 2500, 100, {kPrimary}, kCentred},
      {"on the second monitor", true, 2500, 100, {kPrimary, kRight}, {2500, 100}},
      {"in the bounding rectangle only", true, 2500, 1050, {kPrimary, kRight}, {2500, 1050}},
      {"left of the primary", true, -1000, 300, {kLeft, kPrimary}, {-1000, 300}},
      {"above the primary is raised", true, -1000, -100, {kLeft, kPrimary}, {-1000, 20}},
      {"no monitors at all", true, 100, 100, {}, kCentred},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PlaceMainWindow(c.hasLast, c.x, c.y, c.monitors, kPrimary, kW, kH), c.expected)
        << c.what;
}

TEST(WindowPlacement, CentringTruncatesTowardZero) {
  const MonitorRect odd{0, 0, 1023, 767};
  EXPECT_EQ(PlaceMainWindow(false, 0, 0, {}, odd, 2001, 3), (WindowOrigin{511 - 1000, 383 - 1}));
  const MonitorRect offset{100, 50, 1124, 818};  // a primary not at the origin
  EXPECT_EQ(PlaceMainWindow(false, 0, 0, {}, offset, 24, 68),
            (WindowOrigin{100 + 512 - 12, 50 + 384 - 34}));
}

TEST(WindowPlacement, InitialOriginUsesTheStoredPosition) {
  ScopedRegistrySandbox sandbox;
  const std::vector<MonitorRect> monitors{kPrimary};
  EXPECT_EQ(InitialMainWindowOrigin(monitors, kPrimary, kW, kH), kCentred);  // first start
  WriteSetting("LastX", 300, false);
  WriteSetting("LastY", 5, false);
  EXPECT_EQ(InitialMainWindowOrigin(monitors, kPrimary, kW, kH), (WindowOrigin{300, 20}));
  WriteSetting("LastX", 0, false);
  WriteSetting("LastY", 0, false);
  EXPECT_EQ(InitialMainWindowOrigin(monitors, kPrimary, kW, kH), kCentred);
}
