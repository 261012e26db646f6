// The effect filter in a synthetic graph: PCM push source -> TDCDSPFilter ->
// PCM sink. Every Push runs the whole way through the graph before it
// returns, so each test checks what the sink received right after.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>

#include "audio/compressor.h"
#include "audio/eq_bands.h"
#include "dsp_graph_fixture.h"
#include "test_signals.h"

namespace {

using namespace dsptest;

// A client callback that records what it is given and may change the data
// (adds `add` to every 16-bit sample) or the length.
class TRecordingCallback : public ComObject<IDCDSPFilterPCMCallBack> {
 public:
  HRESULT PCMData(void* buffer, LONG size, LONG* newSize, PDSStream stream) override {
    auto* s = static_cast<std::int16_t*>(buffer);
    firstValues.push_back(size >= 2 ? s[0] : 0);
    sizes.push_back(size);
    streams.push_back(*stream);
    for (LONG i = 0; i < size / 2; ++i) s[i] = static_cast<std::int16_t>(s[i] + add);
    if (shortenTo) *newSize = *shortenTo;
    return S_OK;
  }
  HRESULT MediaTypeChanged(PDSStream stream) override {
    typeChanges.push_back(*stream);
    return S_OK;
  }
  HRESULT FlushNotify() override {
    ++flushes;
    return S_OK;
  }

  std::int16_t add = 0;
  std::optional<LONG> shortenTo;
  std::vector<std::int16_t> firstValues;
  std::vector<LONG> sizes;
  std::vector<TDSStream> streams;
  std::vector<TDSStream> typeChanges;
  int flushes = 0;
};

std::vector<std::int16_t> Constant(int frames, int channels, std::int16_t v) {
  return std::vector<std::int16_t>(static_cast<std::size_t>(frames) * channels, v);
}

class DSPTransform : public DspGraphTest {
 protected:
  // An amplifier doubling the signal as the chain's only effect.
  void DoublingChain() {
    ASSERT_EQ(dspControl->set_AddFilter(-1, TDCFilterType::ftAmplify), S_OK);
    auto a = Interface<IDCAmplify>(0);
    ASSERT_TRUE(a);
    a->set_Enabled(BOOL_TRUE);
    a->set_Volume(0, 20000);
  }
};

TEST_F(DSPTransform, SamplesPassWithTheirTimesAsSyncPoints) {
  Build();
  Pause();
  const auto data = Constant(4410, 2, 1234);
  ASSERT_EQ(source->Pin(0)->Push(data, 0, 100 * kMs), S_OK);
  ASSERT_EQ(source->Pin(0)->Push(data), S_OK);  // no times
  const auto got = sink->Samples();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_TRUE(got[0].hasTime);
  EXPECT_EQ(got[0].start, 0);
  EXPECT_EQ(got[0].stop, 100 * kMs);
  EXPECT_TRUE(got[0].syncPoint);
  EXPECT_EQ(got[0].data.size(), data.size() * 2);
  EXPECT_FALSE(got[1].hasTime);
  EXPECT_TRUE(got[1].syncPoint);
  EXPECT_EQ(sink->Values<std::int16_t>(), [&] {
    auto both = data;
    both.insert(both.end(), data.begin(), data.end());
    return both;
  }());
}

TEST_F(DSPTransform, DelayMovesTheTimeStamps) {
  Build();
  ASSERT_EQ(dspControl->set_EnableDelay(BOOL_TRUE), S_OK);
  ASSERT_EQ(dspControl->set_Delay(500), S_OK);
  LONG delay = 0;
  dspControl->get_Delay(&delay);
  EXPECT_EQ(delay, 500);
  Pause();
  ASSERT_EQ(source->Pin(0)->Push(Constant(4410, 2, 0), 0, 100 * kMs), S_OK);
  dspControl->set_Delay(-40);
  ASSERT_EQ(source->Pin(0)->Push(Constant(4410, 2, 0), 100 * kMs, 200 * kMs), S_OK);
  const auto got = sink->Samples();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].start, 500 * kMs);
  EXPECT_EQ(got[0].stop, 600 * kMs);
  EXPECT_EQ(got[1].start, 60 * kMs);
  EXPECT_EQ(got[1].stop, 160 * kMs);
}

TEST_F(DSPTransform, ShortenedBufferGetsItsStopTimeRecomputed) {
  Build();
  auto cb = MakeCom<TRecordingCallback>();
  cb->shortenTo = 17640;
  ASSERT_EQ(dspControl->set_CallBackPCM(cb.get()), S_OK);
  Pause();
  // 200 ms, shortened to 100 ms.
  ASSERT_EQ(source->Pin(0)->Push(Constant(8820, 2, 7), 1000 * kMs, 1200 * kMs), S_OK);
  const auto got = sink->Samples();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data.size(), 17640u);
  EXPECT_EQ(got[0].start, 1000 * kMs);
  EXPECT_EQ(got[0].stop, 1100 * kMs);
  ASSERT_EQ(cb->streams.size(), 1u);
  EXPECT_EQ(cb->streams[0].Size, 35280);
  EXPECT_EQ(cb->streams[0].Frequency, 44100);

  // A negative length becomes 0, one beyond the buffer its size.
  cb->shortenTo = -5;
  sink->Clear();
  ASSERT_EQ(source->Pin(0)->Push(Constant(100, 2, 7), 0, 10 * kMs), S_OK);
  ASSERT_EQ(sink->Samples().size(), 1u);
  EXPECT_EQ(sink->Samples()[0].data.size(), 0u);
  EXPECT_EQ(sink->Samples()[0].stop, 0);
  cb->shortenTo = 1 << 30;
  sink->Clear();
  ASSERT_EQ(source->Pin(0)->Push(Constant(100, 2, 7), 0, 10 * kMs), S_OK);
  ASSERT_EQ(sink->Samples().size(), 1u);
  EXPECT_EQ(sink->Samples()[0].data.size(), 4u * 352800);
  EXPECT_EQ(sink->Samples()[0].stop, 8 * UNITS);
}

struct CallbackOrderCase {
  const char* name;
  bool before;
  std::int16_t seen;    // first value the callback sees
  std::int16_t output;  // first value the sink receives
};

TEST_F(DSPTransform, CallbackSeesTheDataBeforeOrAfterTheChain) {
  // The chain doubles; the callback adds 1.
  const CallbackOrderCase cases[] = {
      {"before", true, 1000, 2002},
      {"after", false, 2000, 2001},
  };
  Build();
  DoublingChain();
  auto cb = MakeCom<TRecordingCallback>();
  cb->add = 1;
  dspControl->set_CallBackPCM(cb.get());
  Pause();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dspControl->set_PCMDataBeforeMainDSP(ToBOOL(c.before));
    cb->firstValues.clear();
    sink->Clear();
    ASSERT_EQ(source->Pin(0)->Push(Constant(441, 2, 1000), 0, 10 * kMs), S_OK);
    ASSERT_EQ(cb->firstValues.size(), 1u);
    EXPECT_EQ(cb->firstValues[0], c.seen);
    const auto out = sink->Values<std::int16_t>();
    ASSERT_EQ(out.size(), 882u);
    EXPECT_EQ(out[0], c.output);
    EXPECT_EQ(out[881], c.output);
  }
  // Cleared: the chain alone.
  dspControl->set_CallBackPCM(nullptr);
  sink->Clear();
  ASSERT_EQ(source->Pin(0)->Push(Constant(441, 2, 1000), 0, 10 * kMs), S_OK);
  EXPECT_EQ(sink->Values<std::int16_t>()[0], 2000);
  EXPECT_EQ(cb->RefCount(), 1u);  // the filter let go of it
}

TEST_F(DSPTransform, SpdifPassesUntouched) {
  Build(PcmType(48000, 2, 16, WAVE_FORMAT_DOLBY_AC3_SPDIF));
  DoublingChain();
  auto cb = MakeCom<TRecordingCallback>();
  cb->add = 1;
  cb->shortenTo = 4;
  dspControl->set_CallBackPCM(cb.get());
  Pause();
  std::vector<std::int16_t> burst(6144);
  for (std::size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<std::int16_t>(i * 37);
  ASSERT_EQ(source->Pin(0)->Push(burst, 0, 32 * kMs), S_OK);
  EXPECT_EQ(sink->Values<std::int16_t>(), burst);
  EXPECT_TRUE(cb->sizes.empty());
  EXPECT_EQ(sink->Samples()[0].stop, 32 * kMs);
}

TEST_F(DSPTransform, FormatChangesReachTheCallbackAndTheOutput) {
  std::vector<TBCMediaType> types;
  types.push_back(PcmType(44100, 2, 16));
  Create(std::move(types));
  auto cb = MakeCom<TRecordingCallback>();
  dspControl->set_CallBackPCM(cb.get());
  ConnectMain();
  ASSERT_GE(cb->typeChanges.size(), 1u);
  EXPECT_EQ(cb->typeChanges.back().Frequency, 44100);
  EXPECT_EQ(cb->typeChanges.back().Channels, 2);
  EXPECT_EQ(cb->typeChanges.back().Bits, 16);
  const std::size_t reported = cb->typeChanges.size();
  Pause();

  // The same format again: no new report.
  ASSERT_EQ(source->Pin(0)->Push(Constant(441, 2, 1), 0, 10 * kMs), S_OK);
  EXPECT_EQ(cb->typeChanges.size(), reported);

  const TBCMediaType rate48 = PcmType(48000, 2, 16);
  ASSERT_EQ(source->Pin(0)->Push(Constant(480, 2, 1), 10 * kMs, 20 * kMs, &rate48), S_OK);
  ASSERT_GT(cb->typeChanges.size(), reported);
  EXPECT_EQ(cb->typeChanges.back().Frequency, 48000);
  PDSStream info = nullptr;
  dspControl->get_StreamInfo(&info);
  EXPECT_EQ(info->Frequency, 48000);
  const auto got = sink->Samples();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_FALSE(got[0].type.has_value());
  ASSERT_TRUE(got[1].type.has_value());
  EXPECT_TRUE(*got[1].type == rate48);
  EXPECT_EQ(cb->streams.back().Frequency, 48000);

  // A format the filter cannot take fails that sample.
  const TBCMediaType bits20 = PcmType(48000, 2, 20);
  EXPECT_TRUE(FAILED(source->Pin(0)->Push(Constant(480, 2, 1), 20 * kMs, 30 * kMs, &bits20)));
  EXPECT_EQ(sink->Samples().size(), 2u);
}

TEST_F(DSPTransform, BufferLargerThanTheOutputIsRefused) {
  // 8-bit mono: the output buffer holds 352800 bytes.
  Build(PcmType(44100, 1, 8));
  Pause();
  std::vector<BYTE> big(400000, 128);
  EXPECT_EQ(source->Pin(0)->Push(big), VFW_E_BUFFER_OVERFLOW);
  EXPECT_TRUE(sink->Samples().empty());
  std::vector<BYTE> fits(352800, 128);
  EXPECT_EQ(source->Pin(0)->Push(fits), S_OK);
  EXPECT_EQ(sink->Samples().size(), 1u);
}

TEST_F(DSPTransform, FlushReachesTheCallbackAndDownstream) {
  Build();
  auto cb = MakeCom<TRecordingCallback>();
  dspControl->set_CallBackPCM(cb.get());
  Pause();
  ASSERT_EQ(source->Pin(0)->DeliverBeginFlush(), S_OK);
  EXPECT_EQ(cb->flushes, 1);
  EXPECT_EQ(sink->BeginFlushes(), 1);
  ASSERT_EQ(source->Pin(0)->DeliverEndFlush(), S_OK);
  EXPECT_EQ(sink->EndFlushes(), 1);
  ASSERT_EQ(source->Pin(0)->DeliverEndOfStream(), S_OK);
  EXPECT_EQ(sink->EndOfStreams(), 1);
  // Data flows again after the flush.
  ASSERT_EQ(source->Pin(0)->Push(Constant(441, 2, 5), 0, 10 * kMs), S_OK);
  EXPECT_EQ(sink->Samples().size(), 1u);
}

TEST_F(DSPTransform, OutputPinPassesSeekingUpstream) {
  Build();
  auto out = Pin(dsp.get(), u"Out");
  auto seeking = out.As<IMediaSeeking>();
  ASSERT_TRUE(seeking);
  LONGLONG duration = 0;
  EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, TRecordingSeeking::kDuration);
  LONGLONG target = 12 * UNITS;
  EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr,
                                  AM_SEEKING_NoPositioning),
            S_OK);
  EXPECT_EQ(source->Pin(0)->Seeking().Seeks(), std::vector<LONGLONG>{12 * UNITS});
  auto position = out.As<IMediaPosition>();
  ASSERT_TRUE(position);
  REFTIME seconds = 0;
  EXPECT_EQ(position->get_Duration(&seconds), S_OK);
  EXPECT_DOUBLE_EQ(seconds, 60.0);
  // The graph finds the same path through the filter.
  auto graphSeeking = graph.As<IMediaSeeking>();
  EXPECT_EQ(graphSeeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, TRecordingSeeking::kDuration);
}

// The single-frequency amplitude of channel 0 over frames [from, from + n).
double ToneAmplitude(const std::vector<std::int16_t>& v, int channels, double hz, int from, int n) {
  double re = 0;
  double im = 0;
  for (int i = 0; i < n; ++i) {
    const double x = v[static_cast<std::size_t>(from + i) * channels];
    const double w = 2 * std::numbers::pi * hz * (from + i) / 44100.0;
    re += x * std::cos(w);
    im += x * std::sin(w);
  }
  return 2 * std::hypot(re, im) / n;
}

// Pushes interleaved 16-bit audio in 100 ms buffers.
void PushAll(TPcmPushPin* pin, const std::vector<std::int16_t>& v, int channels) {
  const std::size_t chunk = 4410 * static_cast<std::size_t>(channels);
  REFERENCE_TIME t = 0;
  for (std::size_t pos = 0; pos < v.size(); pos += chunk) {
    const std::size_t n = std::min(chunk, v.size() - pos);
    const REFERENCE_TIME d = static_cast<REFERENCE_TIME>(n / channels) * UNITS / 44100;
    ASSERT_EQ(pin->Push(v.data() + pos, static_cast<LONG>(n * 2), t, t + d), S_OK);
    t += d;
  }
}

TEST_F(DSPTransform, PlayerEqualizerIsAudibleAndDelays256Samples) {
  Build();
  PlayerChain();
  Pause();
  // Flat and on: the input, 256 samples later.
  eq->set_Enabled(BOOL_TRUE);
  const auto in = test_signals::ToInt16(test_signals::Sine(22050, 2, 1000, 44100, 0.3));
  PushAll(source->Pin(0), in, 2);
  auto out = sink->Values<std::int16_t>();
  ASSERT_EQ(out.size(), in.size());
  for (int n = 2048; n + 256 < 22050; ++n) ASSERT_NEAR(out[2 * (n + 256)], in[2 * n], 2) << n;

  // Band 9 at 200: the 15 kHz tone rises by 20 dB, 1 kHz stays.
  SetUserEQBand(*eq, 9, 200);
  auto lo = test_signals::Sine(44100, 2, 1000, 44100, 0.05);
  const auto hi = test_signals::Sine(44100, 2, 15000, 44100, 0.005);
  for (std::size_t i = 0; i < lo.size(); ++i) lo[i] += hi[i];
  const auto mix = test_signals::ToInt16(lo);
  sink->Clear();
  PushAll(source->Pin(0), mix, 2);
  out = sink->Values<std::int16_t>();
  ASSERT_EQ(out.size(), mix.size());
  const int from = 8192;
  const int n = 32768;
  const double db1k = 20 * std::log10(ToneAmplitude(out, 2, 1000, from + 256, n) /
                                      ToneAmplitude(mix, 2, 1000, from, n));
  const double db15k = 20 * std::log10(ToneAmplitude(out, 2, 15000, from + 256, n) /
                                       ToneAmplitude(mix, 2, 15000, from, n));
  EXPECT_NEAR(db1k, 0.0, 0.1);
  EXPECT_NEAR(db15k, 20.0, 0.3);

  // Off again: untouched.
  eq->set_Enabled(BOOL_FALSE);
  sink->Clear();
  PushAll(source->Pin(0), mix, 2);
  EXPECT_EQ(sink->Values<std::int16_t>(), mix);
}

TEST_F(DSPTransform, PlayerBoosterCompressesLoudPassages) {
  Build();
  PlayerChain();
  Pause();
  // The booster: dynamic amplifier and compressor together.
  amp->set_Enabled(BOOL_TRUE);
  comp->set_Enabled(BOOL_TRUE);
  const double peak = 0.9;
  const auto in = test_signals::ToInt16(test_signals::Sine(44100, 2, 1000, 44100, peak));
  PushAll(source->Pin(0), in, 2);
  const auto out = sink->Values<std::int16_t>();
  ASSERT_EQ(out.size(), in.size());
  // Threshold -12 dB, ratio 2: the steady gain is (0.2512 / level)^(1/2).
  const double steady = std::sqrt(std::pow(10.0, -12.0 / 20) / peak);
  const double gain = test_signals::Peak(out, 2, 0, 30000) / test_signals::Peak(in, 2, 0, 30000);
  EXPECT_NEAR(gain, steady, 0.02 * steady);
  TDCEffect* effect = nullptr;
  ASSERT_EQ(dspControl->get_FilterClass(2, &effect), S_OK);
  auto* compressor = dynamic_cast<TDCCompressor*>(effect);
  ASSERT_NE(compressor, nullptr);
  EXPECT_NEAR(compressor->CurrentGain(), steady, 0.02 * steady);
}

TEST_F(DSPTransform, EffectAddedWhileStreamingWorksFromTheNextBuffer) {
  Build();
  Pause();
  ASSERT_EQ(source->Pin(0)->Push(Constant(441, 2, 100), 0, 10 * kMs), S_OK);
  DoublingChain();
  ASSERT_EQ(source->Pin(0)->Push(Constant(441, 2, 100), 10 * kMs, 20 * kMs), S_OK);
  const auto out = sink->Values<std::int16_t>();
  ASSERT_EQ(out.size(), 1764u);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[882], 200);
}

}  // namespace
