// Entry point of the module "LAVSplitter.ax".

#include "filters/lav_settings.h"
#include "filters/module_factory.h"
#include "filters/splitter/module/splitter.h"

extern "C" LUMORA_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  static constexpr TModuleClass kClasses[] = {
      {CLSID_LAVSplitter, &CreateComInstance<TLAVSplitter>}};
  return ModuleGetClassObject(kClasses, clsid, riid, ppv);
}
