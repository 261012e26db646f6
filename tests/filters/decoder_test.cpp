// Files played through the splitter and both decoders into collecting
// sinks: output formats, frame layouts, time stamps, seeking, switching.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>

#include "directshow/dshow.h"
#include "filters/pcm_format.h"
#include "fixtures.h"
#include "playback.h"

using namespace fxt;

namespace {

double AudioSeconds(TCollectSink& sink) {
  const auto format = ParsePcmMediaType(sink.Connected());
  if (!format) return 0;
  std::size_t bytes = 0;
  for (const auto& s : sink.Samples()) bytes += s.data.size();
  return static_cast<double>(bytes) / format->BytesPerSecond();
}

// Frequency of the first channel of 16-bit or float PCM, by zero crossings.
double Frequency(const std::vector<TCollected>& samples, const TPcmFormat& f) {
  std::vector<float> x;
  for (const auto& s : samples) {
    const std::size_t n = s.data.size() / f.BlockAlign();
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t* p = s.data.data() + i * f.BlockAlign();
      float v = 0;
      if (f.isFloat) {
        std::memcpy(&v, p, 4);
      } else if (f.bits == 16) {
        std::int16_t k;
        std::memcpy(&k, p, 2);
        v = k;
      }
      x.push_back(v);
    }
  }
  int crossings = 0;
  for (std::size_t i = 1; i < x.size(); ++i)
    if ((x[i - 1] < 0) != (x[i] < 0)) ++crossings;
  return x.empty() ? 0 : crossings / 2.0 / (static_cast<double>(x.size()) / f.sampleRate);
}

}  // namespace

TEST(Playback, MkvPlaysToTheEndThroughBothDecoders) {
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture("mkv")));
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  EXPECT_EQ(p.videoSink->Count(), 50u);
  EXPECT_NEAR(AudioSeconds(*p.audioSink), 2.0, 0.1);
  // Video time stamps rise frame by frame from the file's start (the audio
  // stream's encoder delay puts the video a little after it).
  const auto frames = p.videoSink->Samples();
  ASSERT_FALSE(frames.empty());
  EXPECT_GE(frames.front().start, 0);
  EXPECT_LT(frames.front().start, 500000);
  for (std::size_t i = 1; i < frames.size(); ++i)
    EXPECT_EQ(frames[i].start - frames[i - 1].start, 400000) << i;
  const auto format = ParsePcmMediaType(p.audioSink->Connected());
  ASSERT_TRUE(format);
  EXPECT_EQ(format->sampleRate, 48000u);
  EXPECT_EQ(format->channels, 2);
  EXPECT_TRUE(format->isFloat);  // AAC decodes to float
  EXPECT_NEAR(Frequency(p.audioSink->Samples(), *format), 440, 10);
}

struct TAudioCase {
  const char* fixture;
  WORD bits;
  bool isFloat;
};

class AudioFormats : public testing::TestWithParam<TAudioCase> {};

TEST_P(AudioFormats, DecodeToTheSourcePrecision) {
  const TAudioCase& c = GetParam();
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture(c.fixture)));
  EXPECT_FALSE(p.videoSink);
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  const auto format = ParsePcmMediaType(p.audioSink->Connected());
  ASSERT_TRUE(format);
  EXPECT_EQ(format->bits, c.bits);
  EXPECT_EQ(format->isFloat, c.isFloat);
  EXPECT_EQ(format->sampleRate, 44100u);
  EXPECT_NEAR(AudioSeconds(*p.audioSink), 1.0, 0.06);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AudioFormats,
    testing::Values(TAudioCase{"wav8", 8, false}, TAudioCase{"wav16", 16, false},
                    TAudioCase{"wav24", 24, false}, TAudioCase{"wavf32", 32, true},
                    TAudioCase{"flac", 16, false}, TAudioCase{"mp3", 32, true}),
    [](const auto& i) { return std::string(i.param.fixture); });

TEST(Playback, WebmAndVideoOnlyFilesPlay) {
  {
    TPlayback p;
    ASSERT_TRUE(p.Open(Fixture("webm")));
    ASSERT_TRUE(RunToCompletion(p.graph.get()));
    EXPECT_EQ(p.videoSink->Count(), 50u);
    EXPECT_NEAR(AudioSeconds(*p.audioSink), 2.0, 0.1);
  }
  {
    TPlayback p;
    ASSERT_TRUE(p.Open(Fixture("video_only")));
    EXPECT_FALSE(p.audioSink);
    ASSERT_TRUE(RunToCompletion(p.graph.get()));
    EXPECT_EQ(p.videoSink->Count(), 25u);
  }
}

TEST(Playback, PictureAspectRatioOfAWidePalFile) {
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture("pal_wide")));
  const TBCMediaType mt = p.videoSink->Connected();
  ASSERT_EQ(mt.formattype, FORMAT_VideoInfo2);
  const auto* vih = mt.FormatAs<VIDEOINFOHEADER2>();
  ASSERT_TRUE(vih);
  EXPECT_EQ(vih->bmiHeader.biWidth, 720);
  EXPECT_EQ(vih->bmiHeader.biHeight, 576);
  EXPECT_EQ(vih->dwPictAspectRatioX, 16u);
  EXPECT_EQ(vih->dwPictAspectRatioY, 9u);
  EXPECT_EQ(vih->AvgTimePerFrame, 400000);
}

struct TLayoutCase {
  LAVOutPixFmts format;
  const char* name;
};

class FrameLayouts : public testing::TestWithParam<TLayoutCase> {};

// The fixture's top half is white and its bottom half black.
TEST_P(FrameLayouts, RowsMatchThePattern) {
  const LAVOutPixFmts format = GetParam().format;
  TPlayback p;
  TPlaybackOptions options;
  options.videoFormat = format;
  options.keepVideo = true;
  ASSERT_TRUE(p.Open(Fixture("pattern"), options));
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  const TBCMediaType mt = p.videoSink->Connected();
  const auto* vih = mt.FormatAs<VIDEOINFOHEADER2>();
  ASSERT_TRUE(vih);
  const int w = vih->bmiHeader.biWidth, h = vih->bmiHeader.biHeight;
  ASSERT_EQ(w, 64);
  ASSERT_EQ(h, 64);
  const auto frames = p.videoSink->Samples();
  ASSERT_FALSE(frames.empty());
  const std::vector<std::uint8_t>& f = frames.front().data;
  ASSERT_EQ(f.size(), vih->bmiHeader.biSizeImage);
  auto at = [&](int row, int col, int bytesPerPixel, int stride) {
    return f[static_cast<std::size_t>(row) * stride +
             static_cast<std::size_t>(col) * bytesPerPixel];
  };
  switch (format) {
    case LAVOutPixFmt_NV12:
      EXPECT_EQ(mt.subtype, MEDIASUBTYPE_NV12);
      ASSERT_EQ(f.size(), 64u * 64 * 3 / 2);
      EXPECT_NEAR(at(0, 10, 1, w), 235, 3);      // top luma row: white
      EXPECT_NEAR(at(h - 1, 10, 1, w), 16, 3);   // bottom luma row: black
      EXPECT_NEAR(at(h + 5, 10, 1, w), 128, 3);  // chroma: neutral
      break;
    case LAVOutPixFmt_RGB32:
      EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RGB32);
      EXPECT_EQ(vih->bmiHeader.biBitCount, 32);
      EXPECT_NEAR(at(0, 10, 4, w * 4), 0, 3);        // first row in memory: the bottom
      EXPECT_NEAR(at(h - 1, 10, 4, w * 4), 255, 3);  // last row: the top
      break;
    default:
      EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RGB24);
      EXPECT_EQ(vih->bmiHeader.biBitCount, 24);
      EXPECT_NEAR(at(0, 10, 3, DibRowBytes(w, 24)), 0, 3);
      EXPECT_NEAR(at(h - 1, 10, 3, DibRowBytes(w, 24)), 255, 3);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, FrameLayouts,
                         testing::Values(TLayoutCase{LAVOutPixFmt_NV12, "NV12"},
                                         TLayoutCase{LAVOutPixFmt_RGB32, "RGB32"},
                                         TLayoutCase{LAVOutPixFmt_RGB24, "RGB24"}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(Playback, OutputFormatsAreOfferedInTheirFixedOrder) {
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture("mkv")));  // only NV12 enabled: that one is connected
  ComPtr<IPin> out;
  ASSERT_EQ(p.video->FindPin(u"Out", out.Put()), S_OK);
  p.graph->Disconnect(out.get());
  for (LAVOutPixFmts f : {LAVOutPixFmt_NV12, LAVOutPixFmt_RGB32, LAVOutPixFmt_RGB24})
    p.video->SetPixelFormat(f, BOOL_TRUE);
  std::vector<GUID> offered;
  for (int i = 0;; ++i) {
    TBCMediaType mt;
    if (p.video->GetMediaType(i, &mt) != S_OK) break;
    offered.push_back(mt.subtype);
  }
  EXPECT_EQ(offered,
            (std::vector<GUID>{MEDIASUBTYPE_NV12, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB24}));
}
