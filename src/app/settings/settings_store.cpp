#include "app/settings/settings_store.h"

#include <string>

#include "app/settings/resume_text.h"
#include "platform/registry/reg_key.h"

bool ReadSetting(std::string_view name, int& value, bool audio) {
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, audio ? AudioKey : VideoKey, RegAccess::Read) != RegStatus::Ok)
    return false;
  DWORD stored = 0;
  if (key.ReadDword(name, stored) == RegStatus::Ok) value = static_cast<int>(stored);
  return value != 0;
}

void WriteSetting(std::string_view name, int value, bool audio) {
  RegKey key;
  if (key.Create(HKEY_CURRENT_USER, audio ? AudioKey : VideoKey) != RegStatus::Ok) return;
  key.WriteDword(name, static_cast<DWORD>(value));
}

bool ReadLastPosition(int& x, int& y) {
  x = 0;
  y = 0;
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, VideoKey, RegAccess::Read) != RegStatus::Ok) return false;
  DWORD stored = 0;
  if (key.ReadDword("LastX", stored) == RegStatus::Ok) x = static_cast<int>(stored);
  if (key.ReadDword("LastY", stored) == RegStatus::Ok) y = static_cast<int>(stored);
  // Summed in 64 bits: two large values must not wrap around to zero.
  return std::int64_t{x} + std::int64_t{y} != 0;
}

void SaveResumePoint(std::string_view fileName, std::int64_t position) {
  RegKey key;
  if (key.Create(HKEY_CURRENT_USER, BreaksKey) != RegStatus::Ok) return;
  key.WriteString(fileName, FormatResumeText(position));
}

std::int64_t TakeResumePoint(std::string_view fileName) {
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, BreaksKey) != RegStatus::Ok) return 0;
  std::string text;
  if (key.ReadString(fileName, text) != RegStatus::Ok) return 0;
  std::int64_t position = ParseResumeText(text);
  if (position != 0) key.DeleteValue(fileName);
  return position;
}
