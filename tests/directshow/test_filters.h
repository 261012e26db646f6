#pragma once
// Small synthetic filters for the framework's tests and benchmark:
// - TNumberedSource: pins that push numbered, time-stamped samples (frame n
//   starts at n * frame duration of the media time line, is a key frame when
//   n is a multiple of keyInterval, and carries n in its first 8 bytes); or
//   that never deliver anything (silent).
// - TPassThrough: a transform that copies each sample; it can drop samples
//   (Transform answers S_FALSE) and can misbehave by holding one sample back
//   across a flush and delivering it afterwards.
// - TCollectingRenderer: a video renderer that records what it is given.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "directshow/base_renderer.h"
#include "directshow/rendered_input_pin.h"
#include "directshow/source.h"
#include "directshow/source_seeking.h"
#include "directshow/transform_filter.h"
#include "directshow/video_renderer.h"

namespace dstest {

inline constexpr REFERENCE_TIME kFrame = 400000;  // 40 ms
inline constexpr CLSID CLSID_NumberedSource = MakeGuid("{6F1E0C55-0001-4A1B-9C3D-5E7F8A9B0C1D}");
inline constexpr CLSID CLSID_PassThrough = MakeGuid("{6F1E0C55-0002-4A1B-9C3D-5E7F8A9B0C1D}");
inline constexpr CLSID CLSID_Collector = MakeGuid("{6F1E0C55-0003-4A1B-9C3D-5E7F8A9B0C1D}");

TBCMediaType TestVideoType();

// The frame number a sample carries.
std::int64_t SampleNumber(IMediaSample* sample);

class TNumberedSource;

class TNumberedStream : public TBCSourceStream {
 public:
  TNumberedStream(TNumberedSource* source, std::string name, bool silent);

  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT OnThreadStartPlay() override;
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT DoBufferProcessingLoop() override;

  // Samples handed to Deliver so far.
  int Delivered();

 private:
  TNumberedSource* const fOwner;
  const bool fSilent;
  std::int64_t fNext = 0;  // streaming thread only
  std::int64_t fFirst = 0;
  bool fDiscontinuity = false;
  std::mutex fLock;
  int fDelivered = 0;
};

class TNumberedSeeking : public TBCSourceSeeking {
 public:
  TNumberedSeeking(TNumberedSource* source, REFERENCE_TIME duration, int keyInterval);

 protected:
  REFERENCE_TIME SnapToKeyFrame(REFERENCE_TIME target) override;

 private:
  const int fKeyInterval;
};

class TNumberedSource : public TBCSource {
 public:
  // frames: length of the stream; silentPins: extra pins that never deliver.
  TNumberedSource(std::int64_t frames, int pins = 1, int silentPins = 0, int keyInterval = 1);
  ~TNumberedSource() override;

  TNumberedStream* Stream(int i) { return fStreams[static_cast<std::size_t>(i)].get(); }
  std::int64_t Frames() const { return fFrames; }
  int KeyInterval() const { return fKeyInterval; }

 private:
  const std::int64_t fFrames;
  const int fKeyInterval;
  std::vector<std::unique_ptr<TNumberedStream>> fStreams;
};

class TPassThrough : public TBCTransformFilter {
 public:
  TPassThrough();

  HRESULT CheckInputType(const TBCMediaType* mt) override;
  HRESULT CheckTransform(const TBCMediaType* in, const TBCMediaType* out) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT EndFlush() override;
  HRESULT Stop() override;
  ~TPassThrough() override;

  // Samples whose number is a multiple of `every` are dropped (0: none).
  void DropEvery(int every) { fDropEvery = every; }
  // Keeps the next output sample and delivers it again, from a thread of its
  // own, after the next flush.
  void HoldBackAcrossFlush() { fHoldBack = true; }
  // Waits until that late delivery returned (false after the guard time-out:
  // the renderer took the sample and blocked on it); its result.
  bool WaitHeldDelivered(HRESULT* result);

 private:
  std::atomic<int> fDropEvery{0};
  std::atomic<bool> fHoldBack{false};
  std::mutex fHeldLock;
  std::condition_variable fHeldDone;
  bool fHeldDelivered = false;
  HRESULT fHeldResult = S_OK;
  ComPtr<IMediaSample> fHeld;
  std::thread fLate;
};

struct Rendered {
  std::int64_t number;
  REFERENCE_TIME start;
  REFERENCE_TIME clockTime;  // stream time when drawn
  bool firstWhilePaused;     // shown by OnReceiveFirstSample
};

class TCollectingRenderer : public TBCBaseVideoRenderer {
 public:
  // withSubPin: a second, rendered input pin "SubIn" (renders nothing).
  explicit TCollectingRenderer(bool withSubPin = false);
  ~TCollectingRenderer() override;

  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  void OnReceiveFirstSample(IMediaSample* sample) override;

  std::vector<Rendered> Log();
  std::vector<std::int64_t> Drawn();  // numbers drawn by DoRenderSample
  // Waits until `count` entries are logged (guard time-out only).
  bool WaitForLog(std::size_t count);
  void ClearLog();
  TBCRenderedInputPin* SubPin() { return fSubPin.get(); }

 private:
  void Record(IMediaSample* sample, bool first);

  std::unique_ptr<TBCRenderedInputPin> fSubPin;
  std::mutex fLock;
  std::condition_variable fChanged;
  std::vector<Rendered> fLog;
};

// A rendered pin that accepts anything (the subtitle-style second input).
class TAnyRenderedPin : public TBCRenderedInputPin {
 public:
  using TBCRenderedInputPin::TBCRenderedInputPin;
  HRESULT CheckMediaType(const TBCMediaType*) override { return S_OK; }
};

}  // namespace dstest
