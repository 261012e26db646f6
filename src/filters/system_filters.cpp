#include "filters/system_filters.h"

#include "directshow/dshow_guids.h"
#include "filters/audio_renderer/audio_renderer.h"

HRESULT CreateSystemFilter(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_DSoundRender) return REGDB_E_CLASSNOTREG;
  ComPtr<TAudioRenderer> renderer = MakeCom<TAudioRenderer>();
  return renderer->QueryInterface(riid, ppv);
}
