// The decoder modules load from the Filters folder by file name and create
// their filters by class id through DllGetClassObject.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "directshow/dshow.h"
#include "filters/lav_settings.h"
#include "platform/com/com_ptr.h"

namespace {

struct TModuleCase {
  const char* file;
  CLSID clsid;
  IID settings;
};

class Modules : public testing::TestWithParam<TModuleCase> {};

TEST_P(Modules, CreateTheirFilterByClassId) {
  const TModuleCase& c = GetParam();
  const std::string path = std::string(LUMORA_FILTERS_DIR) + "/" + c.file;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_TRUE(module) << dlerror();
  auto get = reinterpret_cast<DllGetClassObjectFn>(dlsym(module, "DllGetClassObject"));
  ASSERT_TRUE(get);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(get(c.clsid, IClassFactory::iid, factory.PutVoid()), S_OK);
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(factory->CreateInstance(nullptr, IBaseFilter::iid, filter.PutVoid()), S_OK);
  CLSID id{};
  filter->GetClassID(&id);
  EXPECT_EQ(id, c.clsid);
  ComPtr<IUnknown> settings;
  EXPECT_EQ(filter->QueryInterface(c.settings, settings.PutVoid()), S_OK);
  // Aggregation is not offered, and other class ids are not served.
  ComPtr<IBaseFilter> other;
  EXPECT_EQ(factory->CreateInstance(filter.get(), IBaseFilter::iid, other.PutVoid()),
            CLASS_E_NOAGGREGATION);
  ComPtr<IClassFactory> none;
  EXPECT_EQ(get(CLSID_DSoundRender, IClassFactory::iid, none.PutVoid()),
            CLASS_E_CLASSNOTAVAILABLE);
  settings = nullptr;
  filter = nullptr;
  factory = nullptr;
  // The program never unloads its modules; nor does this test (threads of a
  // decoder library may outlive a filter briefly).
}

INSTANTIATE_TEST_SUITE_P(
    Filters, Modules,
    testing::Values(TModuleCase{"LAVSplitter.ax", CLSID_LAVSplitter, ILAVFSettings::iid},
                    TModuleCase{"LAVVideo.ax", CLSID_LAVVideo, ILAVVideoSettings::iid},
                    TModuleCase{"LAVAudio.ax", CLSID_LAVAudio, ILAVAudioSettings::iid}),
    [](const auto& i) { return std::string(i.param.file).substr(0, std::string(i.param.file).find('.')); });

}  // namespace
