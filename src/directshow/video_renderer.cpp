#include "directshow/video_renderer.h"

#include <cmath>

TBCBaseVideoRenderer::TBCBaseVideoRenderer(std::string objectName, const CLSID& clsid)
    : ComExtend(std::move(objectName), clsid) {}

HRESULT TBCBaseVideoRenderer::OnStartStreaming() {
  {
    std::lock_guard lock(fStatsLock);
    fDrawn = fDropped = fConsecutiveDrops = 0;
    fDropAllowed = false;
    fFrameDuration = kDefaultFrameDuration;
    fLateSum = fLateSqSum = 0;
    fHaveLastDrawn = false;
    fIntervals = 0;
    fIntervalSum = fIntervalSqSum = 0;
  }
  return TBCBaseRenderer::OnStartStreaming();
}

HRESULT TBCBaseVideoRenderer::BeginFlush() {
  {
    std::lock_guard lock(fStatsLock);
    fDropAllowed = false;
    fConsecutiveDrops = 0;
    fHaveLastDrawn = false;
  }
  return TBCBaseRenderer::BeginFlush();
}

HRESULT TBCBaseVideoRenderer::ShouldDrawSampleNow(IMediaSample* sample, REFERENCE_TIME* start,
                                                  REFERENCE_TIME* stop) {
  REFERENCE_TIME now = 0;
  if (FAILED(CurrentStreamTime(&now))) return S_FALSE;
  const REFERENCE_TIME late = now - *start;
  bool drop = false;
  {
    std::lock_guard lock(fStatsLock);
    if (*stop > *start) fFrameDuration = *stop - *start;
    if (fDropAllowed && late > fFrameDuration && fConsecutiveDrops < kMaxConsecutiveDrops) {
      drop = true;
      ++fDropped;
      ++fConsecutiveDrops;
    }
  }
  if (!drop) return S_FALSE;  // wait for its time (at once when it is late)
  Quality q{Famine, 1000, late, *start};
  SendQuality(q);
  (void)sample;
  return E_FAIL;
}

void TBCBaseVideoRenderer::OnRenderStart(IMediaSample* sample) {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  REFERENCE_TIME now = 0;
  const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
  const bool clocked = SUCCEEDED(CurrentStreamTime(&now));
  std::lock_guard lock(fStatsLock);
  ++fDrawn;
  fConsecutiveDrops = 0;
  fDropAllowed = true;
  if (!timed) return;
  if (clocked) {
    const auto late = static_cast<double>(now - start);
    fLateSum += late;
    fLateSqSum += late * late;
  }
  if (fHaveLastDrawn) {
    const auto interval = static_cast<double>(start - fLastDrawnStart);
    ++fIntervals;
    fIntervalSum += interval;
    fIntervalSqSum += interval * interval;
  }
  fHaveLastDrawn = true;
  fLastDrawnStart = start;
}

void TBCBaseVideoRenderer::OnRenderEnd(IMediaSample*) {}

TBCFrameStatistics TBCBaseVideoRenderer::Statistics() {
  std::lock_guard lock(fStatsLock);
  TBCFrameStatistics s;
  s.framesDrawn = fDrawn;
  s.framesDropped = fDropped;
  const auto deviation = [](double sum, double sq, int n) {
    if (n < 2) return 0.0;
    const double mean = sum / n;
    const double var = sq / n - mean * mean;
    return var > 0 ? std::sqrt(var) : 0.0;
  };
  if (fDrawn > 0) {
    s.averageLateness = static_cast<REFERENCE_TIME>(std::llround(fLateSum / fDrawn));
    s.latenessDeviation =
        static_cast<REFERENCE_TIME>(std::llround(deviation(fLateSum, fLateSqSum, fDrawn)));
  }
  if (fIntervals > 0) {
    s.averageInterval = static_cast<REFERENCE_TIME>(std::llround(fIntervalSum / fIntervals));
    s.jitter = static_cast<REFERENCE_TIME>(
        std::llround(deviation(fIntervalSum, fIntervalSqSum, fIntervals)));
  }
  return s;
}

HRESULT TBCBaseVideoRenderer::get_FramesDroppedInRenderer(int* pcFrames) {
  if (!pcFrames) return E_POINTER;
  *pcFrames = Statistics().framesDropped;
  return S_OK;
}

HRESULT TBCBaseVideoRenderer::get_FramesDrawn(int* pcFramesDrawn) {
  if (!pcFramesDrawn) return E_POINTER;
  *pcFramesDrawn = Statistics().framesDrawn;
  return S_OK;
}

HRESULT TBCBaseVideoRenderer::get_AvgFrameRate(int* piAvgFrameRate) {
  if (!piAvgFrameRate) return E_POINTER;
  const auto s = Statistics();
  *piAvgFrameRate =
      s.averageInterval > 0 ? static_cast<int>(std::llround(100.0 * UNITS / s.averageInterval)) : 0;
  return S_OK;
}

HRESULT TBCBaseVideoRenderer::get_Jitter(int* iJitter) {
  if (!iJitter) return E_POINTER;
  *iJitter = static_cast<int>(Statistics().jitter / MILLISECONDS);
  return S_OK;
}

HRESULT TBCBaseVideoRenderer::get_AvgSyncOffset(int* piAvg) {
  if (!piAvg) return E_POINTER;
  *piAvg = static_cast<int>(Statistics().averageLateness / MILLISECONDS);
  return S_OK;
}

HRESULT TBCBaseVideoRenderer::get_DevSyncOffset(int* piDev) {
  if (!piDev) return E_POINTER;
  *piDev = static_cast<int>(Statistics().latenessDeviation / MILLISECONDS);
  return S_OK;
}
