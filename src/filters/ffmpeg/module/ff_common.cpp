#include "filters/ffmpeg/module/ff_common.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

extern "C" {
#include <libavutil/log.h>
}

namespace ff {

REFERENCE_TIME ToRefTime(std::int64_t ts, AVRational tb) {
  if (ts == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
  return av_rescale_q(ts, tb, kRefTimeBase);
}

std::int64_t FromRefTime(REFERENCE_TIME t, AVRational tb) {
  if (t == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
  return av_rescale_q(t, kRefTimeBase, tb);
}

std::string ErrorText(int err) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, buf, sizeof buf);
  return buf;
}

void ConfigureLogging() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (!std::getenv("LUMORA_FFMPEG_LOG")) av_log_set_level(AV_LOG_QUIET);
  });
}

std::uint64_t ChannelMask(const AVChannelLayout& layout) {
  if (layout.order == AV_CHANNEL_ORDER_NATIVE) return layout.u.mask;
  return 0;
}

void LayoutFromMask(AVChannelLayout* layout, int channels, std::uint64_t mask) {
  av_channel_layout_uninit(layout);
  if (mask != 0 && av_popcount64(mask) == channels &&
      av_channel_layout_from_mask(layout, mask) == 0)
    return;
  av_channel_layout_default(layout, channels);
}

TCodecFormat CodecFormatOf(const AVStream& stream) {
  const AVCodecParameters& p = *stream.codecpar;
  TCodecFormat f;
  switch (p.codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      f.kind = TCodecKind::Video;
      break;
    case AVMEDIA_TYPE_AUDIO:
      f.kind = TCodecKind::Audio;
      break;
    default:
      f.kind = TCodecKind::Subtitle;
      break;
  }
  f.codecId = p.codec_id;
  f.codecTag = p.codec_tag;
  f.format = p.format;
  f.profile = p.profile;
  f.level = p.level;
  f.bitRate = p.bit_rate;
  f.bitsPerCodedSample = p.bits_per_coded_sample;
  f.bitsPerRawSample = p.bits_per_raw_sample;
  f.width = p.width;
  f.height = p.height;
  f.codecSarNum = p.sample_aspect_ratio.num;
  f.codecSarDen = p.sample_aspect_ratio.den;
  f.streamSarNum = stream.sample_aspect_ratio.num;
  f.streamSarDen = stream.sample_aspect_ratio.den;
  AVRational fr = stream.avg_frame_rate;
  if (fr.num <= 0 || fr.den <= 0) fr = stream.r_frame_rate;
  if (fr.num > 0 && fr.den > 0) {
    f.frameRateNum = fr.num;
    f.frameRateDen = fr.den;
  }
  f.fieldOrder = p.field_order;
  f.colorRange = p.color_range;
  f.colorPrimaries = p.color_primaries;
  f.colorTrc = p.color_trc;
  f.colorSpace = p.color_space;
  f.chromaLocation = p.chroma_location;
  f.videoDelay = p.video_delay;
  f.sampleRate = p.sample_rate;
  f.channels = p.ch_layout.nb_channels;
  f.channelMask = ChannelMask(p.ch_layout);
  f.blockAlign = p.block_align;
  f.frameSize = p.frame_size;
  f.initialPadding = p.initial_padding;
  f.trailingPadding = p.trailing_padding;
  f.seekPreroll = p.seek_preroll;
  f.extradataSize = p.extradata_size > 0 ? static_cast<std::uint32_t>(p.extradata_size) : 0;
  return f;
}

bool ApplyCodecFormat(const TCodecFormatView& view, AVCodecParameters* par) {
  const TCodecFormat& f = view.format;
  switch (f.kind) {
    case TCodecKind::Video:
      par->codec_type = AVMEDIA_TYPE_VIDEO;
      break;
    case TCodecKind::Audio:
      par->codec_type = AVMEDIA_TYPE_AUDIO;
      break;
    default:
      par->codec_type = AVMEDIA_TYPE_SUBTITLE;
      break;
  }
  par->codec_id = static_cast<AVCodecID>(f.codecId);
  par->codec_tag = f.codecTag;
  par->format = f.format;
  par->profile = f.profile;
  par->level = f.level;
  par->bit_rate = f.bitRate;
  par->bits_per_coded_sample = f.bitsPerCodedSample;
  par->bits_per_raw_sample = f.bitsPerRawSample;
  par->width = f.width;
  par->height = f.height;
  par->sample_aspect_ratio = {f.codecSarNum, f.codecSarDen > 0 ? f.codecSarDen : 1};
  par->field_order = static_cast<AVFieldOrder>(f.fieldOrder);
  par->color_range = static_cast<AVColorRange>(f.colorRange);
  par->color_primaries = static_cast<AVColorPrimaries>(f.colorPrimaries);
  par->color_trc = static_cast<AVColorTransferCharacteristic>(f.colorTrc);
  par->color_space = static_cast<AVColorSpace>(f.colorSpace);
  par->chroma_location = static_cast<AVChromaLocation>(f.chromaLocation);
  par->video_delay = f.videoDelay;
  par->sample_rate = f.sampleRate;
  if (f.channels > 0 && f.channels <= 64)
    LayoutFromMask(&par->ch_layout, f.channels, f.channelMask);
  par->block_align = f.blockAlign;
  par->frame_size = f.frameSize;
  par->initial_padding = f.initialPadding;
  par->trailing_padding = f.trailingPadding;
  par->seek_preroll = f.seekPreroll;
  av_freep(&par->extradata);
  par->extradata_size = 0;
  if (!view.extradata.empty()) {
    const std::size_t n = view.extradata.size();
    par->extradata = static_cast<uint8_t*>(av_mallocz(n + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata) return false;
    std::memcpy(par->extradata, view.extradata.data(), n);
    par->extradata_size = static_cast<int>(n);
  }
  return true;
}

HRESULT PacketFromSample(IMediaSample* sample, PacketPtr& packet) {
  packet.reset();
  BYTE* data = nullptr;
  const LONG length = sample->GetActualDataLength();
  if (FAILED(sample->GetPointer(&data)) || !data || length <= 0) return S_FALSE;
  PacketPtr pkt(av_packet_alloc());
  if (!pkt || av_new_packet(pkt.get(), length) < 0) return E_OUTOFMEMORY;
  std::memcpy(pkt->data, data, static_cast<std::size_t>(length));
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT th = sample->GetTime(&start, &stop);
  if (SUCCEEDED(th)) {
    pkt->pts = start;
    if (th == S_OK && stop > start) pkt->duration = stop - start;
  }
  if (sample->IsSyncPoint() == S_OK) pkt->flags |= AV_PKT_FLAG_KEY;
  packet = std::move(pkt);
  return S_OK;
}

HRESULT RequestBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request, LONG count,
                       LONG size, LONG minimum) {
  request->cBuffers = std::max(request->cBuffers, count);
  request->cbBuffer = std::max(request->cbBuffer, size);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= minimum ? S_OK : E_FAIL;
}

}  // namespace ff
