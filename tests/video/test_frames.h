#pragma once
// Synthetic frames for the video tests, described top-down by a colour
// function and stored in the presenter's layouts.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/com/types.h"
#include "video/offscreen_video_output.h"
#include "video/picture_values.h"

struct TColor8 {
  int r = 0, g = 0, b = 0;
};
using TPattern = std::function<TColor8(int x, int y)>;

// Bottom-up rows of blue, green, red, 0.
std::vector<BYTE> MakeRgb32(int w, int h, const TPattern& p);
// Bottom-up rows of blue, green, red, unpadded.
std::vector<BYTE> MakeRgb24(int w, int h, const TPattern& p);
// Top-down luma rows, then interleaved chroma rows (each 2 x 2 block takes
// the chroma of its top-left pixel); limited range, BT.709 or BT.601.
std::vector<BYTE> MakeNv12(int w, int h, const TPattern& p, bool bt709);

TPattern Solid(TColor8 c);

// The colour of a window pixel as 8-bit values.
TColor8 PixelOf(const TWindowImage& image, int x, int y);

// A bilinear, clamp-to-edge sampler over a window image (v downwards), for
// the CPU reference of the adjustment shader.
TSampler ImageSampler(const TWindowImage& image);

// |a - b| per channel, the largest.
int MaxDiff(TColor8 a, TColor8 b);
TColor8 ToColor8(const TRgba& c);  // clamped and rounded
