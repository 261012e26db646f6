#include "filters/audio_renderer/audio_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "filters/audio_renderer/null_audio_device.h"

namespace {

constexpr REFERENCE_TIME kRingLength = UNITS / 2;            // queued audio
constexpr REFERENCE_TIME kGapTolerance = 20 * MILLISECONDS;  // ignored time stamp jitter
constexpr REFERENCE_TIME kMaxGap = 10 * UNITS;               // longer gaps restart the timing
constexpr double kGainTimeConstant = 0.005;                  // seconds
constexpr auto kDrainPoll = std::chrono::milliseconds(5);

std::int64_t TimeToFrames(REFERENCE_TIME t, int rate) { return t * rate / UNITS; }
REFERENCE_TIME FramesToTime(std::int64_t frames, int rate) {
  return rate > 0 ? frames * UNITS / rate : 0;
}

float GainOf(LONG hundredthsDb) {
  if (hundredthsDb <= -10000) return 0.0f;
  return static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

// Interleaved PCM of the given format to float, n samples (frames x channels).
void ToFloat(const BYTE* src, std::size_t n, const TPcmFormat& f, float* dst) {
  if (f.isFloat) {
    std::memcpy(dst, src, n * sizeof(float));
    return;
  }
  switch (f.bits) {
    case 8:
      for (std::size_t i = 0; i < n; ++i) dst[i] = (static_cast<int>(src[i]) - 128) / 128.0f;
      break;
    case 16:
      for (std::size_t i = 0; i < n; ++i) {
        std::int16_t v;
        std::memcpy(&v, src + 2 * i, 2);
        dst[i] = v / 32768.0f;
      }
      break;
    case 24:
      for (std::size_t i = 0; i < n; ++i) {
        const BYTE* p = src + 3 * i;
        std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                   static_cast<std::uint32_t>(p[1]) << 16 |
                                                   static_cast<std::uint32_t>(p[2]) << 24) >>
                         8;
        dst[i] = static_cast<float>(v / 8388608.0);
      }
      break;
    default:
      for (std::size_t i = 0; i < n; ++i) {
        std::int32_t v;
        std::memcpy(&v, src + 4 * i, 4);
        dst[i] = static_cast<float>(v / 2147483648.0);
      }
      break;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Clock

TAudioRendererClock::TAudioRendererClock(TAudioRenderer* renderer, IUnknown* owner)
    : TBCBaseReferenceClock(true, owner), fRenderer(renderer) {}

TAudioRendererClock::~TAudioRendererClock() { StopScheduler(); }

REFERENCE_TIME TAudioRendererClock::GetPrivateTime() { return fRenderer->ClockTime(); }

// ---------------------------------------------------------------------------
// Renderer

TAudioRenderer::TAudioRenderer(TAudioDeviceFactory factory, TAudioTimeSource time)
    : ComExtend("Audio Renderer", CLSID_DSoundRender),
      fFactory(factory ? std::move(factory)
                       : TAudioDeviceFactory([] { return CreateAudioDevice(AudioOutSetting()); })),
      fTime(std::move(time)) {
  fClock = std::make_unique<TAudioRendererClock>(this, GetUnknown());
  fFreeOffset = 0;
}

TAudioRenderer::~TAudioRenderer() {
  CloseDevice();
  fClock.reset();
}

HRESULT TAudioRenderer::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IReferenceClock::iid) {
    IReferenceClock* clock = fClock.get();
    if (!clock) return E_NOINTERFACE;
    *ppv = clock;
    clock->AddRef();
    return S_OK;
  }
  return ComExtend::NonDelegatingQueryInterface(riid, ppv);
}

std::unique_ptr<TBCRendererInputPin> TAudioRenderer::CreateInputPin() {
  return std::make_unique<TBCRendererInputPin>(this, kPinName);
}

// ---------------------------------------------------------------------------
// Connection and device

HRESULT TAudioRenderer::CheckMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  return ParsePcmMediaType(*mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TAudioRenderer::SetMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  const auto format = ParsePcmMediaType(*mt);
  if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
  fFormat = *format;
  return OpenDevice(*format) ? S_OK : VFW_E_NO_AUDIO_HARDWARE;
}

HRESULT TAudioRenderer::BreakConnect() {
  CloseDevice();
  fFormat = {};
  return S_OK;
}

bool TAudioRenderer::OpenDevice(const TPcmFormat& format) {
  std::lock_guard deviceLock(fDeviceLock);
  if (fDevice) fDevice->Close();
  fDevice.reset();
  const int rate = static_cast<int>(format.sampleRate);
  const int channels = format.channels;
  {
    std::lock_guard lock(fAudioLock);
    GoFreeLocked(fTime());
    fRate = rate;
    fChannels = channels;
    fRingFrames =
        static_cast<std::size_t>(std::max<std::int64_t>(TimeToFrames(kRingLength, rate), 1024));
    fRing.assign(fRingFrames * static_cast<std::size_t>(channels), 0.0f);
    ClearRingLocked();
    fWriteValid = false;
    fGain.assign(static_cast<std::size_t>(channels), 0.0f);
    for (int c = 0; c < channels; ++c)
      fGain[static_cast<std::size_t>(c)] = channels == 1 ? fVolumeGain
                                           : c < 2       ? fGainTarget[c]
                                                         : fVolumeGain;
  }
  std::unique_ptr<TAudioDevice> device = fFactory();
  if (!device || !device->Open(rate, channels, this)) {
    // No usable output: keep time without sound.
    device = std::make_unique<TNullAudioDevice>(fTime);
    if (!device->Open(rate, channels, this)) return false;
  }
  {
    std::lock_guard lock(fAudioLock);
    fLatency = device->LatencyFrames();
  }
  bool playing;
  {
    std::lock_guard lock(fAudioLock);
    playing = fPlaying;
  }
  device->SetPaused(!playing);
  fDevice = std::move(device);
  return true;
}

void TAudioRenderer::CloseDevice() {
  std::lock_guard deviceLock(fDeviceLock);
  if (fDevice) fDevice->Close();
  fDevice.reset();
  std::lock_guard lock(fAudioLock);
  GoFreeLocked(fTime());
  ClearRingLocked();
  fChanged.notify_all();
}

std::string TAudioRenderer::DeviceName() {
  std::lock_guard deviceLock(fDeviceLock);
  return fDevice ? fDevice->Name() : std::string();
}

// ---------------------------------------------------------------------------
// State

HRESULT TAudioRenderer::Stop() {
  {
    std::lock_guard lock(fAudioLock);
    fAbort = true;
    ++fAbortEpoch;
    fPlaying = false;
    GoFreeLocked(fTime());
    fChanged.notify_all();
  }
  {
    std::lock_guard deviceLock(fDeviceLock);
    if (fDevice) fDevice->SetPaused(true);
  }
  const HRESULT hr = ComExtend::Stop();
  std::lock_guard lock(fAudioLock);
  ClearRingLocked();
  fWriteValid = false;
  fAbort = false;
  return hr;
}

HRESULT TAudioRenderer::Pause() {
  {
    std::lock_guard lock(fAudioLock);
    fPlaying = false;
    GoFreeLocked(fTime());
  }
  {
    std::lock_guard deviceLock(fDeviceLock);
    if (fDevice) fDevice->SetPaused(true);
  }
  return ComExtend::Pause();
}

HRESULT TAudioRenderer::Run(REFERENCE_TIME tStart) {
  const HRESULT hr = ComExtend::Run(tStart);
  if (FAILED(hr)) return hr;
  {
    std::lock_guard lock(fAudioLock);
    fPlaying = true;
  }
  std::lock_guard deviceLock(fDeviceLock);
  if (fDevice) fDevice->SetPaused(false);
  return hr;
}

HRESULT TAudioRenderer::BeginFlush() {
  {
    std::lock_guard lock(fAudioLock);
    fAbort = true;
    ++fAbortEpoch;
    ClearRingLocked();
    fWriteValid = false;
    fChanged.notify_all();
  }
  return ComExtend::BeginFlush();
}

HRESULT TAudioRenderer::EndFlush() {
  const HRESULT hr = ComExtend::EndFlush();  // waits for a Receive in progress
  std::lock_guard lock(fAudioLock);
  ClearRingLocked();
  fWriteValid = false;
  fAbort = false;
  return hr;
}

// ---------------------------------------------------------------------------
// Streaming

HRESULT TAudioRenderer::ShouldDrawSampleNow(IMediaSample*, REFERENCE_TIME*, REFERENCE_TIME*) {
  // Audio is queued as it comes; the device's pace is the clock.
  return S_OK;
}

HRESULT TAudioRenderer::DoRenderSample(IMediaSample* sample) {
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    const auto format = ParsePcmMediaType(*changed);
    DeleteMediaType(changed);
    if (!format) return VFW_E_INVALIDMEDIATYPE;
    if (!(*format == fFormat)) {
      fFormat = *format;
      if (!OpenDevice(*format)) return VFW_E_NO_AUDIO_HARDWARE;
    }
  }
  const int block = fFormat.BlockAlign();
  const int rate = static_cast<int>(fFormat.sampleRate);
  BYTE* data = nullptr;
  const LONG length = sample->GetActualDataLength();
  if (block <= 0 || FAILED(sample->GetPointer(&data)) || !data || length < block) return S_OK;
  std::int64_t frames = length / block;
  const std::size_t n = static_cast<std::size_t>(frames) * fFormat.channels;
  if (fConverted.size() < n) fConverted.resize(n);
  ToFloat(data, n, fFormat, fConverted.data());
  const float* src = fConverted.data();

  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
  bool valid;
  REFERENCE_TIME writePos;
  {
    std::lock_guard lock(fAudioLock);
    valid = fWriteValid;
    writePos = fWritePos;
  }
  // The stream time at which the kept part of this sample will play.
  REFERENCE_TIME pos = valid ? writePos : 0;
  if (timed) {
    REFERENCE_TIME expected = writePos;
    if (!valid) {
      // Nothing queued: place the data against where the stream is now.
      REFERENCE_TIME now = 0;
      expected = SUCCEEDED(CurrentStreamTime(&now)) ? now : start;
    }
    const REFERENCE_TIME tolerance = valid ? kGapTolerance : 0;
    const REFERENCE_TIME gap = start - expected;
    if (gap > kMaxGap || gap < -kMaxGap) {
      pos = start;  // a jump in the time stamps: take them as they are
    } else if (gap > tolerance) {
      if (!WriteSilence(TimeToFrames(gap, rate))) return S_OK;
      pos = start;
    } else if (gap < -tolerance) {
      const std::int64_t late = std::min(TimeToFrames(-gap, rate), frames);
      src += late * fFormat.channels;
      frames -= late;
      pos = expected;
    } else {
      pos = expected;
    }
  }
  {
    std::lock_guard lock(fAudioLock);
    if (fAbort) return S_OK;
    fWriteValid = true;
    fWritePos = pos + FramesToTime(frames, rate);
  }
  if (frames > 0) Write(src, frames);
  return S_OK;
}

bool TAudioRenderer::Write(const float* data, std::int64_t frames) {
  std::unique_lock lock(fAudioLock);
  while (frames > 0) {
    fChanged.wait(lock, [&] { return fAbort || fRingCount < fRingFrames; });
    if (fAbort || fRing.empty()) return false;
    const std::size_t ch = static_cast<std::size_t>(fChannels);
    const std::size_t space = fRingFrames - fRingCount;
    std::size_t n = std::min<std::size_t>(space, static_cast<std::size_t>(frames));
    const std::size_t writeAt = (fRingRead + fRingCount) % fRingFrames;
    n = std::min(n, fRingFrames - writeAt);
    if (data) {
      std::memcpy(&fRing[writeAt * ch], data, n * ch * sizeof(float));
      data += n * ch;
    } else {
      std::fill_n(&fRing[writeAt * ch], n * ch, 0.0f);
    }
    fRingCount += n;
    frames -= static_cast<std::int64_t>(n);
    fChanged.notify_all();
  }
  return true;
}

bool TAudioRenderer::WriteSilence(std::int64_t frames) { return Write(nullptr, frames); }

HRESULT TAudioRenderer::EndOfStream() {
  {
    // Everything queued must have been heard first.
    std::unique_lock lock(fAudioLock);
    fEndArrived = true;
    const std::uint64_t epoch = fAbortEpoch;
    while (!fAbort && fAbortEpoch == epoch && fRingFrames > 0 && !DrainedLocked(fTime())) {
      fChanged.wait_for(lock, kDrainPoll);
    }
  }
  return ComExtend::EndOfStream();
}

bool TAudioRenderer::DrainedLocked(REFERENCE_TIME now) const {
  return fRingCount == 0 && PlayedFramesLocked(now) >= fPulledTotal;
}

int TAudioRenderer::Pull(float* out, int frames) {
  std::lock_guard lock(fAudioLock);
  const REFERENCE_TIME now = fTime();
  const std::size_t ch = static_cast<std::size_t>(fChannels);
  const std::size_t n =
      fPlaying && !fAbort ? std::min<std::size_t>(static_cast<std::size_t>(frames), fRingCount) : 0;
  if (n > 0 && !fSlaved) {
    fSlaveRef = ClockLocked(now);
    fSlaveFrames = fPulledTotal;
    fSlaved = true;
  } else if (n == 0 && fSlaved) {
    // Starved: the clock runs on by itself, and the next data is placed
    // against it rather than after what was queued.
    GoFreeLocked(now);
    if (fPlaying) fWriteValid = false;
  }
  // Gain ramps towards its target per frame.
  const float k =
      static_cast<float>(1.0 - std::exp(-1.0 / (kGainTimeConstant * std::max(fRate, 1))));
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = ((fRingRead + i) % fRingFrames) * ch;
    for (std::size_t c = 0; c < ch; ++c) {
      const float target = ch == 1 ? fVolumeGain : c < 2 ? fGainTarget[c] : fVolumeGain;
      float& g = fGain[c];
      g += (target - g) * k;
      if (std::fabs(target - g) < 1e-6f) g = target;
      out[i * ch + c] = fRing[at + c] * g;
    }
  }
  std::fill(out + n * ch, out + static_cast<std::size_t>(frames) * ch, 0.0f);
  fRingRead = fRingFrames ? (fRingRead + n) % fRingFrames : 0;
  fRingCount -= n;
  fPulledBefore = fPulledTotal;
  fPulledTotal += static_cast<std::int64_t>(n);
  fLastPull = now;
  fChanged.notify_all();
  return static_cast<int>(n);
}

// ---------------------------------------------------------------------------
// Clock

REFERENCE_TIME TAudioRenderer::ClockTime() {
  std::lock_guard lock(fAudioLock);
  return ClockLocked(fTime());
}

std::int64_t TAudioRenderer::PlayedFramesLocked(REFERENCE_TIME now) const {
  // The device plays what it pulled at its rate, `fLatency` frames behind;
  // it cannot have played more than it was given.
  const std::int64_t elapsed = TimeToFrames(std::max<REFERENCE_TIME>(now - fLastPull, 0), fRate);
  return std::min(fPulledBefore + elapsed - fLatency, fPulledTotal);
}

REFERENCE_TIME TAudioRenderer::ClockLocked(REFERENCE_TIME now) const {
  if (!fSlaved) return now + fFreeOffset;
  const std::int64_t played = std::max<std::int64_t>(PlayedFramesLocked(now) - fSlaveFrames, 0);
  return fSlaveRef + FramesToTime(played, fRate);
}

void TAudioRenderer::GoFreeLocked(REFERENCE_TIME now) {
  if (!fSlaved) return;
  fFreeOffset = ClockLocked(now) - now;
  fSlaved = false;
}

void TAudioRenderer::ClearRingLocked() {
  fEndArrived = false;
  fRingRead = 0;
  fRingCount = 0;
  fChanged.notify_all();
}

// ---------------------------------------------------------------------------
// IBasicAudio

HRESULT TAudioRenderer::put_Volume(LONG lVolume) {
  if (lVolume < -10000 || lVolume > 0) return E_INVALIDARG;
  std::lock_guard lock(fAudioLock);
  fVolume = lVolume;
  const float v = GainOf(lVolume);
  fVolumeGain = v;
  fGainTarget[0] = v * GainOf(fBalance > 0 ? -fBalance : 0);
  fGainTarget[1] = v * GainOf(fBalance < 0 ? fBalance : 0);
  return S_OK;
}

HRESULT TAudioRenderer::get_Volume(LONG* plVolume) {
  if (!plVolume) return E_POINTER;
  std::lock_guard lock(fAudioLock);
  *plVolume = fVolume;
  return S_OK;
}

HRESULT TAudioRenderer::put_Balance(LONG lBalance) {
  if (lBalance < -10000 || lBalance > 10000) return E_INVALIDARG;
  {
    std::lock_guard lock(fAudioLock);
    fBalance = lBalance;
  }
  LONG volume;
  get_Volume(&volume);
  return put_Volume(volume);
}

HRESULT TAudioRenderer::get_Balance(LONG* plBalance) {
  if (!plBalance) return E_POINTER;
  std::lock_guard lock(fAudioLock);
  *plBalance = fBalance;
  return S_OK;
}

bool TAudioRenderer::IsEndOfStreamQueued() {
  std::lock_guard lock(fAudioLock);
  return fEndArrived;
}

bool TAudioRenderer::WaitForQueued(std::int64_t frames, std::chrono::milliseconds timeout) {
  std::unique_lock lock(fAudioLock);
  return fChanged.wait_for(lock, timeout, [&] {
    return static_cast<std::int64_t>(fRingCount) >=
           std::min<std::int64_t>(frames, static_cast<std::int64_t>(fRingFrames));
  });
}

float TAudioRenderer::TargetGain(int channel) {
  std::lock_guard lock(fAudioLock);
  if (fChannels == 1 || channel >= 2) return fVolumeGain;
  return fGainTarget[channel == 1 ? 1 : 0];
}
