#include "video/bgr24_scaler.h"

#include <gtest/gtest.h>

#include <vector>

#include "directshow/formats.h"

namespace {

TEST(MulDiv, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(1, 65536, 4), 16384);
  EXPECT_EQ(MulDiv(16384, 16385, 65536), 4096);  // 4096.25
  EXPECT_EQ(MulDiv(1, 3, 2), 2);                 // 1.5
  EXPECT_EQ(MulDiv(-1, 3, 2), -2);
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
}

TEST(ScaleBgr24, EqualSizesCopyRowsIntoThePaddedStride) {
  // 3 x 2 frame: rows of 9 bytes, bitmap rows of 12.
  std::vector<BYTE> src(18);
  for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<BYTE>(i + 1);
  const int stride = DibRowBytes(3, 24);
  ASSERT_EQ(stride, 12);
  std::vector<BYTE> dst(static_cast<std::size_t>(stride) * 2, 0xEE);
  ScaleBgr24(src.data(), 3, 2, dst.data(), 3, 2, stride);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 9; ++i) EXPECT_EQ(dst[j * stride + i], src[j * 9 + i]);
  EXPECT_EQ(dst[9], 0xEE);  // padding untouched
}

// A 2 x 2 frame whose blue channel is p(x, y) = {0, 100; 200, 40} (rows
// bottom-up as stored), scaled to 4 x 4: sx = sy = MulDiv(1, 65536, 4) =
// 16384. The values below follow the fixed-point weights by hand.
TEST(ScaleBgr24, UpscaleFollowsTheFixedPointWeights) {
  const BYTE p[2][2] = {{0, 100}, {200, 40}};  // [y][x]
  std::vector<BYTE> src(12, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) src[(y * 2 + x) * 3] = p[y][x];
  const int stride = DibRowBytes(4, 24);
  std::vector<BYTE> dst(static_cast<std::size_t>(stride) * 4, 0);
  ScaleBgr24(src.data(), 2, 2, dst.data(), 4, 4, stride);
  auto blue = [&](int i, int j) { return dst[j * stride + i * 3]; };
  // (0, 0): Y = 0 -> w0 = 65536, w1 = 1; X = 0 -> a00 = 65536, a10 = 1.
  // (0 x 65536 + 200 x 1) >> 16 = 0.
  EXPECT_EQ(blue(0, 0), 0);
  // (1, 0): fx = 16384: a01 = 16384, a00 = 49152, a11 = MulDiv(16384, 1,
  // 65536) = 0, a10 = 1: (100 x 16384 + 200) >> 16 = 25.
  EXPECT_EQ(blue(1, 0), 25);
  // (1, 1): fy = 16384: w0 = 49152, w1 = 16385; a01 = 12288, a00 = 36864,
  // a11 = 4096, a10 = 12289: (100 x 12288 + 200 x 12289 + 40 x 4096) >> 16
  // = 3850440 >> 16 = 58.
  EXPECT_EQ(blue(1, 1), 58);
  // (0, 2): fy = 32768: w0 = 32768, w1 = 32769: (200 x 32769) >> 16 = 100.
  EXPECT_EQ(blue(0, 2), 100);
  // The other channels stay 0.
  EXPECT_EQ(dst[1 * stride + 3 + 1], 0);
}

TEST(ScaleBgr24, UniformFrameStaysUniformAtAnySize) {
  std::vector<BYTE> src(7 * 5 * 3);
  for (std::size_t i = 0; i < src.size(); i += 3) {
    src[i] = 10;
    src[i + 1] = 128;
    src[i + 2] = 250;
  }
  for (auto [w, h] : {std::pair{3, 2}, std::pair{20, 11}, std::pair{1, 1}}) {
    const int stride = DibRowBytes(w, 24);
    std::vector<BYTE> dst(static_cast<std::size_t>(stride) * h, 0);
    ScaleBgr24(src.data(), 7, 5, dst.data(), w, h, stride);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) {
        EXPECT_EQ(dst[j * stride + i * 3], 10) << w << "x" << h;
        EXPECT_EQ(dst[j * stride + i * 3 + 1], 128);
        EXPECT_EQ(dst[j * stride + i * 3 + 2], 250);
      }
  }
}

// A one-pixel-wide (or two-pixel-wide, strongly enlarged) frame must not be
// read past its rows: the neighbour beyond the last column repeats it. The
// source vector is exactly the frame, so AddressSanitizer sees any overread.
TEST(ScaleBgr24, NeverReadsPastTheLastColumn) {
  for (int srcWidth : {1, 2}) {
    std::vector<BYTE> src(static_cast<std::size_t>(srcWidth) * 2 * 3, 77);
    const int w = 1000;
    const int stride = DibRowBytes(w, 24);
    std::vector<BYTE> dst(static_cast<std::size_t>(stride) * 3, 0);
    ScaleBgr24(src.data(), srcWidth, 2, dst.data(), w, 3, stride);
    EXPECT_EQ(dst[(w - 1) * 3], 77);
    EXPECT_EQ(dst[2 * stride + (w - 1) * 3], 77);
  }
}

}  // namespace
