#include "audio/amplify.h"

#include <gtest/gtest.h>

#include <vector>

#include "audio/dynamic_amplify.h"
#include "audio/sample_format.h"
#include "test_signals.h"

namespace {

using test_signals::Bytes;

ComPtr<TDCAmplify> EnabledAmp(LONG gain) {
  auto amp = MakeCom<TDCAmplify>();
  amp->set_Enabled(BOOL_TRUE);
  amp->set_Volume(0, gain);
  return amp;
}

TEST(Amplify, CreationStateAndInterfaceLimits) {
  auto amp = MakeCom<TDCAmplify>();
  BOOL b = 7;
  amp->get_Enabled(&b);
  EXPECT_EQ(b, BOOL_FALSE);
  amp->get_Seperate(&b);
  EXPECT_EQ(b, BOOL_FALSE);
  LONG v = 0;
  for (BYTE c = 0; c < 10; ++c) {
    amp->get_Volume(c, &v);
    EXPECT_EQ(v, 10000);
  }
  amp->set_Volume(10, 5);  // ignored
  amp->get_Volume(10, &v);
  EXPECT_EQ(v, 0);
  amp->set_Volume(3, -123456);  // any value is accepted
  amp->get_Volume(3, &v);
  EXPECT_EQ(v, -123456);
  amp->set_Enabled(1);  // any non-zero value is true, reported as -1
  amp->get_Enabled(&b);
  EXPECT_EQ(b, BOOL_TRUE);
  EXPECT_EQ(amp->get_Enabled(nullptr), E_POINTER);
}

TEST(Amplify, SixteenBitGains) {
  struct Case {
    LONG gain;
    std::int16_t in, out;
  };
  const Case cases[] = {{20000, 20000, 32767}, {20000, -20001, -32768}, {5000, 3, 1},
                        {5000, -3, -1},        {10000, 12345, 12345},   {0, 12345, 0}};
  for (const Case& c : cases) {
    auto amp = EnabledAmp(c.gain);
    std::vector<std::int16_t> buf = {c.in, c.in};
    amp->Process(buf.data(), Bytes(buf), 16, 2, false);
    EXPECT_EQ(buf[0], c.out) << c.in << " x " << c.gain;
    EXPECT_EQ(buf[1], c.out);
  }
}

TEST(Amplify, DisabledOrUnsupportedLeavesBufferUntouched) {
  auto amp = MakeCom<TDCAmplify>();
  amp->set_Volume(0, 20000);
  std::vector<std::int16_t> buf = {1000, -1000};
  amp->Process(buf.data(), Bytes(buf), 16, 2, false);
  EXPECT_EQ(buf, (std::vector<std::int16_t>{1000, -1000}));
  amp->set_Enabled(BOOL_TRUE);
  amp->Process(buf.data(), Bytes(buf), 20, 2, false);
  amp->Process(buf.data(), Bytes(buf), 16, 0, false);
  EXPECT_EQ(buf, (std::vector<std::int16_t>{1000, -1000}));
}

TEST(Amplify, EightBitUnityLeavesEveryCode) {
  auto amp = EnabledAmp(10000);
  std::vector<std::uint8_t> buf(256);
  for (int i = 0; i < 256; ++i) buf[i] = static_cast<std::uint8_t>(i);
  const auto before = buf;
  amp->Process(buf.data(), Bytes(buf), 8, 1, false);
  EXPECT_EQ(buf, before);
}

TEST(Amplify, SeparateGainsAndChannelsBeyondTheTenthAreSilenced) {
  auto amp = EnabledAmp(10000);
  amp->set_Seperate(BOOL_TRUE);
  for (BYTE c = 0; c < 10; ++c) amp->set_Volume(c, 10000 + 1000 * c);
  const int channels = 12, frames = 9000;  // spans two processing blocks
  std::vector<std::int16_t> buf(static_cast<std::size_t>(frames) * channels, 1000);
  amp->Process(buf.data(), Bytes(buf), 16, channels, false);
  for (int n : {0, frames - 1}) {
    for (int c = 0; c < channels; ++c) {
      const int want = c < 10 ? 1000 + 100 * c : 0;
      EXPECT_EQ(buf[static_cast<std::size_t>(n) * channels + c], want) << "channel " << c;
    }
  }
}

TEST(Amplify, WithoutSeparateEveryChannelUsesChannelZero) {
  auto amp = EnabledAmp(20000);
  amp->set_Volume(1, 0);
  std::vector<std::int32_t> buf = {1000, -1000, 7, 8};
  amp->Process(buf.data(), Bytes(buf), 32, 2, false);
  EXPECT_EQ(buf, (std::vector<std::int32_t>{2000, -2000, 14, 16}));
  std::uint8_t b24[6];
  WriteInt24(b24, 5000000);
  WriteInt24(b24 + 3, -5);
  amp->Process(b24, 6, 24, 2, false);
  EXPECT_EQ(ReadInt24(b24), 8388607);
  EXPECT_EQ(ReadInt24(b24 + 3), -10);
}

TEST(Amplify, FloatSamplesAreSinglePrecisionProducts) {
  auto amp = EnabledAmp(12345);
  const float f = static_cast<float>(12345 / 10000.0);
  std::vector<float> buf(20000);
  for (std::size_t i = 0; i < buf.size(); ++i) buf[i] = 0.37f * std::sin(0.01f * i) * (i % 7);
  auto want = buf;
  for (auto& v : want) v = v * f;
  amp->Process(buf.data(), Bytes(buf), 32, 2, true);
  EXPECT_EQ(buf, want);  // bit-identical, and not clipped
  std::vector<float> big = {0.9f};
  amp->set_Volume(0, 30000);
  amp->Process(big.data(), Bytes(big), 32, 1, true);
  EXPECT_FLOAT_EQ(big[0], 2.7f);
}

TEST(DynamicAmplify, HoldsParametersAndLeavesBuffersBitIdentical) {
  auto dyn = MakeCom<TDCDynamicAmplify>();
  DWORD v = 0;
  dyn->get_AttackTime(&v);
  EXPECT_EQ(v, 1000u);
  dyn->get_ReleaseTime(&v);
  EXPECT_EQ(v, 3000u);
  dyn->get_MaxAmplification(&v);
  EXPECT_EQ(v, 10000u);
  dyn->set_AttackTime(7);
  dyn->set_ReleaseTime(0xFFFFFFFF);
  dyn->set_MaxAmplification(3);
  dyn->get_AttackTime(&v);
  EXPECT_EQ(v, 7u);
  dyn->get_ReleaseTime(&v);
  EXPECT_EQ(v, 0xFFFFFFFFu);
  dyn->get_MaxAmplification(&v);
  EXPECT_EQ(v, 3u);
  float amp = 0;
  dyn->get_CurrentAmplification(&amp);
  EXPECT_EQ(amp, 1.0f);

  for (BOOL on : {BOOL_FALSE, BOOL_TRUE}) {
    dyn->set_Enabled(on);
    std::vector<std::int16_t> buf = {1, -2, 32767, -32768};
    const auto before = buf;
    TDSStream s{8, 44100, 2, 16, BOOL_FALSE, BOOL_FALSE, BOOL_FALSE};
    static_cast<TDCEffect*>(dyn.get())->ProcessStream(buf.data(), Bytes(buf), s);
    EXPECT_EQ(buf, before);
  }
}

}  // namespace
