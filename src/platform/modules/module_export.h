#pragma once
// What a module file needs to offer its classes through "DllGetClassObject":
//
//   #include "platform/modules/module_export.h"
//   LUMORA_MODULE_CLASSES({CLSID_Foo, &lumora::CreateComInstance<TFoo>},
//                         {CLSID_Bar, &CreateBar});
//
// Modules are built with hidden visibility; the macro exports the entry point
// with C linkage. Header-only, so a module links none of the program's
// libraries (and so none of their process-wide state).

#include <new>
#include <span>
#include <type_traits>

#include "platform/com/com_object.h"

#define LUMORA_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace lumora {

// Creates an object answering riid; null in *ppv on failure.
using CreateInstanceFn = HRESULT (*)(REFIID riid, void** ppv);

struct ModuleClass {
  CLSID clsid;
  CreateInstanceFn create;
};

// A CreateInstanceFn for a default-constructible ComObject class.
template <class T>
HRESULT CreateComInstance(REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  try {
    ComPtr<T> object = MakeCom<T>();
    return object->QueryInterface(riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// The class factory handed out for one entry of a module's table.
class ModuleClassFactory final : public ComObject<IClassFactory> {
 public:
  explicit ModuleClassFactory(CreateInstanceFn create) noexcept : create_(create) {}

  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(riid, ppv);
  }
  // Modules are never unloaded, so there is nothing to lock.
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  CreateInstanceFn create_;
};

// The body of DllGetClassObject over a table of classes.
inline HRESULT GetModuleClassObject(std::span<const ModuleClass> classes, REFCLSID clsid,
                                    REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const ModuleClass& c : classes) {
    if (c.clsid != clsid) continue;
    try {
      return MakeCom<ModuleClassFactory>(c.create)->QueryInterface(riid, ppv);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace lumora

// Defines the module's exported DllGetClassObject over the listed
// {CLSID, CreateInstanceFn} entries. Follow it with a semicolon.
#define LUMORA_MODULE_CLASSES(...)                                                          \
  LUMORA_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) { \
    static constexpr ::lumora::ModuleClass kModuleClasses[] = {__VA_ARGS__};                \
    return ::lumora::GetModuleClassObject(kModuleClasses, clsid, riid, ppv);                \
  }                                                                                         \
  static_assert(std::is_same_v<decltype(&DllGetClassObject), DllGetClassObjectFn>,          \
                "DllGetClassObject must match DllGetClassObjectFn")
