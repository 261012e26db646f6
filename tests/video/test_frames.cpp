#include "test_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "video/yuv_matrix.h"

std::vector<BYTE> MakeRgb32(int w, int h, const TPattern& p) {
  std::vector<BYTE> f(static_cast<std::size_t>(w) * h * 4, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TColor8 c = p(x, y);
      BYTE* d = f.data() + (static_cast<std::size_t>(h - 1 - y) * w + x) * 4;
      d[0] = static_cast<BYTE>(c.b);
      d[1] = static_cast<BYTE>(c.g);
      d[2] = static_cast<BYTE>(c.r);
    }
  return f;
}

std::vector<BYTE> MakeRgb24(int w, int h, const TPattern& p) {
  std::vector<BYTE> f(static_cast<std::size_t>(w) * h * 3, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TColor8 c = p(x, y);
      BYTE* d = f.data() + (static_cast<std::size_t>(h - 1 - y) * w + x) * 3;
      d[0] = static_cast<BYTE>(c.b);
      d[1] = static_cast<BYTE>(c.g);
      d[2] = static_cast<BYTE>(c.r);
    }
  return f;
}

std::vector<BYTE> MakeNv12(int w, int h, const TPattern& p, bool bt709) {
  std::vector<BYTE> f(static_cast<std::size_t>(w) * (h + h / 2), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TColor8 c = p(x, y);
      int yy, cb, cr;
      RgbToYuv(bt709, c.r, c.g, c.b, &yy, &cb, &cr);
      f[static_cast<std::size_t>(y) * w + x] = static_cast<BYTE>(yy);
      if (x % 2 == 0 && y % 2 == 0 && y / 2 < h / 2) {
        BYTE* uv = f.data() + static_cast<std::size_t>(w) * h + (y / 2) * w + x;
        uv[0] = static_cast<BYTE>(cb);
        if (x + 1 < w) uv[1] = static_cast<BYTE>(cr);
      }
    }
  return f;
}

TPattern Solid(TColor8 c) {
  return [c](int, int) { return c; };
}

TColor8 PixelOf(const TWindowImage& image, int x, int y) {
  const BYTE* p = image.At(x, y);
  return {p[2], p[1], p[0]};
}

TSampler ImageSampler(const TWindowImage& image) {
  return [&image](float u, float v) {
    const float fx = u * image.width - 0.5f;
    const float fy = v * image.height - 0.5f;
    const int x0 = static_cast<int>(std::floor(fx));
    const int y0 = static_cast<int>(std::floor(fy));
    const float ax = fx - x0;
    const float ay = fy - y0;
    auto at = [&](int x, int y) {
      x = std::clamp(x, 0, image.width - 1);
      y = std::clamp(y, 0, image.height - 1);
      const BYTE* p = image.At(x, y);
      return TRgba{p[2] / 255.0f, p[1] / 255.0f, p[0] / 255.0f, 1.0f};
    };
    const TRgba a = at(x0, y0), b = at(x0 + 1, y0), c = at(x0, y0 + 1), d = at(x0 + 1, y0 + 1);
    auto mix = [&](float pa, float pb, float pc, float pd) {
      return (pa * (1 - ax) + pb * ax) * (1 - ay) + (pc * (1 - ax) + pd * ax) * ay;
    };
    return TRgba{mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g), mix(a.b, b.b, c.b, d.b), 1.0f};
  };
}

int MaxDiff(TColor8 a, TColor8 b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

TColor8 ToColor8(const TRgba& c) {
  auto q = [](float v) { return static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
  return {q(c.r), q(c.g), q(c.b)};
}
