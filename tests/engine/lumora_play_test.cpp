// The headless player as a program: its JSON lines and exit codes.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "media_fixtures.h"

namespace etest {
namespace {

struct TRun {
  int exitCode = -1;
  std::vector<std::string> lines;
};

TRun RunPlayer(const std::string& args) {
  const std::string command = "LUMORA_AUDIO_OUT=null DISPLAY= '" + std::string(LUMORA_BIN_DIR) +
                              "/lumora-play' " + args + " 2>/dev/null";
  TRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  std::string line;
  std::array<char, 4096> buf;
  while (std::fgets(buf.data(), buf.size(), pipe)) {
    line += buf.data();
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      run.lines.push_back(line);
      line.clear();
    }
  }
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool Has(const std::string& line, const std::string& part) {
  return line.find(part) != std::string::npos;
}

TEST(LumoraPlay, PlaysAFileToItsEndAndSummarises) {
  const TRun run = RunPlayer("--volume 50 '" + Fixture("av_single") + "'");
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_GE(run.lines.size(), 5u);
  EXPECT_EQ(run.lines[0], R"({"event":"volume","value":50})");
  EXPECT_EQ(run.lines[1], R"({"event":"opened","width":160,"height":120})");
  EXPECT_EQ(run.lines[2], R"({"event":"state","code":2})");
  EXPECT_EQ(run.lines[3], R"({"event":"state","code":2})");
  EXPECT_EQ(run.lines[4], R"({"event":"state","code":0})");
  const std::string& summary = run.lines.back();
  EXPECT_TRUE(Has(summary, R"({"event":"summary","file":")")) << summary;
  EXPECT_TRUE(Has(summary, R"("streams":[{"name":"H264, 160x120","group":0,"active":true},)"))
      << summary;
  EXPECT_TRUE(Has(summary, R"("video_size":[160,120],"novideo":false,"noaudio":false,)"))
      << summary;
  EXPECT_FALSE(Has(summary, R"("frames_drawn":0,)")) << summary;
  EXPECT_FALSE(Has(summary, R"("audio_frames":0,)")) << summary;
  EXPECT_FALSE(Has(summary, R"("first_picture_ms":null)")) << summary;
}

TEST(LumoraPlay, SeeksAndStopsAfterTheGivenTime) {
  const TRun run = RunPlayer("--seek 1000 --for 300 '" + Fixture("av_single") + "'");
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_GE(run.lines.size(), 4u);
  EXPECT_EQ(run.lines[2], R"({"event":"state","code":4})");
  EXPECT_TRUE(Has(run.lines.back(), R"("event":"summary")"));
  for (const std::string& l : run.lines) EXPECT_FALSE(Has(l, R"("code":0)")) << l;
}

TEST(LumoraPlay, AnAudioFileHasNoVideo) {
  const TRun run = RunPlayer("'" + Fixture("audio_only") + "'");
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.lines[0], R"({"event":"opened","width":1920,"height":1080})");
  EXPECT_TRUE(Has(run.lines.back(), R"("novideo":true,"noaudio":false,"frames_drawn":0,)"));
}

TEST(LumoraPlay, AFileItCannotPlayIsAnError) {
  const TRun run = RunPlayer("'" + Fixture("garbage") + "'");
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_EQ(run.lines[0], R"({"event":"error","message":"Неизвестный формат файла"})");
}

TEST(LumoraPlay, UsageErrorsAreReported) {
  struct Case {
    const char* args;
    const char* message;
  };
  for (const Case c : {Case{"", "no file given"}, Case{"--volume x f", "--volume: not a number: x"},
                       Case{"--eq 12=3 f", "--eq: expected BAND=VALUE with a band 0 ... 9: 12=3"},
                       Case{"--bogus f", "unknown option --bogus"}}) {
    const TRun run = RunPlayer(c.args);
    EXPECT_EQ(run.exitCode, 2) << c.args;
    ASSERT_EQ(run.lines.size(), 1u) << c.args;
    EXPECT_EQ(run.lines[0], std::string(R"({"event":"error","message":")") + c.message + "\"}");
  }
}

TEST(LumoraPlay, MissingModulesAreAnError) {
  const TRun run = RunPlayer("--filters /nonexistent '" + Fixture("av_single") + "'");
  EXPECT_EQ(run.exitCode, 3);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_TRUE(Has(run.lines[0], "не может найти файлы")) << run.lines[0];
}

}  // namespace
}  // namespace etest
