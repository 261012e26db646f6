#pragma once
// Text conversions for M3U files in UTF-8, UTF-16 or an 8-bit code page, and
// the charsets the user's locale implies for them. Inside the program every
// string is UTF-8 (platform/text/utf.h converts to UTF-16 and wide strings).

#include <string>
#include <string_view>

namespace lumora::text {

// Whether bytes form valid UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// UTF-16 code units held as little- or big-endian bytes to UTF-8. Lone
// surrogates become U+FFFD; an odd trailing byte is ignored.
std::string Utf16BytesToUtf8(std::string_view bytes, bool big_endian);

// The character set of the calling process's LC_CTYPE locale, as iconv names
// it ("UTF-8", "KOI8-R", "CP1251", "ANSI_X3.4-1968" for the C locale...).
std::string LocaleCharset();

// Whether a charset name stands for UTF-8.
bool IsUtf8Charset(std::string_view charset);

// The 8-bit code page a playlist written without a byte-order mark is read in
// when its bytes are not UTF-8. In a locale with an 8-bit charset that charset
// is used. In a UTF-8 (or plain ASCII) locale, where no 8-bit charset exists,
// the Windows code page of the locale's language is used, as legacy playlists
// written on that system would carry it: CP1251 for Cyrillic languages, CP1250
// for Central European ones, CP1253 Greek, CP1254 Turkish, CP1255 Hebrew,
// CP1256 Arabic, CP1257 Baltic, CP1258 Vietnamese, CP1252 for everything else
// (including the C locale).
std::string LegacyPlaylistCharset();

// The charset a playlist is written in: UTF-8 in a UTF-8 or ASCII locale,
// otherwise the locale's own charset.
std::string PlaylistWriteCharset();

// Bytes in charset to UTF-8. A byte the charset does not define becomes
// U+FFFD. An unknown charset name falls back to Latin-1 (every byte maps to
// the code point of its value), so the result is always valid UTF-8.
std::string ToUtf8(std::string_view bytes, const std::string& charset);

// UTF-8 to charset. Characters the charset cannot represent, and bytes that
// are not valid UTF-8, are written as "?". UTF-8 charsets pass the bytes
// through unchanged. An unknown charset name also passes them through.
std::string FromUtf8(std::string_view utf8, const std::string& charset);

}  // namespace lumora::text
