#pragma once
// TLAVVideo: the video decoder of "LAVVideo.ax". Input "In" takes the
// splitter's compressed video types (FORMAT_LumoraCodec); output "Out"
// offers, in this fixed order, the enabled ones of
//   NV12 (format 1; top-down, luma rows of `width` bytes, then the
//        interleaved chroma rows; offered for even sizes),
//   RGB32 (format 11; B, G, R, X; bottom-up),
//   RGB24 (format 12; B, G, R; bottom-up, rows padded to 4 bytes),
// each with a VIDEOINFOHEADER2: the coded size, the picture aspect ratio
// from the display aspect ratio, and the frame duration. libswscale writes
// each frame straight into the output sample's buffer.
//
// Frames whose display time ends before the segment start (decoded after a
// seek only to reach the target) are not delivered; end of stream drains
// the decoder; flushes and stops empty it. Frames of another size than the
// connected one are scaled to it. Hardware decoding and deinterlacing are
// settings only: decoding is in software and frames go out as decoded.

#include <array>
#include <optional>

#include "directshow/formats.h"
#include "directshow/transform_filter.h"
#include "filters/ffmpeg/module/ff_common.h"
#include "filters/lav_settings.h"

extern "C" {
#include <libswscale/swscale.h>
}

class TLAVVideo final : public ComExtend<TBCTransformFilter, ILAVVideoSettings> {
 public:
  TLAVVideo();
  ~TLAVVideo() override;

  // TBCTransformFilter hooks
  HRESULT CheckInputType(const TBCMediaType* mtIn) override;
  HRESULT CheckTransform(const TBCMediaType* mtIn, const TBCMediaType* mtOut) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT SetMediaType(PIN_DIRECTION direction, const TBCMediaType* mt) override;
  HRESULT BreakConnect(PIN_DIRECTION direction) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT EndFlush() override;

  // ILAVVideoSettings
  HRESULT SetRuntimeConfig(BOOL bRuntimeConfig) override;
  BOOL GetRuntimeConfig() override;
  HRESULT SetFormatConfiguration(LAVVideoCodec vCodec, BOOL bEnabled) override;
  BOOL GetFormatConfiguration(LAVVideoCodec vCodec) override;
  HRESULT SetNumThreads(DWORD dwNum) override;
  DWORD GetNumThreads() override;
  HRESULT SetStreamAR(DWORD bStreamAR) override;
  DWORD GetStreamAR() override;
  HRESULT SetPixelFormat(LAVOutPixFmts pixFmt, BOOL bEnabled) override;
  BOOL GetPixelFormat(LAVOutPixFmts pixFmt) override;
  HRESULT SetRGBOutputRange(DWORD dwRange) override;
  DWORD GetRGBOutputRange() override;
  HRESULT SetDeintFieldOrder(DWORD fieldOrder) override;
  DWORD GetDeintFieldOrder() override;
  HRESULT SetDeintAggressive(BOOL bAggressive) override;
  BOOL GetDeintAggressive() override;
  HRESULT SetSWDeintMode(DWORD deintMode) override;
  DWORD GetSWDeintMode() override;
  HRESULT SetSWDeintOutput(DWORD deintOutput) override;
  DWORD GetSWDeintOutput() override;
  HRESULT SetHWAccel(LAVHWAccel hwAccel) override;
  LAVHWAccel GetHWAccel() override;
  HRESULT SetHWAccelCodec(LAVVideoHWCodec hwAccelCodec, BOOL bEnabled) override;
  BOOL GetHWAccelCodec(LAVVideoHWCodec hwAccelCodec) override;
  HRESULT SetHWAccelResolutionFlags(DWORD dwResFlags) override;
  DWORD GetHWAccelResolutionFlags() override;
  HRESULT SetUseMSWMV9Decoder(BOOL bEnabled) override;
  BOOL GetUseMSWMV9Decoder() override;
  HRESULT SetDVDVideoSupport(BOOL bEnabled) override;
  BOOL GetDVDVideoSupport() override;
  HRESULT SetTrayIcon(BOOL bEnabled) override;
  BOOL GetTrayIcon() override;

  static std::optional<LAVVideoCodec> CodecEntry(int codecId);

 private:
  struct TGeometry {
    int width = 0;
    int height = 0;
    int aspectX = 0;  // picture aspect ratio
    int aspectY = 0;
    REFERENCE_TIME frameTime = 0;
  };

  bool CodecAccepted(const TCodecFormatView& view);
  bool OpenDecoder(const AM_MEDIA_TYPE& mt);
  void CloseDecoder();
  // The output types in their fixed order.
  std::vector<LAVOutPixFmts> OfferedFormats() const;
  TBCMediaType MakeOutputType(LAVOutPixFmts format) const;
  HRESULT DecodePacket(AVPacket* pkt);
  HRESULT DrainFrames();
  HRESULT DeliverFrame(AVFrame& frame);
  bool Convert(const AVFrame& frame, BYTE* dst, LONG size);

  // Receive-lock state.
  ff::CodecContextPtr fCodec;
  ff::FramePtr fFrame;
  SwsContext* fSws = nullptr;
  TGeometry fGeometry;                           // of the input stream
  LAVOutPixFmts fOutFormat = LAVOutPixFmt_None;  // connected output
  std::optional<REFERENCE_TIME> fNextTime;
  bool fDiscontinuity = true;

  // Settings (filter lock).
  bool fRuntimeConfig = false;
  std::array<bool, Codec_VideoNB> fCodecs{};
  DWORD fThreads = 0;
  DWORD fStreamAR = 2;
  std::array<bool, LAVOutPixFmt_NB> fPixFmts{};
  DWORD fRGBRange = LAVRGBRange_Full;
  DWORD fDeintFieldOrder = 0;
  bool fDeintAggressive = false;
  DWORD fSWDeintMode = 0;
  DWORD fSWDeintOutput = 0;
  LAVHWAccel fHWAccel = HWAccel_None;
  std::array<bool, HWCodec_NB> fHWCodecs{};
  DWORD fHWResFlags = LAVHWResFlag_SD | LAVHWResFlag_HD;
  bool fMSWMV9 = false;
  bool fDVD = false;
  bool fTrayIcon = false;
};
