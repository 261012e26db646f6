// Play, pause, stop, positions and the end of the stream.
#include <fenv.h>

#include "media_fixtures.h"
#include "player_fixture.h"

namespace etest {
namespace {

class TransportTest : public PlayerTest {
 protected:
  void Open(const std::string& fixture, TPlayerSetup setup = {}) {
    Create(setup);
    ASSERT_TRUE(player->OpenFile(Fixture(fixture)));
    Take();
  }
  OAFilterState GraphState() {
    OAFilterState state = -1;
    ComPtr<IFilterGraph2>(player->Graph()).As<IMediaControl>()->GetState(0, &state);
    return state;
  }
};

TEST_F(TransportTest, PlayPauseAndPlayAgain) {
  Open("av_single");
  player->Play();
  EXPECT_EQ(player->State(), (TPlayerState{psOpened, psPlayed}));
  EXPECT_EQ(GraphState(), State_Running);
  ASSERT_TRUE(WaitFor([&] { return player->GetPosition() > 200; }));
  player->Pause();
  EXPECT_EQ(player->State(), (TPlayerState{psOpened, psPlayed, psPaused}));
  EXPECT_EQ(GraphState(), State_Paused);
  const int paused = player->GetPosition();
  player->PlayPause();
  EXPECT_EQ(player->State(), (TPlayerState{psOpened, psPlayed}));
  ASSERT_TRUE(WaitFor([&] { return player->GetPosition() > paused + 100; }));
  EXPECT_EQ(Take(), (std::vector<TMessage>{
                        {WM_PLAYERSTATE, 2, 0}, {WM_PLAYERSTATE, 3, 0}, {WM_PLAYERSTATE, 2, 0}}));
}

TEST_F(TransportTest, StopRewindsAndPostsPositionThenStopped) {
  Open("av_single");
  player->Play();
  ASSERT_TRUE(WaitFor([&] { return player->GetPosition() > 300; }));
  Take();
  player->Stop();
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYERSTATE, 4, 0}, {WM_PLAYERSTATE, 1, 0}}));
  EXPECT_EQ(player->State(), (TPlayerState{psOpened}));
  EXPECT_EQ(GraphState(), State_Stopped);
  EXPECT_LT(player->GetPosition(), 100);
  EXPECT_TRUE(ShowsLogo());
}

TEST_F(TransportTest, PlayPauseRightAfterStopPausesThenPlays) {
  Open("av_single");
  player->Play();
  player->Stop();
  Take();
  player->PlayPause();
  EXPECT_EQ(player->State(), (TPlayerState{psOpened, psPaused}));
  EXPECT_EQ(GraphState(), State_Paused);
  player->PlayPause();
  EXPECT_EQ(player->State(), (TPlayerState{psOpened, psPlayed}));
  EXPECT_EQ(GraphState(), State_Running);
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYERSTATE, 3, 0}, {WM_PLAYERSTATE, 2, 0}}));
}

TEST_F(TransportTest, PositionsOutsideTheDurationAreClamped) {
  Open("av_single");
  const int length = player->Lengths;
  ASSERT_GT(length, 1000);
  struct Case {
    int asked;
    int expected;
  };
  // Seeks land on key frames (every 0.48 s) at or before the target.
  for (const Case c : {Case{length + 500, length - 1}, Case{-3, 0}, Case{1000, 1000}}) {
    player->SetPosition(c.asked);
    EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYERSTATE, 4, 0}})) << c.asked;
    EXPECT_LE(player->GetPosition(), c.expected) << c.asked;
    EXPECT_GE(player->GetPosition(), c.expected - 500) << c.asked;
  }
}

TEST_F(TransportTest, SeekingWhilePlayingGoesOnFromTheNewPosition) {
  Open("av_single");
  player->Play();
  ASSERT_TRUE(WaitFor([&] { return player->GetPosition() > 100; }));
  player->SetPosition(1500);
  EXPECT_GE(player->GetPosition(), 1400);
  ASSERT_TRUE(WaitForState(0));
  EXPECT_GE(player->GetPosition(), 1900);
}

TEST_F(TransportTest, EndOfStreamLeavesTheGraphRunning) {
  Open("av_single", {.speed = 4});
  player->Play();
  ASSERT_TRUE(WaitForState(0));
  EXPECT_EQ(player->State(), (TPlayerState{psOpened}));
  EXPECT_EQ(GraphState(), State_Running);
  EXPECT_EQ(messages.back(), (TMessage{WM_PLAYERSTATE, 0, 0}));
  // Stop afterwards works as usual.
  player->Stop();
  EXPECT_EQ(player->State(), (TPlayerState{psOpened}));
  EXPECT_EQ(GraphState(), State_Stopped);
}

TEST_F(TransportTest, CloseFileStopsAndForgetsTheState) {
  Open("av_single");
  player->Play();
  player->CloseFile();
  EXPECT_TRUE(player->State().Empty());
  Take();
  player->Play();  // no graph control any more
  EXPECT_TRUE(Take().empty());
  EXPECT_TRUE(player->State().Empty());
}

TEST_F(TransportTest, PositionsConvertToTimesOfDay) {
  Open("av_single");
  EXPECT_DOUBLE_EQ(player->PosToTime(90061001), 90061001 / 86400000.0);
  player->SetPosition(1000);
  EXPECT_NEAR(player->GetPosTime() * 86400000.0, player->GetPosition(), 1e-3);
}

TEST_F(TransportTest, DisplayModeAndPictureSettingsReachTheRenderer) {
  Open("av_single");
  player->SetFill(dm16x9forced);
  EXPECT_EQ(player->Fill(), dm16x9forced);
  EXPECT_EQ(player->VideoRenderer()->Presenter().DisplayMode(), dm16x9forced);
  std::vector<int> seen;
  player->OnContrastChange = [&](int v) { seen.push_back(v); };
  player->SetContrast(40);
  player->SetBrightness(-20);
  EXPECT_EQ(player->Contrast(), 40);
  EXPECT_EQ(player->Brightness(), -20);
  EXPECT_EQ(seen, (std::vector<int>{40}));
  EXPECT_GT(player->GetAspectRatio(), 0.0);
}

TEST_F(TransportTest, TheDecodersLeaveFloatingPointExceptionsMasked) {
  feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  Open("av_single");
  EXPECT_EQ(fegetexcept(), 0);
  feenableexcept(FE_DIVBYZERO);
  player->Play();
  EXPECT_EQ(fegetexcept(), 0);
  feenableexcept(FE_INVALID);
  player->Pause();
  EXPECT_EQ(fegetexcept(), 0);
}

TEST_F(TransportTest, ThePictureMovesToAnotherWindowWhilePlaying) {
  Open("av_single");
  player->Play();
  const HWND other = output->CreateWindow(640, 360);
  Take();
  player->SetRenderWindow(other, RECT{});
  EXPECT_EQ(player->VideoRenderer()->Presenter().TV(), other);
  EXPECT_EQ(player->State(), (TPlayerState{psOpened, psPlayed}));
  EXPECT_EQ(GraphState(), State_Running);
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYERSTATE, 3, 0}, {WM_PLAYERSTATE, 2, 0}}));
}

}  // namespace
}  // namespace etest
