#include "audio/language_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace lumora_language_data {
extern const TIso639Entry kIso639[];
extern const std::size_t kIso639Count;
extern const TLanguageName kLanguageNames[];
extern const std::size_t kLanguageNameCount;
}  // namespace lumora_language_data

namespace {

std::span<const TLanguageName> NameTable() {
  return {lumora_language_data::kLanguageNames, lumora_language_data::kLanguageNameCount};
}

const char* FindName(DWORD id) {
  const auto table = NameTable();
  const auto it = std::lower_bound(table.begin(), table.end(), id,
                                   [](const TLanguageName& e, DWORD v) { return e.id < v; });
  return it != table.end() && it->id == id ? it->name : nullptr;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::span<const TIso639Entry> Iso639Table() {
  return {lumora_language_data::kIso639, lumora_language_data::kIso639Count};
}

const TIso639Entry* FindIso639(std::string_view code) {
  std::string key(code);
  std::transform(key.begin(), key.end(), key.begin(), Lower);
  const auto table = Iso639Table();
  const auto it = std::lower_bound(table.begin(), table.end(), key,
                                   [](const TIso639Entry& e, const std::string& k) {
                                     return std::strcmp(e.code, k.c_str()) < 0;
                                   });
  return it != table.end() && key == it->code ? &*it : nullptr;
}

std::string SystemLanguageName(DWORD id) {
  if (id == 0) return {};
  if (const char* full = FindName(id)) return full;
  if (const char* primary = FindName(id & 0x3FF)) return primary;
  return {};
}

std::string CutAtParenthesis(std::string_view name) {
  const auto pos = name.find(" (");
  return std::string(pos == std::string_view::npos ? name : name.substr(0, pos));
}

std::string LanguageDisplayName(DWORD id) { return CutAtParenthesis(SystemLanguageName(id)); }

DWORD LanguageIdFromLocaleName(std::string_view locale) {
  // "de_DE.UTF-8", "de-DE", "de": the language is the leading letters.
  std::size_t n = 0;
  while (n < locale.size() &&
         ((locale[n] >= 'a' && locale[n] <= 'z') || (locale[n] >= 'A' && locale[n] <= 'Z')))
    ++n;
  if (n != 2) return 0;
  const char a = Lower(locale[0]);
  const char b = Lower(locale[1]);
  for (const TIso639Entry& e : Iso639Table()) {
    if (e.alpha2[0] == a && e.alpha2[1] == b && e.alpha2[2] == '\0' && e.id != 0) return e.id;
  }
  return 0;
}

DWORD UserDefaultLanguageId() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return LanguageIdFromLocaleName(value);
  }
  return 0;
}
