// The merged HKEY_CLASSES_ROOT view over the user's and the machine's
// Software\Classes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/registry/reg_key.h"
#include "platform/registry/registry_location.h"
#include "platform/registry/registry_sandbox.h"
#include "platform/registry/registry_store.h"

namespace {

class RegistryClassesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi", "", "Machine.Avi");
    Write(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi", "Content Type", "video/avi");
    Write(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi\\OpenWithProgids", "M.Player", "");
    Write(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi\\SHELLEX", "m", "1");
    Write(HKEY_LOCAL_MACHINE, "Software\\Classes\\.mkv", "", "Machine.Mkv");
    Write(HKEY_CURRENT_USER, "Software\\Classes\\.avi", "", "Lumora.Video");
    Write(HKEY_CURRENT_USER, "Software\\Classes\\.avi\\ShellEx", "u", "1");
  }

  static void Write(RegRoot root, const std::string& path, const std::string& name,
                    const std::string& text) {
    RegKey key;
    ASSERT_EQ(key.Create(root, path), RegStatus::Ok);
    ASSERT_EQ(key.WriteString(name, text), RegStatus::Ok);
  }

  static std::string Read(RegRoot root, const std::string& path, const std::string& name) {
    RegKey key;
    std::string text = "<missing>";
    if (key.Open(root, path, RegAccess::Read) == RegStatus::Ok) key.ReadString(name, text);
    return text;
  }

  // Points the machine database at a place that cannot be created, as for a
  // user without administrator rights.
  void MakeMachineUnwritable() {
    std::string blocker = sandbox_.Dir() + "/not-a-folder";
    std::FILE* f = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    setenv(kRegistryMachineDbVar, (blocker + "/machine.db").c_str(), 1);
  }

  ScopedRegistrySandbox sandbox_;
};

}  // namespace

TEST_F(RegistryClassesTest, ReadsSeeTheUsersValueFirst) {
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".avi", ""), "Lumora.Video");
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".AVI", "content type"), "video/avi");
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".mkv", ""), "Machine.Mkv");
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".mp3", ""), "<missing>");

  RegKey key;
  ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, ".Avi"), RegStatus::Ok);
  EXPECT_EQ(key.FullName(), "HKEY_CLASSES_ROOT\\.avi");
  std::vector<RegNamedValue> values;
  ASSERT_EQ(key.ListValues(values), RegStatus::Ok);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].Value.Text, "Lumora.Video");
  EXPECT_EQ(values[1].Name, "Content Type");

  // Subkeys of both layers, once each, in the user's spelling.
  std::vector<std::string> names;
  ASSERT_EQ(key.ListSubkeys(names), RegStatus::Ok);
  EXPECT_EQ(names, (std::vector<std::string>{"OpenWithProgids", "ShellEx"}));
  ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, ""), RegStatus::Ok);
  ASSERT_EQ(key.ListSubkeys(names), RegStatus::Ok);
  EXPECT_EQ(names, (std::vector<std::string>{".avi", ".mkv"}));
}

TEST_F(RegistryClassesTest, WritesGoWhereTheKeyIs) {
  RegKey key;
  // The user has .avi: the value lands there; the machine's stays.
  ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, ".avi"), RegStatus::Ok);
  ASSERT_EQ(key.WriteString("", "Other"), RegStatus::Ok);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Classes\\.avi", ""), "Other");
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi", ""), "Machine.Avi");
  // Only the machine has .mkv.
  ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, ".mkv"), RegStatus::Ok);
  ASSERT_EQ(key.WriteString("", "Lumora.Video"), RegStatus::Ok);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\Classes\\.mkv", ""), "Lumora.Video");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Classes\\.mkv", ""), "<missing>");

  // A subkey goes to the layer holding the deeper part of its path.
  ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, ".avi\\ShellEx\\New"), RegStatus::Ok);
  RegKey probe;
  EXPECT_EQ(probe.Open(HKEY_CURRENT_USER, "Software\\Classes\\.avi\\ShellEx\\New"), RegStatus::Ok);
  EXPECT_EQ(probe.Open(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi\\SHELLEX\\New"),
            RegStatus::NotFound);
  ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, ".avi\\OpenWithProgids\\X"), RegStatus::Ok);
  EXPECT_EQ(probe.Open(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi\\OpenWithProgids\\X"),
            RegStatus::Ok);
  // A class new to both goes to the machine.
  ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, ".flac"), RegStatus::Ok);
  EXPECT_EQ(probe.Open(HKEY_LOCAL_MACHINE, "Software\\Classes\\.flac"), RegStatus::Ok);
  EXPECT_EQ(probe.Open(HKEY_CURRENT_USER, "Software\\Classes\\.flac"), RegStatus::NotFound);
}

TEST_F(RegistryClassesTest, WithoutMachineRightsOnlyTheUsersPartChanges) {
  MakeMachineUnwritable();
  RegKey key;
  // The machine file is out of reach, so only the user's layer is seen.
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".avi", ""), "Lumora.Video");
  EXPECT_EQ(key.Open(HKEY_CLASSES_ROOT, ".mkv"), RegStatus::NotFound);
  ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, ".avi"), RegStatus::Ok);
  EXPECT_EQ(key.WriteString("", "Again"), RegStatus::Ok);
  RegKey created;
  EXPECT_EQ(created.Create(HKEY_CLASSES_ROOT, ".flac"), RegStatus::AccessDenied);
  EXPECT_EQ(created.Create(HKEY_LOCAL_MACHINE, "Software"), RegStatus::AccessDenied);
}

TEST_F(RegistryClassesTest, DeletesTakeWhatAReadWouldSee) {
  RegKey key;
  ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, ".avi"), RegStatus::Ok);
  ASSERT_EQ(key.DeleteValue(""), RegStatus::Ok);
  // The machine's default value shows through once the user's is gone.
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".avi", ""), "Machine.Avi");
  ASSERT_EQ(key.DeleteValue("Content Type"), RegStatus::Ok);
  EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi", "Content Type"), "<missing>");
  EXPECT_EQ(key.DeleteValue("nothing"), RegStatus::NotFound);

  // A tree is deleted from the user's layer when the user has it.
  ASSERT_EQ(key.DeleteTree("ShellEx"), RegStatus::Ok);
  EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".avi\\ShellEx", "m"), "1");
  ASSERT_EQ(key.DeleteTree("ShellEx"), RegStatus::Ok);
  EXPECT_FALSE(key.HasSubkey("ShellEx"));
  EXPECT_EQ(RegistryStore::Instance().DeleteTree(HKEY_CLASSES_ROOT, ""),
            RegStatus::InvalidParameter);
}
