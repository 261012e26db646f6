#pragma once
// Command line of lumora-reg: what to do, on which key and value.

#include <string>
#include <string_view>

#include "platform/registry/registry_types.h"

struct RegCommand {
  enum class Verb { Help, Query, Add, Delete, Export };
  Verb verb = Verb::Help;
  bool hasKey = false;
  RegRoot root = HKEY_CURRENT_USER;
  std::string path;       // below the root, normalised
  bool hasValue = false;  // /v NAME or /ve ("" is the default value)
  std::string valueName;
  bool hasType = false;
  RegType type = REG_SZ;
  bool hasData = false;
  std::string data;
  bool force = false;  // /f: no confirmation
};

// Parses args (without the program name). On failure answers false with a
// message in error.
bool ParseRegCommand(int argc, const char* const* argv, RegCommand& cmd, std::string& error);

// "HKCU\Software\X" (or HKLM, HKCR, or the full root names, in any case).
bool ParseRegKeyName(std::string_view text, RegRoot& root, std::string& path);

// Decimal (-2147483648 to 4294967295; negatives as two's complement) or
// "0x" followed by hexadecimal digits (up to FFFFFFFF).
bool ParseDwordText(std::string_view text, DWORD& out);
