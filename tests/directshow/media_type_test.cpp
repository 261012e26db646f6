#include <gtest/gtest.h>

#include "directshow/dshow.h"
#include "platform/messages/player_messages.h"

namespace {

TBCMediaType AudioType(WORD channels) {
  TBCMediaType mt(MEDIATYPE_Audio);
  mt.SetSubtype(&MEDIASUBTYPE_PCM);
  mt.SetFormatType(&FORMAT_WaveFormatEx);
  auto* wf = reinterpret_cast<WAVEFORMATEX*>(mt.AllocFormatBuffer(sizeof(WAVEFORMATEX)));
  wf->wFormatTag = WAVE_FORMAT_PCM;
  wf->nChannels = channels;
  wf->nSamplesPerSec = 44100;
  wf->wBitsPerSample = 16;
  return mt;
}

TEST(MediaType, CopyIsDeepAndComparesByFormatBytes) {
  TBCMediaType a = AudioType(2);
  TBCMediaType b = a;
  ASSERT_NE(a.pbFormat, b.pbFormat);
  EXPECT_EQ(a, b);
  auto* wb = b.FormatAs<WAVEFORMATEX>();
  const auto* wa = a.FormatAs<WAVEFORMATEX>();
  ASSERT_TRUE(wa && wb);
  wb->nChannels = 6;
  EXPECT_FALSE(a == b);
  EXPECT_EQ(wa->nChannels, 2);

  AM_MEDIA_TYPE* heap = CreateMediaType(&a);
  ASSERT_NE(heap, nullptr);
  EXPECT_TRUE(MediaTypeEquals(*heap, a));
  DeleteMediaType(heap);
}

TEST(MediaType, FreeReleasesFormatAndUnknown) {
  struct Counter : IUnknown {
    virtual ~Counter() = default;
    int refs = 1;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
  } unk;
  {
    TBCMediaType mt = AudioType(2);
    mt.pUnk = &unk;
    unk.AddRef();
    TBCMediaType copy(mt);
    EXPECT_EQ(unk.refs, 3);
    TBCMediaType moved(std::move(copy));
    EXPECT_EQ(unk.refs, 3);
    EXPECT_TRUE(copy.pUnk == nullptr);
  }
  EXPECT_EQ(unk.refs, 1);
}

TEST(MediaType, PartialTypesMatchAsWildcards) {
  const TBCMediaType full = AudioType(2);
  TBCMediaType partial(MEDIATYPE_Audio);
  EXPECT_TRUE(partial.IsPartiallySpecified());
  EXPECT_FALSE(full.IsPartiallySpecified());
  EXPECT_TRUE(full.MatchesPartial(&partial));
  partial.SetSubtype(&MEDIASUBTYPE_IEEE_FLOAT);
  EXPECT_FALSE(full.MatchesPartial(&partial));
  TBCMediaType video(MEDIATYPE_Video);
  EXPECT_FALSE(full.MatchesPartial(&video));
}

TEST(MediaType, LayoutsAndIdentifiersAreThePlatformOnes) {
  EXPECT_EQ(sizeof(WAVEFORMATEX), 18u);
  EXPECT_EQ(sizeof(WAVEFORMATEXTENSIBLE), 40u);
  EXPECT_EQ(sizeof(VIDEOINFOHEADER2), 112u);
  EXPECT_EQ(GuidToString(MEDIASUBTYPE_PCM), "{00000001-0000-0010-8000-00AA00389B71}");
  EXPECT_EQ(GuidToString(IBaseFilter::iid), "{56A86895-0AD4-11CE-B03A-0020AF0B0000}");
  EXPECT_EQ(GuidToString(IMediaSeeking::iid), "{36B73880-C2C8-11CF-8B46-00805F6CEF60}");
  EXPECT_EQ(GuidToString(CLSID_FilterGraph), "{E436EBB3-524F-11CE-9F53-0020AF0BA770}");
  EXPECT_EQ(WM_GRAPHNOTIFY, 0x8001u);
}

}  // namespace
