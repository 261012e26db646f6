#include "video/picture_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct FitCase {
  int w, h;
  double aspect;
  TDisplayMode mode;
  RECT expected;
};

class FittingRectTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FittingRectTest, MatchesTheBoxing) {
  const FitCase& c = GetParam();
  const RECT r = FittingRect(c.w, c.h, c.aspect, c.mode);
  EXPECT_EQ(r.left, c.expected.left);
  EXPECT_EQ(r.top, c.expected.top);
  EXPECT_EQ(r.right, c.expected.right);
  EXPECT_EQ(r.bottom, c.expected.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FittingRectTest,
    ::testing::Values(
        // 4:3 in a 1600 x 900 window: pillar-boxed.
        FitCase{1600, 900, 4.0 / 3, dmKeepAspectRatio, {200, 0, 1400, 900}},
        // 16:9 in 1280 x 1024: letter-boxed.
        FitCase{1280, 1024, kAspect16x9, dmKeepAspectRatio, {0, 152, 1280, 872}},
        // Fill and partial crop look exactly like keep-aspect.
        FitCase{1600, 900, 4.0 / 3, dmFIll, {200, 0, 1400, 900}},
        FitCase{1600, 900, 4.0 / 3, dmPartialCrop, {200, 0, 1400, 900}},
        // Forced 16:9 ignores the picture's own aspect.
        FitCase{1280, 1024, 4.0 / 3, dm16x9forced, {0, 152, 1280, 872}},
        FitCase{1920, 1080, 4.0 / 3, dm16x9forced, {0, 0, 1920, 1080}},
        // Exactly matching shape: no bars.
        FitCase{1920, 1080, kAspect16x9, dmKeepAspectRatio, {0, 0, 1920, 1080}},
        // Halves round to even: (101 - 100) / 2 = 0.5 -> 0; (103 - 100) / 2 = 1.5 -> 2.
        FitCase{101, 100, 1.0, dmKeepAspectRatio, {0, 0, 101, 100}},
        FitCase{103, 100, 1.0, dmKeepAspectRatio, {2, 0, 101, 100}},
        // A missing aspect fills the window instead of dividing by zero.
        FitCase{640, 480, 0.0, dmKeepAspectRatio, {0, 0, 640, 480}}));

TEST(WarpStrength, OnlyForcedModeAndShapesBetweenOnePointTwoAndOnePointSix) {
  EXPECT_NEAR(WarpStrength(dm16x9forced, 640, 480), 0.0444, 5e-5);
  EXPECT_NEAR(WarpStrength(dm16x9forced, 720, 576), 0.0528, 5e-5);
  EXPECT_EQ(WarpStrength(dm16x9forced, 1280, 720), 0.0);
  EXPECT_EQ(WarpStrength(dm16x9forced, 600, 500), 0.0);  // exactly 1.2
  EXPECT_EQ(WarpStrength(dm16x9forced, 800, 500), 0.0);  // exactly 1.6
  EXPECT_EQ(WarpStrength(dmKeepAspectRatio, 640, 480), 0.0);
  EXPECT_EQ(WarpStrength(dm16x9forced, 640, 0), 0.0);
}

TEST(BuildStrip, PlainQuadWithoutWarp) {
  const TStrip s = BuildStrip(1790, 1000, 0);
  // Even vertices on the bottom edge, odd ones on the top, 10 px columns.
  EXPECT_FLOAT_EQ(s[0].x, -0.5f);
  EXPECT_FLOAT_EQ(s[0].y, 999.5f);
  EXPECT_FLOAT_EQ(s[1].x, -0.5f);
  EXPECT_FLOAT_EQ(s[1].y, -0.5f);
  EXPECT_FLOAT_EQ(s[2].x, 9.5f);
  EXPECT_FLOAT_EQ(s[358].x, 1789.5f);
  EXPECT_FLOAT_EQ(s[359].x, 1789.5f);
  for (int i = 0; i < kStripVertices; ++i) {
    EXPECT_FLOAT_EQ(s[i].u, (s[i].x + 0.5f) / 1790) << i;
    EXPECT_FLOAT_EQ(s[i].v, i % 2 == 0 ? 1.0f : 0.0f) << i;
    EXPECT_EQ(s[i].z, 1.0f);
    EXPECT_EQ(s[i].rhw, 1.0f);
    EXPECT_EQ(s[i].diffuse, 0xFFFFFFFFu);
  }
}

TEST(BuildStrip, WarpShiftsTheSamplingBySineOfTheVertexIndex) {
  const double k = WarpStrength(dm16x9forced, 640, 480);
  const TStrip s = BuildStrip(1790, 1000, k);
  for (int i = 0; i < kStripVertices; ++i) {
    const double x = (i / 2) * (1790.0 / 179);
    EXPECT_NEAR(s[i].x, x - 0.5, 1e-3) << i;
    EXPECT_NEAR(s[i].u, x / 1790 - k * std::sin(i * 3.14159265358979 / 180), 1e-6) << i;
  }
  // Near a quarter of the width the picture is sampled k further left, near
  // three quarters k further right; the edges and the centre stay.
  EXPECT_NEAR(s[90].u - (s[90].x + 0.5) / 1790, -k, 1e-6);
  EXPECT_NEAR(s[270].u - (s[270].x + 0.5) / 1790, k, 1e-6);
  EXPECT_NEAR(s[0].u, 0.0, 1e-6);
  EXPECT_NEAR(s[180].u, (s[180].x + 0.5) / 1790, 1e-6);
}

TEST(VideoSizeOf, HeightTimesPictureAspect) {
  VIDEOINFOHEADER2 f{};
  f.bmiHeader.biWidth = 720;
  f.bmiHeader.biHeight = 576;
  f.dwPictAspectRatioX = 16;
  f.dwPictAspectRatioY = 9;
  SIZE s = VideoSizeOf(f);
  EXPECT_EQ(s.cx, 1024);
  EXPECT_EQ(s.cy, 576);
  f.dwPictAspectRatioX = 4;
  f.dwPictAspectRatioY = 3;
  EXPECT_EQ(VideoSizeOf(f).cx, 768);
  f.bmiHeader.biHeight = -576;  // top-down rows: the same size
  EXPECT_EQ(VideoSizeOf(f).cx, 768);
  EXPECT_EQ(VideoSizeOf(f).cy, 576);
  // A large aspect pair does not overflow: 1080 x 1920000 / 1080000.
  f.bmiHeader.biHeight = 1080;
  f.dwPictAspectRatioX = 1920000;
  f.dwPictAspectRatioY = 1080000;
  EXPECT_EQ(VideoSizeOf(f).cx, 1920);
  // No aspect at all: the frame width.
  f.dwPictAspectRatioY = 0;
  EXPECT_EQ(VideoSizeOf(f).cx, 720);
}

TEST(FrameBytes, Nv12IsOneAndAHalfRowsPerLine) {
  EXPECT_EQ(Nv12Rows(1080), 1620);
  EXPECT_EQ(Nv12Rows(1081), 1621);
  EXPECT_EQ(FrameBytes(TFrameLayout::Nv12, 1920, 1080), 1920 * 1620);
  EXPECT_EQ(FrameBytes(TFrameLayout::Rgb32, 1920, 1080), 1920 * 1080 * 4);
  EXPECT_EQ(FrameBytes(TFrameLayout::Rgb24, 5, 3), 45);
  EXPECT_EQ(FrameBytes(TFrameLayout::Rgb32, 0, 1080), 0);
}

}  // namespace
