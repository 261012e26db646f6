#include "fixtures.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

namespace fxt {

namespace {

const std::map<std::string, std::pair<std::string, std::string>>& Recipes() {
  // name -> (file name, ffmpeg arguments producing OUT)
  static const std::map<std::string, std::pair<std::string, std::string>> recipes{
      {"mkv",
       {"h264_aac_2lang.mkv",
        "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
        "-f lavfi -i sine=frequency=440:duration=2:sample_rate=48000 "
        "-f lavfi -i sine=frequency=880:duration=2:sample_rate=48000 -i SRT "
        "-map 0 -map 1 -map 2 -map 3 -c:v libx264 -preset ultrafast -g 12 -keyint_min 12 "
        "-sc_threshold 0 -pix_fmt yuv420p -c:a aac -b:a 64k -ac 2 -c:s srt "
        "-metadata:s:a:0 language=eng -metadata:s:a:1 language=rus "
        "-metadata:s:s:0 language=eng -disposition:a:0 default OUT"}},
      {"webm",
       {"vp9_opus.webm",
        "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
        "-f lavfi -i sine=frequency=440:duration=2:sample_rate=48000 "
        "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 200k -g 25 -c:a libopus OUT"}},
      {"mp3", {"sine.mp3", "-f lavfi -i sine=frequency=440:duration=1 -c:a libmp3lame OUT"}},
      {"flac", {"sine.flac", "-f lavfi -i sine=frequency=440:duration=1 -c:a flac OUT"}},
      {"wav8", {"sine8.wav", "-f lavfi -i sine=frequency=440:duration=1 -c:a pcm_u8 OUT"}},
      {"wav16", {"sine16.wav", "-f lavfi -i sine=frequency=440:duration=1 -c:a pcm_s16le OUT"}},
      {"wav24", {"sine24.wav", "-f lavfi -i sine=frequency=440:duration=1 -c:a pcm_s24le OUT"}},
      {"wavf32", {"sinef32.wav", "-f lavfi -i sine=frequency=440:duration=1 -c:a pcm_f32le OUT"}},
      {"video_only",
       {"video_only.mp4",
        "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v libx264 -preset ultrafast "
        "-pix_fmt yuv420p OUT"}},
      {"pal_wide",
       {"pal_wide.mkv",
        "-f lavfi -i testsrc=size=720x576:rate=25:duration=1 -vf setsar=64/45 -c:v libx264 "
        "-preset ultrafast -pix_fmt yuv420p OUT"}},
      {"pattern",
       {"pattern.mkv",
        "-f lavfi -i color=c=white:s=64x64:r=10:d=1 -f lavfi -i color=c=black:s=64x32:r=10:d=1 "
        "-filter_complex [0][1]overlay=0:32,format=yuv420p -c:v ffv1 OUT"}},
      {"streams40", {"streams40.mkv", ""}},  // built below
      {"sine16",
       {"sine1k.wav",
        "-f lavfi -i sine=frequency=1000:duration=2:sample_rate=48000 -ac 2 -c:a pcm_s16le OUT"}},
  };
  return recipes;
}

std::string Streams40Args() {
  std::string args =
      "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 "
      "-f lavfi -i sine=frequency=440:duration=1:sample_rate=8000 -map 0";
  for (int i = 0; i < 39; ++i) args += " -map 1";
  return args + " -c:v libx264 -preset ultrafast -c:a flac OUT";
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

std::string FixtureDir() {
  static const std::string dir = [] {
    const std::string d = std::string(LUMORA_TEST_BIN_DIR) + "/filter_fixtures";
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

std::string Fixture(const std::string& name) {
  const auto it = Recipes().find(name);
  if (it == Recipes().end()) throw std::runtime_error("unknown fixture " + name);
  const std::string dir = FixtureDir();
  const std::string path = dir + "/" + it->second.first;
  if (std::filesystem::exists(path)) return path;

  const int lock = ::open((dir + "/.lock").c_str(), O_CREAT | O_RDWR, 0644);
  if (lock >= 0) ::flock(lock, LOCK_EX);
  if (!std::filesystem::exists(path)) {
    const std::string srt = dir + "/subs.srt";
    {
      std::ofstream s(srt);
      s << "1\n00:00:00,200 --> 00:00:00,900\nHello\n\n2\n00:00:01,000 --> 00:00:01,800\n"
           "World\n\n";
    }
    std::string args = name == "streams40" ? Streams40Args() : it->second.second;
    const std::string tmp = dir + "/tmp_" + it->second.first;
    auto replace = [&](const std::string& key, const std::string& value) {
      for (auto p = args.find(key); p != std::string::npos; p = args.find(key, p + value.size()))
        args.replace(p, key.size(), value);
    };
    replace("SRT", "'" + srt + "'");
    replace("OUT", "'" + tmp + "'");
    Run("ffmpeg -nostdin -hide_banner -loglevel error -y " + args);
    std::filesystem::rename(tmp, path);
  }
  if (lock >= 0) {
    ::flock(lock, LOCK_UN);
    ::close(lock);
  }
  return path;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

}  // namespace fxt
