#include "platform/text/utf.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf, WellFormedTextRoundTrips) {
  const std::string samples[] = {
      "",
      "plain ASCII",
      "Привет, мир",                       // Cyrillic
      "日本語 \xF0\x9F\x98\x80 emoji",     // BMP and a supplementary character
      std::string("nul\0inside", 10),      // embedded zero kept
      "\xEF\xBF\xBD is U+FFFD itself",     // a real replacement character
      "\xF4\x8F\xBF\xBF last code point",  // U+10FFFF
  };
  for (const std::string& s : samples) {
    SCOPED_TRACE(s);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
    EXPECT_EQ(WideToUtf8(Utf8ToWide(s)), s);
  }
  EXPECT_EQ(Utf8ToUtf16("Яa\xF0\x9F\x98\x80"), (std::u16string{u'Я', u'a', 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf8ToWide("Яa\xF0\x9F\x98\x80"), (std::wstring{L'Я', L'a', wchar_t(0x1F600)}));
}

TEST(Utf, IllFormedUtf8BecomesOneReplacementPerMaximalSubpart) {
  struct Case {
    const char* what;
    std::string in;
    std::u16string out;
  };
  const Case cases[] = {
      {"stray continuation bytes",
       "a\x80\xBF"
       "b",
       u"a\uFFFD\uFFFDb"},
      {"truncated at the end", "a\xE2\x82", u"a\uFFFD"},
      {"truncated before ASCII", "\xE2\x82z", u"\uFFFDz"},
      {"overlong two-byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"invalid lead bytes", "\xFE\xFF\xF8", u"\uFFFD\uFFFD\uFFFD"},
      {"mixed, as in the Unicode example", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Utf8ToUtf16(c.in), c.out);
    EXPECT_EQ(Utf8ToWide(c.in), std::wstring(c.out.begin(), c.out.end()));  // all in the BMP
  }
}

TEST(Utf, LoneSurrogatesInUtf16BecomeReplacements) {
  struct Case {
    const char* what;
    std::u16string in;
    std::string out;
  };
  const Case cases[] = {
      {"lone high at the end", {u'a', 0xD800}, "a\xEF\xBF\xBD"},
      {"lone low",
       {0xDC00, u'b'},
       "\xEF\xBF\xBD"
       "b"},
      {"reversed pair", {0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"high before a non-surrogate", {0xD83D, u'x'}, "\xEF\xBF\xBDx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Utf16ToUtf8(c.in), c.out);
  }
}

TEST(Utf, InvalidWideValuesBecomeReplacements) {
  if constexpr (sizeof(wchar_t) == 4) {
    const std::wstring in{L'a', wchar_t(0x110000), wchar_t(0xD800), wchar_t(-1), L'z'};
    EXPECT_EQ(WideToUtf8(in), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz");
  }
}

TEST(Utf, ZeroTerminatedInput) {
  EXPECT_EQ(Utf16ZToUtf8(nullptr), "");
  EXPECT_EQ(WideZToUtf8(nullptr), "");
  EXPECT_EQ(Utf16ZToUtf8(u"Плеер\0ignored"), "Плеер");
  EXPECT_EQ(WideZToUtf8(L"Плеер"), "Плеер");
}

}  // namespace
