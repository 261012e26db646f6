#include "filters/codec_format.h"

#include <cstring>

bool WriteCodecFormat(TBCMediaType& mt, const TCodecFormat& format,
                      std::span<const std::uint8_t> extradata) {
  if (extradata.size() > TCodecFormat::kMaxExtradata) return false;
  TCodecFormat head = format;
  head.size = sizeof(TCodecFormat);
  head.version = TCodecFormat::kVersion;
  head.extradataSize = static_cast<std::uint32_t>(extradata.size());
  const auto total = static_cast<ULONG>(sizeof(TCodecFormat) + extradata.size());
  BYTE* block = mt.AllocFormatBuffer(total);
  if (!block) return false;
  std::memcpy(block, &head, sizeof head);
  if (!extradata.empty()) std::memcpy(block + sizeof head, extradata.data(), extradata.size());
  mt.SetFormatType(&FORMAT_LumoraCodec);
  return true;
}

std::optional<TCodecFormatView> ReadCodecFormat(const AM_MEDIA_TYPE& mt) {
  if (mt.formattype != FORMAT_LumoraCodec || !mt.pbFormat) return std::nullopt;
  if (mt.cbFormat < sizeof(TCodecFormat)) return std::nullopt;
  TCodecFormatView view;
  std::memcpy(&view.format, mt.pbFormat, sizeof(TCodecFormat));
  const TCodecFormat& f = view.format;
  if (f.size != sizeof(TCodecFormat) || f.version != TCodecFormat::kVersion) return std::nullopt;
  if (f.extradataSize > TCodecFormat::kMaxExtradata ||
      f.extradataSize > mt.cbFormat - sizeof(TCodecFormat))
    return std::nullopt;
  view.extradata = {mt.pbFormat + sizeof(TCodecFormat), f.extradataSize};
  return view;
}
