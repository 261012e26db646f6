#include "playlist/playlist_item.h"

#include <gtest/gtest.h>

TEST(PlayListItem, NameAndExtensionFromThePath) {
  struct Case {
    const char* path;
    const char* name;
    const char* ext;
  };
  const Case cases[] = {
      {"Track.Mp3", "Track", "Mp3"},         {"/home/u/Film.MKV", "Film", "MKV"},
      {"C:\\Music\\a.b.mp3", "a.b", "mp3"},  {"rel/dir.v2/clip.mts", "clip", "mts"},
      {"  spaced .ogg", "  spaced ", "ogg"},
  };
  for (const Case& c : cases) {
    const TPlayListItem item = MakePlayListItem(c.path);
    EXPECT_EQ(item.FilePath, c.path);
    EXPECT_EQ(item.name, c.name) << c.path;
    EXPECT_EQ(item.ext, c.ext) << c.path;
    EXPECT_FALSE(item.played);
    EXPECT_FALSE(item.mediainfo);
    EXPECT_EQ(item.duration, 0);
  }
}

TEST(PlaylistItems, ADurationGoesOnlyIntoTheItemItWasReadFor) {
  TPlaylistItems lv;
  lv.Append(MakePlayListItem("a.mp3"));
  lv.Append(MakePlayListItem("b.mp3"));
  const auto a = lv.NextPending(0, 2);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->path, "a.mp3");
  // Emptied and refilled while "a.mp3" was read: index 0 is another item now.
  lv.Clear();
  lv.Append(MakePlayListItem("c.mp3"));
  EXPECT_FALSE(lv.StoreDuration(*a, 0.5));
  EXPECT_FALSE(lv.At(0).mediainfo);
  const auto c = lv.NextPending(0, 1);
  ASSERT_TRUE(c);
  EXPECT_TRUE(lv.StoreDuration(*c, 0.25));
  EXPECT_EQ(lv.At(0).duration, 0.25);
  EXPECT_FALSE(lv.NextPending(0, 1));
}
