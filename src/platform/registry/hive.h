#pragma once
// The keys and values of one registry database, as SQL over an open SQLite
// connection. Every call runs inside the caller's transaction and reads or
// writes the file directly; nothing is kept in memory.
//
// Layout: table "keys" has one row per key (its folded path, its parent's
// folded path and its path in the case first written); table "vals" one row
// per value (its key's folded path, its folded name, its name as first
// written, its type code and its data). The root key (path "") has no row
// and always exists. Values are listed in the order they were first written.
//
// Paths passed in are normalised (see NormalizeKeyPath), in any case.

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry_types.h"

class Hive {
 public:
  enum class SchemaState { Ours, Empty, Foreign, Unreadable };

  // What the file holds: our tables, nothing at all, something else (also
  // when reading the layout shows the file is damaged), or Unreadable when it
  // could not be read for another reason (busy, input/output error).
  static SchemaState CheckSchema(sqlite3* db);
  // Creates our tables in an empty database (inside a write transaction).
  static bool CreateSchema(sqlite3* db);

  explicit Hive(sqlite3* db) : db_(db) {}

  // Ok when the key exists; stored (optional) receives its path as stored.
  RegStatus FindKey(std::string_view path, std::string* stored) const;
  // Creates the key and any missing parents; existing names keep their case.
  RegStatus CreateKey(std::string_view path, std::string* stored) const;
  // Number of leading names of path that exist as a key (0: only the root).
  std::size_t ExistingDepth(std::string_view path) const;

  RegStatus ReadValue(std::string_view path, std::string_view name, RegValue& out) const;
  // KeyDeleted when the key does not exist.
  RegStatus WriteValue(std::string_view path, std::string_view name, const RegValue& value) const;
  RegStatus DeleteValue(std::string_view path, std::string_view name) const;

  // Deletes a key without subkeys, with its values (HasSubkeys otherwise).
  RegStatus DeleteKey(std::string_view path) const;
  // Deletes a key with everything below it; for the root ("") it deletes all
  // keys and values but the root itself stays.
  RegStatus DeleteTree(std::string_view path) const;

  // Names of the direct subkeys, sorted without regard to case.
  RegStatus ListSubkeys(std::string_view path, std::vector<std::string>& names) const;
  RegStatus ListValues(std::string_view path, std::vector<RegNamedValue>& values) const;

 private:
  bool KeyExists(const std::string& fold) const;

  sqlite3* db_;
};
