// The settings interfaces driven with the configuration sequences the player
// and its preview use, and what they change.

#include <gtest/gtest.h>

#include "directshow/dshow.h"
#include "fixtures.h"
#include "playback.h"

using namespace fxt;

namespace {

std::vector<GUID> Offered(TLAVVideo* video) {
  std::vector<GUID> out;
  for (int i = 0;; ++i) {
    TBCMediaType mt;
    if (video->GetMediaType(i, &mt) != S_OK) break;
    out.push_back(mt.subtype);
  }
  return out;
}

// The player's decoder configuration; `noNV12` and `noDirect3D` as the
// renderer reported them.
void ConfigurePlayerVideo(ILAVVideoSettings* v, bool noNV12, bool noDirect3D) {
  auto formats = [&] {
    for (int f = 0; f <= 17; ++f)
      EXPECT_EQ(v->SetPixelFormat(static_cast<LAVOutPixFmts>(f), 0), S_OK);
    if (noDirect3D) {
      v->SetPixelFormat(LAVOutPixFmt_RGB24, 1);
    } else {
      if (!noNV12) v->SetPixelFormat(LAVOutPixFmt_NV12, 1);
      v->SetPixelFormat(LAVOutPixFmt_RGB32, 1);
    }
  };
  EXPECT_EQ(v->SetRuntimeConfig(1), S_OK);
  EXPECT_EQ(v->SetNumThreads(0), S_OK);
  EXPECT_EQ(v->SetStreamAR(0), S_OK);
  EXPECT_EQ(v->SetRGBOutputRange(2), S_OK);
  EXPECT_EQ(v->SetDeintFieldOrder(0), S_OK);
  EXPECT_EQ(v->SetDeintAggressive(1), S_OK);
  EXPECT_EQ(v->SetTrayIcon(0), S_OK);
  EXPECT_EQ(v->SetSWDeintMode(1), S_OK);
  EXPECT_EQ(v->SetSWDeintOutput(0), S_OK);
  EXPECT_EQ(v->SetUseMSWMV9Decoder(0), S_OK);
  EXPECT_EQ(v->SetDVDVideoSupport(1), S_OK);
  formats();
  EXPECT_EQ(v->SetHWAccelResolutionFlags(7), S_OK);
  EXPECT_EQ(v->SetHWAccel(HWAccel_DXVA2CopyBack), S_OK);
  for (int h = 0; h <= 7; ++h)
    EXPECT_EQ(v->SetHWAccelCodec(static_cast<LAVVideoHWCodec>(h), 1), S_OK);
  for (int c = 0; c <= 56; ++c)
    EXPECT_EQ(v->SetFormatConfiguration(static_cast<LAVVideoCodec>(c), 1), S_OK);
}

}  // namespace

TEST(Settings, PlayerVideoConfigurationChoosesTheRendererFormats) {
  struct Case {
    bool noNV12, noDirect3D;
    std::vector<GUID> offered;
  };
  const Case cases[] = {
      {false, false, {MEDIASUBTYPE_NV12, MEDIASUBTYPE_RGB32}},
      {true, false, {MEDIASUBTYPE_RGB32}},
      {false, true, {MEDIASUBTYPE_RGB24}},
  };
  for (const Case& c : cases) {
    TPlayback p;
    ASSERT_TRUE(p.Open(Fixture("mkv")));
    DisconnectPin(p.graph.get(), p.video.get(), "Out");
    ConfigurePlayerVideo(p.video.get(), c.noNV12, c.noDirect3D);
    EXPECT_EQ(Offered(p.video.get()), c.offered);
    EXPECT_EQ(p.video->GetHWAccel(), HWAccel_DXVA2CopyBack);  // kept; decoding stays in software
  }
}

TEST(Settings, PreviewConfigurationDecodesLimitedRangeRgb24) {
  TPlayback p;
  TPlaybackOptions options;
  options.videoFormat = LAVOutPixFmt_RGB24;
  options.keepVideo = true;
  // The preview's splitter: run-time configuration, no tray icon, a 1 MB
  // queue, no subtitles.
  auto splitter = MakeCom<TLAVSplitter>();
  EXPECT_EQ(splitter->SetRuntimeConfig(1), S_OK);
  EXPECT_EQ(splitter->SetTrayIcon(0), S_OK);
  EXPECT_EQ(splitter->SetMaxQueueMemSize(1), S_OK);
  EXPECT_EQ(splitter->SetSubtitleMode(LAVSubtitleMode_NoSubs), S_OK);
  EXPECT_EQ(splitter->Load(ds::ToUtf16(Fixture("mkv")).c_str(), nullptr), S_OK);
  DWORD n = 0;
  splitter->Count(&n);
  DWORD flags = 0;
  splitter->Info(static_cast<LONG>(n - 1), nullptr, &flags, nullptr, nullptr, nullptr, nullptr,
                 nullptr);
  EXPECT_TRUE(flags & AMSTREAMSELECTINFO_ENABLED);  // "No subtitles"
  // The preview's decoder: one thread, limited-range RGB, only RGB24.
  ASSERT_TRUE(p.Open(Fixture("pattern"), options));
  DisconnectPin(p.graph.get(), p.video.get(), "Out");
  EXPECT_EQ(p.video->SetNumThreads(1), S_OK);
  EXPECT_EQ(p.video->SetRGBOutputRange(1), S_OK);
  ASSERT_EQ(ConnectByName(p.graph.get(), p.video.get(), "Out", p.videoSink.get(), "In"), S_OK);
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  const auto frames = p.videoSink->Samples();
  ASSERT_FALSE(frames.empty());
  const int stride = DibRowBytes(64, 24);
  EXPECT_NEAR(frames[0].data[0], 16, 3);  // black in 16 ... 235
  EXPECT_NEAR(frames[0].data[static_cast<std::size_t>(stride) * 63], 235, 3);  // white
}

TEST(Settings, SplitterAndAudioDecoderAnswerWhatWasSet) {
  auto s = MakeCom<TLAVSplitter>();
  EXPECT_EQ(s->SetPreferredLanguages(u"rus"), S_OK);
  LPWSTR langs = nullptr;
  ASSERT_EQ(s->GetPreferredLanguages(&langs), S_OK);
  EXPECT_EQ(std::u16string(langs), u"rus");
  CoTaskMemFree(langs);
  EXPECT_EQ(s->SetSubtitleMode(LAVSubtitleMode_Advanced), S_OK);
  EXPECT_EQ(s->GetSubtitleMode(), LAVSubtitleMode_Advanced);
  EXPECT_EQ(s->SetSubtitleMode(static_cast<LAVSubtitleMode>(9)), E_INVALIDARG);
  EXPECT_EQ(s->SetMaxQueueMemSize(300), S_OK);
  EXPECT_EQ(s->GetMaxQueueMemSize(), 300u);
  EXPECT_EQ(s->SetMaxQueueMemSize(0), E_INVALIDARG);
  EXPECT_EQ(s->SetPreferHighQualityAudioStreams(0), S_OK);
  EXPECT_EQ(s->GetPreferHighQualityAudioStreams(), BOOL_FALSE);

  auto a = MakeCom<TLAVAudio>();
  EXPECT_EQ(a->SetRuntimeConfig(1), S_OK);
  for (int c = 0; c <= 26; ++c)
    EXPECT_EQ(a->SetFormatConfiguration(static_cast<LAVAudioCodec>(c), 1), S_OK);
  EXPECT_EQ(a->SetFormatConfiguration(static_cast<LAVAudioCodec>(27), 1), E_INVALIDARG);
  EXPECT_EQ(a->SetAutoAVSync(1), S_OK);
  EXPECT_EQ(a->SetTrayIcon(0), S_OK);
  EXPECT_EQ(a->GetAutoAVSync(), BOOL_TRUE);
}

TEST(Settings, DisabledCodecsAndSampleFormatsAreHonoured) {
  // FLAC off: the decoder refuses the stream.
  {
    TPlayback p;
    auto audio = MakeCom<TLAVAudio>();
    audio->SetFormatConfiguration(Codec_FLAC, 0);
    auto splitter = MakeCom<TLAVSplitter>();
    auto graph = CreateFilterGraph();
    graph->AddFilter(splitter.get(), u"s");
    graph->AddFilter(audio.get(), u"a");
    ASSERT_EQ(splitter->Load(ds::ToUtf16(Fixture("flac")).c_str(), nullptr), S_OK);
    EXPECT_TRUE(FAILED(ConnectByName(graph.get(), splitter.get(), "Audio", audio.get(), "In")));
  }
  // 24-bit off: a 24-bit source comes out as 32-bit integers.
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture("wav24")));
  DisconnectPin(p.graph.get(), p.audio.get(), "Out");
  DisconnectPin(p.graph.get(), p.audio.get(), "In");
  p.audio->SetSampleFormat(SampleFormat_24, 0);
  p.audio->SetSampleFormat(SampleFormat_FP32, 0);
  ASSERT_EQ(ConnectByName(p.graph.get(), p.splitter.get(), "Audio", p.audio.get(), "In"), S_OK);
  ASSERT_EQ(ConnectByName(p.graph.get(), p.audio.get(), "Out", p.audioSink.get(), "In"), S_OK);
  const auto format = ParsePcmMediaType(p.audioSink->Connected());
  ASSERT_TRUE(format);
  EXPECT_EQ(format->bits, 32);
  EXPECT_FALSE(format->isFloat);
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
}
