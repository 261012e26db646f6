// Entry point of the module "LAVAudio.ax".

#include "filters/audio_decoder/module/audio_decoder.h"
#include "filters/lav_settings.h"
#include "filters/module_factory.h"

extern "C" LUMORA_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  static constexpr TModuleClass kClasses[] = {{CLSID_LAVAudio, &CreateComInstance<TLAVAudio>}};
  return ModuleGetClassObject(kClasses, clsid, riid, ppv);
}
