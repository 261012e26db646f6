#pragma once
// Filters of the system that the program creates by class id without a
// module file: the audio renderer (CLSID_DSoundRender, the stand-in for
// the system's DirectSound renderer).
//
//   ComPtr<IBaseFilter> renderer;
//   CreateSystemFilter(CLSID_DSoundRender, IBaseFilter::iid, renderer.PutVoid());

#include "platform/com/unknown.h"

// S_OK; REGDB_E_CLASSNOTREG for a class id this system does not provide.
HRESULT CreateSystemFilter(REFCLSID clsid, REFIID riid, void** ppv);
