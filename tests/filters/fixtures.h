#pragma once
// Media fixtures for the filter tests, generated on first use with the
// ffmpeg tool into the build's test folder (once per build; concurrent test
// processes wait for each other).

#include <cstdint>
#include <string>
#include <vector>

namespace fxt {

// The path of fixture `name`, generated when missing. Names:
//   "mkv"        2 s H.264 320x240 (key frame every 12 frames at 25 fps) +
//                AAC 440 Hz English + AAC 880 Hz Russian + SRT English
//   "webm"       2 s VP9 + Opus
//   "mp3", "flac", "wav8", "wav16", "wav24", "wavf32"   1 s 440 Hz sine
//   "video_only" 1 s H.264 MP4 without audio
//   "pal_wide"   720x576 H.264 with a 16:9 picture (1 s)
//   "pattern"    64x64 FFV1 (lossless): the top half white, the bottom black
//   "streams40"  1 video + 39 audio streams (MKV)
//   "sine16"     2 s 1 kHz stereo 16-bit WAV at 48 kHz
std::string Fixture(const std::string& name);
// The folder the fixtures are in.
std::string FixtureDir();
std::vector<std::uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data);

}  // namespace fxt
