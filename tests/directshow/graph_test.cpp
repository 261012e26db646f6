// The graph manager: membership, connections, state changes, events,
// StopWhenReady, the default clock, and filters kept across graphs.

#include <algorithm>
#include <future>

#include "directshow/wide_string.h"
#include "graph_fixture.h"
#include "platform/messages/player_messages.h"

namespace dstest {
namespace {

using Numbers = std::vector<std::int64_t>;

// A renderer that takes nothing.
class TRefusingRenderer : public TBCBaseRenderer {
 public:
  TRefusingRenderer() : TBCBaseRenderer("Refusing renderer", CLSID_Collector) {}
  HRESULT CheckMediaType(const TBCMediaType*) override { return E_INVALIDARG; }
  HRESULT DoRenderSample(IMediaSample*) override { return S_OK; }
};

// A renderer with a clock of its own, as an audio renderer has.
class TClockRenderer : public ComExtend<TCollectingRenderer, IReferenceClock> {
 public:
  HRESULT GetTime(REFERENCE_TIME* t) override { return fClock->GetTime(t); }
  HRESULT AdviseTime(REFERENCE_TIME b, REFERENCE_TIME s, HEVENT e, DWORD_PTR* c) override {
    return fClock->AdviseTime(b, s, e, c);
  }
  HRESULT AdvisePeriodic(REFERENCE_TIME b, REFERENCE_TIME p, HSEMAPHORE s, DWORD_PTR* c) override {
    return fClock->AdvisePeriodic(b, p, s, c);
  }
  HRESULT Unadvise(DWORD_PTR c) override { return fClock->Unadvise(c); }

 private:
  ComPtr<TBCManualClock> fClock = MakeCom<TBCManualClock>();
};

std::u16string FilterName(IBaseFilter* filter, IFilterGraph** graphOut = nullptr) {
  FILTER_INFO info{};
  filter->QueryFilterInfo(&info);
  if (graphOut)
    *graphOut = info.pGraph;
  else if (info.pGraph)
    info.pGraph->Release();
  return info.achName;
}

class GraphManagerTest : public GraphTest {};

TEST_F(GraphManagerTest, ConnectUsesTheOutputTypeAndRefusalsLeavePinsFree) {
  BuildChain(5);
  TBCMediaType mt;
  ASSERT_EQ(Pin(renderer.get(), u"In")->ConnectionMediaType(&mt), S_OK);
  EXPECT_EQ(mt, TestVideoType());
  EXPECT_EQ(graph->Connect(Pin(source.get(), u"Out0").get(), Pin(transform.get(), u"In").get()),
            VFW_E_ALREADY_CONNECTED);

  auto refusing = MakeCom<TRefusingRenderer>();
  auto other = MakeCom<TNumberedSource>(5);
  Add(refusing.get(), u"refusing");
  Add(other.get(), u"other");
  auto out = Pin(other.get(), u"Out0");
  auto in = Pin(refusing.get(), u"In");
  EXPECT_TRUE(FAILED(graph->Connect(out.get(), in.get())));
  ComPtr<IPin> peer;
  EXPECT_EQ(in->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(out->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(graph->Connect(in.get(), out.get()), VFW_E_INVALID_DIRECTION);
}

TEST_F(GraphManagerTest, PinsAreFoundByTheirIdentifiers) {
  BuildChain(5);
  EXPECT_TRUE(Pin(transform.get(), u"In"));
  EXPECT_TRUE(Pin(transform.get(), u"Out"));
  EXPECT_FALSE(Pin(transform.get(), u"in"));
  EXPECT_FALSE(Pin(transform.get(), u"XForm In"));
  LPWSTR id = nullptr;
  ASSERT_EQ(Pin(transform.get(), u"Out")->QueryId(&id), S_OK);
  EXPECT_EQ(ds::WideView(id), u"Out");
  CoTaskMemFree(id);

  auto withSub = MakeCom<TCollectingRenderer>(true);
  EXPECT_TRUE(Pin(withSub.get(), u"In"));
  EXPECT_TRUE(Pin(withSub.get(), u"SubIn"));
  EXPECT_FALSE(Pin(withSub.get(), u"subin"));
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(withSub->EnumPins(pins.Put()), S_OK);
  IPin* got[3] = {};
  ULONG n = 0;
  EXPECT_EQ(pins->Next(3, got, &n), S_FALSE);
  EXPECT_EQ(n, 2u);
  for (ULONG i = 0; i < n; ++i) got[i]->Release();
}

TEST_F(GraphManagerTest, NamesAreMadeUniqueAndFound) {
  auto a = MakeCom<TPassThrough>();
  auto b = MakeCom<TPassThrough>();
  EXPECT_EQ(graph->AddFilter(a.get(), u"DSP"), S_OK);
  EXPECT_EQ(graph->AddFilter(b.get(), u"DSP"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(FilterName(b.get()), u"DSP 0001");
  ComPtr<IBaseFilter> found;
  ASSERT_EQ(graph->FindFilterByName(u"DSP", found.Put()), S_OK);
  EXPECT_EQ(found.get(), static_cast<IBaseFilter*>(a.get()));
  EXPECT_EQ(graph->AddFilter(a.get(), u"again"), E_INVALIDARG);
  auto second = CreateFilterGraph();
  EXPECT_EQ(second->AddFilter(a.get(), u"DSP"), VFW_E_WRONG_STATE);  // still in the first
}

TEST_F(GraphManagerTest, ConnectionsAndRemovalNeedAStoppedGraph) {
  BuildChain(100);
  ASSERT_EQ(control->Run(), S_OK);
  auto other = MakeCom<TCollectingRenderer>();
  Add(other.get(), u"other");
  EXPECT_EQ(graph->Connect(Pin(transform.get(), u"Out").get(), Pin(other.get(), u"In").get()),
            VFW_E_NOT_STOPPED);
  EXPECT_EQ(graph->RemoveFilter(renderer.get()), VFW_E_NOT_STOPPED);
  ASSERT_EQ(control->Stop(), S_OK);
  EXPECT_EQ(graph->RemoveFilter(renderer.get()), S_OK);
  EXPECT_FALSE(transform->OutputPin()->IsConnected());
}

TEST_F(GraphManagerTest, CompleteComesOnceWhenEveryRendererHasFinished) {
  // A short stream to one renderer; a long one to another renderer's main
  // input and its rendered second input.
  auto shortSource = MakeCom<TNumberedSource>(2);
  auto longSource = MakeCom<TNumberedSource>(5, 2);
  auto first = MakeCom<TCollectingRenderer>();
  auto second = MakeCom<TCollectingRenderer>(true);
  Add(shortSource.get(), u"short");
  Add(longSource.get(), u"long");
  Add(first.get(), u"first");
  Add(second.get(), u"second");
  Link(shortSource.get(), u"Out0", first.get(), u"In");
  Link(longSource.get(), u"Out0", second.get(), u"In");
  Link(longSource.get(), u"Out1", second.get(), u"SubIn");
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(clock->WaitForPendingAdvise(2));  // frame 1 of both
  clock->AdvanceToNextAdvise();
  ASSERT_TRUE(first->WaitForLog(2));  // the short stream has ended
  ASSERT_TRUE(clock->WaitForPendingAdvise());
  LONG code = 0;
  EXPECT_EQ(events->WaitForCompletion(0, &code), E_ABORT);
  for (int frame = 2; frame < 5; ++frame) Step();
  ASSERT_TRUE(second->WaitForLog(5));
  ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  const auto codes = DrainEvents();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_COMPLETE), 1);
  EXPECT_EQ(first->Drawn(), Numbers({0, 1}));
}

TEST_F(GraphManagerTest, OneCompleteReachesTheNotifyWindow) {
  source = MakeCom<TNumberedSource>(20, 2);
  auto first = MakeCom<TCollectingRenderer>();
  auto second = MakeCom<TCollectingRenderer>();
  Add(source.get(), u"source");
  Add(first.get(), u"first");
  Add(second.get(), u"second");
  Link(source.get(), u"Out0", first.get(), u"In");
  Link(source.get(), u"Out1", second.get(), u"In");
  int messages = 0;
  int completes = 0;
  const HWND hwnd = CreateMessageWindow([&](HWND, UINT msg, WPARAM, LPARAM lParam) -> LRESULT {
    if (msg != WM_GRAPHNOTIFY || lParam != 42) return 0;
    ++messages;
    for (LONG code : DrainEvents()) completes += code == EC_COMPLETE;
    return 0;
  });
  ASSERT_EQ(events->SetNotifyWindow(hwnd, WM_GRAPHNOTIFY, 42), S_OK);
  ASSERT_EQ(graph.As<IMediaFilter>()->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  while (completes == 0 && WaitForMessages(std::chrono::seconds(20))) PumpMessages();
  ASSERT_EQ(control->Stop(), S_OK);
  PumpMessages();
  EXPECT_EQ(completes, 1);
  EXPECT_GE(messages, 1);
  EXPECT_EQ(first->Drawn().size(), 20u);
  EXPECT_EQ(second->Drawn().size(), 20u);
  events->SetNotifyWindow(0, 0, 0);
  DestroyMessageWindow(hwnd);
}

TEST_F(GraphManagerTest, StopWhenReadyCuesTheFirstFrameAndStops) {
  BuildChain(100);
  ASSERT_EQ(control->StopWhenReady(), S_OK);
  OAFilterState state = -1;
  control->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  const auto log = renderer->Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].number, 0);
  EXPECT_TRUE(log[0].firstWhilePaused);
  EXPECT_FALSE(source->Stream(0)->ThreadExists());
}

TEST_F(GraphManagerTest, StopWhenReadyGivesUpOnAStreamThatNeverDelivers) {
  MakeGraph(2 * UNITS);
  source = MakeCom<TNumberedSource>(100, 1, 1);
  auto video = MakeCom<TCollectingRenderer>();
  auto silent = MakeCom<TCollectingRenderer>();
  Add(source.get(), u"source");
  Add(video.get(), u"video");
  Add(silent.get(), u"silent");
  Link(source.get(), u"Out0", video.get(), u"In");
  Link(source.get(), u"Out1", silent.get(), u"In");
  auto cue = std::async(std::launch::async, [&] { return control->StopWhenReady(); });
  ASSERT_TRUE(clock->WaitForPendingAdvise());  // the cue time-out
  EXPECT_EQ(clock->NextAdviseTime(), clock->Now() + 2 * UNITS);
  clock->Advance(2 * UNITS);
  EXPECT_EQ(cue.get(), S_FALSE);
  OAFilterState state = -1;
  control->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(video->Log().size(), 1u);
  EXPECT_TRUE(silent->Log().empty());
}

TEST_F(GraphManagerTest, DefaultClockIsTheFedRenderersElseTheSystemClock) {
  auto audio = MakeCom<TClockRenderer>();
  Add(audio.get(), u"audio");
  ASSERT_EQ(graph->SetDefaultSyncSource(), S_OK);
  ComPtr<IReferenceClock> chosen;
  auto filter = graph.As<IMediaFilter>();
  ASSERT_EQ(filter->GetSyncSource(chosen.Put()), S_OK);
  EXPECT_EQ(chosen.get(), static_cast<IReferenceClock*>(clock.get()));  // unconnected

  source = MakeCom<TNumberedSource>(5);
  Add(source.get(), u"source");
  Link(source.get(), u"Out0", audio.get(), u"In");
  ASSERT_EQ(graph->SetDefaultSyncSource(), S_OK);
  ASSERT_EQ(filter->GetSyncSource(chosen.Put()), S_OK);
  EXPECT_EQ(chosen.get(), static_cast<IReferenceClock*>(audio.get()));
  ComPtr<IReferenceClock> onFilter;
  source->GetSyncSource(onFilter.Put());
  EXPECT_EQ(onFilter.get(), chosen.get());
}

TEST_F(GraphManagerTest, FiltersMoveToTheNextGraph) {
  BuildChain(3);
  ASSERT_EQ(graph.As<IMediaFilter>()->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  LONG code = 0;
  ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  // Drop the first graph (and the source with it); keep the others.
  control = nullptr;
  seeking = nullptr;
  events = nullptr;
  graph = nullptr;
  source = nullptr;
  IFilterGraph* in = nullptr;
  FilterName(renderer.get(), &in);
  EXPECT_EQ(in, nullptr);
  EXPECT_FALSE(renderer->InputPin()->IsConnected());

  MakeGraph();
  source = MakeCom<TNumberedSource>(4);
  Add(source.get(), u"source 2");
  Add(transform.get(), u"transform");
  Add(renderer.get(), u"renderer");
  Link(source.get(), u"Out0", transform.get(), u"In");
  Link(transform.get(), u"Out", renderer.get(), u"In");
  renderer->ClearLog();
  ASSERT_EQ(graph.As<IMediaFilter>()->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_EQ(events->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(renderer->Drawn(), Numbers({0, 1, 2, 3}));
  EXPECT_EQ(FilterName(renderer.get()), u"renderer");
}

TEST_F(GraphManagerTest, DestroyingAStreamingGraphJoinsItsThreads) {
  BuildChain(1000000);
  ASSERT_EQ(graph.As<IMediaFilter>()->SetSyncSource(nullptr), S_OK);
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(renderer->WaitForLog(10));
  control = nullptr;
  seeking = nullptr;
  events = nullptr;
  graph = nullptr;
  EXPECT_FALSE(source->Stream(0)->ThreadExists());
  EXPECT_TRUE(source->IsStopped() && transform->IsStopped() && renderer->IsStopped());
}

TEST_F(GraphManagerTest, EventQueueTimesOutAndCanBeSilenced) {
  LONG code = 0;
  LONG_PTR p1 = 0;
  LONG_PTR p2 = 0;
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  auto sink = graph.As<IMediaEventSink>();
  sink->Notify(EC_USER + 5, 1, 2);
  OAEVENT handle = 0;
  ASSERT_EQ(events->GetEventHandle(&handle), S_OK);
  EXPECT_TRUE(reinterpret_cast<TBCEvent*>(handle)->WaitFor(std::chrono::milliseconds(0)));
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_USER + 5);
  EXPECT_EQ(p1, 1);
  EXPECT_EQ(p2, 2);
  ASSERT_EQ(events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY), S_OK);
  sink->Notify(EC_USER, 0, 0);
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

}  // namespace
}  // namespace dstest
