// The decoder modules load from the Filters folder by file name and create
// their filters by class id through DllGetClassObject.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "directshow/dshow.h"
#include "filters/lav_settings.h"
#include "platform/com/com_ptr.h"

namespace {

struct TModuleCase {
  const char* file;
  CLSID clsid;
  IID settings;
};

class Modules : public testing::TestWithParam<TModuleCase> {};

TEST_P(Modules, CreateTheirFilterByClassId) {
  const TModuleCase& c = GetParam();
  const std::string path = std::string(LUMORA_FILTERS_DIR) + "/" + c.file;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_TRUE(module) << dlerror();
  auto get = reinterpret_cast<DllGetClassObjectFn>(dlsym(module, "DllGetClassObject"));
  ASSERT_TRUE(get);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(get(c.clsid, IClassFactory::iid, factory.PutVoid()), S_OK);
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(factory->CreateInstance(nullptr, IBaseFilter::iid, filter.PutVoid()), S_OK);
  CLSID id{};
  filter->GetClassID(&id);
  EXPECT_EQ(id, c.clsid);
  ComPtr<IUnknown> settings;
  EXPECT_EQ(filter->QueryInterface(c.settings, settings.PutVoid()), S_OK);
  // Aggregation is not offered, and other class ids are not served.
  ComPtr<IBaseFilter> other;
  EXPECT_EQ(factory->CreateInstance(filter.get(), IBaseFilter::iid, other.PutVoid()),
            CLASS_E_NOAGGREGATION);
  ComPtr<IClassFactory> none;
  EXPECT_EQ(get(CLSID_DSoundRender, IClassFactory::iid, none.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);
  settings = nullptr;
  filter = nullptr;
  factory = nullptr;
  // The program never unloads its modules; nor does this test (threads of a
  // decoder library may outlive a filter briefly).
}

INSTANTIATE_TEST_SUITE_P(
    Filters, Modules,
    testing::Values(TModuleCase{"LAVSplitter.ax", CLSID_LAVSplitter, ILAVFSettings::iid},
                    TModuleCase{"LAVVideo.ax", CLSID_LAVVideo, ILAVVideoSettings::iid},
                    TModuleCase{"LAVAudio.ax", CLSID_LAVAudio, ILAVAudioSettings::iid}),
    [](const auto& i) {
      return std::string(i.param.file).substr(0, std::string(i.param.file).find('.'));
    });

}  // namespace

#include "filters/audio_renderer/audio_renderer.h"
#include "filters/audio_renderer/null_audio_device.h"
#include "fixtures.h"
#include "platform/modules/module_loader.h"
#include "test_graph.h"

namespace {

// As the player loads them.
ComPtr<IBaseFilter> LoadFilter(const char* file, const CLSID& clsid) {
  auto [hr, filter] =
      LoadFilterFromFile<IBaseFilter>(std::string(LUMORA_FILTERS_DIR) + "/" + file, clsid);
  return hr == S_OK ? filter : nullptr;
}

}  // namespace

// The player's graph with the filters from their modules: splitter "Video"
// -> video decoder -> a sink; "Audio" -> audio decoder -> the audio
// renderer (null device, 10 times real time), through a seek, to the end.
TEST(ModuleGraph, FilesPlayThroughTheModulesToTheAudioRenderer) {
  auto splitter = LoadFilter("LAVSplitter.ax", CLSID_LAVSplitter);
  auto video = LoadFilter("LAVVideo.ax", CLSID_LAVVideo);
  auto audio = LoadFilter("LAVAudio.ax", CLSID_LAVAudio);
  ASSERT_TRUE(splitter && video && audio);
  const REFERENCE_TIME origin = SteadyClockTime();
  TAudioTimeSource fast = [origin] { return (SteadyClockTime() - origin) * 10; };
  auto renderer =
      MakeCom<TAudioRenderer>([fast] { return std::make_unique<TNullAudioDevice>(fast); }, fast);
  auto sink = MakeCom<fxt::TCollectSink>(MEDIATYPE_Video, false);
  auto graph = CreateFilterGraph();
  graph->AddFilter(splitter.get(), u"LAV source");
  graph->AddFilter(renderer.get(), u"MPC Audio out");
  graph->AddFilter(video.get(), u"LAV Video decoder");
  graph->AddFilter(audio.get(), u"LAV Audio decoder");
  graph->AddFilter(sink.get(), u"sink");
  auto source = splitter.As<IFileSourceFilter>();
  ASSERT_EQ(source->Load(ds::ToUtf16(fxt::Fixture("mkv")).c_str(), nullptr), S_OK);
  auto settings = video.As<ILAVVideoSettings>();
  ASSERT_TRUE(settings);
  settings->SetRuntimeConfig(BOOL_TRUE);
  ASSERT_EQ(fxt::ConnectByName(graph.get(), splitter.get(), "Video", video.get(), "In"), S_OK);
  ASSERT_EQ(fxt::ConnectByName(graph.get(), video.get(), "Out", sink.get(), "In"), S_OK);
  ASSERT_EQ(fxt::ConnectByName(graph.get(), splitter.get(), "Audio", audio.get(), "In"), S_OK);
  ASSERT_EQ(fxt::ConnectByName(graph.get(), audio.get(), "Out", renderer.get(),
                               "Audio Input pin (rendered)"),
            S_OK);
  graph->SetDefaultSyncSource();
  auto control = graph.As<IMediaControl>();
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  LONGLONG pos = 6000000;
  ASSERT_EQ(
      graph.As<IMediaSeeking>()->SetPositions(
          &pos, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame | AM_SEEKING_ReturnTime,
          nullptr, AM_SEEKING_NoPositioning),
      S_OK);
  EXPECT_NEAR(fxt::Seconds(pos), 0.5, 0.03);  // the key frame of frame 12
  EXPECT_EQ(sink->Flushes(), 1);
  ASSERT_TRUE(fxt::RunToCompletion(graph.get(), 20000));
  EXPECT_EQ(sink->Count(), 38u);  // from the key frame at 0.48 s
  control->Stop();
}
