// Switching streams.
#include "media_fixtures.h"
#include "player_fixture.h"

namespace etest {
namespace {

using StreamsTest = PlayerTest;

// Whether the splitter reports stream i as the enabled one of its group.
bool Enabled(TDSPlayer& player, int i) {
  ComPtr<IBaseFilter> source;
  player.Graph()->FindFilterByName(u"LAV source", source.Put());
  auto select = source.As<IAMStreamSelect>();
  DWORD flags = 0;
  select->Info(i, nullptr, &flags, nullptr, nullptr, nullptr, nullptr, nullptr);
  return flags & AMSTREAMSELECTINFO_ENABLED;
}

TEST_F(StreamsTest, SelectStreamSwitchesTheAudioWhilePlaying) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("av")));
  ASSERT_EQ(player->Streams[1].mtype, 1);
  ASSERT_TRUE(Enabled(*player, 2));
  player->Play();
  ASSERT_TRUE(WaitFor([&] { return player->GetPosition() > 200; }));
  Take();
  player->SelectStream(1);
  EXPECT_FALSE(StreamSwitching.load());
  EXPECT_TRUE(Enabled(*player, 1));
  EXPECT_FALSE(Enabled(*player, 2));
  // The table is the one read at opening; playback goes on to the end.
  EXPECT_TRUE(player->Streams[2].active);
  ASSERT_TRUE(WaitForState(0));
  EXPECT_GE(player->GetPosition(), 1900);
}

TEST_F(StreamsTest, SelectStreamWithoutAFileDoesNothing) {
  Create();
  player->SelectStream(1);
  EXPECT_FALSE(StreamSwitching.load());
  EXPECT_TRUE(Take().empty());
}

}  // namespace
}  // namespace etest
