#pragma once
// Uncompressed audio formats between the audio decoder, the effect filter
// and the audio renderer: interleaved PCM of 8 (unsigned), 16, 24 or 32-bit
// integer samples or 32-bit float samples, described by a WAVEFORMATEX or,
// for more than two channels and for 24/32-bit integers, a
// WAVEFORMATEXTENSIBLE with the speaker mask.

#include <optional>

#include "directshow/formats.h"
#include "directshow/media_type.h"

struct TPcmFormat {
  DWORD sampleRate = 0;
  WORD channels = 0;
  WORD bits = 0;          // container bits per sample: 8, 16, 24 or 32
  bool isFloat = false;   // 32-bit IEEE float
  DWORD channelMask = 0;  // speaker mask, 0 when unspecified

  WORD BlockAlign() const { return static_cast<WORD>(channels * (bits / 8)); }
  DWORD BytesPerSecond() const { return sampleRate * BlockAlign(); }
  friend bool operator==(const TPcmFormat&, const TPcmFormat&) = default;
};

// The usual speaker mask for a channel count (1: centre, 2: front pair,
// 6: 5.1, 8: 7.1, ...).
DWORD DefaultChannelMask(int channels);

// A MEDIATYPE_Audio type with the PCM or IEEE_FLOAT sub-type and a
// FORMAT_WaveFormatEx block.
TBCMediaType MakePcmMediaType(const TPcmFormat& format);
// The format of an uncompressed audio type; nullopt for anything else
// (compressed audio, a bad block, unsupported sizes).
std::optional<TPcmFormat> ParsePcmMediaType(const AM_MEDIA_TYPE& mt);
