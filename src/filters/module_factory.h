#pragma once
// The class factories a filter module hands out from its exported
// "DllGetClassObject": one entry per class id, each creating its filter.
//
//   extern "C" LUMORA_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID c, REFIID r, void** p) {
//     static constexpr TModuleClass kClasses[] = {{CLSID_Foo, &CreateFoo}};
//     return ModuleGetClassObject(kClasses, c, r, p);
//   }

#include <span>

#include "platform/com/com_object.h"
#include "platform/com/unknown.h"

#define LUMORA_MODULE_EXPORT __attribute__((visibility("default")))

struct TModuleClass {
  CLSID clsid;
  // Creates a new instance and queries it for riid.
  HRESULT (*create)(REFIID riid, void** ppv);
};

// A class factory for `clsid` queried for riid; CLASS_E_CLASSNOTAVAILABLE
// for a class id the table does not list.
HRESULT ModuleGetClassObject(std::span<const TModuleClass> classes, REFCLSID clsid, REFIID riid,
                             void** ppv);

// Creates T with MakeCom and queries it for riid.
template <class T>
HRESULT CreateComInstance(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ComPtr<T> object = MakeCom<T>();
  return object->QueryInterface(riid, ppv);
}
