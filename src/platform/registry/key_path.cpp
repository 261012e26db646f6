#include "platform/registry/key_path.h"

#include <cstdint>

namespace {

// Small letter of a code point, for the scripts named in the header.
char32_t LowerCodePoint(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  // Latin-1: À..Þ except ×.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  // Latin Extended-A: pairs of capital and small letters.
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130) return 'i';   // İ
    if (c == 0x178) return 0xFF;  // Ÿ
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
      return (c % 2 == 0) ? c + 1 : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
    return c;
  }
  // Greek capitals.
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  // Cyrillic: Ѐ..Џ, А..Я, and the paired letters of the extensions.
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
    return (c % 2 == 0) ? c + 1 : c;
  if (c == 0x4C0) return 0x4CF;
  if (c >= 0x4C1 && c <= 0x4CE) return (c % 2 == 1) ? c + 1 : c;
  // Armenian capitals.
  if (c >= 0x531 && c <= 0x556) return c + 0x30;
  return c;
}

// Decodes one UTF-8 sequence at s[i]; answers its length, or 0 when the
// bytes there are not valid UTF-8 (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& out) {
  auto b = [&](std::size_t k) { return static_cast<std::uint8_t>(s[i + k]); };
  auto cont = [&](std::size_t k) { return i + k < s.size() && (b(k) & 0xC0) == 0x80; };
  std::uint8_t b0 = b(0);
  if (b0 < 0x80) {
    out = b0;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
    out = (char32_t{b0} & 0x1F) << 6 | (b(1) & 0x3F);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
    out = (char32_t{b0} & 0x0F) << 12 | (char32_t{b(1)} & 0x3F) << 6 | (b(2) & 0x3F);
    if (out < 0x800 || (out >= 0xD800 && out <= 0xDFFF)) return 0;
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
    out = (char32_t{b0} & 0x07) << 18 | (char32_t{b(1)} & 0x3F) << 12 |
          (char32_t{b(2)} & 0x3F) << 6 | (b(3) & 0x3F);
    if (out < 0x10000 || out > 0x10FFFF) return 0;
    return 4;
  }
  return 0;
}

void EncodeUtf8(char32_t c, std::string& out) {
  auto put = [&](unsigned v) { out.push_back(static_cast<char>(v)); };
  if (c < 0x80) {
    put(c);
  } else if (c < 0x800) {
    put(0xC0 | (c >> 6));
    put(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    put(0xE0 | (c >> 12));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  } else {
    put(0xF0 | (c >> 18));
    put(0x80 | ((c >> 12) & 0x3F));
    put(0x80 | ((c >> 6) & 0x3F));
    put(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = 0;
    std::size_t n = DecodeUtf8(utf8, i, c);
    if (n == 0) {  // not UTF-8: keep the byte as it is
      out.push_back(utf8[i]);
      ++i;
      continue;
    }
    EncodeUtf8(LowerCodePoint(c), out);
    i += n;
  }
  return out;
}

std::vector<std::string_view> SplitKeyPath(std::string_view path) {
  std::vector<std::string_view> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

std::string NormalizeKeyPath(std::string_view path) {
  std::string out;
  for (std::string_view name : SplitKeyPath(path)) {
    if (!out.empty()) out.push_back('\\');
    out.append(name);
  }
  return out;
}

std::string JoinKeyPath(std::string_view parent, std::string_view child) {
  if (parent.empty()) return std::string(child);
  if (child.empty()) return std::string(parent);
  std::string out(parent);
  out.push_back('\\');
  out.append(child);
  return out;
}
