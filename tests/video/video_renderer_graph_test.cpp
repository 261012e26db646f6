// TVideoRenderer in a filter graph: a source pushes decoded-style frames
// into "In" and a subtitle stream into "SubIn".

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "directshow/filter_graph.h"
#include "renderer_support.h"
#include "test_frames.h"
#include "video/offscreen_video_output.h"
#include "video/video_renderer.h"

namespace {

using vtest::TFrameSource;
using vtest::VideoType;

ComPtr<IPin> PinOf(IBaseFilter* filter, const char16_t* id) {
  ComPtr<IPin> pin;
  filter->FindPin(id, pin.Put());
  return pin;
}

TEST(VideoRendererGraph, FramesFlowSizesAreReportedAndStopShowsBlack) {
  StreamSwitching = false;
  auto output = std::make_shared<TOffscreenVideoOutput>();
  ASSERT_TRUE(output->OpenGLAvailable()) << "EGL/OpenGL could not be initialised";
  const HWND window = output->CreateWindow(128, 72);
  TVideoRendererDeps deps;
  deps.output = output;
  auto ticker = std::make_unique<TManualTickSource>();
  TManualTickSource* tick = ticker.get();
  deps.ticker = std::move(ticker);
  deps.options = TPresenterOptions{};
  auto renderer = MakeCom<TVideoRenderer>(window, std::move(deps));

  const TColor8 colours[3] = {{255, 0, 0}, {0, 255, 0}, {20, 40, 250}};
  std::vector<std::vector<BYTE>> frames;
  for (const TColor8& c : colours) frames.push_back(MakeRgb32(720, 576, Solid(c)));
  auto source = MakeCom<TFrameSource>(VideoType(MEDIASUBTYPE_RGB32, 720, 576, 16, 9, 32), frames);
  TBCMediaType text(MEDIATYPE_Text);
  text.SetSubtype(&MEDIASUBTYPE_UTF8);
  auto subtitles = MakeCom<TFrameSource>(text, std::vector<std::vector<BYTE>>{{'h', 'i'}, {'!'}});

  ComPtr<ID2R2> control = renderer.As<ID2R2>();
  control->Clear();  // the player clears the picture before it builds the graph
  ComPtr<IFilterGraph2> graph = CreateFilterGraph();
  ASSERT_EQ(graph->AddFilter(source.get(), u"source"), S_OK);
  ASSERT_EQ(graph->AddFilter(subtitles.get(), u"subtitles"), S_OK);
  ASSERT_EQ(graph->AddFilter(renderer.get(), u"D2R2 render"), S_OK);
  ASSERT_EQ(graph->Connect(PinOf(source.get(), u"Out").get(), PinOf(renderer.get(), u"In").get()),
            S_OK);
  renderer->Presenter().Subtitles().Push({"old", 0, 1});
  ASSERT_EQ(
      graph->Connect(PinOf(subtitles.get(), u"Out").get(), PinOf(renderer.get(), u"SubIn").get()),
      S_OK);
  EXPECT_EQ(renderer->Presenter().Subtitles().Count(), 0u);  // emptied by the type check

  SIZE size{};
  ASSERT_EQ(control->GetVideoSize(&size), S_OK);
  EXPECT_EQ(size.cx, 1024);
  EXPECT_EQ(size.cy, 576);
  VIDEOINFOHEADER2 params{};
  ASSERT_EQ(control->GetVideoParams(&params), S_OK);
  EXPECT_EQ(params.bmiHeader.biWidth, 720);
  EXPECT_EQ(params.dwPictAspectRatioX, 16u);
  double ar = 0;
  control->GetAspectRatio(&ar);
  EXPECT_DOUBLE_EQ(ar, 16.0 / 9);

  // Without a clock every frame is drawn as it comes.
  graph.As<IMediaFilter>()->SetSyncSource(nullptr);
  auto media = graph.As<IMediaControl>();
  auto events = graph.As<IMediaEventEx>();
  ASSERT_TRUE(SUCCEEDED(media->Run()));
  LONG code = 0;
  ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_FALSE(renderer->Repaint());
  // 720 x 576 at 16:9 in 128 x 72: fills the window.
  const TWindowImage img = output->Image(window);
  EXPECT_LE(MaxDiff(PixelOf(img, 64, 36), colours[2]), 2);
  EXPECT_LE(MaxDiff(PixelOf(img, 1, 1), colours[2]), 2);
  EXPECT_GE(renderer->Presenter().Stats().presentations, 2);

  // A flush on the subtitle pin empties the queue.
  renderer->Presenter().Subtitles().Push({"x", 0, 1});
  renderer->SubPin().BeginFlush();
  renderer->SubPin().EndFlush();
  EXPECT_EQ(renderer->Presenter().Subtitles().Count(), 0u);

  media->Stop();
  EXPECT_TRUE(renderer->Repaint());
  EXPECT_EQ(renderer->LastFrame(), renderer->BlackBits());
  tick->Tick();
  EXPECT_EQ(MaxDiff(PixelOf(output->Image(window), 64, 36), {0, 0, 0}), 0);

  // The player follows a stop with SetLogo; playing again (no new
  // connection) shows the video frames in their own format again.
  control->SetLogo();
  ASSERT_TRUE(SUCCEEDED(media->Run()));
  ASSERT_EQ(events->WaitForCompletion(10000, &code), S_OK);
  EXPECT_LE(MaxDiff(PixelOf(output->Image(window), 64, 36), colours[2]), 2);
  media->Stop();
  graph->RemoveFilter(renderer.get());
  EXPECT_EQ(control->GetVideoSize(&size), E_FAIL);
}

}  // namespace

namespace {

// Frames decoded by the ffmpeg tool from its SMPTE colour bar source (4:3
// SD, NV12), pushed through the renderer into a 16:9 window: the picture is
// pillar-boxed and the bars come out in their colours.
TEST(VideoRendererGraph, DecodedColourBarsShowWithTheirProportions) {
  const std::string file = ::testing::TempDir() + "lumora_bars.nv12";
  const std::string command =
      "ffmpeg -v error -y -f lavfi -i smptebars=size=320x240:rate=25 -frames:v 2 "
      "-pix_fmt nv12 -f rawvideo '" +
      file + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << "the ffmpeg tool is needed for this fixture";
  FILE* f = std::fopen(file.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  const std::size_t frameBytes = 320 * 240 * 3 / 2;
  std::vector<std::vector<BYTE>> frames;
  for (int i = 0; i < 2; ++i) {
    std::vector<BYTE> frame(frameBytes);
    ASSERT_EQ(std::fread(frame.data(), 1, frame.size(), f), frame.size());
    frames.push_back(std::move(frame));
  }
  std::fclose(f);
  std::remove(file.c_str());

  auto output = std::make_shared<TOffscreenVideoOutput>();
  ASSERT_TRUE(output->OpenGLAvailable()) << "EGL/OpenGL could not be initialised";
  const HWND window = output->CreateWindow(192, 108);
  TVideoRendererDeps deps;
  deps.output = output;
  deps.ticker = std::make_unique<TManualTickSource>();
  deps.options = TPresenterOptions{};
  auto renderer = MakeCom<TVideoRenderer>(window, std::move(deps));
  auto source = MakeCom<TFrameSource>(VideoType(MEDIASUBTYPE_NV12, 320, 240, 4, 3, 12), frames);
  ComPtr<IFilterGraph2> graph = CreateFilterGraph();
  graph->AddFilter(source.get(), u"source");
  graph->AddFilter(renderer.get(), u"D2R2 render");
  ASSERT_EQ(graph->Connect(PinOf(source.get(), u"Out").get(), PinOf(renderer.get(), u"In").get()),
            S_OK);
  graph.As<IMediaFilter>()->SetSyncSource(nullptr);
  ASSERT_TRUE(SUCCEEDED(graph.As<IMediaControl>()->Run()));
  LONG code = 0;
  ASSERT_EQ(graph.As<IMediaEventEx>()->WaitForCompletion(10000, &code), S_OK);

  const TWindowImage img = output->Image(window);
  ASSERT_EQ(img.width, 192);
  // 4:3 in 192 x 108: bars of Round((192 - 144) / 2) = 24 columns.
  for (int y : {5, 54, 100}) {
    EXPECT_EQ(MaxDiff(PixelOf(img, 10, y), {0, 0, 0}), 0);
    EXPECT_EQ(MaxDiff(PixelOf(img, 181, y), {0, 0, 0}), 0);
  }
  const TColor8 bars[7] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                           {191, 0, 191},   {191, 0, 0},   {0, 0, 191}};
  for (int i = 0; i < 7; ++i) {
    const int x = 24 + static_cast<int>((i + 0.5) * 144 / 7);
    EXPECT_LE(MaxDiff(PixelOf(img, x, 20), bars[i]), 10) << "bar " << i;
  }
  graph.As<IMediaControl>()->Stop();
}

}  // namespace
