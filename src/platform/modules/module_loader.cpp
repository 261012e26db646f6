#include "platform/modules/module_loader.h"

#include <dlfcn.h>

#include <bit>
#include <mutex>
#include <unordered_map>

#include "platform/fpu_control.h"

namespace {

struct ModuleCache {
  std::mutex mu;
  std::unordered_map<std::string, HMODULE> modules;  // never unloaded
};

ModuleCache& Cache() {
  static ModuleCache cache;
  return cache;
}

// Calls the module's factory. No object and a failure, or the object and
// the factory's result.
HRESULT CreateFromModule(HMODULE module, REFCLSID clsid, REFIID iid, void** ppv) {
  void* symbol = dlsym(module, kDllGetClassObjectName);
  if (!symbol) return CO_E_ERRORINDLL;
  const auto get_class_object = std::bit_cast<DllGetClassObjectFn>(symbol);

  IClassFactory* raw_factory = nullptr;
  HRESULT hr = get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&raw_factory));
  MaskFPUExceptions();
  // On failure the out-parameter is not ours to touch.
  if (FAILED(hr)) return hr;
  auto factory = ComPtr<IClassFactory>::Adopt(raw_factory);
  if (!factory) return S_FALSE;

  void* object = nullptr;
  hr = factory->CreateInstance(nullptr, iid, &object);
  MaskFPUExceptions();
  if (FAILED(hr)) return hr;
  if (!object) return S_FALSE;
  *ppv = object;
  return hr;
}

}  // namespace

HMODULE LoadModule(const std::string& file) {
  if (file.empty()) return nullptr;
  ModuleCache& cache = Cache();
  {
    std::lock_guard lock(cache.mu);
    auto it = cache.modules.find(file);
    if (it != cache.modules.end()) return it->second;
  }
  // Not under the lock: a module's initialisers may load modules too. Two
  // threads loading the same file at once get the same handle.
  const std::string path = file.find('/') == std::string::npos ? "./" + file : file;
  HMODULE module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  MaskFPUExceptions();
  if (!module) return nullptr;
  std::lock_guard lock(cache.mu);
  cache.modules.emplace(file, module);
  return module;
}

HRESULT LoadObjectFromFile(const std::string& file, REFCLSID clsid, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  HMODULE module = LoadModule(file);
  if (!module) return S_FALSE;
  return CreateFromModule(module, clsid, iid, ppv);
}

HRESULT LoadObjectCached(const std::string& file, REFCLSID clsid, REFIID iid, HMODULE& module,
                         void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!module) {
    module = LoadModule(file);
    if (!module) return CO_E_DLLNOTFOUND;
  }
  const HRESULT hr = CreateFromModule(module, clsid, iid, ppv);
  return *ppv ? hr : S_FALSE;
}
