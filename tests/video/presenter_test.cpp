// TfrmRenderer's device life, frame-format requests and presentation rules,
// on an offscreen window.

#include "video/presenter.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "test_frames.h"
#include "video/offscreen_video_output.h"

namespace {

class PresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    output_ = std::make_shared<TOffscreenVideoOutput>();
    ASSERT_TRUE(output_->OpenGLAvailable()) << "EGL/OpenGL could not be initialised";
    window_ = output_->CreateWindow(80, 60);
    presenter_ = std::make_unique<TfrmRenderer>(window_, output_);
    ASSERT_EQ(presenter_->Status(), kPresenterReady);
    frame_ = MakeRgb32(40, 30, [](int x, int y) { return TColor8{x * 6, y * 8, 90}; });
    presenter_->ResetDevice(40, 30, 4.0 / 3, false);
  }

  void Present(bool repeats) {
    presenter_->DoRenderSample(frame_.data(), static_cast<LONG>(frame_.size()), 0, 1, repeats);
  }
  TPresenterStats Stats() const { return presenter_->Stats(); }

  std::shared_ptr<TOffscreenVideoOutput> output_;
  HWND window_ = 0;
  std::unique_ptr<TfrmRenderer> presenter_;
  std::vector<BYTE> frame_;
};

TEST_F(PresenterTest, RepaintsNeitherCopyNorStretch) {
  Present(false);
  const TPresenterStats first = Stats();
  EXPECT_EQ(first.uploads, 1);
  EXPECT_EQ(first.stretches, 1);
  EXPECT_EQ(first.presentations, 1);
  Present(true);
  Present(true);
  const TPresenterStats after = Stats();
  EXPECT_EQ(after.uploads, 1);
  EXPECT_EQ(after.stretches, 1);
  EXPECT_EQ(after.presentations, 3);
  EXPECT_EQ(after.devicesCreated, 2);  // construction, then the format request
}

TEST_F(PresenterTest, ResizeRebuildsAndReuploadsTheFrame) {
  Present(false);
  output_->SetClientSize(window_, 120, 90);
  Present(true);
  const TWindowImage img = output_->Image(window_);
  EXPECT_EQ(img.width, 120);
  EXPECT_EQ(img.height, 90);
  EXPECT_EQ(Stats().uploads, 2);  // the frame copy went with the old size
  EXPECT_LE(MaxDiff(PixelOf(img, 1, 1), {0, 0, 90}), 3);
  EXPECT_EQ(Stats().devicesCreated, 2);  // a resize keeps the device
}

TEST_F(PresenterTest, LostDeviceIsRebuiltAtTheNextPresentation) {
  Present(false);
  output_->LoseDevices();
  Present(true);
  EXPECT_EQ(Stats().devicesCreated, 3);
  EXPECT_EQ(Stats().uploads, 2);
  EXPECT_EQ(Stats().presentations, 2);
  EXPECT_LE(MaxDiff(PixelOf(output_->Image(window_), 79, 59), {234, 232, 90}), 8);
}

TEST_F(PresenterTest, FailedRebuildSkipsTheFrameAndStaysOnOpenGL) {
  Present(false);
  output_->LoseDevices();
  output_->SetDeviceCreationFails(true);
  Present(true);
  EXPECT_EQ(Stats().presentations, 1);
  EXPECT_FALSE(presenter_->UseGDI());
  EXPECT_EQ(presenter_->Status(), kPresenterReady);
  output_->SetDeviceCreationFails(false);
  Present(true);
  EXPECT_EQ(Stats().presentations, 2);
}

TEST_F(PresenterTest, ResetDeviceKeepsAPendingRequestAndReportsTheStatus) {
  Present(false);
  EXPECT_EQ(presenter_->ResetDevice(64, 48, 2.0, true), kPresenterReady);
  EXPECT_DOUBLE_EQ(presenter_->NewAspect(), 2.0);
  // Aspect 0 while a request is pending changes nothing.
  EXPECT_EQ(presenter_->ResetDevice(10, 10, 0, false), kPresenterReady);
  EXPECT_DOUBLE_EQ(presenter_->NewAspect(), 2.0);
  // The pending request (64 x 48 NV12) is what the next frame is read as.
  const auto nv12 = MakeNv12(64, 48, Solid({0, 0, 255}), false);
  presenter_->DoRenderSample(nv12.data(), static_cast<LONG>(nv12.size()), 0, 1, false);
  const TWindowImage img = output_->Image(window_);
  // Aspect 2 in 80 x 60: letter-boxed by Round((60 - 40) / 2) = 10 rows.
  EXPECT_EQ(MaxDiff(PixelOf(img, 40, 5), {0, 0, 0}), 0);
  EXPECT_LE(MaxDiff(PixelOf(img, 40, 30), {0, 0, 255}), 4);
  // Without a pending request, aspect 0 keeps the format and asks for a new
  // device (a new window).
  const int devices = Stats().devicesCreated;
  EXPECT_EQ(presenter_->ResetDevice(0, 0, 0, false), kPresenterReady);
  presenter_->DoRenderSample(nv12.data(), static_cast<LONG>(nv12.size()), 0, 0, true);
  EXPECT_EQ(Stats().devicesCreated, devices + 1);
  EXPECT_LE(MaxDiff(PixelOf(output_->Image(window_), 40, 30), {0, 0, 255}), 4);
}

TEST_F(PresenterTest, ShortBuffersAreNotReadAndKeepThePicture) {
  Present(false);
  const TColor8 before = PixelOf(output_->Image(window_), 40, 30);
  // A 1920 x 1080 NV12 frame needs 1620 rows of 1920 bytes; one byte less is
  // refused (the vector is exactly that long, so an overread would be seen).
  presenter_->ResetDevice(1920, 1080, kAspect16x9, true);
  std::vector<BYTE> shortFrame(static_cast<std::size_t>(1920) * 1620 - 1, 200);
  presenter_->DoRenderSample(shortFrame.data(), static_cast<LONG>(shortFrame.size()), 0, 1, false);
  EXPECT_EQ(Stats().uploads, 1);
  presenter_->DoRenderSample(nullptr, 0, 0, 1, false);
  EXPECT_EQ(Stats().uploads, 1);
  // The exact size is taken: 1081 rows would need 1621.
  shortFrame.push_back(200);
  presenter_->DoRenderSample(shortFrame.data(), static_cast<LONG>(shortFrame.size()), 0, 1, false);
  EXPECT_EQ(Stats().uploads, 2);
  EXPECT_NE(MaxDiff(PixelOf(output_->Image(window_), 40, 30), before), 0);
}

TEST_F(PresenterTest, OddNv12SizesUploadTheirRows) {
  // 1081 rows: 1081 luma rows and 540 chroma rows (Trunc(1.5 x 1081) = 1621).
  presenter_->ResetDevice(35, 1081, 35.0 / 1081, true);
  const auto nv12 = MakeNv12(35, 1081, Solid({255, 255, 255}), false);
  ASSERT_EQ(nv12.size(), 35u * 1621);
  presenter_->DoRenderSample(nv12.data(), static_cast<LONG>(nv12.size()), 0, 1, false);
  EXPECT_EQ(Stats().uploads, 1);
  EXPECT_LE(MaxDiff(PixelOf(output_->Image(window_), 40, 30), {255, 255, 255}), 3);
}

TEST_F(PresenterTest, ForcedSixteenByNineWarpsAFourByThreeFrame) {
  // A horizontal ramp: red = the source column.
  output_->SetClientSize(window_, 640, 360);
  frame_ = MakeRgb32(256, 192, [](int x, int) { return TColor8{x, 0, 0}; });
  presenter_->SetDisplayMode(dm16x9forced);
  presenter_->ResetDevice(256, 192, 4.0 / 3, false);
  Present(false);
  const TWindowImage img = output_->Image(window_);
  ASSERT_EQ(img.width, 640);
  // No bars: forced 16:9 fills a 16:9 window.
  EXPECT_GT(PixelOf(img, 639, 180).r, 240);
  // Left quarter sampled further left, right quarter further right, the
  // centre in place: k = (16/9 - 4/3) / 10 of the width.
  const double k = WarpStrength(dm16x9forced, 256, 192);
  auto sourceColumn = [&](double u) { return u * 256 - 0.5; };
  EXPECT_NEAR(PixelOf(img, 160, 180).r, sourceColumn(160.5 / 640 - k), 2.5);
  EXPECT_NEAR(PixelOf(img, 480, 180).r, sourceColumn(480.5 / 640 + k), 2.5);
  EXPECT_NEAR(PixelOf(img, 320, 180).r, sourceColumn(320.5 / 640), 2.5);
}

TEST_F(PresenterTest, ModeChangeMovesTheRectangleAtTheNextUpload) {
  output_->SetClientSize(window_, 160, 90);
  Present(false);
  EXPECT_EQ(MaxDiff(PixelOf(output_->Image(window_), 5, 45), {0, 0, 0}), 0);  // pillar bar
  presenter_->SetDisplayMode(dm16x9forced);
  Present(true);  // a repaint keeps the stretched picture
  EXPECT_EQ(MaxDiff(PixelOf(output_->Image(window_), 5, 45), {0, 0, 0}), 0);
  Present(false);
  EXPECT_NE(MaxDiff(PixelOf(output_->Image(window_), 5, 45), {0, 0, 0}), 0);
}

TEST_F(PresenterTest, NoWindowOrKilledDrawsNothing) {
  presenter_->SetTV(0);
  Present(false);
  EXPECT_EQ(Stats().presentations, 0);
  presenter_->SetTV(window_);
  Present(false);
  EXPECT_EQ(Stats().presentations, 1);
  output_->DestroyWindow(window_);
  Present(false);
  EXPECT_EQ(Stats().presentations, 1);
  const HWND other = output_->CreateWindow(30, 20);
  presenter_->SetTV(other);
  presenter_->ResetDevice(0, 0, 0, false);
  presenter_->Kill();
  Present(false);
  EXPECT_EQ(Stats().presentations, 1);
  EXPECT_TRUE(output_->Image(other).Empty());
}

TEST_F(PresenterTest, ConstantsSurviveADeviceRebuild) {
  presenter_->SetPSConstant(kRegContrast, -1.0f);
  presenter_->SetPSConstant(2, 5.0f);  // not a picture register: ignored
  Present(false);
  EXPECT_LE(MaxDiff(PixelOf(output_->Image(window_), 40, 30), {128, 128, 128}), 1);
  output_->LoseDevices();
  Present(true);
  EXPECT_LE(MaxDiff(PixelOf(output_->Image(window_), 40, 30), {128, 128, 128}), 1);
}

// An offscreen output whose ClientSize (called inside a presentation, under
// the presentation lock) can be held until the test releases it.
class THoldingOutput final : public TVideoOutput {
 public:
  explicit THoldingOutput(std::shared_ptr<TOffscreenVideoOutput> inner) : fInner(inner) {}
  void Arm() { fArmed = true; }
  void WaitHeld() {
    std::unique_lock lock(fLock);
    fChanged.wait(lock, [this] { return fHeld; });
  }
  void Release() {
    std::lock_guard lock(fLock);
    fReleased = true;
    fChanged.notify_all();
  }
  bool ClientSize(HWND w, int* width, int* height) override {
    if (fArmed.exchange(false)) {
      std::unique_lock lock(fLock);
      fHeld = true;
      fChanged.notify_all();
      fChanged.wait(lock, [this] { return fReleased; });
    }
    return fInner->ClientSize(w, width, height);
  }
  bool CompositionEnabled() override { return true; }
  std::unique_ptr<TGLDevice> CreateDevice(HWND w, bool vsync) override {
    return fInner->CreateDevice(w, vsync);
  }
  bool BlitBgr24(HWND w, const BYTE* bits, int width, int height, int stride) override {
    return fInner->BlitBgr24(w, bits, width, height, stride);
  }

 private:
  std::shared_ptr<TOffscreenVideoOutput> fInner;
  std::atomic<bool> fArmed{false};
  std::mutex fLock;
  std::condition_variable fChanged;
  bool fHeld = false;
  bool fReleased = false;
};

TEST(PresenterConcurrency, BusyPresentationsAreSkippedAndSettersNeverWait) {
  auto inner = std::make_shared<TOffscreenVideoOutput>();
  ASSERT_TRUE(inner->OpenGLAvailable()) << "EGL/OpenGL could not be initialised";
  auto output = std::make_shared<THoldingOutput>(inner);
  const HWND window = inner->CreateWindow(40, 30);
  TfrmRenderer presenter(window, output);
  const auto frame = MakeRgb32(20, 15, Solid({100, 150, 200}));
  presenter.ResetDevice(20, 15, 4.0 / 3, false);
  presenter.DoRenderSample(frame.data(), static_cast<LONG>(frame.size()), 0, 1, false);

  output->Arm();
  std::thread streaming([&] {
    presenter.DoRenderSample(frame.data(), static_cast<LONG>(frame.size()), 0, 1, false);
  });
  output->WaitHeld();  // the streaming thread is inside its presentation
  // Another presentation is skipped, not queued; the setters return at once.
  presenter.DoRenderSample(frame.data(), static_cast<LONG>(frame.size()), 0, 0, true);
  EXPECT_EQ(presenter.Stats().busySkips, 1);
  presenter.SetPSConstant(kRegBrightness, 1.0f);
  EXPECT_EQ(presenter.ResetDevice(0, 0, 0, false), kPresenterReady);
  EXPECT_DOUBLE_EQ(presenter.NewAspect(), 4.0 / 3);
  output->Release();
  streaming.join();
  EXPECT_EQ(presenter.Stats().presentations, 2);
  // The constant set meanwhile shows at the next presentation.
  presenter.DoRenderSample(frame.data(), static_cast<LONG>(frame.size()), 0, 0, true);
  EXPECT_EQ(MaxDiff(PixelOf(inner->Image(window), 20, 15), {255, 255, 255}), 0);
}

TEST(PresenterConcurrency, KillWaitsForAPresentationInProgressWhichDrawsNoMore) {
  auto inner = std::make_shared<TOffscreenVideoOutput>();
  ASSERT_TRUE(inner->OpenGLAvailable()) << "EGL/OpenGL could not be initialised";
  auto output = std::make_shared<THoldingOutput>(inner);
  const HWND window = inner->CreateWindow(40, 30);
  TfrmRenderer presenter(window, output);
  const auto frame = MakeRgb32(20, 15, Solid({100, 150, 200}));
  presenter.ResetDevice(20, 15, 4.0 / 3, false);
  output->Arm();
  std::thread streaming([&] {
    presenter.DoRenderSample(frame.data(), static_cast<LONG>(frame.size()), 0, 1, false);
  });
  output->WaitHeld();
  std::atomic<bool> killed{false};
  std::thread killer([&] {
    presenter.Kill();
    killed = true;
  });
  while (!presenter.Killed()) std::this_thread::yield();
  EXPECT_FALSE(killed);  // still waiting for the presentation to leave
  output->Release();
  killer.join();
  streaming.join();
  EXPECT_TRUE(killed);
  EXPECT_EQ(presenter.Stats().presentations, 0);  // it stopped at its next check
}

TEST(PresenterOptions, EnvironmentChoosesSoftwareShaderAndNv12) {
  setenv("LUMORA_VIDEO_OUT", "software", 1);
  setenv("LUMORA_VIDEO_GLSL", "120", 1);
  setenv("LUMORA_VIDEO_NV12", "0", 1);
  TPresenterOptions o = TPresenterOptions::FromEnvironment();
  EXPECT_TRUE(o.forceSoftware);
  EXPECT_EQ(o.glslVariant, 120);
  EXPECT_TRUE(o.disableNV12);
  unsetenv("LUMORA_VIDEO_OUT");
  unsetenv("LUMORA_VIDEO_GLSL");
  unsetenv("LUMORA_VIDEO_NV12");
  o = TPresenterOptions::FromEnvironment();
  EXPECT_FALSE(o.forceSoftware);
  EXPECT_EQ(o.glslVariant, 0);
  EXPECT_FALSE(o.disableNV12);
}

TEST(PresenterSoftware, ResetDeviceAnswersOneAndTheFormatIsStillUsed) {
  auto output = std::make_shared<TOffscreenVideoOutput>(false);
  const HWND w = output->CreateWindow(8, 6);
  TfrmRenderer presenter(w, output);
  EXPECT_TRUE(presenter.UseGDI());
  EXPECT_EQ(presenter.ResetDevice(4, 3, 4.0 / 3, false), kPresenterSoftware);
  const auto frame = MakeRgb24(4, 3, Solid({9, 99, 199}));
  presenter.DoRenderSample(frame.data(), static_cast<LONG>(frame.size()), 0, 1, false);
  const TWindowImage img = output->Image(w);
  ASSERT_EQ(img.blits, 1);
  EXPECT_EQ(MaxDiff(PixelOf(img, 7, 5), {9, 99, 199}), 0);
}

}  // namespace
