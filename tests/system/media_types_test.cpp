#include "system/media_types.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(MediaTypes, TablesKeepTheirOrderAndSize) {
  ASSERT_EQ(VideoMediaTypes().size(), 35u);
  ASSERT_EQ(AudioMediaTypes().size(), 26u);
  EXPECT_EQ(VideoMediaTypes()[0].Ext, "3gp");
  EXPECT_EQ(VideoMediaTypes()[24].Ext, "mpeg-ts");
  EXPECT_EQ(VideoMediaTypes()[28].Desc, "MPEG2\\4 TS видеопоток");
  EXPECT_EQ(VideoMediaTypes()[34].Ext, "xmv");
  EXPECT_EQ(AudioMediaTypes()[25].Ext, "m3u");
  EXPECT_EQ(AudioMediaTypes()[25].Desc, "M3U Плейлист");
}

TEST(MediaTypes, ExtensionsAreUniqueAndLowerCase) {
  std::set<std::string> seen;
  for (auto table : {VideoMediaTypes(), AudioMediaTypes()})
    for (const MediaType& t : table) {
      EXPECT_TRUE(seen.insert(std::string(t.Ext)).second) << t.Ext;
      for (char c : t.Ext) EXPECT_FALSE(c >= 'A' && c <= 'Z') << t.Ext;
    }
}

TEST(MediaTypes, IsMediaFile) {
  struct Case {
    const char* name;
    bool media;
  };
  const Case cases[] = {
      {"C:\\Video\\Film.MKV", true},
      {"film.mkv", true},
      {"a.b.Mp3", true},
      {"/home/u/clip.mts", true},
      {"list.m3u", true},
      {"x.mpeg-ts", true},
      {"Фильм.avi", true},
      {"film.mkv.txt", false},
      {"film.mkv ", false},
      {"mkv", false},
      {"mp3", false},
      {"", false},
      {".", false},
      {"filmmkv", false},
      {"x.ts", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsMediaFile(c.name), c.media) << '"' << c.name << '"';
}
