#include "filters/audio_renderer/sdl_audio_device.h"

#include <SDL.h>

TSdlAudioDevice::TSdlAudioDevice() { fInitialised = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0; }

TSdlAudioDevice::~TSdlAudioDevice() {
  Close();
  if (fInitialised) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool TSdlAudioDevice::Open(int sampleRate, int channels, TAudioSource* source) {
  Close();
  if (!fInitialised || sampleRate <= 0 || channels <= 0 || channels > 8 || !source) return false;
  fSource = source;
  fChannels = channels;
  SDL_AudioSpec want{};
  want.freq = sampleRate;
  want.format = AUDIO_F32SYS;
  want.channels = static_cast<Uint8>(channels);
  want.samples = 1024;
  want.callback = &TSdlAudioDevice::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  fDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (fDevice == 0) {
    fSource = nullptr;
    return false;
  }
  // One buffer in SDL plus about one in the system's mixer.
  fLatency = 2 * have.samples;
  return true;
}

void TSdlAudioDevice::Close() {
  if (fDevice) {
    SDL_CloseAudioDevice(fDevice);  // waits for a callback in progress
    fDevice = 0;
  }
  fSource = nullptr;
}

void TSdlAudioDevice::SetPaused(bool paused) {
  if (fDevice) SDL_PauseAudioDevice(fDevice, paused ? 1 : 0);
}

void TSdlAudioDevice::Callback(void* userdata, std::uint8_t* stream, int len) {
  auto* self = static_cast<TSdlAudioDevice*>(userdata);
  const int frames = len / static_cast<int>(sizeof(float) * self->fChannels);
  self->fSource->Pull(reinterpret_cast<float*>(stream), frames);
}
