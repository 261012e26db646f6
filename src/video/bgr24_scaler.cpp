#include "video/bgr24_scaler.h"

#include <cstdint>
#include <cstring>

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t p = static_cast<std::int64_t>(a) * b;
  const bool negative = (p < 0) != (c < 0);
  const std::int64_t ap = p < 0 ? -p : p;
  const std::int64_t ac = c < 0 ? -static_cast<std::int64_t>(c) : c;
  const std::int64_t q = (ap + ac / 2) / ac;
  return static_cast<int>(negative ? -q : q);
}

void ScaleBgr24(const BYTE* src, int srcWidth, int srcHeight, BYTE* dst, int dstWidth,
                int dstHeight, int dstStride) {
  if (!src || !dst || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  const std::size_t srcRow = static_cast<std::size_t>(srcWidth) * 3;
  if (srcWidth == dstWidth && srcHeight == dstHeight) {
    for (int j = 0; j < dstHeight; ++j)
      std::memcpy(dst + static_cast<std::size_t>(j) * dstStride, src + j * srcRow, srcRow);
    return;
  }
  const int sx = MulDiv(srcWidth - 1, 65536, dstWidth);
  const int sy = MulDiv(srcHeight - 1, 65536, dstHeight);
  std::uint32_t y = 0;
  for (int j = 0; j < dstHeight; ++j, y += sy) {
    int y0 = static_cast<int>(y >> 16);
    if (y0 > srcHeight - 1) y0 = srcHeight - 1;
    const int y1 = y0 < srcHeight - 1 ? y0 + 1 : y0;
    const int fy = static_cast<int>(y & 65535);
    const int w0 = 65536 - fy;
    const int w1 = fy + 1;
    const BYTE* row0 = src + y0 * srcRow;
    const BYTE* row1 = src + y1 * srcRow;
    BYTE* out = dst + static_cast<std::size_t>(j) * dstStride;
    std::uint32_t x = 0;
    for (int i = 0; i < dstWidth; ++i, x += sx) {
      int x0 = static_cast<int>(x >> 16);
      if (x0 > srcWidth - 1) x0 = srcWidth - 1;
      const int x1 = x0 < srcWidth - 1 ? x0 + 1 : x0;
      const int fx = static_cast<int>(x & 65535);
      const int a01 = MulDiv(fx, w0, 65536);
      const int a00 = w0 - a01;
      const int a11 = MulDiv(fx, w1, 65536);
      const int a10 = w1 - a11;
      const BYTE* p00 = row0 + x0 * 3;
      const BYTE* p01 = row0 + x1 * 3;
      const BYTE* p10 = row1 + x0 * 3;
      const BYTE* p11 = row1 + x1 * 3;
      for (int ch = 0; ch < 3; ++ch) {
        const std::uint32_t v = static_cast<std::uint32_t>(p00[ch] * a00 + p01[ch] * a01) +
                                static_cast<std::uint32_t>(p10[ch] * a10 + p11[ch] * a11);
        out[i * 3 + ch] = static_cast<BYTE>(v >> 16);
      }
    }
  }
}
