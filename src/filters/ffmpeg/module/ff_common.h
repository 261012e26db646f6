#pragma once
// FFmpeg helpers shared by the splitter and the decoders: time conversion,
// error texts, channel masks and the codec format block.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <memory>
#include <string>
#include <vector>

#include "directshow/filter_interfaces.h"
#include "filters/codec_format.h"
#include "platform/com/types.h"

namespace ff {

// 100-ns units per second, as an FFmpeg rational time base.
inline constexpr AVRational kRefTimeBase{1, 10000000};

// A time stamp in `tb` as 100-ns units; AV_NOPTS_VALUE stays AV_NOPTS_VALUE.
REFERENCE_TIME ToRefTime(std::int64_t ts, AVRational tb);
std::int64_t FromRefTime(REFERENCE_TIME t, AVRational tb);

std::string ErrorText(int err);

// FFmpeg's own messages stay off (this system keeps no log) unless
// LUMORA_FFMPEG_LOG is set. Called by every filter's constructor.
void ConfigureLogging();

// Speaker mask of a native-order layout; 0 for unspecified or custom ones.
std::uint64_t ChannelMask(const AVChannelLayout& layout);
// The layout for a channel count and mask (the default layout when the mask
// is 0 or does not match the count).
void LayoutFromMask(AVChannelLayout* layout, int channels, std::uint64_t mask);

// The format block of a demuxed stream.
TCodecFormat CodecFormatOf(const AVStream& stream);
// Fills codec parameters from a format block (extradata copied, padded).
// False on allocation failure.
bool ApplyCodecFormat(const TCodecFormatView& view, AVCodecParameters* par);

struct CodecContextFree {
  void operator()(AVCodecContext* c) const noexcept { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const noexcept { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const noexcept { av_packet_free(&p); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

// A packet holding a copy of a compressed sample's data, with its start time
// as pts, its duration when the stop time is valid, and the key flag of a
// sync point. S_FALSE (and no packet) for a sample without data.
HRESULT PacketFromSample(IMediaSample* sample, PacketPtr& packet);

// Asks the allocator for at least `count` buffers of at least `size` bytes
// (keeping larger requests); fails unless each granted buffer holds at least
// `minimum` bytes.
HRESULT RequestBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request, LONG count,
                       LONG size, LONG minimum);

}  // namespace ff
