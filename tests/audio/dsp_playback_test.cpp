// The effect filter in a real playback graph, built as the player builds it:
// our splitter and audio decoder modules from the Filters folder -> the
// effect filter "Audio DSP Manager" -> the system audio renderer capturing
// what it plays into a WAV file (LUMORA_AUDIO_OUT=wav:PATH). The player's
// equalizer and booster settings must be audible in the capture.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

#include "audio/dsp_filter.h"
#include "audio/dsp_interfaces.h"
#include "audio/eq_bands.h"
#include "audio/wav_file.h"
#include "directshow/filter_graph.h"
#include "directshow/wide_string.h"
#include "filters/lav_settings.h"
#include "filters/system_filters.h"
#include "platform/modules/module_loader.h"

namespace {

constexpr int kRate = 44100;

std::filesystem::path FixtureDir() {
  auto dir = std::filesystem::path(LUMORA_TEST_BIN_DIR) / "dsp_fixtures";
  std::filesystem::create_directories(dir);
  return dir;
}

// A FLAC file made by ffmpeg from an expression of t (both channels);
// generated once, moved into place whole so parallel tests never see half.
std::string Fixture(const std::string& name, const std::string& expression, double seconds) {
  const auto path = FixtureDir() / name;
  if (std::filesystem::exists(path)) return path.string();
  const auto partial = FixtureDir() / (name + "." + std::to_string(getpid()) + ".flac");
  const std::string command =
      "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i \"aevalsrc='" + expression +
      "|" + expression + "':s=" + std::to_string(kRate) + ":d=" + std::to_string(seconds) +
      "\" -c:a flac -sample_fmt s16 \"" + partial.string() + "\"";
  if (std::system(command.c_str()) != 0) return {};
  std::filesystem::rename(partial, path);
  return path.string();
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  ComPtr<IEnumPins> e;
  filter->EnumPins(e.Put());
  IPin* pin = nullptr;
  ULONG fetched = 0;
  while (e && e->Next(1, &pin, &fetched) == S_OK) {
    auto p = ComPtr<IPin>::Adopt(pin);
    PIN_DIRECTION d;
    p->QueryDirection(&d);
    if (d == direction) return p;
  }
  return nullptr;
}

ComPtr<IPin> PinById(IBaseFilter* filter, const char16_t* id) {
  ComPtr<IPin> pin;
  filter->FindPin(id, pin.Put());
  return pin;
}

// The source signal of the tone fixtures at frame n.
double Tones(int n, double a1k, double a15k) {
  const double t = static_cast<double>(n) / kRate;
  return a1k * std::sin(2 * std::numbers::pi * 1000 * t) +
         a15k * std::sin(2 * std::numbers::pi * 15000 * t);
}

// A PCM callback after the chain: channel 0 of everything the filter
// delivers, exactly as it leaves (the renderer then places the first buffer
// against its clock, which may cut a few frames).
class TTap : public ComObject<IDCDSPFilterPCMCallBack> {
 public:
  HRESULT PCMData(void* buffer, LONG size, LONG*, PDSStream s) override {
    const int channels = s->Channels;
    if (s->Bits == 16 && !s->Float) {
      const auto* p = static_cast<const std::int16_t*>(buffer);
      for (LONG i = 0; i < size / 2; i += channels) left.push_back(p[i] / 32768.0f);
    } else if (s->Bits == 32 && s->Float) {
      const auto* p = static_cast<const float*>(buffer);
      for (LONG i = 0; i < size / 4; i += channels) left.push_back(p[i]);
    } else {
      unexpectedFormat = true;
    }
    return S_OK;
  }
  HRESULT MediaTypeChanged(PDSStream) override { return S_OK; }
  HRESULT FlushNotify() override { return S_OK; }

  std::vector<float> left;  // streaming thread while playing
  bool unexpectedFormat = false;
};

// What the renderer played, as float frames of channel 0.
struct Capture {
  int rate = 0;
  int channels = 0;
  std::vector<float> left;
};

class DSPPlayback : public ::testing::Test {
 protected:
  void SetUp() override {
    capture = (FixtureDir() / ("capture-" + std::to_string(getpid()) + ".wav")).string();
    std::filesystem::remove(capture);
    setenv("LUMORA_AUDIO_OUT", ("wav:" + capture).c_str(), 1);
    dsp = MakeCom<TDCDSPFilter>("Audio DSP Manager");
    control = dsp.As<IDCDSPFilterInterface>();
    // The player's chain.
    control->set_RemoveAllFilters();
    control->set_AddFilter(0, TDCFilterType::ftEqualizer);
    control->set_AddFilter(1, TDCFilterType::ftDynamicAmplify);
    control->set_AddFilter(2, TDCFilterType::ftCompressor);
    eq = Interface<IDCEqualizer>(0);
    amp = Interface<IDCDynamicAmplify>(1);
    comp = Interface<IDCCompressor>(2);
    ASSERT_TRUE(eq && amp && comp);
    eq->set_Enabled(BOOL_FALSE);
    amp->set_Enabled(BOOL_TRUE);
    comp->set_Enabled(BOOL_FALSE);
    control->set_CallBackPCM(tap.get());
  }

  void TearDown() override {
    unsetenv("LUMORA_AUDIO_OUT");
    std::filesystem::remove(capture);
  }

  template <class I>
  ComPtr<I> Interface(LONG index) {
    ComPtr<IUnknown> unk;
    if (control->get_FilterInterface(index, unk.Put()) != S_OK) return nullptr;
    return unk.As<I>();
  }

  // Plays the file to its end through splitter -> decoder -> DSP -> renderer.
  void Play(const std::string& file) {
    ASSERT_FALSE(file.empty()) << "the fixture could not be made";
    const std::string filters = LUMORA_FILTERS_DIR;
    auto [hs, splitter] =
        LoadFilterFromFile<IBaseFilter>(filters + "/LAVSplitter.ax", CLSID_LAVSplitter);
    auto [ha, decoder] = LoadFilterFromFile<IBaseFilter>(filters + "/LAVAudio.ax", CLSID_LAVAudio);
    ASSERT_EQ(hs, S_OK);
    ASSERT_EQ(ha, S_OK);
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(CreateSystemFilter(CLSID_DSoundRender, IBaseFilter::iid, renderer.PutVoid()), S_OK);
    {
      auto graph = CreateFilterGraph();
      ASSERT_EQ(graph->AddFilter(splitter.get(), u"LAV Splitter"), S_OK);
      ASSERT_EQ(splitter.As<IFileSourceFilter>()->Load(ds::ToUtf16(file).c_str(), nullptr), S_OK);
      ASSERT_EQ(graph->AddFilter(decoder.get(), u"LAV Audio"), S_OK);
      ASSERT_EQ(graph->AddFilter(dsp.get(), u"DSP"), S_OK);
      ASSERT_EQ(graph->AddFilter(renderer.get(), u"Audio renderer"), S_OK);
      ASSERT_EQ(graph->Connect(PinById(splitter.get(), u"Audio").get(),
                               PinById(decoder.get(), u"In").get()),
                S_OK);
      ASSERT_EQ(
          graph->Connect(PinById(decoder.get(), u"Out").get(), PinById(dsp.get(), u"In").get()),
          S_OK);
      ASSERT_EQ(graph->Connect(PinById(dsp.get(), u"Out").get(),
                               FirstPin(renderer.get(), PINDIR_INPUT).get()),
                S_OK);
      auto media = graph.As<IMediaControl>();
      auto events = graph.As<IMediaEventEx>();
      ASSERT_TRUE(SUCCEEDED(media->Run()));
      LONG code = 0;
      EXPECT_EQ(events->WaitForCompletion(60000, &code), S_OK);
      EXPECT_EQ(code, EC_COMPLETE);
      media->Stop();
      // The player keeps the filter for the next graph.
      ASSERT_EQ(graph->RemoveFilter(dsp.get()), S_OK);
    }
    renderer = nullptr;  // closes the capture
    WavAudio wav;
    std::string error;
    ASSERT_TRUE(ReadWavFile(capture, wav, error)) << error;
    ASSERT_TRUE(wav.is_float);
    ASSERT_EQ(wav.bits, 32);
    played.rate = wav.sample_rate;
    played.channels = wav.channels;
    const auto* f = reinterpret_cast<const float*>(wav.data.data());
    for (std::int64_t n = 0; n < wav.Frames(); ++n) played.left.push_back(f[n * wav.channels]);
  }

  // The captured amplitude of one frequency over frames [from, from + n).
  double Tone(double hz, int from, int n) const {
    double re = 0;
    double im = 0;
    for (int i = 0; i < n; ++i) {
      const double w = 2 * std::numbers::pi * hz * (from + i) / kRate;
      re += played.left[static_cast<std::size_t>(from + i)] * std::sin(w);
      im += played.left[static_cast<std::size_t>(from + i)] * std::cos(w);
    }
    return 2 * std::hypot(re, im) / n;
  }

  std::string capture;
  ComPtr<TDCDSPFilter> dsp;
  ComPtr<IDCDSPFilterInterface> control;
  ComPtr<IDCEqualizer> eq;
  ComPtr<IDCDynamicAmplify> amp;
  ComPtr<IDCCompressor> comp;
  Capture played;
  ComPtr<TTap> tap = MakeCom<TTap>();
};

TEST_F(DSPPlayback, EqualizerBand9RaisesTheTrebleAndDelays256Samples) {
  const std::string file =
      Fixture("tones_1k_15k.flac", "0.25*sin(2*PI*1000*t)+0.025*sin(2*PI*15000*t)", 1.5);
  SetUserEQBand(*eq, 9, 200);
  eq->set_Enabled(BOOL_TRUE);
  Play(file);
  ASSERT_EQ(played.rate, kRate);
  ASSERT_GT(played.left.size(), 60000u);

  const int from = 8192;
  const int n = 44100;
  const double a1k = Tone(1000, from, n);
  const double a15k = Tone(15000, from, n);
  EXPECT_NEAR(20 * std::log10(a1k / 0.25), 0.0, 0.1);
  EXPECT_NEAR(20 * std::log10(a15k / 0.025), 20.0, 0.5);

  // What left the filter is the source, the treble ten times louder, exactly
  // 256 samples late (one sample off would miss the 15 kHz tone by half its
  // amplitude).
  ASSERT_FALSE(tap->unexpectedFormat);
  ASSERT_GT(tap->left.size(), 60000u);
  const auto worst = [&](int delay) {
    double e = 0;
    for (int k = 2048; k < 50000; ++k)
      e = std::max(e,
                   std::abs(tap->left[static_cast<std::size_t>(k + delay)] - Tones(k, 0.25, 0.25)));
    return e;
  };
  EXPECT_LT(worst(256), 0.01);
  EXPECT_GT(worst(255), 0.2);
  EXPECT_GT(worst(257), 0.2);
}

TEST_F(DSPPlayback, BoosterBringsALoudPassageToTheCompressorsSteadyGain) {
  const std::string file = Fixture("loud_1k.flac", "0.9*sin(2*PI*1000*t)", 1.5);
  // The player's booster: dynamic amplifier and compressor together.
  amp->set_Enabled(BOOL_TRUE);
  comp->set_Enabled(BOOL_TRUE);
  Play(file);
  ASSERT_GT(played.left.size(), 60000u);
  const double a = Tone(1000, 30000, 22050);
  // Threshold -12 dB and ratio 2 of the compressor's defaults.
  const double steady = std::sqrt(std::pow(10.0, -12.0 / 20) / 0.9);
  EXPECT_NEAR(a / 0.9, steady, 0.02 * steady);
}

TEST_F(DSPPlayback, EverythingOffPlaysTheFileUnchanged) {
  const std::string file =
      Fixture("tones_1k_15k.flac", "0.25*sin(2*PI*1000*t)+0.025*sin(2*PI*15000*t)", 1.5);
  Play(file);
  ASSERT_GT(played.left.size(), 60000u);
  const double a1k = Tone(1000, 4096, 44100);
  const double a15k = Tone(15000, 4096, 44100);
  EXPECT_NEAR(20 * std::log10(a1k / 0.25), 0.0, 0.05);
  EXPECT_NEAR(20 * std::log10(a15k / 0.025), 0.0, 0.1);
  // The filter's output is the decoded file, from its first sample on.
  ASSERT_GT(tap->left.size(), 60000u);
  for (int k = 0; k < 60000; ++k)
    ASSERT_NEAR(tap->left[static_cast<std::size_t>(k)], Tones(k, 0.25, 0.025), 1e-4) << k;
}

}  // namespace
