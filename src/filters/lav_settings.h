#pragma once
// Settings interfaces of the decoder modules "LAVSplitter.ax", "LAVVideo.ax"
// and "LAVAudio.ax", and the class identifiers the modules create their
// filters under.
//
// The player queries a module's filter for its interface and configures it
// with a sequence of calls by name. Every setting is held by the filter
// instance (nothing is stored elsewhere), takes effect for the next file
// opened or the next connection, and is answered by its getter. Setters
// return S_OK, or E_INVALIDARG for a value out of range.
//
// The configurations in use:
// - player, splitter: SetRuntimeConfig(TRUE), SetSubtitleMode(Advanced),
//   SetPreferredLanguages(u"rus"), SetPreferHighQualityAudioStreams(FALSE),
//   SetTrayIcon(FALSE), SetMaxQueueMemSize(300);
// - player, video decoder: SetRuntimeConfig(TRUE), SetNumThreads(0),
//   SetStreamAR(0), SetRGBOutputRange(2), SetDeintFieldOrder(0),
//   SetDeintAggressive(TRUE), SetTrayIcon(FALSE), SetSWDeintMode(1),
//   SetSWDeintOutput(0), SetUseMSWMV9Decoder(FALSE), SetDVDVideoSupport(TRUE),
//   SetPixelFormat(f, FALSE) for f 0 ... 17 then the renderer's formats
//   enabled, SetHWAccelResolutionFlags(7), SetHWAccel(3),
//   SetHWAccelCodec(h, TRUE) for h 0 ... 7, SetFormatConfiguration(c, TRUE)
//   for c 0 ... 56;
// - player, audio decoder: SetRuntimeConfig(TRUE),
//   SetFormatConfiguration(c, TRUE) for c 0 ... 26, SetAutoAVSync(TRUE),
//   SetTrayIcon(FALSE);
// - preview: splitter SetRuntimeConfig(TRUE), SetTrayIcon(FALSE),
//   SetMaxQueueMemSize(1), SetSubtitleMode(NoSubs); decoder
//   SetRuntimeConfig(TRUE), SetNumThreads(1), SetRGBOutputRange(1),
//   SetUseMSWMV9Decoder(FALSE), SetDVDVideoSupport(TRUE), every format off
//   then RGB24 on, SetHWAccel(None), every codec on.

#include "platform/com/unknown.h"

// Filters and their module files.
inline constexpr CLSID CLSID_LAVSplitter = MakeGuid("{B98D13E7-55DB-4385-A33D-09FD1BA26338}");
inline constexpr CLSID CLSID_LAVVideo = MakeGuid("{EE30215D-164F-4A92-A4EB-9D4C13390F9F}");
inline constexpr CLSID CLSID_LAVAudio = MakeGuid("{E8E73B6B-4CB3-44A4-BE99-4F7BCB96E491}");
inline constexpr const char* kSplitterModuleName = "LAVSplitter.ax";
inline constexpr const char* kVideoModuleName = "LAVVideo.ax";
inline constexpr const char* kAudioModuleName = "LAVAudio.ax";

// ---------------------------------------------------------------------------
// Splitter

// Which subtitle stream the splitter selects when a file opens.
enum LAVSubtitleMode : int {
  LAVSubtitleMode_NoSubs = 0,      // "No subtitles"
  LAVSubtitleMode_ForcedOnly = 1,  // only a stream flagged forced
  LAVSubtitleMode_Default = 2,     // a preferred-language stream, else a default-flagged one
  LAVSubtitleMode_Advanced = 3,    // preferred language first, then forced, then default
};

struct ILAVFSettings : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{774A919D-EA95-4A87-8A1E-F48ABE8499C7}");

  // Run-time configuration: the settings live only in this instance.
  virtual HRESULT SetRuntimeConfig(BOOL bRuntimeConfig) = 0;
  virtual BOOL GetRuntimeConfig() = 0;
  // Preferred audio languages: ISO 639 codes separated by commas or blanks,
  // most preferred first ("rus", "eng,ger"); empty: the file's default.
  virtual HRESULT SetPreferredLanguages(LPCWSTR pLanguages) = 0;
  // *ppLanguages is CoTaskMemAlloc'd (the caller frees it).
  virtual HRESULT GetPreferredLanguages(LPWSTR* ppLanguages) = 0;
  // Preferred subtitle languages, in the same form.
  virtual HRESULT SetPreferredSubtitleLanguages(LPCWSTR pLanguages) = 0;
  virtual HRESULT GetPreferredSubtitleLanguages(LPWSTR* ppLanguages) = 0;
  virtual HRESULT SetSubtitleMode(LAVSubtitleMode mode) = 0;
  virtual LAVSubtitleMode GetSubtitleMode() = 0;
  // Memory for the packets queued ahead of each output pin, in megabytes
  // (at least 1).
  virtual HRESULT SetMaxQueueMemSize(DWORD dwMaxSize) = 0;
  virtual DWORD GetMaxQueueMemSize() = 0;
  // A notification-area icon for the filter; this system has none, so the
  // value is only kept.
  virtual HRESULT SetTrayIcon(BOOL bEnabled) = 0;
  virtual BOOL GetTrayIcon() = 0;
  // Among audio streams of a preferred language, choose the one with the
  // most channels and highest bit rate (true) or the first (false).
  virtual HRESULT SetPreferHighQualityAudioStreams(BOOL bEnabled) = 0;
  virtual BOOL GetPreferHighQualityAudioStreams() = 0;

 protected:
  ~ILAVFSettings() = default;
};

// ---------------------------------------------------------------------------
// Video decoder

// Output pixel formats. The decoder produces NV12, RGB32 and RGB24; the
// other entries are kept as settings but never offered.
enum LAVOutPixFmts : int {
  LAVOutPixFmt_None = -1,
  LAVOutPixFmt_YV12 = 0,
  LAVOutPixFmt_NV12 = 1,  // produced
  LAVOutPixFmt_YUY2 = 2,
  LAVOutPixFmt_UYVY = 3,
  LAVOutPixFmt_AYUV = 4,
  LAVOutPixFmt_P010 = 5,
  LAVOutPixFmt_P210 = 6,
  LAVOutPixFmt_Y410 = 7,
  LAVOutPixFmt_P016 = 8,
  LAVOutPixFmt_P216 = 9,
  LAVOutPixFmt_Y416 = 10,
  LAVOutPixFmt_RGB32 = 11,  // produced: 32-bit RGB, bottom-up
  LAVOutPixFmt_RGB24 = 12,  // produced: 24-bit RGB, bottom-up
  LAVOutPixFmt_v210 = 13,
  LAVOutPixFmt_v410 = 14,
  LAVOutPixFmt_YV16 = 15,
  LAVOutPixFmt_YV24 = 16,
  LAVOutPixFmt_RGB48 = 17,
  LAVOutPixFmt_NB
};

// Video codecs that can be switched on and off (57 entries).
enum LAVVideoCodec : int {
  Codec_H264,
  Codec_VC1,
  Codec_MPEG1,
  Codec_MPEG2,
  Codec_MPEG4,
  Codec_MSMPEG4,
  Codec_VP8,
  Codec_WMV3,
  Codec_WMV12,
  Codec_MJPEG,
  Codec_Theora,
  Codec_FLV1,
  Codec_VP6,
  Codec_SVQ,
  Codec_H261,
  Codec_H263,
  Codec_Indeo,
  Codec_TSCC,
  Codec_Fraps,
  Codec_HuffYUV,
  Codec_QTRle,
  Codec_DV,
  Codec_Bink,
  Codec_Smacker,
  Codec_RV12,
  Codec_RV34,
  Codec_Lagarith,
  Codec_Cinepak,
  Codec_Camstudio,
  Codec_QPEG,
  Codec_ZLIB,
  Codec_QTRpza,
  Codec_PNG,
  Codec_MSRLE,
  Codec_ProRes,
  Codec_UtVideo,
  Codec_Dirac,
  Codec_DNxHD,
  Codec_MSVideo1,
  Codec_8BPS,
  Codec_LOCO,
  Codec_ZMBV,
  Codec_VCR1,
  Codec_Snow,
  Codec_FFV1,
  Codec_v210,
  Codec_JPEG2000,
  Codec_VMNC,
  Codec_FLIC,
  Codec_G2M,
  Codec_ICOD,
  Codec_THP,
  Codec_HEVC,
  Codec_VP9,
  Codec_TrueMotion,
  Codec_VP7,
  Codec_AV1,
  Codec_VideoNB
};
static_assert(Codec_VideoNB == 57);

// Hardware decoding back ends. Hardware decoding is accepted as a setting
// and not used: every frame is decoded in software.
enum LAVHWAccel : int {
  HWAccel_None = 0,
  HWAccel_CUDA = 1,
  HWAccel_QuickSync = 2,
  HWAccel_DXVA2CopyBack = 3,
  HWAccel_DXVA2Native = 4,
  HWAccel_NB
};

// Codecs hardware decoding may be used for (8 entries).
enum LAVVideoHWCodec : int {
  HWCodec_H264 = 0,
  HWCodec_VC1,
  HWCodec_MPEG2,
  HWCodec_MPEG4,
  HWCodec_MPEG2DVD,
  HWCodec_HEVC,
  HWCodec_VP9,
  HWCodec_H264MVC,
  HWCodec_NB
};

// Resolution classes for hardware decoding (flags).
inline constexpr DWORD LAVHWResFlag_SD = 1;
inline constexpr DWORD LAVHWResFlag_HD = 2;
inline constexpr DWORD LAVHWResFlag_UHD = 4;

// RGB output range.
inline constexpr DWORD LAVRGBRange_Input = 0;    // as the source says
inline constexpr DWORD LAVRGBRange_Limited = 1;  // 16 ... 235
inline constexpr DWORD LAVRGBRange_Full = 2;     // 0 ... 255

struct ILAVVideoSettings : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{FA40D6E9-4D38-4761-ADD2-71A9EC5FD32F}");

  virtual HRESULT SetRuntimeConfig(BOOL bRuntimeConfig) = 0;
  virtual BOOL GetRuntimeConfig() = 0;
  // Whether the decoder accepts streams of the codec.
  virtual HRESULT SetFormatConfiguration(LAVVideoCodec vCodec, BOOL bEnabled) = 0;
  virtual BOOL GetFormatConfiguration(LAVVideoCodec vCodec) = 0;
  // Decoding threads; 0 chooses from the number of processors.
  virtual HRESULT SetNumThreads(DWORD dwNum) = 0;
  virtual DWORD GetNumThreads() = 0;
  // Picture aspect ratio: 0 from the coded stream only, 1 the container's
  // when it gives one, 2 the container's unless the stream gives one.
  virtual HRESULT SetStreamAR(DWORD bStreamAR) = 0;
  virtual DWORD GetStreamAR() = 0;
  // Output pixel formats offered, in the fixed order NV12, RGB32, RGB24.
  virtual HRESULT SetPixelFormat(LAVOutPixFmts pixFmt, BOOL bEnabled) = 0;
  virtual BOOL GetPixelFormat(LAVOutPixFmts pixFmt) = 0;
  // LAVRGBRange_*.
  virtual HRESULT SetRGBOutputRange(DWORD dwRange) = 0;
  virtual DWORD GetRGBOutputRange() = 0;
  // Deinterlacing preferences (0 auto, 1 top field first, 2 bottom first;
  // software mode 0 none, 1 the field-adaptive filter; output 0 one frame
  // per frame, 1 one per field). Kept as settings; the decoder outputs the
  // frames as decoded.
  virtual HRESULT SetDeintFieldOrder(DWORD fieldOrder) = 0;
  virtual DWORD GetDeintFieldOrder() = 0;
  virtual HRESULT SetDeintAggressive(BOOL bAggressive) = 0;
  virtual BOOL GetDeintAggressive() = 0;
  virtual HRESULT SetSWDeintMode(DWORD deintMode) = 0;
  virtual DWORD GetSWDeintMode() = 0;
  virtual HRESULT SetSWDeintOutput(DWORD deintOutput) = 0;
  virtual DWORD GetSWDeintOutput() = 0;
  // Hardware decoding (see LAVHWAccel): kept, not used.
  virtual HRESULT SetHWAccel(LAVHWAccel hwAccel) = 0;
  virtual LAVHWAccel GetHWAccel() = 0;
  virtual HRESULT SetHWAccelCodec(LAVVideoHWCodec hwAccelCodec, BOOL bEnabled) = 0;
  virtual BOOL GetHWAccelCodec(LAVVideoHWCodec hwAccelCodec) = 0;
  virtual HRESULT SetHWAccelResolutionFlags(DWORD dwResFlags) = 0;
  virtual DWORD GetHWAccelResolutionFlags() = 0;
  // A platform decoder for one codec family and DVD navigation support:
  // neither exists here; kept as settings.
  virtual HRESULT SetUseMSWMV9Decoder(BOOL bEnabled) = 0;
  virtual BOOL GetUseMSWMV9Decoder() = 0;
  virtual HRESULT SetDVDVideoSupport(BOOL bEnabled) = 0;
  virtual BOOL GetDVDVideoSupport() = 0;
  virtual HRESULT SetTrayIcon(BOOL bEnabled) = 0;
  virtual BOOL GetTrayIcon() = 0;

 protected:
  ~ILAVVideoSettings() = default;
};

// ---------------------------------------------------------------------------
// Audio decoder

// Audio codecs that can be switched on and off (27 entries).
enum LAVAudioCodec : int {
  Codec_AAC,
  Codec_AC3,
  Codec_EAC3,
  Codec_DTS,
  Codec_MP2,
  Codec_MP3,
  Codec_TRUEHD,
  Codec_FLAC,
  Codec_VORBIS,
  Codec_LPCM,
  Codec_PCM,
  Codec_WAVPACK,
  Codec_TTA,
  Codec_WMA2,
  Codec_WMAPRO,
  Codec_Cook,
  Codec_RealAudio,
  Codec_WMALL,
  Codec_ALAC,
  Codec_Opus,
  Codec_AMR,
  Codec_Nellymoser,
  Codec_MSPCM,
  Codec_Truespeech,
  Codec_TAK,
  Codec_ATRAC,
  Codec_ADPCM,
  Codec_AudioNB
};
static_assert(Codec_AudioNB == 27);

// Output sample formats.
enum LAVAudioSampleFormat : int {
  SampleFormat_16 = 0,
  SampleFormat_24 = 1,
  SampleFormat_32 = 2,
  SampleFormat_U8 = 3,
  SampleFormat_FP32 = 4,
  SampleFormat_NB
};

struct ILAVAudioSettings : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{4158A22B-6553-45D0-8069-24716F8FF171}");

  virtual HRESULT SetRuntimeConfig(BOOL bRuntimeConfig) = 0;
  virtual BOOL GetRuntimeConfig() = 0;
  virtual HRESULT SetFormatConfiguration(LAVAudioCodec aCodec, BOOL bEnabled) = 0;
  virtual BOOL GetFormatConfiguration(LAVAudioCodec aCodec) = 0;
  // Output time stamps follow the decoded sample count and are resynchronised
  // to the stream's time stamps only when they drift apart by more than
  // 100 ms (true), or are taken from each packet (false).
  virtual HRESULT SetAutoAVSync(BOOL bAutoSync) = 0;
  virtual BOOL GetAutoAVSync() = 0;
  // Which output sample formats may be used; the decoder keeps the codec's
  // own precision when its format is enabled, else the nearest enabled one.
  virtual HRESULT SetSampleFormat(LAVAudioSampleFormat format, BOOL bEnabled) = 0;
  virtual BOOL GetSampleFormat(LAVAudioSampleFormat format) = 0;
  virtual HRESULT SetTrayIcon(BOOL bEnabled) = 0;
  virtual BOOL GetTrayIcon() = 0;

 protected:
  ~ILAVAudioSettings() = default;
};

inline constexpr IID IID_ILAVFSettings = ILAVFSettings::iid;
inline constexpr IID IID_ILAVVideoSettings = ILAVVideoSettings::iid;
inline constexpr IID IID_ILAVAudioSettings = ILAVAudioSettings::iid;
