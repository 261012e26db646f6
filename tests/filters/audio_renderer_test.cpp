// The system audio renderer: formats, volume, devices, its clock and the end
// of stream, driven by a test device whose pulls and time the test makes.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>

#include "directshow/dshow.h"
#include "filters/audio_renderer/audio_renderer.h"
#include "filters/audio_renderer/null_audio_device.h"
#include "filters/pcm_format.h"
#include "filters/system_filters.h"
#include "fixtures.h"
#include "playback.h"

using namespace fxt;

namespace {

// What the test shares with the device the renderer owns.
struct TFakeDeviceState {
  std::atomic<REFERENCE_TIME> now{1'000'000'000};
  std::atomic<int> latency{0};
  std::atomic<bool> failOpen{false};
  std::atomic<TAudioSource*> source{nullptr};
  std::atomic<int> channels{0};
  std::atomic<bool> paused{true};
  std::vector<float> last;  // the last pull (test thread only)

  // Pulls `frames` on the test thread; returns the rendered count.
  int Pull(int frames) {
    last.assign(static_cast<std::size_t>(frames) * channels.load(), 0.0f);
    TAudioSource* s = source.load();
    return s ? s->Pull(last.data(), frames) : 0;
  }
};

class TFakeDevice final : public TAudioDevice {
 public:
  explicit TFakeDevice(std::shared_ptr<TFakeDeviceState> s) : fS(std::move(s)) {}
  ~TFakeDevice() override { Close(); }
  bool Open(int, int channels, TAudioSource* source) override {
    if (fS->failOpen) return false;
    fS->channels = channels;
    fS->source = source;
    return true;
  }
  void Close() override { fS->source = nullptr; }
  void SetPaused(bool paused) override { fS->paused = paused; }
  REFERENCE_TIME Now() override { return fS->now; }
  int LatencyFrames() override { return fS->latency; }
  std::string Name() const override { return "fake"; }

 private:
  std::shared_ptr<TFakeDeviceState> fS;
};

struct TRendererGraph {
  std::shared_ptr<TFakeDeviceState> device = std::make_shared<TFakeDeviceState>();
  ComPtr<IFilterGraph2> graph = CreateFilterGraph();
  ComPtr<TLAVSplitter> splitter = MakeCom<TLAVSplitter>();
  ComPtr<TLAVAudio> decoder = MakeCom<TLAVAudio>();
  ComPtr<TAudioRenderer> renderer;

  explicit TRendererGraph(const std::string& file, TAudioDeviceFactory factory = {},
                          int latency = 0) {
    device->latency = latency;
    if (!factory) factory = [d = device] { return std::make_unique<TFakeDevice>(d); };
    renderer = MakeCom<TAudioRenderer>(factory, [d = device] { return d->now.load(); });
    graph->AddFilter(splitter.get(), u"LAV source");
    graph->AddFilter(decoder.get(), u"LAV Audio decoder");
    graph->AddFilter(renderer.get(), u"MPC Audio out");
    EXPECT_EQ(splitter->Load(ds::ToUtf16(file).c_str(), nullptr), S_OK);
    EXPECT_EQ(ConnectByName(graph.get(), splitter.get(), "Audio", decoder.get(), "In"), S_OK);
    EXPECT_EQ(ConnectByName(graph.get(), decoder.get(), "Out", renderer.get(),
                            "Audio Input pin (rendered)"),
              S_OK);
    graph->SetDefaultSyncSource();
  }
  ~TRendererGraph() { graph.As<IMediaControl>()->Stop(); }

  // Waits until a full ring of audio is queued, then pulls one 10 ms block.
  bool PullUntilData(int rate) {
    if (!renderer->WaitForQueued(rate / 4, std::chrono::seconds(10))) return false;
    return device->Pull(rate / 100) == rate / 100;
  }
  bool Completed(int timeoutMs = 0) {
    LONG code = 0;
    return graph.As<IMediaEvent>()->WaitForCompletion(timeoutMs, &code) == S_OK;
  }
};

}  // namespace

TEST(AudioRenderer, VolumeInHundredthsOfADecibel) {
  auto r = MakeCom<TAudioRenderer>();
  struct Case {
    LONG volume;
    float gain;
  };
  for (const Case c :
       {Case{0, 1.0f}, Case{-1505, 0.17681f}, Case{-5000, 0.0031623f}, Case{-10000, 0.0f}}) {
    ASSERT_EQ(r->put_Volume(c.volume), S_OK);
    LONG v = 1;
    r->get_Volume(&v);
    EXPECT_EQ(v, c.volume);
    EXPECT_NEAR(r->TargetGain(0), c.gain, 1e-4);
  }
  EXPECT_EQ(r->put_Volume(1), E_INVALIDARG);
  EXPECT_EQ(r->put_Volume(-10001), E_INVALIDARG);
  ASSERT_EQ(r->put_Volume(0), S_OK);
  ASSERT_EQ(r->put_Balance(10000), S_OK);
  EXPECT_NEAR(r->TargetGain(0), 0.0f, 1e-6);
  EXPECT_NEAR(r->TargetGain(1), 1.0f, 1e-6);
  EXPECT_EQ(r->put_Balance(10001), E_INVALIDARG);
}

TEST(AudioRenderer, AcceptsPcmOfEverySupportedSize) {
  auto r = MakeCom<TAudioRenderer>();
  struct Case {
    TPcmFormat format;
    bool accepted;
  };
  const Case cases[] = {
      {{44100, 2, 8, false, 0}, true},  {{44100, 2, 16, false, 0}, true},
      {{48000, 6, 24, false, 0}, true}, {{48000, 2, 32, false, 0}, true},
      {{48000, 8, 32, true, 0}, true},  {{44100, 2, 20, false, 0}, false},
      {{0, 2, 16, false, 0}, false},
  };
  for (const Case& c : cases) {
    TBCMediaType mt = MakePcmMediaType(c.format);
    EXPECT_EQ(r->CheckMediaType(&mt) == S_OK, c.accepted)
        << c.format.bits << " " << c.format.sampleRate;
  }
  ComPtr<IPin> pin;
  EXPECT_EQ(r->FindPin(u"Audio Input pin (rendered)", pin.Put()), S_OK);
  EXPECT_TRUE(ComPtr<TAudioRenderer>(r).As<IReferenceClock>());
  EXPECT_TRUE(ComPtr<TAudioRenderer>(r).As<IBasicAudio>());
}

TEST(AudioRenderer, CreatedByClassIdAndDevicesBySetting) {
  ComPtr<IBaseFilter> f;
  ASSERT_EQ(CreateSystemFilter(CLSID_DSoundRender, IBaseFilter::iid, f.PutVoid()), S_OK);
  CLSID id{};
  f->GetClassID(&id);
  EXPECT_EQ(id, CLSID_DSoundRender);
  EXPECT_EQ(CreateSystemFilter(CLSID_FilterGraph, IBaseFilter::iid, f.PutVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CreateAudioDevice("null")->Name(), "null");
  EXPECT_EQ(CreateAudioDevice("wav:/tmp/x.wav")->Name(), "wav");
  EXPECT_EQ(CreateAudioDevice("default")->Name(), "default");
  EXPECT_EQ(CreateAudioDevice("anything")->Name(), "default");
}

TEST(AudioRenderer, FallsBackToTheNullDeviceWhenTheDeviceCannotOpen) {
  auto state = std::make_shared<TFakeDeviceState>();
  state->failOpen = true;
  TRendererGraph g(Fixture("wav16"), [state] { return std::make_unique<TFakeDevice>(state); });
  EXPECT_EQ(g.renderer->DeviceName(), "null");
}

TEST(AudioRenderer, ClockFollowsThePlayedFramesAndEndsAfterTheLastOne) {
  TRendererGraph g(Fixture("wav16"), {}, 441);  // 1 s, 44.1 kHz mono; 10 ms latency
  ASSERT_TRUE(SUCCEEDED(g.graph.As<IMediaControl>()->Run()));
  ASSERT_TRUE(g.PullUntilData(44100));
  auto clock = g.renderer.As<IReferenceClock>();
  REFERENCE_TIME t0 = 0, t1 = 0, t2 = 0;
  clock->GetTime(&t0);
  // 100 ms of device time with 100 ms pulled: the clock moves 100 ms, less
  // the device latency that passes before the first frame is heard.
  for (int i = 0; i < 10; ++i) {
    g.device->now += 100000;
    ASSERT_EQ(g.device->Pull(441), 441);
  }
  clock->GetTime(&t1);
  EXPECT_NEAR(static_cast<double>(t1 - t0), 1000000 - 100000, 20000);
  // The device stalls: time passes but nothing more is played.
  g.device->now += 500000;
  clock->GetTime(&t2);
  EXPECT_LE(t2 - t1, 200000 + 1);  // the last block and the latency, no more
  EXPECT_FALSE(g.Completed());
  // Play the rest; the end comes only once the device latency has passed.
  for (int i = 0; i < 1000; ++i) {
    if (!g.renderer->WaitForQueued(441, std::chrono::milliseconds(100)) &&
        g.renderer->IsEndOfStreamQueued())
      break;
    g.device->now += 100000;
    g.device->Pull(441);
  }
  while (g.device->Pull(441) > 0) g.device->now += 100000;
  EXPECT_FALSE(g.Completed(50));
  g.device->now += 200000;
  EXPECT_TRUE(g.Completed(5000));
}

TEST(AudioRenderer, VolumeChangesRampWithoutAJump) {
  TRendererGraph g(Fixture("wav16"));
  ASSERT_TRUE(SUCCEEDED(g.graph.As<IMediaControl>()->Run()));
  ASSERT_TRUE(g.PullUntilData(44100));
  ASSERT_EQ(g.device->Pull(441), 441);
  ASSERT_EQ(g.renderer->put_Volume(-10000), S_OK);
  ASSERT_EQ(g.device->Pull(4410), 4410);  // 100 ms
  float early = 0, late = 0;
  for (int i = 0; i < 44; ++i) early = std::max(early, std::fabs(g.device->last[i]));
  for (int i = 2205; i < 4410; ++i) late = std::max(late, std::fabs(g.device->last[i]));
  EXPECT_GT(early, 0.05f);  // not cut off at once
  EXPECT_LT(late, 1e-4f);   // silent after the ramp
}
