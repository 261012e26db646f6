// Entry point of the module "LAVVideo.ax".

#include "filters/lav_settings.h"
#include "filters/module_factory.h"
#include "filters/video_decoder/module/video_decoder.h"

extern "C" LUMORA_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  static constexpr TModuleClass kClasses[] = {{CLSID_LAVVideo, &CreateComInstance<TLAVVideo>}};
  return ModuleGetClassObject(kClasses, clsid, riid, ppv);
}
