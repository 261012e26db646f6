#pragma once
// Fixed-width scalar types of the COM-style interfaces. They keep the sizes
// the interfaces were designed with, whatever the host's own int sizes are.

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using HRESULT = std::int32_t;

// Wide characters are UTF-16 code units, as on the interfaces' home platform.
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

// A 32-bit boolean. True is -1 (all bits set); any non-zero value reads as
// true.
using BOOL = std::int32_t;
inline constexpr BOOL BOOL_TRUE = -1;
inline constexpr BOOL BOOL_FALSE = 0;
constexpr BOOL ToBOOL(bool b) noexcept { return b ? BOOL_TRUE : BOOL_FALSE; }
constexpr bool FromBOOL(BOOL b) noexcept { return b != 0; }

// Media time in 100-nanosecond units.
using REFERENCE_TIME = std::int64_t;
