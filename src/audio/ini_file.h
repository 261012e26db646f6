#pragma once
// A read-only INI file: "[section]" headers and "key=value" lines.
//
// Section and key names are compared without regard to ASCII case; names and
// values are trimmed of blanks, and a value in matching double or single
// quotes loses them. Lines starting with ';' or '#' are comments; other lines
// without '=' are ignored. The first occurrence of a key in a section wins.
// Text is taken as UTF-8 (a leading byte-order mark is skipped).

#include <map>
#include <optional>
#include <string>
#include <string_view>

class TIniFile {
 public:
  // Files larger than this are refused (no INI file of ours comes near).
  static constexpr std::size_t kMaxFileSize = 1 << 20;

  // Reads a file; nullopt when it cannot be read or is too large.
  static std::optional<TIniFile> Load(const std::string& path);
  static TIniFile Parse(std::string_view text);

  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

 private:
  // Keys "section\nkey", lower-cased.
  std::map<std::string, std::string> fValues;
};
