// Seeking to key frames and switching streams through the graph.

#include <gtest/gtest.h>

#include <cstring>

#include "directshow/dshow.h"
#include "filters/pcm_format.h"
#include "fixtures.h"
#include "playback.h"

using namespace fxt;

namespace {

void PauseAndWait(TPlayback& p) {
  auto control = p.Control();
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  OAFilterState state = 0;
  EXPECT_EQ(control->GetState(10000, &state), S_OK);
}

double FloatFrequency(const std::vector<TCollected>& samples, const TPcmFormat& f,
                      std::size_t from = 0) {
  std::vector<float> x;
  for (std::size_t k = from; k < samples.size(); ++k) {
    const auto& s = samples[k];
    for (std::size_t i = 0; i + f.BlockAlign() <= s.data.size(); i += f.BlockAlign()) {
      float v;
      std::memcpy(&v, s.data.data() + i, 4);
      x.push_back(v);
    }
  }
  int crossings = 0;
  for (std::size_t i = 1; i < x.size(); ++i)
    if ((x[i - 1] < 0) != (x[i] < 0)) ++crossings;
  return x.empty() ? 0 : crossings / 2.0 / (static_cast<double>(x.size()) / f.sampleRate);
}

int AudioEntry(TLAVSplitter* s, const char* name) {
  DWORD n = 0;
  s->Count(&n);
  for (DWORD i = 0; i < n; ++i) {
    LPWSTR w = nullptr;
    s->Info(static_cast<LONG>(i), nullptr, nullptr, nullptr, nullptr, &w, nullptr, nullptr);
    const std::string text = ds::ToUtf8(ds::WideView(w));
    CoTaskMemFree(w);
    if (text == name) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

TEST(Seeking, LandsOnTheKeyFrameAtOrBeforeTheTarget) {
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture("mkv")));
  PauseAndWait(p);
  p.videoSink->Clear();
  auto seeking = p.Seeking();
  LONGLONG pos = 13000000;  // 1.3 s; key frames every 0.48 s
  ASSERT_EQ(
      seeking->SetPositions(
          &pos, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame | AM_SEEKING_ReturnTime,
          nullptr, AM_SEEKING_NoPositioning),
      S_OK);
  EXPECT_LE(pos, 13000000);
  EXPECT_GT(pos, 13000000 - 4800000);
  EXPECT_NEAR(Seconds(pos), 0.96, 0.05);
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  const auto frames = p.videoSink->Samples();
  ASSERT_FALSE(frames.empty());
  // The first frame shown is the key frame itself (segment start).
  EXPECT_EQ(frames.front().start, 0);
  EXPECT_EQ(frames.size(), 26u);  // frames 24 ... 49
  EXPECT_GE(p.videoSink->Flushes(), 1);
}

TEST(Seeking, BackToTheStartAfterTheEnd) {
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture("mkv")));
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  p.Control()->Pause();
  p.videoSink->Clear();
  p.audioSink->Clear();
  LONGLONG pos = 0;
  ASSERT_EQ(p.Seeking()->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr,
                                      AM_SEEKING_NoPositioning),
            S_OK);
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  EXPECT_EQ(p.videoSink->Count(), 50u);
}

TEST(StreamSwitching, WhilePausedTheNewStreamPlaysFromThePosition) {
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture("mkv")));
  PauseAndWait(p);
  const int rus = AudioEntry(p.splitter.get(), "Russian (AAC, 2.0)");
  ASSERT_GE(rus, 0);
  ASSERT_EQ(p.splitter->Enable(rus, AMSTREAMSELECTENABLE_ENABLE), S_OK);
  DWORD flags = 0;
  p.splitter->Info(rus, nullptr, &flags, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(flags & AMSTREAMSELECTINFO_ENABLED);
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  const auto format = ParsePcmMediaType(p.audioSink->Connected());
  ASSERT_TRUE(format);
  EXPECT_NEAR(FloatFrequency(p.audioSink->Samples(), *format), 880, 15);
  EXPECT_EQ(p.videoSink->Count(), 50u);  // the video went on undisturbed
}

TEST(StreamSwitching, WhilePlayingKeepsTheVideoAndItsPosition) {
  TPlayback p;
  ASSERT_TRUE(p.Open(Fixture("mkv")));
  p.videoSink->CloseGateAfter(20);
  p.audioSink->CloseGateAfter(10);
  ASSERT_TRUE(SUCCEEDED(p.Control()->Run()));
  ASSERT_TRUE(p.videoSink->WaitForCount(20));
  ASSERT_TRUE(p.audioSink->WaitForCount(10));
  const std::size_t before = p.audioSink->Count();
  const REFERENCE_TIME lastBefore = p.audioSink->Samples().back().start;
  const int rus = AudioEntry(p.splitter.get(), "Russian (AAC, 2.0)");
  ASSERT_EQ(p.splitter->Enable(rus, AMSTREAMSELECTENABLE_ENABLE), S_OK);
  p.videoSink->OpenGate();
  p.audioSink->OpenGate();
  LONG code = 0;
  ASSERT_EQ(p.graph.As<IMediaEvent>()->WaitForCompletion(20000, &code), S_OK);
  const auto frames = p.videoSink->Samples();
  ASSERT_EQ(frames.size(), 50u);
  for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_GT(frames[i].start, frames[i - 1].start);
  const auto audio = p.audioSink->Samples();
  ASSERT_GT(audio.size(), before);
  // The new stream starts near where the old one was, not at the start.
  EXPECT_GT(audio[before].start, 0);
  EXPECT_LT(std::llabs(audio[before].start - lastBefore), 5000000);
  const auto format = ParsePcmMediaType(p.audioSink->Connected());
  ASSERT_TRUE(format);
  EXPECT_NEAR(FloatFrequency(audio, *format, before), 880, 20);
}

TEST(StreamSwitching, NoSubtitlesEntrySwitchesSubtitlesOff) {
  auto s = MakeCom<TLAVSplitter>();
  ASSERT_EQ(s->Load(ds::ToUtf16(Fixture("mkv")).c_str(), nullptr), S_OK);
  DWORD n = 0;
  s->Count(&n);
  ASSERT_EQ(s->Enable(static_cast<LONG>(n - 1), AMSTREAMSELECTENABLE_ENABLE), S_OK);
  DWORD flags = 0;
  s->Info(static_cast<LONG>(n - 1), nullptr, &flags, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(flags & AMSTREAMSELECTINFO_ENABLED);
  s->Info(static_cast<LONG>(n - 2), nullptr, &flags, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(flags & AMSTREAMSELECTINFO_ENABLED);
  EXPECT_EQ(s->Enable(static_cast<LONG>(n), AMSTREAMSELECTENABLE_ENABLE), E_INVALIDARG);
}
