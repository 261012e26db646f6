// The effect filter's identity, interfaces and the types it accepts.

#include <gtest/gtest.h>

#include <cstring>

#include "audio/dsp_filter.h"
#include "directshow/wide_string.h"
#include "dsp_graph_fixture.h"

namespace {

using namespace dsptest;

ComPtr<TDCDSPFilter> NewFilter(TDCDSPFilterOptions options = {}) {
  return MakeCom<TDCDSPFilter>("Audio DSP Manager", std::move(options));
}

TBCMediaType WithFormatType(TBCMediaType mt, const GUID& format) {
  mt.SetFormatType(&format);
  return mt;
}

TBCMediaType WithMajor(TBCMediaType mt, const GUID& major) {
  mt.SetType(&major);
  return mt;
}

TBCMediaType Truncated(TBCMediaType mt, ULONG length) {
  mt.ReallocFormatBuffer(length);
  return mt;
}

struct TypeCase {
  const char* name;
  TBCMediaType type;
  HRESULT expected;
  int frequency = 0;
  bool isFloat = false;
  bool spdif = false;
  bool dts = false;
};

TEST(DSPFilterTypes, CheckInputTypeAcceptsAndRecordsOrRefuses) {
  const TypeCase cases[] = {
      {"16-bit stereo PCM", PcmType(44100, 2, 16), S_OK, 44100},
      {"20-bit PCM", PcmType(44100, 2, 20), VFW_E_TYPE_NOT_ACCEPTED},
      {"extensible float", ExtensibleType(48000, 2, 32, KSDATAFORMAT_SUBTYPE_IEEE_FLOAT), S_OK,
       48000, true},
      {"extensible PCM", ExtensibleType(48000, 2, 24, KSDATAFORMAT_SUBTYPE_PCM), S_OK, 48000},
      {"rate 0", PcmType(0, 2, 16), S_OK, 44100},
      {"float tag", PcmType(44100, 2, 32, WAVE_FORMAT_IEEE_FLOAT), S_OK, 44100, true},
      {"float subtype", PcmType(44100, 2, 32, WAVE_FORMAT_PCM, MEDIASUBTYPE_IEEE_FLOAT), S_OK,
       44100, true},
      {"null subtype", PcmType(22050, 1, 8, WAVE_FORMAT_PCM, GUID_NULL), S_OK, 22050},
      {"AC-3 over S/PDIF subtype",
       PcmType(48000, 2, 16, WAVE_FORMAT_PCM, MEDIASUBTYPE_DOLBY_AC3_SPDIF), S_OK, 48000, false,
       true},
      {"S/PDIF tag", PcmType(48000, 2, 16, WAVE_FORMAT_DOLBY_AC3_SPDIF), S_OK, 48000, false, true},
      {"S/PDIF tag 0x2000", PcmType(48000, 2, 16, 0x2000), S_OK, 48000, false, true},
      {"DTS tag", PcmType(48000, 2, 16, WAVE_FORMAT_DTS), S_OK, 48000, false, false, true},
      {"DTS tag 0x2001", PcmType(48000, 2, 16, 0x2001), S_OK, 48000, false, false, true},
      {"video", WithMajor(PcmType(44100, 2, 16), MEDIATYPE_Video), VFW_E_INVALIDMEDIATYPE},
      {"compressed AC-3", PcmType(48000, 2, 16, WAVE_FORMAT_PCM, MEDIASUBTYPE_DOLBY_AC3),
       VFW_E_INVALIDSUBTYPE},
      {"video format block", WithFormatType(PcmType(44100, 2, 16), FORMAT_VideoInfo),
       VFW_E_TYPE_NOT_ACCEPTED},
      {"format block too short", Truncated(PcmType(44100, 2, 16), 12), VFW_E_TYPE_NOT_ACCEPTED},
      {"no channels", PcmType(44100, 0, 16), VFW_E_TYPE_NOT_ACCEPTED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = NewFilter();
    auto control = f.As<IDCDSPFilterInterface>();
    EXPECT_EQ(f->CheckInputType(&c.type), c.expected);
    if (c.expected != S_OK) continue;
    PDSStream s = nullptr;
    ASSERT_EQ(control->get_StreamInfo(&s), S_OK);
    EXPECT_EQ(s->Frequency, c.frequency);
    EXPECT_EQ(s->Float, ToBOOL(c.isFloat));
    EXPECT_EQ(s->SPDIF, ToBOOL(c.spdif));
    EXPECT_EQ(s->DTS, ToBOOL(c.dts));
  }
}

TEST(DSPFilterTypes, TheHostRuleComesFirst) {
  TDCDSPFilterOptions options;
  options.hostExecutable = "WAR3.EXE";
  auto f = NewFilter(options);
  const TBCMediaType pcm = PcmType(44100, 2, 16);
  EXPECT_EQ(f->CheckInputType(&pcm), VFW_E_TYPE_NOT_ACCEPTED);
  const TBCMediaType video = WithMajor(pcm, MEDIATYPE_Video);
  EXPECT_EQ(f->CheckInputType(&video), VFW_E_TYPE_NOT_ACCEPTED);

  options.hostExecutable = "lumora";
  EXPECT_EQ(NewFilter(options)->CheckInputType(&pcm), S_OK);
}

TEST(DSPFilterTypes, CheckTransformLooksAtTheInputOnly) {
  auto f = NewFilter();
  const TBCMediaType pcm = PcmType(44100, 2, 16);
  const TBCMediaType other = PcmType(8000, 1, 8);
  EXPECT_EQ(f->CheckTransform(&pcm, &other), S_OK);
  const TBCMediaType video = WithMajor(pcm, MEDIATYPE_Video);
  EXPECT_EQ(f->CheckTransform(&video, &pcm), VFW_E_TYPE_NOT_ACCEPTED);
  // CheckTransform does not look at the bits.
  const TBCMediaType bits20 = PcmType(44100, 2, 20);
  EXPECT_EQ(f->CheckTransform(&bits20, &pcm), S_OK);
}

TEST(DSPFilterTypes, GetMediaTypeBeforeConnection) {
  auto f = NewFilter();
  TBCMediaType mt;
  EXPECT_EQ(f->GetMediaType(0, nullptr), E_POINTER);
  EXPECT_EQ(f->GetMediaType(-1, &mt), E_INVALIDARG);
  EXPECT_EQ(f->GetMediaType(0, &mt), E_UNEXPECTED);
}

class DSPFilterConnected : public DspGraphTest {};

TEST_F(DSPFilterConnected, OutputTypeIsTheInputTypeAndBuffersHoldEightSeconds) {
  Build(PcmType(44100, 2, 16));
  TBCMediaType mt;
  EXPECT_EQ(dsp->GetMediaType(0, &mt), S_OK);
  EXPECT_TRUE(mt == PcmType(44100, 2, 16));
  EXPECT_EQ(dsp->GetMediaType(1, &mt), VFW_S_NO_MORE_ITEMS);

  AM_MEDIA_TYPE out{};
  ASSERT_EQ(Pin(dsp.get(), u"Out")->ConnectionMediaType(&out), S_OK);
  EXPECT_TRUE(MediaTypeEquals(out, PcmType(44100, 2, 16)));
  FreeMediaType(out);

  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(sink->Pin()->Allocator()->GetProperties(&props), S_OK);
  EXPECT_EQ(props.cBuffers, 1);
  EXPECT_EQ(props.cbBuffer, 2 * 2 * 352800);
}

// An allocator that grants less than asked.
class TStingyAllocator : public ComObject<IMemAllocator> {
 public:
  TStingyAllocator(LONG buffers, LONG divisor) : fBuffers(buffers), fDivisor(divisor) {}
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
    *actual = *request;
    actual->cBuffers = fBuffers;
    actual->cbBuffer = request->cbBuffer / fDivisor;
    return S_OK;
  }
  HRESULT GetProperties(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  HRESULT Commit() override { return S_OK; }
  HRESULT Decommit() override { return S_OK; }
  HRESULT GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT ReleaseBuffer(IMediaSample*) override { return S_OK; }

 private:
  LONG fBuffers;
  LONG fDivisor;
};

TEST(DSPFilterTypes, DecideBufferSizeRefusesWhatIsNotGranted) {
  auto f = NewFilter();
  const TBCMediaType mt = PcmType(48000, 6, 24);
  ASSERT_EQ(f->CheckInputType(&mt), S_OK);
  ALLOCATOR_PROPERTIES request{};
  EXPECT_EQ(f->DecideBufferSize(MakeCom<TStingyAllocator>(1, 1).get(), &request), S_OK);
  EXPECT_EQ(request.cBuffers, 1);
  EXPECT_EQ(request.cbBuffer, 3 * 6 * 352800);
  EXPECT_EQ(f->DecideBufferSize(MakeCom<TStingyAllocator>(0, 1).get(), &request), E_FAIL);
  EXPECT_EQ(f->DecideBufferSize(MakeCom<TStingyAllocator>(1, 2).get(), &request), E_FAIL);
}

TEST(DSPFilterTypes, InformationMethods) {
  auto f = NewFilter();
  auto c = f.As<IDCDSPFilterInterface>();
  LONG version = 0;
  EXPECT_EQ(c->get_FilterVersion(&version), S_OK);
  EXPECT_EQ(version, 1030);
  BOOL balloon = BOOL_TRUE;
  EXPECT_EQ(c->get_EnableBalloonHint(&balloon), S_FALSE);
  EXPECT_EQ(balloon, BOOL_FALSE);
  EXPECT_EQ(c->set_EnableBalloonHint(BOOL_TRUE), S_FALSE);
  EXPECT_EQ(c->get_EnableBalloonHint(&balloon), S_FALSE);
  EXPECT_EQ(balloon, BOOL_FALSE);

  // Every option is off after creation.
  using Getter = HRESULT (IDCDSPFilterInterface::*)(BOOL*);
  for (Getter g :
       {&IDCDSPFilterInterface::get_EnableDelay, &IDCDSPFilterInterface::get_EnableStreamSwitching,
        &IDCDSPFilterInterface::get_EnableStreamSwitchingInterface,
        &IDCDSPFilterInterface::get_ForceStreamSwitchingDisconnect,
        &IDCDSPFilterInterface::get_ForceStreamSwitchingStopFilter,
        &IDCDSPFilterInterface::get_EnableStreamLimitInstance,
        &IDCDSPFilterInterface::get_EnableROT, &IDCDSPFilterInterface::get_EnableVisualBuffering}) {
    BOOL v = BOOL_TRUE;
    EXPECT_EQ((c.get()->*g)(&v), S_OK);
    EXPECT_EQ(v, BOOL_FALSE);
  }
  EXPECT_EQ(c->set_EnableVisualBuffering(BOOL_TRUE), S_OK);
  BOOL v = BOOL_FALSE;
  EXPECT_EQ(c->get_EnableVisualBuffering(&v), S_OK);
  EXPECT_EQ(v, BOOL_TRUE);
  EXPECT_EQ(c->get_Delay(nullptr), E_POINTER);
}

TEST(DSPFilterTypes, VisualInterfaceKeepsItsFlagButNoData) {
  auto f = NewFilter();
  auto vis = f.As<IDCDSPFilterVisualInterface>();
  ASSERT_TRUE(vis);
  BOOL after = BOOL_TRUE;
  EXPECT_EQ(vis->get_VISafterDSP(&after), S_OK);
  EXPECT_EQ(after, BOOL_FALSE);
  EXPECT_EQ(vis->set_VISafterDSP(BOOL_TRUE), S_OK);
  EXPECT_EQ(vis->get_VISafterDSP(&after), S_OK);
  EXPECT_EQ(after, BOOL_TRUE);
  void* buffer = &after;
  LONG size = 5;
  PDSStream stream = nullptr;
  EXPECT_EQ(vis->get_VisualData(&buffer, &size, &stream), E_NOTIMPL);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0);
}

TEST(DSPFilterTypes, InterfacesAnswered) {
  auto f = NewFilter();
  EXPECT_TRUE(f.As<IDCDSPFilterInterface>());
  EXPECT_TRUE(f.As<IPersist>());
  EXPECT_TRUE(f.As<IMediaFilter>());
  EXPECT_TRUE(f.As<IBaseFilter>());
  CLSID clsid{};
  f->GetClassID(&clsid);
  EXPECT_EQ(clsid, MakeGuid("{B38C58A0-1809-11D6-A458-EDAE78F1DF12}"));
  EXPECT_EQ(f->ObjectName(), "Audio DSP Manager");

  // IAMStreamSelect only with stream switching on.
  ComPtr<IAMStreamSelect> select;
  EXPECT_EQ(f->QueryInterface(IAMStreamSelect::iid, select.PutVoid()), E_NOINTERFACE);
  f->set_EnableStreamSwitching(BOOL_TRUE);
  EXPECT_EQ(f->QueryInterface(IAMStreamSelect::iid, select.PutVoid()), S_OK);
  // ... and, with the interface option, only with two inputs connected.
  f->set_EnableStreamSwitchingInterface(BOOL_TRUE);
  EXPECT_EQ(f->QueryInterface(IAMStreamSelect::iid, select.PutVoid()), E_NOINTERFACE);
}

TEST(DSPFilterTypes, InstanceCounter) {
  const LONG before = TDCDSPFilter::InstanceCount();
  auto a = NewFilter();
  auto b = NewFilter();
  EXPECT_EQ(TDCDSPFilter::InstanceCount(), before + 2);
  LONG ia = 0;
  LONG ib = 0;
  a->get_Instance(&ia);
  b->get_Instance(&ib);
  EXPECT_EQ(ib, ia + 1);
  EXPECT_EQ(ib, before + 2);
  b = nullptr;
  EXPECT_EQ(TDCDSPFilter::InstanceCount(), before + 1);
}

TEST(DSPFilterTypes, PinsNamesAndIdentifiers) {
  auto f = NewFilter();
  EXPECT_EQ(f->GetPinCount(), 2);
  struct {
    const char16_t* id;
    PIN_DIRECTION dir;
    const char16_t* name;
  } const pins[] = {{u"In", PINDIR_INPUT, u"Input"}, {u"Out", PINDIR_OUTPUT, u"Output"}};
  for (const auto& p : pins) {
    ComPtr<IPin> pin;
    ASSERT_EQ(f->FindPin(p.id, pin.Put()), S_OK);
    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    info.pFilter->Release();
    EXPECT_EQ(info.dir, p.dir);
    EXPECT_EQ(std::u16string(info.achName), p.name);
    LPWSTR id = nullptr;
    ASSERT_EQ(pin->QueryId(&id), S_OK);
    EXPECT_EQ(std::u16string(id), p.id);
    CoTaskMemFree(id);
  }
  EXPECT_EQ(f->GetPin(0)->ObjectName(), "Input Pin");
  EXPECT_EQ(f->GetPin(1)->ObjectName(), "Output Pin");
  ComPtr<IPin> pin;
  for (const char16_t* id : {u"in", u"Input", u"Output", u"OUT", u""})
    EXPECT_EQ(f->FindPin(id, pin.Put()), VFW_E_NOT_FOUND);
  EXPECT_EQ(f->GetPin(2), nullptr);
}

// The slot of a virtual method: the Itanium C++ ABI stores 1 + the byte
// offset in the vtable in the member pointer's first word.
template <class M>
std::ptrdiff_t SlotOf(M method) {
  static_assert(sizeof(M) == 2 * sizeof(std::ptrdiff_t));
  std::ptrdiff_t words[2];
  std::memcpy(words, &method, sizeof words);
  return (words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

TEST(DSPFilterTypes, ControlInterfaceSlots) {
#if !defined(__x86_64__)
  GTEST_SKIP() << "member pointer layout checked on x86-64 only";
#else
  using I = IDCDSPFilterInterface;
  const std::ptrdiff_t slots[] = {
      SlotOf(&I::set_CallBackPCM),
      SlotOf(&I::set_PCMDataBeforeMainDSP),
      SlotOf(&I::get_EnableDelay),
      SlotOf(&I::set_EnableDelay),
      SlotOf(&I::get_Delay),
      SlotOf(&I::set_Delay),
      SlotOf(&I::get_FilterCount),
      SlotOf(&I::get_FilterType),
      SlotOf(&I::set_AddFilter),
      SlotOf(&I::get_FilterName),
      SlotOf(&I::get_WindowShown),
      SlotOf(&I::set_WindowShown),
      SlotOf(&I::set_DeleteFilter),
      SlotOf(&I::get_EnableFilter),
      SlotOf(&I::set_EnableFilter),
      SlotOf(&I::set_RemoveAllFilters),
      SlotOf(&I::set_MoveFilter),
      SlotOf(&I::set_ResetShownWindows),
      SlotOf(&I::get_FilterClass),
      SlotOf(&I::get_FilterInterface),
      SlotOf(&I::get_FilterItem),
      SlotOf(&I::get_EnableStreamSwitching),
      SlotOf(&I::set_EnableStreamSwitching),
      SlotOf(&I::get_EnableStreamSwitchingInterface),
      SlotOf(&I::set_EnableStreamSwitchingInterface),
      SlotOf(&I::get_ForceStreamSwitchingDisconnect),
      SlotOf(&I::set_ForceStreamSwitchingDisconnect),
      SlotOf(&I::get_ForceStreamSwitchingStopFilter),
      SlotOf(&I::set_ForceStreamSwitchingStopFilter),
      SlotOf(&I::get_EnableStreamLimitInstance),
      SlotOf(&I::set_EnableStreamLimitInstance),
      SlotOf(&I::get_StreamInfo),
      SlotOf(&I::get_FilterVersion),
      SlotOf(&I::get_Instance),
      SlotOf(&I::get_EnableBalloonHint),
      SlotOf(&I::set_EnableBalloonHint),
      SlotOf(&I::get_EnableROT),
      SlotOf(&I::set_EnableROT),
      SlotOf(&I::get_EnableVisualBuffering),
      SlotOf(&I::set_EnableVisualBuffering),
  };
  for (std::size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i], 3 + i) << i;

  using C = IDCDSPFilterPCMCallBack;
  EXPECT_EQ(SlotOf(&C::PCMData), 3);
  EXPECT_EQ(SlotOf(&C::MediaTypeChanged), 4);
  EXPECT_EQ(SlotOf(&C::FlushNotify), 5);
  using V = IDCDSPFilterVisualInterface;
  EXPECT_EQ(SlotOf(&V::get_VISafterDSP), 3);
  EXPECT_EQ(SlotOf(&V::set_VISafterDSP), 4);
  EXPECT_EQ(SlotOf(&V::get_VisualData), 5);
#endif
}

TEST(DSPFilterTypes, ChainMethodsForwardUnderTheFilter) {
  auto f = NewFilter();
  auto c = f.As<IDCDSPFilterInterface>();
  ASSERT_EQ(c->set_AddFilter(5, TDCFilterType::ftCompressor), S_OK);
  ASSERT_EQ(c->set_AddFilter(0, TDCFilterType::ftEqualizer), S_OK);
  LONG count = 0;
  EXPECT_EQ(c->get_FilterCount(&count), S_OK);
  EXPECT_EQ(count, 2);
  LPCWSTR name = nullptr;
  EXPECT_EQ(c->get_FilterName(0, &name), S_OK);
  EXPECT_EQ(std::u16string(name), u"Equalizer");
  EXPECT_EQ(c->get_FilterName(2, &name), S_FALSE);
  ComPtr<IUnknown> unk;
  EXPECT_EQ(c->get_FilterInterface(1, unk.Put()), S_OK);
  EXPECT_TRUE(unk.As<IDCCompressor>());
  EXPECT_EQ(c->set_MoveFilter(0, 1), S_OK);
  TDCFilterType type{};
  EXPECT_EQ(c->get_FilterType(1, &type), S_OK);
  EXPECT_EQ(type, TDCFilterType::ftEqualizer);
  EXPECT_EQ(c->set_RemoveAllFilters(), S_OK);
  EXPECT_EQ(c->get_FilterCount(&count), S_OK);
  EXPECT_EQ(count, 0);
}

}  // namespace
