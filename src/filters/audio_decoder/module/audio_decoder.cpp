#include "filters/audio_decoder/module/audio_decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "filters/codec_format.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace {

constexpr REFERENCE_TIME kSyncTolerance = 100 * MILLISECONDS;

struct TParamsFree {
  void operator()(AVCodecParameters* p) const noexcept { avcodec_parameters_free(&p); }
};

REFERENCE_TIME FramesToTime(std::int64_t frames, int rate) {
  return rate > 0 ? frames * UNITS / rate : 0;
}

// Output sample formats in order of preference when the codec's own is off.
constexpr std::array<LAVAudioSampleFormat, 5> kFallbackOrder{
    SampleFormat_FP32, SampleFormat_32, SampleFormat_24, SampleFormat_16, SampleFormat_U8};

TPcmFormat PcmOf(LAVAudioSampleFormat f, int rate, int channels, DWORD mask) {
  TPcmFormat p;
  p.sampleRate = static_cast<DWORD>(rate);
  p.channels = static_cast<WORD>(channels);
  p.channelMask = mask;
  switch (f) {
    case SampleFormat_U8:
      p.bits = 8;
      break;
    case SampleFormat_16:
      p.bits = 16;
      break;
    case SampleFormat_24:
      p.bits = 24;
      break;
    case SampleFormat_32:
      p.bits = 32;
      break;
    default:
      p.bits = 32;
      p.isFloat = true;
      break;
  }
  return p;
}

std::optional<LAVAudioSampleFormat> FormatOf(const TPcmFormat& p) {
  if (p.isFloat) return p.bits == 32 ? std::optional(SampleFormat_FP32) : std::nullopt;
  switch (p.bits) {
    case 8:
      return SampleFormat_U8;
    case 16:
      return SampleFormat_16;
    case 24:
      return SampleFormat_24;
    case 32:
      return SampleFormat_32;
    default:
      return std::nullopt;
  }
}

AVSampleFormat SwrFormatOf(const TPcmFormat& p) {
  if (p.isFloat) return AV_SAMPLE_FMT_FLT;
  switch (p.bits) {
    case 8:
      return AV_SAMPLE_FMT_U8;
    case 16:
      return AV_SAMPLE_FMT_S16;
    default:
      return AV_SAMPLE_FMT_S32;  // 24-bit is packed from 32
  }
}

}  // namespace

TLAVAudio::TLAVAudio() : ComExtend("LAV Audio Decoder", CLSID_LAVAudio) {
  ff::ConfigureLogging();
  fCodecs.fill(true);
  fSampleFormats.fill(true);
}

TLAVAudio::~TLAVAudio() { CloseDecoder(); }

std::optional<LAVAudioCodec> TLAVAudio::CodecEntry(int codecId) {
  const auto id = static_cast<AVCodecID>(codecId);
  switch (id) {
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_AAC_LATM:
      return Codec_AAC;
    case AV_CODEC_ID_AC3:
      return Codec_AC3;
    case AV_CODEC_ID_EAC3:
      return Codec_EAC3;
    case AV_CODEC_ID_DTS:
      return Codec_DTS;
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
      return Codec_MP2;
    case AV_CODEC_ID_MP3:
      return Codec_MP3;
    case AV_CODEC_ID_TRUEHD:
    case AV_CODEC_ID_MLP:
      return Codec_TRUEHD;
    case AV_CODEC_ID_FLAC:
      return Codec_FLAC;
    case AV_CODEC_ID_VORBIS:
      return Codec_VORBIS;
    case AV_CODEC_ID_PCM_DVD:
    case AV_CODEC_ID_PCM_BLURAY:
      return Codec_LPCM;
    case AV_CODEC_ID_WAVPACK:
      return Codec_WAVPACK;
    case AV_CODEC_ID_TTA:
      return Codec_TTA;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
      return Codec_WMA2;
    case AV_CODEC_ID_WMAPRO:
      return Codec_WMAPRO;
    case AV_CODEC_ID_COOK:
      return Codec_Cook;
    case AV_CODEC_ID_RA_144:
    case AV_CODEC_ID_RA_288:
    case AV_CODEC_ID_SIPR:
      return Codec_RealAudio;
    case AV_CODEC_ID_WMALOSSLESS:
      return Codec_WMALL;
    case AV_CODEC_ID_ALAC:
      return Codec_ALAC;
    case AV_CODEC_ID_OPUS:
      return Codec_Opus;
    case AV_CODEC_ID_AMR_NB:
    case AV_CODEC_ID_AMR_WB:
      return Codec_AMR;
    case AV_CODEC_ID_NELLYMOSER:
      return Codec_Nellymoser;
    case AV_CODEC_ID_TRUESPEECH:
      return Codec_Truespeech;
    case AV_CODEC_ID_TAK:
      return Codec_TAK;
    case AV_CODEC_ID_ATRAC1:
    case AV_CODEC_ID_ATRAC3:
    case AV_CODEC_ID_ATRAC3P:
      return Codec_ATRAC;
    default:
      break;
  }
  const char* name = avcodec_get_name(id);
  if (name && std::strncmp(name, "pcm_", 4) == 0) {
    // Plain integer and float PCM (as in WAV files) and the other raw forms.
    return (id == AV_CODEC_ID_PCM_S16LE || id == AV_CODEC_ID_PCM_U8 ||
            id == AV_CODEC_ID_PCM_S24LE || id == AV_CODEC_ID_PCM_S32LE ||
            id == AV_CODEC_ID_PCM_F32LE)
               ? Codec_MSPCM
               : Codec_PCM;
  }
  if (name && std::strncmp(name, "adpcm_", 6) == 0) return Codec_ADPCM;
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Connection

bool TLAVAudio::CodecAccepted(const TCodecFormatView& view) {
  if (view.format.kind != TCodecKind::Audio) return false;
  if (!avcodec_find_decoder(static_cast<AVCodecID>(view.format.codecId))) return false;
  TBCAutoLock lock(FilterLock());
  const auto entry = CodecEntry(view.format.codecId);
  return !entry || fCodecs[static_cast<std::size_t>(*entry)];
}

HRESULT TLAVAudio::CheckInputType(const TBCMediaType* mtIn) {
  if (!mtIn) return E_POINTER;
  if (mtIn->majortype != MEDIATYPE_Audio) return VFW_E_TYPE_NOT_ACCEPTED;
  const auto view = ReadCodecFormat(*mtIn);
  if (!view || !CodecAccepted(*view)) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TLAVAudio::CheckTransform(const TBCMediaType* mtIn, const TBCMediaType* mtOut) {
  if (!mtIn || !mtOut) return E_POINTER;
  const auto out = ParsePcmMediaType(*mtOut);
  if (!out || !fOut.pcm.channels) return VFW_E_TYPE_NOT_ACCEPTED;
  if (out->sampleRate != fOut.pcm.sampleRate || out->channels != fOut.pcm.channels)
    return VFW_E_TYPE_NOT_ACCEPTED;
  const auto f = FormatOf(*out);
  TBCAutoLock lock(FilterLock());
  return f && fSampleFormats[static_cast<std::size_t>(*f)] ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TLAVAudio::GetMediaType(int position, TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (!fOut.pcm.channels) return VFW_E_NOT_CONNECTED;
  // The planned format first, then every other enabled one.
  std::vector<TPcmFormat> offers{fOut.pcm};
  {
    TBCAutoLock lock(FilterLock());
    for (LAVAudioSampleFormat f : kFallbackOrder) {
      if (!fSampleFormats[static_cast<std::size_t>(f)]) continue;
      const TPcmFormat p =
          PcmOf(f, static_cast<int>(fOut.pcm.sampleRate), fOut.pcm.channels, fOut.pcm.channelMask);
      if (std::find(offers.begin(), offers.end(), p) == offers.end()) offers.push_back(p);
    }
  }
  if (position >= static_cast<int>(offers.size())) return VFW_S_NO_MORE_ITEMS;
  *mt = MakePcmMediaType(offers[static_cast<std::size_t>(position)]);
  return S_OK;
}

HRESULT TLAVAudio::SetMediaType(PIN_DIRECTION direction, const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  if (direction == PINDIR_INPUT) {
    TBCAutoLock lock(ReceiveLock());
    return OpenDecoder(*mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  const auto out = ParsePcmMediaType(*mt);
  if (!out) return VFW_E_TYPE_NOT_ACCEPTED;
  TBCAutoLock lock(ReceiveLock());
  fOut.pcm = *out;
  fOut.swrFormat = SwrFormatOf(*out);
  return S_OK;
}

HRESULT TLAVAudio::BreakConnect(PIN_DIRECTION direction) {
  if (direction == PINDIR_INPUT) {
    TBCAutoLock lock(ReceiveLock());
    CloseDecoder();
    fOut = {};
  }
  return S_OK;
}

HRESULT TLAVAudio::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (!allocator || !request) return E_POINTER;
  const LONG block = std::max<LONG>(fOut.pcm.BlockAlign(), 1);
  // A tenth of a second per buffer; larger decoded frames go out in pieces.
  LONG size = static_cast<LONG>(fOut.pcm.BytesPerSecond() / 10);
  size = std::max<LONG>(size, 16384);
  size -= size % block;
  return ff::RequestBuffers(allocator, request, 8, size, block);
}

// ---------------------------------------------------------------------------
// Decoder

void TLAVAudio::CloseDecoder() {
  fCodec.reset();
  fFrame.reset();
  swr_free(&fSwr);
  av_channel_layout_uninit(&fSwrLayout);
  fSwrIn = AV_SAMPLE_FMT_NONE;
  fSwrRate = 0;
}

bool TLAVAudio::OpenDecoder(const AM_MEDIA_TYPE& mt) {
  const auto view = ReadCodecFormat(mt);
  if (!view || !CodecAccepted(*view)) return false;
  const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(view->format.codecId));
  if (!codec) return false;
  std::unique_ptr<AVCodecParameters, TParamsFree> par(avcodec_parameters_alloc());
  if (!par || !ff::ApplyCodecFormat(*view, par.get())) return false;
  ff::CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx || avcodec_parameters_to_context(ctx.get(), par.get()) < 0) return false;
  ctx->pkt_timebase = ff::kRefTimeBase;
  ctx->thread_count = 1;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return false;
  const int rate = ctx->sample_rate > 0 ? ctx->sample_rate : view->format.sampleRate;
  AVChannelLayout layout{};
  if (ctx->ch_layout.nb_channels > 0)
    av_channel_layout_copy(&layout, &ctx->ch_layout);
  else if (view->format.channels > 0 && view->format.channels <= 64)
    ff::LayoutFromMask(&layout, view->format.channels, view->format.channelMask);
  if (rate <= 0 || layout.nb_channels <= 0 || layout.nb_channels > 32) {
    av_channel_layout_uninit(&layout);
    return false;
  }
  CloseDecoder();
  fCodec = std::move(ctx);
  fFrame.reset(av_frame_alloc());
  const int raw =
      fCodec->bits_per_raw_sample > 0 ? fCodec->bits_per_raw_sample : view->format.bitsPerRawSample;
  TOutputPlan plan = PlanOutput(fCodec->sample_fmt, raw, rate, layout);
  av_channel_layout_uninit(&layout);
  if (fOut.pcm.channels && !(plan.pcm == fOut.pcm)) fOutTypeChanged = true;
  fOut = plan;
  ResetTiming();
  return fFrame != nullptr;
}

TLAVAudio::TOutputPlan TLAVAudio::PlanOutput(AVSampleFormat decoded, int bitsPerRaw, int rate,
                                             const AVChannelLayout& layout) const {
  LAVAudioSampleFormat wanted = SampleFormat_16;
  switch (av_get_packed_sample_fmt(decoded)) {
    case AV_SAMPLE_FMT_U8:
      wanted = SampleFormat_U8;
      break;
    case AV_SAMPLE_FMT_S16:
      wanted = SampleFormat_16;
      break;
    case AV_SAMPLE_FMT_S32:
      wanted = bitsPerRaw > 16 && bitsPerRaw <= 24 ? SampleFormat_24 : SampleFormat_32;
      break;
    case AV_SAMPLE_FMT_S64:
      wanted = SampleFormat_32;
      break;
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_DBL:
      wanted = SampleFormat_FP32;
      break;
    default:
      break;
  }
  TBCAutoLock lock(FilterLock());
  LAVAudioSampleFormat chosen = SampleFormat_16;
  if (fSampleFormats[static_cast<std::size_t>(wanted)]) {
    chosen = wanted;
  } else {
    for (LAVAudioSampleFormat f : kFallbackOrder)
      if (fSampleFormats[static_cast<std::size_t>(f)]) {
        chosen = f;
        break;
      }
  }
  DWORD mask = static_cast<DWORD>(ff::ChannelMask(layout) & 0x3FFFF);
  if (std::popcount(mask) != layout.nb_channels) mask = DefaultChannelMask(layout.nb_channels);
  TOutputPlan plan;
  plan.pcm = PcmOf(chosen, rate, layout.nb_channels, mask);
  plan.swrFormat = SwrFormatOf(plan.pcm);
  return plan;
}

void TLAVAudio::ResetTiming() {
  fNextTime.reset();
  fDiscontinuity = true;
}

HRESULT TLAVAudio::StartStreaming() {
  TBCAutoLock lock(ReceiveLock());
  if (fCodec) avcodec_flush_buffers(fCodec.get());
  ResetTiming();
  return S_OK;
}

HRESULT TLAVAudio::StopStreaming() {
  TBCAutoLock lock(ReceiveLock());
  if (fCodec) avcodec_flush_buffers(fCodec.get());
  ResetTiming();
  return S_OK;
}

HRESULT TLAVAudio::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    TBCMediaType mt(*changed);
    DeleteMediaType(changed);
    if (CheckInputType(&mt) != S_OK || !OpenDecoder(mt)) return VFW_E_INVALIDMEDIATYPE;
  }
  if (!fCodec) return VFW_E_NOT_CONNECTED;
  if (sample->IsDiscontinuity() == S_OK) fDiscontinuity = true;

  ff::PacketPtr pkt;
  const HRESULT hr = ff::PacketFromSample(sample, pkt);
  if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;
  return DecodePacket(pkt.get());
}

HRESULT TLAVAudio::DecodePacket(AVPacket* pkt) {
  int err = avcodec_send_packet(fCodec.get(), pkt);
  if (err == AVERROR(EAGAIN)) {
    const HRESULT hr = DrainFrames();
    if (hr != S_OK) return hr;
    err = avcodec_send_packet(fCodec.get(), pkt);
  }
  // A packet the codec cannot use (corrupt data) is skipped.
  (void)err;
  return DrainFrames();
}

HRESULT TLAVAudio::DrainFrames() {
  for (;;) {
    const int err = avcodec_receive_frame(fCodec.get(), fFrame.get());
    if (err < 0) return S_OK;  // EAGAIN, EOF or a decoding error
    const HRESULT hr = DeliverFrame(*fFrame);
    av_frame_unref(fFrame.get());
    if (hr != S_OK) return hr;
  }
}

HRESULT TLAVAudio::DeliverFrame(const AVFrame& frame) {
  const int rate = frame.sample_rate > 0 ? frame.sample_rate : fCodec->sample_rate;
  const auto inFormat = static_cast<AVSampleFormat>(frame.format);
  if (frame.nb_samples <= 0 || rate <= 0 || frame.ch_layout.nb_channels <= 0 ||
      frame.ch_layout.nb_channels > 32 || inFormat == AV_SAMPLE_FMT_NONE)
    return S_OK;

  // A format change inside the stream (rate, channels, sample type).
  if (static_cast<int>(fOut.pcm.sampleRate) != rate ||
      fOut.pcm.channels != frame.ch_layout.nb_channels) {
    fOut = PlanOutput(inFormat, fCodec->bits_per_raw_sample, rate, frame.ch_layout);
    fOutTypeChanged = true;
  }
  if (!fSwr || fSwrIn != inFormat || fSwrRate != rate ||
      av_channel_layout_compare(&fSwrLayout, &frame.ch_layout) != 0) {
    swr_free(&fSwr);
    av_channel_layout_uninit(&fSwrLayout);
    av_channel_layout_copy(&fSwrLayout, &frame.ch_layout);
    AVChannelLayout outLayout{};
    av_channel_layout_copy(&outLayout, &frame.ch_layout);
    const int ok = swr_alloc_set_opts2(&fSwr, &outLayout, fOut.swrFormat, rate, &fSwrLayout,
                                       inFormat, rate, 0, nullptr);
    av_channel_layout_uninit(&outLayout);
    if (ok < 0 || !fSwr || swr_init(fSwr) < 0) {
      swr_free(&fSwr);
      return S_OK;
    }
    fSwrIn = inFormat;
    fSwrRate = rate;
  }

  const int channels = frame.ch_layout.nb_channels;
  const int swrBytes = av_get_bytes_per_sample(fOut.swrFormat);
  const std::size_t need = static_cast<std::size_t>(frame.nb_samples) * channels * swrBytes;
  if (fConvert.size() < need) fConvert.resize(need);
  std::uint8_t* out[1] = {fConvert.data()};
  const int converted =
      swr_convert(fSwr, out, frame.nb_samples,
                  const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
  if (converted <= 0) return S_OK;
  if (fOut.pcm.bits == 24 && !fOut.pcm.isFloat) {
    // Keep the upper three bytes of each little-endian 32-bit sample.
    const std::size_t n = static_cast<std::size_t>(converted) * channels;
    for (std::size_t i = 0; i < n; ++i) std::memmove(&fConvert[i * 3], &fConvert[i * 4 + 1], 3);
  }

  // Time stamps: the stream's, or continuous from the last frame.
  const REFERENCE_TIME duration = FramesToTime(converted, rate);
  const std::int64_t pts = frame.best_effort_timestamp;
  REFERENCE_TIME start;
  if (fNextTime && !fDiscontinuity && (fAutoSync || pts == AV_NOPTS_VALUE)) {
    start = *fNextTime;
    if (pts != AV_NOPTS_VALUE && std::llabs(pts - start) > kSyncTolerance) start = pts;
  } else {
    start = pts != AV_NOPTS_VALUE ? pts : fNextTime.value_or(0);
  }
  fNextTime = start + duration;

  // Priming audio before the segment start is not delivered.
  int skip = 0;
  if (start + duration <= 0) return S_OK;
  if (start < 0) {
    skip = static_cast<int>((-start * rate + UNITS - 1) / UNITS);
    skip = std::min(skip, converted);
  }
  const std::size_t block = fOut.pcm.BlockAlign();
  return DeliverPcm(fConvert.data() + skip * block, converted - skip,
                    start + FramesToTime(skip, rate));
}

HRESULT TLAVAudio::DeliverPcm(const std::uint8_t* data, int frames, REFERENCE_TIME start) {
  const int block = fOut.pcm.BlockAlign();
  const int rate = static_cast<int>(fOut.pcm.sampleRate);
  while (frames > 0) {
    ComPtr<IMediaSample> out;
    HRESULT hr = OutputPin()->GetDeliveryBuffer(out.Put(), nullptr, nullptr, 0);
    if (FAILED(hr) || !out) return hr == S_OK ? E_FAIL : hr;
    BYTE* dst = nullptr;
    out->GetPointer(&dst);
    const int capacity = out->GetSize() / block;
    if (!dst || capacity <= 0) return E_FAIL;
    const int n = std::min(frames, capacity);
    std::memcpy(dst, data, static_cast<std::size_t>(n) * block);
    out->SetActualDataLength(n * block);
    REFERENCE_TIME stop = start + FramesToTime(n, rate);
    out->SetTime(&start, &stop);
    out->SetSyncPoint(BOOL_TRUE);
    out->SetDiscontinuity(ToBOOL(fDiscontinuity));
    fDiscontinuity = false;
    if (fOutTypeChanged) {
      TBCMediaType mt = MakePcmMediaType(fOut.pcm);
      out->SetMediaType(&mt);
      fOutTypeChanged = false;
    }
    hr = OutputPin()->Deliver(out.get());
    if (hr != S_OK) return hr;
    data += static_cast<std::size_t>(n) * block;
    frames -= n;
    start = stop;
  }
  return S_OK;
}

HRESULT TLAVAudio::EndOfStream() {
  if (fCodec) {
    avcodec_send_packet(fCodec.get(), nullptr);
    DrainFrames();
    avcodec_flush_buffers(fCodec.get());
  }
  ResetTiming();
  return ComExtend::EndOfStream();
}

HRESULT TLAVAudio::EndFlush() {
  {
    TBCAutoLock lock(ReceiveLock());
    if (fCodec) avcodec_flush_buffers(fCodec.get());
    ResetTiming();
  }
  return ComExtend::EndFlush();
}

// ---------------------------------------------------------------------------
// ILAVAudioSettings

HRESULT TLAVAudio::SetRuntimeConfig(BOOL b) {
  TBCAutoLock lock(FilterLock());
  fRuntimeConfig = FromBOOL(b);
  return S_OK;
}
BOOL TLAVAudio::GetRuntimeConfig() {
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fRuntimeConfig);
}
HRESULT TLAVAudio::SetFormatConfiguration(LAVAudioCodec c, BOOL b) {
  if (c < 0 || c >= Codec_AudioNB) return E_INVALIDARG;
  TBCAutoLock lock(FilterLock());
  fCodecs[static_cast<std::size_t>(c)] = FromBOOL(b);
  return S_OK;
}
BOOL TLAVAudio::GetFormatConfiguration(LAVAudioCodec c) {
  if (c < 0 || c >= Codec_AudioNB) return BOOL_FALSE;
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fCodecs[static_cast<std::size_t>(c)]);
}
HRESULT TLAVAudio::SetAutoAVSync(BOOL b) {
  TBCAutoLock lock(FilterLock());
  fAutoSync = FromBOOL(b);
  return S_OK;
}
BOOL TLAVAudio::GetAutoAVSync() {
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fAutoSync);
}
HRESULT TLAVAudio::SetSampleFormat(LAVAudioSampleFormat f, BOOL b) {
  if (f < 0 || f >= SampleFormat_NB) return E_INVALIDARG;
  TBCAutoLock lock(FilterLock());
  fSampleFormats[static_cast<std::size_t>(f)] = FromBOOL(b);
  return S_OK;
}
BOOL TLAVAudio::GetSampleFormat(LAVAudioSampleFormat f) {
  if (f < 0 || f >= SampleFormat_NB) return BOOL_FALSE;
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fSampleFormats[static_cast<std::size_t>(f)]);
}
HRESULT TLAVAudio::SetTrayIcon(BOOL b) {
  TBCAutoLock lock(FilterLock());
  fTrayIcon = FromBOOL(b);
  return S_OK;
}
BOOL TLAVAudio::GetTrayIcon() {
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fTrayIcon);
}
