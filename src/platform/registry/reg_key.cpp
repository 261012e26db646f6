#include "platform/registry/reg_key.h"

#include <utility>

#include "platform/registry/key_path.h"
#include "platform/registry/registry_store.h"

namespace {
RegistryStore& Store() { return RegistryStore::Instance(); }
}  // namespace

RegKey::RegKey(RegKey&& other) noexcept
    : open_(std::exchange(other.open_, false)),
      root_(other.root_),
      access_(other.access_),
      path_(std::exchange(other.path_, {})) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    open_ = std::exchange(other.open_, false);
    root_ = other.root_;
    access_ = other.access_;
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

RegStatus RegKey::Open(RegRoot root, std::string_view path, RegAccess access) {
  Close();
  std::string stored;
  RegStatus s = Store().FindKey(root, path, &stored);
  if (s != RegStatus::Ok) return s;
  open_ = true;
  root_ = root;
  access_ = access;
  path_ = std::move(stored);
  return RegStatus::Ok;
}

RegStatus RegKey::Open(const RegKey& parent, std::string_view subpath, RegAccess access) {
  if (!parent.open_) return RegStatus::InvalidParameter;
  std::string full = parent.Sub(subpath);
  RegRoot root = parent.root_;
  return Open(root, full, access);
}

RegStatus RegKey::Create(RegRoot root, std::string_view path) {
  Close();
  std::string stored;
  RegStatus s = Store().CreateKey(root, path, &stored);
  if (s != RegStatus::Ok) return s;
  open_ = true;
  root_ = root;
  access_ = RegAccess::ReadWrite;
  path_ = std::move(stored);
  return RegStatus::Ok;
}

RegStatus RegKey::Create(const RegKey& parent, std::string_view subpath) {
  if (!parent.open_) return RegStatus::InvalidParameter;
  if (parent.access_ != RegAccess::ReadWrite) return RegStatus::AccessDenied;
  std::string full = parent.Sub(subpath);
  RegRoot root = parent.root_;
  return Create(root, full);
}

void RegKey::Close() {
  open_ = false;
  path_.clear();
}

std::string RegKey::FullName() const { return JoinKeyPath(RegRootName(root_), path_); }

std::string RegKey::Sub(std::string_view subpath) const {
  return JoinKeyPath(path_, NormalizeKeyPath(subpath));
}

RegStatus RegKey::Writable() const {
  if (!open_) return RegStatus::InvalidParameter;
  return access_ == RegAccess::ReadWrite ? RegStatus::Ok : RegStatus::AccessDenied;
}

RegStatus RegKey::ReadValue(std::string_view name, RegValue& out) const {
  if (!open_) return RegStatus::InvalidParameter;
  return Store().ReadValue(root_, path_, name, out);
}

RegStatus RegKey::ReadDword(std::string_view name, DWORD& out) const {
  RegValue v;
  RegStatus s = ReadValue(name, v);
  if (s != RegStatus::Ok) return s;
  if (v.Type != REG_DWORD) return RegStatus::WrongType;
  out = v.Dword;
  return RegStatus::Ok;
}

RegStatus RegKey::ReadString(std::string_view name, std::string& out) const {
  RegValue v;
  RegStatus s = ReadValue(name, v);
  if (s != RegStatus::Ok) return s;
  if (!v.IsText()) return RegStatus::WrongType;
  out = std::move(v.Text);
  return RegStatus::Ok;
}

bool RegKey::HasValue(std::string_view name) const {
  RegValue v;
  return ReadValue(name, v) == RegStatus::Ok;
}

RegStatus RegKey::ListValues(std::vector<RegNamedValue>& values) const {
  values.clear();
  if (!open_) return RegStatus::InvalidParameter;
  return Store().ListValues(root_, path_, values);
}

RegStatus RegKey::WriteValue(std::string_view name, const RegValue& value) {
  if (RegStatus s = Writable(); s != RegStatus::Ok) return s;
  return Store().WriteValue(root_, path_, name, value);
}

RegStatus RegKey::WriteDword(std::string_view name, DWORD value) {
  return WriteValue(name, RegValue::FromDword(value));
}

RegStatus RegKey::WriteString(std::string_view name, std::string_view text, RegType type) {
  if (type != REG_SZ && type != REG_EXPAND_SZ) return RegStatus::InvalidParameter;
  return WriteValue(name, RegValue::FromText(text, type));
}

RegStatus RegKey::DeleteValue(std::string_view name) {
  if (RegStatus s = Writable(); s != RegStatus::Ok) return s;
  return Store().DeleteValue(root_, path_, name);
}

bool RegKey::HasSubkey(std::string_view subpath) const {
  if (!open_ || NormalizeKeyPath(subpath).empty()) return false;
  return Store().FindKey(root_, Sub(subpath)) == RegStatus::Ok;
}

RegStatus RegKey::ListSubkeys(std::vector<std::string>& names) const {
  names.clear();
  if (!open_) return RegStatus::InvalidParameter;
  return Store().ListSubkeys(root_, path_, names);
}

RegStatus RegKey::DeleteSubkey(std::string_view subpath) {
  if (RegStatus s = Writable(); s != RegStatus::Ok) return s;
  if (NormalizeKeyPath(subpath).empty()) return RegStatus::InvalidParameter;
  return Store().DeleteKey(root_, Sub(subpath));
}

RegStatus RegKey::DeleteTree(std::string_view subpath) {
  if (RegStatus s = Writable(); s != RegStatus::Ok) return s;
  if (!NormalizeKeyPath(subpath).empty()) return Store().DeleteTree(root_, Sub(subpath));
  // Empty this key but keep it: delete every subkey tree, then every value.
  std::vector<std::string> names;
  if (RegStatus s = Store().ListSubkeys(root_, path_, names); s != RegStatus::Ok) return s;
  for (const std::string& n : names)
    if (RegStatus s = Store().DeleteTree(root_, JoinKeyPath(path_, n));
        s != RegStatus::Ok && s != RegStatus::NotFound)
      return s;
  std::vector<RegNamedValue> values;
  if (RegStatus s = Store().ListValues(root_, path_, values); s != RegStatus::Ok) return s;
  for (const RegNamedValue& v : values)
    if (RegStatus s = Store().DeleteValue(root_, path_, v.Name);
        s != RegStatus::Ok && s != RegStatus::NotFound)
      return s;
  return RegStatus::Ok;
}
