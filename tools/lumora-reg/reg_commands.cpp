#include "reg_commands.h"

#include <unistd.h>

#include <cinttypes>
#include <string>
#include <vector>

#include "platform/registry/key_path.h"
#include "platform/registry/reg_key.h"

namespace {

int Fail(std::FILE* err, std::string_view message) {
  std::fprintf(err, "ERROR: %.*s\n", static_cast<int>(message.size()), message.data());
  return 1;
}

int Fail(std::FILE* err, RegStatus status) { return Fail(err, RegStatusText(status)); }

int Done(std::FILE* out) {
  std::fprintf(out, "The operation completed successfully.\n");
  return 0;
}

std::string DisplayName(std::string_view name) {
  return name.empty() ? std::string("(Default)") : std::string(name);
}

std::string DataText(const RegValue& v) {
  if (v.Type != REG_DWORD) return v.Text;
  char text[48];
  std::snprintf(text, sizeof text, "0x%" PRIx32 " (%" PRId32 ")", v.Dword,
                static_cast<std::int32_t>(v.Dword));
  return text;
}

void PrintValue(std::FILE* out, const RegNamedValue& v) {
  std::fprintf(out, "    %s    %s    %s\n", DisplayName(v.Name).c_str(),
               std::string(RegTypeName(v.Value.Type)).c_str(), DataText(v.Value).c_str());
}

// Asks on the terminal; without one the answer is no, and the caller says
// that /f is needed.
bool Confirm(std::FILE* out, const std::string& question, bool& asked) {
  asked = isatty(STDIN_FILENO) == 1;
  if (!asked) return false;
  std::fprintf(out, "%s (Yes/No)? ", question.c_str());
  std::fflush(out);
  char line[32] = {};
  if (!std::fgets(line, sizeof line, stdin)) return false;
  return line[0] == 'y' || line[0] == 'Y';
}

// Declined or not asked: a message and exit code 1.
int NotConfirmed(std::FILE* out, std::FILE* err, bool asked) {
  if (!asked) return Fail(err, "Confirmation needed; add /f to go ahead without asking.");
  std::fprintf(out, "The operation was cancelled.\n");
  return 1;
}

int Query(const RegCommand& cmd, std::FILE* out, std::FILE* err) {
  RegKey key;
  if (RegStatus s = key.Open(cmd.root, cmd.path, RegAccess::Read); s != RegStatus::Ok)
    return Fail(err, s);
  if (cmd.hasValue) {
    RegNamedValue v{cmd.valueName, {}};
    if (RegStatus s = key.ReadValue(cmd.valueName, v.Value); s != RegStatus::Ok)
      return Fail(err, s);
    // Show the name as stored.
    std::vector<RegNamedValue> all;
    key.ListValues(all);
    for (const RegNamedValue& a : all)
      if (FoldCase(a.Name) == FoldCase(cmd.valueName)) v.Name = a.Name;
    std::fprintf(out, "\n%s\n", key.FullName().c_str());
    PrintValue(out, v);
    std::fprintf(out, "\n");
    return 0;
  }
  std::vector<RegNamedValue> values;
  std::vector<std::string> subkeys;
  if (RegStatus s = key.ListValues(values); s != RegStatus::Ok) return Fail(err, s);
  if (RegStatus s = key.ListSubkeys(subkeys); s != RegStatus::Ok) return Fail(err, s);
  std::fprintf(out, "\n%s\n", key.FullName().c_str());
  for (const RegNamedValue& v : values) PrintValue(out, v);
  std::fprintf(out, "\n");
  for (const std::string& name : subkeys)
    std::fprintf(out, "%s\n", JoinKeyPath(key.FullName(), name).c_str());
  return 0;
}

int Add(const RegCommand& cmd, std::FILE* out, std::FILE* err) {
  RegValue value;
  if (cmd.hasValue) {
    if (cmd.type == REG_DWORD) {
      DWORD d = 0;
      if (cmd.hasData && !ParseDwordText(cmd.data, d))
        return Fail(err, "Invalid REG_DWORD data \"" + cmd.data +
                             "\": give a decimal number or 0x followed by hexadecimal digits.");
      value = RegValue::FromDword(d);
    } else {
      value = RegValue::FromText(cmd.data, cmd.type);
    }
  }
  RegKey key;
  if (RegStatus s = key.Create(cmd.root, cmd.path); s != RegStatus::Ok) return Fail(err, s);
  if (!cmd.hasValue) return Done(out);
  if (!cmd.force && key.HasValue(cmd.valueName)) {
    bool asked = false;
    if (!Confirm(out, "Value " + DisplayName(cmd.valueName) + " exists, overwrite", asked))
      return NotConfirmed(out, err, asked);
  }
  if (RegStatus s = key.WriteValue(cmd.valueName, value); s != RegStatus::Ok) return Fail(err, s);
  return Done(out);
}

int Delete(const RegCommand& cmd, std::FILE* out, std::FILE* err) {
  if (!cmd.hasValue && cmd.path.empty()) return Fail(err, "A root key cannot be deleted.");
  RegKey key;
  if (RegStatus s = key.Open(cmd.root, cmd.path); s != RegStatus::Ok) return Fail(err, s);
  if (cmd.hasValue && !key.HasValue(cmd.valueName)) return Fail(err, RegStatus::NotFound);
  if (!cmd.force) {
    bool asked = false;
    std::string question = cmd.hasValue ? "Delete the registry value " + DisplayName(cmd.valueName)
                                        : "Permanently delete the registry key " + key.FullName();
    if (!Confirm(out, question, asked)) return NotConfirmed(out, err, asked);
  }
  RegStatus s = RegStatus::Ok;
  if (cmd.hasValue) {
    s = key.DeleteValue(cmd.valueName);
  } else {
    RegRoot root = key.Root();
    std::string path = key.Path();
    key.Close();
    RegKey rootKey;
    s = rootKey.Open(root, "");
    if (s == RegStatus::Ok) s = rootKey.DeleteTree(path);
  }
  return s == RegStatus::Ok ? Done(out) : Fail(err, s);
}

// Export text: a quoted string with \ " and control characters escaped.
std::string Quoted(std::string_view text) {
  std::string q = "\"";
  for (char c : text) {
    switch (c) {
      case '\\':
        q += "\\\\";
        break;
      case '"':
        q += "\\\"";
        break;
      case '\n':
        q += "\\n";
        break;
      case '\r':
        q += "\\r";
        break;
      case '\t':
        q += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
          q += hex;
        } else {
          q += c;
        }
    }
  }
  return q + "\"";
}

RegStatus ExportTree(const RegKey& key, std::FILE* out) {
  std::vector<RegNamedValue> values;
  std::vector<std::string> subkeys;
  if (RegStatus s = key.ListValues(values); s != RegStatus::Ok) return s;
  if (RegStatus s = key.ListSubkeys(subkeys); s != RegStatus::Ok) return s;
  std::fprintf(out, "[%s]\n", key.FullName().c_str());
  for (const RegNamedValue& v : values) {
    std::string name = v.Name.empty() ? "@" : Quoted(v.Name);
    if (v.Value.Type == REG_DWORD)
      std::fprintf(out, "%s=dword:%08" PRIx32 "\n", name.c_str(), v.Value.Dword);
    else if (v.Value.Type == REG_EXPAND_SZ)
      std::fprintf(out, "%s=expand:%s\n", name.c_str(), Quoted(v.Value.Text).c_str());
    else
      std::fprintf(out, "%s=%s\n", name.c_str(), Quoted(v.Value.Text).c_str());
  }
  std::fprintf(out, "\n");
  for (const std::string& name : subkeys) {
    RegKey sub;
    // A subkey deleted meanwhile by another process is skipped.
    if (sub.Open(key, name, RegAccess::Read) != RegStatus::Ok) continue;
    if (RegStatus s = ExportTree(sub, out); s != RegStatus::Ok) return s;
  }
  return RegStatus::Ok;
}

int Export(const RegCommand& cmd, std::FILE* out, std::FILE* err) {
  std::vector<std::pair<RegRoot, std::string>> tops;
  if (cmd.hasKey)
    tops.emplace_back(cmd.root, cmd.path);
  else
    tops = {{HKEY_CURRENT_USER, ""}, {HKEY_LOCAL_MACHINE, ""}};
  for (const auto& [root, path] : tops) {
    RegKey key;
    if (RegStatus s = key.Open(root, path, RegAccess::Read); s != RegStatus::Ok)
      return Fail(err, s);
    if (RegStatus s = ExportTree(key, out); s != RegStatus::Ok) return Fail(err, s);
  }
  return 0;
}

}  // namespace

void PrintRegUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage:\n"
               "  lumora-reg query KEY [/v NAME | /ve]\n"
               "  lumora-reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
               "  lumora-reg delete KEY [/v NAME | /ve] [/f]\n"
               "  lumora-reg export [KEY]\n"
               "\n"
               "KEY   ROOT\\Path\\Of\\Key, ROOT being HKCU, HKLM or HKCR (or\n"
               "      HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT).\n"
               "/v    the value NAME; /ve the default (unnamed) value.\n"
               "/t    REG_SZ (the default), REG_EXPAND_SZ or REG_DWORD.\n"
               "/d    the data; REG_DWORD takes decimal (negative numbers too) or 0x hex.\n"
               "/f    no confirmation (add: overwrite an existing value; delete).\n"
               "      Without /f a confirmation is asked on a terminal, and refused\n"
               "      otherwise.\n"
               "\n"
               "query lists the values and subkeys of KEY, or shows one value.\n"
               "add creates KEY (and its parents), and writes a value when one is named.\n"
               "delete removes one value, or (without /v or /ve) KEY with all it holds.\n"
               "export prints KEY and everything below it (both roots without KEY).\n"
               "\n"
               "Exit code: 0 when done, 1 on an error or a declined confirmation.\n"
               "The databases: $LUMORA_CONFIG_DIR/registry.db (else\n"
               "$XDG_CONFIG_HOME/lumora or ~/.config/lumora) and $LUMORA_MACHINE_DB\n"
               "(else /var/lib/lumora/machine.db) for HKLM.\n");
}

int RunRegCommand(const RegCommand& cmd, std::FILE* out, std::FILE* err) {
  switch (cmd.verb) {
    case RegCommand::Verb::Help:
      PrintRegUsage(out);
      return 0;
    case RegCommand::Verb::Query:
      return Query(cmd, out, err);
    case RegCommand::Verb::Add:
      return Add(cmd, out, err);
    case RegCommand::Verb::Delete:
      return Delete(cmd, out, err);
    case RegCommand::Verb::Export:
      return Export(cmd, out, err);
  }
  return 1;
}
