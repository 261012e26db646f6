#include "audio/wav_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> v) {
  std::vector<std::uint8_t> out;
  for (int b : v) out.push_back(static_cast<std::uint8_t>(b));
  return out;
}

TEST(WavFile, RoundTripsEveryLayout) {
  struct Case {
    int channels, rate, bits;
    bool is_float;
  };
  for (const Case c :
       {Case{1, 8000, 8, false}, Case{2, 44100, 16, false}, Case{6, 48000, 24, false},
        Case{2, 96000, 32, false}, Case{2, 44100, 32, true}}) {
    WavAudio w = MakeWav(c.channels, c.rate, c.bits, c.is_float);
    for (int i = 0; i < 3 * w.FrameBytes() + 1; ++i)
      w.data.push_back(static_cast<std::uint8_t>(i * 7));
    WavAudio r;
    std::string error;
    ASSERT_TRUE(ParseWav(SerializeWav(w), r, error)) << error;
    EXPECT_EQ(r.channels, c.channels);
    EXPECT_EQ(r.sample_rate, c.rate);
    EXPECT_EQ(r.bits, c.bits);
    EXPECT_EQ(r.is_float, c.is_float);
    EXPECT_EQ(r.fmt, w.fmt);
    EXPECT_EQ(r.data, w.data);  // an odd length survives the pad byte
    EXPECT_EQ(r.Frames(), (3 * w.FrameBytes() + 1) / w.FrameBytes());
  }
}

TEST(WavFile, ReadsTheExtensibleFormatAndSkipsOtherChunks) {
  WavAudio w = MakeWav(2, 48000, 32, false);
  w.fmt[0] = 0xFE;  // extensible
  w.fmt[1] = 0xFF;
  const auto ext = Bytes({22, 0, 32, 0, 3, 0, 0,    0,  // size, valid bits, channel mask
                          3,  0, 0,  0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
  w.fmt.insert(w.fmt.end(), ext.begin(), ext.end());
  w.data = Bytes({1, 2, 3, 4, 5, 6, 7, 8});
  auto file = SerializeWav(w);
  // An odd-sized chunk before the data, with its pad byte.
  const auto list = Bytes({'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
  file.insert(file.begin() + 12, list.begin(), list.end());
  WavAudio r;
  std::string error;
  ASSERT_TRUE(ParseWav(file, r, error)) << error;
  EXPECT_TRUE(r.is_float);  // the sub-format says IEEE float
  EXPECT_EQ(r.data, w.data);
  EXPECT_EQ(r.fmt, w.fmt);
}

TEST(WavFile, TruncatedDataKeepsWhatIsThere) {
  WavAudio w = MakeWav(1, 44100, 16, false);
  w.data = Bytes({1, 0, 2, 0, 3, 0, 4, 0});
  auto file = SerializeWav(w);
  file.resize(file.size() - 3);
  WavAudio r;
  std::string error;
  ASSERT_TRUE(ParseWav(file, r, error)) << error;
  EXPECT_EQ(r.data, Bytes({1, 0, 2, 0, 3}));
  EXPECT_EQ(r.Frames(), 2);
}

TEST(WavFile, BadFilesGetClearErrors) {
  auto with_fmt = [](auto edit) {
    WavAudio w = MakeWav(2, 44100, 16, false);
    w.data = Bytes({0, 0, 0, 0});
    edit(w);
    return SerializeWav(w);
  };
  struct Case {
    std::vector<std::uint8_t> file;
    const char* error;
  };
  const Case cases[] = {
      {Bytes({'R', 'I', 'F', 'F'}), "not a RIFF WAVE file"},
      {Bytes({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}), "not a RIFF WAVE file"},
      {Bytes({'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}), "no format chunk"},
      {with_fmt([](WavAudio& w) { w.fmt[0] = 2; }), "unsupported sample format: format tag 2"},
      {with_fmt([](WavAudio& w) { w.fmt[14] = 20; }), "unsupported sample format: 20-bit"},
      {with_fmt([](WavAudio& w) {
         w.fmt[0] = 3;
         w.fmt[14] = 64;
       }),
       "unsupported sample format: 64-bit float"},
      {with_fmt([](WavAudio& w) { w.fmt[2] = w.fmt[3] = 0; }), "invalid format: 0 channels"},
      {with_fmt([](WavAudio& w) { w.fmt[12] = 3; }), "invalid format: block alignment"},
      {with_fmt([](WavAudio& w) { w.fmt.resize(10); }), "format chunk too short"},
      {with_fmt([](WavAudio& w) { w.fmt[0] = 0xFE, w.fmt[1] = 0xFF; }),
       "unsupported sample format: extensible"},
  };
  for (const Case& c : cases) {
    WavAudio r;
    std::string error;
    EXPECT_FALSE(ParseWav(c.file, r, error)) << c.error;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
  // A file without a data chunk.
  auto no_data = with_fmt([](WavAudio&) {});
  no_data.resize(12 + 8 + 16);
  WavAudio r;
  std::string error;
  EXPECT_FALSE(ParseWav(no_data, r, error));
  EXPECT_EQ(error, "no data chunk");
}

TEST(WavFile, FilesOnDisk) {
  const auto dir =
      std::filesystem::temp_directory_path() /
      ("lumora_wav_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "a.wav").string();
  WavAudio w = MakeWav(2, 22050, 24, false);
  w.data = Bytes({1, 2, 3, 4, 5, 6});
  std::string error;
  ASSERT_TRUE(WriteWavFile(path, w, error)) << error;
  WavAudio r;
  ASSERT_TRUE(ReadWavFile(path, r, error)) << error;
  EXPECT_EQ(r.data, w.data);
  EXPECT_FALSE(ReadWavFile((dir / "missing.wav").string(), r, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
  EXPECT_FALSE(WriteWavFile((dir / "no" / "such" / "dir.wav").string(), w, error));
  std::filesystem::remove_all(dir);
}

}  // namespace
