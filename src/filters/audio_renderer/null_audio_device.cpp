#include "filters/audio_renderer/null_audio_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
constexpr auto kTick = std::chrono::milliseconds(5);
constexpr int kMaxBlock = 4096;
}  // namespace

TNullAudioDevice::TNullAudioDevice(TAudioTimeSource time) : fTime(std::move(time)) {}

TNullAudioDevice::~TNullAudioDevice() { TNullAudioDevice::Close(); }

bool TNullAudioDevice::Open(int sampleRate, int channels, TAudioSource* source) {
  TNullAudioDevice::Close();
  if (sampleRate <= 0 || channels <= 0 || !source) return false;
  std::lock_guard lock(fLock);
  fSource = source;
  fRate = sampleRate;
  fChannels = channels;
  fPaused = true;
  fStop = false;
  fConsumed = 0;
  fFramesAtResume = 0;
  fBuffer.assign(static_cast<std::size_t>(kMaxBlock) * channels, 0.0f);
  fThread = std::thread([this] { ThreadLoop(); });
  return true;
}

void TNullAudioDevice::Close() {
  {
    std::lock_guard lock(fLock);
    if (!fThread.joinable()) return;
    fStop = true;
  }
  fWake.notify_all();
  fThread.join();
  std::lock_guard lock(fLock);
  fSource = nullptr;
}

void TNullAudioDevice::SetPaused(bool paused) {
  {
    std::lock_guard lock(fLock);
    if (fPaused == paused) return;
    fPaused = paused;
    if (!paused) {
      fResumeTime = fTime();
      fFramesAtResume = fConsumed;
    }
  }
  fWake.notify_all();
}

void TNullAudioDevice::Consumed(const float*, int, int) {}

void TNullAudioDevice::ThreadLoop() {
  std::unique_lock lock(fLock);
  for (;;) {
    fWake.wait_for(lock, kTick, [this] { return fStop; });
    if (fStop) return;
    if (fPaused) continue;
    const REFERENCE_TIME elapsed = fTime() - fResumeTime;
    const std::int64_t due = fFramesAtResume + elapsed * fRate / 10000000 - fConsumed;
    std::int64_t left = std::max<std::int64_t>(due, 0);
    TAudioSource* source = fSource;
    while (left > 0 && !fStop && !fPaused) {
      const int n = static_cast<int>(std::min<std::int64_t>(left, kMaxBlock));
      lock.unlock();
      const int rendered = source->Pull(fBuffer.data(), n);
      Consumed(fBuffer.data(), n, rendered);
      lock.lock();
      fConsumed += n;
      left -= n;
    }
  }
}

// ---------------------------------------------------------------------------

TWavAudioDevice::TWavAudioDevice(std::string path, TAudioTimeSource time)
    : TNullAudioDevice(std::move(time)), fPath(std::move(path)) {}

TWavAudioDevice::~TWavAudioDevice() { TWavAudioDevice::Close(); }

bool TWavAudioDevice::Open(int sampleRate, int channels, TAudioSource* source) {
  TWavAudioDevice::Close();
  fFile = std::fopen(fPath.c_str(), "wb");
  if (!fFile) return false;
  fDataBytes = 0;
  if (!TNullAudioDevice::Open(sampleRate, channels, source)) {
    std::fclose(fFile);
    fFile = nullptr;
    return false;
  }
  WriteHeader();
  return true;
}

void TWavAudioDevice::Close() {
  TNullAudioDevice::Close();
  if (fFile) {
    WriteHeader();
    std::fclose(fFile);
    fFile = nullptr;
  }
}

void TWavAudioDevice::WriteHeader() {
  if (!fFile) return;
  auto put16 = [](std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
  };
  auto put32 = [](std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  const auto ch = static_cast<std::uint16_t>(Channels());
  const auto rate = static_cast<std::uint32_t>(SampleRate());
  std::uint8_t h[44];
  std::memcpy(h, "RIFF", 4);
  put32(h + 4, 36 + fDataBytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put32(h + 16, 16);
  put16(h + 20, 3);  // IEEE float
  put16(h + 22, ch);
  put32(h + 24, rate);
  put32(h + 28, rate * ch * 4);
  put16(h + 32, static_cast<std::uint16_t>(ch * 4));
  put16(h + 34, 32);
  std::memcpy(h + 36, "data", 4);
  put32(h + 40, fDataBytes);
  const long end = std::ftell(fFile);
  std::fseek(fFile, 0, SEEK_SET);
  std::fwrite(h, 1, sizeof h, fFile);
  if (end > static_cast<long>(sizeof h)) std::fseek(fFile, end, SEEK_SET);
  std::fflush(fFile);
}

void TWavAudioDevice::Consumed(const float* data, int, int rendered) {
  if (!fFile || rendered <= 0) return;
  const std::size_t n = static_cast<std::size_t>(rendered) * Channels();
  std::fwrite(data, sizeof(float), n, fFile);
  fDataBytes += static_cast<std::uint32_t>(n * sizeof(float));
  WriteHeader();
}
