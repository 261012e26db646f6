#include "video/picture_values.h"

#include <gtest/gtest.h>

namespace {

TEST(PictureConstants, SettersSendScaledSinglePrecisionValues) {
  EXPECT_EQ(BrightnessConstant(100), (TPictureConstant{3, 1.0f}));
  EXPECT_EQ(BrightnessConstant(-37), (TPictureConstant{3, -0.37f}));
  EXPECT_EQ(ContrastConstant(-100), (TPictureConstant{4, -1.0f}));
  EXPECT_EQ(SaturationConstant(0), (TPictureConstant{6, 1.0f}));
  EXPECT_EQ(SaturationConstant(-100), (TPictureConstant{6, 0.0f}));
  EXPECT_EQ(SaturationConstant(100), (TPictureConstant{6, 2.0f}));
  EXPECT_EQ(VibranceConstant(kBoosterVibrance), (TPictureConstant{7, 0.42f}));
  EXPECT_EQ(SharpnessConstant(kBoosterSharpness), (TPictureConstant{8, 0.77f}));
  EXPECT_EQ(SharpnessConstant(0), (TPictureConstant{8, 0.0f}));
}

TSampler Flat(TRgba c) {
  return [c](float, float) { return c; };
}

TEST(AdjustPixel, NeutralValuesKeepTheInput) {
  const TRgba in{0.2f, 0.5f, 0.9f, 1};
  const TRgba out = AdjustPixel({}, Flat(in), 0.5f, 0.5f);
  EXPECT_NEAR(out.r, in.r, 1e-6);
  EXPECT_NEAR(out.g, in.g, 1e-6);
  EXPECT_NEAR(out.b, in.b, 1e-6);
}

TEST(AdjustPixel, BrightnessContrastSaturation) {
  TShaderConstants k;
  k.brightness = 1;
  TRgba out = AdjustPixel(k, Flat({0.1f, 0.4f, 0.0f, 1}), 0, 0);
  EXPECT_GE(out.r, 1.0f);
  EXPECT_GE(out.b, 1.0f);

  k = {};
  k.contrast = -1;
  out = AdjustPixel(k, Flat({0.1f, 0.8f, 0.3f, 1}), 0, 0);
  EXPECT_NEAR(out.r, 0.5f, 1e-6);
  EXPECT_NEAR(out.g, 0.5f, 1e-6);
  EXPECT_NEAR(out.b, 0.5f, 1e-6);

  k = {};
  k.saturation = 0;
  out = AdjustPixel(k, Flat({1.0f, 0.0f, 0.0f, 1}), 0, 0);
  EXPECT_NEAR(out.r, 0.2126f, 1e-6);
  EXPECT_NEAR(out.g, 0.2126f, 1e-6);
  EXPECT_NEAR(out.b, 0.2126f, 1e-6);
}

TEST(AdjustPixel, VibranceScalesByOnePlusAmountTimesTheMissingSpread) {
  TShaderConstants k;
  k.vibrance = 0.42f;
  // max - min = 0.5: factor 1.21 around the luma.
  const TRgba in{0.75f, 0.25f, 0.5f, 1};
  const float l = 0.2126f * 0.75f + 0.7152f * 0.25f + 0.0722f * 0.5f;
  TRgba out = AdjustPixel(k, Flat(in), 0, 0);
  EXPECT_NEAR(out.r, l + 1.21f * (0.75f - l), 1e-5);
  EXPECT_NEAR(out.g, l + 1.21f * (0.25f - l), 1e-5);
  // Grey and fully saturated colours stay as they are.
  out = AdjustPixel(k, Flat({0.3f, 0.3f, 0.3f, 1}), 0, 0);
  EXPECT_NEAR(out.r, 0.3f, 1e-6);
  out = AdjustPixel(k, Flat({1.0f, 0.0f, 0.0f, 1}), 0, 0);
  EXPECT_NEAR(out.r, 1.0f, 1e-6);
  EXPECT_NEAR(out.g, 0.0f, 1e-6);
  // Negative vibrance does nothing.
  k.vibrance = -0.5f;
  out = AdjustPixel(k, Flat(in), 0, 0);
  EXPECT_NEAR(out.r, 0.75f, 1e-6);
}

TEST(AdjustPixel, SharpeningAddsTheLumaWeightedDifference) {
  TShaderConstants k;
  k.sharpStrength = 0.77f;
  // Flat: nothing changes.
  TRgba out = AdjustPixel(k, Flat({0.4f, 0.4f, 0.4f, 1}), 0.5f, 0.5f);
  EXPECT_NEAR(out.r, 0.4f, 1e-6);
  // A vertical edge at u = 0.5: left 0.2, right 0.8. The centre pixel on the
  // bright side sees two taps on each side.
  TSampler edge = [](float u, float) {
    const float v = u < 0.5f ? 0.2f : 0.8f;
    return TRgba{v, v, v, 1};
  };
  out = AdjustPixel(k, edge, 0.5f, 0.5f);
  // Taps at dx = 0.24 and 0.72 (right, 0.8) and -0.72, -0.24 (left, 0.2).
  const float high = 0.8f - (0.8f + 0.2f + 0.8f + 0.2f) / 4;
  const float amount = 0.77f * high * (0.325278f + 1.094256f + 0.110466f);
  EXPECT_NEAR(out.r, 0.8f + amount, 1e-5);
  EXPECT_GT(out.r, 0.8f);
}

TEST(AdjustPixel, HueRotationOfZeroIsIdentityAndOfOneHundredTwentyCyclesChannels) {
  TShaderConstants k;
  k.hue = 120;
  const TRgba out = AdjustPixel(k, Flat({1.0f, 0.0f, 0.0f, 1}), 0, 0);
  // A third of a turn about the grey axis moves red to green.
  EXPECT_NEAR(out.r, 0.0f, 1e-3);
  EXPECT_NEAR(out.g, 1.0f, 1e-3);
  EXPECT_NEAR(out.b, 0.0f, 1e-3);
}

TEST(ShaderConstants, SetStoresOnlyPictureRegisters) {
  TShaderConstants k;
  k.Set(kRegBrightness, 0.5f);
  k.Set(kRegSharpStrength, 0.77f);
  k.Set(2, 9.0f);
  k.Set(9, 9.0f);
  EXPECT_EQ(k.brightness, 0.5f);
  EXPECT_EQ(k.sharpStrength, 0.77f);
  EXPECT_EQ(k.offsetX, kSharpenTapOffset);
}

}  // namespace
