#pragma once
// Audio output devices of the system audio renderer.
//
// A device plays interleaved 32-bit float frames that it pulls from its
// source on a thread of its own. Devices:
// - "default": the system's output through SDL2 audio;
// - "null": no sound, frames are consumed at the rate of a clock (the
//   system's steady clock unless a test injects another);
// - "wav:PATH": as "null", and every frame the renderer rendered is written
//   to the WAV file PATH (32-bit float).
// LUMORA_AUDIO_OUT chooses ("default" when unset or unknown); a device that
// cannot be opened is replaced by the null device, so playback still keeps
// time.

#include <functional>
#include <memory>
#include <string>

#include "platform/com/types.h"

class TAudioSource {
 public:
  // Fills `frames` frames at `out`; returns how many of them are rendered
  // data (the rest is silence because nothing was there). Device thread.
  virtual int Pull(float* out, int frames) = 0;

 protected:
  ~TAudioSource() = default;
};

class TAudioDevice {
 public:
  virtual ~TAudioDevice() = default;

  // Starts the device paused; false when it cannot play this format.
  virtual bool Open(int sampleRate, int channels, TAudioSource* source) = 0;
  // Stops the device thread; no Pull runs after it returns.
  virtual void Close() = 0;
  virtual void SetPaused(bool paused) = 0;
  // The device's monotonic time in 100-ns units (its playing rate's base).
  virtual REFERENCE_TIME Now() = 0;
  // Frames pulled but not yet heard.
  virtual int LatencyFrames() = 0;
  virtual std::string Name() const = 0;
};

// Time source of the null and WAV devices: 100-ns units, monotonic.
using TAudioTimeSource = std::function<REFERENCE_TIME()>;
REFERENCE_TIME SteadyClockTime();

// A device for a LUMORA_AUDIO_OUT value ("default", "null", "wav:PATH").
std::unique_ptr<TAudioDevice> CreateAudioDevice(const std::string& spec);
// The value of LUMORA_AUDIO_OUT, "default" when unset.
std::string AudioOutSetting();
// Makes a device per open (the renderer's injection point).
using TAudioDeviceFactory = std::function<std::unique_ptr<TAudioDevice>()>;
