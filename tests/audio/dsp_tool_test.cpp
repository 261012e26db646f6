// lumora-dsp end to end: WAV files made here, the tool run as a process.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>

#include "audio/sample_format.h"
#include "audio/wav_file.h"

namespace {

namespace fs = std::filesystem;

class DspTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("lumora_dsp_tool_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // A 16-bit stereo sine at 44.1 kHz.
  std::string WriteSine(const std::string& name, double hz, double peak, int bits = 16,
                        bool is_float = false) {
    WavAudio w = MakeWav(2, 44100, bits, is_float);
    const int frames = 44100;
    w.data.resize(static_cast<std::size_t>(frames) * w.FrameBytes());
    DispatchLayout(LayoutOf(bits, is_float), [&](auto tag) {
      constexpr SampleLayout L = decltype(tag)::value;
      std::uint8_t* p = w.data.data();
      for (int n = 0; n < frames; ++n) {
        const double v = peak * std::sin(2 * std::numbers::pi * hz * n / 44100);
        for (int c = 0; c < 2; ++c, p += BytesPerSample(L)) sample::WriteUnit<L, double>(p, v);
      }
    });
    std::string error;
    EXPECT_TRUE(WriteWavFile(Path(name), w, error)) << error;
    return Path(name);
  }

  // Runs the tool; returns its exit code and keeps its output.
  int Run(const std::string& args) {
    const std::string cmd = std::string(LUMORA_BIN_DIR) + "/lumora-dsp " + args + " > " +
                            Path("stdout") + " 2> " + Path("stderr");
    const int status = std::system(cmd.c_str());
    stdout_ = Slurp(Path("stdout"));
    stderr_ = Slurp(Path("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  static double RmsDb(const WavAudio& w, int from_frame) {
    double sum = 0;
    std::int64_t count = 0;
    DispatchLayout(LayoutOf(w.bits, w.is_float), [&](auto tag) {
      constexpr SampleLayout L = decltype(tag)::value;
      for (std::int64_t n = from_frame; n < w.Frames(); ++n, ++count) {
        const double v = sample::ReadUnit<L, double>(&w.data[n * w.FrameBytes()]);
        sum += v * v;
      }
    });
    return 10 * std::log10(sum / static_cast<double>(count));
  }

  WavAudio Read(const std::string& path) {
    WavAudio w;
    std::string error;
    EXPECT_TRUE(ReadWavFile(path, w, error)) << error;
    return w;
  }

  fs::path dir_;
  std::string stdout_, stderr_;
};

TEST_F(DspTool, WithoutEffectsTheAudioIsUnchanged) {
  const auto in = WriteSine("in.wav", 1000, 0.5);
  ASSERT_EQ(Run(in + " " + Path("out.wav")), 0) << stderr_;
  EXPECT_EQ(Read(Path("out.wav")).data, Read(in).data);
}

TEST_F(DspTool, EqualizerBandIsAudibleAndReported) {
  // 1500 Hz lies in band 5; +20 dB there, nothing elsewhere.
  for (auto [bits, is_float] : {std::pair{16, false}, {24, false}, {32, true}, {8, false}}) {
    SCOPED_TRACE(bits);
    const auto in = WriteSine("in.wav", 1500, 0.05, bits, is_float);
    ASSERT_EQ(Run("--eq-on --eq 5=200 --report " + in + " " + Path("out.wav")), 0) << stderr_;
    const WavAudio a = Read(in), b = Read(Path("out.wav"));
    EXPECT_EQ(b.fmt, a.fmt);
    EXPECT_EQ(b.data.size(), a.data.size());
    EXPECT_NEAR(RmsDb(b, 4096) - RmsDb(a, 4096), 20.0, bits == 8 ? 0.6 : 0.1);
    EXPECT_NE(stdout_.find("out peak"), std::string::npos);
  }
  // The band setting without --eq-on changes nothing.
  const auto in = WriteSine("in.wav", 1500, 0.05);
  ASSERT_EQ(Run("--eq 5=200 " + in + " " + Path("off.wav")), 0);
  EXPECT_EQ(Read(Path("off.wav")).data, Read(in).data);
}

TEST_F(DspTool, BoosterCompressesLoudAudio) {
  const auto in = WriteSine("in.wav", 1000, 0.9);
  ASSERT_EQ(Run("--booster " + in + " " + Path("out.wav")), 0) << stderr_;
  EXPECT_LT(RmsDb(Read(Path("out.wav")), 22050) - RmsDb(Read(in), 22050), -4.0);
}

TEST_F(DspTool, BadInputGivesAClearErrorAndExitCode) {
  {
    std::ofstream bad(Path("bad.wav"), std::ios::binary);
    bad << "this is not audio";
  }
  EXPECT_EQ(Run(Path("bad.wav") + " " + Path("out.wav")), 1);
  EXPECT_NE(stderr_.find("not a RIFF WAVE file"), std::string::npos) << stderr_;
  EXPECT_FALSE(fs::exists(Path("out.wav")));
  EXPECT_EQ(Run(Path("missing.wav") + " " + Path("out.wav")), 1);
  EXPECT_NE(stderr_.find("cannot open"), std::string::npos) << stderr_;

  const auto in = WriteSine("in.wav", 1000, 0.5);
  for (const char* args : {"--eq 10=100", "--eq 3=201", "--eq 3", "--eq x=1", "--frobnicate"}) {
    EXPECT_EQ(Run(std::string(args) + " " + in + " " + Path("out.wav")), 2) << args;
    EXPECT_NE(stderr_.find("usage:"), std::string::npos);
  }
  EXPECT_EQ(Run(in), 2);
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_NE(stdout_.find("usage:"), std::string::npos);
}

}  // namespace
