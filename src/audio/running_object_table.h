#pragma once
// TDCRunningObjectTable: the process's table of running objects, where a
// filter graph may be registered under a display name so that tools inside
// the process can find and inspect it.
//
// A registration holds one reference on the object until it is revoked.
// Cookies are non-zero and never reused. Any thread; one internal lock,
// never held while calling out (the references are released after it is
// dropped).

#include <mutex>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/types.h"

class TDCRunningObjectTable {
 public:
  // The process-wide table.
  static TDCRunningObjectTable& Process();

  TDCRunningObjectTable() = default;
  TDCRunningObjectTable(const TDCRunningObjectTable&) = delete;
  TDCRunningObjectTable& operator=(const TDCRunningObjectTable&) = delete;

  // E_POINTER for a null object or cookie slot.
  HRESULT Register(IUnknown* object, std::u16string name, DWORD* cookie);
  // E_INVALIDARG for a cookie that is not registered.
  HRESULT Revoke(DWORD cookie);
  // The object registered under the name, with a new reference;
  // E_INVALIDARG (null) when none is.
  HRESULT GetObject(const std::u16string& name, IUnknown** object);
  // The names registered, in registration order.
  std::vector<std::u16string> Names();

 private:
  struct Entry {
    DWORD cookie;
    std::u16string name;
    ComPtr<IUnknown> object;
  };
  std::mutex fLock;
  DWORD fNextCookie = 1;
  std::vector<Entry> fEntries;
};

// The display name a filter graph is registered under:
// "FilterGraph <address, 8 hex digits> pid <process id, 8 hex digits>".
std::u16string GraphRegistrationName(const void* graph);
