#pragma once
// An audio device that passes everything to another device and counts the
// rendered frames the device pulled (the "audio frames" of the summary).
// When the device cannot open, a null device on `time` takes its place, as
// the renderer would do, so the count goes on.

#include <atomic>
#include <cstdint>
#include <memory>

#include "filters/audio_renderer/audio_device.h"

class TCountingAudioDevice final : public TAudioDevice, private TAudioSource {
 public:
  TCountingAudioDevice(std::unique_ptr<TAudioDevice> device,
                       std::shared_ptr<std::atomic<std::int64_t>> counter,
                       TAudioTimeSource time = SteadyClockTime);

  bool Open(int sampleRate, int channels, TAudioSource* source) override;
  void Close() override { fDevice->Close(); }
  void SetPaused(bool paused) override { fDevice->SetPaused(paused); }
  REFERENCE_TIME Now() override { return fDevice->Now(); }
  int LatencyFrames() override { return fDevice->LatencyFrames(); }
  std::string Name() const override { return fDevice->Name(); }

 private:
  int Pull(float* out, int frames) override;

  std::unique_ptr<TAudioDevice> fDevice;
  std::shared_ptr<std::atomic<std::int64_t>> fCounter;
  TAudioTimeSource fTime;
  std::atomic<TAudioSource*> fSource{nullptr};
};

// A time source running `factor` times faster than the steady clock, for the
// null device of untimed playback.
TAudioTimeSource FastTime(int factor);
