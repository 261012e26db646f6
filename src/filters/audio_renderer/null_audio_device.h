#pragma once
// TNullAudioDevice: consumes frames at the rate of a clock and plays
// nothing; TWavAudioDevice: the same, writing the rendered frames to a WAV
// file as they are consumed.

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "filters/audio_renderer/audio_device.h"

class TNullAudioDevice : public TAudioDevice {
 public:
  explicit TNullAudioDevice(TAudioTimeSource time = SteadyClockTime);
  ~TNullAudioDevice() override;

  bool Open(int sampleRate, int channels, TAudioSource* source) override;
  void Close() override;
  void SetPaused(bool paused) override;
  REFERENCE_TIME Now() override { return fTime(); }
  int LatencyFrames() override { return 0; }
  std::string Name() const override { return "null"; }

 protected:
  // Called on the device thread with each pulled block (rendered frames
  // first, `rendered` of `frames`).
  virtual void Consumed(const float* data, int frames, int rendered);
  int Channels() const { return fChannels; }
  int SampleRate() const { return fRate; }

 private:
  void ThreadLoop();

  const TAudioTimeSource fTime;
  std::mutex fLock;
  std::condition_variable fWake;
  std::thread fThread;
  bool fStop = false;
  bool fPaused = true;
  TAudioSource* fSource = nullptr;
  int fRate = 0;
  int fChannels = 0;
  REFERENCE_TIME fResumeTime = 0;    // time the device last started playing
  std::int64_t fFramesAtResume = 0;  // frames consumed before that
  std::int64_t fConsumed = 0;
  std::vector<float> fBuffer;
};

class TWavAudioDevice final : public TNullAudioDevice {
 public:
  explicit TWavAudioDevice(std::string path, TAudioTimeSource time = SteadyClockTime);
  ~TWavAudioDevice() override;

  bool Open(int sampleRate, int channels, TAudioSource* source) override;
  void Close() override;
  std::string Name() const override { return "wav"; }

 protected:
  void Consumed(const float* data, int frames, int rendered) override;

 private:
  void WriteHeader();

  const std::string fPath;
  std::FILE* fFile = nullptr;
  std::uint32_t fDataBytes = 0;
};
