#include "audio/equalizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "audio/sample_format.h"
#include "test_signals.h"

namespace {

using test_signals::Bytes;
using test_signals::Peak;
using test_signals::Sine;

ComPtr<TDCEqualizer> PlayerEqualizer() {
  auto eq = MakeCom<TDCEqualizer>();
  eq->set_FFTSize(TDCFFTSize::fts2048);
  eq->SetEnabled(true);
  return eq;
}

void SetBins(TDCEqualizer& eq, BYTE channel, int from, int to, int band) {
  for (int k = from; k <= to; ++k) {
    eq.set_Band(channel, static_cast<WORD>(k), static_cast<std::int8_t>(band));
  }
}

void RunFloat(TDCEqualizer& eq, std::vector<float>& buf, int channels) {
  eq.Process(buf.data(), Bytes(buf), 32, channels, true);
}

// Magnitude in dB of the response h at bin k of an n-point transform.
double ResponseDb(const std::vector<float>& h, int n, int k) {
  std::complex<double> s = 0;
  for (int i = 0; i < static_cast<int>(h.size()); ++i) {
    s += static_cast<double>(h[i]) * std::polar(1.0, -2 * std::numbers::pi * k * i / n);
  }
  return 20 * std::log10(std::abs(s));
}

std::vector<float> ImpulseResponse(TDCEqualizer& eq, int length) {
  std::vector<float> buf(length, 0.0f);
  buf[0] = 1.0f;
  RunFloat(eq, buf, 1);
  return buf;
}

TEST(Equalizer, BandValuesRoundTripAndOutOfRangeIsIgnored) {
  auto eq = MakeCom<TDCEqualizer>();
  std::int8_t b = 99;
  eq->get_Band(0, 5, &b);
  EXPECT_EQ(b, 0);  // unity
  for (int v = -128; v <= 127; ++v) {
    eq->set_Band(3, 100, static_cast<std::int8_t>(v));
    eq->get_Band(3, 100, &b);
    ASSERT_EQ(b, v);
  }
  eq->set_Band(10, 5, 50);
  eq->set_Band(0, 8192, 50);
  eq->set_Band(0, 8191, 50);
  eq->get_Band(10, 5, &b);
  EXPECT_EQ(b, 0);
  eq->get_Band(0, 8192, &b);
  EXPECT_EQ(b, 0);
  eq->get_Band(0, 5, &b);
  EXPECT_EQ(b, 0);
  eq->get_Band(0, 8191, &b);
  EXPECT_EQ(b, 50);
  EXPECT_EQ(TDCEqualizer::BandToGain(100), 20.0f);
  EXPECT_EQ(TDCEqualizer::BandToGain(0), 2.0f);
}

TEST(Equalizer, CreationStateAndSizeSetting) {
  auto eq = MakeCom<TDCEqualizer>();
  TDCFFTSize size{};
  eq->get_FFTSize(&size);
  EXPECT_EQ(size, TDCFFTSize::fts1024);
  BOOL b = 1;
  eq->get_Enabled(&b);
  EXPECT_EQ(b, BOOL_FALSE);
  eq->get_Seperate(&b);
  EXPECT_EQ(b, BOOL_FALSE);
  EXPECT_EQ(eq->set_FFTSize(static_cast<TDCFFTSize>(13)), E_INVALIDARG);
  eq->get_FFTSize(&size);
  EXPECT_EQ(size, TDCFFTSize::fts1024);
  EXPECT_EQ(eq->get_Band(0, 0, nullptr), E_POINTER);
}

// All band values 0: flat within +-0.002 dB from bin 20 to bin 1000, about
// +1 dB towards 0 Hz and -1.2 dB at half the rate, centred 256 samples late.
TEST(Equalizer, FlatResponseAndDelayAtTheChainSize) {
  auto eq = PlayerEqualizer();
  const auto h = ImpulseResponse(*eq, 4096);
  EXPECT_EQ(eq->FFTSizeInt(), 2048);
  const auto peak = std::max_element(h.begin(), h.end(),
                                     [](float a, float b) { return std::abs(a) < std::abs(b); });
  EXPECT_EQ(peak - h.begin(), 256);
  for (int i = 513; i < 4096; ++i) ASSERT_LT(std::abs(h[i]), 1e-6f) << "513 taps only";
  const std::vector<float> taps(h.begin(), h.begin() + 513);
  double lo = 1e9, hi = -1e9;
  for (int k = 20; k <= 1000; ++k) {
    const double db = ResponseDb(taps, 2048, k);
    lo = std::min(lo, db);
    hi = std::max(hi, db);
  }
  EXPECT_GT(lo, -0.002);
  EXPECT_LT(hi, 0.002);
  EXPECT_NEAR(ResponseDb(taps, 2048, 0), 1.0, 0.25);
  EXPECT_NEAR(ResponseDb(taps, 2048, 1024), -1.2, 0.25);
}

TEST(Equalizer, DelayIsAnEighthOfTheSizeAtEverySize) {
  for (int ord = 0; ord <= 12; ++ord) {
    const auto size = static_cast<TDCFFTSize>(ord);
    const int n = FFTPoints(size);
    SCOPED_TRACE("N = " + std::to_string(n));
    auto eq = MakeCom<TDCEqualizer>();
    eq->set_FFTSize(size);
    eq->SetEnabled(true);
    const auto h = ImpulseResponse(*eq, 2 * n);
    for (float v : h) ASSERT_TRUE(std::isfinite(v));
    if (n < 16) continue;  // the tiniest kernels are all window slope
    const auto peak = std::max_element(h.begin(), h.end(),
                                       [](float a, float b) { return std::abs(a) < std::abs(b); });
    EXPECT_EQ(peak - h.begin(), n / 8);
  }
}

TEST(Equalizer, FlatSineComesOutUnchanged256SamplesLater) {
  auto eq = PlayerEqualizer();
  const auto in = test_signals::ToInt16(Sine(20000, 1, 1000, 44100, 0.5));
  auto out = in;
  eq->Process(out.data(), Bytes(out), 16, 1, false);
  for (int n = 512; n + 256 < 20000; ++n) ASSERT_NEAR(out[n + 256], in[n], 2) << n;
}

TEST(Equalizer, BandBoostMeasuredOnSines) {
  auto eq = PlayerEqualizer();
  SetBins(*eq, 0, 48, 99, 60);  // the player's band 5 (1034-2153 Hz) at +12 dB
  for (auto [hz, want_db] : {std::pair{1500.0, 12.0}, {300.0, 0.0}, {8000.0, 0.0}}) {
    auto buf = Sine(20000, 1, hz, 44100, 0.1);
    RunFloat(*eq, buf, 1);
    EXPECT_NEAR(20 * std::log10(Peak(buf, 1, 0, 4000) / 0.1), want_db, 0.05) << hz << " Hz";
  }
}

TEST(Equalizer, ShortBuffersContinueWithoutAClick) {
  auto whole = PlayerEqualizer(), split = PlayerEqualizer();
  SetBins(*whole, 0, 9, 40, 40);
  SetBins(*split, 0, 9, 40, 40);
  auto in = Sine(40000, 2, 440, 44100, 0.3);
  const auto other = Sine(40000, 2, 3100, 44100, 0.2, 1.0);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] += other[i];

  auto a = in, b = in;
  RunFloat(*whole, a, 2);
  std::size_t frame = 0;
  for (std::size_t len : {1u, 100u, 1000u, 1535u, 1536u, 1537u, 7u, 9000u, 20000u, 100000u}) {
    len = std::min(len, in.size() / 2 - frame);
    split->Process(b.data() + 2 * frame, static_cast<int>(len * 8), 32, 2, true);
    frame += len;
  }
  ASSERT_EQ(frame * 2, in.size());
  double worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(double(a[i]) - b[i]));
  EXPECT_LT(worst, 2e-6);

  // The same in 16-bit codes: at most one code apart where rounding differs.
  auto wi = PlayerEqualizer(), si = PlayerEqualizer();
  const auto codes = test_signals::ToInt16(in);
  auto ca = codes, cb = codes;
  wi->Process(ca.data(), Bytes(ca), 16, 2, false);
  for (std::size_t f = 0; f < codes.size() / 2; f += 700) {
    const std::size_t len = std::min<std::size_t>(700, codes.size() / 2 - f);
    si->Process(cb.data() + 2 * f, static_cast<int>(len * 4), 16, 2, false);
  }
  for (std::size_t i = 0; i < ca.size(); ++i) ASSERT_NEAR(ca[i], cb[i], 1) << i;
}

TEST(Equalizer, FloatKeepsValuesBeyondFullScaleAndIntegersClip) {
  auto eq = PlayerEqualizer();
  SetBins(*eq, 0, 0, 1023, 100);  // +20 dB everywhere
  auto f = Sine(10000, 1, 1000, 44100, 0.5);
  RunFloat(*eq, f, 1);
  EXPECT_NEAR(Peak(f, 1, 0, 2000), 5.0, 0.05);

  auto eq16 = PlayerEqualizer();
  SetBins(*eq16, 0, 0, 1023, 100);
  auto s = test_signals::ToInt16(Sine(10000, 1, 1000, 44100, 0.5));
  eq16->Process(s.data(), Bytes(s), 16, 1, false);
  EXPECT_EQ(*std::max_element(s.begin() + 2000, s.end()), 32767);
  EXPECT_EQ(*std::min_element(s.begin() + 2000, s.end()), -32768);

  // 32-bit integer streams come back as multiples of 32768.
  auto eq32 = PlayerEqualizer();
  std::vector<std::int32_t> i32(5000);
  for (std::size_t i = 0; i < i32.size(); ++i) {
    i32[i] = static_cast<std::int32_t>(1e9 * std::sin(0.05 * static_cast<double>(i)));
  }
  eq32->Process(i32.data(), Bytes(i32), 32, 1, false);
  for (std::int32_t v : i32) ASSERT_EQ(v % 32768, 0);
}

TEST(Equalizer, EightAndTwentyFourBitStreamsAreFiltered) {
  auto eq = PlayerEqualizer();
  const int frames = 6000;
  std::vector<std::uint8_t> b8(frames), b24(3 * frames);
  for (int n = 0; n < frames; ++n) {
    const double v = std::sin(2 * std::numbers::pi * 1000 * n / 44100);
    b8[n] = static_cast<std::uint8_t>(128 + std::lrint(100 * v));
    WriteInt24(&b24[3 * n], static_cast<std::int32_t>(std::lrint(4000000 * v)));
  }
  const auto in8 = b8, in24 = b24;
  eq->Process(b8.data(), frames, 8, 1, false);
  auto eq24 = PlayerEqualizer();
  eq24->Process(b24.data(), 3 * frames, 24, 1, false);
  for (int n = 600; n + 256 < frames; ++n) {
    ASSERT_NEAR(b8[n + 256], in8[n], 1) << n;
    ASSERT_NEAR(ReadInt24(&b24[3 * (n + 256)]), ReadInt24(&in24[3 * n]), 300) << n;
  }
}

TEST(Equalizer, UnsupportedBitsOrDisabledLeaveTheBufferUntouched) {
  auto eq = PlayerEqualizer();
  std::vector<std::int16_t> buf(3000, 1234);
  const auto before = buf;
  eq->Process(buf.data(), Bytes(buf), 20, 1, false);
  eq->Process(buf.data(), Bytes(buf), 16, 0, false);
  EXPECT_EQ(buf, before);
  eq->set_Enabled(BOOL_FALSE);
  eq->Process(buf.data(), Bytes(buf), 16, 1, false);
  EXPECT_EQ(buf, before);
}

// The interface's set_Enabled keeps the overlap memory; the Enabled
// property clears it when switching on.
TEST(Equalizer, EnabledPropertyFlushesButTheInterfaceSetterDoesNot) {
  for (bool property : {false, true}) {
    auto eq = PlayerEqualizer();
    auto loud = Sine(3000, 1, 500, 44100, 0.8);
    RunFloat(*eq, loud, 1);
    if (property) {
      eq->SetEnabled(false);
      eq->SetEnabled(true);
    } else {
      eq->set_Enabled(BOOL_FALSE);
      eq->set_Enabled(BOOL_TRUE);
    }
    std::vector<float> silence(1000, 0.0f);
    RunFloat(*eq, silence, 1);
    if (property) {
      EXPECT_EQ(Peak(silence, 1, 0), 0.0) << "flushed";
    } else {
      EXPECT_GT(Peak(silence, 1, 0), 0.1) << "the previous block's tail continues";
    }
  }
}

TEST(Equalizer, SeparateChannelsUseTheirOwnGains) {
  auto eq = PlayerEqualizer();
  eq->set_Seperate(BOOL_TRUE);
  SetBins(*eq, 1, 0, 1023, 60);  // channel 1: +12 dB everywhere
  // A mono buffer first: the spectra are made for every channel, so the
  // stereo buffer that follows finds channel 1's ready.
  std::vector<float> mono(100, 0.0f);
  RunFloat(*eq, mono, 1);
  auto buf = Sine(10000, 2, 1000, 44100, 0.1);
  RunFloat(*eq, buf, 2);
  EXPECT_NEAR(20 * std::log10(Peak(buf, 2, 0, 3000) / 0.1), 0.0, 0.05);
  EXPECT_NEAR(20 * std::log10(Peak(buf, 2, 1, 3000) / 0.1), 12.0, 0.05);

  // Switching back: every channel uses channel 0's gains again.
  eq->set_Seperate(BOOL_FALSE);
  auto again = Sine(10000, 2, 1000, 44100, 0.1);
  RunFloat(*eq, again, 2);
  EXPECT_NEAR(20 * std::log10(Peak(again, 2, 1, 3000) / 0.1), 0.0, 0.05);
}

TEST(Equalizer, ChannelsBeyondTheTenthPassThrough) {
  auto eq = PlayerEqualizer();
  const int channels = 12;
  auto buf = Sine(3000, channels, 700, 44100, 0.5);
  const auto in = buf;
  RunFloat(*eq, buf, channels);
  for (std::size_t i = 0; i < buf.size(); i += channels) {
    ASSERT_EQ(buf[i + 10], in[i + 10]);
    ASSERT_EQ(buf[i + 11], in[i + 11]);
  }
  // Channels 0 to 9 are filtered and delayed.
  EXPECT_NEAR(buf[(1000 + 256) * channels], in[1000 * channels], 1e-3);
  EXPECT_NEAR(buf[(1000 + 256) * channels + 9], in[1000 * channels + 9], 1e-3);
  EXPECT_GT(std::abs(buf[1000 * channels + 9] - in[1000 * channels + 9]), 0.1);
}

TEST(Equalizer, NonFiniteFloatSamplesReadAsSilence) {
  auto eq = PlayerEqualizer();
  std::vector<float> buf(3000, 0.0f);
  buf[10] = std::numeric_limits<float>::quiet_NaN();
  buf[11] = std::numeric_limits<float>::infinity();
  RunFloat(*eq, buf, 1);
  for (float v : buf) ASSERT_EQ(v, 0.0f);
}

}  // namespace
