#include "platform/registry/registry_store.h"

#include <algorithm>
#include <set>

#include "platform/registry/hive.h"
#include "platform/registry/key_path.h"
#include "platform/registry/registry_location.h"

namespace {

constexpr std::string_view kClasses = "Software\\Classes";
constexpr std::size_t kClassesDepth = 2;

std::string ClassesPath(const std::string& path) { return JoinKeyPath(kClasses, path); }

// "Software\Classes\X\Y" as stored, less its first two names.
std::string StripClasses(const std::string& stored) {
  std::size_t first = stored.find('\\');
  if (first == std::string::npos) return {};
  std::size_t second = stored.find('\\', first + 1);
  return second == std::string::npos ? std::string() : stored.substr(second + 1);
}

}  // namespace

RegistryStore& RegistryStore::Instance() {
  static RegistryStore store;
  return store;
}

template <typename Fn>
RegStatus RegistryStore::ReadIn(Layer layer, Fn&& fn) {
  RegistryDatabase& db = layer == Layer::User ? user_ : machine_;
  std::string file = layer == Layer::User ? UserRegistryPath() : MachineRegistryPath();
  return db.Read(file, [&](sqlite3* raw) {
    Hive hive(raw);
    return fn(hive);
  });
}

template <typename Fn>
RegStatus RegistryStore::WriteIn(Layer layer, Fn&& fn) {
  RegistryDatabase& db = layer == Layer::User ? user_ : machine_;
  std::string file = layer == Layer::User ? UserRegistryPath() : MachineRegistryPath();
  return db.Write(file, [&](sqlite3* raw) {
    Hive hive(raw);
    return fn(hive);
  });
}

void RegistryStore::CloseConnections() {
  std::lock_guard lock(mutex_);
  user_.Close();
  machine_.Close();
}

RegStatus RegistryStore::FindKeyLocked(RegRoot root, const std::string& path, std::string* stored) {
  if (root != HKEY_CLASSES_ROOT) {
    Layer layer = root == HKEY_CURRENT_USER ? Layer::User : Layer::Machine;
    RegStatus s = ReadIn(layer, [&](Hive& h) { return h.FindKey(path, stored); });
    // The roots themselves exist even before their file does.
    if (s == RegStatus::NotFound && path.empty()) {
      if (stored) stored->clear();
      return RegStatus::Ok;
    }
    return s;
  }
  if (path.empty()) {
    if (stored) stored->clear();
    return RegStatus::Ok;
  }
  std::string full = ClassesPath(path);
  std::string found;
  RegStatus user = ReadIn(Layer::User, [&](Hive& h) { return h.FindKey(full, &found); });
  if (user != RegStatus::Ok) {
    RegStatus machine = ReadIn(Layer::Machine, [&](Hive& h) { return h.FindKey(full, &found); });
    if (machine != RegStatus::Ok) return user == RegStatus::NotFound ? machine : user;
  }
  if (stored) *stored = StripClasses(found);
  return RegStatus::Ok;
}

RegStatus RegistryStore::ClassKeyLayer(const std::string& path, Layer& layer) {
  std::string full = ClassesPath(path);
  if (ReadIn(Layer::User, [&](Hive& h) { return h.FindKey(full, nullptr); }) == RegStatus::Ok) {
    layer = Layer::User;
    return RegStatus::Ok;
  }
  if (ReadIn(Layer::Machine, [&](Hive& h) { return h.FindKey(full, nullptr); }) == RegStatus::Ok) {
    layer = Layer::Machine;
    return RegStatus::Ok;
  }
  return RegStatus::NotFound;
}

RegStatus RegistryStore::FindKey(RegRoot root, std::string_view path, std::string* stored) {
  std::lock_guard lock(mutex_);
  return FindKeyLocked(root, NormalizeKeyPath(path), stored);
}

RegStatus RegistryStore::CreateKey(RegRoot root, std::string_view rawPath, std::string* stored) {
  std::lock_guard lock(mutex_);
  std::string path = NormalizeKeyPath(rawPath);
  if (root != HKEY_CLASSES_ROOT) {
    Layer layer = root == HKEY_CURRENT_USER ? Layer::User : Layer::Machine;
    return WriteIn(layer, [&](Hive& h) { return h.CreateKey(path, stored); });
  }
  if (path.empty()) {
    if (stored) stored->clear();
    return RegStatus::Ok;
  }
  std::string full = ClassesPath(path);
  auto depth = [&](Layer layer) {
    std::size_t d = 0;
    ReadIn(layer, [&](Hive& h) {
      d = h.ExistingDepth(full);
      return RegStatus::Ok;
    });
    return d > kClassesDepth ? d - kClassesDepth : 0;
  };
  std::size_t user = depth(Layer::User), machine = depth(Layer::Machine);
  Layer target = (user > 0 && user >= machine) ? Layer::User : Layer::Machine;
  std::string found;
  RegStatus s = WriteIn(target, [&](Hive& h) { return h.CreateKey(full, &found); });
  if (s == RegStatus::Ok && stored) *stored = StripClasses(found);
  return s;
}

RegStatus RegistryStore::ReadValue(RegRoot root, std::string_view rawPath, std::string_view name,
                                   RegValue& out) {
  std::lock_guard lock(mutex_);
  std::string path = NormalizeKeyPath(rawPath);
  auto read = [&](Hive& h) { return h.ReadValue(path, name, out); };
  if (root == HKEY_CURRENT_USER) return ReadIn(Layer::User, read);
  if (root == HKEY_LOCAL_MACHINE) return ReadIn(Layer::Machine, read);
  path = ClassesPath(path);
  RegStatus user = ReadIn(Layer::User, read);
  if (user == RegStatus::Ok) return user;
  RegStatus machine = ReadIn(Layer::Machine, read);
  return (machine == RegStatus::Ok || user == RegStatus::NotFound) ? machine : user;
}

RegStatus RegistryStore::WriteValue(RegRoot root, std::string_view rawPath, std::string_view name,
                                    const RegValue& value) {
  std::lock_guard lock(mutex_);
  std::string path = NormalizeKeyPath(rawPath);
  Layer layer = root == HKEY_CURRENT_USER ? Layer::User : Layer::Machine;
  if (root == HKEY_CLASSES_ROOT) {
    if (ClassKeyLayer(path, layer) != RegStatus::Ok) return RegStatus::KeyDeleted;
    path = ClassesPath(path);
  }
  return WriteIn(layer, [&](Hive& h) { return h.WriteValue(path, name, value); });
}

RegStatus RegistryStore::DeleteValue(RegRoot root, std::string_view rawPath,
                                     std::string_view name) {
  std::lock_guard lock(mutex_);
  std::string path = NormalizeKeyPath(rawPath);
  auto del = [&](Hive& h) { return h.DeleteValue(path, name); };
  if (root == HKEY_CURRENT_USER) return WriteIn(Layer::User, del);
  if (root == HKEY_LOCAL_MACHINE) return WriteIn(Layer::Machine, del);
  path = ClassesPath(path);
  RegValue ignored;
  auto has = [&](Hive& h) { return h.ReadValue(path, name, ignored); };
  if (ReadIn(Layer::User, has) == RegStatus::Ok) return WriteIn(Layer::User, del);
  if (ReadIn(Layer::Machine, has) == RegStatus::Ok) return WriteIn(Layer::Machine, del);
  return RegStatus::NotFound;
}

RegStatus RegistryStore::DeleteKey(RegRoot root, std::string_view rawPath) {
  std::lock_guard lock(mutex_);
  std::string path = NormalizeKeyPath(rawPath);
  if (path.empty()) return RegStatus::InvalidParameter;
  Layer layer = root == HKEY_CURRENT_USER ? Layer::User : Layer::Machine;
  if (root == HKEY_CLASSES_ROOT) {
    if (ClassKeyLayer(path, layer) != RegStatus::Ok) return RegStatus::NotFound;
    path = ClassesPath(path);
  }
  return WriteIn(layer, [&](Hive& h) { return h.DeleteKey(path); });
}

RegStatus RegistryStore::DeleteTree(RegRoot root, std::string_view rawPath) {
  std::lock_guard lock(mutex_);
  std::string path = NormalizeKeyPath(rawPath);
  Layer layer = root == HKEY_CURRENT_USER ? Layer::User : Layer::Machine;
  if (root == HKEY_CLASSES_ROOT) {
    if (path.empty()) return RegStatus::InvalidParameter;
    if (ClassKeyLayer(path, layer) != RegStatus::Ok) return RegStatus::NotFound;
    path = ClassesPath(path);
  }
  return WriteIn(layer, [&](Hive& h) { return h.DeleteTree(path); });
}

RegStatus RegistryStore::ListSubkeys(RegRoot root, std::string_view rawPath,
                                     std::vector<std::string>& names) {
  std::lock_guard lock(mutex_);
  names.clear();
  std::string path = NormalizeKeyPath(rawPath);
  if (root != HKEY_CLASSES_ROOT) {
    Layer layer = root == HKEY_CURRENT_USER ? Layer::User : Layer::Machine;
    RegStatus s = ReadIn(layer, [&](Hive& h) { return h.ListSubkeys(path, names); });
    return (s == RegStatus::NotFound && path.empty()) ? RegStatus::Ok : s;
  }
  bool atRoot = path.empty();
  path = ClassesPath(path);
  std::vector<std::string> user, machine;
  RegStatus us = ReadIn(Layer::User, [&](Hive& h) { return h.ListSubkeys(path, user); });
  RegStatus ms = ReadIn(Layer::Machine, [&](Hive& h) { return h.ListSubkeys(path, machine); });
  if (us != RegStatus::Ok && ms != RegStatus::Ok) {
    if (atRoot) return RegStatus::Ok;
    return us == RegStatus::NotFound ? ms : us;
  }
  // Merge the two sorted lists by folded name; the user's spelling wins.
  std::vector<std::pair<std::string, std::string>> merged;  // fold, name
  std::set<std::string> seen;
  for (auto* list : {&user, &machine})
    for (std::string& n : *list)
      if (std::string f = FoldCase(n); seen.insert(f).second) merged.emplace_back(f, n);
  std::sort(merged.begin(), merged.end());
  for (auto& entry : merged) names.push_back(std::move(entry.second));
  return RegStatus::Ok;
}

RegStatus RegistryStore::ListValues(RegRoot root, std::string_view rawPath,
                                    std::vector<RegNamedValue>& values) {
  std::lock_guard lock(mutex_);
  values.clear();
  std::string path = NormalizeKeyPath(rawPath);
  if (root != HKEY_CLASSES_ROOT) {
    Layer layer = root == HKEY_CURRENT_USER ? Layer::User : Layer::Machine;
    RegStatus s = ReadIn(layer, [&](Hive& h) { return h.ListValues(path, values); });
    return (s == RegStatus::NotFound && path.empty()) ? RegStatus::Ok : s;
  }
  bool atRoot = path.empty();
  path = ClassesPath(path);
  std::vector<RegNamedValue> user, machine;
  RegStatus us = ReadIn(Layer::User, [&](Hive& h) { return h.ListValues(path, user); });
  RegStatus ms = ReadIn(Layer::Machine, [&](Hive& h) { return h.ListValues(path, machine); });
  if (us != RegStatus::Ok && ms != RegStatus::Ok) {
    if (atRoot) return RegStatus::Ok;
    return us == RegStatus::NotFound ? ms : us;
  }
  std::set<std::string> seen;
  for (auto* list : {&user, &machine})
    for (RegNamedValue& v : *list)
      if (seen.insert(FoldCase(v.Name)).second) values.push_back(std::move(v));
  return RegStatus::Ok;
}
