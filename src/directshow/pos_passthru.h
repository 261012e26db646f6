#pragma once
// Seeking pass-through: IMediaSeeking and IMediaPosition of a filter or an
// output pin, answered by the upstream peer of one of its input pins (the
// pin given at construction). Every call goes upstream unchanged; E_NOTIMPL
// when the input is unconnected or upstream does not seek. IMediaPosition
// (seconds) is mapped onto upstream's IMediaSeeking.
//
// The object lives inside its filter (reference counts go to `owner`). Any
// thread; no lock of the filter is taken.
//
// TBCRendererPosPassThru (a renderer's) also remembers the media time of the
// last sample the renderer drew or showed (sample start + segment start) and
// answers GetCurrentPosition with it until the next flush.

#include <mutex>
#include <optional>

#include "directshow/control_interfaces.h"
#include "platform/com/com_object.h"

class TBCPosPassThru : public ComObject<IMediaSeeking, DispatchNotImpl<IMediaPosition>> {
 public:
  TBCPosPassThru(IUnknown* owner, IPin* input);

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

  // IMediaPosition
  HRESULT get_Duration(REFTIME* plength) override;
  HRESULT put_CurrentPosition(REFTIME llTime) override;
  HRESULT get_CurrentPosition(REFTIME* pllTime) override;
  HRESULT get_StopTime(REFTIME* pllTime) override;
  HRESULT put_StopTime(REFTIME llTime) override;
  HRESULT get_PrerollTime(REFTIME* pllTime) override;
  HRESULT put_PrerollTime(REFTIME llTime) override;
  HRESULT put_Rate(double dRate) override;
  HRESULT get_Rate(double* pdRate) override;
  HRESULT CanSeekForward(LONG* pCanSeekForward) override;
  HRESULT CanSeekBackward(LONG* pCanSeekBackward) override;

 protected:
  // Upstream's IMediaSeeking, or null.
  ComPtr<IMediaSeeking> Upstream();

 private:
  IPin* const fInput;  // lives as long as this object (same filter)
};

class TBCRendererPosPassThru : public TBCPosPassThru {
 public:
  using TBCPosPassThru::TBCPosPassThru;

  HRESULT GetCurrentPosition(LONGLONG* pCurrent) override;

  // Called by the renderer with each sample drawn or shown.
  void RegisterMediaTime(IMediaSample* sample, REFERENCE_TIME segmentStart);
  void ResetMediaTime();

 private:
  std::mutex fLock;
  std::optional<REFERENCE_TIME> fMediaTime;
};
