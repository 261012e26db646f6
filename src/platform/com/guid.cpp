#include "platform/com/guid.h"

#include <cstdio>
#include <cstring>

std::optional<GUID> GuidFromString(std::string_view text) {
  return lumora::detail::ParseGuid(text);
}

std::string GuidToString(const GUID& g) {
  char buf[39];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

std::size_t std::hash<GUID>::operator()(const GUID& g) const noexcept {
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  std::memcpy(&a, &g, 8);
  std::memcpy(&b, reinterpret_cast<const unsigned char*>(&g) + 8, 8);
  // Mix the two halves (splitmix64 finaliser).
  std::uint64_t x = a ^ (b * 0x9E3779B97F4A7C15ull);
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return static_cast<std::size_t>(x);
}
