// Seeking through the graph: positions, time formats, and that nothing from
// before a seek reaches a renderer after it.

#include <algorithm>

#include "graph_fixture.h"

namespace dstest {
namespace {

using Numbers = std::vector<std::int64_t>;

class SeekTest : public GraphTest {
 protected:
  HRESULT SeekTo(REFERENCE_TIME t, DWORD extra = 0) {
    LONGLONG pos = t;
    return seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning | extra, nullptr,
                                 AM_SEEKING_NoPositioning);
  }
  LONGLONG Position() {
    LONGLONG pos = -1;
    EXPECT_EQ(seeking->GetCurrentPosition(&pos), S_OK);
    return pos;
  }
};

TEST_F(SeekTest, SeekWhilePlayingRestartsAtTheKeyFrameWithNothingStale) {
  BuildChain(100, 10);
  ASSERT_EQ(control->Run(), S_OK);
  for (int i = 0; i < 3; ++i) Step();
  ASSERT_TRUE(clock->WaitForPendingAdvise());  // frame 4 waits for its time
  ASSERT_EQ(renderer->Drawn(), Numbers({0, 1, 2, 3}));
  ASSERT_EQ(SeekTo(55 * kFrame, AM_SEEKING_SeekToKeyFrame), S_OK);
  EXPECT_EQ(Position(), 50 * kFrame);
  for (int i = 0; i < 3; ++i) Step();
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  // Frame 4 was waiting when the seek came: it is never drawn.
  EXPECT_EQ(renderer->Drawn(), Numbers({0, 1, 2, 3, 50, 51, 52, 53}));
  EXPECT_EQ(Position(), 53 * kFrame);
}

TEST_F(SeekTest, SeekWhilePausedShowsTheNewFrame) {
  BuildChain(100);
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  ASSERT_TRUE(renderer->WaitForLog(1));
  ASSERT_EQ(SeekTo(30 * kFrame), S_OK);
  OAFilterState state = 0;
  ASSERT_EQ(control->GetState(INFINITE, &state), S_OK);
  ASSERT_TRUE(renderer->WaitForLog(2));
  auto log = renderer->Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].number, 30);
  EXPECT_TRUE(log[1].firstWhilePaused);
  EXPECT_EQ(Position(), 30 * kFrame);
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  EXPECT_EQ(renderer->Drawn(), Numbers({30}));
}

TEST_F(SeekTest, DataHeldAcrossTheFlushIsNotRendered) {
  BuildChain(100);
  transform->HoldBackAcrossFlush();  // frame 0 comes back after the flush
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  ASSERT_TRUE(renderer->WaitForLog(1));
  ASSERT_EQ(SeekTo(20 * kFrame), S_OK);
  ASSERT_TRUE(renderer->WaitForLog(2));
  HRESULT late = E_FAIL;
  ASSERT_TRUE(transform->WaitHeldDelivered(&late));
  EXPECT_EQ(late, VFW_S_SOME_DATA_IGNORED);
  ASSERT_EQ(control->Run(), S_OK);
  Step();
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  Numbers all;
  for (const auto& r : renderer->Log()) all.push_back(r.number);
  EXPECT_EQ(all, Numbers({0, 20, 20, 21}));
}

TEST_F(SeekTest, PositionRunsOnTheClockAndStopsWithThePause) {
  BuildChain(100);
  ASSERT_EQ(control->Run(), S_OK);
  for (int i = 0; i < 3; ++i) Step();
  ASSERT_TRUE(clock->WaitForPendingAdvise());  // frame 3 is on screen
  EXPECT_EQ(Position(), 3 * kFrame);
  clock->Advance(kFrame / 2);
  EXPECT_EQ(Position(), 3 * kFrame + kFrame / 2);
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  EXPECT_EQ(Position(), 3 * kFrame);  // the frame on screen
  clock->Advance(10 * kFrame);
  EXPECT_EQ(Position(), 3 * kFrame);
}

TEST_F(SeekTest, StopKeepsThePositionForTheNextRun) {
  BuildChain(100);
  ASSERT_EQ(control->Run(), S_OK);
  for (int i = 0; i < 5; ++i) Step();
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(Position(), 5 * kFrame);
  renderer->ClearLog();
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  EXPECT_EQ(renderer->Drawn(), Numbers({5}));
}

TEST_F(SeekTest, DurationAndFrameTimeFormat) {
  BuildChain(100);
  LONGLONG d = 0;
  ASSERT_EQ(seeking->GetDuration(&d), S_OK);
  EXPECT_EQ(d, 100 * kFrame);
  ASSERT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_FRAME), S_OK);
  EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_BYTE), S_FALSE);
  ASSERT_EQ(seeking->SetTimeFormat(&TIME_FORMAT_FRAME), S_OK);
  ASSERT_EQ(seeking->GetDuration(&d), S_OK);
  EXPECT_EQ(d, 100);
  ASSERT_EQ(SeekTo(25), S_OK);
  EXPECT_EQ(Position(), 25);
  double rate = 0;
  EXPECT_EQ(seeking->GetRate(&rate), S_OK);
  EXPECT_EQ(rate, 1.0);
  ASSERT_EQ(seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME), S_OK);
  EXPECT_EQ(Position(), 25 * kFrame);
}

TEST_F(SeekTest, TransformOutputPassesPositionUpstream) {
  BuildChain(100);
  auto position = Pin(transform.get(), u"Out").As<IMediaPosition>();
  ASSERT_TRUE(position);
  REFTIME seconds = 0;
  ASSERT_EQ(position->get_Duration(&seconds), S_OK);
  EXPECT_DOUBLE_EQ(seconds, 4.0);
  ASSERT_EQ(position->put_CurrentPosition(1.0), S_OK);
  EXPECT_EQ(source->Seeking()->StartPosition(), UNITS);
  LONG can = 0;
  EXPECT_EQ(position->CanSeekBackward(&can), S_OK);
  EXPECT_EQ(can, BOOL_TRUE);
  // Without an upstream there is nothing to seek.
  auto lone = MakeCom<TPassThrough>();
  auto seekingOfLone = Pin(lone.get(), u"Out").As<IMediaSeeking>();
  ASSERT_TRUE(seekingOfLone);
  LONGLONG d = 0;
  EXPECT_EQ(seekingOfLone->GetDuration(&d), E_NOTIMPL);
}

TEST_F(SeekTest, SeekingPastTheEndCompletesOnce) {
  BuildChain(10);
  ASSERT_EQ(control->Run(), S_OK);
  Step();
  ASSERT_EQ(SeekTo(50 * kFrame), S_OK);  // clamped to the duration
  LONG code = 0;
  ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  const auto codes = DrainEvents();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_COMPLETE), 1);
  EXPECT_EQ(Position(), 10 * kFrame);
}

}  // namespace
}  // namespace dstest
