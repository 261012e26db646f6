#include "video/picture_values.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

float Hundredths(int value) { return static_cast<float>(value / 100.0); }

float Luma709(const TRgba& c) { return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b; }

constexpr float kTaps[4][2] = {{0.24f, -0.72f}, {-0.72f, -0.24f}, {0.72f, 0.24f}, {-0.24f, 0.72f}};

}  // namespace

TPictureConstant BrightnessConstant(int value) { return {kRegBrightness, Hundredths(value)}; }
TPictureConstant ContrastConstant(int value) { return {kRegContrast, Hundredths(value)}; }
TPictureConstant SaturationConstant(int value) {
  return {kRegSaturation, static_cast<float>((value + 100) / 100.0)};
}
TPictureConstant VibranceConstant(int value) { return {kRegVibrance, Hundredths(value)}; }
TPictureConstant SharpnessConstant(int value) { return {kRegSharpStrength, Hundredths(value)}; }

void TShaderConstants::Set(int idx, float value) {
  switch (idx) {
    case kRegBrightness:
      brightness = value;
      break;
    case kRegContrast:
      contrast = value;
      break;
    case kRegHue:
      hue = value;
      break;
    case kRegSaturation:
      saturation = value;
      break;
    case kRegVibrance:
      vibrance = value;
      break;
    case kRegSharpStrength:
      sharpStrength = value;
      break;
    default:
      break;
  }
}

TRgba AdjustPixel(const TShaderConstants& k, const TSampler& s0, float u, float v) {
  TRgba c = s0(u, v);

  // Sharpening: the pixel minus the mean of four taps, luma-weighted.
  if (k.sharpStrength > 0) {
    TRgba q;
    for (const auto& tap : kTaps) {
      const TRgba t = s0(u + tap[0] * k.offsetX, v + tap[1] * k.offsetY);
      q.r += t.r;
      q.g += t.g;
      q.b += t.b;
      q.a += t.a;
    }
    const TRgba high{c.r - q.r / 4, c.g - q.g / 4, c.b - q.b / 4, c.a - q.a / 4};
    const float amount =
        k.sharpStrength * (0.325278f * high.r + 1.094256f * high.g + 0.110466f * high.b);
    c.r += amount;
    c.g += amount;
    c.b += amount;
    c.a += amount;
  }

  // Hue rotation about the grey axis (identity for 0 degrees).
  const float twoPi = 2 * std::numbers::pi_v<float>;
  const float x = k.hue / 720 + 0.5f;
  const float h = twoPi * (x - std::floor(x)) - std::numbers::pi_v<float>;
  const float p = std::sin(h) * 0.57735f;
  const float kk = std::cos(h) * p;
  const float a = 2 * (p * p - kk);
  const float b = 2 * (p * p + kk);
  const float d = 1 - 4 * p * p;
  TRgba r{d * c.r + a * c.g + b * c.b, b * c.r + d * c.g + a * c.b, a * c.r + b * c.g + d * c.b,
          c.a};

  // Contrast and brightness.
  const float gain = 1 + k.contrast;
  r.r = (r.r - 0.5f) * gain + k.brightness + 0.5f;
  r.g = (r.g - 0.5f) * gain + k.brightness + 0.5f;
  r.b = (r.b - 0.5f) * gain + k.brightness + 0.5f;

  // Saturation around Rec. 709 luma.
  const float l = Luma709(r);
  r.r = l + k.saturation * (r.r - l);
  r.g = l + k.saturation * (r.g - l);
  r.b = l + k.saturation * (r.b - l);

  // Vibrance: less saturated colours gain more.
  if (k.vibrance > 0) {
    const float m = std::max({r.r, r.g, r.b}) - std::min({r.r, r.g, r.b});
    const float f = 1 + k.vibrance * (1 - m);
    const float l2 = Luma709(r);
    r.r = l2 + f * (r.r - l2);
    r.g = l2 + f * (r.g - l2);
    r.b = l2 + f * (r.b - l2);
    r.a = l2 + f * (r.a - l2);
  }
  return r;
}
