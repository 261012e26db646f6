#include "filters/pcm_format.h"

#include <bit>
#include <cstring>

#include "directshow/dshow_guids.h"

DWORD DefaultChannelMask(int channels) {
  switch (channels) {
    case 1:
      return SPEAKER_FRONT_CENTER;
    case 2:
      return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    case 3:
      return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_FRONT_CENTER;
    case 4:
      return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_BACK_LEFT | SPEAKER_BACK_RIGHT;
    case 5:
      return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_FRONT_CENTER | SPEAKER_BACK_LEFT |
             SPEAKER_BACK_RIGHT;
    case 6:
      return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_FRONT_CENTER |
             SPEAKER_LOW_FREQUENCY | SPEAKER_BACK_LEFT | SPEAKER_BACK_RIGHT;
    case 7:
      return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_FRONT_CENTER |
             SPEAKER_LOW_FREQUENCY | SPEAKER_BACK_LEFT | SPEAKER_BACK_RIGHT | 0x100;
    case 8:
      return SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT | SPEAKER_FRONT_CENTER |
             SPEAKER_LOW_FREQUENCY | SPEAKER_BACK_LEFT | SPEAKER_BACK_RIGHT | SPEAKER_SIDE_LEFT |
             SPEAKER_SIDE_RIGHT;
    default:
      return 0;
  }
}

TBCMediaType MakePcmMediaType(const TPcmFormat& f) {
  TBCMediaType mt;
  mt.SetType(&MEDIATYPE_Audio);
  mt.SetSubtype(f.isFloat ? &MEDIASUBTYPE_IEEE_FLOAT : &MEDIASUBTYPE_PCM);
  mt.SetSampleSize(f.BlockAlign());
  mt.SetTemporalCompression(false);
  const bool extensible = f.channels > 2 || (!f.isFloat && f.bits > 16);
  WAVEFORMATEXTENSIBLE wfx{};
  wfx.Format.wFormatTag =
      extensible ? WAVE_FORMAT_EXTENSIBLE : (f.isFloat ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM);
  wfx.Format.nChannels = f.channels;
  wfx.Format.nSamplesPerSec = f.sampleRate;
  wfx.Format.nBlockAlign = f.BlockAlign();
  wfx.Format.nAvgBytesPerSec = f.BytesPerSecond();
  wfx.Format.wBitsPerSample = f.bits;
  if (extensible) {
    wfx.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    wfx.Samples.wValidBitsPerSample = f.bits;
    wfx.dwChannelMask = f.channelMask ? f.channelMask : DefaultChannelMask(f.channels);
    wfx.SubFormat = f.isFloat ? KSDATAFORMAT_SUBTYPE_IEEE_FLOAT : KSDATAFORMAT_SUBTYPE_PCM;
    mt.SetFormat(&wfx, sizeof(WAVEFORMATEXTENSIBLE));
  } else {
    mt.SetFormat(&wfx.Format, sizeof(WAVEFORMATEX));
  }
  mt.SetFormatType(&FORMAT_WaveFormatEx);
  return mt;
}

std::optional<TPcmFormat> ParsePcmMediaType(const AM_MEDIA_TYPE& mt) {
  if (mt.majortype != MEDIATYPE_Audio || mt.formattype != FORMAT_WaveFormatEx) return std::nullopt;
  if (!mt.pbFormat || mt.cbFormat < sizeof(WAVEFORMATEX)) return std::nullopt;
  WAVEFORMATEX wfx;
  std::memcpy(&wfx, mt.pbFormat, sizeof wfx);
  TPcmFormat f;
  f.sampleRate = wfx.nSamplesPerSec;
  f.channels = wfx.nChannels;
  f.bits = wfx.wBitsPerSample;
  bool isFloat = wfx.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
  bool isPcm = wfx.wFormatTag == WAVE_FORMAT_PCM;
  if (wfx.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
    if (mt.cbFormat < sizeof(WAVEFORMATEXTENSIBLE)) return std::nullopt;
    WAVEFORMATEXTENSIBLE ext;
    std::memcpy(&ext, mt.pbFormat, sizeof ext);
    isFloat = ext.SubFormat == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
    isPcm = ext.SubFormat == KSDATAFORMAT_SUBTYPE_PCM;
    f.channelMask = std::popcount(ext.dwChannelMask) == f.channels ? ext.dwChannelMask : 0;
    if (isPcm && ext.Samples.wValidBitsPerSample != 0 && ext.Samples.wValidBitsPerSample > f.bits)
      return std::nullopt;
  }
  if (!isFloat && !isPcm) return std::nullopt;
  if (mt.subtype != MEDIASUBTYPE_PCM && mt.subtype != MEDIASUBTYPE_IEEE_FLOAT &&
      mt.subtype != GUID_NULL)
    return std::nullopt;
  f.isFloat = isFloat;
  if (f.sampleRate == 0 || f.sampleRate > 768000 || f.channels == 0 || f.channels > 32)
    return std::nullopt;
  if (isFloat ? f.bits != 32 : (f.bits != 8 && f.bits != 16 && f.bits != 24 && f.bits != 32))
    return std::nullopt;
  if (wfx.nBlockAlign != 0 && wfx.nBlockAlign != f.BlockAlign()) return std::nullopt;
  return f;
}
