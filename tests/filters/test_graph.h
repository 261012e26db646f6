#pragma once
// Graph helpers for the filter tests: a collecting sink, pin connection by
// name and running a graph to its end.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "directshow/base_renderer.h"
#include "directshow/filter_graph.h"
#include "directshow/wide_string.h"

namespace fxt {

inline constexpr CLSID CLSID_CollectSink = MakeGuid("{0D7C5A11-3B2E-4F7A-9E61-2C4B8D9F1A55}");

struct TCollected {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool timed = false;
  bool discontinuity = false;
  std::vector<std::uint8_t> data;  // kept when the sink keeps data
  GUID subtype{};                  // of a media type the sample carried, else null
};

// A renderer that takes every sample of its major type at once (no clock)
// and records it.
class TCollectSink final : public TBCBaseRenderer {
 public:
  explicit TCollectSink(GUID majorType, bool keepData = true,
                        std::function<bool(const TBCMediaType&)> accept = {});

  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT SetMediaType(const TBCMediaType* mt) override;
  HRESULT ShouldDrawSampleNow(IMediaSample*, REFERENCE_TIME*, REFERENCE_TIME*) override {
    return S_OK;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT Stop() override;

  // From now on DoRenderSample blocks once `n` samples are recorded, until
  // OpenGate, a flush or Stop.
  void CloseGateAfter(std::size_t n);
  void OpenGate();

  std::vector<TCollected> Samples();
  std::size_t Count();
  void Clear();
  bool WaitForCount(std::size_t n, int timeoutMs = 20000);
  bool WaitForEndOfStream(int timeoutMs = 20000);
  TBCMediaType Connected();
  int Flushes();

 private:
  const GUID fMajor;
  const bool fKeep;
  const std::function<bool(const TBCMediaType&)> fAccept;
  std::mutex fLock;
  std::condition_variable fChanged;
  std::vector<TCollected> fSamples;
  bool fEOS = false;
  int fFlushes = 0;
  std::size_t fGate = SIZE_MAX;
  TBCMediaType fType;
};

// Connects out pin `outName` of `from` to in pin `inName` of `to` through
// the graph.
HRESULT ConnectByName(IFilterGraph2* graph, IBaseFilter* from, const char* outName, IBaseFilter* to,
                      const char* inName);
bool HasPin(IBaseFilter* filter, const char* name);
// Disconnects pin `name` of `filter` and its peer.
void DisconnectPin(IFilterGraph2* graph, IBaseFilter* filter, const char* name);
// Runs the graph and waits for EC_COMPLETE; false on time-out.
bool RunToCompletion(IFilterGraph2* graph, int timeoutMs = 30000);

// Media time of the sample: start + segment start is what tests compare.
inline double Seconds(REFERENCE_TIME t) { return static_cast<double>(t) / 1e7; }

}  // namespace fxt
