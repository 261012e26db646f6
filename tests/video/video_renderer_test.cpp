// TVideoRenderer driven directly (hooks called as the base class would) with
// an offscreen window and a hand-ticked repaint timer.

#include "video/video_renderer.h"

#include <gtest/gtest.h>

#include <memory>

#include "directshow/dshow.h"
#include "renderer_support.h"
#include "test_frames.h"
#include "video/bgr24_scaler.h"
#include "video/offscreen_video_output.h"

namespace {

using vtest::TSamplePool;
using vtest::VideoType;

class VideoRendererTest : public ::testing::Test {
 protected:
  void SetUp() override { StreamSwitching = false; }
  void TearDown() override { StreamSwitching = false; }

  void Make(bool openGL = true, TPresenterOptions options = {}) {
    output_ = std::make_shared<TOffscreenVideoOutput>(openGL);
    if (openGL) {
      ASSERT_TRUE(output_->OpenGLAvailable()) << "EGL/OpenGL could not be initialised";
    }
    window_ = output_->CreateWindow(kW, kH);
    auto ticker = std::make_unique<TManualTickSource>();
    ticker_ = ticker.get();
    TVideoRendererDeps deps;
    deps.output = output_;
    deps.ticker = std::move(ticker);
    deps.options = options;
    renderer_ = MakeCom<TVideoRenderer>(window_, std::move(deps));
  }

  // Connects the format of a 32 x 18 RGB32 frame (as the pin would).
  void TakeRgb32Format() {
    const TBCMediaType mt = VideoType(MEDIASUBTYPE_RGB32, kFw, kFh, 16, 9, 32);
    ASSERT_EQ(renderer_->SetMediaType(&mt), S_OK);
  }

  int Presentations() const { return renderer_->Presenter().Stats().presentations; }
  TColor8 Centre() const {
    const TWindowImage img = output_->Image(window_);
    return img.Empty() ? TColor8{-1, -1, -1} : PixelOf(img, kW / 2, kH / 2);
  }

  static constexpr int kW = 96;
  static constexpr int kH = 54;
  static constexpr int kFw = 32;
  static constexpr int kFh = 18;
  std::shared_ptr<TOffscreenVideoOutput> output_;
  HWND window_ = 0;
  TManualTickSource* ticker_ = nullptr;
  ComPtr<TVideoRenderer> renderer_;
};

TEST_F(VideoRendererTest, IdentityInterfacesAndPins) {
  Make();
  CLSID clsid{};
  EXPECT_EQ(renderer_->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_D2R2VideoRenderer);
  EXPECT_EQ(GuidToString(clsid), "{ED80BE10-6EE9-4D1B-8C59-E0BC94A20455}");
  EXPECT_EQ(renderer_->ObjectName(), "D2R2 Video Renderer");
  ComPtr<ID2R2> control = renderer_.As<ID2R2>();
  ASSERT_TRUE(control);
  EXPECT_EQ(GuidToString(ID2R2::iid), "{56A868BA-0AD4-11CE-B03A-0020AF0B0000}");
  ComPtr<IAMFilterMiscFlags> flags = renderer_.As<IAMFilterMiscFlags>();
  ASSERT_TRUE(flags);
  EXPECT_EQ(flags->GetMiscFlags(), 1u);
  EXPECT_EQ(renderer_->GetPinCount(), 2);
  EXPECT_TRUE(ticker_->Running());
  EXPECT_EQ(ticker_->Period().count(), 40);
}

TEST_F(VideoRendererTest, FindPinKnowsSubInExactlyAndInThroughTheBase) {
  Make();
  ComPtr<IPin> pin;
  ASSERT_EQ(renderer_->FindPin(u"SubIn", pin.Put()), S_OK);
  EXPECT_EQ(pin.get(), static_cast<IPin*>(&renderer_->SubPin()));
  PIN_INFO info{};
  ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.achName), u"SubIn");
  EXPECT_EQ(info.dir, PINDIR_INPUT);
  if (info.pFilter) info.pFilter->Release();
  ASSERT_EQ(renderer_->FindPin(u"In", pin.Put()), S_OK);
  EXPECT_EQ(pin.get(), static_cast<IPin*>(renderer_->InputPin()));
  for (const char16_t* other : {u"subin", u"SUBIN", u"Subin", u"in", u"Out"})
    EXPECT_EQ(renderer_->FindPin(other, pin.Put()), VFW_E_NOT_FOUND);
}

TEST_F(VideoRendererTest, CheckMediaTypeAcceptsByItsFourRulesInOrder) {
  Make(true, TPresenterOptions{false, 0, /*disableNV12=*/true});
  ASSERT_TRUE(renderer_->Presenter().NoNV12());
  struct Case {
    GUID major, format, subtype;
    HRESULT expected;
  };
  const Case cases[] = {
      {MEDIATYPE_Video, GUID_NULL, MEDIASUBTYPE_YUY2, S_OK},  // any video
      {MEDIATYPE_Audio, FORMAT_VideoInfo2, GUID_NULL, S_OK},  // any VIDEOINFOHEADER2
      {MEDIATYPE_Audio, FORMAT_None, MEDIASUBTYPE_RGB32, S_OK},
      {MEDIATYPE_Audio, FORMAT_None, MEDIASUBTYPE_NV12, E_INVALIDARG},  // NV12 refused here
      {MEDIATYPE_Audio, FORMAT_WaveFormatEx, MEDIASUBTYPE_PCM, E_INVALIDARG},
  };
  for (const Case& c : cases) {
    TBCMediaType mt(c.major);
    mt.SetFormatType(&c.format);
    mt.SetSubtype(&c.subtype);
    EXPECT_EQ(renderer_->CheckMediaType(&mt), c.expected) << GuidToString(c.subtype);
  }
  EXPECT_EQ(renderer_->CheckMediaType(nullptr), E_POINTER);
}

TEST_F(VideoRendererTest, CheckMediaTypeTakesNv12WhenThePresenterCan) {
  Make();
  ASSERT_FALSE(renderer_->Presenter().NoNV12());
  TBCMediaType mt(MEDIATYPE_Audio);
  mt.SetSubtype(&MEDIASUBTYPE_NV12);
  EXPECT_EQ(renderer_->CheckMediaType(&mt), S_OK);
}

TEST_F(VideoRendererTest, SetMediaTypeCopiesTheFormatAndRequestsItsAspect) {
  Make();
  EXPECT_EQ(renderer_->SetMediaType(nullptr), E_POINTER);
  TBCMediaType empty(MEDIATYPE_Video);
  EXPECT_EQ(renderer_->SetMediaType(&empty), E_UNEXPECTED);
  TBCMediaType shortBlock(MEDIATYPE_Video);
  shortBlock.AllocFormatBuffer(40);
  EXPECT_EQ(renderer_->SetMediaType(&shortBlock), E_UNEXPECTED);
  EXPECT_FALSE(renderer_->Repaint());

  const TBCMediaType mt = VideoType(MEDIASUBTYPE_NV12, 720, 576, 4, 3, 12);
  EXPECT_EQ(renderer_->SetMediaType(&mt), S_OK);
  double ar = 0;
  renderer_->GetAspectRatio(&ar);
  EXPECT_DOUBLE_EQ(ar, 4.0 / 3);
  // Pictures bring back 16:9.
  renderer_->SetLogo();
  renderer_->GetAspectRatio(&ar);
  EXPECT_DOUBLE_EQ(ar, 1.7777777777777777);
}

TEST_F(VideoRendererTest, VideoParamsAndSizeFailBeforeConnection) {
  Make();
  VIDEOINFOHEADER2 params{};
  params.dwBitRate = 77;
  SIZE size{5, 6};
  EXPECT_EQ(renderer_->GetVideoParams(&params), E_FAIL);
  EXPECT_EQ(renderer_->GetVideoSize(&size), E_FAIL);
  EXPECT_EQ(params.dwBitRate, 77u);
  EXPECT_EQ(size.cx, 5);
  double ar = 0;
  EXPECT_EQ(renderer_->GetAspectRatio(&ar), S_OK);
  EXPECT_DOUBLE_EQ(ar, kAspect16x9);
}

TEST_F(VideoRendererTest, SplashAtStartRepaintedByTheTimer) {
  Make();
  EXPECT_TRUE(renderer_->Repaint());
  EXPECT_EQ(renderer_->LastFrame(), renderer_->SplashBits());
  EXPECT_EQ(Presentations(), 0);
  ASSERT_TRUE(ticker_->Tick());
  EXPECT_EQ(Presentations(), 1);
  // The splash: black at the left edge, the dark background inside.
  const TWindowImage img = output_->Image(window_);
  ASSERT_EQ(img.width, kW);
  EXPECT_EQ(MaxDiff(PixelOf(img, 2, kH / 2), {0, 0, 0}), 0);
  EXPECT_GT(PixelOf(img, kW / 2, kH / 2 - 4).g + PixelOf(img, kW / 2, kH / 2 - 2).g, 20);
  ticker_->Tick();
  EXPECT_EQ(Presentations(), 2);
}

TEST_F(VideoRendererTest, ClearShowsBlackAtOnceAndStopsTheRepaint) {
  Make();
  ticker_->Tick();
  renderer_->Clear();
  EXPECT_FALSE(renderer_->Repaint());
  EXPECT_EQ(renderer_->LastFrame(), renderer_->BlackBits());
  EXPECT_EQ(Presentations(), 2);
  EXPECT_EQ(MaxDiff(Centre(), {0, 0, 0}), 0);
  ticker_->Tick();
  EXPECT_EQ(Presentations(), 2);
}

TEST_F(VideoRendererTest, FramesAreDrawnAndSamplesWithoutIncreasingTimesSkipped) {
  Make();
  TakeRgb32Format();
  const auto frame = MakeRgb32(kFw, kFh, Solid({10, 200, 30}));
  TSamplePool pool(static_cast<LONG>(frame.size()));
  auto sample = pool.Make(frame, 0, vtest::kFrame);
  EXPECT_EQ(renderer_->DoRenderSample(sample.get()), S_OK);
  EXPECT_FALSE(renderer_->Repaint());
  EXPECT_LE(MaxDiff(Centre(), {10, 200, 30}), 1);
  EXPECT_EQ(renderer_->LastFrameSize(), static_cast<LONG>(frame.size()));
  const BYTE* last = renderer_->LastFrame();
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(std::memcmp(last, frame.data(), frame.size()), 0);

  const int shown = Presentations();
  const auto other = MakeRgb32(kFw, kFh, Solid({250, 0, 0}));
  auto same = pool.Make(other, vtest::kFrame, vtest::kFrame);
  renderer_->DoRenderSample(same.get());
  EXPECT_EQ(Presentations(), shown);
  EXPECT_EQ(renderer_->LastFrame(), last);
  EXPECT_EQ(renderer_->DoRenderSample(nullptr), E_POINTER);
}

// The sample goes back to the decoder, which writes the next frame into the
// same buffer; the paused picture must still be the frame that was drawn.
TEST_F(VideoRendererTest, LastFrameStaysValidAfterItsSampleIsReused) {
  Make();
  TakeRgb32Format();
  const auto green = MakeRgb32(kFw, kFh, Solid({0, 255, 0}));
  TSamplePool pool(static_cast<LONG>(green.size()), 1);
  {
    auto sample = pool.Make(green, 0, vtest::kFrame);
    renderer_->DoRenderSample(sample.get());
  }
  {
    auto reused = pool.Make(MakeRgb32(kFw, kFh, Solid({255, 0, 255})), 0, 1);
    ASSERT_TRUE(reused);  // the only buffer, handed out again and overwritten
  }
  renderer_->Pause();  // from stopped: Repaint stays as it was (false)
  EXPECT_FALSE(renderer_->Repaint());
  renderer_->SetVideoWindow(window_);  // a new device: the repaint re-uploads
  // Paused from running sets Repaint: simulate with the base states.
  renderer_->Run(0);
  renderer_->Pause();
  EXPECT_TRUE(renderer_->Repaint());
  ticker_->Tick();
  EXPECT_LE(MaxDiff(Centre(), {0, 255, 0}), 1);
  renderer_->Stop();
}

TEST_F(VideoRendererTest, FirstSampleInThePausedGraphIsShownAtOnce) {
  Make();
  TakeRgb32Format();
  renderer_->Pause();
  const auto frame = MakeRgb32(kFw, kFh, Solid({40, 80, 160}));
  TSamplePool pool(static_cast<LONG>(frame.size()));
  auto sample = pool.Make(frame, 0, vtest::kFrame);
  renderer_->OnReceiveFirstSample(sample.get());
  EXPECT_FALSE(renderer_->Repaint());
  EXPECT_LE(MaxDiff(Centre(), {40, 80, 160}), 1);
  renderer_->Stop();
}

TEST_F(VideoRendererTest, StopShowsBlackUnlessStreamsAreSwitching) {
  Make();
  TakeRgb32Format();
  const auto frame = MakeRgb32(kFw, kFh, Solid({200, 200, 0}));
  TSamplePool pool(static_cast<LONG>(frame.size()));
  renderer_->Run(0);
  auto sample = pool.Make(frame, 0, vtest::kFrame);
  renderer_->DoRenderSample(sample.get());
  const BYTE* last = renderer_->LastFrame();

  StreamSwitching = true;
  renderer_->Stop();
  EXPECT_EQ(renderer_->LastFrame(), last);
  EXPECT_FALSE(renderer_->Repaint());
  StreamSwitching = false;

  renderer_->Run(0);
  renderer_->Stop();
  EXPECT_EQ(renderer_->LastFrame(), renderer_->BlackBits());
  EXPECT_TRUE(renderer_->Repaint());
  ticker_->Tick();
  EXPECT_EQ(MaxDiff(Centre(), {0, 0, 0}), 0);
  double ar = 0;
  renderer_->GetAspectRatio(&ar);
  EXPECT_DOUBLE_EQ(ar, kAspect16x9);
}

TEST_F(VideoRendererTest, PauseSetsRepaintOnlyFromRunning) {
  Make();
  renderer_->Clear();
  ASSERT_FALSE(renderer_->Repaint());
  renderer_->Pause();
  EXPECT_FALSE(renderer_->Repaint());
  renderer_->Run(0);
  renderer_->Pause();
  EXPECT_TRUE(renderer_->Repaint());
  renderer_->Stop();
}

TEST_F(VideoRendererTest, PictureConstantsReachTheScreenOnTheNextRepaint) {
  Make();
  renderer_->Clear();
  renderer_->SetLogo();
  ComPtr<ID2R2> control = renderer_.As<ID2R2>();
  EXPECT_EQ(control->SetPSConstant(3, 1.0f), S_OK);
  ticker_->Tick();
  EXPECT_EQ(MaxDiff(Centre(), {255, 255, 255}), 0);
}

TEST_F(VideoRendererTest, NothingIsDrawnAfterKill) {
  Make();
  TakeRgb32Format();
  ticker_->Tick();
  const int shown = Presentations();
  renderer_->Kill();
  EXPECT_FALSE(renderer_->Repaint());
  EXPECT_TRUE(renderer_->Presenter().Killed());
  const auto frame = MakeRgb32(kFw, kFh, Solid({1, 2, 3}));
  TSamplePool pool(static_cast<LONG>(frame.size()));
  auto sample = pool.Make(frame, 0, vtest::kFrame);
  renderer_->DoRenderSample(sample.get());
  renderer_->Clear();
  renderer_->SetLogo();
  ticker_->Tick();
  EXPECT_EQ(Presentations(), shown);
}

TEST_F(VideoRendererTest, SetVideoWindowReportsTheStatusAndMovesThePicture) {
  Make();
  ComPtr<ID2R2> control = renderer_.As<ID2R2>();
  const HWND second = output_->CreateWindow(40, 30);
  EXPECT_EQ(control->SetVideoWindow(second), kPresenterReady);
  EXPECT_EQ(control->SetSubtitleWindow(0x77), S_OK);
  EXPECT_EQ(renderer_->Presenter().SUB(), HWND{0x77});
  ticker_->Tick();
  EXPECT_EQ(output_->Image(second).width, 40);
  EXPECT_EQ(output_->Image(second).presents, 1);
  EXPECT_EQ(control->SetVideoWindow(0), kPresenterReady);
  const int shown = Presentations();
  ticker_->Tick();  // window 0 draws nothing
  EXPECT_EQ(Presentations(), shown);
}

TEST_F(VideoRendererTest, StatusTwoWithoutNv12AndOneWithoutOpenGL) {
  Make(true, TPresenterOptions{false, 0, true});
  EXPECT_EQ(renderer_.As<ID2R2>()->SetVideoWindow(window_), kPresenterNoNV12);
  Make(false);
  EXPECT_EQ(renderer_.As<ID2R2>()->SetVideoWindow(window_), kPresenterSoftware);
  Make(true, TPresenterOptions{true, 0, false});
  EXPECT_EQ(renderer_.As<ID2R2>()->SetVideoWindow(window_), kPresenterSoftware);
}

TEST_F(VideoRendererTest, SoftwarePathScalesTwentyFourBitFramesAndNeverRepaints) {
  Make(false);
  ASSERT_TRUE(renderer_->Presenter().UseGDI());
  const TBCMediaType mt = VideoType(MEDIASUBTYPE_RGB24, kFw, kFh, 16, 9, 24);
  ASSERT_EQ(renderer_->SetMediaType(&mt), S_OK);
  const auto frame = MakeRgb24(kFw, kFh, [](int x, int y) { return TColor8{x * 8, y * 14, 100}; });
  TSamplePool pool(static_cast<LONG>(frame.size()));
  auto sample = pool.Make(frame, 0, vtest::kFrame);
  renderer_->DoRenderSample(sample.get());
  const TWindowImage img = output_->Image(window_);
  ASSERT_EQ(img.blits, 1);
  ASSERT_EQ(img.width, kW);
  // The window holds the frame scaled by the fixed-point scaler, filling it.
  const int stride = DibRowBytes(kW, 24);
  std::vector<BYTE> expected(static_cast<std::size_t>(stride) * kH);
  ScaleBgr24(frame.data(), kFw, kFh, expected.data(), kW, kH, stride);
  for (int y : {0, 20, kH - 1})
    for (int x : {0, 47, kW - 1}) {
      const BYTE* e = expected.data() + (kH - 1 - y) * stride + x * 3;
      EXPECT_EQ(MaxDiff(PixelOf(img, x, y), {e[2], e[1], e[0]}), 0) << x << "," << y;
    }
  renderer_->SetLogo();
  ticker_->Tick();
  EXPECT_EQ(output_->Image(window_).blits, 1);
}

}  // namespace
