#include "platform/registry/registry_database.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/registry/hive.h"

namespace {

// Creates every missing folder of the file's directory (mode 0700).
bool MakeParentDirs(const std::string& file) {
  for (std::size_t pos = file.find('/', 1); pos != std::string::npos;
       pos = file.find('/', pos + 1)) {
    std::string dir = file.substr(0, pos);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::string AsideName(const std::string& path) {
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm);
  std::string base = path + ".damaged-" + stamp;
  std::string name = base;
  for (int n = 2; Exists(name) || Exists(name + "-journal"); ++n)
    name = base + "-" + std::to_string(n);
  return name;
}

enum class SetAsideResult { Moved, Replaced, Failed };

// Renames the damaged file (the inode that was examined) out of the way.
// An exclusive flock on the file makes two processes that both found it
// damaged agree: the second one sees that the path now names another file
// and leaves it alone.
SetAsideResult SetAside(const std::string& path, dev_t dev, ino_t ino) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? SetAsideResult::Replaced : SetAsideResult::Failed;
  flock(fd, LOCK_EX);
  SetAsideResult result = SetAsideResult::Replaced;
  struct stat now {};
  if (stat(path.c_str(), &now) == 0 && now.st_dev == dev && now.st_ino == ino) {
    std::string aside = AsideName(path);
    if (rename(path.c_str(), aside.c_str()) == 0) {
      // A journal left beside the damaged file must not be replayed into
      // the fresh one.
      std::string journal = path + "-journal";
      if (Exists(journal)) rename(journal.c_str(), (aside + "-journal").c_str());
      std::fprintf(stderr,
                   "lumora: registry database %s was damaged; moved it to %s and starting a "
                   "fresh one\n",
                   path.c_str(), aside.c_str());
      result = SetAsideResult::Moved;
    } else {
      result = SetAsideResult::Failed;
    }
  }
  flock(fd, LOCK_UN);
  close(fd);
  return result;
}

RegStatus FromSqlite(int code) {
  switch (code & 0xFF) {
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
      return RegStatus::AccessDenied;
    default:
      return RegStatus::StoreFailed;
  }
}

}  // namespace

void RegistryDatabase::Close() {
  db_.reset();
  path_.clear();
  hasSchema_ = false;
}

RegStatus RegistryDatabase::Attach(const std::string& path, bool create) {
  if (path.empty()) {
    Close();
    return create ? RegStatus::AccessDenied : RegStatus::NotFound;
  }
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    if (db_ && path == path_ && st.st_dev == dev_ && st.st_ino == ino_) return RegStatus::Ok;
  } else if (!create) {
    Close();
    return RegStatus::NotFound;
  }
  Close();
  // A damaged file is set aside once; the retry then finds no file (or the
  // fresh one another process started).
  for (int attempt = 0; attempt < 2; ++attempt) {
    RegStatus status = OpenChecked(path, create);
    if (status != RegStatus::KeyDeleted) return status;
  }
  return RegStatus::StoreFailed;
}

// Opens and checks the file; KeyDeleted here means "set aside, try again".
RegStatus RegistryDatabase::OpenChecked(const std::string& path, bool create) {
  if (create && !MakeParentDirs(path)) return RegStatus::AccessDenied;
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  SqliteDb db(raw);
  if (rc != SQLITE_OK) {
    if (!create && !Exists(path)) return RegStatus::NotFound;
    return FromSqlite(rc);
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return create ? RegStatus::StoreFailed : RegStatus::NotFound;
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  sqlite3_extended_result_codes(raw, 1);
  SqliteExec(raw, "PRAGMA synchronous = FULL");

  // The quick check and the layout are read in one read transaction.
  bool damaged = false;
  Hive::SchemaState schema = Hive::SchemaState::Foreign;
  SqliteExec(raw, "BEGIN");
  {
    SqliteStatement check(raw, "PRAGMA quick_check");
    if (check.Step() == SQLITE_ROW) {
      damaged = check.Text(0) != "ok";
    } else {
      int err = sqlite3_extended_errcode(raw);
      if (!SqliteIsDamage(err)) {
        SqliteExec(raw, "ROLLBACK");
        return FromSqlite(err);
      }
      damaged = true;
    }
  }
  if (!damaged) {
    schema = Hive::CheckSchema(raw);
    if (schema == Hive::SchemaState::Unreadable) {
      int err = sqlite3_extended_errcode(raw);
      SqliteExec(raw, "ROLLBACK");
      return FromSqlite(err);
    }
    damaged = schema == Hive::SchemaState::Foreign;
  }
  SqliteExec(raw, "COMMIT");
  if (damaged) {
    db.reset();
    switch (SetAside(path, st.st_dev, st.st_ino)) {
      case SetAsideResult::Failed:
        if (reportedPath_ != path) {  // said once, not at every operation
          std::fprintf(stderr,
                       "lumora: registry database %s is damaged and cannot be moved aside\n",
                       path.c_str());
          reportedPath_ = path;
        }
        return create ? RegStatus::AccessDenied : RegStatus::NotFound;
      case SetAsideResult::Moved:
      case SetAsideResult::Replaced:
        return RegStatus::KeyDeleted;
    }
  }
  db_ = std::move(db);
  path_ = path;
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  hasSchema_ = schema == Hive::SchemaState::Ours;
  return RegStatus::Ok;
}

// Drops the connection when the file turned out to be damaged meanwhile, so
// that the next operation checks it again.
RegStatus RegistryDatabase::Finish(RegStatus status) {
  if (status != RegStatus::Ok && db_ && SqliteIsDamage(sqlite3_extended_errcode(db_.get())))
    Close();
  return status;
}

RegStatus RegistryDatabase::Read(const std::string& path, const Body& body) {
  RegStatus status = Attach(path, false);
  if (status != RegStatus::Ok) return status;
  if (!hasSchema_) {
    // The file was empty when opened; another process may have filled it.
    Close();
    status = Attach(path, false);
    if (status != RegStatus::Ok) return status;
    if (!hasSchema_) return RegStatus::NotFound;
  }
  sqlite3* db = db_.get();
  if (!SqliteExec(db, "BEGIN")) return Finish(FromSqlite(sqlite3_extended_errcode(db)));
  status = body(db);
  int err = sqlite3_extended_errcode(db);
  SqliteExec(db, "COMMIT");
  if (status == RegStatus::StoreFailed) status = FromSqlite(err);
  return Finish(status);
}

RegStatus RegistryDatabase::Write(const std::string& path, const Body& body) {
  RegStatus status = Attach(path, true);
  if (status != RegStatus::Ok) return status;
  sqlite3* db = db_.get();
  if (sqlite3_db_readonly(db, "main") == 1) return RegStatus::AccessDenied;
  if (!SqliteExec(db, "BEGIN IMMEDIATE")) return Finish(FromSqlite(sqlite3_extended_errcode(db)));
  bool createdSchema = false;
  if (!hasSchema_) {
    // Inside the write lock: either create the tables, or find that another
    // process has just done so.
    switch (Hive::CheckSchema(db)) {
      case Hive::SchemaState::Ours:
        hasSchema_ = true;
        break;
      case Hive::SchemaState::Empty:
        hasSchema_ = createdSchema = Hive::CreateSchema(db);
        break;
      case Hive::SchemaState::Foreign:
      case Hive::SchemaState::Unreadable:
        break;
    }
    if (!hasSchema_) {
      int err = sqlite3_extended_errcode(db);
      SqliteExec(db, "ROLLBACK");
      Close();
      return FromSqlite(err);
    }
  }
  status = body(db);
  if (status == RegStatus::Ok) {
    if (SqliteExec(db, "COMMIT")) return RegStatus::Ok;
    status = FromSqlite(sqlite3_extended_errcode(db));
  }
  int err = sqlite3_extended_errcode(db);
  SqliteExec(db, "ROLLBACK");
  if (createdSchema) hasSchema_ = false;  // the tables went with the rollback
  if (status == RegStatus::StoreFailed) status = FromSqlite(err);
  if (SqliteIsDamage(err)) Close();
  return status;
}
