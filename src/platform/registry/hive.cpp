#include "platform/registry/hive.h"

#include "platform/registry/key_path.h"
#include "platform/registry/sqlite_statement.h"

namespace {

// "LMRG": marks the file as a registry database of this program.
constexpr std::int64_t kApplicationId = 0x4C4D5247;
constexpr std::int64_t kSchemaVersion = 1;

constexpr const char* kSchemaSql =
    "CREATE TABLE keys(fold TEXT PRIMARY KEY NOT NULL, parent TEXT NOT NULL, path TEXT NOT NULL);"
    "CREATE INDEX keys_by_parent ON keys(parent);"
    "CREATE TABLE vals(keyfold TEXT NOT NULL, fold TEXT NOT NULL, name TEXT NOT NULL,"
    " type INTEGER NOT NULL, data NOT NULL, PRIMARY KEY(keyfold, fold),"
    " CHECK((type = 4 AND typeof(data) = 'integer' AND data BETWEEN 0 AND 4294967295) OR"
    " (type IN (1, 2) AND typeof(data) = 'text')));";

bool PragmaInt(sqlite3* db, const char* sql, std::int64_t& out) {
  SqliteStatement st(db, sql);
  if (st.Step() != SQLITE_ROW) return false;
  out = st.Int(0);
  return true;
}

// The schema rows as one text, or "" with ok false when unreadable.
std::string SchemaText(sqlite3* db, bool& ok) {
  SqliteStatement st(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY name");
  std::string text;
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    for (int c = 0; c < 4; ++c) text += st.Text(c) + '\x1F';
    text += '\x1E';
  }
  ok = rc == SQLITE_DONE;
  return text;
}

const std::string& ExpectedSchemaText() {
  static const std::string text = [] {
    sqlite3* raw = nullptr;
    sqlite3_open(":memory:", &raw);
    SqliteDb db(raw);
    SqliteExec(raw, kSchemaSql);
    bool ok = false;
    return SchemaText(raw, ok);
  }();
  return text;
}

// A stored row as a value; false when the row does not hold a valid one.
bool RowValue(const SqliteStatement& st, int typeCol, RegValue& out) {
  std::int64_t type = st.Int(typeCol);
  int dataType = st.ColumnType(typeCol + 1);
  if (type == REG_DWORD && dataType == SQLITE_INTEGER) {
    std::int64_t d = st.Int(typeCol + 1);
    if (d < 0 || d > 0xFFFFFFFFLL) return false;
    out = RegValue::FromDword(static_cast<DWORD>(d));
    return true;
  }
  if ((type == REG_SZ || type == REG_EXPAND_SZ) && dataType == SQLITE_TEXT) {
    out = RegValue::FromText(st.Text(typeCol + 1), static_cast<RegType>(type));
    return true;
  }
  return false;
}

std::string ParentOf(const std::string& path) {
  std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

Hive::SchemaState Hive::CheckSchema(sqlite3* db) {
  bool ok = false;
  std::string text = SchemaText(db, ok);
  std::int64_t appId = 0, version = 0;
  ok = ok && PragmaInt(db, "PRAGMA application_id", appId) &&
       PragmaInt(db, "PRAGMA user_version", version);
  if (!ok)
    return SqliteIsDamage(sqlite3_extended_errcode(db)) ? SchemaState::Foreign
                                                        : SchemaState::Unreadable;
  if (text.empty() && appId == 0 && version == 0) return SchemaState::Empty;
  if (text == ExpectedSchemaText() && appId == kApplicationId && version == kSchemaVersion)
    return SchemaState::Ours;
  return SchemaState::Foreign;
}

bool Hive::CreateSchema(sqlite3* db) {
  std::string pragmas = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                        "; PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
  return SqliteExec(db, kSchemaSql) && SqliteExec(db, pragmas.c_str());
}

bool Hive::KeyExists(const std::string& fold) const {
  if (fold.empty()) return true;
  SqliteStatement st(db_, "SELECT 1 FROM keys WHERE fold = ?1");
  st.Bind(1, fold);
  return st.Step() == SQLITE_ROW;
}

RegStatus Hive::FindKey(std::string_view path, std::string* stored) const {
  if (path.empty()) {
    if (stored) stored->clear();
    return RegStatus::Ok;
  }
  SqliteStatement st(db_, "SELECT path FROM keys WHERE fold = ?1");
  st.Bind(1, FoldCase(path));
  int rc = st.Step();
  if (rc == SQLITE_ROW) {
    if (stored) *stored = st.Text(0);
    return RegStatus::Ok;
  }
  return rc == SQLITE_DONE ? RegStatus::NotFound : RegStatus::StoreFailed;
}

RegStatus Hive::CreateKey(std::string_view path, std::string* stored) const {
  std::string storedPath;  // the existing parent's path as stored
  std::string fold;
  for (std::string_view name : SplitKeyPath(path)) {
    std::string parentFold = fold;
    fold = JoinKeyPath(fold, FoldCase(name));
    SqliteStatement ins(db_, "INSERT OR IGNORE INTO keys(fold, parent, path) VALUES(?1, ?2, ?3)");
    ins.Bind(1, fold).Bind(2, parentFold).Bind(3, JoinKeyPath(storedPath, name));
    if (!ins.Run()) return RegStatus::StoreFailed;
    SqliteStatement sel(db_, "SELECT path FROM keys WHERE fold = ?1");
    sel.Bind(1, fold);
    if (sel.Step() != SQLITE_ROW) return RegStatus::StoreFailed;
    storedPath = sel.Text(0);
  }
  if (stored) *stored = storedPath;
  return RegStatus::Ok;
}

std::size_t Hive::ExistingDepth(std::string_view path) const {
  std::size_t depth = 0;
  std::string fold;
  for (std::string_view name : SplitKeyPath(path)) {
    fold = JoinKeyPath(fold, FoldCase(name));
    if (!KeyExists(fold)) break;
    ++depth;
  }
  return depth;
}

RegStatus Hive::ReadValue(std::string_view path, std::string_view name, RegValue& out) const {
  SqliteStatement st(db_, "SELECT type, data FROM vals WHERE keyfold = ?1 AND fold = ?2");
  st.Bind(1, FoldCase(path)).Bind(2, FoldCase(name));
  int rc = st.Step();
  if (rc == SQLITE_ROW) return RowValue(st, 0, out) ? RegStatus::Ok : RegStatus::NotFound;
  return rc == SQLITE_DONE ? RegStatus::NotFound : RegStatus::StoreFailed;
}

RegStatus Hive::WriteValue(std::string_view path, std::string_view name,
                           const RegValue& value) const {
  if (!(value.Type == REG_DWORD || value.IsText())) return RegStatus::InvalidParameter;
  std::string keyFold = FoldCase(path);
  if (!KeyExists(keyFold)) return RegStatus::KeyDeleted;
  SqliteStatement st(db_,
                     "INSERT INTO vals(keyfold, fold, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                     "ON CONFLICT(keyfold, fold) DO UPDATE SET type = excluded.type, "
                     "data = excluded.data");
  st.Bind(1, keyFold).Bind(2, FoldCase(name)).Bind(3, name).Bind(4, std::int64_t{value.Type});
  if (value.Type == REG_DWORD)
    st.Bind(5, std::int64_t{value.Dword});
  else
    st.Bind(5, value.Text);
  return st.Run() ? RegStatus::Ok : RegStatus::StoreFailed;
}

RegStatus Hive::DeleteValue(std::string_view path, std::string_view name) const {
  SqliteStatement st(db_, "DELETE FROM vals WHERE keyfold = ?1 AND fold = ?2");
  st.Bind(1, FoldCase(path)).Bind(2, FoldCase(name));
  if (!st.Run()) return RegStatus::StoreFailed;
  return sqlite3_changes(db_) > 0 ? RegStatus::Ok : RegStatus::NotFound;
}

RegStatus Hive::DeleteKey(std::string_view path) const {
  if (path.empty()) return RegStatus::InvalidParameter;
  std::string fold = FoldCase(path);
  if (!KeyExists(fold)) return RegStatus::NotFound;
  SqliteStatement child(db_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
  child.Bind(1, fold);
  int rc = child.Step();
  if (rc == SQLITE_ROW) return RegStatus::HasSubkeys;
  if (rc != SQLITE_DONE) return RegStatus::StoreFailed;
  SqliteStatement vals(db_, "DELETE FROM vals WHERE keyfold = ?1");
  SqliteStatement key(db_, "DELETE FROM keys WHERE fold = ?1");
  vals.Bind(1, fold);
  key.Bind(1, fold);
  return vals.Run() && key.Run() ? RegStatus::Ok : RegStatus::StoreFailed;
}

RegStatus Hive::DeleteTree(std::string_view path) const {
  if (path.empty()) {
    return SqliteExec(db_, "DELETE FROM vals; DELETE FROM keys;") ? RegStatus::Ok
                                                                  : RegStatus::StoreFailed;
  }
  std::string fold = FoldCase(path);
  if (!KeyExists(fold)) return RegStatus::NotFound;
  // Every path below fold starts with fold + "\"; they all sort before
  // fold + "]" because "]" follows "\" in byte order.
  std::string lo = fold + '\\', hi = fold + ']';
  SqliteStatement vals(db_,
                       "DELETE FROM vals WHERE keyfold = ?1 OR (keyfold >= ?2 AND keyfold < ?3)");
  SqliteStatement keys(db_, "DELETE FROM keys WHERE fold = ?1 OR (fold >= ?2 AND fold < ?3)");
  vals.Bind(1, fold).Bind(2, lo).Bind(3, hi);
  keys.Bind(1, fold).Bind(2, lo).Bind(3, hi);
  return vals.Run() && keys.Run() ? RegStatus::Ok : RegStatus::StoreFailed;
}

RegStatus Hive::ListSubkeys(std::string_view path, std::vector<std::string>& names) const {
  names.clear();
  std::string fold = FoldCase(path);
  if (!KeyExists(fold)) return RegStatus::NotFound;
  SqliteStatement st(db_, "SELECT path FROM keys WHERE parent = ?1 ORDER BY fold");
  st.Bind(1, fold);
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    std::string stored = st.Text(0);
    std::string parent = ParentOf(stored);
    names.push_back(parent.empty() ? stored : stored.substr(parent.size() + 1));
  }
  return rc == SQLITE_DONE ? RegStatus::Ok : RegStatus::StoreFailed;
}

RegStatus Hive::ListValues(std::string_view path, std::vector<RegNamedValue>& values) const {
  values.clear();
  std::string fold = FoldCase(path);
  if (!KeyExists(fold)) return RegStatus::NotFound;
  SqliteStatement st(db_, "SELECT name, type, data FROM vals WHERE keyfold = ?1 ORDER BY rowid");
  st.Bind(1, fold);
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    RegNamedValue v;
    v.Name = st.Text(0);
    if (RowValue(st, 1, v.Value)) values.push_back(std::move(v));
  }
  return rc == SQLITE_DONE ? RegStatus::Ok : RegStatus::StoreFailed;
}
