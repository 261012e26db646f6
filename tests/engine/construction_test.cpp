// Construction of the player: the missing-modules message, what the
// renderer reports, the effect chain and the audio decoder's configuration.
#include <filesystem>

#include "engine/engine_config.h"
#include "media_fixtures.h"
#include "player_fixture.h"

namespace etest {
namespace {

using ConstructionTest = PlayerTest;

TEST_F(ConstructionTest, MissingAudioDecoderModuleMakesThePlayerUnusable) {
  const std::string empty = std::string(LUMORA_TEST_BIN_DIR) + "/engine_no_filters/";
  std::filesystem::create_directories(empty);
  Create({.filtersPath = empty});
  EXPECT_EQ(player->ErrorMessage,
            std::string("Lumora не может найти файлы, необходимые для работы\r\n"
                        "Переустановите программу, скачав с официального сайта: ") +
                kProductSiteAddress);
  EXPECT_FALSE(player->OpenFile(""));
  EXPECT_TRUE(player->State().Empty());
}

TEST_F(ConstructionTest, ARendererWithoutOpenGLDrawsInSoftware) {
  Create();
  EXPECT_TRUE(player->ErrorMessage.empty());
  EXPECT_TRUE(player->NO_Direct3D);
  EXPECT_FALSE(player->NO_NV12);
  EXPECT_EQ(player->VideoRenderer()->Presenter().TV(), tv);
  EXPECT_EQ(player->VideoRenderer()->Presenter().SUB(), target);
  EXPECT_EQ(player->RealVideoSize, (TSize{1920, 1080}));
  EXPECT_TRUE(player->State().Empty());
}

TEST_F(ConstructionTest, TheChainHasTheEqualizerOffAndTheBoosterOn) {
  Create();
  EXPECT_FALSE(player->GetEQEnable());
  // Only the dynamic amplifier is on; the booster reads it.
  EXPECT_TRUE(player->GetAMPEnable());
  player->SetAMPEnable(false);
  EXPECT_FALSE(player->GetAMPEnable());
  player->SetEQEnable(true);
  EXPECT_TRUE(player->GetEQEnable());
}

TEST_F(ConstructionTest, DynamicAmplifierParametersPassThrough) {
  Create();
  player->SetAMPAttack(1234);
  player->SetAMPRelease(5678);
  player->SetAMPMAX(9000);
  EXPECT_EQ(player->GetAMPAttack(), 1234u);
  EXPECT_EQ(player->GetAMPRelease(), 5678u);
  EXPECT_EQ(player->GetAMPMAX(), 9000u);
}

TEST_F(ConstructionTest, EqualizerBandsMapOntoTheUserScale) {
  Create();
  player->SetEQBand(9, 200);
  EXPECT_EQ(player->getEQBand(9), 200);
  EXPECT_EQ(player->getEQBand(8), 100);  // neighbours stay flat
  player->SetEQBand(0, 37);
  EXPECT_EQ(player->getEQBand(0), 37);
  EXPECT_EQ(player->getEQBand(1), 100);
}

TEST_F(ConstructionTest, TheAudioDecoderIsConfiguredOnce) {
  Create();
  ASSERT_TRUE(player->OpenFile(Fixture("av_single")));
  auto settings = GraphFilter(u"LAV Audio decoder").As<ILAVAudioSettings>();
  ASSERT_TRUE(settings);
  EXPECT_TRUE(FromBOOL(settings->GetRuntimeConfig()));
  EXPECT_TRUE(FromBOOL(settings->GetAutoAVSync()));
  EXPECT_FALSE(FromBOOL(settings->GetTrayIcon()));
  for (int c = 0; c < Codec_AudioNB; ++c)
    EXPECT_TRUE(FromBOOL(settings->GetFormatConfiguration(static_cast<LAVAudioCodec>(c)))) << c;
}

}  // namespace
}  // namespace etest
