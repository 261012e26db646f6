// Keys and values through RegKey on a sandboxed store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/registry/reg_key.h"
#include "platform/registry/registry_sandbox.h"
#include "platform/registry/registry_store.h"

namespace {

class RegistryKeyTest : public ::testing::Test {
 protected:
  ScopedRegistrySandbox sandbox_;
};

std::vector<std::string> Subkeys(RegRoot root, const std::string& path) {
  RegKey key;
  std::vector<std::string> names;
  if (key.Open(root, path, RegAccess::Read) == RegStatus::Ok) key.ListSubkeys(names);
  return names;
}

std::vector<std::string> ValueNames(const RegKey& key) {
  std::vector<RegNamedValue> values;
  key.ListValues(values);
  std::vector<std::string> names;
  for (const auto& v : values) names.push_back(v.Name);
  return names;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

TEST_F(RegistryKeyTest, ValuesPersistAcrossReopen) {
  {
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Classes\\Lumora.Audio"), RegStatus::Ok);
    EXPECT_EQ(key.WriteDword("Volume", 80), RegStatus::Ok);
    EXPECT_EQ(key.WriteString("Registered", "mp3|ogg"), RegStatus::Ok);
    EXPECT_EQ(key.WriteString("", "Lumora.Audio.File"), RegStatus::Ok);
    EXPECT_EQ(key.WriteString("Path", "%HOME%\\Музыка", REG_EXPAND_SZ), RegStatus::Ok);
  }
  RegistryStore::Instance().CloseConnections();

  RegKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Classes\\Lumora.Audio", RegAccess::Read),
            RegStatus::Ok);
  DWORD volume = 0;
  std::string text;
  EXPECT_EQ(key.ReadDword("Volume", volume), RegStatus::Ok);
  EXPECT_EQ(volume, 80u);
  EXPECT_EQ(key.ReadString("Registered", text), RegStatus::Ok);
  EXPECT_EQ(text, "mp3|ogg");
  EXPECT_EQ(key.ReadString("", text), RegStatus::Ok);
  EXPECT_EQ(text, "Lumora.Audio.File");
  RegValue path;
  EXPECT_EQ(key.ReadValue("Path", path), RegStatus::Ok);
  EXPECT_EQ(path, RegValue::FromText("%HOME%\\Музыка", REG_EXPAND_SZ));
}

TEST_F(RegistryKeyTest, NamesCompareWithoutCaseAndKeepTheirFirstCase) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Classes\\Lumora.Video"), RegStatus::Ok);
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "SOFTWARE\\classes\\LUMORA.VIDEO\\Breaks"),
            RegStatus::Ok);
  EXPECT_EQ(key.Path(), "Software\\Classes\\Lumora.Video\\Breaks");
  EXPECT_EQ(key.FullName(), "HKEY_CURRENT_USER\\Software\\Classes\\Lumora.Video\\Breaks");
  EXPECT_EQ(Subkeys(HKEY_CURRENT_USER, "software\\CLASSES"),
            std::vector<std::string>{"Lumora.Video"});

  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Программы\\Настройки"), RegStatus::Ok);
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "ПРОГРАММЫ\\настройки"), RegStatus::Ok);
  EXPECT_EQ(key.Path(), "Программы\\Настройки");

  // A value keeps its first name; a write under another case replaces it.
  ASSERT_EQ(key.WriteDword("Volume", 1), RegStatus::Ok);
  ASSERT_EQ(key.WriteString("VOLUME", "два"), RegStatus::Ok);
  EXPECT_EQ(ValueNames(key), std::vector<std::string>{"Volume"});
  std::string text;
  EXPECT_EQ(key.ReadString("vOlUmE", text), RegStatus::Ok);
  EXPECT_EQ(text, "два");
  ASSERT_EQ(key.WriteString("Громкость", "x"), RegStatus::Ok);
  EXPECT_TRUE(key.HasValue("ГРОМКОСТЬ"));
}

TEST_F(RegistryKeyTest, PathsToleratesStrayBackslashes) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "software\\Kestrel\\"), RegStatus::Ok);
  EXPECT_EQ(key.Path(), "software\\Kestrel");
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "\\Software\\\\kestrel"), RegStatus::Ok);
}

TEST_F(RegistryKeyTest, TypedReadsRefuseOtherTypes) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "T"), RegStatus::Ok);
  ASSERT_EQ(key.WriteString("Text", "80"), RegStatus::Ok);
  ASSERT_EQ(key.WriteDword("Number", 0xFFFFFFFFu), RegStatus::Ok);
  DWORD d = 7;
  std::string s = "keep";
  EXPECT_EQ(key.ReadDword("Text", d), RegStatus::WrongType);
  EXPECT_EQ(d, 7u);
  EXPECT_EQ(key.ReadString("Number", s), RegStatus::WrongType);
  EXPECT_EQ(s, "keep");
  EXPECT_EQ(key.ReadDword("Number", d), RegStatus::Ok);
  EXPECT_EQ(d, 0xFFFFFFFFu);
  EXPECT_EQ(key.ReadDword("Missing", d), RegStatus::NotFound);
  EXPECT_EQ(key.WriteValue("Bad", RegValue{}), RegStatus::InvalidParameter);
  EXPECT_EQ(key.WriteString("Bad", "x", REG_DWORD), RegStatus::InvalidParameter);
}

TEST_F(RegistryKeyTest, ValuesAreListedInTheOrderFirstWritten) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Order"), RegStatus::Ok);
  for (const char* name : {"b", "A", "", "c"}) ASSERT_EQ(key.WriteDword(name, 1), RegStatus::Ok);
  ASSERT_EQ(key.WriteDword("a", 2), RegStatus::Ok);  // rewriting keeps the place
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"b", "A", "", "c"}));
  ASSERT_EQ(key.DeleteValue("B"), RegStatus::Ok);
  EXPECT_EQ(key.DeleteValue("b"), RegStatus::NotFound);
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"A", "", "c"}));
}

TEST_F(RegistryKeyTest, DeleteTreeTakesOnlyTheKeyAndWhatIsBelowIt) {
  RegKey key;
  for (const char* path : {"Top\\A\\B\\C", "Top\\AB", "Top\\A]", "Top\\A B"})
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, path), RegStatus::Ok);
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Top\\A\\B"), RegStatus::Ok);
  ASSERT_EQ(key.WriteDword("v", 1), RegStatus::Ok);
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Top\\AB"), RegStatus::Ok);
  ASSERT_EQ(key.WriteDword("v", 1), RegStatus::Ok);

  RegKey top;
  ASSERT_EQ(top.Open(HKEY_CURRENT_USER, "top"), RegStatus::Ok);
  EXPECT_EQ(top.DeleteSubkey("A"), RegStatus::HasSubkeys);
  EXPECT_EQ(top.DeleteTree("a"), RegStatus::Ok);
  EXPECT_EQ(Subkeys(HKEY_CURRENT_USER, "Top"), (std::vector<std::string>{"A B", "A]", "AB"}));
  EXPECT_TRUE(key.HasValue("v"));  // Top\AB is untouched
  EXPECT_EQ(top.DeleteTree("A"), RegStatus::NotFound);
  EXPECT_EQ(top.DeleteSubkey("A]"), RegStatus::Ok);

  // Without a subkey, DeleteTree empties the key but keeps it.
  ASSERT_EQ(top.WriteString("", "x"), RegStatus::Ok);
  EXPECT_EQ(top.DeleteTree(), RegStatus::Ok);
  EXPECT_TRUE(Subkeys(HKEY_CURRENT_USER, "Top").empty());
  EXPECT_TRUE(ValueNames(top).empty());
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Top"), RegStatus::Ok);
}

TEST_F(RegistryKeyTest, OpenWithoutCreatingFindsNothingAndCreatesNoFile) {
  RegKey key;
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Classes\\Lumora.Video"), RegStatus::NotFound);
  EXPECT_FALSE(key.IsOpen());
  // The roots always open; reading them creates nothing.
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, ""), RegStatus::Ok);
  EXPECT_FALSE(key.HasValue("x"));
  EXPECT_FALSE(key.HasSubkey("Software"));
  std::vector<std::string> names;
  EXPECT_EQ(key.ListSubkeys(names), RegStatus::Ok);
  EXPECT_FALSE(FileExists(sandbox_.UserDb()));
  // The first write creates it.
  EXPECT_EQ(key.WriteDword("x", 1), RegStatus::Ok);
  EXPECT_TRUE(FileExists(sandbox_.UserDb()));
}

TEST_F(RegistryKeyTest, HandlesFollowAccessAndDeletion) {
  RegKey writer, reader;
  ASSERT_EQ(writer.Create(HKEY_CURRENT_USER, "K\\Sub"), RegStatus::Ok);
  ASSERT_EQ(reader.Open(HKEY_CURRENT_USER, "K\\Sub", RegAccess::Read), RegStatus::Ok);
  EXPECT_EQ(reader.WriteDword("x", 1), RegStatus::AccessDenied);
  EXPECT_EQ(reader.DeleteTree(), RegStatus::AccessDenied);
  ASSERT_EQ(writer.WriteDword("x", 1), RegStatus::Ok);
  EXPECT_TRUE(reader.HasValue("x"));  // no cache: the other handle's write is seen

  RegKey parent;
  ASSERT_EQ(parent.Open(HKEY_CURRENT_USER, "K"), RegStatus::Ok);
  ASSERT_EQ(parent.DeleteTree("Sub"), RegStatus::Ok);
  EXPECT_FALSE(reader.HasValue("x"));
  EXPECT_EQ(writer.WriteDword("x", 2), RegStatus::KeyDeleted);

  RegKey closed;
  DWORD d = 0;
  EXPECT_EQ(closed.ReadDword("x", d), RegStatus::InvalidParameter);
  RegKey moved = std::move(parent);
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_FALSE(parent.IsOpen());  // NOLINT(bugprone-use-after-move): moved-from is closed
  moved.Close();
  EXPECT_EQ(moved.WriteDword("x", 1), RegStatus::InvalidParameter);
}

TEST_F(RegistryKeyTest, SubkeysOpenRelativeToTheirParent) {
  RegKey parent, child;
  ASSERT_EQ(parent.Create(HKEY_LOCAL_MACHINE, "Software\\Classes"), RegStatus::Ok);
  ASSERT_EQ(child.Create(parent, "Lumora.Video\\Shell\\Open\\Command"), RegStatus::Ok);
  EXPECT_EQ(child.FullName(),
            "HKEY_LOCAL_MACHINE\\Software\\Classes\\Lumora.Video\\Shell\\Open\\Command");
  EXPECT_TRUE(parent.HasSubkey("lumora.video\\shell"));
  EXPECT_FALSE(parent.HasSubkey(""));
  ASSERT_EQ(child.Open(parent, "LUMORA.VIDEO", RegAccess::Read), RegStatus::Ok);
  EXPECT_EQ(child.Path(), "Software\\Classes\\Lumora.Video");
  RegKey grandChild;
  EXPECT_EQ(grandChild.Create(child, "X"), RegStatus::AccessDenied);  // parent is read-only
  EXPECT_TRUE(Subkeys(HKEY_CURRENT_USER, "Software").empty());        // the roots are apart
}
