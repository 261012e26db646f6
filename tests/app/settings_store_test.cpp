// ReadSetting, WriteSetting and ReadLastPosition on a sandboxed registry.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/settings/settings_store.h"
#include "platform/registry/reg_key.h"
#include "platform/registry/registry_location.h"
#include "platform/registry/registry_sandbox.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  ScopedRegistrySandbox sandbox_;
};

RegValue Stored(std::string_view key, std::string_view name) {
  RegKey k;
  RegValue v;
  if (k.Open(HKEY_CURRENT_USER, key, RegAccess::Read) == RegStatus::Ok) k.ReadValue(name, v);
  return v;
}

}  // namespace

TEST_F(SettingsStoreTest, FirstStartLeavesEveryDefault) {
  struct Case {
    const char* name;
    bool audio;
    int fallback;
  };
  const Case cases[] = {
      {"Volume", true, 100},   {"EQ0", true, 100}, {"EQ9", true, 100},
      {"EQON", true, 0},       {"AMP", true, 0},   {"Fill", false, 0},
      {"StayOnTop", false, 0}, {"HQ", false, 0},   {"Language", false, 0},
  };
  for (const Case& c : cases) {
    int value = c.fallback;
    // The keys do not exist yet: false even for a non-zero default.
    EXPECT_FALSE(ReadSetting(c.name, value, c.audio)) << c.name;
    EXPECT_EQ(value, c.fallback) << c.name;
  }
  int x = 7, y = 7;
  EXPECT_FALSE(ReadLastPosition(x, y));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(SettingsStoreTest, ReadAnswersWhetherTheValueIsNonZero) {
  WriteSetting("EQON", 1, true);
  int value = 100;
  // The key exists now; a missing value keeps the default and counts it.
  EXPECT_TRUE(ReadSetting("Volume", value, true));
  EXPECT_EQ(value, 100);
  value = 0;
  EXPECT_FALSE(ReadSetting("AMP", value, true));
  WriteSetting("Volume", 0, true);
  value = 100;
  EXPECT_FALSE(ReadSetting("Volume", value, true));
  EXPECT_EQ(value, 0);
  value = 0;
  EXPECT_TRUE(ReadSetting("eqon", value, true));  // names compare without case
  EXPECT_EQ(value, 1);
}

TEST_F(SettingsStoreTest, ValuesAreStoredAsDwordsAndKeptAsWritten) {
  WriteSetting("HQ", 2, false);
  WriteSetting("LastX", -1280, false);
  WriteSetting("EQ3", 200, true);
  EXPECT_EQ(Stored(VideoKey, "HQ"), RegValue::FromDword(2));
  EXPECT_EQ(Stored(VideoKey, "LastX"), RegValue::FromDword(0xFFFFFB00u));
  EXPECT_EQ(Stored(AudioKey, "EQ3"), RegValue::FromDword(200));
  int hq = 0, x = 0, eq = 0;
  EXPECT_TRUE(ReadSetting("HQ", hq, false));
  EXPECT_EQ(hq, 2);  // means "off" to the main window, but stays 2
  EXPECT_TRUE(ReadSetting("LastX", x, false));
  EXPECT_EQ(x, -1280);
  // Video and audio settings live in different keys.
  EXPECT_FALSE(ReadSetting("EQ3", eq, false));
  EXPECT_EQ(eq, 0);
}

TEST_F(SettingsStoreTest, AValueOfAnotherTypeReadsAsMissing) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, AudioKey), RegStatus::Ok);
  ASSERT_EQ(key.WriteString("Volume", "80"), RegStatus::Ok);
  int value = 100;
  EXPECT_TRUE(ReadSetting("Volume", value, true));
  EXPECT_EQ(value, 100);
  // Writing replaces it with an integer.
  WriteSetting("Volume", 80, true);
  EXPECT_TRUE(ReadSetting("Volume", value, true));
  EXPECT_EQ(value, 80);
}

TEST_F(SettingsStoreTest, FailedWritesAreSilentAndKeepTheOldValue) {
  WriteSetting("Volume", 50, true);
  std::string blocker = sandbox_.Dir() + "/blocker";
  std::FILE* f = std::fopen(blocker.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::string good = std::getenv(kRegistryConfigDirVar);
  setenv(kRegistryConfigDirVar, (blocker + "/lumora").c_str(), 1);
  WriteSetting("Volume", 60, true);
  SaveResumePoint("/film.mkv", 1000);
  int value = 100;
  EXPECT_FALSE(ReadSetting("Volume", value, true));
  EXPECT_EQ(TakeResumePoint("/film.mkv"), 0);
  setenv(kRegistryConfigDirVar, good.c_str(), 1);
  EXPECT_TRUE(ReadSetting("Volume", value, true));
  EXPECT_EQ(value, 50);
}

TEST_F(SettingsStoreTest, LastPositionSummingToZeroCountsAsMissing) {
  struct Case {
    int x, y;
    bool answer;
  };
  const Case cases[] = {
      {0, 0, false}, {100, -100, false}, {100, 5, true}, {0, 1, true}, {-1920, 0, true}};
  for (const Case& c : cases) {
    WriteSetting("LastX", c.x, false);
    WriteSetting("LastY", c.y, false);
    int x = 1, y = 1;
    EXPECT_EQ(ReadLastPosition(x, y), c.answer) << c.x << "," << c.y;
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(y, c.y);
  }
  // Only one of the two stored: the other reads as 0.
  RegKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, VideoKey), RegStatus::Ok);
  ASSERT_EQ(key.DeleteValue("LastY"), RegStatus::Ok);
  WriteSetting("LastX", 300, false);
  int x = 0, y = 9;
  EXPECT_TRUE(ReadLastPosition(x, y));
  EXPECT_EQ(x, 300);
  EXPECT_EQ(y, 0);
}

TEST_F(SettingsStoreTest, DeletingTheClassKeyRemovesTheSettings) {
  WriteSetting("Fill", 3, false);
  SaveResumePoint("/a.mkv", 5000);
  RegKey classes;
  ASSERT_EQ(classes.Open(HKEY_CURRENT_USER, "Software\\Classes"), RegStatus::Ok);
  ASSERT_EQ(classes.DeleteTree("Lumora.Video"), RegStatus::Ok);
  int fill = 0;
  EXPECT_FALSE(ReadSetting("Fill", fill, false));
  EXPECT_EQ(TakeResumePoint("/a.mkv"), 0);
}
