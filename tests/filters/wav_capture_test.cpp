// Real playback to the audio renderer's WAV-capture device: what is written
// is the decoded source, sample for sample.

#include <gtest/gtest.h>

#include <cstring>

#include "directshow/dshow.h"
#include "filters/audio_renderer/audio_renderer.h"
#include "filters/audio_renderer/null_audio_device.h"
#include "fixtures.h"
#include "playback.h"

using namespace fxt;

namespace {

// The samples of a WAV file's "data" chunk.
template <class T>
std::vector<T> WavData(const std::string& path) {
  const auto bytes = ReadFile(path);
  std::size_t at = 12;
  while (at + 8 <= bytes.size()) {
    std::uint32_t size;
    std::memcpy(&size, &bytes[at + 4], 4);
    if (std::memcmp(&bytes[at], "data", 4) == 0) {
      const std::size_t n = std::min<std::size_t>(size, bytes.size() - at - 8) / sizeof(T);
      std::vector<T> out(n);
      std::memcpy(out.data(), &bytes[at + 8], n * sizeof(T));
      return out;
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

}  // namespace

TEST(WavCapture, RendersExactlyTheDecodedSine) {
  const std::string source = Fixture("sine16");  // 2 s, 48 kHz stereo
  const std::string capture = FixtureDir() + "/capture.wav";
  // The device runs 20 times faster than real time, and so does the clock.
  const REFERENCE_TIME origin = SteadyClockTime();
  TAudioTimeSource fast = [origin] { return (SteadyClockTime() - origin) * 20; };
  {
    auto graph = CreateFilterGraph();
    auto splitter = MakeCom<TLAVSplitter>();
    auto decoder = MakeCom<TLAVAudio>();
    auto renderer = MakeCom<TAudioRenderer>(
        [&] { return std::make_unique<TWavAudioDevice>(capture, fast); }, fast);
    graph->AddFilter(splitter.get(), u"LAV source");
    graph->AddFilter(decoder.get(), u"LAV Audio decoder");
    graph->AddFilter(renderer.get(), u"MPC Audio out");
    ASSERT_EQ(splitter->Load(ds::ToUtf16(source).c_str(), nullptr), S_OK);
    ASSERT_EQ(ConnectByName(graph.get(), splitter.get(), "Audio", decoder.get(), "In"), S_OK);
    ASSERT_EQ(ConnectByName(graph.get(), decoder.get(), "Out", renderer.get(),
                            "Audio Input pin (rendered)"),
              S_OK);
    EXPECT_EQ(renderer->DeviceName(), "wav");
    graph->SetDefaultSyncSource();
    ASSERT_TRUE(RunToCompletion(graph.get(), 20000));
    graph.As<IMediaControl>()->Stop();
    ComPtr<IPin> in;
    renderer->FindPin(u"Audio Input pin (rendered)", in.Put());
    graph->Disconnect(in.get());  // closes the device and the file
  }
  const auto original = WavData<std::int16_t>(source);
  const auto captured = WavData<float>(capture);
  ASSERT_EQ(original.size(), 2u * 96000);
  // The start may be padded with silence or cut by the time the graph took
  // to start (multiplied by 20 here); from there on, to the last sample, the
  // capture is the source, sample for sample.
  const long shift = static_cast<long>(captured.size()) - static_cast<long>(original.size());
  EXPECT_LE(std::labs(shift), 2 * 4800);  // 100 ms of stereo at most
  const std::size_t c0 = shift > 0 ? static_cast<std::size_t>(shift) : 0;
  const std::size_t o0 = shift < 0 ? static_cast<std::size_t>(-shift) : 0;
  ASSERT_EQ(c0 % 2, 0u);  // whole frames
  for (std::size_t i = 0; i < c0; ++i) ASSERT_EQ(captured[i], 0.0f) << i;
  for (std::size_t i = 0; c0 + i < captured.size(); ++i)
    ASSERT_EQ(captured[c0 + i], original[o0 + i] / 32768.0f) << i;
}
