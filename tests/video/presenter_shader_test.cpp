// The adjustment shader on a real OpenGL context (Mesa's software renderer
// in CI), in both variants: frames go through the presenter into an
// offscreen window whose pixels are read back.

#include <gtest/gtest.h>

#include <memory>

#include "test_frames.h"
#include "video/offscreen_video_output.h"
#include "video/presenter.h"

namespace {

class ShaderTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    output_ = std::make_shared<TOffscreenVideoOutput>();
    // No silent skip: without a context these tests must fail.
    ASSERT_TRUE(output_->OpenGLAvailable()) << "EGL/OpenGL could not be initialised";
    window_ = output_->CreateWindow(kW, kH);
    TPresenterOptions options;
    options.glslVariant = GetParam();
    presenter_ = std::make_unique<TfrmRenderer>(window_, output_, options);
    ASSERT_EQ(presenter_->Status(), kPresenterReady);
  }

  // Shows a kW x kH RGB32 frame at 4:3 (fills the window exactly).
  TWindowImage Show(const TPattern& p) {
    frame_ = MakeRgb32(kW, kH, p);
    presenter_->ResetDevice(kW, kH, 4.0 / 3, false);
    presenter_->DoRenderSample(frame_.data(), static_cast<LONG>(frame_.size()), 0, 1, false);
    EXPECT_EQ(presenter_->ShaderVariant(), GetParam());
    return output_->Image(window_);
  }

  // Presents again from the presenter's own copy.
  TWindowImage Repaint() {
    presenter_->DoRenderSample(frame_.data(), static_cast<LONG>(frame_.size()), 0, 0, true);
    return output_->Image(window_);
  }

  static constexpr int kW = 64;
  static constexpr int kH = 48;
  std::shared_ptr<TOffscreenVideoOutput> output_;
  HWND window_ = 0;
  std::unique_ptr<TfrmRenderer> presenter_;
  std::vector<BYTE> frame_;
};

TColor8 Gradient(int x, int y) { return {x * 4, y * 5, 255 - x * 2}; }

TEST_P(ShaderTest, NeutralValuesShowTheInputWithinOneStep) {
  const TWindowImage img = Show(Gradient);
  ASSERT_EQ(img.width, kW);
  ASSERT_EQ(img.height, kH);
  int worst = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      worst = std::max(worst, MaxDiff(PixelOf(img, x, y), Gradient(x, y)));
  EXPECT_LE(worst, 1);
}

TEST_P(ShaderTest, BrightnessOneTurnsWhite) {
  presenter_->SetPSConstant(kRegBrightness, BrightnessConstant(100).value);
  const TWindowImage img = Show(Gradient);
  for (int y = 0; y < kH; y += 7)
    for (int x = 0; x < kW; x += 5) EXPECT_EQ(MaxDiff(PixelOf(img, x, y), {255, 255, 255}), 0);
}

TEST_P(ShaderTest, ContrastMinusOneGivesUniformGrey) {
  presenter_->SetPSConstant(kRegContrast, ContrastConstant(-100).value);
  const TWindowImage img = Show(Gradient);
  for (int y = 0; y < kH; y += 7)
    for (int x = 0; x < kW; x += 5) EXPECT_LE(MaxDiff(PixelOf(img, x, y), {128, 128, 128}), 1);
}

TEST_P(ShaderTest, SaturationZeroGivesRec709Grey) {
  presenter_->SetPSConstant(kRegSaturation, SaturationConstant(-100).value);
  const TWindowImage img = Show([](int x, int) {
    return x < kW / 2 ? TColor8{255, 0, 0} : TColor8{0, 0, 255};
  });
  EXPECT_LE(MaxDiff(PixelOf(img, 10, 10), {54, 54, 54}), 1);  // 0.2126 x 255
  EXPECT_LE(MaxDiff(PixelOf(img, 50, 10), {18, 18, 18}), 1);  // 0.0722 x 255
}

TEST_P(ShaderTest, BoosterVibranceScalesByOnePointTwoOne) {
  presenter_->SetPSConstant(kRegVibrance, VibranceConstant(kBoosterVibrance).value);
  // max - min = 128/255, close to 0.5: factor 1 + 0.42 x (1 - m).
  const TColor8 in{192, 64, 128};
  const TWindowImage img = Show([&](int x, int) {
    return x < 32 ? in : (x < 48 ? TColor8{90, 90, 90} : TColor8{255, 0, 0});
  });
  const float m = 128 / 255.0f;
  const float f = 1 + 0.42f * (1 - m);
  EXPECT_NEAR(f, 1.21f, 0.002f);
  const float l = (0.2126f * 192 + 0.7152f * 64 + 0.0722f * 128) / 255;
  const TColor8 expected = ToColor8(
      {l + f * (192 / 255.0f - l), l + f * (64 / 255.0f - l), l + f * (128 / 255.0f - l), 1});
  EXPECT_LE(MaxDiff(PixelOf(img, 10, 10), expected), 1);
  EXPECT_LE(MaxDiff(PixelOf(img, 40, 10), {90, 90, 90}), 1);  // grey unchanged
  EXPECT_LE(MaxDiff(PixelOf(img, 60, 10), {255, 0, 0}), 1);   // saturated unchanged
}

TEST_P(ShaderTest, SharpeningKeepsFlatAreasAndLiftsAnEdge) {
  // Sharpening taps are 1/600 of the texture apart: use a 600-wide window so
  // that they fall a fraction of a pixel from the centre.
  output_->SetClientSize(window_, 600, 40);
  presenter_->SetPSConstant(kRegSharpStrength, SharpnessConstant(kBoosterSharpness).value);
  frame_ = MakeRgb32(600, 40, [](int x, int) {
    return x < 300 ? TColor8{50, 50, 50} : TColor8{200, 200, 200};
  });
  presenter_->ResetDevice(600, 40, 15.0, false);
  presenter_->DoRenderSample(frame_.data(), static_cast<LONG>(frame_.size()), 0, 1, false);
  const TWindowImage img = output_->Image(window_);
  ASSERT_EQ(img.width, 600);
  EXPECT_LE(MaxDiff(PixelOf(img, 100, 20), {50, 50, 50}), 1);
  EXPECT_LE(MaxDiff(PixelOf(img, 500, 20), {200, 200, 200}), 1);
  // Across the edge: the bright side is lifted, the dark side lowered, by
  // the luma-weighted difference the CPU reference computes.
  TWindowImage unsharpened;
  {
    TShaderConstants neutral;
    unsharpened.width = 600;
    unsharpened.height = 40;
    const auto flat = MakeRgb32(600, 40, [](int x, int) {
      return x < 300 ? TColor8{50, 50, 50} : TColor8{200, 200, 200};
    });
    unsharpened.bgra.resize(600 * 40 * 4);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 600; ++x)
        for (int c = 0; c < 4; ++c)
          unsharpened.bgra[(y * 600 + x) * 4 + c] = flat[((39 - y) * 600 + x) * 4 + c];
  }
  TShaderConstants k;
  k.sharpStrength = 0.77f;
  const TSampler s0 = ImageSampler(unsharpened);
  for (int x : {299, 300}) {
    const TColor8 expected = ToColor8(AdjustPixel(k, s0, (x + 0.5f) / 600, 20.5f / 40));
    EXPECT_LE(MaxDiff(PixelOf(img, x, 20), expected), 2) << x;
  }
  EXPECT_GT(PixelOf(img, 300, 20).g, 200);
  EXPECT_LT(PixelOf(img, 299, 20).g, 50);
}

TEST_P(ShaderTest, BlackBarsWhereTheFittingRectangleSaysLiftedByBrightness) {
  // A 4:3 frame in a 160 x 90 window: pillar bars of Round((160 - 120) / 2)
  // = 20 columns on each side.
  output_->SetClientSize(window_, 160, 90);
  const TWindowImage img = Show(Solid({200, 100, 50}));
  ASSERT_EQ(img.width, 160);
  for (int y : {0, 45, 89}) {
    EXPECT_EQ(MaxDiff(PixelOf(img, 0, y), {0, 0, 0}), 0);
    EXPECT_EQ(MaxDiff(PixelOf(img, 19, y), {0, 0, 0}), 0);
    EXPECT_LE(MaxDiff(PixelOf(img, 21, y), {200, 100, 50}), 1);
    EXPECT_LE(MaxDiff(PixelOf(img, 138, y), {200, 100, 50}), 1);
    EXPECT_EQ(MaxDiff(PixelOf(img, 141, y), {0, 0, 0}), 0);
  }
  // The adjustment covers the whole window: the bars turn grey.
  presenter_->SetPSConstant(kRegBrightness, 0.25f);
  const TWindowImage lifted = Repaint();
  EXPECT_LE(MaxDiff(PixelOf(lifted, 5, 45), {64, 64, 64}), 1);
  EXPECT_LE(MaxDiff(PixelOf(lifted, 155, 45), {64, 64, 64}), 1);
}

TEST_P(ShaderTest, Nv12AndRgb32OfTheSamePatternComeOutAlike) {
  auto blocks = [](int x, int y) {
    const int i = (x / 16) + 4 * (y / 16);
    const TColor8 palette[12] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},     {255, 255, 0},
                                 {0, 255, 255}, {255, 0, 255}, {255, 255, 255}, {0, 0, 0},
                                 {128, 64, 32}, {30, 160, 90}, {200, 200, 40},  {90, 90, 90}};
    return palette[i % 12];
  };
  const TWindowImage rgb = Show(blocks);
  const auto nv12 = MakeNv12(kW, kH, blocks, false);
  presenter_->ResetDevice(kW, kH, 4.0 / 3, true);
  presenter_->DoRenderSample(nv12.data(), static_cast<LONG>(nv12.size()), 0, 1, false);
  const TWindowImage yuv = output_->Image(window_);
  for (int by = 0; by < 3; ++by)
    for (int bx = 0; bx < 4; ++bx) {
      const int x = bx * 16 + 8;
      const int y = by * 16 + 8;
      EXPECT_LE(MaxDiff(PixelOf(yuv, x, y), PixelOf(rgb, x, y)), 3) << bx << "," << by;
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, ShaderTest, ::testing::Values(120, 330),
                         [](const auto& p) { return "GLSL" + std::to_string(p.param); });

}  // namespace
