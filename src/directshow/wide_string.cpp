#include "directshow/wide_string.h"

#include <cstdlib>
#include <cstring>

#include "platform/text/utf.h"

void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }

void CoTaskMemFree(void* p) { std::free(p); }

namespace ds {

std::u16string ToUtf16(std::string_view utf8) { return Utf8ToUtf16(utf8); }

std::string ToUtf8(std::u16string_view utf16) { return Utf16ToUtf8(utf16); }

std::u16string_view WideView(LPCWSTR s) {
  return s ? std::u16string_view(s) : std::u16string_view();
}

void CopyToBuffer(std::u16string_view s, WCHAR* buffer, std::size_t n) {
  if (!buffer || n == 0) return;
  const std::size_t len = s.size() < n - 1 ? s.size() : n - 1;
  std::memcpy(buffer, s.data(), len * sizeof(WCHAR));
  buffer[len] = 0;
}

LPWSTR CoTaskStrDup(std::u16string_view s) {
  auto* p = static_cast<LPWSTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(WCHAR)));
  if (!p) return nullptr;
  std::memcpy(p, s.data(), s.size() * sizeof(WCHAR));
  p[s.size()] = 0;
  return p;
}

}  // namespace ds
