#include "reg_args.h"

#include <cstdint>

#include "platform/registry/key_path.h"

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// "/v", "-V" → "V"; "" when arg is not a switch.
std::string SwitchName(std::string_view arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return {};
  return Upper(arg.substr(1));
}

bool ParseType(std::string_view text, RegType& type) {
  std::string t = Upper(text);
  if (t == "REG_SZ")
    type = REG_SZ;
  else if (t == "REG_EXPAND_SZ")
    type = REG_EXPAND_SZ;
  else if (t == "REG_DWORD")
    type = REG_DWORD;
  else
    return false;
  return true;
}

}  // namespace

bool ParseRegKeyName(std::string_view text, RegRoot& root, std::string& path) {
  std::size_t cut = text.find('\\');
  std::string head = Upper(text.substr(0, cut));
  if (head == "HKCU" || head == "HKEY_CURRENT_USER")
    root = HKEY_CURRENT_USER;
  else if (head == "HKLM" || head == "HKEY_LOCAL_MACHINE")
    root = HKEY_LOCAL_MACHINE;
  else if (head == "HKCR" || head == "HKEY_CLASSES_ROOT")
    root = HKEY_CLASSES_ROOT;
  else
    return false;
  path = cut == std::string_view::npos ? std::string() : NormalizeKeyPath(text.substr(cut + 1));
  return true;
}

bool ParseDwordText(std::string_view text, DWORD& out) {
  if (text.empty()) return false;
  std::uint64_t value = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    for (char c : text.substr(2)) {
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        return false;
      value = value * 16 + static_cast<std::uint64_t>(d);
      if (value > 0xFFFFFFFFu) return false;
    }
    out = static_cast<DWORD>(value);
    return true;
  }
  bool negative = text[0] == '-';
  std::string_view digits = negative ? text.substr(1) : text;
  if (digits.empty()) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return false;
  }
  if (negative) {
    if (value > 0x80000000u) return false;
    out = static_cast<DWORD>(0x100000000u - value);
  } else {
    out = static_cast<DWORD>(value);
  }
  return true;
}

bool ParseRegCommand(int argc, const char* const* argv, RegCommand& cmd, std::string& error) {
  cmd = RegCommand{};
  if (argc < 1) {
    error = "Invalid syntax.";
    return false;
  }
  std::string verb = Upper(argv[0]);
  if (verb == "/?" || verb == "-?" || verb == "-H" || verb == "--HELP" || verb == "HELP") {
    cmd.verb = RegCommand::Verb::Help;
    return true;
  }
  if (verb == "QUERY")
    cmd.verb = RegCommand::Verb::Query;
  else if (verb == "ADD")
    cmd.verb = RegCommand::Verb::Add;
  else if (verb == "DELETE")
    cmd.verb = RegCommand::Verb::Delete;
  else if (verb == "EXPORT")
    cmd.verb = RegCommand::Verb::Export;
  else {
    error = "Invalid operation \"" + std::string(argv[0]) + "\".";
    return false;
  }
  bool allowValue = cmd.verb != RegCommand::Verb::Export;
  bool allowTypeData = cmd.verb == RegCommand::Verb::Add;
  bool allowForce = cmd.verb == RegCommand::Verb::Add || cmd.verb == RegCommand::Verb::Delete;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string sw = SwitchName(arg);
    auto argument = [&](std::string& into) {
      if (i + 1 >= argc) {
        error = "Switch " + std::string(arg) + " needs an argument.";
        return false;
      }
      into = argv[++i];
      return true;
    };
    if (sw == "?") {
      cmd = RegCommand{};
      return true;
    }
    if (sw.empty() && !cmd.hasKey) {
      if (!ParseRegKeyName(arg, cmd.root, cmd.path)) {
        error = "Invalid key name \"" + std::string(arg) +
                "\": it must begin with HKCU, HKLM or HKCR (or their full names).";
        return false;
      }
      cmd.hasKey = true;
    } else if ((sw == "V" || sw == "VE") && allowValue) {
      if (cmd.hasValue) {
        error = "Give /v or /ve once.";
        return false;
      }
      cmd.hasValue = true;
      if (sw == "V" && !argument(cmd.valueName)) return false;
    } else if (sw == "T" && allowTypeData && !cmd.hasType) {
      std::string t;
      if (!argument(t)) return false;
      if (!ParseType(t, cmd.type)) {
        error = "Invalid type \"" + t + "\": use REG_SZ, REG_EXPAND_SZ or REG_DWORD.";
        return false;
      }
      cmd.hasType = true;
    } else if (sw == "D" && allowTypeData && !cmd.hasData) {
      if (!argument(cmd.data)) return false;
      cmd.hasData = true;
    } else if (sw == "F" && allowForce) {
      cmd.force = true;
    } else {
      error = "Invalid syntax: unexpected \"" + std::string(arg) + "\".";
      return false;
    }
  }
  if (!cmd.hasKey && cmd.verb != RegCommand::Verb::Export) {
    error = "Invalid syntax: a key name is needed.";
    return false;
  }
  if ((cmd.hasType || cmd.hasData) && !cmd.hasValue) {
    error = "Invalid syntax: /t and /d need /v NAME or /ve.";
    return false;
  }
  return true;
}
