#pragma once
// Thin RAII wrappers over the SQLite C API used by the registry store.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;

// One prepared statement. Errors leave ok() false; the connection's error
// code then tells why.
class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, std::string_view sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  bool ok() const { return stmt_ != nullptr; }

  // Parameters are numbered from 1.
  SqliteStatement& Bind(int index, std::string_view text);
  SqliteStatement& Bind(int index, std::int64_t number);

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  // Runs to the end; true when it finished without error.
  bool Run();

  std::string Text(int column) const;
  std::int64_t Int(int column) const;
  int ColumnType(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Runs SQL without results (one or more statements). True on success.
bool SqliteExec(sqlite3* db, const char* sql);

// Whether an error code means that the file is not a sound database.
bool SqliteIsDamage(int code);
