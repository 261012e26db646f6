#pragma once
// TSdlAudioDevice: the system's default output through SDL2 audio. SDL
// converts the float frames to whatever the hardware takes; the callback
// pulls from the source on SDL's audio thread.

#include <cstdint>

#include "filters/audio_renderer/audio_device.h"

class TSdlAudioDevice final : public TAudioDevice {
 public:
  TSdlAudioDevice();
  ~TSdlAudioDevice() override;

  bool Open(int sampleRate, int channels, TAudioSource* source) override;
  void Close() override;
  void SetPaused(bool paused) override;
  REFERENCE_TIME Now() override { return SteadyClockTime(); }
  int LatencyFrames() override { return fLatency; }
  std::string Name() const override { return "default"; }

 private:
  static void Callback(void* userdata, std::uint8_t* stream, int len);

  bool fInitialised = false;
  std::uint32_t fDevice = 0;
  TAudioSource* fSource = nullptr;
  int fChannels = 0;
  int fLatency = 0;
};
