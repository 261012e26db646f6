#pragma once
// TLAVAudio: the audio decoder of "LAVAudio.ax". Input "In" takes the
// splitter's compressed audio types (FORMAT_LumoraCodec); output "Out"
// delivers interleaved PCM at the stream's own sample rate and channel
// layout, as 16-, 24- or 32-bit integers or 32-bit float (the codec's own
// precision where that format is enabled), with a WAVEFORMATEX or
// WAVEFORMATEXTENSIBLE block.
//
// Runs on the upstream streaming thread under the transform filter's
// receive lock: one packet in, any number of output samples out. A sample
// carrying a new media type (a stream switch) re-opens the decoder; a
// changed output format travels on the next output sample. Samples that
// end before the segment start (decoded only to prime the codec after a
// seek) are dropped, and one that straddles it is cut. End of stream drains
// the decoder; a flush empties it.

#include <array>
#include <optional>

#include "directshow/transform_filter.h"
#include "filters/ffmpeg/module/ff_common.h"
#include "filters/lav_settings.h"
#include "filters/pcm_format.h"

extern "C" {
#include <libswresample/swresample.h>
}

class TLAVAudio final : public ComExtend<TBCTransformFilter, ILAVAudioSettings> {
 public:
  TLAVAudio();
  ~TLAVAudio() override;

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

  // ILAVAudioSettings
  HRESULT SetRuntimeConfig(BOOL bRuntimeConfig) override;
  BOOL GetRuntimeConfig() override;
  HRESULT SetFormatConfiguration(LAVAudioCodec aCodec, BOOL bEnabled) override;
  BOOL GetFormatConfiguration(LAVAudioCodec aCodec) override;
  HRESULT SetAutoAVSync(BOOL bAutoSync) override;
  BOOL GetAutoAVSync() override;
  HRESULT SetSampleFormat(LAVAudioSampleFormat format, BOOL bEnabled) override;
  BOOL GetSampleFormat(LAVAudioSampleFormat format) override;
  HRESULT SetTrayIcon(BOOL bEnabled) override;
  BOOL GetTrayIcon() override;

  // The switchable codec entry of an FFmpeg codec id; nullopt when the
  // codec is not switchable (always accepted when a decoder exists).
  static std::optional<LAVAudioCodec> CodecEntry(int codecId);

 private:
  struct TOutputPlan {
    TPcmFormat pcm;
    AVSampleFormat swrFormat = AV_SAMPLE_FMT_NONE;  // what swresample produces
  };

  bool CodecAccepted(const TCodecFormatView& view);
  // Opens the decoder for an input type; false when it cannot decode it.
  bool OpenDecoder(const AM_MEDIA_TYPE& mt);
  void CloseDecoder();
  TOutputPlan PlanOutput(AVSampleFormat decoded, int bitsPerRaw, int rate,
                         const AVChannelLayout& layout) const;
  HRESULT DecodePacket(AVPacket* pkt);
  HRESULT DrainFrames();
  HRESULT DeliverFrame(const AVFrame& frame);
  HRESULT DeliverPcm(const std::uint8_t* data, int frames, REFERENCE_TIME start);
  void ResetTiming();

  // Receive-lock state.
  ff::CodecContextPtr fCodec;
  ff::FramePtr fFrame;
  SwrContext* fSwr = nullptr;
  AVSampleFormat fSwrIn = AV_SAMPLE_FMT_NONE;
  int fSwrRate = 0;
  AVChannelLayout fSwrLayout{};
  std::vector<std::uint8_t> fConvert;       // converted frames
  TOutputPlan fOut;                         // the output format connected or last sent
  bool fOutTypeChanged = false;             // the next sample carries the new type
  std::optional<REFERENCE_TIME> fNextTime;  // end of the last delivered audio
  bool fDiscontinuity = true;

  // Settings (filter lock).
  bool fRuntimeConfig = false;
  std::array<bool, Codec_AudioNB> fCodecs{};
  bool fAutoSync = true;
  std::array<bool, SampleFormat_NB> fSampleFormats{};
  bool fTrayIcon = false;
};
