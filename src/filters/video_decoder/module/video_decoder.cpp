#include "filters/video_decoder/module/video_decoder.h"

#include <algorithm>

#include "filters/codec_format.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace {

struct TParamsFree {
  void operator()(AVCodecParameters* p) const noexcept { avcodec_parameters_free(&p); }
};

constexpr DWORD MakeFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<unsigned char>(a)) |
         static_cast<DWORD>(static_cast<unsigned char>(b)) << 8 |
         static_cast<DWORD>(static_cast<unsigned char>(c)) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(d)) << 24;
}

const GUID& SubtypeOf(LAVOutPixFmts f) {
  switch (f) {
    case LAVOutPixFmt_NV12:
      return MEDIASUBTYPE_NV12;
    case LAVOutPixFmt_RGB32:
      return MEDIASUBTYPE_RGB32;
    default:
      return MEDIASUBTYPE_RGB24;
  }
}

AVPixelFormat AvFormatOf(LAVOutPixFmts f) {
  switch (f) {
    case LAVOutPixFmt_NV12:
      return AV_PIX_FMT_NV12;
    case LAVOutPixFmt_RGB32:
      return AV_PIX_FMT_BGR0;
    default:
      return AV_PIX_FMT_BGR24;
  }
}

LONG ImageSize(LAVOutPixFmts f, int w, int h) {
  switch (f) {
    case LAVOutPixFmt_NV12:
      return w * h + w * ((h + 1) / 2);
    case LAVOutPixFmt_RGB32:
      return DibRowBytes(w, 32) * h;
    default:
      return DibRowBytes(w, 24) * h;
  }
}

}  // namespace

TLAVVideo::TLAVVideo() : ComExtend("LAV Video Decoder", CLSID_LAVVideo) {
  ff::ConfigureLogging();
  fCodecs.fill(true);
  fHWCodecs.fill(false);
  fPixFmts.fill(false);
  fPixFmts[LAVOutPixFmt_NV12] = true;
  fPixFmts[LAVOutPixFmt_RGB32] = true;
  fPixFmts[LAVOutPixFmt_RGB24] = true;
}

TLAVVideo::~TLAVVideo() { CloseDecoder(); }

std::optional<LAVVideoCodec> TLAVVideo::CodecEntry(int codecId) {
  switch (static_cast<AVCodecID>(codecId)) {
    case AV_CODEC_ID_H264:
      return Codec_H264;
    case AV_CODEC_ID_VC1:
      return Codec_VC1;
    case AV_CODEC_ID_MPEG1VIDEO:
      return Codec_MPEG1;
    case AV_CODEC_ID_MPEG2VIDEO:
      return Codec_MPEG2;
    case AV_CODEC_ID_MPEG4:
      return Codec_MPEG4;
    case AV_CODEC_ID_MSMPEG4V1:
    case AV_CODEC_ID_MSMPEG4V2:
    case AV_CODEC_ID_MSMPEG4V3:
      return Codec_MSMPEG4;
    case AV_CODEC_ID_VP8:
      return Codec_VP8;
    case AV_CODEC_ID_WMV3:
      return Codec_WMV3;
    case AV_CODEC_ID_WMV1:
    case AV_CODEC_ID_WMV2:
      return Codec_WMV12;
    case AV_CODEC_ID_MJPEG:
    case AV_CODEC_ID_MJPEGB:
      return Codec_MJPEG;
    case AV_CODEC_ID_THEORA:
      return Codec_Theora;
    case AV_CODEC_ID_FLV1:
      return Codec_FLV1;
    case AV_CODEC_ID_VP6:
    case AV_CODEC_ID_VP6A:
    case AV_CODEC_ID_VP6F:
      return Codec_VP6;
    case AV_CODEC_ID_SVQ1:
    case AV_CODEC_ID_SVQ3:
      return Codec_SVQ;
    case AV_CODEC_ID_H261:
      return Codec_H261;
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_H263I:
    case AV_CODEC_ID_H263P:
      return Codec_H263;
    case AV_CODEC_ID_INDEO3:
    case AV_CODEC_ID_INDEO4:
    case AV_CODEC_ID_INDEO5:
      return Codec_Indeo;
    case AV_CODEC_ID_TSCC:
    case AV_CODEC_ID_TSCC2:
      return Codec_TSCC;
    case AV_CODEC_ID_FRAPS:
      return Codec_Fraps;
    case AV_CODEC_ID_HUFFYUV:
    case AV_CODEC_ID_FFVHUFF:
      return Codec_HuffYUV;
    case AV_CODEC_ID_QTRLE:
      return Codec_QTRle;
    case AV_CODEC_ID_DVVIDEO:
      return Codec_DV;
    case AV_CODEC_ID_BINKVIDEO:
      return Codec_Bink;
    case AV_CODEC_ID_SMACKVIDEO:
      return Codec_Smacker;
    case AV_CODEC_ID_RV10:
    case AV_CODEC_ID_RV20:
      return Codec_RV12;
    case AV_CODEC_ID_RV30:
    case AV_CODEC_ID_RV40:
      return Codec_RV34;
    case AV_CODEC_ID_LAGARITH:
      return Codec_Lagarith;
    case AV_CODEC_ID_CINEPAK:
      return Codec_Cinepak;
    case AV_CODEC_ID_CSCD:
      return Codec_Camstudio;
    case AV_CODEC_ID_QPEG:
      return Codec_QPEG;
    case AV_CODEC_ID_ZLIB:
      return Codec_ZLIB;
    case AV_CODEC_ID_RPZA:
      return Codec_QTRpza;
    case AV_CODEC_ID_PNG:
      return Codec_PNG;
    case AV_CODEC_ID_MSRLE:
      return Codec_MSRLE;
    case AV_CODEC_ID_PRORES:
      return Codec_ProRes;
    case AV_CODEC_ID_UTVIDEO:
      return Codec_UtVideo;
    case AV_CODEC_ID_DIRAC:
      return Codec_Dirac;
    case AV_CODEC_ID_DNXHD:
      return Codec_DNxHD;
    case AV_CODEC_ID_MSVIDEO1:
      return Codec_MSVideo1;
    case AV_CODEC_ID_8BPS:
      return Codec_8BPS;
    case AV_CODEC_ID_LOCO:
      return Codec_LOCO;
    case AV_CODEC_ID_ZMBV:
      return Codec_ZMBV;
    case AV_CODEC_ID_VCR1:
      return Codec_VCR1;
    case AV_CODEC_ID_SNOW:
      return Codec_Snow;
    case AV_CODEC_ID_FFV1:
      return Codec_FFV1;
    case AV_CODEC_ID_V210:
      return Codec_v210;
    case AV_CODEC_ID_JPEG2000:
      return Codec_JPEG2000;
    case AV_CODEC_ID_VMNC:
      return Codec_VMNC;
    case AV_CODEC_ID_FLIC:
      return Codec_FLIC;
    case AV_CODEC_ID_G2M:
      return Codec_G2M;
    case AV_CODEC_ID_AIC:
      return Codec_ICOD;
    case AV_CODEC_ID_THP:
      return Codec_THP;
    case AV_CODEC_ID_HEVC:
      return Codec_HEVC;
    case AV_CODEC_ID_VP9:
      return Codec_VP9;
    case AV_CODEC_ID_MOTIONPIXELS:
    case AV_CODEC_ID_TRUEMOTION1:
    case AV_CODEC_ID_TRUEMOTION2:
      return Codec_TrueMotion;
    case AV_CODEC_ID_VP7:
      return Codec_VP7;
    case AV_CODEC_ID_AV1:
      return Codec_AV1;
    default:
      return std::nullopt;
  }
}

// ---------------------------------------------------------------------------
// Connection

bool TLAVVideo::CodecAccepted(const TCodecFormatView& view) {
  if (view.format.kind != TCodecKind::Video) return false;
  if (view.format.width <= 0 || view.format.height <= 0 || view.format.width > 16384 ||
      view.format.height > 16384)
    return false;
  if (!avcodec_find_decoder(static_cast<AVCodecID>(view.format.codecId))) return false;
  TBCAutoLock lock(FilterLock());
  const auto entry = CodecEntry(view.format.codecId);
  return !entry || fCodecs[static_cast<std::size_t>(*entry)];
}

HRESULT TLAVVideo::CheckInputType(const TBCMediaType* mtIn) {
  if (!mtIn) return E_POINTER;
  if (mtIn->majortype != MEDIATYPE_Video) return VFW_E_TYPE_NOT_ACCEPTED;
  const auto view = ReadCodecFormat(*mtIn);
  return view && CodecAccepted(*view) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

std::vector<LAVOutPixFmts> TLAVVideo::OfferedFormats() const {
  std::vector<LAVOutPixFmts> out;
  TBCAutoLock lock(FilterLock());
  const bool even = fGeometry.width % 2 == 0 && fGeometry.height % 2 == 0;
  if (fPixFmts[LAVOutPixFmt_NV12] && even) out.push_back(LAVOutPixFmt_NV12);
  if (fPixFmts[LAVOutPixFmt_RGB32]) out.push_back(LAVOutPixFmt_RGB32);
  if (fPixFmts[LAVOutPixFmt_RGB24]) out.push_back(LAVOutPixFmt_RGB24);
  return out;
}

TBCMediaType TLAVVideo::MakeOutputType(LAVOutPixFmts format) const {
  const int w = fGeometry.width;
  const int h = fGeometry.height;
  TBCMediaType mt;
  mt.SetType(&MEDIATYPE_Video);
  mt.SetSubtype(&SubtypeOf(format));
  mt.SetFormatType(&FORMAT_VideoInfo2);
  mt.SetTemporalCompression(false);
  mt.SetSampleSize(static_cast<ULONG>(ImageSize(format, w, h)));
  VIDEOINFOHEADER2 vih{};
  vih.rcSource = {0, 0, w, h};
  vih.rcTarget = {0, 0, w, h};
  vih.AvgTimePerFrame = fGeometry.frameTime;
  vih.dwPictAspectRatioX = static_cast<DWORD>(fGeometry.aspectX);
  vih.dwPictAspectRatioY = static_cast<DWORD>(fGeometry.aspectY);
  vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih.bmiHeader.biWidth = w;
  vih.bmiHeader.biHeight = h;
  vih.bmiHeader.biPlanes = 1;
  switch (format) {
    case LAVOutPixFmt_NV12:
      vih.bmiHeader.biBitCount = 12;
      vih.bmiHeader.biCompression = MakeFourCC('N', 'V', '1', '2');
      break;
    case LAVOutPixFmt_RGB32:
      vih.bmiHeader.biBitCount = 32;
      vih.bmiHeader.biCompression = BI_RGB;
      break;
    default:
      vih.bmiHeader.biBitCount = 24;
      vih.bmiHeader.biCompression = BI_RGB;
      break;
  }
  vih.bmiHeader.biSizeImage = static_cast<DWORD>(ImageSize(format, w, h));
  if (fGeometry.frameTime > 0)
    vih.dwBitRate = static_cast<DWORD>(std::min<std::int64_t>(
        static_cast<std::int64_t>(vih.bmiHeader.biSizeImage) * 8 * UNITS / fGeometry.frameTime,
        0xFFFFFFFF));
  mt.SetFormat(&vih, sizeof vih);
  return mt;
}

HRESULT TLAVVideo::GetMediaType(int position, TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (fGeometry.width <= 0) return VFW_E_NOT_CONNECTED;
  const auto formats = OfferedFormats();
  if (position >= static_cast<int>(formats.size())) return VFW_S_NO_MORE_ITEMS;
  *mt = MakeOutputType(formats[static_cast<std::size_t>(position)]);
  return S_OK;
}

HRESULT TLAVVideo::CheckTransform(const TBCMediaType* mtIn, const TBCMediaType* mtOut) {
  if (!mtIn || !mtOut) return E_POINTER;
  if (mtOut->majortype != MEDIATYPE_Video || mtOut->formattype != FORMAT_VideoInfo2)
    return VFW_E_TYPE_NOT_ACCEPTED;
  const auto* vih = mtOut->FormatAs<VIDEOINFOHEADER2>();
  if (!vih || vih->bmiHeader.biWidth != fGeometry.width ||
      vih->bmiHeader.biHeight != fGeometry.height)
    return VFW_E_TYPE_NOT_ACCEPTED;
  for (LAVOutPixFmts f : OfferedFormats())
    if (mtOut->subtype == SubtypeOf(f)) return S_OK;
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TLAVVideo::SetMediaType(PIN_DIRECTION direction, const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  TBCAutoLock lock(ReceiveLock());
  if (direction == PINDIR_INPUT) return OpenDecoder(*mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  for (LAVOutPixFmts f : {LAVOutPixFmt_NV12, LAVOutPixFmt_RGB32, LAVOutPixFmt_RGB24})
    if (mt->subtype == SubtypeOf(f)) {
      fOutFormat = f;
      return S_OK;
    }
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TLAVVideo::BreakConnect(PIN_DIRECTION direction) {
  TBCAutoLock lock(ReceiveLock());
  if (direction == PINDIR_INPUT) {
    CloseDecoder();
    fGeometry = {};
  } else {
    fOutFormat = LAVOutPixFmt_None;
  }
  return S_OK;
}

HRESULT TLAVVideo::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (!allocator || !request) return E_POINTER;
  const LONG size = ImageSize(fOutFormat, fGeometry.width, fGeometry.height);
  return ff::RequestBuffers(allocator, request, 4, size, size);
}

// ---------------------------------------------------------------------------
// Decoder

void TLAVVideo::CloseDecoder() {
  fCodec.reset();
  fFrame.reset();
  sws_freeContext(fSws);
  fSws = nullptr;
}

bool TLAVVideo::OpenDecoder(const AM_MEDIA_TYPE& mt) {
  const auto view = ReadCodecFormat(mt);
  if (!view || !CodecAccepted(*view)) return false;
  const TCodecFormat& f = view->format;
  const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(f.codecId));
  if (!codec) return false;
  std::unique_ptr<AVCodecParameters, TParamsFree> par(avcodec_parameters_alloc());
  if (!par || !ff::ApplyCodecFormat(*view, par.get())) return false;
  ff::CodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx || avcodec_parameters_to_context(ctx.get(), par.get()) < 0) return false;
  ctx->pkt_timebase = ff::kRefTimeBase;
  DWORD threads;
  DWORD streamAR;
  {
    TBCAutoLock lock(FilterLock());
    threads = fThreads;
    streamAR = fStreamAR;
  }
  ctx->thread_count = static_cast<int>(std::min<DWORD>(threads, 64));  // 0: automatic
  ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return false;

  TGeometry g;
  g.width = f.width;
  g.height = f.height;
  AVRational codecSar{f.codecSarNum, f.codecSarDen};
  AVRational streamSar{f.streamSarNum, f.streamSarDen};
  const bool codecValid = codecSar.num > 0 && codecSar.den > 0;
  const bool streamValid = streamSar.num > 0 && streamSar.den > 0;
  AVRational sar{1, 1};
  if (streamAR == 1)
    sar = streamValid ? streamSar : codecValid ? codecSar : sar;
  else if (streamAR == 2)
    sar = codecValid ? codecSar : streamValid ? streamSar : sar;
  else if (codecValid)
    sar = codecSar;
  av_reduce(&g.aspectX, &g.aspectY, static_cast<std::int64_t>(g.width) * sar.num,
            static_cast<std::int64_t>(g.height) * sar.den, 1 << 30);
  if (f.frameRateNum > 0 && f.frameRateDen > 0)
    g.frameTime = UNITS * f.frameRateDen / f.frameRateNum;

  CloseDecoder();
  fCodec = std::move(ctx);
  fFrame.reset(av_frame_alloc());
  if (fGeometry.width && (g.width != fGeometry.width || g.height != fGeometry.height)) {
    // A switched stream of another size is scaled to the connected size.
    g.width = fGeometry.width;
    g.height = fGeometry.height;
    g.aspectX = fGeometry.aspectX;
    g.aspectY = fGeometry.aspectY;
  }
  fGeometry = g;
  fNextTime.reset();
  fDiscontinuity = true;
  return fFrame != nullptr;
}

HRESULT TLAVVideo::StartStreaming() {
  TBCAutoLock lock(ReceiveLock());
  if (fCodec) avcodec_flush_buffers(fCodec.get());
  fNextTime.reset();
  fDiscontinuity = true;
  return S_OK;
}

HRESULT TLAVVideo::StopStreaming() {
  TBCAutoLock lock(ReceiveLock());
  if (fCodec) avcodec_flush_buffers(fCodec.get());
  fNextTime.reset();
  return S_OK;
}

HRESULT TLAVVideo::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    TBCMediaType mt(*changed);
    DeleteMediaType(changed);
    if (CheckInputType(&mt) != S_OK || !OpenDecoder(mt)) return VFW_E_INVALIDMEDIATYPE;
  }
  if (!fCodec || fOutFormat == LAVOutPixFmt_None) return VFW_E_NOT_CONNECTED;
  if (sample->IsDiscontinuity() == S_OK) fDiscontinuity = true;
  ff::PacketPtr pkt;
  const HRESULT hr = ff::PacketFromSample(sample, pkt);
  if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;
  return DecodePacket(pkt.get());
}

HRESULT TLAVVideo::DecodePacket(AVPacket* pkt) {
  int err = avcodec_send_packet(fCodec.get(), pkt);
  if (err == AVERROR(EAGAIN)) {
    const HRESULT hr = DrainFrames();
    if (hr != S_OK) return hr;
    err = avcodec_send_packet(fCodec.get(), pkt);
  }
  (void)err;  // broken data is skipped
  return DrainFrames();
}

HRESULT TLAVVideo::DrainFrames() {
  for (;;) {
    const int err = avcodec_receive_frame(fCodec.get(), fFrame.get());
    if (err < 0) return S_OK;
    const HRESULT hr = DeliverFrame(*fFrame);
    av_frame_unref(fFrame.get());
    if (hr != S_OK) return hr;
  }
}

bool TLAVVideo::Convert(const AVFrame& frame, BYTE* dst, LONG size) {
  const int w = fGeometry.width;
  const int h = fGeometry.height;
  if (ImageSize(fOutFormat, w, h) > size) return false;
  const AVPixelFormat outFormat = AvFormatOf(fOutFormat);
  fSws = sws_getCachedContext(fSws, frame.width, frame.height,
                              static_cast<AVPixelFormat>(frame.format), w, h, outFormat,
                              SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!fSws) return false;

  // Colour matrix and ranges.
  const bool srcFull =
      frame.color_range == AVCOL_RANGE_JPEG ||
      av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format))->flags & AV_PIX_FMT_FLAG_RGB;
  // RGB is made full range; a limited-range output (16 ... 235, asked for,
  // or "as the input" for a limited input) is compressed afterwards.
  bool limitedRgb = false;
  if (fOutFormat != LAVOutPixFmt_NV12) {
    DWORD range;
    {
      TBCAutoLock lock(FilterLock());
      range = fRGBRange;
    }
    limitedRgb = range == LAVRGBRange_Limited || (range == LAVRGBRange_Input && !srcFull);
  }
  const int dstFull = fOutFormat == LAVOutPixFmt_NV12 ? srcFull : 1;
  int space = frame.colorspace;
  if (space == AVCOL_SPC_UNSPECIFIED || space == AVCOL_SPC_RESERVED)
    space = frame.height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  const int* coefficients = sws_getCoefficients(space);
  sws_setColorspaceDetails(fSws, coefficients, srcFull, coefficients, dstFull, 0, 1 << 16, 1 << 16);

  std::uint8_t* planes[4] = {};
  int strides[4] = {};
  switch (fOutFormat) {
    case LAVOutPixFmt_NV12:
      planes[0] = dst;
      strides[0] = w;
      planes[1] = dst + static_cast<std::size_t>(w) * h;
      strides[1] = w;
      break;
    default: {
      // Bottom-up rows: start at the last row and step backwards.
      const int row = DibRowBytes(w, fOutFormat == LAVOutPixFmt_RGB32 ? 32 : 24);
      planes[0] = dst + static_cast<std::size_t>(row) * (h - 1);
      strides[0] = -row;
      break;
    }
  }
  if (sws_scale(fSws, frame.data, frame.linesize, 0, frame.height, planes, strides) <= 0)
    return false;
  if (limitedRgb) {
    std::array<std::uint8_t, 256> lut;
    for (int v = 0; v < 256; ++v)
      lut[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(16 + (v * 219 + 127) / 255);
    const LONG bytes = ImageSize(fOutFormat, w, h);
    for (LONG i = 0; i < bytes; ++i) dst[i] = lut[dst[i]];
  }
  return true;
}

HRESULT TLAVVideo::DeliverFrame(AVFrame& frame) {
  if (frame.width <= 0 || frame.height <= 0) return S_OK;
  REFERENCE_TIME duration = frame.pkt_duration > 0 ? frame.pkt_duration : fGeometry.frameTime;
  if (duration <= 0) duration = 400000;
  const std::int64_t pts = frame.best_effort_timestamp;
  REFERENCE_TIME start = pts != AV_NOPTS_VALUE ? pts : fNextTime.value_or(0);
  REFERENCE_TIME stop = start + duration;
  fNextTime = stop;
  // Frames before the segment start were decoded only to reach it.
  if (stop <= 0) return S_OK;

  ComPtr<IMediaSample> out;
  HRESULT hr = OutputPin()->GetDeliveryBuffer(out.Put(), nullptr, nullptr, 0);
  if (FAILED(hr) || !out) return hr == S_OK ? E_FAIL : hr;
  BYTE* dst = nullptr;
  out->GetPointer(&dst);
  if (!dst || !Convert(frame, dst, out->GetSize())) return S_OK;
  out->SetActualDataLength(ImageSize(fOutFormat, fGeometry.width, fGeometry.height));
  out->SetTime(&start, &stop);
  out->SetSyncPoint(BOOL_TRUE);
  out->SetDiscontinuity(ToBOOL(fDiscontinuity));
  fDiscontinuity = false;
  return OutputPin()->Deliver(out.get());
}

HRESULT TLAVVideo::EndOfStream() {
  if (fCodec) {
    avcodec_send_packet(fCodec.get(), nullptr);
    DrainFrames();
    avcodec_flush_buffers(fCodec.get());
  }
  fNextTime.reset();
  return ComExtend::EndOfStream();
}

HRESULT TLAVVideo::EndFlush() {
  {
    TBCAutoLock lock(ReceiveLock());
    if (fCodec) avcodec_flush_buffers(fCodec.get());
    fNextTime.reset();
    fDiscontinuity = true;
  }
  return ComExtend::EndFlush();
}

// ---------------------------------------------------------------------------
// ILAVVideoSettings

#define LUMORA_SETTING_BOOL(Name, field) \
  HRESULT TLAVVideo::Set##Name(BOOL b) { \
    TBCAutoLock lock(FilterLock());      \
    field = FromBOOL(b);                 \
    return S_OK;                         \
  }                                      \
  BOOL TLAVVideo::Get##Name() {          \
    TBCAutoLock lock(FilterLock());      \
    return ToBOOL(field);                \
  }
#define LUMORA_SETTING_DWORD(Name, field, max) \
  HRESULT TLAVVideo::Set##Name(DWORD v) {      \
    if (v > (max)) return E_INVALIDARG;        \
    TBCAutoLock lock(FilterLock());            \
    field = v;                                 \
    return S_OK;                               \
  }                                            \
  DWORD TLAVVideo::Get##Name() {               \
    TBCAutoLock lock(FilterLock());            \
    return field;                              \
  }

LUMORA_SETTING_BOOL(RuntimeConfig, fRuntimeConfig)
LUMORA_SETTING_DWORD(NumThreads, fThreads, 256)
LUMORA_SETTING_DWORD(StreamAR, fStreamAR, 2)
LUMORA_SETTING_DWORD(RGBOutputRange, fRGBRange, 2)
LUMORA_SETTING_DWORD(DeintFieldOrder, fDeintFieldOrder, 2)
LUMORA_SETTING_BOOL(DeintAggressive, fDeintAggressive)
LUMORA_SETTING_DWORD(SWDeintMode, fSWDeintMode, 3)
LUMORA_SETTING_DWORD(SWDeintOutput, fSWDeintOutput, 1)
LUMORA_SETTING_DWORD(HWAccelResolutionFlags, fHWResFlags, 7)
LUMORA_SETTING_BOOL(UseMSWMV9Decoder, fMSWMV9)
LUMORA_SETTING_BOOL(DVDVideoSupport, fDVD)
LUMORA_SETTING_BOOL(TrayIcon, fTrayIcon)

#undef LUMORA_SETTING_BOOL
#undef LUMORA_SETTING_DWORD

HRESULT TLAVVideo::SetFormatConfiguration(LAVVideoCodec c, BOOL b) {
  if (c < 0 || c >= Codec_VideoNB) return E_INVALIDARG;
  TBCAutoLock lock(FilterLock());
  fCodecs[static_cast<std::size_t>(c)] = FromBOOL(b);
  return S_OK;
}
BOOL TLAVVideo::GetFormatConfiguration(LAVVideoCodec c) {
  if (c < 0 || c >= Codec_VideoNB) return BOOL_FALSE;
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fCodecs[static_cast<std::size_t>(c)]);
}
HRESULT TLAVVideo::SetPixelFormat(LAVOutPixFmts f, BOOL b) {
  if (f < 0 || f >= LAVOutPixFmt_NB) return E_INVALIDARG;
  TBCAutoLock lock(FilterLock());
  fPixFmts[static_cast<std::size_t>(f)] = FromBOOL(b);
  return S_OK;
}
BOOL TLAVVideo::GetPixelFormat(LAVOutPixFmts f) {
  if (f < 0 || f >= LAVOutPixFmt_NB) return BOOL_FALSE;
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fPixFmts[static_cast<std::size_t>(f)]);
}
HRESULT TLAVVideo::SetHWAccel(LAVHWAccel a) {
  if (a < 0 || a >= HWAccel_NB) return E_INVALIDARG;
  TBCAutoLock lock(FilterLock());
  fHWAccel = a;
  return S_OK;
}
LAVHWAccel TLAVVideo::GetHWAccel() {
  TBCAutoLock lock(FilterLock());
  return fHWAccel;
}
HRESULT TLAVVideo::SetHWAccelCodec(LAVVideoHWCodec c, BOOL b) {
  if (c < 0 || c >= HWCodec_NB) return E_INVALIDARG;
  TBCAutoLock lock(FilterLock());
  fHWCodecs[static_cast<std::size_t>(c)] = FromBOOL(b);
  return S_OK;
}
BOOL TLAVVideo::GetHWAccelCodec(LAVVideoHWCodec c) {
  if (c < 0 || c >= HWCodec_NB) return BOOL_FALSE;
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fHWCodecs[static_cast<std::size_t>(c)]);
}
