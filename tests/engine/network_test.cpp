// Network addresses open and play like files.
#include "loopback_http.h"
#include "media_fixtures.h"
#include "player_fixture.h"

namespace etest {
namespace {

using NetworkTest = PlayerTest;

TEST_F(NetworkTest, AnHttpAddressOnLoopbackOpensAndPlays) {
  TLoopbackHttp server(Fixture("av_single"));
  Create({.speed = 4});
  const std::string url = server.Url("clip.mp4");
  ASSERT_TRUE(player->OpenFile(url)) << player->ErrorMessage;
  EXPECT_EQ(player->PlayedFile(), url);
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYEROPENED, 160, 120}, {WM_PLAYERSTATE, 2, 0}}));
  EXPECT_FALSE(player->NOVIDEO);
  EXPECT_FALSE(player->NOAUDIO);
  EXPECT_NEAR(player->Lengths, 2000, 60);
  player->Play();
  ASSERT_TRUE(WaitForState(0));
  EXPECT_GE(player->GetPosition(), 1900);
  EXPECT_GE(server.Requests(), 1);
}

TEST_F(NetworkTest, AnAddressNobodyAnswersIsRejected) {
  int port = 0;
  {
    TLoopbackHttp gone(Fixture("garbage"));
    port = std::stoi(gone.Url("").substr(std::string("http://127.0.0.1:").size()));
  }
  Create();
  EXPECT_FALSE(player->OpenFile("http://127.0.0.1:" + std::to_string(port) + "/x.mkv"));
  EXPECT_EQ(player->ErrorMessage, "Неизвестный формат файла");
}

}  // namespace
}  // namespace etest
