// A module with the "DllGetClassObject" export and the classes of
// test_classes.h.

#include <fenv.h>

#include "platform/modules/module_export.h"
#include "test_classes.h"

namespace {

class TTestFilter final : public ComObject<ITestFilter> {
 public:
  int Answer() override { return 42; }
};

HRESULT CreateEmpty(REFIID, void** ppv) {
  *ppv = nullptr;
  return S_OK;
}

HRESULT CreateFailing(REFIID, void** ppv) {
  *ppv = nullptr;
  return E_OUTOFMEMORY;
}

HRESULT CreateUnmasking(REFIID riid, void** ppv) {
  feenableexcept(FE_DIVBYZERO);
  return lumora::CreateComInstance<TTestFilter>(riid, ppv);
}

}  // namespace

LUMORA_MODULE_CLASSES({CLSID_TestFilter, &lumora::CreateComInstance<TTestFilter>},
                      {CLSID_EmptyResult, &CreateEmpty}, {CLSID_FailingClass, &CreateFailing},
                      {CLSID_FpuUnmasking, &CreateUnmasking});
