#pragma once
// TBCBaseVideoRenderer: TBCBaseRenderer with quality control for video.
//
// A sample that is already late by more than one frame (its own duration,
// or the last known frame duration, 40 ms at first) when it arrives is
// dropped, unless it is the first sample since streaming started or the
// last flush, or kMaxConsecutiveDrops samples in a row were dropped (so a
// slow machine still shows a moving picture). Every drop sends a Famine
// quality message upstream. Frame statistics (frames drawn and dropped,
// lateness of the drawn frames, frame rate, jitter) are reset when streaming
// starts and are read through IQualProp or Statistics().
//
// Hooks: those of TBCBaseRenderer. ShouldDrawSampleNow, OnRenderStart,
// OnRenderEnd and OnStartStreaming are implemented here; a subclass that
// overrides them calls this base.

#include <mutex>

#include "directshow/base_renderer.h"

struct TBCFrameStatistics {
  int framesDrawn = 0;
  int framesDropped = 0;
  REFERENCE_TIME averageLateness = 0;    // of drawn frames, 100-ns
  REFERENCE_TIME latenessDeviation = 0;  // standard deviation, 100-ns
  REFERENCE_TIME averageInterval = 0;    // between drawn frames (stream time)
  REFERENCE_TIME jitter = 0;             // standard deviation of the interval
};

class TBCBaseVideoRenderer : public ComExtend<TBCBaseRenderer, IQualProp> {
 public:
  static constexpr int kMaxConsecutiveDrops = 10;
  static constexpr REFERENCE_TIME kDefaultFrameDuration = 400000;  // 40 ms

  // IQualProp
  HRESULT get_FramesDroppedInRenderer(int* pcFrames) override;
  HRESULT get_FramesDrawn(int* pcFramesDrawn) override;
  HRESULT get_AvgFrameRate(int* piAvgFrameRate) override;
  HRESULT get_Jitter(int* iJitter) override;
  HRESULT get_AvgSyncOffset(int* piAvg) override;
  HRESULT get_DevSyncOffset(int* piDev) override;

  TBCFrameStatistics Statistics();

  HRESULT ShouldDrawSampleNow(IMediaSample* sample, REFERENCE_TIME* start,
                              REFERENCE_TIME* stop) override;
  void OnRenderStart(IMediaSample* sample) override;
  void OnRenderEnd(IMediaSample* sample) override;
  HRESULT OnStartStreaming() override;
  HRESULT BeginFlush() override;

 protected:
  TBCBaseVideoRenderer(std::string objectName, const CLSID& clsid);

 private:
  std::mutex fStatsLock;
  int fDrawn = 0;
  int fDropped = 0;
  int fConsecutiveDrops = 0;
  bool fDropAllowed = false;  // false until a frame was drawn since start/flush
  REFERENCE_TIME fFrameDuration = kDefaultFrameDuration;
  double fLateSum = 0;
  double fLateSqSum = 0;
  bool fHaveLastDrawn = false;
  REFERENCE_TIME fLastDrawnStart = 0;
  int fIntervals = 0;
  double fIntervalSum = 0;
  double fIntervalSqSum = 0;
};
