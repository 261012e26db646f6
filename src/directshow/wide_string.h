#pragma once
// UTF-8 <-> UTF-16 at the framework's interface boundaries (filter and pin
// names, file names). Malformed input becomes U+FFFD.

#include <string>
#include <string_view>

#include "directshow/dshow_types.h"

namespace ds {

std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);
// A null-terminated UTF-16 string, possibly null, as a view.
std::u16string_view WideView(LPCWSTR s);
// Copies s into a fixed buffer of n units, cut and always terminated.
void CopyToBuffer(std::u16string_view s, WCHAR* buffer, std::size_t n);
// A CoTaskMemAlloc'd copy for out-parameters; null when out of memory.
LPWSTR CoTaskStrDup(std::u16string_view s);

}  // namespace ds
