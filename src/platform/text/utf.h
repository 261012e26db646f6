#pragma once
// Conversions between the program's UTF-8 strings and the strings of outside
// interfaces: UTF-16 (char16_t, the COM-style interfaces) and wide strings
// (wchar_t: UTF-32 on Linux; UTF-16 where wchar_t has 16 bits).
//
// Ill-formed input never fails: every maximal ill-formed subsequence
// (a stray byte, a truncated or overlong sequence, an encoded surrogate, a
// lone surrogate, a value above U+10FFFF) becomes one U+FFFD, as Unicode
// recommends. Embedded zeros are kept.

#include <string>
#include <string_view>

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// Up to the terminating zero; "" for a null pointer.
std::string Utf16ZToUtf8(const char16_t* utf16z);
std::string WideZToUtf8(const wchar_t* widez);
