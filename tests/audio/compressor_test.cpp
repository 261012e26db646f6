#include "audio/compressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "test_signals.h"

namespace {

using test_signals::Bytes;
using test_signals::Sine;

ComPtr<TDCCompressor> Enabled() {
  auto c = MakeCom<TDCCompressor>();
  c->set_Enabled(BOOL_TRUE);
  return c;
}

void Compress(TDCCompressor& c, std::vector<float>& buf, int channels, int rate = 44100) {
  c.Process(buf.data(), Bytes(buf), 32, channels, true, rate);
}

TEST(Compressor, CreationValues) {
  auto c = MakeCom<TDCCompressor>();
  float v = 0;
  c->get_AttackTime(&v);
  EXPECT_FLOAT_EQ(v, 0.05f);
  c->get_DecayTime(&v);
  EXPECT_FLOAT_EQ(v, 0.5f);
  c->get_ThresholdDB(&v);
  EXPECT_FLOAT_EQ(v, -12.0f);
  c->get_Ratio(&v);
  EXPECT_FLOAT_EQ(v, 2.0f);
  c->get_GainDB(&v);
  EXPECT_FLOAT_EQ(v, 0.0f);
  BOOL b = 1;
  c->get_Enabled(&b);
  EXPECT_EQ(b, BOOL_FALSE);
  EXPECT_EQ(c->CircleSize(), 2);
  EXPECT_EQ(c->CurrentGain(), 1.0);
  EXPECT_EQ(c->GainReduction(), 1.0f);
}

TEST(Compressor, DerivedFactorsAndWindowLengths) {
  auto c = Enabled();
  std::vector<float> buf(8, 0.0f);
  Compress(*c, buf, 1, 44100);
  EXPECT_EQ(c->CircleSize(), 88);
  EXPECT_NEAR(c->AttackFactor(), 0.001044, 0.0000005);
  EXPECT_NEAR(c->DecayFactor(), 0.0001044, 0.00000005);
  Compress(*c, buf, 1, 48000);
  EXPECT_EQ(c->CircleSize(), 96);
  // The setter recomputes at once from the current sample period.
  c->set_AttackTime(0.5f);
  EXPECT_NEAR(c->AttackFactor(),
              1 - std::exp(std::log(1.0 - static_cast<double>(0.9f)) / (48000 * 0.5)), 1e-15);
  c->set_DecayTime(0.0f);  // no time: the gain follows at once
  EXPECT_EQ(c->DecayFactor(), 1.0);
}

TEST(Compressor, FullScaleSineSettlesNearHalfGain) {
  auto c = Enabled();
  auto buf = Sine(44100, 1, 1000, 44100, 1.0);
  Compress(*c, buf, 1);
  EXPECT_NEAR(c->InputLevel(), 1.0, 0.02);
  EXPECT_NEAR(c->CurrentGain(), 0.501, 0.005);  // (0.2512 / 1.0)^0.5
  EXPECT_TRUE(c->AboveThreshold());
  EXPECT_NEAR(test_signals::Peak(buf, 1, 0, 40000), 0.501, 0.006);
}

TEST(Compressor, QuietSineKeepsUnityGainExactly) {
  auto c = Enabled();
  const auto in = test_signals::ToInt16(Sine(30000, 1, 1000, 44100, 0.1));
  auto buf = in;
  c->Process(buf.data(), Bytes(buf), 16, 1, false, 44100);
  EXPECT_EQ(c->CurrentGain(), 1.0);
  EXPECT_EQ(buf, in);
}

TEST(Compressor, MakeUpGainApplies) {
  auto c = Enabled();
  c->set_GainDB(6.0f);
  auto buf = Sine(4410, 1, 1000, 44100, 0.1);
  Compress(*c, buf, 1);
  EXPECT_NEAR(c->GainReduction(), std::pow(10.0, 6.0 / 20), 1e-6);
  EXPECT_NEAR(test_signals::Peak(buf, 1, 0), 0.1 * std::pow(10.0, 6.0 / 20), 1e-4);
}

// Attack moves 90 % of the way within the attack time (per channel count),
// decay within the decay time.
TEST(Compressor, AttackAndDecayTimes) {
  auto c = Enabled();
  const int rate = 44100;
  auto loud = Sine(rate, 1, 1000, rate, 1.0);
  // Onset: after 50 ms the gain has covered about 90 % of its way to 0.501.
  std::vector<float> part(loud.begin(), loud.begin() + rate / 20);
  Compress(*c, part, 1);
  const double settled = 0.5012;
  EXPECT_NEAR((1 - c->CurrentGain()) / (1 - settled), 0.9, 0.02);
  std::vector<float> rest(loud.begin() + rate / 20, loud.end());
  Compress(*c, rest, 1);
  const double low = c->CurrentGain();
  // Release: silence brings it back towards 1 with the 0.5 s decay.
  std::vector<float> silence(rate / 2, 0.0f);
  Compress(*c, silence, 1);
  EXPECT_NEAR((c->CurrentGain() - low) / (1 - low), 0.9, 0.01);
  EXPECT_FALSE(c->AboveThreshold());

  // Stereo: the same per-sample smoothing runs over twice as many samples
  // per second, so the onset completes in half the time.
  auto s = Enabled();
  auto stereo = Sine(rate / 40, 2, 1000, rate, 1.0);
  s->Process(stereo.data(), Bytes(stereo), 32, 2, true, rate);
  EXPECT_NEAR((1 - s->CurrentGain()) / (1 - settled), 0.9, 0.02);
}

TEST(Compressor, OneGainIsSharedAcrossInterleavedChannels) {
  auto c = Enabled();
  const int frames = 44100;
  auto buf = Sine(frames, 2, 1000, 44100, 1.0);
  for (int n = 0; n < frames; ++n) buf[2 * n + 1] *= 0.1f;  // quiet right channel
  const auto in = buf;
  Compress(*c, buf, 2);
  // The quiet channel is turned down with the loud one, by the same gain.
  for (int n = frames - 100; n < frames; ++n) {
    if (std::abs(in[2 * n]) < 0.5f) continue;
    const double gl = buf[2 * n] / in[2 * n], gr = buf[2 * n + 1] / in[2 * n + 1];
    EXPECT_NEAR(gl, gr, 1e-4) << n;
    EXPECT_LT(gr, 0.8);
  }
}

TEST(Compressor, StateCarriesAcrossBuffersAndBlocks) {
  auto whole = Enabled(), split = Enabled();
  const auto in = test_signals::ToInt16(Sine(30000, 2, 440, 44100, 0.9));
  auto a = in, b = in;
  whole->Process(a.data(), Bytes(a), 16, 2, false, 44100);
  std::size_t frame = 0;  // buffers of odd frame counts, across block boundaries
  for (std::size_t len : {1u, 333u, 4096u, 17u, 10000u, 9999u, 100000u}) {
    len = std::min(len, b.size() / 2 - frame);
    split->Process(b.data() + 2 * frame, static_cast<int>(len * 4), 16, 2, false, 44100);
    frame += len;
  }
  ASSERT_EQ(frame * 2, b.size());
  EXPECT_EQ(a, b);
  EXPECT_EQ(whole->CurrentGain(), split->CurrentGain());
}

TEST(Compressor, RateChangeResizesAndClearsTheRingButKeepsTheGain) {
  auto c = Enabled();
  auto buf = Sine(48000, 1, 1000, 48000, 1.0);
  Compress(*c, buf, 1, 48000);
  EXPECT_EQ(c->CircleSize(), 96);
  const double gain = c->CurrentGain();
  ASSERT_LT(gain, 0.6);
  // Silence at the new rate: the cleared ring reads a level of 0 at once, so
  // the gain only decays from where it was.
  std::vector<float> silence(10, 0.0f);
  Compress(*c, silence, 1, 44100);
  EXPECT_EQ(c->CircleSize(), 88);
  EXPECT_EQ(c->InputLevel(), 0.0f);
  EXPECT_GT(c->CurrentGain(), gain);
  EXPECT_LT(c->CurrentGain(), gain + 0.001);
}

TEST(Compressor, OpenCornersNeverBreakTheOutput) {
  // A rate under 250 Hz: a one-sample window instead of none.
  auto c = Enabled();
  auto buf = Sine(1000, 1, 10, 200, 1.0);
  Compress(*c, buf, 1, 200);
  EXPECT_EQ(c->CircleSize(), 1);
  for (float v : buf) ASSERT_TRUE(std::isfinite(v) && std::abs(v) <= 1.0f);

  // A rate of 0 (or below) leaves the buffer alone.
  auto before = buf;
  Compress(*c, buf, 1, 0);
  Compress(*c, buf, 1, -44100);
  EXPECT_EQ(buf, before);

  // Non-finite float samples read as silence and do not poison the state.
  auto n = Enabled();
  std::vector<float> bad = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), 0.5f};
  Compress(*n, bad, 1);
  EXPECT_EQ(bad[0], 0.0f);
  EXPECT_EQ(bad[1], 0.0f);
  EXPECT_EQ(bad[2], 0.5f);
  EXPECT_TRUE(std::isfinite(n->CurrentGain()));

  // A ratio of 0 asks for an infinite gain: the gain holds instead.
  auto z = Enabled();
  z->set_Ratio(0.0f);
  auto loud = Sine(4410, 1, 1000, 44100, 1.0);
  Compress(*z, loud, 1);
  EXPECT_TRUE(std::isfinite(z->CurrentGain()));
  for (float v : loud) ASSERT_TRUE(std::isfinite(v) && std::abs(v) <= 1.0f);

  // Negative times respond at once instead of diverging.
  auto t = Enabled();
  t->set_AttackTime(-1.0f);
  auto loud2 = Sine(4410, 1, 1000, 44100, 1.0);
  Compress(*t, loud2, 1);
  EXPECT_GT(t->CurrentGain(), 0.0);
  EXPECT_LE(t->CurrentGain(), 1.0);
}

TEST(Compressor, DisabledLeavesBufferUntouched) {
  auto c = MakeCom<TDCCompressor>();
  auto buf = Sine(1000, 1, 1000, 44100, 1.0);
  const auto before = buf;
  Compress(*c, buf, 1);
  EXPECT_EQ(buf, before);
}

}  // namespace
