#pragma once
// Geometry of the presented picture: the fitting rectangle inside the
// window, the warp of the 16:9-forced mode, the 360-vertex strip that draws
// the window-sized texture, the display size of a video format and the frame
// layouts' byte counts.

#include <array>
#include <cstdint>

#include "directshow/formats.h"
#include "video/video_types.h"

// Where the picture goes inside a W x H texture: pillar-boxed when the
// texture is wider than the aspect ratio (16:9 in dm16x9forced, `aspect`
// otherwise), letter-boxed otherwise; the bars are rounded to nearest, halves
// to even. A non-positive or non-finite aspect fills the texture.
RECT FittingRect(int width, int height, double aspect, TDisplayMode mode);

// The warp strength k of the strip: (16/9 - r) / 10 for dm16x9forced when the
// frame's shape r = width / height lies strictly between 1.2 and 1.6, else 0.
double WarpStrength(TDisplayMode mode, int frameWidth, int frameHeight);

// One vertex of the strip: a screen-space position already transformed
// (pixel coordinates shifted by -0.5 so pixel centres meet texel centres),
// a diffuse colour and a texture coordinate. 28 bytes, as the vertex buffer
// stores it.
struct TStripVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};
static_assert(sizeof(TStripVertex) == 28);

inline constexpr int kStripVertices = 360;
inline constexpr int kStripTriangles = 358;
using TStrip = std::array<TStripVertex, kStripVertices>;

// The strip over a W x H target with warp strength k: even vertices along
// the bottom edge, odd ones along the top, 180 columns from 0 to W; the
// texture is sampled k x sin(i degrees) of the width further left.
TStrip BuildStrip(int width, int height, double k);

// Display size of a connected format: cy = |biHeight|, cx = cy x
// dwPictAspectRatioX / dwPictAspectRatioY rounded to nearest (biWidth when
// the aspect is missing).
SIZE VideoSizeOf(const VIDEOINFOHEADER2& format);

// Rows of an NV12 frame as uploaded: the luma rows and the chroma rows,
// Trunc(1.5 x height).
constexpr int Nv12Rows(int height) { return height + height / 2; }

// Bytes a frame of the given layout occupies; 0 for non-positive sizes.
enum class TFrameLayout { Nv12, Rgb32, Rgb24 };
std::int64_t FrameBytes(TFrameLayout layout, int width, int height);
