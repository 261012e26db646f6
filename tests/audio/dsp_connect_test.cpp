// Connection refusals, the running-object-table registration and the
// filter's move from one graph to the next.

#include <gtest/gtest.h>

#include <cctype>

#include "audio/running_object_table.h"
#include "directshow/wide_string.h"
#include "dsp_graph_fixture.h"

namespace {

using namespace dsptest;

class DSPConnect : public DspGraphTest {
 protected:
  HRESULT Connect(IBaseFilter* from, const char16_t* out, IBaseFilter* to, const char16_t* in) {
    return graph->Connect(Pin(from, out).get(), Pin(to, in).get());
  }

  void Add(IBaseFilter* f, const char16_t* name) {
    ASSERT_TRUE(SUCCEEDED(graph->AddFilter(f, name)));
  }
};

TEST_F(DSPConnect, OutputRefusesAnotherEffectFilterAndTheListedClass) {
  Build();
  // Another instance straight downstream.
  auto second = MakeCom<TDCDSPFilter>("second");
  Add(second.get(), u"DSP2");
  graph->Disconnect(Pin(dsp.get(), u"Out").get());
  graph->Disconnect(sink->Pin());
  EXPECT_TRUE(FAILED(Connect(dsp.get(), u"Out", second.get(), u"In")));
  EXPECT_FALSE(second->GetPin(0)->IsConnected());

  // A downstream filter of the refused class.
  auto refused = MakeCom<TPcmSink>(MakeGuid("{D3CD7858-971A-4838-ACEC-40CA5D529DC8}"));
  Add(refused.get(), u"refused");
  EXPECT_TRUE(FAILED(Connect(dsp.get(), u"Out", refused.get(), u"In")));
  // Any other renderer is fine.
  EXPECT_EQ(Connect(dsp.get(), u"Out", sink.get(), u"In"), S_OK);
}

TEST_F(DSPConnect, LimitInstanceRefusesASecondFilterFurtherDownstream) {
  Build();
  graph->Disconnect(Pin(dsp.get(), u"Out").get());
  graph->Disconnect(sink->Pin());
  auto middle = MakeCom<TPcmPassThrough>();
  auto second = MakeCom<TDCDSPFilter>("second");
  Add(middle.get(), u"middle");
  Add(second.get(), u"DSP2");
  ASSERT_EQ(Connect(dsp.get(), u"Out", middle.get(), u"In"), S_OK);

  second->set_EnableStreamLimitInstance(BOOL_TRUE);
  EXPECT_TRUE(FAILED(Connect(middle.get(), u"Out", second.get(), u"In")));

  // Without the option the input connects; with it, the output then refuses.
  second->set_EnableStreamLimitInstance(BOOL_FALSE);
  ASSERT_EQ(Connect(middle.get(), u"Out", second.get(), u"In"), S_OK);
  second->set_EnableStreamLimitInstance(BOOL_TRUE);
  EXPECT_TRUE(FAILED(Connect(second.get(), u"Out", sink.get(), u"In")));
  second->set_EnableStreamLimitInstance(BOOL_FALSE);
  EXPECT_EQ(Connect(second.get(), u"Out", sink.get(), u"In"), S_OK);
}

TEST_F(DSPConnect, RunningObjectTableRegistration) {
  auto& table = TDCRunningObjectTable::Process();
  const std::u16string name = GraphRegistrationName(graph.get());
  // "FilterGraph xxxxxxxx pid xxxxxxxx", lower-case hexadecimal.
  const std::string text = ds::ToUtf8(name);
  const std::string shape = "FilterGraph ######## pid ########";
  ASSERT_EQ(text.size(), shape.size());
  for (std::size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == '#') {
      EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[i])) &&
                  !std::isupper(static_cast<unsigned char>(text[i])))
          << text;
    } else {
      EXPECT_EQ(text[i], shape[i]) << text;
    }
  }
  const auto registered = [&] {
    const auto names = table.Names();
    return std::find(names.begin(), names.end(), name) != names.end();
  };

  // Switched on outside a graph: registered when the output connects.
  std::vector<TBCMediaType> types;
  types.push_back(PcmType(44100, 2, 16));
  source = MakeCom<TPcmPushSource>(std::move(types));
  dsp = MakeCom<TDCDSPFilter>("Audio DSP Manager");
  dspControl = dsp.As<IDCDSPFilterInterface>();
  sink = MakeCom<TPcmSink>();
  ASSERT_EQ(dspControl->set_EnableROT(BOOL_TRUE), S_OK);
  EXPECT_EQ(dsp->RunningObjectTableCookie(), 0u);
  Add(source.get(), u"source");
  Add(dsp.get(), u"DSP");
  Add(sink.get(), u"sink");
  ASSERT_EQ(Connect(source.get(), u"Out0", dsp.get(), u"In"), S_OK);
  EXPECT_FALSE(registered());
  ASSERT_EQ(Connect(dsp.get(), u"Out", sink.get(), u"In"), S_OK);
  EXPECT_TRUE(registered());
  const DWORD cookie = dsp->RunningObjectTableCookie();
  EXPECT_NE(cookie, 0u);
  ComPtr<IUnknown> object;
  ASSERT_EQ(table.GetObject(name, object.Put()), S_OK);
  EXPECT_EQ(object.As<IFilterGraph>().get(), graph.As<IFilterGraph>().get());
  object = nullptr;

  // Switching on again changes nothing; off revokes.
  dspControl->set_EnableROT(BOOL_TRUE);
  EXPECT_EQ(dsp->RunningObjectTableCookie(), cookie);
  dspControl->set_EnableROT(BOOL_FALSE);
  EXPECT_FALSE(registered());
  EXPECT_EQ(dsp->RunningObjectTableCookie(), 0u);
  BOOL on = BOOL_TRUE;
  dspControl->get_EnableROT(&on);
  EXPECT_EQ(on, BOOL_FALSE);

  // Switched on inside a graph: registered at once; leaving the graph revokes.
  dspControl->set_EnableROT(BOOL_TRUE);
  EXPECT_TRUE(registered());
  ASSERT_EQ(graph->RemoveFilter(dsp.get()), S_OK);
  EXPECT_FALSE(registered());
  EXPECT_EQ(dsp->RunningObjectTableCookie(), 0u);
}

TEST(DSPRunningObjectTable, RegisterAndRevoke) {
  TDCRunningObjectTable table;
  auto object = MakeCom<TPcmSink>();
  DWORD a = 0;
  DWORD b = 0;
  ASSERT_EQ(table.Register(object.get(), u"one", &a), S_OK);
  ASSERT_EQ(table.Register(object.get(), u"two", &b), S_OK);
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(object->RefCount(), 3u);  // the table holds one per registration
  EXPECT_EQ(table.Names(), (std::vector<std::u16string>{u"one", u"two"}));
  EXPECT_EQ(table.Revoke(a), S_OK);
  EXPECT_EQ(table.Revoke(a), E_INVALIDARG);
  ComPtr<IUnknown> found;
  EXPECT_EQ(table.GetObject(u"one", found.Put()), E_INVALIDARG);
  EXPECT_EQ(table.GetObject(u"two", found.Put()), S_OK);
  found = nullptr;
  EXPECT_EQ(table.Revoke(b), S_OK);
  EXPECT_EQ(object->RefCount(), 1u);
  EXPECT_EQ(table.Register(nullptr, u"x", &a), E_POINTER);
}

TEST_F(DSPConnect, TheFilterMovesToTheNextGraphWithItsChain) {
  Build();
  PlayerChain();
  ASSERT_EQ(dspControl->set_AddFilter(-1, TDCFilterType::ftAmplify), S_OK);
  auto a = Interface<IDCAmplify>(3);
  a->set_Enabled(BOOL_TRUE);
  a->set_Volume(0, 5000);
  Pause();
  std::vector<std::int16_t> data(882, 1000);
  ASSERT_EQ(source->Pin(0)->Push(data, 0, 10 * kMs), S_OK);
  EXPECT_EQ(sink->Values<std::int16_t>()[0], 500);
  control->Stop();
  ASSERT_EQ(graph->RemoveFilter(dsp.get()), S_OK);

  // The next file: a new graph, mono 8-bit.
  graph = CreateFilterGraph();
  control = graph.As<IMediaControl>();
  std::vector<TBCMediaType> types;
  types.push_back(PcmType(22050, 1, 8));
  source = MakeCom<TPcmPushSource>(std::move(types));
  sink = MakeCom<TPcmSink>();
  Add(source.get(), u"source");
  ASSERT_EQ(graph->AddFilter(dsp.get(), u"DSP"), S_OK);
  Add(sink.get(), u"sink");
  ConnectMain();
  LONG count = 0;
  dspControl->get_FilterCount(&count);
  EXPECT_EQ(count, 4);
  Pause();
  std::vector<BYTE> bytes(2205, 228);  // 128 + 100
  ASSERT_EQ(source->Pin(0)->Push(bytes, 0, 100 * kMs), S_OK);
  EXPECT_EQ(sink->Values<BYTE>()[0], 178);  // 128 + 50
  PDSStream info = nullptr;
  dspControl->get_StreamInfo(&info);
  EXPECT_EQ(info->Frequency, 22050);
  EXPECT_EQ(info->Bits, 8);
}

}  // namespace
