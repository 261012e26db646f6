#pragma once
// TBCSourceSeeking: IMediaSeeking of a source filter, shared by its pins.
//
// Holds duration, start and stop position, rate and time format. Positions
// are kept in media time (100-ns); TIME_FORMAT_FRAME is offered when a frame
// duration is set, and conversions between the two use it. SetPositions
// takes AM_SEEKING_AbsolutePositioning, RelativePositioning,
// IncrementalPositioning (stop only) and NoPositioning, with
// AM_SEEKING_SeekToKeyFrame (the start goes through SnapToKeyFrame) and
// AM_SEEKING_ReturnTime; positions are clamped to 0 ... duration and the
// stop to at least the start. A start that is set (even to the same value)
// calls ChangeStart, a changed stop ChangeStop, a changed rate ChangeRate.
//
// | Hook                 | Thread, locks held | Base behaviour                          |
// | ChangeStart()        | app, none          | the source's RestartStreams()           |
// | ChangeStop()         | app, none          | S_OK (streams read StopPosition())      |
// | ChangeRate()         | app, none          | S_OK (streams read Rate())              |
// | SnapToKeyFrame(t)    | app, none          | t                                       |
// Streaming threads read StartPosition(), StopPosition(), Rate() (any
// thread; the object's own lock).

#include <mutex>

#include "directshow/control_interfaces.h"
#include "platform/com/com_object.h"

class TBCSource;

class TBCSourceSeeking : public ComObject<IMediaSeeking> {
 public:
  static constexpr DWORD kDefaultCapabilities =
      AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
      AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;

  TBCSourceSeeking(TBCSource* source, REFERENCE_TIME duration);
  ~TBCSourceSeeking() override;

  // IMediaSeeking
  HRESULT GetCapabilities(DWORD* pCapabilities) override;
  HRESULT CheckCapabilities(DWORD* pCapabilities) override;
  HRESULT IsFormatSupported(const GUID* pFormat) override;
  HRESULT QueryPreferredFormat(GUID* pFormat) override;
  HRESULT GetTimeFormat(GUID* pFormat) override;
  HRESULT IsUsingTimeFormat(const GUID* pFormat) override;
  HRESULT SetTimeFormat(const GUID* pFormat) override;
  HRESULT GetDuration(LONGLONG* pDuration) override;
  HRESULT GetStopPosition(LONGLONG* pStop) override;
  // The start position (the last seek target); the graph computes the
  // playing position from the clock.
  HRESULT GetCurrentPosition(LONGLONG* pCurrent) override;
  HRESULT ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                            const GUID* pSourceFormat) override;
  HRESULT SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                       DWORD dwStopFlags) override;
  HRESULT GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
  HRESULT GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
  HRESULT SetRate(double dRate) override;
  HRESULT GetRate(double* pdRate) override;
  HRESULT GetPreroll(LONGLONG* pllPreroll) override;

  // Media-time segment for the streams.
  REFERENCE_TIME StartPosition();
  REFERENCE_TIME StopPosition();
  double Rate();
  REFERENCE_TIME Duration();
  // A new duration (the stop follows when it was at the old end).
  void SetDuration(REFERENCE_TIME duration);
  void SetCapabilities(DWORD capabilities);
  // Frame duration in 100-ns; > 0 offers TIME_FORMAT_FRAME.
  void SetFrameDuration(REFERENCE_TIME frameDuration);

 protected:
  virtual HRESULT ChangeStart();
  virtual HRESULT ChangeStop();
  virtual HRESULT ChangeRate();
  virtual REFERENCE_TIME SnapToKeyFrame(REFERENCE_TIME target);

  TBCSource* const fSourceFilter;

 private:
  bool FormatSupportedLocked(const GUID& format) const;
  // Converts between media time and the current format.
  LONGLONG ToMediaLocked(LONGLONG value) const;
  LONGLONG FromMediaLocked(LONGLONG value) const;

  std::mutex fLock;
  REFERENCE_TIME fDuration;
  REFERENCE_TIME fStart = 0;
  REFERENCE_TIME fStop;
  double fRate = 1.0;
  DWORD fCapabilities = kDefaultCapabilities;
  REFERENCE_TIME fFrameDuration = 0;
  GUID fTimeFormat;
};
