#include "filters/audio_renderer/audio_device.h"

#include <chrono>
#include <cstdlib>

#include "filters/audio_renderer/null_audio_device.h"
#include "filters/audio_renderer/sdl_audio_device.h"

REFERENCE_TIME SteadyClockTime() {
  return std::chrono::duration_cast<std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10000000>>>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string AudioOutSetting() {
  const char* v = std::getenv("LUMORA_AUDIO_OUT");
  return v && *v ? std::string(v) : std::string("default");
}

std::unique_ptr<TAudioDevice> CreateAudioDevice(const std::string& spec) {
  if (spec == "null") return std::make_unique<TNullAudioDevice>();
  if (spec.rfind("wav:", 0) == 0 && spec.size() > 4)
    return std::make_unique<TWavAudioDevice>(spec.substr(4));
  return std::make_unique<TSdlAudioDevice>();
}
