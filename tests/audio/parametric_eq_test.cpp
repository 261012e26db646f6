#include "audio/parametric_eq.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "audio/sample_format.h"
#include "test_signals.h"

namespace {

using test_signals::Bytes;
using test_signals::Peak;
using test_signals::Sine;

// The cookbook peaking section, written out independently.
struct ReferencePeak {
  double b0, b1, b2, a0, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

  ReferencePeak(double f0, double db, double q, double rate) {
    const double a = std::pow(10.0, db / 40), w0 = 2 * std::numbers::pi * f0 / rate;
    const double alpha = std::sin(w0) / (2 * q);
    b0 = 1 + alpha * a;
    b1 = -2 * std::cos(w0);
    b2 = 1 - alpha * a;
    a0 = 1 + alpha / a;
    a1 = -2 * std::cos(w0);
    a2 = 1 - alpha / a;
  }
  float Step(float x) {
    const auto y = static_cast<float>((b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
  double MagnitudeDb(double f, double rate) const {
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * f / rate);
    const std::complex<double> h = (b0 + b1 * z1 + b2 * z1 * z1) / (a0 + a1 * z1 + a2 * z1 * z1);
    return 20 * std::log10(std::abs(h));
  }
};

ComPtr<TDCParametricEQ> Peaking(float hz, float db, float q) {
  auto eq = MakeCom<TDCParametricEQ>();
  eq->set_Enabled(BOOL_TRUE);
  eq->set_Frequency(0, hz);
  eq->set_Gain(0, db);
  eq->set_Q(0, q);
  return eq;
}

void RunFloat(TDCParametricEQ& eq, std::vector<float>& buf, int channels, int rate = 44100) {
  eq.Process(buf.data(), Bytes(buf), rate, 32, channels, true);
}

TEST(ParametricEQ, CreationStateAndInterface) {
  auto eq = MakeCom<TDCParametricEQ>();
  float v = 0;
  eq->get_Frequency(0, &v);
  EXPECT_EQ(v, 8000.0f);
  eq->get_Gain(9, &v);
  EXPECT_EQ(v, 0.0f);
  eq->get_Q(4, &v);
  EXPECT_EQ(v, 1.0f);
  eq->set_Q(10, 5.0f);  // ignored
  eq->get_Q(10, &v);
  EXPECT_EQ(v, 0.0f);
  BOOL b = 1;
  eq->get_Enabled(&b);
  EXPECT_EQ(b, BOOL_FALSE);
  eq->get_Seperate(&b);
  EXPECT_EQ(b, BOOL_FALSE);
}

TEST(ParametricEQ, MatchesTheReferenceSectionSampleBySample) {
  const float hz = 1000, db = 9, q = 2;
  auto eq = Peaking(hz, db, q);
  ReferencePeak ref(hz, db, q, 44100);
  auto buf = Sine(20000, 1, 700, 44100, 0.4);
  const auto other = Sine(20000, 1, 3000, 44100, 0.2);
  for (std::size_t i = 0; i < buf.size(); ++i) buf[i] += other[i];
  std::vector<float> want(buf.size());
  for (std::size_t i = 0; i < buf.size(); ++i) want[i] = ClipFloat(ref.Step(buf[i]));
  RunFloat(*eq, buf, 1);
  for (std::size_t i = 0; i < buf.size(); ++i) ASSERT_NEAR(buf[i], want[i], 1e-6) << i;
}

TEST(ParametricEQ, SteadyStateResponseFollowsTheCookbookFormula) {
  const float hz = 1000, db = 9, q = 2;
  const ReferencePeak ref(hz, db, q, 44100);
  for (double f : {100.0, 500.0, 900.0, 1000.0, 1100.0, 2000.0, 10000.0}) {
    auto eq = Peaking(hz, db, q);
    auto buf = Sine(44100, 1, f, 44100, 0.1);
    RunFloat(*eq, buf, 1);
    const double got = 20 * std::log10(Peak(buf, 1, 0, 22050) / 0.1);
    EXPECT_NEAR(got, ref.MagnitudeDb(f, 44100), 0.01) << f << " Hz";
  }
  EXPECT_NEAR(ref.MagnitudeDb(1000, 44100), 9.0, 1e-9);
}

TEST(ParametricEQ, ZeroDecibelsIsTransparent) {
  auto eq = MakeCom<TDCParametricEQ>();
  eq->set_Enabled(BOOL_TRUE);
  const auto in = test_signals::ToInt16(Sine(20000, 2, 1234, 44100, 0.9));
  auto buf = in;
  eq->Process(buf.data(), Bytes(buf), 44100, 16, 2, false);
  EXPECT_EQ(buf, in);
}

TEST(ParametricEQ, BandAtOrAboveHalfTheRateIsBypassed) {
  for (float hz : {22050.0f, 30000.0f}) {
    auto eq = Peaking(hz, 12, 1);
    auto buf = Sine(5000, 1, 18000, 44100, 0.7);
    const auto in = buf;
    RunFloat(*eq, buf, 1);
    EXPECT_EQ(buf, in) << hz;
    EXPECT_TRUE(eq->SectionOf(0).bypass);
  }
  auto below = Peaking(22049, 12, 1);
  std::vector<float> one(4, 0.1f);
  RunFloat(*below, one, 1);
  EXPECT_FALSE(below->SectionOf(0).bypass);
}

TEST(ParametricEQ, FrequencyBelowOneHertzIsOneHertz) {
  auto a = Peaking(0.5f, 6, 1), b = Peaking(1.0f, 6, 1);
  std::vector<float> buf(4, 0.0f);
  RunFloat(*a, buf, 1);
  RunFloat(*b, buf, 1);
  EXPECT_EQ(a->SectionOf(0).alpha, b->SectionOf(0).alpha);
  EXPECT_EQ(a->SectionOf(0).b1, b->SectionOf(0).b1);
  EXPECT_EQ(a->SectionOf(0).b0, b->SectionOf(0).b0);
}

// A gain change keeps the histories; a frequency or Q change clears them.
TEST(ParametricEQ, RecomputationRules) {
  for (int change = 0; change < 3; ++change) {
    auto eq = Peaking(1000, 12, 4);
    auto loud = Sine(2000, 1, 1000, 44100, 0.5);
    RunFloat(*eq, loud, 1);
    if (change == 0) eq->set_Gain(0, 6);
    if (change == 1) eq->set_Frequency(0, 1200);
    if (change == 2) eq->set_Q(0, 3);
    std::vector<float> silence(50, 0.0f);
    RunFloat(*eq, silence, 1);
    if (change == 0) {
      EXPECT_GT(Peak(silence, 1, 0), 0.01) << "the section rings on";
    } else {
      EXPECT_EQ(Peak(silence, 1, 0), 0.0) << "histories cleared";
    }
  }
  // A new sample rate recomputes and clears as well.
  auto eq = Peaking(1000, 12, 4);
  auto loud = Sine(2000, 1, 1000, 44100, 0.5);
  RunFloat(*eq, loud, 1);
  std::vector<float> silence(50, 0.0f);
  RunFloat(*eq, silence, 1, 48000);
  EXPECT_EQ(Peak(silence, 1, 0), 0.0);
}

TEST(ParametricEQ, ChannelsShareParametersButKeepTheirOwnHistories) {
  const int frames = 5000;
  auto left = Sine(frames, 1, 900, 44100, 0.3), right = Sine(frames, 1, 2500, 44100, 0.3, 2.0);
  std::vector<float> stereo(2 * frames);
  for (int n = 0; n < frames; ++n) {
    stereo[2 * n] = left[n];
    stereo[2 * n + 1] = right[n];
  }
  auto eq = Peaking(1000, 10, 1.5f);
  eq->set_Frequency(1, 5000);  // not used without the separate setting
  eq->set_Gain(1, -20);
  RunFloat(*eq, stereo, 2);
  auto mono = Peaking(1000, 10, 1.5f);
  auto l = left, r = right;
  RunFloat(*mono, l, 1);
  auto mono2 = Peaking(1000, 10, 1.5f);
  RunFloat(*mono2, r, 1);
  for (int n = 0; n < frames; ++n) {
    ASSERT_EQ(stereo[2 * n], l[n]) << n;
    ASSERT_EQ(stereo[2 * n + 1], r[n]) << n;
  }

  // With the separate setting, channel 1 uses its own parameters.
  auto sep = Peaking(1000, 10, 1.5f);
  sep->set_Seperate(BOOL_TRUE);
  sep->set_Frequency(1, 2500);
  sep->set_Gain(1, -20);
  sep->set_Q(1, 1);
  auto both = Sine(20000, 2, 2500, 44100, 0.5);
  RunFloat(*sep, both, 2);
  EXPECT_LT(Peak(both, 2, 1, 10000), 0.06);  // -20 dB at its centre
  EXPECT_GT(Peak(both, 2, 0, 10000), 0.5);   // channel 0's band boosts around 1 kHz
}

TEST(ParametricEQ, OpenCornersNeverBreakTheOutput) {
  // A Q of 0 or below bypasses the section.
  for (float q : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
    auto eq = Peaking(1000, 12, q);
    auto buf = Sine(2000, 1, 1000, 44100, 0.5);
    const auto in = buf;
    RunFloat(*eq, buf, 1);
    EXPECT_EQ(buf, in) << q;
  }
  // Absurd gains give non-finite coefficients: bypassed, never NaN.
  for (float db : {1e6f, -1e6f}) {
    auto eq = Peaking(1000, db, 1);
    auto buf = Sine(2000, 1, 1000, 44100, 0.5);
    RunFloat(*eq, buf, 1);
    for (float v : buf) ASSERT_TRUE(std::isfinite(v) && std::abs(v) <= 1.0f) << db;
  }
  // Float output is limited to full scale; integer output clips.
  auto boost = Peaking(1000, 20, 1);
  auto f = Sine(5000, 1, 1000, 44100, 0.5);
  RunFloat(*boost, f, 1);
  EXPECT_EQ(Peak(f, 1, 0), 1.0);
  // Channels from the eleventh on pass through; a rate of 0 changes nothing.
  auto eq = Peaking(1000, 12, 1);
  auto many = Sine(1000, 12, 1000, 44100, 0.5);
  const auto in = many;
  RunFloat(*eq, many, 12);
  for (std::size_t i = 0; i < many.size(); i += 12) {
    ASSERT_EQ(many[i + 10], in[i + 10]);
    ASSERT_EQ(many[i + 11], in[i + 11]);
  }
  EXPECT_NE(many[500 * 12], in[500 * 12]);
  auto again = many;
  RunFloat(*eq, many, 12, 0);
  EXPECT_EQ(many, again);
}

TEST(ParametricEQ, StateCarriesAcrossBuffersAndBlocks) {
  auto whole = Peaking(700, 8, 3), split = Peaking(700, 8, 3);
  const auto in = test_signals::ToInt16(Sine(30000, 2, 650, 44100, 0.6));
  auto a = in, b = in;
  whole->Process(a.data(), Bytes(a), 44100, 16, 2, false);
  std::size_t frame = 0;
  for (std::size_t len : {3u, 8190u, 1u, 5000u, 100000u}) {
    len = std::min(len, in.size() / 2 - frame);
    split->Process(b.data() + 2 * frame, static_cast<int>(len * 4), 44100, 16, 2, false);
    frame += len;
  }
  EXPECT_EQ(a, b);
}

}  // namespace
