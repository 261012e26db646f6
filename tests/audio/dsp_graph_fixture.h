#pragma once
// A graph on a manual clock around the effect filter: PCM push source ->
// TDCDSPFilter -> PCM sink, with helpers for the player's chain.

#include <gtest/gtest.h>

#include "audio/dsp_filter.h"
#include "audio/dsp_interfaces.h"
#include "directshow/filter_graph.h"
#include "directshow/manual_clock.h"
#include "dsp_test_filters.h"

namespace dsptest {

inline constexpr REFERENCE_TIME kMs = MILLISECONDS;

class DspGraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FilterGraphOptions options;
    options.systemClock = ComPtr<IReferenceClock>(clock.get());
    graph = CreateFilterGraph(options);
    control = graph.As<IMediaControl>();
  }

  void TearDown() override {
    if (control) control->Stop();
  }

  static ComPtr<IPin> Pin(IBaseFilter* filter, const char16_t* id) {
    ComPtr<IPin> pin;
    filter->FindPin(id, pin.Put());
    return pin;
  }

  // Creates the three filters (one source pin per type) and adds them.
  void Create(std::vector<TBCMediaType> types, TDCDSPFilterOptions options = {}) {
    source = MakeCom<TPcmPushSource>(std::move(types));
    dsp = MakeCom<TDCDSPFilter>("Audio DSP Manager", std::move(options));
    dspControl = dsp.As<IDCDSPFilterInterface>();
    sink = MakeCom<TPcmSink>();
    ASSERT_EQ(graph->AddFilter(source.get(), u"source"), S_OK);
    ASSERT_EQ(graph->AddFilter(dsp.get(), u"DSP"), S_OK);
    ASSERT_EQ(graph->AddFilter(sink.get(), u"sink"), S_OK);
  }

  // source "Out0" -> DSP "In", DSP "Out" -> sink "In".
  void Build(TBCMediaType type = PcmType(44100, 2, 16), TDCDSPFilterOptions options = {}) {
    std::vector<TBCMediaType> types;
    types.push_back(std::move(type));
    Create(std::move(types), std::move(options));
    ConnectMain();
  }

  void ConnectMain() {
    ASSERT_EQ(graph->Connect(Pin(source.get(), u"Out0").get(), Pin(dsp.get(), u"In").get()), S_OK);
    ASSERT_EQ(graph->Connect(Pin(dsp.get(), u"Out").get(), Pin(sink.get(), u"In").get()), S_OK);
  }

  void Pause() { ASSERT_TRUE(SUCCEEDED(control->Pause())); }

  // The player's chain: equalizer (off), dynamic amplifier (on), compressor
  // (off).
  void PlayerChain() {
    ASSERT_EQ(dspControl->set_RemoveAllFilters(), S_OK);
    ASSERT_EQ(dspControl->set_AddFilter(0, TDCFilterType::ftEqualizer), S_OK);
    ASSERT_EQ(dspControl->set_AddFilter(1, TDCFilterType::ftDynamicAmplify), S_OK);
    ASSERT_EQ(dspControl->set_AddFilter(2, TDCFilterType::ftCompressor), S_OK);
    eq = Interface<IDCEqualizer>(0);
    amp = Interface<IDCDynamicAmplify>(1);
    comp = Interface<IDCCompressor>(2);
    ASSERT_TRUE(eq && amp && comp);
    eq->set_Enabled(BOOL_FALSE);
    amp->set_Enabled(BOOL_TRUE);
    comp->set_Enabled(BOOL_FALSE);
  }

  template <class I>
  ComPtr<I> Interface(LONG index) {
    ComPtr<IUnknown> unk;
    if (dspControl->get_FilterInterface(index, unk.Put()) != S_OK) return nullptr;
    return unk.As<I>();
  }

  ComPtr<TBCManualClock> clock = MakeCom<TBCManualClock>();
  ComPtr<IFilterGraph2> graph;
  ComPtr<IMediaControl> control;
  ComPtr<TPcmPushSource> source;
  ComPtr<TDCDSPFilter> dsp;
  ComPtr<IDCDSPFilterInterface> dspControl;
  ComPtr<TPcmSink> sink;
  ComPtr<IDCEqualizer> eq;
  ComPtr<IDCDynamicAmplify> amp;
  ComPtr<IDCCompressor> comp;
};

}  // namespace dsptest
