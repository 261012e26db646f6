#include "filters/module_factory.h"

#include "platform/com/com_object.h"

namespace {

class TModuleClassFactory final : public ComObject<IClassFactory> {
 public:
  explicit TModuleClassFactory(HRESULT (*create)(REFIID, void**)) : fCreate(create) {}

  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return fCreate(riid, ppv);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  HRESULT (*const fCreate)(REFIID, void**);
};

}  // namespace

HRESULT ModuleGetClassObject(std::span<const TModuleClass> classes, REFCLSID clsid, REFIID riid,
                             void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const TModuleClass& c : classes) {
    if (c.clsid != clsid) continue;
    ComPtr<TModuleClassFactory> factory = MakeCom<TModuleClassFactory>(c.create);
    return factory->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}
