// The splitter on its own and with collecting sinks: loading, pins, the
// stream table, seeking and stream switching.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "directshow/dshow.h"
#include "filters/codec_format.h"
#include "filters/splitter/module/splitter.h"
#include "fixtures.h"
#include "test_graph.h"

using namespace fxt;

namespace {

ComPtr<TLAVSplitter> Load(const std::string& path, HRESULT* hr = nullptr,
                          const char* audioLanguages = nullptr) {
  ComPtr<TLAVSplitter> s = MakeCom<TLAVSplitter>();
  if (audioLanguages) s->SetPreferredLanguages(ds::ToUtf16(audioLanguages).c_str());
  const HRESULT r = s->Load(ds::ToUtf16(path).c_str(), nullptr);
  if (hr) *hr = r;
  return SUCCEEDED(r) ? s : nullptr;
}

struct TStreamLine {
  std::string name;
  DWORD group;
  bool enabled;
  LCID lcid;
};

std::vector<TStreamLine> StreamTable(IAMStreamSelect* select) {
  DWORD n = 0;
  select->Count(&n);
  std::vector<TStreamLine> out;
  for (DWORD i = 0; i < n; ++i) {
    DWORD flags = 0, group = 0;
    LCID lcid = 0;
    LPWSTR name = nullptr;
    EXPECT_EQ(
        select->Info(static_cast<LONG>(i), nullptr, &flags, &lcid, &group, &name, nullptr, nullptr),
        S_OK);
    out.push_back(
        {ds::ToUtf8(ds::WideView(name)), group, (flags & AMSTREAMSELECTINFO_ENABLED) != 0, lcid});
    CoTaskMemFree(name);
  }
  return out;
}

}  // namespace

TEST(Splitter, StreamTableNamesGroupsAndPins) {
  auto s = Load(Fixture("mkv"));
  ASSERT_TRUE(s);
  EXPECT_TRUE(HasPin(s.get(), "Video"));
  EXPECT_TRUE(HasPin(s.get(), "Audio"));
  EXPECT_TRUE(HasPin(s.get(), "Subtitle"));
  const auto table = StreamTable(s.get());
  ASSERT_EQ(table.size(), 5u);
  EXPECT_EQ(table[0].group, 0u);
  EXPECT_TRUE(table[0].enabled);
  EXPECT_EQ(table[1].name, "English (AAC, 2.0)");
  EXPECT_EQ(table[1].group, 1u);
  EXPECT_EQ(table[1].lcid, 0x0409u);
  EXPECT_TRUE(table[1].enabled);
  EXPECT_EQ(table[2].name, "Russian (AAC, 2.0)");
  EXPECT_FALSE(table[2].enabled);
  EXPECT_EQ(table[3].group, 2u);
  EXPECT_EQ(table[3].name, "English (SRT)");
  EXPECT_EQ(table[4].name, "No subtitles");
  EXPECT_EQ(table[4].group, 2u);
  // Exactly one entry of the subtitle group is enabled.
  EXPECT_NE(table[3].enabled, table[4].enabled);
}

TEST(Splitter, PreferredLanguageSelectsTheAudioStream) {
  auto s = Load(Fixture("mkv"), nullptr, "rus");
  ASSERT_TRUE(s);
  const auto table = StreamTable(s.get());
  ASSERT_EQ(table.size(), 5u);
  EXPECT_FALSE(table[1].enabled);
  EXPECT_TRUE(table[2].enabled);
}

TEST(Splitter, DurationAndTimeFormats) {
  auto s = Load(Fixture("mkv"));
  ASSERT_TRUE(s);
  ComPtr<IPin> video;
  ASSERT_EQ(s->FindPin(u"Video", video.Put()), S_OK);
  auto seeking = video.As<IMediaSeeking>();
  ASSERT_TRUE(seeking);
  LONGLONG duration = 0;
  ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_NEAR(Seconds(duration), 2.0, 0.1);
  EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME), S_OK);
  EXPECT_NE(seeking->IsFormatSupported(&TIME_FORMAT_FRAME), S_OK);
}

TEST(Splitter, FileWithFortyStreamsListsThemAll) {
  auto s = Load(Fixture("streams40"));
  ASSERT_TRUE(s);
  DWORD n = 0;
  s->Count(&n);
  EXPECT_EQ(n, 40u);
  EXPECT_TRUE(HasPin(s.get(), "Video"));
  EXPECT_TRUE(HasPin(s.get(), "Audio"));
  EXPECT_FALSE(HasPin(s.get(), "Subtitle"));
}

TEST(Splitter, AudioOnlyAndVideoOnlyFilesHaveOnlyTheirPins) {
  auto audio = Load(Fixture("mp3"));
  ASSERT_TRUE(audio);
  EXPECT_FALSE(HasPin(audio.get(), "Video"));
  EXPECT_TRUE(HasPin(audio.get(), "Audio"));
  auto video = Load(Fixture("video_only"));
  ASSERT_TRUE(video);
  EXPECT_TRUE(HasPin(video.get(), "Video"));
  EXPECT_FALSE(HasPin(video.get(), "Audio"));
}

TEST(Splitter, UnreadableInputsFailToLoadQuickly) {
  const std::string dir = FixtureDir();
  WriteFile(dir + "/empty.mkv", {});
  std::vector<std::uint8_t> text(4000);
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<std::uint8_t>("Just some words of text.\n"[i % 25]);
  WriteFile(dir + "/text.mp4", text);
  std::vector<std::uint8_t> mkv = ReadFile(Fixture("mkv"));
  mkv.resize(200);  // the header only, cut
  WriteFile(dir + "/cut_header.mkv", mkv);
  for (const std::string name : {"/missing.mkv", "/empty.mkv", "/text.mp4", "/cut_header.mkv"}) {
    SCOPED_TRACE(name);
    const auto started = std::chrono::steady_clock::now();
    HRESULT hr = S_OK;
    EXPECT_FALSE(Load(dir + name, &hr));
    EXPECT_TRUE(FAILED(hr));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  }
  // A second Load on the same filter is refused.
  auto s = Load(Fixture("mp3"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Load(ds::ToUtf16(Fixture("flac")).c_str(), nullptr), E_UNEXPECTED);
}

TEST(Splitter, CompressedTypesCarryTheCodecFormatBlock) {
  auto s = Load(Fixture("mkv"));
  ASSERT_TRUE(s);
  AM_MEDIA_TYPE* mt = nullptr;
  ASSERT_EQ(s->Info(0, &mt, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), S_OK);
  ASSERT_TRUE(mt);
  const auto view = ReadCodecFormat(*mt);
  ASSERT_TRUE(view);
  EXPECT_EQ(mt->majortype, MEDIATYPE_Video);
  EXPECT_EQ(view->format.codecId, AV_CODEC_ID_H264);
  EXPECT_EQ(view->format.width, 320);
  EXPECT_GT(view->extradata.size(), 0u);  // the decoder configuration
  DeleteMediaType(mt);
}
