// Samples per second through source -> pass-through transform -> null
// renderer (free-running, no clock), against a reference that does the same
// per-sample buffer work without the graph; and the latency of a seek in the
// same synthetic graph, paused (until the new frame is cued) and running.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>

#include "directshow/filter_graph.h"
#include "directshow/mem_allocator.h"
#include "test_filters.h"

namespace {

using namespace dstest;

constexpr std::int64_t kSamples = 20000;

class TNullRenderer : public TBCBaseRenderer {
 public:
  TNullRenderer() : TBCBaseRenderer("Null renderer", CLSID_Collector) {}
  HRESULT CheckMediaType(const TBCMediaType* mt) override {
    return mt && mt->majortype == MEDIATYPE_Video ? S_OK : E_INVALIDARG;
  }
  HRESULT DoRenderSample(IMediaSample*) override {
    fCount.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
  }
  std::int64_t Count() const { return fCount.load(); }

 private:
  std::atomic<std::int64_t> fCount{0};
};

struct Chain {
  ComPtr<IFilterGraph2> graph = CreateFilterGraph();
  ComPtr<TNumberedSource> source;
  ComPtr<TPassThrough> transform = MakeCom<TPassThrough>();
  ComPtr<TNullRenderer> renderer = MakeCom<TNullRenderer>();
  ComPtr<IMediaControl> control = graph.As<IMediaControl>();
  ComPtr<IMediaSeeking> seeking = graph.As<IMediaSeeking>();
  ComPtr<IMediaEventEx> events = graph.As<IMediaEventEx>();

  explicit Chain(std::int64_t frames) : source(MakeCom<TNumberedSource>(frames)) {
    graph->AddFilter(source.get(), u"source");
    graph->AddFilter(transform.get(), u"transform");
    graph->AddFilter(renderer.get(), u"renderer");
    Link(source.get(), u"Out0", transform.get(), u"In");
    Link(transform.get(), u"Out", renderer.get(), u"In");
    graph.As<IMediaFilter>()->SetSyncSource(nullptr);
  }
  void Link(IBaseFilter* a, const char16_t* out, IBaseFilter* b, const char16_t* in) {
    ComPtr<IPin> po;
    ComPtr<IPin> pi;
    a->FindPin(out, po.Put());
    b->FindPin(in, pi.Put());
    graph->Connect(po.get(), pi.get());
  }
};

void BM_GraphSamplesPerSecond(benchmark::State& state) {
  Chain chain(kSamples);
  for (auto _ : state) {
    LONGLONG zero = 0;
    chain.seeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr,
                                AM_SEEKING_NoPositioning);
    chain.control->Run();
    LONG code = 0;
    chain.events->WaitForCompletion(INFINITE, &code);
    chain.control->Stop();
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_GraphSamplesPerSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reference: the same buffer work on one thread without a graph (take a
// buffer, fill it, copy it into a second one, give both back).
void BM_ReferenceBufferWork(benchmark::State& state) {
  auto pool = MakeCom<TBCMemAllocator>();
  ALLOCATOR_PROPERTIES req{4, 64, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  pool->SetProperties(&req, &actual);
  pool->Commit();
  for (auto _ : state) {
    for (std::int64_t i = 0; i < kSamples; ++i) {
      ComPtr<IMediaSample> in;
      ComPtr<IMediaSample> out;
      pool->GetBuffer(in.Put(), nullptr, nullptr, 0);
      pool->GetBuffer(out.Put(), nullptr, nullptr, 0);
      BYTE* a = nullptr;
      BYTE* b = nullptr;
      in->GetPointer(&a);
      out->GetPointer(&b);
      std::memcpy(a, &i, sizeof i);
      std::memcpy(b, a, sizeof i);
      benchmark::DoNotOptimize(b);
    }
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_ReferenceBufferWork)->Unit(benchmark::kMillisecond)->UseRealTime();

// A seek while paused, until the frame at the target is cued.
void BM_SeekWhilePaused(benchmark::State& state) {
  Chain chain(1000000);
  chain.control->Pause();
  OAFilterState fs = 0;
  chain.control->GetState(INFINITE, &fs);
  LONGLONG target = 0;
  for (auto _ : state) {
    target = (target + 1234567) % (500000 * kFrame);
    chain.seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr,
                                AM_SEEKING_NoPositioning);
    chain.control->GetState(INFINITE, &fs);
  }
  chain.control->Stop();
}
BENCHMARK(BM_SeekWhilePaused)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A seek while samples stream (the call itself: flush, restart).
void BM_SeekWhileRunning(benchmark::State& state) {
  Chain chain(1000000);
  chain.control->Run();
  LONGLONG target = 0;
  for (auto _ : state) {
    target = (target + 1234567) % (500000 * kFrame);
    chain.seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr,
                                AM_SEEKING_NoPositioning);
  }
  chain.control->Stop();
}
BENCHMARK(BM_SeekWhileRunning)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
