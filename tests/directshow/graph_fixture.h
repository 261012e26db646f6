#pragma once
// A graph on a manual clock, with helpers to build chains of test filters.

#include <gtest/gtest.h>

#include <thread>

#include "directshow/filter_graph.h"
#include "directshow/manual_clock.h"
#include "test_filters.h"

namespace dstest {

class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeGraph(); }

  void MakeGraph(REFERENCE_TIME cueTimeout = 5 * UNITS) {
    FilterGraphOptions options;
    options.systemClock = ComPtr<IReferenceClock>(clock.get());
    options.cueTimeout = cueTimeout;
    graph = CreateFilterGraph(options);
    control = graph.As<IMediaControl>();
    seeking = graph.As<IMediaSeeking>();
    events = graph.As<IMediaEventEx>();
  }

  static ComPtr<IPin> Pin(IBaseFilter* filter, const char16_t* id) {
    ComPtr<IPin> pin;
    filter->FindPin(id, pin.Put());
    return pin;
  }

  void Add(IBaseFilter* filter, const char16_t* name) {
    ASSERT_TRUE(SUCCEEDED(graph->AddFilter(filter, name)));
  }

  void Link(IBaseFilter* from, const char16_t* out, IBaseFilter* to, const char16_t* in) {
    auto a = Pin(from, out);
    auto b = Pin(to, in);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(graph->Connect(a.get(), b.get()), S_OK);
  }

  // source "Out0" -> pass-through -> renderer.
  void BuildChain(std::int64_t frames, int keyInterval = 1) {
    source = MakeCom<TNumberedSource>(frames, 1, 0, keyInterval);
    transform = MakeCom<TPassThrough>();
    renderer = MakeCom<TCollectingRenderer>();
    Add(source.get(), u"source");
    Add(transform.get(), u"transform");
    Add(renderer.get(), u"renderer");
    Link(source.get(), u"Out0", transform.get(), u"In");
    Link(transform.get(), u"Out", renderer.get(), u"In");
  }

  // Advances to the next sample's time once the renderer waits for it.
  void Step() {
    ASSERT_TRUE(clock->WaitForPendingAdvise());
    clock->AdvanceToNextAdvise();
  }

  std::vector<LONG> DrainEvents() {
    std::vector<LONG> codes;
    LONG code = 0;
    LONG_PTR p1 = 0;
    LONG_PTR p2 = 0;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
      codes.push_back(code);
      events->FreeEventParams(code, p1, p2);
    }
    return codes;
  }

  void TearDown() override {
    if (control) control->Stop();
  }

  ComPtr<TBCManualClock> clock = MakeCom<TBCManualClock>();
  ComPtr<IFilterGraph2> graph;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaEventEx> events;
  ComPtr<TNumberedSource> source;
  ComPtr<TPassThrough> transform;
  ComPtr<TCollectingRenderer> renderer;
};

}  // namespace dstest
