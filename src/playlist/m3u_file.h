#pragma once
// M3U playlist files: reading their bytes safely, turning them into entries,
// and writing a playlist back without ever leaving a half-written file.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace lumora::m3u {

// Playlist files larger than this are refused as unreadable.
inline constexpr std::size_t kMaxPlaylistBytes = 64u << 20;
// Entries longer than this cannot name a file and are skipped.
inline constexpr std::size_t kMaxEntryBytes = 32u << 10;

// Reads the whole file. Only regular files are read (a named pipe or a device
// would block or never end); files over max_bytes are refused with
// errc::file_too_large.
std::error_code ReadPlaylistFile(const std::string& path, std::string* bytes,
                                 std::size_t max_bytes = kMaxPlaylistBytes);

// The file's text as UTF-8. A byte-order mark selects UTF-8, UTF-16 LE or
// UTF-16 BE (and is dropped). Without one the bytes are taken as UTF-8 when
// they are valid UTF-8, otherwise as legacy_charset.
std::string DecodePlaylistText(std::string_view bytes, const std::string& legacy_charset);

// The entries to add, in file order. Lines end at CR LF, LF or CR. Skipped:
// lines that are empty once blanks and control characters are trimmed from
// both ends, lines whose first non-blank character is "#", entries ending in
// ".m3u" in any case (playlists inside playlists are not followed), and lines
// that cannot be file names (holding a NUL, or longer than kMaxEntryBytes).
// Every other line is returned verbatim, blanks included.
std::vector<std::string> PlaylistEntries(std::string_view text);

// "#EXTM3U", then one path a line, every line ending in CR LF, in charset
// without a byte-order mark (see lumora::text::FromUtf8).
std::string EncodePlaylist(std::span<const std::string> paths, const std::string& charset);

// Replaces (or creates) path with bytes atomically: the bytes go to a new file
// beside it, which is flushed to disk and renamed over path, so a failure
// leaves any older file untouched. An existing file keeps its permission bits;
// a symbolic link is written through to its target.
std::error_code WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace lumora::m3u
