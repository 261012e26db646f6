#pragma once
// TDemuxer: one opened media file or network address (libavformat), its
// streams, packet reading and seeking. Times at this interface are 100-ns
// units relative to the file's start.
//
// Threads: Open and the stream queries on the application thread; Read on
// the splitter's demux thread; Seek and the key-frame lookup while the demux
// thread is stopped. Abort() may be called from any thread: it makes a
// blocking open or read return at once (network I/O included) until
// ClearAbort().

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "filters/ffmpeg/module/ff_common.h"

class TDemuxer {
 public:
  TDemuxer();
  ~TDemuxer();
  TDemuxer(const TDemuxer&) = delete;
  TDemuxer& operator=(const TDemuxer&) = delete;

  // Opens `url` (a local path or any address libavformat reads). The whole
  // open, including the probing of the streams, gives up after `timeout`;
  // once open, a network read that stalls for `timeout` fails. S_OK;
  // VFW_E_NOT_FOUND for a missing local file; VFW_E_UNKNOWN_FILE_TYPE for
  // content that is not media or has no playable stream; VFW_E_TIMEOUT.
  HRESULT Open(const std::string& url, std::chrono::milliseconds timeout);

  AVFormatContext* Context() const { return fCtx; }
  int StreamCount() const;
  const AVStream* Stream(int index) const;
  // Media time of the file's end; 0 when unknown (live streams).
  REFERENCE_TIME Duration() const;
  bool Seekable() const;

  // Media time of a packet's presentation (or decoding) time stamp;
  // nullopt when it has none.
  std::optional<REFERENCE_TIME> PacketTime(const AVPacket& pkt) const;
  REFERENCE_TIME PacketDuration(const AVPacket& pkt) const;

  // 0, AVERROR_EOF at the end, another negative code on failure.
  int Read(AVPacket* pkt);
  // Positions reading at or before media time t, on a key frame of the
  // video stream when there is one (videoStream, -1 for none). False when
  // the file cannot seek there.
  bool Seek(REFERENCE_TIME t, int videoStream);
  // Media time of the key frame at or before t of a stream: the demuxer
  // seeks there and reads up to that key frame (the read position is then
  // anywhere; seek again before reading). nullopt when it cannot tell.
  std::optional<REFERENCE_TIME> KeyFrameAtOrBefore(int stream, REFERENCE_TIME t);

  void Abort() { fAbort.store(true, std::memory_order_release); }
  void ClearAbort() { fAbort.store(false, std::memory_order_release); }

 private:
  static int InterruptCallback(void* opaque);
  bool Interrupted() const;

  AVFormatContext* fCtx = nullptr;
  REFERENCE_TIME fStartOffset = 0;  // the file's start time, 100-ns
  std::atomic<bool> fAbort{false};
  // Steady-clock deadline of the open in progress (ns since epoch), 0 none.
  std::atomic<std::int64_t> fDeadline{0};
};
