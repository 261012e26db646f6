#include "filters/splitter/module/stream_info.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace {

struct TLanguage {
  std::string_view code2;   // ISO 639-1
  std::string_view code3;   // ISO 639-2/T
  std::string_view code3b;  // ISO 639-2/B (empty when the same)
  std::string_view name;
  DWORD lcid;
};

constexpr std::array<TLanguage, 44> kLanguages{{
    {"ar", "ara", "", "Arabic", 0x0401},       {"bg", "bul", "", "Bulgarian", 0x0402},
    {"ca", "cat", "", "Catalan", 0x0403},      {"zh", "zho", "chi", "Chinese", 0x0804},
    {"cs", "ces", "cze", "Czech", 0x0405},     {"da", "dan", "", "Danish", 0x0406},
    {"de", "deu", "ger", "German", 0x0407},    {"el", "ell", "gre", "Greek", 0x0408},
    {"en", "eng", "", "English", 0x0409},      {"es", "spa", "", "Spanish", 0x0C0A},
    {"fi", "fin", "", "Finnish", 0x040B},      {"fr", "fra", "fre", "French", 0x040C},
    {"he", "heb", "", "Hebrew", 0x040D},       {"hu", "hun", "", "Hungarian", 0x040E},
    {"is", "isl", "ice", "Icelandic", 0x040F}, {"it", "ita", "", "Italian", 0x0410},
    {"ja", "jpn", "", "Japanese", 0x0411},     {"ko", "kor", "", "Korean", 0x0412},
    {"nl", "nld", "dut", "Dutch", 0x0413},     {"no", "nor", "", "Norwegian", 0x0414},
    {"pl", "pol", "", "Polish", 0x0415},       {"pt", "por", "", "Portuguese", 0x0816},
    {"ro", "ron", "rum", "Romanian", 0x0418},  {"ru", "rus", "", "Russian", 0x0419},
    {"hr", "hrv", "", "Croatian", 0x041A},     {"sk", "slk", "slo", "Slovak", 0x041B},
    {"sq", "sqi", "alb", "Albanian", 0x041C},  {"sv", "swe", "", "Swedish", 0x041D},
    {"th", "tha", "", "Thai", 0x041E},         {"tr", "tur", "", "Turkish", 0x041F},
    {"uk", "ukr", "", "Ukrainian", 0x0422},    {"be", "bel", "", "Belarusian", 0x0423},
    {"sl", "slv", "", "Slovenian", 0x0424},    {"et", "est", "", "Estonian", 0x0425},
    {"lv", "lav", "", "Latvian", 0x0426},      {"lt", "lit", "", "Lithuanian", 0x0427},
    {"fa", "fas", "per", "Persian", 0x0429},   {"vi", "vie", "", "Vietnamese", 0x042A},
    {"hy", "hye", "arm", "Armenian", 0x042B},  {"ka", "kat", "geo", "Georgian", 0x0437},
    {"hi", "hin", "", "Hindi", 0x0439},        {"kk", "kaz", "", "Kazakh", 0x043F},
    {"sr", "srp", "", "Serbian", 0x081A},      {"id", "ind", "", "Indonesian", 0x0421},
}};

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

const TLanguage* FindLanguage(const std::string& code) {
  const std::string c = Lower(code);
  if (c.empty()) return nullptr;
  for (const TLanguage& l : kLanguages)
    if (c == l.code2 || c == l.code3 || (!l.code3b.empty() && c == l.code3b) || c == Lower(l.name))
      return &l;
  return nullptr;
}

std::string Metadata(const AVStream& st, const char* key) {
  const AVDictionaryEntry* e = av_dict_get(st.metadata, key, nullptr, 0);
  return e && e->value ? std::string(e->value) : std::string();
}

std::string CodecLabel(const AVCodecParameters& p) {
  switch (p.codec_id) {
    case AV_CODEC_ID_H264:
      return "H264";
    case AV_CODEC_ID_HEVC:
      return "HEVC";
    case AV_CODEC_ID_AAC:
      return "AAC";
    case AV_CODEC_ID_AC3:
      return "AC3";
    case AV_CODEC_ID_EAC3:
      return "E-AC3";
    case AV_CODEC_ID_DTS:
      return "DTS";
    case AV_CODEC_ID_MP3:
      return "MP3";
    case AV_CODEC_ID_MP2:
      return "MP2";
    case AV_CODEC_ID_FLAC:
      return "FLAC";
    case AV_CODEC_ID_OPUS:
      return "Opus";
    case AV_CODEC_ID_VORBIS:
      return "Vorbis";
    case AV_CODEC_ID_SUBRIP:
      return "SRT";
    case AV_CODEC_ID_ASS:
      return "ASS";
    case AV_CODEC_ID_HDMV_PGS_SUBTITLE:
      return "PGS";
    case AV_CODEC_ID_DVD_SUBTITLE:
      return "VobSub";
    case AV_CODEC_ID_WEBVTT:
      return "WebVTT";
    case AV_CODEC_ID_MOV_TEXT:
      return "TX3G";
    default:
      break;
  }
  const char* n = avcodec_get_name(p.codec_id);
  std::string s = n ? n : "unknown";
  if (s.rfind("pcm_", 0) == 0) return "PCM";
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string ChannelLabel(const AVChannelLayout& layout) {
  const int n = layout.nb_channels;
  if (n <= 0) return {};
  int lfe = 0;
  if (layout.order == AV_CHANNEL_ORDER_NATIVE) {
    lfe = (layout.u.mask & AV_CH_LOW_FREQUENCY ? 1 : 0) +
          (layout.u.mask & AV_CH_LOW_FREQUENCY_2 ? 1 : 0);
  } else if (n == 6 || n == 8) {
    lfe = 1;
  }
  return std::to_string(n - lfe) + "." + std::to_string(lfe);
}

TStreamInfo Describe(const AVStream& st) {
  const AVCodecParameters& p = *st.codecpar;
  TStreamInfo info;
  info.index = st.index;
  info.group = p.codec_type == AVMEDIA_TYPE_VIDEO   ? TStreamGroup::Video
               : p.codec_type == AVMEDIA_TYPE_AUDIO ? TStreamGroup::Audio
                                                    : TStreamGroup::Subtitle;
  info.language = Lower(Metadata(st, "language"));
  if (info.language == "und" || info.language == "mis" || info.language == "zxx")
    info.language.clear();
  info.title = Metadata(st, "title");
  info.lcid = LanguageLcid(info.language);
  info.isDefault = (st.disposition & AV_DISPOSITION_DEFAULT) != 0;
  info.forced = (st.disposition & AV_DISPOSITION_FORCED) != 0;
  info.impaired =
      (st.disposition & (AV_DISPOSITION_HEARING_IMPAIRED | AV_DISPOSITION_VISUAL_IMPAIRED)) != 0;
  info.channels = p.ch_layout.nb_channels;
  info.bitRate = p.bit_rate;

  std::string label = LanguageName(info.language);
  if (!info.title.empty() && info.title != label)
    label = label.empty() ? info.title : label + ", " + info.title;
  std::string detail = CodecLabel(p);
  if (info.group == TStreamGroup::Audio) {
    const std::string ch = ChannelLabel(p.ch_layout);
    if (!ch.empty()) detail += ", " + ch;
  } else if (info.group == TStreamGroup::Video && p.width > 0 && p.height > 0) {
    detail += ", " + std::to_string(p.width) + "x" + std::to_string(p.height);
  }
  if (info.forced && info.group == TStreamGroup::Subtitle) detail += ", forced";
  info.name = label.empty() ? detail : label + " (" + detail + ")";
  return info;
}

bool Listable(const AVStream& st) {
  const AVCodecParameters& p = *st.codecpar;
  switch (p.codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      return !(st.disposition & AV_DISPOSITION_ATTACHED_PIC) && p.codec_id != AV_CODEC_ID_NONE &&
             p.width > 0 && p.height > 0;
    case AVMEDIA_TYPE_AUDIO:
      return p.codec_id != AV_CODEC_ID_NONE && p.sample_rate > 0 && p.ch_layout.nb_channels > 0;
    case AVMEDIA_TYPE_SUBTITLE:
      return true;
    default:
      return false;
  }
}

bool MatchesAny(const std::string& lang, const std::vector<std::string>& wanted) {
  return std::any_of(wanted.begin(), wanted.end(),
                     [&](const std::string& w) { return SameLanguage(lang, w); });
}

}  // namespace

std::vector<TStreamInfo> DescribeStreams(const AVFormatContext& ctx) {
  std::vector<TStreamInfo> out;
  for (unsigned i = 0; i < ctx.nb_streams; ++i)
    if (Listable(*ctx.streams[i])) out.push_back(Describe(*ctx.streams[i]));
  return out;
}

std::string LanguageName(const std::string& code) {
  if (code.empty()) return {};
  if (const TLanguage* l = FindLanguage(code)) return std::string(l->name);
  return code;
}

DWORD LanguageLcid(const std::string& code) {
  const TLanguage* l = FindLanguage(code);
  return l ? l->lcid : 0;
}

bool SameLanguage(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  const TLanguage* la = FindLanguage(a);
  const TLanguage* lb = FindLanguage(b);
  if (la && lb) return la == lb;
  return Lower(a) == Lower(b);
}

std::vector<std::string> ParseLanguageList(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : text) {
    if (std::isalpha(static_cast<unsigned char>(c))) {
      cur += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!cur.empty()) {
      out.push_back(cur);
      cur.clear();
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

int ChooseStream(const std::vector<TStreamInfo>& streams, TStreamGroup group,
                 const TSelectionRules& rules) {
  std::vector<int> candidates;
  for (int i = 0; i < static_cast<int>(streams.size()); ++i)
    if (streams[i].group == group) candidates.push_back(i);
  if (candidates.empty()) return -1;
  auto firstWhere = [&](auto pred) {
    for (int i : candidates)
      if (pred(streams[i])) return i;
    return -1;
  };

  if (group == TStreamGroup::Video) {
    const int d = firstWhere([](const TStreamInfo& s) { return s.isDefault; });
    return d >= 0 ? d : candidates.front();
  }

  if (group == TStreamGroup::Audio) {
    for (const std::string& lang : rules.audioLanguages) {
      int best = -1;
      for (int pass = 0; pass < 2 && best < 0; ++pass) {
        for (int i : candidates) {
          const TStreamInfo& s = streams[i];
          if (!SameLanguage(s.language, lang) || (pass == 0 && s.impaired)) continue;
          if (best < 0) {
            best = i;
            if (!rules.preferHighQualityAudio) break;
            continue;
          }
          const TStreamInfo& b = streams[best];
          if (s.channels > b.channels || (s.channels == b.channels && s.bitRate > b.bitRate))
            best = i;
        }
      }
      if (best >= 0) return best;
    }
    int d = firstWhere([](const TStreamInfo& s) { return s.isDefault && !s.impaired; });
    if (d < 0) d = firstWhere([](const TStreamInfo& s) { return !s.impaired; });
    return d >= 0 ? d : candidates.front();
  }

  // Subtitles.
  const auto& langs = rules.subtitleLanguages;
  switch (rules.subtitleMode) {
    case LAVSubtitleMode_NoSubs:
      return -1;
    case LAVSubtitleMode_ForcedOnly: {
      const int f = firstWhere([&](const TStreamInfo& s) {
        return s.forced && (langs.empty() || MatchesAny(s.language, langs));
      });
      return f >= 0 ? f : firstWhere([](const TStreamInfo& s) { return s.forced; });
    }
    case LAVSubtitleMode_Default:
    case LAVSubtitleMode_Advanced:
    default: {
      for (const std::string& lang : langs) {
        const int m = firstWhere(
            [&](const TStreamInfo& s) { return !s.forced && SameLanguage(s.language, lang); });
        if (m >= 0) return m;
      }
      if (rules.subtitleMode == LAVSubtitleMode_Advanced) {
        const int f = firstWhere([](const TStreamInfo& s) { return s.forced; });
        if (f >= 0) return f;
      }
      return firstWhere([](const TStreamInfo& s) { return s.isDefault; });
    }
  }
}
