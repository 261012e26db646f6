// Resume points: their text form and their one-time use.
#include <gtest/gtest.h>

#include <string>

#include "app/settings/resume_text.h"
#include "app/settings/settings_store.h"
#include "platform/registry/reg_key.h"
#include "platform/registry/registry_sandbox.h"

namespace {

class ResumePointTest : public ::testing::Test {
 protected:
  ScopedRegistrySandbox sandbox_;
};

void StoreText(std::string_view name, std::string_view text, RegType type = REG_SZ) {
  RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, BreaksKey), RegStatus::Ok);
  ASSERT_EQ(key.WriteString(name, text, type), RegStatus::Ok);
}

bool HasPoint(std::string_view name) {
  RegKey key;
  return key.Open(HKEY_CURRENT_USER, BreaksKey) == RegStatus::Ok && key.HasValue(name);
}

}  // namespace

TEST(ResumeText, IsThirtyTwoUpperCaseDigits) {
  EXPECT_EQ(FormatResumeText(90000), "00000000000000000000000000015F90");
  EXPECT_EQ(FormatResumeText(0), "00000000000000000000000000000000");
  EXPECT_EQ(FormatResumeText(0x7FFFFFFF), "0000000000000000000000007FFFFFFF");
  EXPECT_EQ(FormatResumeText(-1), "0000000000000000FFFFFFFFFFFFFFFF");
  EXPECT_EQ(FormatResumeText(INT64_MIN), "00000000000000008000000000000000");
}

TEST(ResumeText, ParsesOnlyValidHexThatFitsIntoThirtyOneBits) {
  struct Case {
    std::string text;
    std::int64_t position;
  };
  const Case cases[] = {
      {"00000000000000000000000000015F90", 90000},
      {"0000000000000000000000007FFFFFFF", 0x7FFFFFFF},
      {"00000000000000000000000080000000", 0},  // needs the 32nd bit
      {"000000000000000000000000FFFFFFFF", 0},
      {"0000000000000000FFFFFFFFFFFFFFFF", 0},  // -1 as written
      {"00000000000000000000000100000000", 0},
      {std::string(40, '0') + "1", 1},  // any count of leading zeros
      {"15f90", 90000},                 // lower case is hex too
      {"1", 1},
      {"", 0},
      {"15F9G", 0},
      {" 15F90", 0},
      {"15F90 ", 0},
      {"-1", 0},
      {"$15F90", 0},
      {"0x15F90", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseResumeText(c.text), c.position) << '"' << c.text << '"';
}

TEST_F(ResumePointTest, IsUsedOnceAndThenDeleted) {
  const std::string file = "/home/user/Видео/Фильм 1.mkv";
  SaveResumePoint(file, 90000);
  RegKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, BreaksKey, RegAccess::Read), RegStatus::Ok);
  RegValue stored;
  ASSERT_EQ(key.ReadValue(file, stored), RegStatus::Ok);
  EXPECT_EQ(stored, RegValue::FromText("00000000000000000000000000015F90"));

  EXPECT_EQ(TakeResumePoint(file), 90000);
  EXPECT_FALSE(HasPoint(file));
  EXPECT_EQ(TakeResumePoint(file), 0);
  // Saved again, it is there for the next opening.
  SaveResumePoint(file, 1234);
  EXPECT_EQ(TakeResumePoint(file), 1234);
}

TEST_F(ResumePointTest, PointsThatReadAsZeroStay) {
  EXPECT_EQ(TakeResumePoint("/never.mkv"), 0);  // no key at all
  SaveResumePoint("/negative.mkv", -5);
  SaveResumePoint("/zero.mkv", 0);
  SaveResumePoint("/huge.mkv", 0x80000000LL);
  StoreText("/garbage.mkv", "not hex");
  for (const char* name : {"/negative.mkv", "/zero.mkv", "/huge.mkv", "/garbage.mkv"}) {
    EXPECT_EQ(TakeResumePoint(name), 0) << name;
    EXPECT_TRUE(HasPoint(name)) << name;
  }
}

TEST_F(ResumePointTest, TextTypesOnly) {
  StoreText("/expand.mkv", "3E8", REG_EXPAND_SZ);
  EXPECT_EQ(TakeResumePoint("/expand.mkv"), 1000);
  RegKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, BreaksKey), RegStatus::Ok);
  ASSERT_EQ(key.WriteDword("/dword.mkv", 1000), RegStatus::Ok);
  EXPECT_EQ(TakeResumePoint("/dword.mkv"), 0);
  EXPECT_TRUE(HasPoint("/dword.mkv"));
}

TEST_F(ResumePointTest, EachFileHasItsOwnPoint) {
  SaveResumePoint("C:\\Video\\a.avi", 1000);
  SaveResumePoint("/b.avi", 2000);
  EXPECT_EQ(TakeResumePoint("/b.avi"), 2000);
  EXPECT_EQ(TakeResumePoint("C:\\Video\\a.avi"), 1000);
}
