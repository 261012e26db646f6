// A module with a class but without the "DllGetClassObject" export.

#include "platform/modules/module_export.h"
#include "test_classes.h"

namespace {

class TTestFilter final : public ComObject<ITestFilter> {
 public:
  int Answer() override { return 7; }
};

}  // namespace

LUMORA_MODULE_EXPORT HRESULT CreateTestFilter(REFIID riid, void** ppv) {
  return lumora::CreateComInstance<TTestFilter>(riid, ppv);
}
