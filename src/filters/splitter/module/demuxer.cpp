#include "filters/splitter/module/demuxer.h"

#include <filesystem>
#include <system_error>

#include "directshow/dshow_types.h"

namespace {

std::int64_t SteadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool HasPlayableStream(const AVFormatContext* ctx) {
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    const AVCodecParameters* p = st->codecpar;
    if (p->codec_id == AV_CODEC_ID_NONE) continue;
    if (p->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC) &&
        p->width > 0 && p->height > 0)
      return true;
    if (p->codec_type == AVMEDIA_TYPE_AUDIO && p->sample_rate > 0 && p->ch_layout.nb_channels > 0)
      return true;
  }
  return false;
}

}  // namespace

TDemuxer::TDemuxer() = default;

TDemuxer::~TDemuxer() {
  if (fCtx) avformat_close_input(&fCtx);
}

int TDemuxer::InterruptCallback(void* opaque) {
  return static_cast<TDemuxer*>(opaque)->Interrupted() ? 1 : 0;
}

bool TDemuxer::Interrupted() const {
  if (fAbort.load(std::memory_order_acquire)) return true;
  const std::int64_t deadline = fDeadline.load(std::memory_order_acquire);
  return deadline != 0 && SteadyNowNs() > deadline;
}

HRESULT TDemuxer::Open(const std::string& url, std::chrono::milliseconds timeout) {
  if (fCtx || url.empty()) return E_UNEXPECTED;
  std::string target = url;
  std::error_code ec;
  const bool isUrl = url.find("://") != std::string::npos;
  if (!isUrl) {
    if (!std::filesystem::is_regular_file(url, ec)) return VFW_E_NOT_FOUND;
    if (std::filesystem::file_size(url, ec) == 0) return VFW_E_UNKNOWN_FILE_TYPE;
    target = "file:" + url;  // a path is never taken for a protocol name
  }

  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) return E_OUTOFMEMORY;
  ctx->interrupt_callback.callback = &TDemuxer::InterruptCallback;
  ctx->interrupt_callback.opaque = this;
  AVDictionary* opts = nullptr;
  const std::string us = std::to_string(std::chrono::microseconds(timeout).count());
  av_dict_set(&opts, "rw_timeout", us.c_str(), 0);
  av_dict_set(&opts, "timeout", us.c_str(), 0);
  av_dict_set(&opts, "reconnect", "0", 0);

  fDeadline.store(SteadyNowNs() + std::chrono::nanoseconds(timeout).count());
  int err = avformat_open_input(&ctx, target.c_str(), nullptr, &opts);
  av_dict_free(&opts);
  if (err < 0) {
    // avformat_open_input frees the context on failure.
    const bool timedOut = Interrupted() && !fAbort.load();
    fDeadline.store(0);
    if (timedOut || err == AVERROR(ETIMEDOUT)) return VFW_E_TIMEOUT;
    if (err == AVERROR(ENOENT)) return VFW_E_NOT_FOUND;
    return VFW_E_UNKNOWN_FILE_TYPE;
  }
  err = avformat_find_stream_info(ctx, nullptr);
  const bool timedOut = Interrupted() && !fAbort.load();
  fDeadline.store(0);
  if (timedOut) {
    avformat_close_input(&ctx);
    return VFW_E_TIMEOUT;
  }
  if (err < 0 || !HasPlayableStream(ctx)) {
    avformat_close_input(&ctx);
    return VFW_E_UNKNOWN_FILE_TYPE;
  }
  fCtx = ctx;
  fStartOffset =
      ctx->start_time != AV_NOPTS_VALUE ? ff::ToRefTime(ctx->start_time, AV_TIME_BASE_Q) : 0;
  return S_OK;
}

int TDemuxer::StreamCount() const { return fCtx ? static_cast<int>(fCtx->nb_streams) : 0; }

const AVStream* TDemuxer::Stream(int index) const {
  if (!fCtx || index < 0 || index >= StreamCount()) return nullptr;
  return fCtx->streams[index];
}

REFERENCE_TIME TDemuxer::Duration() const {
  if (!fCtx || fCtx->duration == AV_NOPTS_VALUE || fCtx->duration <= 0) return 0;
  return ff::ToRefTime(fCtx->duration, AV_TIME_BASE_Q);
}

bool TDemuxer::Seekable() const {
  return fCtx && fCtx->pb && (fCtx->pb->seekable & AVIO_SEEKABLE_NORMAL) && Duration() > 0;
}

std::optional<REFERENCE_TIME> TDemuxer::PacketTime(const AVPacket& pkt) const {
  const AVStream* st = Stream(pkt.stream_index);
  if (!st) return std::nullopt;
  std::int64_t ts = pkt.pts != AV_NOPTS_VALUE ? pkt.pts : pkt.dts;
  if (ts == AV_NOPTS_VALUE) return std::nullopt;
  return ff::ToRefTime(ts, st->time_base) - fStartOffset;
}

REFERENCE_TIME TDemuxer::PacketDuration(const AVPacket& pkt) const {
  const AVStream* st = Stream(pkt.stream_index);
  if (!st || pkt.duration <= 0) return 0;
  return ff::ToRefTime(pkt.duration, st->time_base);
}

int TDemuxer::Read(AVPacket* pkt) {
  if (!fCtx) return AVERROR(EINVAL);
  int err;
  do {
    err = av_read_frame(fCtx, pkt);
  } while (err == AVERROR(EAGAIN) && !Interrupted());
  return err;
}

bool TDemuxer::Seek(REFERENCE_TIME t, int videoStream) {
  if (!fCtx) return false;
  if (t < 0) t = 0;
  const REFERENCE_TIME target = t + fStartOffset;
  if (const AVStream* st = Stream(videoStream)) {
    const std::int64_t ts = ff::FromRefTime(target, st->time_base);
    if (av_seek_frame(fCtx, videoStream, ts, AVSEEK_FLAG_BACKWARD) >= 0) return true;
  }
  const std::int64_t ts = ff::FromRefTime(target, AV_TIME_BASE_Q);
  if (avformat_seek_file(fCtx, -1, INT64_MIN, ts, ts, 0) >= 0) return true;
  if (av_seek_frame(fCtx, -1, ts, AVSEEK_FLAG_BACKWARD) >= 0) return true;
  // Formats without an index may still seek by bytes to the start.
  if (t == 0 && fCtx->pb && avio_seek(fCtx->pb, 0, SEEK_SET) >= 0) {
    avformat_flush(fCtx);
    return true;
  }
  return false;
}

std::optional<REFERENCE_TIME> TDemuxer::KeyFrameAtOrBefore(int stream, REFERENCE_TIME t) {
  // The index alone is not enough: some formats fill it only while reading.
  if (!Stream(stream) || !Seek(t, stream)) return std::nullopt;
  ff::PacketPtr pkt(av_packet_alloc());
  if (!pkt) return std::nullopt;
  constexpr int kMaxPackets = 10000;
  for (int i = 0; i < kMaxPackets && !Interrupted(); ++i) {
    if (Read(pkt.get()) < 0) return std::nullopt;
    const bool key = pkt->stream_index == stream && (pkt->flags & AV_PKT_FLAG_KEY);
    const std::optional<REFERENCE_TIME> time = key ? PacketTime(*pkt) : std::nullopt;
    av_packet_unref(pkt.get());
    if (key) return time;
  }
  return std::nullopt;
}
