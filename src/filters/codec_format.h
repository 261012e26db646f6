#pragma once
// The format block of compressed streams between the splitter and the
// decoders: media types with formattype FORMAT_LumoraCodec carry a
// TCodecFormat record followed by the codec's extradata (its decoder
// configuration: SPS/PPS, AudioSpecificConfig, Vorbis headers, ...).
//
// The codec is named by the FFmpeg codec id; the decoders decode exactly
// what the splitter read, with every codec parameter the container gave.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "directshow/media_type.h"
#include "platform/com/guid.h"

inline constexpr GUID FORMAT_LumoraCodec = MakeGuid("{371B82E0-CBE4-4E35-8B40-A26231E30266}");
// Sub-type of every compressed stream of the splitter (the codec is in the
// format block).
inline constexpr GUID MEDIASUBTYPE_LumoraCodec = MakeGuid("{CF709F48-B80F-421B-886B-BAE03E30A0CB}");

enum class TCodecKind : std::int32_t { Video = 0, Audio = 1, Subtitle = 2 };

struct TCodecFormat {
  static constexpr std::uint32_t kVersion = 1;
  static constexpr std::uint32_t kMaxExtradata = 16 * 1024 * 1024;

  std::uint32_t size = sizeof(TCodecFormat);  // of this record, without extradata
  std::uint32_t version = kVersion;
  TCodecKind kind = TCodecKind::Video;
  std::int32_t codecId = 0;  // AVCodecID
  std::uint32_t codecTag = 0;
  std::int32_t format = -1;  // AVPixelFormat / AVSampleFormat, -1 unknown
  std::int32_t profile = -99;
  std::int32_t level = -99;
  std::int64_t bitRate = 0;
  std::int32_t bitsPerCodedSample = 0;
  std::int32_t bitsPerRawSample = 0;
  // Video
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t codecSarNum = 0;  // sample aspect ratio the codec parameters give
  std::int32_t codecSarDen = 1;
  std::int32_t streamSarNum = 0;  // sample aspect ratio the container gives
  std::int32_t streamSarDen = 1;
  std::int32_t frameRateNum = 0;
  std::int32_t frameRateDen = 1;
  std::int32_t fieldOrder = 0;
  std::int32_t colorRange = 0;
  std::int32_t colorPrimaries = 2;
  std::int32_t colorTrc = 2;
  std::int32_t colorSpace = 2;
  std::int32_t chromaLocation = 0;
  std::int32_t videoDelay = 0;
  // Audio
  std::int32_t sampleRate = 0;
  std::int32_t channels = 0;
  std::uint64_t channelMask = 0;  // native channel order mask, 0 unspecified
  std::int32_t blockAlign = 0;
  std::int32_t frameSize = 0;
  std::int32_t initialPadding = 0;
  std::int32_t trailingPadding = 0;
  std::int32_t seekPreroll = 0;
  std::uint32_t extradataSize = 0;  // bytes following the record
};

// The format block's view: the record and its extradata.
struct TCodecFormatView {
  TCodecFormat format;
  std::span<const std::uint8_t> extradata;
};

// Writes the record and extradata into mt's format block (formattype
// FORMAT_LumoraCodec); false when out of memory.
bool WriteCodecFormat(TBCMediaType& mt, const TCodecFormat& format,
                      std::span<const std::uint8_t> extradata);
// Reads a format block; nullopt when the type is not ours or the block is
// malformed (wrong size, version, or extradata beyond the block).
std::optional<TCodecFormatView> ReadCodecFormat(const AM_MEDIA_TYPE& mt);
