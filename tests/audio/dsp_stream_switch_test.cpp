// Stream switching: extra blocked input pins, IAMStreamSelect, switching the
// active input in a running graph.

#include <gtest/gtest.h>

#include "directshow/wide_string.h"
#include "dsp_graph_fixture.h"

namespace {

using namespace dsptest;

std::vector<std::int16_t> Constant(int frames, std::int16_t v) {
  return std::vector<std::int16_t>(static_cast<std::size_t>(frames) * 2, v);
}

std::u16string PinName(IPin* pin) {
  PIN_INFO info{};
  pin->QueryPinInfo(&info);
  if (info.pFilter) info.pFilter->Release();
  return info.achName;
}

// Two audio streams from two sources: "first" (44.1 kHz) into the filter's
// "In", "second" (48 kHz) into the extra pin that appears.
class DSPStreamSwitch : public DspGraphTest {
 protected:
  void BuildTwoStreams(bool connectSecond = true) {
    std::vector<TBCMediaType> types;
    types.push_back(PcmType(44100, 2, 16));
    Create(std::move(types));
    std::vector<TBCMediaType> types2;
    types2.push_back(PcmType(48000, 2, 16));
    second = MakeCom<TPcmPushSource>(std::move(types2));
    ASSERT_EQ(graph->AddFilter(second.get(), u"second"), S_OK);
    ASSERT_EQ(dspControl->set_EnableStreamSwitching(BOOL_TRUE), S_OK);
    ConnectMain();
    if (connectSecond) ConnectSecond();
  }

  void ConnectSecond() {
    ASSERT_EQ(dsp->GetPinCount(), 3);
    ASSERT_EQ(graph->Connect(Pin(second.get(), u"Out0").get(), dsp->GetPin(2)), S_OK);
  }

  ComPtr<IAMStreamSelect> Select() { return dsp.As<IAMStreamSelect>(); }

  DWORD Flags(LONG index) {
    DWORD flags = 99;
    Select()->Info(index, nullptr, &flags, nullptr, nullptr, nullptr, nullptr, nullptr);
    return flags;
  }

  ComPtr<TPcmPushSource> second;
};

TEST_F(DSPStreamSwitch, ExtraBlockedPinsKeepOneInputFree) {
  BuildTwoStreams();
  EXPECT_EQ(dsp->GetPinCount(), 4);
  EXPECT_EQ(dsp->InputPinCount(), 3);
  EXPECT_FALSE(dsp->InputPinAt(0)->Blocked());
  EXPECT_TRUE(dsp->InputPinAt(1)->Blocked());
  EXPECT_TRUE(dsp->InputPinAt(2)->Blocked());
  EXPECT_EQ(dsp->ActivePin(), dsp->InputPinAt(0));
  // GetPin: 0 first input, 1 output, n >= 2 input n - 1.
  EXPECT_EQ(dsp->GetPin(2), dsp->InputPinAt(1));
  EXPECT_EQ(dsp->GetPin(3), dsp->InputPinAt(2));
  EXPECT_EQ(dsp->GetPin(4), nullptr);

  // Connected pins are named after their stream, the free one plainly.
  EXPECT_EQ(PinName(dsp->GetPin(0)), u"Audio Track 1");
  EXPECT_EQ(PinName(dsp->GetPin(2)), u"Audio Track 2");
  EXPECT_EQ(PinName(dsp->GetPin(3)), u"Input");
  EXPECT_EQ(PinName(dsp->GetPin(1)), u"Output");
  EXPECT_EQ(dsp->InputPinAt(2)->ObjectName(), "Input Pin");
  LPWSTR id = nullptr;
  dsp->GetPin(3)->QueryId(&id);
  EXPECT_EQ(std::u16string(id), u"In");
  CoTaskMemFree(id);

  // The enumeration sees every pin.
  ComPtr<IEnumPins> e;
  ASSERT_EQ(dsp->EnumPins(e.Put()), S_OK);
  int n = 0;
  IPin* pin = nullptr;
  ULONG fetched = 0;
  while (e->Next(1, &pin, &fetched) == S_OK) {
    pin->Release();
    ++n;
  }
  EXPECT_EQ(n, 4);
}

TEST_F(DSPStreamSwitch, OnlyTheActivePinFeedsTheOutput) {
  BuildTwoStreams();
  Pause();
  EXPECT_EQ(source->Pin(0)->Push(Constant(441, 1), 0, 10 * kMs), S_OK);
  EXPECT_EQ(second->Pin(0)->Push(Constant(480, 2), 0, 10 * kMs), E_FAIL);
  // The blocked stream's end and flushes stay with it.
  EXPECT_EQ(second->Pin(0)->DeliverEndOfStream(), S_OK);
  second->Pin(0)->DeliverBeginFlush();
  second->Pin(0)->DeliverEndFlush();
  EXPECT_EQ(sink->EndOfStreams(), 0);
  EXPECT_EQ(sink->BeginFlushes(), 0);
  const auto out = sink->Values<std::int16_t>();
  EXPECT_EQ(out, Constant(441, 1));
  // The blocked stream's connection did not take over the format.
  PDSStream info = nullptr;
  dspControl->get_StreamInfo(&info);
  EXPECT_EQ(info->Frequency, 44100);
  EXPECT_FALSE(sink->Samples()[0].type.has_value());
}

TEST_F(DSPStreamSwitch, StreamSelectDescribesThePins) {
  BuildTwoStreams();
  auto select = Select();
  ASSERT_TRUE(select);
  DWORD count = 0;
  EXPECT_EQ(select->Count(&count), S_OK);
  EXPECT_EQ(count, 2u);

  AM_MEDIA_TYPE* mt = nullptr;
  DWORD flags = 0;
  LCID lcid = 7;
  DWORD group = 0;
  LPWSTR name = nullptr;
  IUnknown* object = reinterpret_cast<IUnknown*>(1);
  IUnknown* unk = reinterpret_cast<IUnknown*>(1);
  ASSERT_EQ(select->Info(1, &mt, &flags, &lcid, &group, &name, &object, &unk), S_OK);
  ASSERT_NE(mt, nullptr);
  EXPECT_TRUE(MediaTypeEquals(*mt, PcmType(48000, 2, 16)));
  DeleteMediaType(mt);
  EXPECT_EQ(flags, 0u);
  EXPECT_EQ(lcid, 0u);
  EXPECT_EQ(group, 1u);
  EXPECT_EQ(std::u16string(name), u"Audio Track 2");
  CoTaskMemFree(name);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(unk, nullptr);

  EXPECT_EQ(Flags(0), AMSTREAMSELECTINFO_ENABLED | AMSTREAMSELECTINFO_EXCLUSIVE);
  // The free pin: no type.
  ASSERT_EQ(select->Info(2, &mt, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(mt, nullptr);
  EXPECT_EQ(select->Info(3, &mt, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), S_FALSE);
  EXPECT_EQ(select->Info(-1, &mt, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), S_FALSE);
}

TEST_F(DSPStreamSwitch, EnableRefusals) {
  BuildTwoStreams();
  auto select = Select();
  EXPECT_EQ(select->Enable(1, 0), E_NOTIMPL);
  EXPECT_EQ(select->Enable(1, AMSTREAMSELECTENABLE_ENABLEALL), E_NOTIMPL);
  EXPECT_EQ(select->Enable(0, AMSTREAMSELECTENABLE_ENABLE), S_FALSE);  // already active
  EXPECT_EQ(select->Enable(2, AMSTREAMSELECTENABLE_ENABLE), S_FALSE);  // not connected
  EXPECT_EQ(select->Enable(7, AMSTREAMSELECTENABLE_ENABLE), S_FALSE);
  EXPECT_EQ(dsp->ActivePin(), dsp->InputPinAt(0));
}

TEST_F(DSPStreamSwitch, EnableSwitchesAndResumesWhereTheGraphWas) {
  BuildTwoStreams();
  auto graphSeeking = graph.As<IMediaSeeking>();
  LONGLONG at = 7 * UNITS;
  ASSERT_EQ(graphSeeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr,
                                       AM_SEEKING_NoPositioning),
            S_OK);
  Pause();
  ASSERT_EQ(source->Pin(0)->Push(Constant(441, 1), 0, 10 * kMs), S_OK);

  ASSERT_EQ(Select()->Enable(1, AMSTREAMSELECTENABLE_ENABLE), S_OK);
  OAFilterState state = State_Stopped;
  control->GetState(0, &state);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(dsp->ActivePin(), dsp->InputPinAt(1));
  EXPECT_EQ(Flags(0), 0u);
  EXPECT_EQ(Flags(1), AMSTREAMSELECTINFO_ENABLED | AMSTREAMSELECTINFO_EXCLUSIVE);
  // The new stream was sought to where the old one stood.
  const auto seeks = second->Pin(0)->Seeking().Seeks();
  ASSERT_FALSE(seeks.empty());
  EXPECT_EQ(seeks.back(), 7 * UNITS);

  sink->Clear();
  EXPECT_EQ(source->Pin(0)->Push(Constant(441, 1), 0, 10 * kMs), E_FAIL);
  ASSERT_EQ(second->Pin(0)->Push(Constant(480, 2), 0, 10 * kMs), S_OK);
  const auto got = sink->Samples();
  ASSERT_EQ(got.size(), 1u);
  // The first buffer of the new stream carries its format.
  ASSERT_TRUE(got[0].type.has_value());
  EXPECT_TRUE(*got[0].type == PcmType(48000, 2, 16));
  PDSStream info = nullptr;
  dspControl->get_StreamInfo(&info);
  EXPECT_EQ(info->Frequency, 48000);
  ASSERT_EQ(second->Pin(0)->Push(Constant(480, 3), 10 * kMs, 20 * kMs), S_OK);
  EXPECT_FALSE(sink->Samples()[1].type.has_value());

  // Back to the first, from a running graph.
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  ASSERT_EQ(Select()->Enable(0, AMSTREAMSELECTENABLE_ENABLE), S_OK);
  control->GetState(0, &state);
  EXPECT_EQ(state, State_Running);
  EXPECT_EQ(dsp->ActivePin(), dsp->InputPinAt(0));
}

TEST_F(DSPStreamSwitch, InterfaceOptionHidesSelectionUntilTwoInputs) {
  BuildTwoStreams(false);
  dspControl->set_EnableStreamSwitchingInterface(BOOL_TRUE);
  EXPECT_FALSE(Select());
  ConnectSecond();
  EXPECT_TRUE(Select());
}

TEST_F(DSPStreamSwitch, ForcedDisconnectReconnectsDownstreamWithTheNewFormat) {
  BuildTwoStreams();
  dspControl->set_ForceStreamSwitchingDisconnect(BOOL_TRUE);
  ASSERT_EQ(Select()->Enable(1, AMSTREAMSELECTENABLE_ENABLE), S_OK);
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(sink->Pin()->ConnectionMediaType(&mt), S_OK);
  EXPECT_TRUE(MediaTypeEquals(mt, PcmType(48000, 2, 16)));
  FreeMediaType(mt);
  EXPECT_TRUE(dsp->InputPinAt(0)->IsConnected());
  EXPECT_TRUE(dsp->InputPinAt(1)->IsConnected());
  Pause();
  ASSERT_EQ(second->Pin(0)->Push(Constant(480, 2), 0, 10 * kMs), S_OK);
  EXPECT_EQ(sink->Values<std::int16_t>(), Constant(480, 2));
}

TEST_F(DSPStreamSwitch, ForcedStopStopsTheFilterFeedingABlockedPin) {
  BuildTwoStreams();
  dspControl->set_ForceStreamSwitchingStopFilter(BOOL_TRUE);
  Pause();
  EXPECT_EQ(second->Stops(), 0);
  EXPECT_EQ(second->Pin(0)->Push(Constant(480, 2), 0, 10 * kMs), E_FAIL);
  second->WaitForStops(1);
  FILTER_STATE state = State_Running;
  second->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  // The active stream goes on.
  EXPECT_EQ(source->Pin(0)->Push(Constant(441, 1), 0, 10 * kMs), S_OK);
  EXPECT_EQ(sink->Samples().size(), 1u);
}

TEST_F(DSPStreamSwitch, LosingEveryInputStartsOverOnTheFirstPin) {
  BuildTwoStreams();
  ASSERT_EQ(Select()->Enable(1, AMSTREAMSELECTENABLE_ENABLE), S_OK);
  for (int i = 0; i < 2; ++i) {
    ComPtr<IPin> peer;
    dsp->InputPinAt(i)->ConnectedTo(peer.Put());
    graph->Disconnect(peer.get());
    graph->Disconnect(dsp->InputPinAt(i));
  }
  EXPECT_EQ(dsp->ActivePin(), dsp->InputPinAt(0));
  EXPECT_FALSE(dsp->InputPinAt(0)->Blocked());
  EXPECT_TRUE(dsp->InputPinAt(1)->Blocked());
  // The pins are reused: connecting both again adds no third free one.
  ASSERT_EQ(graph->Connect(Pin(source.get(), u"Out0").get(), dsp->GetPin(0)), S_OK);
  ASSERT_EQ(graph->Connect(Pin(second.get(), u"Out0").get(), dsp->GetPin(2)), S_OK);
  EXPECT_EQ(dsp->InputPinCount(), 3);
}

TEST_F(DSPStreamSwitch, SwitchingOffKeepsOneInput) {
  std::vector<TBCMediaType> types;
  types.push_back(PcmType(44100, 2, 16));
  Create(std::move(types));
  ConnectMain();
  EXPECT_EQ(dsp->GetPinCount(), 2);
  ComPtr<IAMStreamSelect> select;
  EXPECT_EQ(dsp->QueryInterface(IAMStreamSelect::iid, select.PutVoid()), E_NOINTERFACE);
}

}  // namespace
