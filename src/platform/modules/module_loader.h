#pragma once
// Creating objects from module files (shared libraries) without any
// registration: load the file, resolve its "DllGetClassObject" export, ask it
// for the class factory of a class identifier and create the object.
//
// Modules are loaded once per path and stay loaded for the life of the
// process, since objects from them may live anywhere. After every call into a
// module (loading runs its initialisers) floating-point exceptions are masked
// again, because outside code may leave them changed.
//
//   auto [hr, filter] = LoadFilterFromFile<IBaseFilter>(path, clsid);
//
// A name without a slash is taken as a file in the working folder, never
// searched for on the system's library path.

#include <string>

#include "platform/com/com_ptr.h"
#include "platform/com/unknown.h"

// A loaded module; null when none.
using HMODULE = void*;

inline constexpr char kDllGetClassObjectName[] = "DllGetClassObject";

// The module of file, loaded on first use; null when it cannot be loaded.
HMODULE LoadModule(const std::string& file);

// Creates an object of class clsid, answering iid, from the module file.
// - The module cannot be loaded: S_FALSE, no object.
// - The module has no "DllGetClassObject": CO_E_ERRORINDLL, no object.
// - "DllGetClassObject" fails (an unknown class): its result, no object.
// - Otherwise the result of the factory's CreateInstance(no outer, iid); the
//   object when one was created. A success without an object reads S_FALSE.
// *ppv is null whenever the result has no object. E_POINTER when ppv is null.
HRESULT LoadObjectFromFile(const std::string& file, REFCLSID clsid, REFIID iid, void** ppv);

// As LoadObjectFromFile, with the module kept by the caller:
// - the module is loaded only while module is null, and stored there;
// - a module that cannot be loaded fails: CO_E_DLLNOTFOUND, module stays null;
// - whenever no object results (no export, unknown class, failed or empty
//   CreateInstance) the result is S_FALSE.
HRESULT LoadObjectCached(const std::string& file, REFCLSID clsid, REFIID iid, HMODULE& module,
                         void** ppv);

template <lumora::ComInterface I>
struct LoadResult {
  HRESULT hr = S_FALSE;
  ComPtr<I> object;
};

template <lumora::ComInterface I>
LoadResult<I> LoadFilterFromFile(const std::string& file, REFCLSID clsid) {
  LoadResult<I> r;
  r.hr = LoadObjectFromFile(file, clsid, I::iid, r.object.PutVoid());
  return r;
}

template <lumora::ComInterface I>
LoadResult<I> LoadFilterCached(const std::string& file, REFCLSID clsid, HMODULE& module) {
  LoadResult<I> r;
  r.hr = LoadObjectCached(file, clsid, I::iid, module, r.object.PutVoid());
  return r;
}
