#include "counting_audio_device.h"

#include <algorithm>

#include "filters/audio_renderer/null_audio_device.h"

TCountingAudioDevice::TCountingAudioDevice(std::unique_ptr<TAudioDevice> device,
                                           std::shared_ptr<std::atomic<std::int64_t>> counter,
                                           TAudioTimeSource time)
    : fDevice(std::move(device)), fCounter(std::move(counter)), fTime(std::move(time)) {}

bool TCountingAudioDevice::Open(int sampleRate, int channels, TAudioSource* source) {
  fSource = source;
  if (fDevice->Open(sampleRate, channels, this)) return true;
  fDevice = std::make_unique<TNullAudioDevice>(fTime);
  return fDevice->Open(sampleRate, channels, this);
}

int TCountingAudioDevice::Pull(float* out, int frames) {
  TAudioSource* source = fSource.load();
  if (!source) {
    std::fill(out, out + frames, 0.0f);
    return 0;
  }
  const int rendered = source->Pull(out, frames);
  if (rendered > 0) fCounter->fetch_add(rendered, std::memory_order_relaxed);
  return rendered;
}

TAudioTimeSource FastTime(int factor) {
  const REFERENCE_TIME origin = SteadyClockTime();
  return [origin, factor] { return origin + (SteadyClockTime() - origin) * factor; };
}
