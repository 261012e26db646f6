#pragma once
// 128-bit identifiers of interfaces and classes, laid out as on the platform
// the interfaces come from, parsed from and formatted to the braced text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
  friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

inline constexpr GUID GUID_NULL{};

namespace lumora::detail {

constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses the braced form (braces optional); nullopt when malformed.
constexpr std::optional<GUID> ParseGuid(std::string_view s) {
  if (s.size() == 38) {
    if (s.front() != '{' || s.back() != '}') return std::nullopt;
    s = s.substr(1, 36);
  }
  if (s.size() != 36) return std::nullopt;
  if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == '-') {
      if (i != 8 && i != 13 && i != 18 && i != 23) return std::nullopt;
      ++i;
      continue;
    }
    if (i + 1 >= s.size()) return std::nullopt;
    const int hi = HexDigit(s[i]);
    const int lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0 || n >= bytes.size()) return std::nullopt;
    bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    i += 2;
  }
  if (n != 16) return std::nullopt;
  GUID g;
  g.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
            (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
  g.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (std::size_t i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  return g;
}

}  // namespace lumora::detail

// Compile-time GUID from its text; a malformed literal does not compile.
consteval GUID MakeGuid(std::string_view text) {
  const auto g = lumora::detail::ParseGuid(text);
  if (!g) throw "malformed GUID literal";
  return *g;
}

// Run-time parsing; accepts the form with or without braces, any case.
std::optional<GUID> GuidFromString(std::string_view text);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string GuidToString(const GUID& g);

template <>
struct std::hash<GUID> {
  std::size_t operator()(const GUID& g) const noexcept;
};
