#include "platform/registry/sqlite_statement.h"

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) {
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
  }
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
  if (stmt_)
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t number) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, number);
  return *this;
}

int SqliteStatement::Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }

bool SqliteStatement::Run() {
  int rc = SQLITE_ROW;
  while (rc == SQLITE_ROW) rc = Step();
  return rc == SQLITE_DONE;
}

std::string SqliteStatement::Text(int column) const {
  const auto* p = sqlite3_column_text(stmt_, column);
  if (!p) return {};
  return std::string(reinterpret_cast<const char*>(p),
                     static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

int SqliteStatement::ColumnType(int column) const { return sqlite3_column_type(stmt_, column); }

bool SqliteExec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool SqliteIsDamage(int code) {
  int primary = code & 0xFF;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}
