#pragma once
// Language tables of the effect filter's stream switching.
//
// The ISO 639-2 table (generated at build time from the iso-codes package):
// every three-letter bibliographic code in lower case with its English name
// and, where one is assigned, the Windows primary language identifier
// ("eng" 0x09, "ger" 0x07, "fre" 0x0C, "rus" 0x19; 0 for the others).
//
// The system language names: the English display name of a Windows language
// identifier, as the system gives it: "German" for the primary language
// 0x07, "German (Germany)" for the full identifier 0x0407. Callers that want
// the bare language cut the name at " (" (LanguageDisplayName).

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/types.h"

struct TIso639Entry {
  const char* code;    // three lower-case letters
  const char* alpha2;  // ISO 639-1 code, or ""
  const char* name;    // English name, UTF-8
  DWORD id;            // Windows primary language identifier, or 0
};

struct TLanguageName {
  DWORD id;          // primary (<= 0x3FF) or full language identifier
  const char* name;  // English name, UTF-8
};

// The whole ISO 639-2 table, sorted by code.
std::span<const TIso639Entry> Iso639Table();
// The entry of a code, compared after lower-casing it; nullptr when unknown.
const TIso639Entry* FindIso639(std::string_view code);

// The system's name of a language identifier: the full identifier's own name
// when it has one, else the name of its primary language (the low ten bits);
// empty for an unknown language.
std::string SystemLanguageName(DWORD id);
// Everything from the first " (" on removed.
std::string CutAtParenthesis(std::string_view name);
// SystemLanguageName cut at " (": "English" for 0x0409.
std::string LanguageDisplayName(DWORD id);

// The Windows primary language identifier of a two-letter ISO 639-1 code
// ("de" -> 0x07), for a POSIX locale name such as "de_DE.UTF-8"; 0 when
// unknown.
DWORD LanguageIdFromLocaleName(std::string_view locale);
// The language identifier of the process's locale (LC_ALL, LC_MESSAGES,
// LANG, in that order); 0 when none is set or the language is unknown.
DWORD UserDefaultLanguageId();
