#include "platform/text/utf.h"

#include <cstdint>

namespace {

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Decodes the code point at s[i] and advances i past it; for an ill-formed
// sequence advances past its maximal subpart and yields U+FFFD.
char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int length = 0;
  char32_t c = 0;
  unsigned char lo = 0x80;  // range of the second byte
  unsigned char hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;  // overlong
    if (b0 == 0xED) hi = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;  // overlong
    if (b0 == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return kReplacementCharacter;
  }
  for (int k = 1; k < length; ++k) {
    if (i >= s.size()) return kReplacementCharacter;
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < lo || b > hi) return kReplacementCharacter;  // b starts the next one
    lo = 0x80;
    hi = 0xBF;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  return c;
}

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

template <class String>
void AppendUtf16(String& out, char32_t c) {
  using Unit = typename String::value_type;
  if (c < 0x10000) {
    out += static_cast<Unit>(c);
  } else {
    c -= 0x10000;
    out += static_cast<Unit>(0xD800 + (c >> 10));
    out += static_cast<Unit>(0xDC00 + (c & 0x3FF));
  }
}

// Decodes the UTF-16 code point at s[i] (units of any 16-bit type) and
// advances i; a lone surrogate yields U+FFFD.
template <class View>
char32_t DecodeUtf16(View s, std::size_t& i) {
  const char32_t u = static_cast<std::uint16_t>(s[i++]);
  if (!IsSurrogate(u)) return u;
  if (u >= 0xDC00 || i >= s.size()) return kReplacementCharacter;
  const char32_t low = static_cast<std::uint16_t>(s[i]);
  if (low < 0xDC00 || low > 0xDFFF) return kReplacementCharacter;
  ++i;
  return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
}

template <class View>
std::string Utf16UnitsToUtf8(View s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) AppendUtf8(out, DecodeUtf16(s, i));
  return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) AppendUtf16(out, DecodeUtf8(utf8, i));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) { return Utf16UnitsToUtf8(utf16); }

std::wstring Utf8ToWide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = DecodeUtf8(utf8, i);
    if constexpr (sizeof(wchar_t) >= 4) {
      out += static_cast<wchar_t>(c);
    } else {
      AppendUtf16(out, c);
    }
  }
  return out;
}

std::string WideToUtf8(std::wstring_view wide) {
  if constexpr (sizeof(wchar_t) >= 4) {
    std::string out;
    out.reserve(wide.size());
    for (const wchar_t w : wide) {
      const auto c = static_cast<char32_t>(static_cast<std::uint32_t>(w));
      AppendUtf8(out, c > 0x10FFFF || IsSurrogate(c) ? kReplacementCharacter : c);
    }
    return out;
  } else {
    return Utf16UnitsToUtf8(wide);
  }
}

std::string Utf16ZToUtf8(const char16_t* utf16z) {
  return utf16z ? Utf16ToUtf8(std::u16string_view(utf16z)) : std::string();
}

std::string WideZToUtf8(const wchar_t* widez) {
  return widez ? WideToUtf8(std::wstring_view(widez)) : std::string();
}
