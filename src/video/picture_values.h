#pragma once
// Picture adjustment values: the adjustment shader's constant registers, the
// register values the player's setters send, the booster's amounts, and a CPU
// reference of the shader's arithmetic (the GPU result must match it).

#include <functional>

// Constant registers of the adjustment shader (only x is read of c3..c8).
inline constexpr int kRegSampleOffset = 0;  // c0 "p1": x, y = sharpening tap offsets
inline constexpr int kRegBrightness = 3;
inline constexpr int kRegContrast = 4;
inline constexpr int kRegHue = 5;  // degrees; never set by the player, stays 0
inline constexpr int kRegSaturation = 6;
inline constexpr int kRegVibrance = 7;
inline constexpr int kRegSharpStrength = 8;
inline constexpr int kFirstPictureRegister = 3;
inline constexpr int kLastPictureRegister = 8;

// c0 = (1/600, 1/600, 0, 0), whatever the window size.
inline constexpr float kSharpenTapOffset = 1.0f / 600.0f;

// The booster's sharpness and vibrance (player values, sent as /100).
inline constexpr int kBoosterSharpness = 77;
inline constexpr int kBoosterVibrance = 42;

// A register and the single-precision value a setter sends to it.
struct TPictureConstant {
  int reg;
  float value;
  friend bool operator==(const TPictureConstant&, const TPictureConstant&) = default;
};

TPictureConstant BrightnessConstant(int value);  // c3 = value / 100
TPictureConstant ContrastConstant(int value);    // c4 = value / 100
TPictureConstant SaturationConstant(int value);  // c6 = (value + 100) / 100
TPictureConstant VibranceConstant(int value);    // c7 = value / 100
TPictureConstant SharpnessConstant(int value);   // c8 = value / 100

// The values the shader reads, neutral by default.
struct TShaderConstants {
  float offsetX = kSharpenTapOffset;
  float offsetY = kSharpenTapOffset;
  float brightness = 0;
  float contrast = 0;
  float hue = 0;
  float saturation = 1;
  float vibrance = 0;
  float sharpStrength = 0;

  // Sets register idx (3..8) as SetPSConstant would; others are ignored.
  void Set(int idx, float value);
};

struct TRgba {
  float r = 0, g = 0, b = 0, a = 0;
};

// Samples the source texture at texture coordinate (u, v), v growing
// downwards.
using TSampler = std::function<TRgba(float u, float v)>;

// The shader's result for the pixel at (u, v), before the render target
// clamps it to 0..1.
TRgba AdjustPixel(const TShaderConstants& c, const TSampler& s0, float u, float v);
