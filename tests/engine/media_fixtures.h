#pragma once
// Media files for the engine tests, made on first use with the ffmpeg tool
// in the build's test folder (once per build; test processes running at the
// same time wait for each other).

#include <string>

namespace etest {

// The path of fixture `name`, made when missing:
//   "av"          2 s H.264 320x240 (a key frame every 0.5 s) + AAC 440 Hz
//                 English (default) + AAC 880 Hz Russian + SRT subtitles
//   "av_single"   2 s H.264 160x120 + AAC, one stream each (MP4)
//   "audio_only"  2 s MP3, 440 Hz
//   "video_only"  1 s H.264 160x120 MP4 without audio
//   "streams40"   1 video + 39 audio streams (MKV)
//   "garbage"     a text file named like a video
std::string Fixture(const std::string& name);

}  // namespace etest
