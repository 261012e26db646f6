#pragma once
// The process-wide registry store: the roots HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, each a database file (see registry_location.h), and
// the merged view HKEY_CLASSES_ROOT.
//
// Every operation is one transaction on the file and nothing is cached, so
// another process's change is seen by the next call; when two processes write
// the same value the last writer wins. Thread-safe: operations are serialised
// by one mutex, held only for the duration of the operation.
//
// Failures never throw: a missing, unreadable or damaged database makes reads
// answer NotFound (or StoreFailed) and writes answer AccessDenied or
// StoreFailed. The machine file is normally not writable by an ordinary user,
// so machine writes then fail with AccessDenied.
//
// HKEY_CLASSES_ROOT\X shows HKEY_CURRENT_USER\Software\Classes\X over
// HKEY_LOCAL_MACHINE\Software\Classes\X:
// - a key exists when it exists in either; its stored case is the user's
//   when the user has it;
// - a value is read from the user's key when the user has that value, else
//   from the machine's; listings merge both, the user's entries first and a
//   user entry hiding the machine's entry of the same name;
// - a value is written to the user's key when the user has the key, else to
//   the machine's key; a key is created in the layer that holds the deepest
//   existing part of its path, the user's on a tie, but a key whose first
//   name exists in neither goes to the machine (so a new class needs machine
//   rights, as on the system this stands in for);
// - a value is deleted where a read finds it (user first), so a machine
//   value of the same name may show through afterwards; a key or tree is
//   deleted from the user's layer when the user has it, else from the
//   machine's.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry_database.h"
#include "platform/registry/registry_types.h"

class Hive;

class RegistryStore {
 public:
  static RegistryStore& Instance();

  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // Paths are backslash-separated below the root (see key_path.h); names
  // compare without regard to case. stored (optional) receives the key's path
  // in the case first written.
  RegStatus FindKey(RegRoot root, std::string_view path, std::string* stored = nullptr);
  RegStatus CreateKey(RegRoot root, std::string_view path, std::string* stored = nullptr);
  RegStatus ReadValue(RegRoot root, std::string_view path, std::string_view name, RegValue& out);
  RegStatus WriteValue(RegRoot root, std::string_view path, std::string_view name,
                       const RegValue& value);
  RegStatus DeleteValue(RegRoot root, std::string_view path, std::string_view name);
  // Deletes a key that has no subkeys (HasSubkeys otherwise).
  RegStatus DeleteKey(RegRoot root, std::string_view path);
  // Deletes a key with all it holds. An empty path empties the root of
  // HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE (the root stays); for
  // HKEY_CLASSES_ROOT it is refused with InvalidParameter.
  RegStatus DeleteTree(RegRoot root, std::string_view path);
  RegStatus ListSubkeys(RegRoot root, std::string_view path, std::vector<std::string>& names);
  RegStatus ListValues(RegRoot root, std::string_view path, std::vector<RegNamedValue>& values);

  // Closes the open database connections; the next operation reopens them.
  // Call before fork() when the child will use the store.
  void CloseConnections();

 private:
  enum class Layer { User, Machine };
  template <typename Fn>
  RegStatus ReadIn(Layer layer, Fn&& fn);
  template <typename Fn>
  RegStatus WriteIn(Layer layer, Fn&& fn);

  RegistryStore() = default;
  RegStatus FindKeyLocked(RegRoot root, const std::string& path, std::string* stored);
  // Which layer holds a key of the class view for writing; NotFound if none.
  RegStatus ClassKeyLayer(const std::string& path, Layer& layer);

  std::mutex mutex_;
  RegistryDatabase user_;
  RegistryDatabase machine_;
};
