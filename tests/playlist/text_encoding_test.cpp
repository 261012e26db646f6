#include "playlist/text_encoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace lumora::text;

TEST(TextEncoding, Utf8Validity) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain", true},
      {"Музыка 日本 \xF0\x9F\x98\x80", true},
      {"\xC0\xAF", false},          // overlong "/"
      {"\xE0\x80\xAF", false},      // overlong
      {"\xED\xA0\x80", false},      // a surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xD0", false},              // cut short
      {"\x80", false},              // a lone continuation byte
      {"\xFF", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(TextEncoding, FromUtf8ReplacesWhatTheCharsetLacks) {
  EXPECT_EQ(FromUtf8("café", "CP1252"), "caf\xE9");
  EXPECT_EQ(FromUtf8("日本a", "CP1252"), "??a");
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b",
                     "CP1251"),
            "a?b");
  EXPECT_EQ(FromUtf8("a\xFF", "UTF-8"), "a\xFF");  // passed through
}

namespace {
// Sets the locale variables for one test and restores them.
class ScopedLocaleEnv {
 public:
  explicit ScopedLocaleEnv(const char* lang) {
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
      const char* v = std::getenv(var);
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
      ::unsetenv(var);
    }
    ::setenv("LANG", lang, 1);
  }
  ~ScopedLocaleEnv() {
    const char* vars[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    for (std::size_t i = 0; i < 3; ++i) {
      if (saved_[i]) {
        ::setenv(vars[i], saved_[i]->c_str(), 1);
      } else {
        ::unsetenv(vars[i]);
      }
    }
  }

 private:
  std::vector<std::optional<std::string>> saved_;
};
}  // namespace

TEST(TextEncoding, LegacyCharsetFollowsTheLocaleLanguage) {
  struct Case {
    const char* lang;
    const char* charset;
  };
  // Locales this machine may lack still name their language; C.UTF-8 exists.
  const Case cases[] = {
      {"ru_RU.UTF-8", "CP1251"}, {"uk_UA.UTF-8", "CP1251"}, {"pl_PL.UTF-8", "CP1250"},
      {"el_GR.UTF-8", "CP1253"}, {"de_DE.UTF-8", "CP1252"}, {"C.UTF-8", "CP1252"},
      {"C", "CP1252"},
  };
  for (const Case& c : cases) {
    ScopedLocaleEnv env(c.lang);
    EXPECT_EQ(LegacyPlaylistCharset(), c.charset) << c.lang;
    EXPECT_EQ(PlaylistWriteCharset(), "UTF-8") << c.lang;
  }
}
