// Scheduling against the clock, cueing while paused, quality control and end
// of stream of the renderer base classes, in a source -> transform ->
// renderer graph on a manual clock.

#include <algorithm>

#include "graph_fixture.h"

namespace dstest {
namespace {

using Numbers = std::vector<std::int64_t>;

class RendererTest : public GraphTest {};

TEST_F(RendererTest, EachSampleIsDrawnWhenTheClockReachesItsTime) {
  BuildChain(10);
  ASSERT_EQ(control->Run(), S_OK);
  // Frame 0 is due at once; frame 1 waits for 40 ms.
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  EXPECT_EQ(renderer->Drawn(), Numbers({0}));
  EXPECT_EQ(clock->NextAdviseTime(), clock->Now() + kFrame);
  clock->Advance(kFrame - 1);
  EXPECT_EQ(renderer->Drawn(), Numbers({0}));
  clock->Advance(1);
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  EXPECT_EQ(renderer->Drawn(), Numbers({0, 1}));
  for (const auto& r : renderer->Log()) {
    if (!r.firstWhilePaused) {
      EXPECT_EQ(r.clockTime, r.start);
    }
  }
}

TEST_F(RendererTest, FirstSampleIsShownWhilePausedAndHeldUntilRun) {
  BuildChain(10);
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  OAFilterState state = 0;
  ASSERT_EQ(control->GetState(INFINITE, &state), S_OK);
  EXPECT_EQ(state, State_Paused);
  ASSERT_TRUE(renderer->WaitForLog(1));
  auto log = renderer->Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].number, 0);
  EXPECT_TRUE(log[0].firstWhilePaused);
  EXPECT_TRUE(renderer->HaveCurrentSample());
  EXPECT_EQ(clock->PendingAdviseCount(), 0u);  // nothing scheduled while paused

  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  EXPECT_EQ(renderer->Drawn(), Numbers({0}));
}

TEST_F(RendererTest, PauseWithoutDataIsIntermediateUntilASampleArrives) {
  source = MakeCom<TNumberedSource>(10, 0, 1);  // one silent pin
  renderer = MakeCom<TCollectingRenderer>();
  Add(source.get(), u"source");
  Add(renderer.get(), u"renderer");
  Link(source.get(), u"Out0", renderer.get(), u"In");
  EXPECT_EQ(control->Pause(), S_FALSE);
  OAFilterState state = 0;
  EXPECT_EQ(control->GetState(0, &state), VFW_S_STATE_INTERMEDIATE);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(control->Stop(), S_OK);
}

TEST_F(RendererTest, LateSamplesAreDroppedAndCounted) {
  BuildChain(20);
  auto filter = graph.As<IMediaFilter>();
  ASSERT_TRUE(filter);
  // Stream time 0 lies ten frames in the past: frames 1 to 8 are late by
  // more than a frame; frame 0 is the first of the run and always drawn.
  clock->SetTime(100 * kFrame);
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  ASSERT_TRUE(renderer->WaitForLog(1));
  ASSERT_EQ(filter->Run(clock->Now() - 10 * kFrame), S_OK);
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  EXPECT_EQ(renderer->Drawn(), Numbers({0, 9, 10}));
  const auto stats = renderer->Statistics();
  EXPECT_EQ(stats.framesDropped, 8);
  EXPECT_EQ(stats.framesDrawn, 3);
  int dropped = 0;
  renderer->get_FramesDroppedInRenderer(&dropped);
  EXPECT_EQ(dropped, 8);
  // Lateness of the drawn frames: 10, 1 and 0 frames.
  EXPECT_NEAR(static_cast<double>(stats.averageLateness), 11.0 * kFrame / 3, 1);
}

TEST_F(RendererTest, TooManyDropsInARowStillDrawAFrame) {
  BuildChain(40);
  auto filter = graph.As<IMediaFilter>();
  clock->SetTime(100 * kFrame);
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  ASSERT_TRUE(renderer->WaitForLog(1));
  ASSERT_EQ(filter->Run(clock->Now() - 30 * kFrame), S_OK);
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  const Numbers drawn = renderer->Drawn();
  // 0, then ten dropped (1..10), 11 drawn, ten dropped (12..21), 22 drawn,
  // then 23..28 dropped; 29 is a frame late and 30 due now.
  EXPECT_EQ(drawn, Numbers({0, 11, 22, 29, 30}));
}

TEST_F(RendererTest, EndOfStreamCompletesOnceAfterTheLastSample) {
  BuildChain(3);
  ASSERT_EQ(control->Run(), S_OK);
  Step();
  Step();
  // Frame 2 is drawn; end of stream follows at once.
  LONG code = 0;
  ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(renderer->Drawn(), Numbers({0, 1, 2}));
  const auto codes = DrainEvents();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_COMPLETE), 1);
}

TEST_F(RendererTest, EndOfStreamWhilePausedCompletesOnRun) {
  source = MakeCom<TNumberedSource>(0);  // ends at once
  renderer = MakeCom<TCollectingRenderer>();
  Add(source.get(), u"source");
  Add(renderer.get(), u"renderer");
  Link(source.get(), u"Out0", renderer.get(), u"In");
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  OAFilterState state = 0;
  ASSERT_EQ(control->GetState(INFINITE, &state), S_OK);  // end of stream is ready
  EXPECT_TRUE(renderer->IsEndOfStream());
  EXPECT_TRUE(DrainEvents().empty());
  ASSERT_EQ(control->Run(), S_OK);
  EXPECT_EQ(DrainEvents(), std::vector<LONG>({EC_COMPLETE}));
}

TEST_F(RendererTest, StopReleasesAWaitingSampleAndJoinsTheStreamingThread) {
  BuildChain(100);
  ASSERT_EQ(control->Run(), S_OK);
  Step();
  ASSERT_TRUE(clock->WaitForPendingAdvise());  // frame 2 waits in the renderer
  EXPECT_TRUE(source->Stream(0)->ThreadExists());
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_FALSE(source->Stream(0)->ThreadExists());
  EXPECT_FALSE(renderer->HaveCurrentSample());
  EXPECT_EQ(clock->PendingAdviseCount(), 0u);
  EXPECT_EQ(renderer->Drawn(), Numbers({0, 1}));
}

TEST_F(RendererTest, WithoutAClockSamplesFlowAsFastAsTheyCome) {
  BuildChain(50);
  ASSERT_EQ(graph.As<IMediaFilter>()->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  LONG code = 0;
  ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  Numbers expected(50);
  for (int i = 0; i < 50; ++i) expected[static_cast<std::size_t>(i)] = i;
  EXPECT_EQ(renderer->Drawn(), expected);
}

TEST_F(RendererTest, TransformDropsSamplesAndReportsQualityChangeOnce) {
  BuildChain(10);
  transform->DropEvery(3);
  ASSERT_EQ(graph.As<IMediaFilter>()->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  LONG code = 0;
  ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(renderer->Drawn(), Numbers({1, 2, 4, 5, 7, 8}));
  const auto codes = DrainEvents();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_QUALITY_CHANGE), 1);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_COMPLETE), 1);
}

}  // namespace
}  // namespace dstest
