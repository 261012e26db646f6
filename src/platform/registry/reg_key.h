#pragma once
// An open registry key: the handle that settings, file associations and the
// update check work through. It names a key below a root and keeps no
// values and no database resources; every call is one operation on the
// store (see registry_store.h), so the key sees other writers' changes at
// once. Close() (or destruction) ends the handle.
//
// A key opened for reading answers AccessDenied to every change. Whether the
// database itself can be written shows at the first write (a key of the
// machine root opens for writing, and its writes then fail with AccessDenied
// when the machine file is not writable). When the key is deleted while
// open, reads find nothing and writes answer KeyDeleted.
//
//   RegKey key;
//   if (key.Open(HKEY_CURRENT_USER, "Software\\Classes\\Lumora.Audio",
//                RegAccess::Read) == RegStatus::Ok) {
//     DWORD volume = 100;
//     key.ReadDword("Volume", volume);
//   }

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry_types.h"

enum class RegAccess { Read, ReadWrite };

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() = default;
  // A moved-from key is closed.
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // Opens an existing key (NotFound when it does not exist). Closes the key
  // this handle had open first.
  RegStatus Open(RegRoot root, std::string_view path, RegAccess access = RegAccess::ReadWrite);
  RegStatus Open(const RegKey& parent, std::string_view subpath,
                 RegAccess access = RegAccess::ReadWrite);
  // Opens a key for reading and writing, creating it and its missing parents.
  RegStatus Create(RegRoot root, std::string_view path);
  RegStatus Create(const RegKey& parent, std::string_view subpath);
  void Close();

  bool IsOpen() const { return open_; }
  RegRoot Root() const { return root_; }
  // The key's path below its root, in the case first written ("" for a root).
  const std::string& Path() const { return path_; }
  // The root's full name and the path: "HKEY_CURRENT_USER\Software\...".
  std::string FullName() const;

  RegStatus ReadValue(std::string_view name, RegValue& out) const;
  // Typed reads leave out unchanged unless they answer Ok; a value of
  // another type answers WrongType. ReadString takes REG_SZ and REG_EXPAND_SZ.
  RegStatus ReadDword(std::string_view name, DWORD& out) const;
  RegStatus ReadString(std::string_view name, std::string& out) const;
  bool HasValue(std::string_view name) const;
  RegStatus ListValues(std::vector<RegNamedValue>& values) const;

  RegStatus WriteValue(std::string_view name, const RegValue& value);
  RegStatus WriteDword(std::string_view name, DWORD value);
  RegStatus WriteString(std::string_view name, std::string_view text, RegType type = REG_SZ);
  RegStatus DeleteValue(std::string_view name);

  bool HasSubkey(std::string_view subpath) const;
  // Names of the direct subkeys, sorted without regard to case.
  RegStatus ListSubkeys(std::vector<std::string>& names) const;
  // Deletes a subkey that has no subkeys of its own.
  RegStatus DeleteSubkey(std::string_view subpath);
  // Deletes a subkey with everything below it; with an empty subpath it
  // deletes this key's values and subkeys, and the key itself stays.
  RegStatus DeleteTree(std::string_view subpath = {});

 private:
  RegStatus Writable() const;
  std::string Sub(std::string_view subpath) const;

  bool open_ = false;
  RegRoot root_ = HKEY_CURRENT_USER;
  RegAccess access_ = RegAccess::Read;
  std::string path_;
};
