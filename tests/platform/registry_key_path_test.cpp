#include <gtest/gtest.h>

#include <string>

#include "platform/registry/key_path.h"

TEST(RegistryKeyPath, FoldCaseLowersLatinCyrillicAndGreek) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"Software\\Classes\\Lumora.Video", "software\\classes\\lumora.video"},
      {"ПРИВЕТ Мир", "привет мир"},
      {"ЁЖИК Ђ Ѓ", "ёжик ђ ѓ"},
      {"ÀÉÎÕÜ Þ ×", "àéîõü þ ×"},
      {"ŁÓDŹ Ğ Ÿ", "łódź ğ ÿ"},
      {"ΑΘΗΝΑ Ά", "αθηνα ά"},
      {"Ґ Ӂ Ӑ", "ґ ӂ ӑ"},
      {"already lower ß 日本", "already lower ß 日本"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FoldCase(c.in), c.out) << c.in;
}

TEST(RegistryKeyPath, FoldCaseKeepsBytesThatAreNotUtf8) {
  // A lone continuation byte, a truncated sequence, an overlong form and a
  // surrogate: each byte stays as it is, the ASCII around them is folded.
  const std::string bad =
      "A\x80"
      "B\xD0"
      "C\xC0\xAF"
      "D\xED\xA0\x80";
  const std::string expected =
      "a\x80"
      "b\xD0"
      "c\xC0\xAF"
      "d\xED\xA0\x80";
  EXPECT_EQ(FoldCase(bad), expected);
}

TEST(RegistryKeyPath, EmptyNamesAreSkipped) {
  EXPECT_EQ(NormalizeKeyPath("software\\Kestrel\\"), "software\\Kestrel");
  EXPECT_EQ(NormalizeKeyPath("\\\\a\\\\b\\"), "a\\b");
  EXPECT_EQ(NormalizeKeyPath("\\"), "");
  EXPECT_EQ(SplitKeyPath("a\\b c\\Д").size(), 3u);
  EXPECT_EQ(JoinKeyPath("", "x"), "x");
  EXPECT_EQ(JoinKeyPath("a\\b", "c"), "a\\b\\c");
}
