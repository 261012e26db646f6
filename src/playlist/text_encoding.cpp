#include "playlist/text_encoding.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/text/utf.h"

namespace lumora::text {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Decodes one UTF-8 character at bytes[pos]. Returns its length, or 0 when the
// bytes there are not a valid UTF-8 character.
std::size_t DecodeOne(std::string_view bytes, std::size_t pos, char32_t* out) {
  const auto b0 = static_cast<unsigned char>(bytes[pos]);
  if (b0 < 0x80) {
    *out = b0;
    return 1;
  }
  std::size_t len;
  char32_t c;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (pos + len > bytes.size()) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(bytes[pos + i]);
    if ((b & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || !IsScalar(c)) return 0;
  *out = c;
  return len;
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return IconvHandle(cd);
}

// Runs iconv over in, appending to out. At every byte sequence it rejects it
// calls on_bad(offset of that sequence), which may append a replacement to out
// and returns how many input bytes to skip.
template <typename OnBad>
void RunIconv(iconv_t cd, std::string_view in, std::string& out, OnBad on_bad) {
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char buf[4096];
  while (src_left > 0) {
    char* dst = buf;
    std::size_t dst_left = sizeof buf;
    const std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buf, static_cast<std::size_t>(dst - buf));
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a truncated sequence at the end): skip and mark it.
    const std::size_t done = in.size() - src_left;
    std::size_t skip = on_bad(done);
    if (skip > src_left) skip = src_left;
    src += skip;
    src_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
  }
}

std::string EnvironmentLocaleName() {
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(var);
    if (v != nullptr && *v != '\0') return v;
  }
  return "C";
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t pos = 0; pos < bytes.size();) {
    char32_t c;
    const std::size_t n = DecodeOne(bytes, pos, &c);
    if (n == 0) return false;
    pos += n;
  }
  return true;
}

std::string Utf16BytesToUtf8(std::string_view bytes, bool big_endian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a);
  }
  return Utf16ToUtf8(units);
}

std::string LocaleCharset() {
  // The environment's locale, looked at without changing the process's own.
  locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return nl_langinfo(CODESET);
  std::string codeset = nl_langinfo_l(CODESET, loc);
  freelocale(loc);
  return codeset;
}

bool IsUtf8Charset(std::string_view charset) {
  std::string norm;
  for (char c : charset)
    if (c != '-' && c != '_') norm += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return norm == "UTF8";
}

namespace {
bool IsAsciiCharset(std::string_view charset) {
  return charset == "ANSI_X3.4-1968" || charset == "ASCII" || charset == "US-ASCII";
}
}  // namespace

std::string LegacyPlaylistCharset() {
  const std::string charset = LocaleCharset();
  if (!IsUtf8Charset(charset) && !IsAsciiCharset(charset)) return charset;
  std::string name = EnvironmentLocaleName();
  const std::size_t cut = name.find_first_of("_.@");
  const std::string lang = name.substr(0, cut);
  struct Entry {
    const char* langs;
    const char* page;
  };
  static constexpr Entry kPages[] = {
      {" ru uk be bg sr mk kk ky tg tt ba mn ", "CP1251"},
      {" pl cs sk hu sl hr ro bs sq ", "CP1250"},
      {" el ", "CP1253"},
      {" tr az ", "CP1254"},
      {" he yi ", "CP1255"},
      {" ar fa ur ", "CP1256"},
      {" lt lv et ", "CP1257"},
      {" vi ", "CP1258"},
  };
  if (!lang.empty()) {
    const std::string key = " " + lang + " ";
    for (const Entry& e : kPages)
      if (std::string_view(e.langs).find(key) != std::string_view::npos) return e.page;
  }
  return "CP1252";
}

std::string PlaylistWriteCharset() {
  const std::string charset = LocaleCharset();
  if (IsUtf8Charset(charset) || IsAsciiCharset(charset)) return "UTF-8";
  return charset;
}

std::string ToUtf8(std::string_view bytes, const std::string& charset) {
  std::string out;
  if (IsUtf8Charset(charset)) {
    return ::WideToUtf8(::Utf8ToWide(bytes));  // ill-formed bytes become U+FFFD
  }
  IconvHandle cd = OpenIconv("UTF-8", charset);
  if (!cd) {
    for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
  }
  out.reserve(bytes.size() * 2);
  RunIconv(static_cast<iconv_t>(cd.get()), bytes, out, [&](std::size_t) {
    AppendUtf8(out, kReplacementCharacter);
    return std::size_t{1};
  });
  return out;
}

std::string FromUtf8(std::string_view utf8, const std::string& charset) {
  if (IsUtf8Charset(charset)) return std::string(utf8);
  IconvHandle cd = OpenIconv(charset, "UTF-8");
  if (!cd) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  RunIconv(static_cast<iconv_t>(cd.get()), utf8, out, [&](std::size_t done) {
    out += '?';
    char32_t c;
    const std::size_t n = DecodeOne(utf8, done, &c);
    return n == 0 ? std::size_t{1} : n;
  });
  return out;
}

}  // namespace lumora::text
