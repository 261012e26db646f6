#pragma once
// Vocabulary of the registry store: the roots, the value types with their
// numeric codes, the status codes every operation answers with, and a value.

#include <string>
#include <string_view>

#include "platform/com/types.h"

// The three roots. HKEY_CLASSES_ROOT is not stored by itself: it is the
// merged view of HKEY_CURRENT_USER\Software\Classes over
// HKEY_LOCAL_MACHINE\Software\Classes (see RegistryStore).
enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };
inline constexpr RegRoot HKEY_CURRENT_USER = RegRoot::CurrentUser;
inline constexpr RegRoot HKEY_LOCAL_MACHINE = RegRoot::LocalMachine;
inline constexpr RegRoot HKEY_CLASSES_ROOT = RegRoot::ClassesRoot;

// Full name of a root ("HKEY_CURRENT_USER").
std::string_view RegRootName(RegRoot root);

// Value types, with the numeric codes of the registry they stand in for.
using RegType = DWORD;
inline constexpr RegType REG_NONE = 0;
inline constexpr RegType REG_SZ = 1;
inline constexpr RegType REG_EXPAND_SZ = 2;
inline constexpr RegType REG_DWORD = 4;

// "REG_SZ", "REG_EXPAND_SZ", "REG_DWORD"; "REG_NONE" for anything else.
std::string_view RegTypeName(RegType type);

// Result of every store operation. The numbers are the system error codes of
// the registry API the store stands in for.
enum class RegStatus : LONG {
  Ok = 0,                 // ERROR_SUCCESS
  NotFound = 2,           // ERROR_FILE_NOT_FOUND: no such key or value
  AccessDenied = 5,       // ERROR_ACCESS_DENIED: database not writable, key opened read-only
  WrongType = 13,         // ERROR_INVALID_DATA: a typed read met a value of another type
  InvalidParameter = 87,  // ERROR_INVALID_PARAMETER: bad path, type or handle
  StoreFailed = 1016,     // ERROR_REGISTRY_IO_FAILED: the database could not be used
  KeyDeleted = 1018,      // ERROR_KEY_DELETED: the open key was deleted meanwhile
  HasSubkeys = 1020,      // ERROR_KEY_HAS_CHILDREN: a leaf delete met subkeys
};

// One-line English description of a status, for tools and diagnostics.
std::string_view RegStatusText(RegStatus status);

// A typed value. Texts (REG_SZ, REG_EXPAND_SZ) are UTF-8 in Text; REG_DWORD
// keeps its number in Dword.
struct RegValue {
  RegType Type = REG_NONE;
  DWORD Dword = 0;
  std::string Text;

  static RegValue FromDword(DWORD d) { return {REG_DWORD, d, {}}; }
  static RegValue FromText(std::string_view text, RegType type = REG_SZ) {
    return {type, 0, std::string(text)};
  }
  bool IsText() const { return Type == REG_SZ || Type == REG_EXPAND_SZ; }
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

// A value with its name as first written ("" is the default value).
struct RegNamedValue {
  std::string Name;
  RegValue Value;
};
