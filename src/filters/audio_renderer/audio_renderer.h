#pragma once
// TAudioRenderer: the system audio renderer (CLSID_DSoundRender), built
// into the program. One input pin "Audio Input pin (rendered)" takes
// uncompressed PCM (8, 16, 24, 32-bit integer, 32-bit float, any channel
// layout); the samples are converted to float and queued in a ring that the
// output device pulls from.
//
// - IBasicAudio: volume in hundredths of a decibel (-10000 silence ... 0)
//   and balance; changes are applied at the device as a smooth ramp (5 ms
//   time constant), so they are heard at once and click-free.
// - IReferenceClock: the graph's clock. While audio plays it follows the
//   frames the device has played (its latency included); otherwise it runs
//   on the device's time base from where it was, never jumping back.
// - Samples are written as they arrive while running; a sample that starts
//   after the data already queued gets silence before it, one that starts
//   before the playing position (late) loses its late part, so the audio
//   stays in step with the stream times.
// - End of stream reaches the graph once the device has played everything.
// - Stop and flush drop the queued audio at once.
//
// Threads and locks: the filter lock (application thread), the base
// renderer's receive lock (the upstream streaming thread, around
// DoRenderSample and EndOfStream), fDeviceLock (opening and closing the
// device), fAudioLock (ring, clock and gain state; held only briefly, also
// by the device thread in Pull and by the clock's readers). Order: filter
// lock -> receive lock -> device lock -> audio lock; the clock's own lock
// comes before the audio lock (GetPrivateTime), so nothing calls the clock
// while holding the audio lock.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "directshow/base_renderer.h"
#include "directshow/control_interfaces.h"
#include "directshow/reference_clock.h"
#include "filters/audio_renderer/audio_device.h"
#include "filters/pcm_format.h"

class TAudioRenderer;

class TAudioRendererClock final : public TBCBaseReferenceClock {
 public:
  TAudioRendererClock(TAudioRenderer* renderer, IUnknown* owner);
  ~TAudioRendererClock() override;

 protected:
  REFERENCE_TIME GetPrivateTime() override;

 private:
  TAudioRenderer* const fRenderer;
};

class TAudioRenderer final
    : public ComExtend<TBCBaseRenderer, DispatchNotImpl<IBasicAudio>, IAMFilterMiscFlags>,
      private TAudioSource {
 public:
  static constexpr const char* kPinName = "Audio Input pin (rendered)";

  // `factory` makes the output device for each format (the device named by
  // LUMORA_AUDIO_OUT when empty); `time` is the time base of the clock and
  // of the null device that replaces a device that cannot open.
  explicit TAudioRenderer(TAudioDeviceFactory factory = {},
                          TAudioTimeSource time = SteadyClockTime);
  ~TAudioRenderer() override;

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IMediaFilter
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;

  // IBasicAudio
  HRESULT put_Volume(LONG lVolume) override;
  HRESULT get_Volume(LONG* plVolume) override;
  HRESULT put_Balance(LONG lBalance) override;
  HRESULT get_Balance(LONG* plBalance) override;

  // IAMFilterMiscFlags
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

  // TBCBaseRenderer hooks
  std::unique_ptr<TBCRendererInputPin> CreateInputPin() override;
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT SetMediaType(const TBCMediaType* mt) override;
  HRESULT BreakConnect() override;
  HRESULT ShouldDrawSampleNow(IMediaSample* sample, REFERENCE_TIME* start,
                              REFERENCE_TIME* stop) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // The clock's time (for TAudioRendererClock).
  REFERENCE_TIME ClockTime();
  // Name of the open output device ("default", "null", "wav"), empty when
  // none is open.
  std::string DeviceName();
  // Waits until `frames` frames (at most a full ring) are queued for the
  // device; false on time-out.
  bool WaitForQueued(std::int64_t frames, std::chrono::milliseconds timeout);
  // Whether the end of the stream has arrived (its audio may still play).
  bool IsEndOfStreamQueued();
  // The linear gain the volume and balance ask for on a channel.
  float TargetGain(int channel);

 private:
  // TAudioSource (device thread).
  int Pull(float* out, int frames) override;

  bool OpenDevice(const TPcmFormat& format);
  void CloseDevice();
  // Converts and queues frames; blocks while the ring is full. False when a
  // flush or stop ended the wait.
  bool Write(const float* data, std::int64_t frames);
  bool WriteSilence(std::int64_t frames);
  REFERENCE_TIME ClockLocked(REFERENCE_TIME now) const;
  std::int64_t PlayedFramesLocked(REFERENCE_TIME now) const;
  void GoFreeLocked(REFERENCE_TIME now);
  void ClearRingLocked();
  bool DrainedLocked(REFERENCE_TIME now) const;

  const TAudioDeviceFactory fFactory;
  const TAudioTimeSource fTime;
  std::unique_ptr<TAudioRendererClock> fClock;

  std::mutex fDeviceLock;
  std::unique_ptr<TAudioDevice> fDevice;  // guarded by fDeviceLock

  // Receive-lock state (streaming thread).
  TPcmFormat fFormat;
  std::vector<float> fConverted;

  mutable std::mutex fAudioLock;
  std::condition_variable fChanged;  // ring space, drain, abort
  int fRate = 0;
  int fChannels = 0;
  int fLatency = 0;
  std::vector<float> fRing;
  std::size_t fRingFrames = 0;
  std::size_t fRingRead = 0;
  std::size_t fRingCount = 0;
  bool fPlaying = false;          // running
  bool fAbort = false;            // flushing or stopping
  std::uint64_t fAbortEpoch = 0;  // counts stops and flushes
  bool fWriteValid = false;
  bool fEndArrived = false;      // end of stream received, not flushed since
  REFERENCE_TIME fWritePos = 0;  // stream time where the queued data ends
  // Clock.
  std::int64_t fPulledTotal = 0;   // rendered frames handed to the device
  std::int64_t fPulledBefore = 0;  // ... before the last pull
  REFERENCE_TIME fLastPull = 0;
  bool fSlaved = false;
  REFERENCE_TIME fSlaveRef = 0;
  std::int64_t fSlaveFrames = 0;
  REFERENCE_TIME fFreeOffset = 0;
  // Gain.
  LONG fVolume = 0;
  LONG fBalance = 0;
  float fVolumeGain = 1.0f;             // from the volume
  float fGainTarget[2] = {1.0f, 1.0f};  // front left and right: volume and balance
  std::vector<float> fGain;             // per channel, current
};
