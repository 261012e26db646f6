#include "platform/registry/registry_types.h"

std::string_view RegRootName(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RegRoot::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegRoot::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
  }
  return "";
}

std::string_view RegTypeName(RegType type) {
  switch (type) {
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_DWORD:
      return "REG_DWORD";
    default:
      return "REG_NONE";
  }
}

std::string_view RegStatusText(RegStatus status) {
  switch (status) {
    case RegStatus::Ok:
      return "The operation completed successfully.";
    case RegStatus::NotFound:
      return "The system was unable to find the specified registry key or value.";
    case RegStatus::AccessDenied:
      return "Access is denied.";
    case RegStatus::WrongType:
      return "The value has another type than the one requested.";
    case RegStatus::InvalidParameter:
      return "The parameter is incorrect.";
    case RegStatus::StoreFailed:
      return "The registry database could not be read or written.";
    case RegStatus::KeyDeleted:
      return "The key has been deleted.";
    case RegStatus::HasSubkeys:
      return "The key has subkeys.";
  }
  return "Unknown error.";
}
