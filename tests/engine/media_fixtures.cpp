#include "media_fixtures.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

namespace etest {

namespace {

struct TRecipe {
  std::string file;
  std::string args;  // ffmpeg arguments; OUT is the output, SRT the subtitle file
};

std::string Streams40() {
  std::string args =
      "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 "
      "-f lavfi -i sine=frequency=440:duration=1:sample_rate=8000 -map 0";
  for (int i = 0; i < 39; ++i) args += " -map 1";
  return args + " -c:v libx264 -preset ultrafast -c:a flac OUT";
}

const std::map<std::string, TRecipe>& Recipes() {
  static const std::map<std::string, TRecipe> recipes{
      {"av",
       {"av_2lang.mkv",
        "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
        "-f lavfi -i sine=frequency=440:duration=2:sample_rate=48000 "
        "-f lavfi -i sine=frequency=880:duration=2:sample_rate=48000 -i SRT "
        "-map 0 -map 1 -map 2 -map 3 -c:v libx264 -preset ultrafast -g 12 -keyint_min 12 "
        "-sc_threshold 0 -pix_fmt yuv420p -c:a aac -b:a 64k -ac 2 -c:s srt "
        "-metadata:s:a:0 language=eng -metadata:s:a:1 language=rus "
        "-metadata:s:s:0 language=eng -disposition:a:0 default -disposition:a:1 0 OUT"}},
      {"av_single",
       {"av_single.mp4",
        "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
        "-f lavfi -i sine=frequency=440:duration=2:sample_rate=44100 "
        "-c:v libx264 -preset ultrafast -g 12 -pix_fmt yuv420p -c:a aac -b:a 64k OUT"}},
      {"audio_only",
       {"audio_only.mp3", "-f lavfi -i sine=frequency=440:duration=2 -c:a libmp3lame OUT"}},
      {"video_only",
       {"video_only.mp4",
        "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v libx264 -preset ultrafast "
        "-pix_fmt yuv420p OUT"}},
      {"streams40", {"streams40.mkv", ""}},
      {"garbage", {"garbage.mkv", ""}},
  };
  return recipes;
}

std::string Dir() {
  static const std::string dir = [] {
    const std::string d = std::string(LUMORA_TEST_BIN_DIR) + "/engine_fixtures";
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

void Make(const std::string& name, const TRecipe& recipe, const std::string& path) {
  const std::string tmp = Dir() + "/part_" + recipe.file;
  if (name == "garbage") {
    std::ofstream(tmp) << "This is not a media file, only its name says so.\n";
  } else {
    const std::string srt = Dir() + "/subs.srt";
    std::ofstream(srt) << "1\n00:00:00,200 --> 00:00:00,900\nHello\n\n"
                          "2\n00:00:01,000 --> 00:00:01,800\nWorld\n\n";
    std::string args = name == "streams40" ? Streams40() : recipe.args;
    auto replace = [&](const std::string& key, const std::string& value) {
      for (auto p = args.find(key); p != std::string::npos; p = args.find(key, p + value.size()))
        args.replace(p, key.size(), value);
    };
    replace("SRT", "'" + srt + "'");
    replace("OUT", "'" + tmp + "'");
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args;
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  }
  std::filesystem::rename(tmp, path);
}

}  // namespace

std::string Fixture(const std::string& name) {
  const auto it = Recipes().find(name);
  if (it == Recipes().end()) throw std::runtime_error("unknown fixture " + name);
  const std::string path = Dir() + "/" + it->second.file;
  if (std::filesystem::exists(path)) return path;
  const int lock = ::open((Dir() + "/.lock").c_str(), O_CREAT | O_RDWR, 0644);
  if (lock >= 0) ::flock(lock, LOCK_EX);
  if (!std::filesystem::exists(path)) Make(name, it->second, path);
  if (lock >= 0) {
    ::flock(lock, LOCK_UN);
    ::close(lock);
  }
  return path;
}

}  // namespace etest
