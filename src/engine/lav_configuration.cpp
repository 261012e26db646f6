#include "engine/lav_configuration.h"

#include "platform/com/types.h"

void ConfigureSplitter(ILAVFSettings& s) {
  s.SetRuntimeConfig(BOOL_TRUE);
  s.SetSubtitleMode(LAVSubtitleMode_Advanced);
  s.SetPreferredLanguages(u"rus");
  s.SetPreferHighQualityAudioStreams(BOOL_FALSE);
  s.SetTrayIcon(BOOL_FALSE);
  s.SetMaxQueueMemSize(300);
}

namespace {

void OutputFormats(ILAVVideoSettings& s, bool noDirect3D, bool noNV12) {
  for (int f = 0; f <= 17; ++f) s.SetPixelFormat(static_cast<LAVOutPixFmts>(f), BOOL_FALSE);
  if (noDirect3D) {
    s.SetPixelFormat(LAVOutPixFmt_RGB24, BOOL_TRUE);
  } else {
    if (!noNV12) s.SetPixelFormat(LAVOutPixFmt_NV12, BOOL_TRUE);
    s.SetPixelFormat(LAVOutPixFmt_RGB32, BOOL_TRUE);
  }
}

void HardwareAndCodecs(ILAVVideoSettings& s) {
  for (int h = 0; h <= 7; ++h) s.SetHWAccelCodec(static_cast<LAVVideoHWCodec>(h), BOOL_TRUE);
  for (int c = 0; c <= 56; ++c) s.SetFormatConfiguration(static_cast<LAVVideoCodec>(c), BOOL_TRUE);
}

}  // namespace

void ConfigureVideoDecoder(ILAVVideoSettings& s, bool noDirect3D, bool noNV12) {
  s.SetRuntimeConfig(BOOL_TRUE);
  s.SetNumThreads(0);
  s.SetStreamAR(0);
  s.SetRGBOutputRange(LAVRGBRange_Full);
  s.SetDeintFieldOrder(0);
  s.SetDeintAggressive(BOOL_TRUE);
  s.SetTrayIcon(BOOL_FALSE);
  s.SetSWDeintMode(1);
  s.SetSWDeintOutput(0);
  s.SetUseMSWMV9Decoder(BOOL_FALSE);
  s.SetDVDVideoSupport(BOOL_TRUE);
  OutputFormats(s, noDirect3D, noNV12);
  s.SetHWAccelResolutionFlags(LAVHWResFlag_SD | LAVHWResFlag_HD | LAVHWResFlag_UHD);
  s.SetHWAccel(HWAccel_DXVA2CopyBack);
  HardwareAndCodecs(s);

  s.SetRuntimeConfig(BOOL_FALSE);
  s.SetUseMSWMV9Decoder(BOOL_FALSE);
  s.SetHWAccel(HWAccel_DXVA2CopyBack);
  OutputFormats(s, noDirect3D, noNV12);
  s.SetHWAccelResolutionFlags(LAVHWResFlag_SD | LAVHWResFlag_HD | LAVHWResFlag_UHD);
  HardwareAndCodecs(s);
}

void ReconfigureVideoDecoderForConnect(ILAVVideoSettings& s) {
  s.SetHWAccel(HWAccel_DXVA2CopyBack);
}

void ConfigureAudioDecoder(ILAVAudioSettings& s) {
  s.SetRuntimeConfig(BOOL_TRUE);
  for (int c = 0; c <= 26; ++c) s.SetFormatConfiguration(static_cast<LAVAudioCodec>(c), BOOL_TRUE);
  s.SetAutoAVSync(BOOL_TRUE);
  s.SetTrayIcon(BOOL_FALSE);
}
