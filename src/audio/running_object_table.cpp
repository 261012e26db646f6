#include "audio/running_object_table.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "directshow/wide_string.h"
#include "platform/com/hresult.h"

TDCRunningObjectTable& TDCRunningObjectTable::Process() {
  static TDCRunningObjectTable table;
  return table;
}

HRESULT TDCRunningObjectTable::Register(IUnknown* object, std::u16string name, DWORD* cookie) {
  if (object == nullptr || cookie == nullptr) return E_POINTER;
  std::lock_guard lock(fLock);
  *cookie = fNextCookie++;
  if (fNextCookie == 0) fNextCookie = 1;
  fEntries.push_back(Entry{*cookie, std::move(name), ComPtr<IUnknown>(object)});
  return S_OK;
}

HRESULT TDCRunningObjectTable::Revoke(DWORD cookie) {
  ComPtr<IUnknown> released;  // released after the lock is dropped
  {
    std::lock_guard lock(fLock);
    for (auto it = fEntries.begin(); it != fEntries.end(); ++it) {
      if (it->cookie != cookie) continue;
      released = std::move(it->object);
      fEntries.erase(it);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT TDCRunningObjectTable::GetObject(const std::u16string& name, IUnknown** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  std::lock_guard lock(fLock);
  for (const auto& e : fEntries) {
    if (e.name == name) return CopyOut(e.object.get(), object);
  }
  return E_INVALIDARG;
}

std::vector<std::u16string> TDCRunningObjectTable::Names() {
  std::lock_guard lock(fLock);
  std::vector<std::u16string> names;
  for (const auto& e : fEntries) names.push_back(e.name);
  return names;
}

std::u16string GraphRegistrationName(const void* graph) {
  char text[64];
  std::snprintf(text, sizeof text, "FilterGraph %08x pid %08x",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(graph)),
                static_cast<unsigned>(getpid()));
  return ds::ToUtf16(text);
}
