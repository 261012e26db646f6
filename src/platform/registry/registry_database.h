#pragma once
// One registry database file: opening, checking, setting aside a damaged
// file, and running one transaction per operation.
//
// The connection is kept open between operations (it caches no values:
// SQLite rereads the file whenever another connection changed it), and is
// dropped and reopened when the file at the path is no longer the one it has
// open (deleted, replaced, or the path itself changed).
//
// When a file is opened it is checked once (SQLite's quick check and the
// table layout). A file that is not a database, fails the check or holds
// other tables is renamed to "<file>.damaged-<UTC time>" (with its journal),
// one line says so on stderr, and the next write starts a fresh file.
//
// Reads never create anything: a missing file reads as NotFound. Writes
// create the folder and the file as needed. Each write is one immediate
// transaction with a rollback journal and full syncs, so it is on disk when
// the call returns; other processes wait for it up to the busy timeout.
// Not thread-safe: the owner serialises calls.

#include <sqlite3.h>
#include <sys/types.h>

#include <functional>
#include <string>

#include "platform/registry/registry_types.h"
#include "platform/registry/sqlite_statement.h"

class RegistryDatabase {
 public:
  using Body = std::function<RegStatus(sqlite3*)>;

  // How long an operation waits for another process's transaction.
  static constexpr int kBusyTimeoutMs = 10000;

  RegistryDatabase() = default;
  RegistryDatabase(const RegistryDatabase&) = delete;
  RegistryDatabase& operator=(const RegistryDatabase&) = delete;

  // Runs body in a read transaction on the file at path. NotFound when the
  // file does not exist or holds no tables yet; StoreFailed when it cannot be
  // used.
  RegStatus Read(const std::string& path, const Body& body);
  // Runs body in a write transaction; its changes are committed when it
  // answers Ok and rolled back otherwise. AccessDenied when the file or its
  // folder cannot be written.
  RegStatus Write(const std::string& path, const Body& body);

  // Drops the open connection (the next operation reopens the file).
  void Close();

 private:
  RegStatus Attach(const std::string& path, bool create);
  RegStatus OpenChecked(const std::string& path, bool create);
  RegStatus Finish(RegStatus status);

  SqliteDb db_;
  std::string path_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  bool hasSchema_ = false;
  std::string reportedPath_;  // a damaged file that could not be moved aside
};
