#include "video/picture_geometry.h"

#include <cmath>
#include <numbers>

namespace {

// Round to nearest with halves to even (the FPU's default mode).
LONG RoundEven(double v) { return static_cast<LONG>(std::nearbyint(v)); }

}  // namespace

RECT FittingRect(int width, int height, double aspect, TDisplayMode mode) {
  const double a = mode == dm16x9forced ? kAspect16x9 : aspect;
  RECT rc{0, 0, width, height};
  if (width <= 0 || height <= 0 || !(a > 0) || !std::isfinite(a)) return rc;
  const double w = width;
  const double h = height;
  if (w / h > a) {
    rc.left = RoundEven((w - h * a) / 2);
  } else {
    rc.top = RoundEven((h - w / a) / 2);
  }
  rc.right = width - rc.left;
  rc.bottom = height - rc.top;
  return rc;
}

double WarpStrength(TDisplayMode mode, int frameWidth, int frameHeight) {
  if (mode != dm16x9forced || frameHeight <= 0) return 0;
  const double r = static_cast<double>(frameWidth) / frameHeight;
  if (r > 1.2 && r < 1.6) return (kAspect16x9 - r) / 10;
  return 0;
}

TStrip BuildStrip(int width, int height, double k) {
  TStrip strip{};
  const double w = width;
  const double h = height;
  const double column = w / 179;
  double x = 0;
  for (int i = 0; i < kStripVertices; ++i) {
    const double s = k * std::sin(i * std::numbers::pi / 180);
    double y;
    if (i % 2 == 0) {
      x = (i / 2) * column;
      y = h;
    } else {
      y = 0;
    }
    TStripVertex& v = strip[i];
    v.u = static_cast<float>((w > 0 ? x / w : 0) - s);
    v.v = static_cast<float>(h > 0 ? y / h : 0);
    v.x = static_cast<float>(x - 0.5);
    v.y = static_cast<float>(y - 0.5);
    v.z = 1;
    v.rhw = 1;
    v.diffuse = 0xFFFFFFFFu;
  }
  return strip;
}

SIZE VideoSizeOf(const VIDEOINFOHEADER2& format) {
  // A negative height only says the rows are stored top-down.
  const LONG height =
      format.bmiHeader.biHeight < 0 ? -format.bmiHeader.biHeight : format.bmiHeader.biHeight;
  SIZE size{format.bmiHeader.biWidth, height};
  if (format.dwPictAspectRatioY != 0) {
    const std::int64_t product = static_cast<std::int64_t>(height) * format.dwPictAspectRatioX;
    size.cx = RoundEven(static_cast<double>(product) / format.dwPictAspectRatioY);
  }
  return size;
}

std::int64_t FrameBytes(TFrameLayout layout, int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const std::int64_t w = width;
  switch (layout) {
    case TFrameLayout::Nv12:
      return w * Nv12Rows(height);
    case TFrameLayout::Rgb32:
      return 4 * w * height;
    case TFrameLayout::Rgb24:
      return 3 * w * height;
  }
  return 0;
}
