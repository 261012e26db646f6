// Volume, mute and the audio that reaches the device.
#include <cmath>
#include <cstring>

#include "audio/wav_file.h"
#include "media_fixtures.h"
#include "player_fixture.h"

namespace etest {
namespace {

class VolumeTest : public PlayerTest {
 protected:
  LONG RendererVolume() {
    LONG v = 1;
    ComPtr<IBaseFilter>(player->AudioRenderer()).As<IBasicAudio>()->get_Volume(&v);
    return v;
  }
};

TEST_F(VolumeTest, TheAttenuationFollowsTheVolumeScale) {
  Create();
  struct Case {
    int volume;
    LONG hundredthsDb;
  };
  for (const Case c : {Case{50, -1505}, Case{10, -5000}, Case{2, -8495}, Case{1, -10000},
                       Case{100, 0}, Case{71, -744}}) {
    player->SetVolume(c.volume);
    EXPECT_EQ(player->Volume(), c.volume);
    EXPECT_EQ(RendererVolume(), c.hundredthsDb) << c.volume;
  }
}

TEST_F(VolumeTest, VolumesAreClampedAndOnlyChangesArePosted) {
  Create();
  player->SetVolume(0);
  player->SetVolume(-5);  // clamps to 1 again: no change
  player->SetVolume(150);
  player->SetVolume(100);  // the same value again
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYERVOLUME, 1, 0}, {WM_PLAYERVOLUME, 100, 0}}));
  EXPECT_EQ(player->Volume(), 100);
  EXPECT_EQ(RendererVolume(), 0);
}

TEST_F(VolumeTest, MuteRemembersTheVolume) {
  Create();
  player->SetVolume(60);
  Take();
  player->SetMute(true);
  EXPECT_TRUE(player->GetMute());
  EXPECT_EQ(player->Volume(), 1);
  EXPECT_EQ(RendererVolume(), -10000);
  player->SetMute(true);  // already muted
  player->SetMute(false);
  EXPECT_FALSE(player->GetMute());
  EXPECT_EQ(player->Volume(), 60);
  EXPECT_EQ(Take(), (std::vector<TMessage>{{WM_PLAYERVOLUME, 1, 0}, {WM_PLAYERVOLUME, 60, 0}}));
  player->SetMute(false);  // not muted: nothing happens
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(player->Volume(), 60);
}

TEST_F(VolumeTest, MuteObserverIsCalled) {
  Create();
  player->SetVolume(30);
  std::vector<bool> seen;
  player->OnMute = [&](bool v) { seen.push_back(v); };
  player->SetMute(true);
  player->SetMute(false);
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(VolumeTest, WithoutAnAudioRendererVolumeDoesNothing) {
  Create({.audioRenderer = false});
  ASSERT_TRUE(player->ErrorMessage.empty());
  EXPECT_EQ(player->AudioRenderer(), nullptr);
  player->SetVolume(50);
  player->SetMute(true);
  EXPECT_EQ(player->Volume(), 0);
  EXPECT_FALSE(player->GetMute());
  EXPECT_TRUE(Take().empty());
  // Files still open and play, without sound.
  ASSERT_TRUE(player->OpenFile(Fixture("av_single")));
  EXPECT_FALSE(GraphFilter(u"MPC Audio out"));
  player->Play();
  ASSERT_TRUE(WaitForState(0));
}

// Root mean square of the captured samples.
// The capture device writes 32-bit float samples.
double Rms(const std::string& wav) {
  WavAudio audio;
  std::string error;
  if (!ReadWavFile(wav, audio, error) || !audio.is_float || audio.bits != 32) return -1;
  const std::size_t n = audio.data.size() / sizeof(float);
  if (n == 0) return -1;
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    float s = 0;
    std::memcpy(&s, audio.data.data() + i * sizeof(float), sizeof s);
    sum += static_cast<double>(s) * s;
  }
  return std::sqrt(sum / static_cast<double>(n));
}

TEST_F(VolumeTest, TheSoundReachesTheDeviceAndMuteSilencesIt) {
  const std::string loud = std::string(LUMORA_TEST_BIN_DIR) + "/engine_loud.wav";
  const std::string quiet = std::string(LUMORA_TEST_BIN_DIR) + "/engine_quiet.wav";
  for (const auto& [path, mute] : {std::pair{loud, false}, std::pair{quiet, true}}) {
    Create({.wavPath = path, .speed = 4});
    player->SetVolume(100);
    if (mute) player->SetMute(true);
    ASSERT_TRUE(player->OpenFile(Fixture("av_single")));
    player->Play();
    ASSERT_TRUE(WaitForState(0));
    player->Kill();
    player.reset();  // closes the device, which completes the file
  }
  // The source is a sine at 1/8 of full scale (RMS 0.088).
  EXPECT_GT(Rms(loud), 0.03);
  EXPECT_LT(Rms(quiet), 1e-3);
}

}  // namespace
}  // namespace etest
