#include "audio/sample_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "audio/ds_stream.h"

namespace {

using sample::ReadNative;
using sample::ReadUnit;
using sample::WriteNative;
using sample::WriteUnit;

TEST(SampleFormat, Int24ReadsSignedLittleEndian) {
  struct Case {
    std::uint8_t b[3];
    std::int32_t v;
  };
  const Case cases[] = {
      {{0x00, 0x00, 0x80}, -8388608}, {{0xFF, 0xFF, 0x7F}, 8388607}, {{0xFF, 0xFF, 0xFF}, -1},
      {{0x01, 0x00, 0x00}, 1},        {{0x34, 0x12, 0x00}, 0x1234},  {{0x00, 0x00, 0x00}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadInt24(c.b), c.v);
    std::uint8_t out[4] = {0, 0, 0, 0xAA};
    WriteInt24(out, c.v);
    EXPECT_EQ(0, std::memcmp(out, c.b, 3)) << c.v;
    EXPECT_EQ(out[3], 0xAA) << "writes exactly three bytes";
  }
  std::uint8_t out[3];
  WriteInt24(out, 0x12345678);  // only the low 24 bits
  EXPECT_EQ(ReadInt24(out), 0x345678);
}

TEST(SampleFormat, ClipLimits) {
  struct Case {
    std::int64_t in;
    std::int32_t c8, c16, c24, c32;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0},
      {127, 127, 127, 127, 127},
      {128, 127, 128, 128, 128},
      {-128, -128, -128, -128, -128},
      {-129, -128, -129, -129, -129},
      {32767, 127, 32767, 32767, 32767},
      {32768, 127, 32767, 32768, 32768},
      {-32769, -128, -32768, -32769, -32769},
      {8388608, 127, 32767, 8388607, 8388608},
      {-8388609, -128, -32768, -8388608, -8388609},
      {2147483647, 127, 32767, 8388607, 2147483647},
      {2147483648LL, 127, 32767, 8388607, 2147483647},
      {-2147483647, -128, -32768, -8388608, -2147483647},
      {-2147483648LL, -128, -32768, -8388608, -2147483647},  // not -2147483648
      {std::numeric_limits<std::int64_t>::min(), -128, -32768, -8388608, -2147483647},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClipInt8(c.in), c.c8) << c.in;
    EXPECT_EQ(ClipInt16(c.in), c.c16) << c.in;
    EXPECT_EQ(ClipInt24(c.in), c.c24) << c.in;
    EXPECT_EQ(ClipInt32(c.in), c.c32) << c.in;
  }
  const std::pair<float, float> floats[] = {{0.5f, 0.5f},   {1.0f, 1.0f},   {1.5f, 1.0f},
                                            {-1.0f, -1.0f}, {-7.0f, -1.0f}, {-0.25f, -0.25f}};
  for (auto [in, out] : floats) EXPECT_EQ(ClipFloat(in), out) << in;
  EXPECT_EQ(ClipFloat(std::numeric_limits<float>::infinity()), 1.0f);
  EXPECT_EQ(ClipFloat(-std::numeric_limits<float>::infinity()), -1.0f);
  EXPECT_EQ(ClipFloat(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST(SampleFormat, RoundsToNearestWithTiesToEven) {
  const std::pair<double, std::int64_t> cases[] = {
      {2.5, 2},
      {3.5, 4},
      {-2.5, -2},
      {-3.5, -4},
      {0.5, 0},
      {1.5, 2},
      {2.4, 2},
      {2.6, 3},
      {-0.5, 0},
      {-1.5, -2},
      {1e15 + 0.5, 1000000000000000},
      {1e30, std::numeric_limits<std::int64_t>::max()},
      {-1e30, std::numeric_limits<std::int64_t>::min()},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (auto [in, out] : cases) EXPECT_EQ(RoundHalfEven(in), out) << in;
}

TEST(SampleFormat, IsAligned16) {
  alignas(16) std::uint8_t buf[32];
  EXPECT_TRUE(IsAligned16(buf));
  EXPECT_FALSE(IsAligned16(buf + 4));
  EXPECT_FALSE(IsAligned16(nullptr));
}

TEST(SampleFormat, LayoutsFromBitsAndFloatFlag) {
  EXPECT_EQ(LayoutOf(8, false), SampleLayout::kUInt8);
  EXPECT_EQ(LayoutOf(16, true), SampleLayout::kInt16);  // the flag only counts with 32 bits
  EXPECT_EQ(LayoutOf(24, false), SampleLayout::kInt24);
  EXPECT_EQ(LayoutOf(32, false), SampleLayout::kInt32);
  EXPECT_EQ(LayoutOf(32, true), SampleLayout::kFloat32);
  for (int bits : {0, 4, 12, 20, 64, -16}) {
    EXPECT_EQ(LayoutOf(bits, false), SampleLayout::kUnsupported) << bits;
  }
}

TEST(SampleFormat, UnitScaleEdgeValues) {
  std::uint8_t b8 = 0;
  EXPECT_EQ((ReadUnit<SampleLayout::kUInt8, double>(&b8)), -1.0);
  b8 = 255;
  EXPECT_EQ((ReadUnit<SampleLayout::kUInt8, double>(&b8)), 0.9921875);
  WriteUnit<SampleLayout::kUInt8, double>(&b8, 1.0);
  EXPECT_EQ(b8, 255);  // 128 + 127 after clipping
  WriteUnit<SampleLayout::kUInt8, double>(&b8, -1.0);
  EXPECT_EQ(b8, 0);

  std::int16_t s16;
  auto* p16 = reinterpret_cast<std::uint8_t*>(&s16);
  WriteUnit<SampleLayout::kInt16, double>(p16, 1.0);
  EXPECT_EQ(s16, 32767);
  WriteUnit<SampleLayout::kInt16, double>(p16, -1.0);
  EXPECT_EQ(s16, -32768);
  WriteUnit<SampleLayout::kInt16, float>(p16, 2.5f / 32768.0f);
  EXPECT_EQ(s16, 2);  // ties to even

  std::int32_t s32;
  auto* p32 = reinterpret_cast<std::uint8_t*>(&s32);
  WriteUnit<SampleLayout::kInt32, double>(p32, -1.0);
  EXPECT_EQ(s32, -2147483647);
  WriteUnit<SampleLayout::kInt32, double>(p32, 1.0);
  EXPECT_EQ(s32, 2147483647);

  float f = 1.75f;
  auto* pf = reinterpret_cast<std::uint8_t*>(&f);
  EXPECT_EQ((ReadUnit<SampleLayout::kFloat32, double>(pf)), 1.75);  // not limited on reading
  f = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ((ReadUnit<SampleLayout::kFloat32, float>(pf)), 0.0f);
}

TEST(SampleFormat, NativeScaleEdgeValues) {
  std::int16_t s16;
  auto* p16 = reinterpret_cast<std::uint8_t*>(&s16);
  const std::pair<float, std::int16_t> writes[] = {
      {2.5f, 2}, {3.5f, 4}, {-2.5f, -2}, {40000.0f, 32767}, {-40000.0f, -32768}};
  for (auto [v, code] : writes) {
    WriteNative<SampleLayout::kInt16>(p16, v);
    EXPECT_EQ(s16, code) << v;
  }

  std::int32_t s32 = 100000;
  auto* p32 = reinterpret_cast<std::uint8_t*>(&s32);
  WriteNative<SampleLayout::kInt32>(p32, ReadNative<SampleLayout::kInt32>(p32));
  EXPECT_EQ(s32, 98304);  // round(100000 / 32768) = 3, times 32768
  WriteNative<SampleLayout::kInt32>(p32, 1e30f);
  EXPECT_EQ(s32, 2147483647);
  WriteNative<SampleLayout::kInt32>(p32, -1e30f);
  EXPECT_EQ(s32, -2147483647);

  std::uint8_t b8 = 0;
  EXPECT_EQ(ReadNative<SampleLayout::kUInt8>(&b8), -128.0f);
  WriteNative<SampleLayout::kUInt8>(&b8, 300.0f);
  EXPECT_EQ(b8, 255);

  float f = 0;
  auto* pf = reinterpret_cast<std::uint8_t*>(&f);
  WriteNative<SampleLayout::kFloat32>(pf, 3.25f);
  EXPECT_EQ(f, 3.25f);  // floats are stored without clipping
}

// Every code of each layout (sampled for the wide ones) survives reading
// and writing back unchanged, in both schemes where they are exact.
TEST(SampleFormat, RoundTripsOfTheFiveLayouts) {
  for (int c = 0; c < 256; ++c) {
    auto b = static_cast<std::uint8_t>(c), u = b, n = b;
    WriteUnit<SampleLayout::kUInt8, double>(&u, ReadUnit<SampleLayout::kUInt8, double>(&b));
    WriteNative<SampleLayout::kUInt8>(&n, ReadNative<SampleLayout::kUInt8>(&b));
    ASSERT_EQ(u, b);
    ASSERT_EQ(n, b);
  }
  for (int c = -32768; c <= 32767; ++c) {
    auto v = static_cast<std::int16_t>(c);
    std::int16_t u = 0, n = 0, f = 0;
    auto* pv = reinterpret_cast<std::uint8_t*>(&v);
    WriteUnit<SampleLayout::kInt16, float>(reinterpret_cast<std::uint8_t*>(&u),
                                           ReadUnit<SampleLayout::kInt16, float>(pv));
    WriteNative<SampleLayout::kInt16>(reinterpret_cast<std::uint8_t*>(&n),
                                      ReadNative<SampleLayout::kInt16>(pv));
    WriteUnit<SampleLayout::kInt16, double>(reinterpret_cast<std::uint8_t*>(&f),
                                            ReadUnit<SampleLayout::kInt16, double>(pv));
    ASSERT_EQ(u, v);
    ASSERT_EQ(n, v);
    ASSERT_EQ(f, v);
  }
  for (std::int32_t c = -8388608; c <= 8388607; c += 997) {
    for (std::int32_t code : {c, 8388607, -8388608}) {
      std::uint8_t in[3], u[3], n[3];
      WriteInt24(in, code);
      WriteUnit<SampleLayout::kInt24, float>(u, ReadUnit<SampleLayout::kInt24, float>(in));
      WriteNative<SampleLayout::kInt24>(n, ReadNative<SampleLayout::kInt24>(in));
      ASSERT_EQ(ReadInt24(u), code);
      ASSERT_EQ(ReadInt24(n), code);
    }
  }
  // 32-bit integers are exact in double precision (but -2^31 clips to
  // -2147483647).
  for (std::int64_t c = -2147483647; c <= 2147483647; c += 65521 * 17) {
    auto v = static_cast<std::int32_t>(c);
    std::int32_t u = 0;
    WriteUnit<SampleLayout::kInt32, double>(
        reinterpret_cast<std::uint8_t*>(&u),
        ReadUnit<SampleLayout::kInt32, double>(reinterpret_cast<std::uint8_t*>(&v)));
    ASSERT_EQ(u, v);
  }
  for (float v : {0.0f, 0.5f, -1.0f, 1.0f, 1e-30f, 12.5f}) {
    float u = 0, n = 0;
    auto* pv = reinterpret_cast<std::uint8_t*>(&v);
    WriteUnit<SampleLayout::kFloat32, float>(reinterpret_cast<std::uint8_t*>(&u),
                                             ReadUnit<SampleLayout::kFloat32, float>(pv));
    WriteNative<SampleLayout::kFloat32>(reinterpret_cast<std::uint8_t*>(&n),
                                        ReadNative<SampleLayout::kFloat32>(pv));
    ASSERT_EQ(u, v);
    ASSERT_EQ(n, v);
  }
}

TEST(SampleFormat, IntegerGainTruncatesTowardZeroAndClips) {
  struct Case {
    std::int32_t code, gain, out;
  };
  const Case cases16[] = {{20000, 20000, 32767}, {-20001, 20000, -32768}, {3, 5000, 1},
                          {-3, 5000, -1},        {1234, 10000, 1234},     {-32768, 10000, -32768},
                          {100, 0, 0},           {100, -10000, -100}};
  for (const Case& c : cases16) {
    auto v = static_cast<std::int16_t>(c.code);
    sample::ApplyGain<SampleLayout::kInt16>(reinterpret_cast<std::uint8_t*>(&v), c.gain, 0);
    EXPECT_EQ(v, c.out) << c.code << " x " << c.gain;
  }
  std::int32_t v32 = 2000000000;
  sample::ApplyGain<SampleLayout::kInt32>(reinterpret_cast<std::uint8_t*>(&v32), 20000, 0);
  EXPECT_EQ(v32, 2147483647);  // the product is formed in 64 bits
  v32 = -2000000000;
  sample::ApplyGain<SampleLayout::kInt32>(reinterpret_cast<std::uint8_t*>(&v32), 20000, 0);
  EXPECT_EQ(v32, -2147483647);
  for (int c = 0; c < 256; ++c) {
    auto b = static_cast<std::uint8_t>(c);
    sample::ApplyGain<SampleLayout::kUInt8>(&b, 10000, 0);
    ASSERT_EQ(b, c);
  }
  std::uint8_t b24[3];
  WriteInt24(b24, -8000000);
  sample::ApplyGain<SampleLayout::kInt24>(b24, 15000, 0);
  EXPECT_EQ(ReadInt24(b24), -8388608);
}

TEST(SampleFormat, ProcessingBlocksOf8192Frames) {
  std::vector<std::uint8_t> buf(80000 + 3);  // 20000 16-bit stereo frames and a partial one
  std::vector<std::pair<std::ptrdiff_t, int>> blocks;
  ForEachProcessingBlock(
      buf.data(), 80000, SampleLayout::kInt16, 2,
      [&](std::uint8_t* p, int frames) { blocks.emplace_back(p - buf.data(), frames); });
  const std::vector<std::pair<std::ptrdiff_t, int>> want = {
      {0, 8192}, {32768, 8192}, {65536, 14464 / 4}};
  EXPECT_EQ(blocks, want);

  blocks.clear();
  ForEachProcessingBlock(
      buf.data(), 80003, SampleLayout::kInt16, 2,
      [&](std::uint8_t* p, int frames) { blocks.emplace_back(p - buf.data(), frames); });
  EXPECT_EQ(blocks.back(), (std::pair<std::ptrdiff_t, int>{65536, 3616}));  // partial frame left

  int calls = 0;
  auto count = [&](std::uint8_t*, int) { ++calls; };
  ForEachProcessingBlock(buf.data(), 80000, SampleLayout::kUnsupported, 2, count);
  ForEachProcessingBlock(buf.data(), 80000, SampleLayout::kInt16, 0, count);
  ForEachProcessingBlock(buf.data(), -4, SampleLayout::kInt16, 2, count);
  ForEachProcessingBlock(nullptr, 80000, SampleLayout::kInt16, 2, count);
  ForEachProcessingBlock(buf.data(), 3, SampleLayout::kInt16, 2, count);  // less than a frame
  EXPECT_EQ(calls, 0);
}

TEST(SampleFormat, StreamDescriptorIsTwentyEightBytesInFieldOrder) {
  TDSStream s;
  s.Size = 1;
  s.Frequency = 2;
  s.Channels = 3;
  s.Bits = 4;
  s.Float = BOOL_TRUE;
  s.SPDIF = 6;
  s.DTS = 7;
  std::int32_t raw[7];
  static_assert(sizeof(raw) == sizeof(TDSStream));
  std::memcpy(raw, &s, sizeof raw);
  const std::int32_t want[7] = {1, 2, 3, 4, -1, 6, 7};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(raw[i], want[i]) << i;
}

}  // namespace
