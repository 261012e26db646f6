#pragma once
// The player's settings: named 32-bit integers in the current user's
// registry, under the video and audio class keys, and one resume position
// per media file below the video key. No cache and no settings object: each
// operation opens its key, reads or writes one value and closes it again.
//
// A stored value of another type than the one an operation expects (a text
// where an integer is read, an integer where a resume text is read) reads as
// missing: the caller's default stays in force. Resume texts are accepted as
// REG_SZ or REG_EXPAND_SZ.

#include <cstdint>
#include <string_view>

// Keys below HKEY_CURRENT_USER.
inline constexpr std::string_view VideoKey = "Software\\Classes\\Lumora.Video";
inline constexpr std::string_view AudioKey = "Software\\Classes\\Lumora.Audio";
inline constexpr std::string_view BreaksKey = "Software\\Classes\\Lumora.Video\\Breaks";

// value holds the caller's default on entry and the stored integer on return
// when one exists. False when the key (AudioKey when audio, else VideoKey)
// cannot be opened; otherwise whether value is now non-zero.
bool ReadSetting(std::string_view name, int& value, bool audio);

// Writes value as a REG_DWORD, creating the key if needed; failures are
// ignored (the previous stored value stays).
void WriteSetting(std::string_view name, int value, bool audio);

// x and y receive "LastX" and "LastY" (0 where missing). False when the video
// key cannot be opened or the two sum to zero.
bool ReadLastPosition(int& x, int& y);

// Stores position as the 32-digit resume text under the file's name.
// Failures are ignored.
void SaveResumePoint(std::string_view fileName, std::int64_t position);

// The stored resume position of the file, or 0 (no point, or a text that is
// not valid, see ParseResumeText). A non-zero point is deleted: it is used
// once.
std::int64_t TakeResumePoint(std::string_view fileName);
