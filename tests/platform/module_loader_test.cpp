#include "platform/modules/module_loader.h"

#include <fenv.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "module/test_classes.h"

namespace {

const std::string kModule = LUMORA_TEST_FILTER_MODULE;
const std::string kNoExport = LUMORA_NO_EXPORT_MODULE;
const std::string kMissing = "/nonexistent-lumora-folder/LAVSplitter.ax";

class ModuleLoaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    not_a_module_ = (std::filesystem::temp_directory_path() /
                     ("lumora-not-a-module-" + std::to_string(getpid()) + ".ax"))
                        .string();
    std::ofstream(not_a_module_) << "this is a text file, not a module\n";
  }
  static void TearDownTestSuite() { std::filesystem::remove(not_a_module_); }

  static std::string not_a_module_;
};

std::string ModuleLoaderTest::not_a_module_;

struct PlainCase {
  const char* what;
  std::string file;
  CLSID clsid;
  IID iid;
  HRESULT hr;
  bool object;
};

TEST_F(ModuleLoaderTest, LoadObjectFromFileFollowsItsRules) {
  const PlainCase cases[] = {
      {"created", kModule, CLSID_TestFilter, ITestFilter::iid, S_OK, true},
      {"missing file", kMissing, CLSID_TestFilter, ITestFilter::iid, S_FALSE, false},
      {"bare name not in the working folder", "LumoraNoSuchModule.ax", CLSID_TestFilter,
       ITestFilter::iid, S_FALSE, false},
      {"empty name", "", CLSID_TestFilter, ITestFilter::iid, S_FALSE, false},
      {"not a module", not_a_module_, CLSID_TestFilter, ITestFilter::iid, S_FALSE, false},
      {"no export", kNoExport, CLSID_TestFilter, ITestFilter::iid, CO_E_ERRORINDLL, false},
      {"unknown class", kModule, CLSID_Unknown, ITestFilter::iid, CLASS_E_CLASSNOTAVAILABLE, false},
      {"interface not answered", kModule, CLSID_TestFilter, IID_IClassFactory, E_NOINTERFACE,
       false},
      {"creation fails", kModule, CLSID_FailingClass, ITestFilter::iid, E_OUTOFMEMORY, false},
      {"success without object", kModule, CLSID_EmptyResult, ITestFilter::iid, S_FALSE, false},
  };
  for (const PlainCase& c : cases) {
    SCOPED_TRACE(c.what);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(LoadObjectFromFile(c.file, c.clsid, c.iid, &object), c.hr);
    EXPECT_EQ(object != nullptr, c.object);
    if (object) static_cast<IUnknown*>(object)->Release();
  }
  EXPECT_EQ(LoadObjectFromFile(kModule, CLSID_TestFilter, ITestFilter::iid, nullptr), E_POINTER);
}

TEST_F(ModuleLoaderTest, TypedLoadGivesAWorkingObject) {
  auto [hr, filter] = LoadFilterFromFile<ITestFilter>(kModule, CLSID_TestFilter);
  EXPECT_EQ(hr, S_OK);
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->Answer(), 42);

  auto missing = LoadFilterFromFile<ITestFilter>(kMissing, CLSID_TestFilter);
  EXPECT_EQ(missing.hr, S_FALSE);
  EXPECT_FALSE(missing.object);
}

TEST_F(ModuleLoaderTest, ModuleIsLoadedOncePerPath) {
  const HMODULE first = LoadModule(kModule);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(LoadModule(kModule), first);
  EXPECT_EQ(LoadModule(kMissing), nullptr);
}

struct CachedCase {
  const char* what;
  std::string file;
  CLSID clsid;
  HRESULT hr;
  bool object;
  bool handle;
};

TEST_F(ModuleLoaderTest, LoadObjectCachedFollowsItsRules) {
  const CachedCase cases[] = {
      {"created", kModule, CLSID_TestFilter, S_OK, true, true},
      {"missing file fails", kMissing, CLSID_TestFilter, CO_E_DLLNOTFOUND, false, false},
      {"not a module fails", not_a_module_, CLSID_TestFilter, CO_E_DLLNOTFOUND, false, false},
      {"no export", kNoExport, CLSID_TestFilter, S_FALSE, false, true},
      {"unknown class", kModule, CLSID_Unknown, S_FALSE, false, true},
      {"creation fails", kModule, CLSID_FailingClass, S_FALSE, false, true},
      {"success without object", kModule, CLSID_EmptyResult, S_FALSE, false, true},
  };
  for (const CachedCase& c : cases) {
    SCOPED_TRACE(c.what);
    HMODULE module = nullptr;
    auto [hr, filter] = LoadFilterCached<ITestFilter>(c.file, c.clsid, module);
    EXPECT_EQ(hr, c.hr);
    EXPECT_EQ(static_cast<bool>(filter), c.object);
    EXPECT_EQ(module != nullptr, c.handle);
  }
}

TEST_F(ModuleLoaderTest, CachedLoadUsesTheStoredModule) {
  HMODULE module = nullptr;
  ASSERT_EQ(LoadFilterCached<ITestFilter>(kModule, CLSID_TestFilter, module).hr, S_OK);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module, LoadModule(kModule));
  const HMODULE stored = module;
  // With a module stored, the file is not looked at again.
  auto [hr, filter] = LoadFilterCached<ITestFilter>(kMissing, CLSID_TestFilter, module);
  EXPECT_EQ(hr, S_OK);
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->Answer(), 42);
  EXPECT_EQ(module, stored);
}

TEST_F(ModuleLoaderTest, ExceptionsAreMaskedAgainAfterCallingTheModule) {
  fedisableexcept(FE_ALL_EXCEPT);
  auto [hr, filter] = LoadFilterFromFile<ITestFilter>(kModule, CLSID_FpuUnmasking);
  EXPECT_EQ(hr, S_OK);
  EXPECT_TRUE(filter);
  EXPECT_EQ(fegetexcept(), 0);
}

}  // namespace
