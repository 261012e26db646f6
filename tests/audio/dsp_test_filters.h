#pragma once
// Synthetic filters for the effect filter's graph tests:
// - TPcmPushSource: output pins ("Out0", "Out1", ...) that deliver the
//   samples a test pushes, synchronously on the test's thread, so every
//   buffer's way through the graph is finished when Push returns. Each pin
//   answers IMediaSeeking with a recording stand-in.
// - TPcmSink: a renderer-like filter with one input "In" that keeps a copy
//   of every sample it receives, its end of stream and its flushes.
// - TPcmPassThrough: a transform that copies audio samples (for chains
//   between two effect filters).
// - PCM media types.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "directshow/dshow.h"
#include "directshow/input_pin.h"
#include "directshow/output_pin.h"
#include "directshow/transform_filter.h"

namespace dsptest {

inline constexpr CLSID CLSID_PcmPushSource = MakeGuid("{7A2E1D40-0001-4C6B-8E5F-1A2B3C4D5E6F}");
inline constexpr CLSID CLSID_PcmSink = MakeGuid("{7A2E1D40-0002-4C6B-8E5F-1A2B3C4D5E6F}");
inline constexpr CLSID CLSID_PcmPassThrough = MakeGuid("{7A2E1D40-0003-4C6B-8E5F-1A2B3C4D5E6F}");

// A WAVEFORMATEX audio type.
TBCMediaType PcmType(int rate, int channels, int bits, WORD tag = WAVE_FORMAT_PCM,
                     const GUID& subtype = MEDIASUBTYPE_PCM);
// A WAVEFORMATEXTENSIBLE audio type with the given sub-format.
TBCMediaType ExtensibleType(int rate, int channels, int bits, const GUID& subFormat);

// IMediaSeeking of a push pin: reports a fixed duration and records the
// positions it is asked to seek to.
class TRecordingSeeking : public ComObject<IMediaSeeking> {
 public:
  explicit TRecordingSeeking(IUnknown* owner) : ComObject(owner) {}

  HRESULT GetCapabilities(DWORD* p) override;
  HRESULT CheckCapabilities(DWORD* p) override;
  HRESULT IsFormatSupported(const GUID* f) override;
  HRESULT QueryPreferredFormat(GUID* f) override;
  HRESULT GetTimeFormat(GUID* f) override;
  HRESULT IsUsingTimeFormat(const GUID* f) override;
  HRESULT SetTimeFormat(const GUID* f) override;
  HRESULT GetDuration(LONGLONG* d) override;
  HRESULT GetStopPosition(LONGLONG* s) override;
  HRESULT GetCurrentPosition(LONGLONG* c) override;
  HRESULT ConvertTimeFormat(LONGLONG* t, const GUID* tf, LONGLONG s, const GUID* sf) override;
  HRESULT SetPositions(LONGLONG* c, DWORD cf, LONGLONG* s, DWORD sf) override;
  HRESULT GetPositions(LONGLONG* c, LONGLONG* s) override;
  HRESULT GetAvailable(LONGLONG* e, LONGLONG* l) override;
  HRESULT SetRate(double r) override;
  HRESULT GetRate(double* r) override;
  HRESULT GetPreroll(LONGLONG* p) override;

  static constexpr LONGLONG kDuration = 60 * UNITS;
  std::vector<LONGLONG> Seeks();

 private:
  std::mutex fLock;
  LONGLONG fPosition = 0;
  std::vector<LONGLONG> fSeeks;
};

class TPcmPushSource;

class TPcmPushPin : public TBCBaseOutputPin {
 public:
  TPcmPushPin(TPcmPushSource* source, std::string name, TBCMediaType type);

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  // Delivers one sample of the given bytes; times in 100-ns units (none
  // when start is unset); a type to attach; downstream's answer.
  HRESULT Push(const void* data, LONG bytes, std::optional<REFERENCE_TIME> start = std::nullopt,
               std::optional<REFERENCE_TIME> stop = std::nullopt,
               const AM_MEDIA_TYPE* type = nullptr);
  template <class T>
  HRESULT Push(const std::vector<T>& v, std::optional<REFERENCE_TIME> start = std::nullopt,
               std::optional<REFERENCE_TIME> stop = std::nullopt,
               const AM_MEDIA_TYPE* type = nullptr) {
    return Push(v.data(), static_cast<LONG>(v.size() * sizeof(T)), start, stop, type);
  }
  TRecordingSeeking& Seeking() { return fSeeking; }

  static constexpr LONG kBufferSize = 1 << 20;

 private:
  TBCMediaType fType;
  TRecordingSeeking fSeeking;
};

class TPcmPushSource : public TBCBaseFilter {
 public:
  // One pin per type, named "Out0", "Out1", ...
  explicit TPcmPushSource(std::vector<TBCMediaType> types,
                          const CLSID& clsid = CLSID_PcmPushSource);
  ~TPcmPushSource() override;

  HRESULT Stop() override;

  TPcmPushPin* Pin(int i) { return fPins[static_cast<std::size_t>(i)].get(); }
  // Waits until Stop has been called `count` times in all.
  void WaitForStops(int count);
  int Stops();

 private:
  std::vector<std::unique_ptr<TPcmPushPin>> fPins;
  std::mutex fStopLock;
  std::condition_variable fStopped;
  int fStops = 0;
};

struct ReceivedSample {
  std::vector<BYTE> data;
  bool hasTime = false;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool syncPoint = false;
  bool discontinuity = false;
  std::optional<TBCMediaType> type;  // attached to the sample
};

class TPcmSink;

class TPcmSinkPin : public TBCBaseInputPin {
 public:
  explicit TPcmSinkPin(TPcmSink* sink);
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  TPcmSink* const fSink;
};

class TPcmSink : public TBCBaseFilter {
 public:
  explicit TPcmSink(const CLSID& clsid = CLSID_PcmSink);
  ~TPcmSink() override;

  std::vector<ReceivedSample> Samples();
  // All received bytes in order, as values of T.
  template <class T>
  std::vector<T> Values() {
    std::vector<T> v;
    for (const auto& s : Samples()) {
      const auto* p = reinterpret_cast<const T*>(s.data.data());
      v.insert(v.end(), p, p + s.data.size() / sizeof(T));
    }
    return v;
  }
  void Clear();
  int EndOfStreams();
  int BeginFlushes();
  int EndFlushes();
  TPcmSinkPin* Pin() { return fPin.get(); }

 private:
  friend class TPcmSinkPin;
  std::unique_ptr<TPcmSinkPin> fPin;
  std::mutex fLock;
  std::vector<ReceivedSample> fSamples;
  int fEndOfStreams = 0;
  int fBeginFlushes = 0;
  int fEndFlushes = 0;
};

class TPcmPassThrough : public TBCTransformFilter {
 public:
  TPcmPassThrough();
  HRESULT CheckInputType(const TBCMediaType* mt) override;
  HRESULT CheckTransform(const TBCMediaType* in, const TBCMediaType* out) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
};

}  // namespace dsptest
