#include "audio/ini_file.h"

#include <fstream>

namespace {

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Key(std::string_view section, std::string_view key) {
  return Lower(Trim(section)) + '\n' + Lower(Trim(key));
}

}  // namespace

std::optional<TIniFile> TIniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxFileSize) return std::nullopt;
  }
  if (in.bad()) return std::nullopt;
  return Parse(text);
}

TIniFile TIniFile::Parse(std::string_view text) {
  TIniFile ini;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string section;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const auto close = line.find(']');
      if (close != std::string_view::npos) section = std::string(line.substr(1, close - 1));
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    ini.fValues.emplace(Key(section, line.substr(0, eq)), std::string(value));
  }
  return ini;
}

std::optional<std::string> TIniFile::Value(std::string_view section, std::string_view key) const {
  const auto it = fValues.find(Key(section, key));
  if (it == fValues.end()) return std::nullopt;
  return it->second;
}
