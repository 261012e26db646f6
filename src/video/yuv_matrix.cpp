#include "video/yuv_matrix.h"

#include <algorithm>
#include <cmath>

namespace {

struct Coefficients {
  double kr, kb;
};

Coefficients Of(bool bt709) {
  return bt709 ? Coefficients{0.2126, 0.0722} : Coefficients{0.299, 0.114};
}

int Clamp8(double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); }

}  // namespace

bool IsHdFrame(int width, int height) { return width > 1024 || height > 576; }

TYuvMatrix YuvToRgbMatrix(bool bt709) {
  const Coefficients c = Of(bt709);
  const double kg = 1 - c.kr - c.kb;
  const double sy = 255.0 / 219.0;
  const double sc = 255.0 / 224.0;
  TYuvMatrix m{};
  const double rows[9] = {sy,
                          0,
                          2 * (1 - c.kr) * sc,
                          sy,
                          -2 * c.kb * (1 - c.kb) / kg * sc,
                          -2 * c.kr * (1 - c.kr) / kg * sc,
                          sy,
                          2 * (1 - c.kb) * sc,
                          0};
  for (int i = 0; i < 9; ++i) m.rows[i] = static_cast<float>(rows[i]);
  m.offset[0] = 16.0f / 255.0f;
  m.offset[1] = 128.0f / 255.0f;
  m.offset[2] = 128.0f / 255.0f;
  return m;
}

void RgbToYuv(bool bt709, int r, int g, int b, int* y, int* cb, int* cr) {
  const Coefficients c = Of(bt709);
  const double rf = r / 255.0, gf = g / 255.0, bf = b / 255.0;
  const double luma = c.kr * rf + (1 - c.kr - c.kb) * gf + c.kb * bf;
  *y = Clamp8(16 + 219 * luma);
  *cb = Clamp8(128 + 224 * (bf - luma) / (2 * (1 - c.kb)));
  *cr = Clamp8(128 + 224 * (rf - luma) / (2 * (1 - c.kr)));
}
