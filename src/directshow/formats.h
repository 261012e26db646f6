#pragma once
// Format blocks of audio and video media types, laid out byte for byte as on
// the platform the framework stands in for (decoder modules and filters
// exchange them as raw bytes in AM_MEDIA_TYPE::pbFormat).

#include <cstddef>

#include "platform/com/guid.h"
#include "platform/com/types.h"

inline constexpr WORD WAVE_FORMAT_PCM = 0x0001;
inline constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;
inline constexpr WORD WAVE_FORMAT_DTS = 0x0008;
inline constexpr WORD WAVE_FORMAT_DOLBY_AC3_SPDIF = 0x0092;
inline constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

inline constexpr DWORD SPEAKER_FRONT_LEFT = 0x1;
inline constexpr DWORD SPEAKER_FRONT_RIGHT = 0x2;
inline constexpr DWORD SPEAKER_FRONT_CENTER = 0x4;
inline constexpr DWORD SPEAKER_LOW_FREQUENCY = 0x8;
inline constexpr DWORD SPEAKER_BACK_LEFT = 0x10;
inline constexpr DWORD SPEAKER_BACK_RIGHT = 0x20;
inline constexpr DWORD SPEAKER_SIDE_LEFT = 0x200;
inline constexpr DWORD SPEAKER_SIDE_RIGHT = 0x400;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;  // bytes of extra format data after this record
};

struct WAVEFORMATEXTENSIBLE {
  WAVEFORMATEX Format;
  union {
    WORD wValidBitsPerSample;
    WORD wSamplesPerBlock;
    WORD wReserved;
  } Samples;
  DWORD dwChannelMask;
  GUID SubFormat;
};
#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40);

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: rows stored bottom-up
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;  // BI_RGB or a FOURCC
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};

// VIDEOINFOHEADER2 dwInterlaceFlags / dwControlFlags bits.
inline constexpr DWORD AMINTERLACE_IsInterlaced = 0x1;
inline constexpr DWORD AMCONTROL_USED = 0x1;
inline constexpr DWORD AMCONTROL_PAD_TO_4x3 = 0x2;
inline constexpr DWORD AMCONTROL_PAD_TO_16x9 = 0x4;
inline constexpr DWORD AMCONTROL_COLORINFO_PRESENT = 0x80;

// The fixed part; a palette or bit masks may follow bmiHeader in the block.
struct VIDEOINFOHEADER2 {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  DWORD dwInterlaceFlags;
  DWORD dwCopyProtectFlags;
  DWORD dwPictAspectRatioX;
  DWORD dwPictAspectRatioY;
  union {
    DWORD dwControlFlags;
    DWORD dwReserved1;
  };
  DWORD dwReserved2;
  BITMAPINFOHEADER bmiHeader;
};

static_assert(sizeof(RECT) == 16);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(sizeof(VIDEOINFOHEADER2) == 112);
static_assert(offsetof(VIDEOINFOHEADER2, AvgTimePerFrame) == 40);
static_assert(offsetof(VIDEOINFOHEADER2, dwPictAspectRatioX) == 56);
static_assert(offsetof(VIDEOINFOHEADER2, bmiHeader) == 72);

// Bytes per row of an uncompressed RGB bitmap: rows are padded to 4 bytes.
constexpr LONG DibRowBytes(LONG width, WORD bitCount) { return ((width * bitCount + 31) / 32) * 4; }
