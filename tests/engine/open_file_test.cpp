// OpenFile: the graph it builds, the stream table, the notifications, files
// without video or audio, many streams, a second file and rejected files.
#include <filesystem>

#include "media_fixtures.h"
#include "player_fixture.h"

namespace etest {
namespace {

using OpenFileTest = PlayerTest;

TEST_F(OpenFileTest, AVideoWithSoundIsCuedAndReported) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("av")));
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYEROPENED, 320, 240}, {WM_PLAYERSTATE, 2, 0}}));
  EXPECT_EQ(player->State(), (TPlayerState{psOpened, psPlayed}));
  EXPECT_EQ(player->PlayedFile(), Fixture("av"));
  EXPECT_FALSE(player->NOVIDEO);
  EXPECT_FALSE(player->NOAUDIO);
  EXPECT_EQ(player->RealVideoSize, (TSize{320, 240}));
  EXPECT_FALSE(player->FramedTime);
  EXPECT_NEAR(player->Lengths, 2000, 50);
  EXPECT_DOUBLE_EQ(player->LenDT, player->Lengths / 86400000.0);
  EXPECT_TRUE(player->ErrorMessage.empty());
  // Cued: the graph stands stopped.
  auto control = ComPtr<IFilterGraph2>(player->Graph()).As<IMediaControl>();
  OAFilterState state = -1;
  control->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
}

TEST_F(OpenFileTest, TheGraphLinksTheFiltersUnderTheirNames) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("av")));
  auto source = GraphFilter(u"LAV source");
  auto video = GraphFilter(u"LAV Video decoder");
  auto audio = GraphFilter(u"LAV Audio decoder");
  auto dsp = GraphFilter(u"DSP");
  auto sound = GraphFilter(u"MPC Audio out");
  auto render = GraphFilter(u"D2R2 render");
  ASSERT_TRUE(source && video && audio && dsp && sound && render);
  EXPECT_EQ(sound.get(), player->AudioRenderer());
  EXPECT_TRUE(PinConnected(source.get(), u"Video"));
  EXPECT_TRUE(PinConnected(video.get(), u"Out"));
  EXPECT_TRUE(PinConnected(render.get(), u"In"));
  EXPECT_TRUE(PinConnected(audio.get(), u"In"));
  EXPECT_TRUE(PinConnected(dsp.get(), u"In"));
  EXPECT_TRUE(PinConnected(dsp.get(), u"Out"));
  EXPECT_TRUE(PinConnected(sound.get(), u"Audio Input pin (rendered)"));
  EXPECT_TRUE(PinConnected(render.get(), u"SubIn"));
}

TEST_F(OpenFileTest, TheDecodersAreConfigured) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("av")));
  auto split = GraphFilter(u"LAV source").As<ILAVFSettings>();
  ASSERT_TRUE(split);
  LPWSTR languages = nullptr;
  split->GetPreferredLanguages(&languages);
  EXPECT_EQ(std::u16string(languages ? languages : u""), u"rus");
  CoTaskMemFree(languages);
  EXPECT_EQ(split->GetSubtitleMode(), LAVSubtitleMode_Advanced);
  EXPECT_EQ(split->GetMaxQueueMemSize(), 300u);
  EXPECT_FALSE(FromBOOL(split->GetPreferHighQualityAudioStreams()));

  auto video = GraphFilter(u"LAV Video decoder").As<ILAVVideoSettings>();
  ASSERT_TRUE(video);
  EXPECT_FALSE(FromBOOL(video->GetRuntimeConfig()));  // the second pass switches it off
  EXPECT_EQ(video->GetHWAccel(), HWAccel_DXVA2CopyBack);
  EXPECT_EQ(video->GetRGBOutputRange(), LAVRGBRange_Full);
  // Without OpenGL the renderer draws 24-bit RGB only.
  EXPECT_TRUE(FromBOOL(video->GetPixelFormat(LAVOutPixFmt_RGB24)));
  EXPECT_FALSE(FromBOOL(video->GetPixelFormat(LAVOutPixFmt_NV12)));
  EXPECT_FALSE(FromBOOL(video->GetPixelFormat(LAVOutPixFmt_RGB32)));
  EXPECT_EQ(video->GetHWAccelResolutionFlags(), 7u);
  for (int c = 0; c < Codec_VideoNB; ++c)
    EXPECT_TRUE(FromBOOL(video->GetFormatConfiguration(static_cast<LAVVideoCodec>(c)))) << c;
}

TEST_F(OpenFileTest, TheStreamTableListsEveryStream) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("av")));
  ASSERT_EQ(player->StreamsCount, 5);  // video, two audio, subtitles, "no subtitles"
  std::vector<int> groups;
  for (int i = 0; i < player->StreamsCount; ++i) groups.push_back(player->Streams[i].mtype);
  EXPECT_EQ(groups, (std::vector<int>{0, 1, 1, 2, 2}));
  EXPECT_TRUE(player->Streams[0].active);
  // The splitter prefers the Russian audio stream; the table says so.
  EXPECT_FALSE(player->Streams[1].active);
  EXPECT_TRUE(player->Streams[2].active);
  for (int i = 0; i < player->StreamsCount; ++i) EXPECT_FALSE(player->Streams[i].name.empty()) << i;
}

TEST_F(OpenFileTest, AnAudioFileShowsTheLogoAndSeeks) {
  Create({.speed = 4});
  ASSERT_TRUE(player->OpenFile(Fixture("audio_only")));
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYEROPENED, 1920, 1080}, {WM_PLAYERSTATE, 2, 0}}));
  EXPECT_TRUE(player->NOVIDEO);
  EXPECT_FALSE(player->NOAUDIO);
  EXPECT_EQ(player->RealVideoSize, (TSize{1920, 1080}));
  EXPECT_FALSE(GraphFilter(u"D2R2 render"));
  EXPECT_TRUE(ShowsLogo());
  player->SetPosition(1000);
  EXPECT_NEAR(player->GetPosition(), 1000, 60);
  player->Play();
  ASSERT_TRUE(WaitForState(0));
  EXPECT_GE(player->GetPosition(), 1900);
}

TEST_F(OpenFileTest, AVideoWithoutSoundLeavesTheEffectFilterUnconnected) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("video_only")));
  EXPECT_TRUE(player->NOAUDIO);
  EXPECT_FALSE(player->NOVIDEO);
  EXPECT_EQ(player->RealVideoSize, (TSize{160, 120}));
  EXPECT_FALSE(PinConnected(GraphFilter(u"DSP").get(), u"In"));
  EXPECT_FALSE(PinConnected(player->AudioRenderer(), u"Audio Input pin (rendered)"));
  player->Play();
  ASSERT_TRUE(WaitForState(0));
}

TEST_F(OpenFileTest, AtMost32StreamsAreListed) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("streams40")));
  EXPECT_EQ(player->StreamsCount, 32);
  EXPECT_EQ(player->Streams[0].mtype, 0);
  int activeAudio = 0;
  for (int i = 1; i < 32; ++i) {
    EXPECT_EQ(player->Streams[i].mtype, 1) << i;
    activeAudio += player->Streams[i].active;
  }
  EXPECT_EQ(activeAudio, 1);
}

TEST_F(OpenFileTest, ASecondFileReplacesTheFirstWithoutLoadingTheModulesAgain) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("av")));
  player->Play();
  ComPtr<IFilterGraph2> first(player->Graph());
  auto firstControl = first.As<IMediaControl>();
  ASSERT_TRUE(WaitFor([&] { return player->GetPosition() > 100; }));
  Take();

  ASSERT_TRUE(player->OpenFile(Fixture("av_single")));
  EXPECT_NE(player->Graph(), first.get());
  OAFilterState state = -1;
  firstControl->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(player->SplitterModuleLoads(), 1);
  EXPECT_EQ(player->VideoModuleLoads(), 1);
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYEROPENED, 160, 120}, {WM_PLAYERSTATE, 2, 0}}));
  // The table is rebuilt: two streams, nothing left of the first file's five.
  EXPECT_EQ(player->StreamsCount, 2);
  EXPECT_TRUE(player->Streams[1].active);
  for (int i = 2; i < kMaxStreams; ++i) {
    EXPECT_TRUE(player->Streams[i].name.empty()) << i;
    EXPECT_FALSE(player->Streams[i].active) << i;
  }
  player->Play();
  ASSERT_TRUE(WaitFor([&] { return player->GetPosition() > 100; }));
}

TEST_F(OpenFileTest, ARejectedFileFailsWithTheLogo) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("av_single")));
  Take();
  EXPECT_FALSE(player->OpenFile(Fixture("garbage")));
  EXPECT_EQ(player->ErrorMessage, "Неизвестный формат файла");
  EXPECT_TRUE(player->State().Empty());
  EXPECT_TRUE(ShowsLogo());
  EXPECT_TRUE(Take().empty());
  // Transport does nothing without a graph.
  player->Play();
  player->Stop();
  EXPECT_TRUE(player->State().Empty());
  EXPECT_EQ(Take(), (std::vector<TMessage>{}));
}

TEST_F(OpenFileTest, AMissingFileIsRejectedToo) {
  Create();
  EXPECT_FALSE(player->OpenFile(std::string(LUMORA_TEST_BIN_DIR) + "/no such file.mkv"));
  EXPECT_EQ(player->ErrorMessage, "Неизвестный формат файла");
}

TEST_F(OpenFileTest, NoGraphManagerGivesItsMessage) {
  Create({.graphManager = false});
  EXPECT_FALSE(player->OpenFile(Fixture("av_single")));
  EXPECT_EQ(player->ErrorMessage, "Could not create the Filtergraph");
  EXPECT_TRUE(ShowsLogo());
}

TEST_F(OpenFileTest, MissingDecoderModulesGiveTheirMessages) {
  // A folder with the audio decoder only: the splitter is missing.
  const std::string dir = std::string(LUMORA_TEST_BIN_DIR) + "/engine_audio_only_filters/";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(std::string(LUMORA_FILTERS_DIR) + "/LAVAudio.ax", dir + "LAVAudio.ax",
                             std::filesystem::copy_options::overwrite_existing);
  Create({.filtersPath = dir});
  ASSERT_TRUE(player->ErrorMessage.empty());
  EXPECT_FALSE(player->OpenFile(Fixture("av_single")));
  EXPECT_EQ(player->ErrorMessage,
            "Could not create the haali check if  splitter is installed and registered.");
  std::filesystem::copy_file(std::string(LUMORA_FILTERS_DIR) + "/LAVSplitter.ax",
                             dir + "LAVSplitter.ax",
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_FALSE(player->OpenFile(Fixture("av_single")));
  EXPECT_EQ(player->ErrorMessage,
            "Could not create the haali check if Haali splitter is installed and registered.");
}

}  // namespace
}  // namespace etest
