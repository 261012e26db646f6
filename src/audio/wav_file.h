#pragma once
// RIFF WAVE files of the layouts the effects handle: 8-, 16-, 24- and 32-bit
// integer PCM and 32-bit IEEE float, in the plain or the extensible format.
// The format chunk is kept as read and written back unchanged, so a
// processed file has exactly the format of its source.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct WavAudio {
  int channels = 0;
  int sample_rate = 0;
  int bits = 0;
  bool is_float = false;
  std::vector<std::uint8_t> fmt;   // the format chunk's body
  std::vector<std::uint8_t> data;  // interleaved little-endian samples

  int FrameBytes() const { return channels * (bits / 8); }
  std::int64_t Frames() const { return FrameBytes() > 0 ? data.size() / FrameBytes() : 0; }
};

// A plain (non-extensible) format for the given layout.
WavAudio MakeWav(int channels, int sample_rate, int bits, bool is_float);

// Parses a whole file's bytes. On failure returns false and says why in
// error ("not a RIFF WAVE file", "unsupported sample format: ...", ...).
bool ParseWav(std::span<const std::uint8_t> file, WavAudio& out, std::string& error);
bool ReadWavFile(const std::string& path, WavAudio& out, std::string& error);

std::vector<std::uint8_t> SerializeWav(const WavAudio& audio);
bool WriteWavFile(const std::string& path, const WavAudio& audio, std::string& error);
