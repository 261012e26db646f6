#pragma once
// The COM-style interfaces of the filter graph manager and the automation-
// style control interfaces (seeking, position, run control, events, audio
// volume), with the identifiers of the platform the framework stands in for.
// Method order is vtable order.

#include "directshow/filter_interfaces.h"

// Automation types the IDispatch methods name; nothing here uses them.
struct ITypeInfo;
struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;
struct IMoniker;
struct IBindCtx;
using DISPID = LONG;

struct IDispatch : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{00020400-0000-0000-C000-000000000046}");
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                         DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                         UINT* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};

// Implements the IDispatch part of an automation-style interface I with
// E_NOTIMPL, for ComObject<DispatchNotImpl<I>, ...>.
template <class I>
struct DispatchNotImpl : I {
  using Base = typename I::Base;
  static constexpr IID iid = I::iid;
  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo) *pctinfo = 0;
    return E_NOTIMPL;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  ~DispatchNotImpl() = default;
};

// Positions are in the current time format (TIME_FORMAT_MEDIA_TIME: 100-ns).
struct IMediaSeeking : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{36B73880-C2C8-11CF-8B46-00805F6CEF60}");
  virtual HRESULT GetCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT CheckCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT IsFormatSupported(const GUID* pFormat) = 0;  // S_OK / S_FALSE
  virtual HRESULT QueryPreferredFormat(GUID* pFormat) = 0;
  virtual HRESULT GetTimeFormat(GUID* pFormat) = 0;
  virtual HRESULT IsUsingTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT SetTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT GetDuration(LONGLONG* pDuration) = 0;
  virtual HRESULT GetStopPosition(LONGLONG* pStop) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG* pCurrent) = 0;
  virtual HRESULT ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                                    const GUID* pSourceFormat) = 0;
  // Flags: AM_SEEKING_*Positioning, optionally | SeekToKeyFrame | ReturnTime.
  virtual HRESULT SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                               DWORD dwStopFlags) = 0;
  virtual HRESULT GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) = 0;
  virtual HRESULT GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) = 0;
  virtual HRESULT SetRate(double dRate) = 0;
  virtual HRESULT GetRate(double* pdRate) = 0;
  virtual HRESULT GetPreroll(LONGLONG* pllPreroll) = 0;

 protected:
  ~IMediaSeeking() = default;
};

// Positions in seconds.
struct IMediaPosition : IDispatch {
  using Base = IDispatch;
  static constexpr IID iid = MakeGuid("{56A868B2-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT get_Duration(REFTIME* plength) = 0;
  virtual HRESULT put_CurrentPosition(REFTIME llTime) = 0;
  virtual HRESULT get_CurrentPosition(REFTIME* pllTime) = 0;
  virtual HRESULT get_StopTime(REFTIME* pllTime) = 0;
  virtual HRESULT put_StopTime(REFTIME llTime) = 0;
  virtual HRESULT get_PrerollTime(REFTIME* pllTime) = 0;
  virtual HRESULT put_PrerollTime(REFTIME llTime) = 0;
  virtual HRESULT put_Rate(double dRate) = 0;
  virtual HRESULT get_Rate(double* pdRate) = 0;
  virtual HRESULT CanSeekForward(LONG* pCanSeekForward) = 0;
  virtual HRESULT CanSeekBackward(LONG* pCanSeekBackward) = 0;

 protected:
  ~IMediaPosition() = default;
};

struct IMediaControl : IDispatch {
  using Base = IDispatch;
  static constexpr IID iid = MakeGuid("{56A868B1-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG msTimeout, OAFilterState* pfs) = 0;
  virtual HRESULT RenderFile(BSTR strFilename) = 0;
  virtual HRESULT AddSourceFilter(BSTR strFilename, IDispatch** ppUnk) = 0;
  virtual HRESULT get_FilterCollection(IDispatch** ppUnk) = 0;
  virtual HRESULT get_RegFilterCollection(IDispatch** ppUnk) = 0;
  // Pauses, waits until the data is cued, then stops.
  virtual HRESULT StopWhenReady() = 0;

 protected:
  ~IMediaControl() = default;
};

struct IMediaEvent : IDispatch {
  using Base = IDispatch;
  static constexpr IID iid = MakeGuid("{56A868B6-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT GetEventHandle(OAEVENT* hEvent) = 0;
  // E_ABORT when no event arrives within msTimeout (INFINITE to wait).
  virtual HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                           LONG msTimeout) = 0;
  virtual HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) = 0;
  virtual HRESULT CancelDefaultHandling(LONG lEvCode) = 0;
  virtual HRESULT RestoreDefaultHandling(LONG lEvCode) = 0;
  virtual HRESULT FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) = 0;

 protected:
  ~IMediaEvent() = default;
};

struct IMediaEventEx : IMediaEvent {
  using Base = IMediaEvent;
  static constexpr IID iid = MakeGuid("{56A868C0-0AD4-11CE-B03A-0020AF0B0000}");
  // Every queued event posts lMsg to hwnd with wParam 0 and lParam
  // lInstanceData; hwnd 0 stops the messages.
  virtual HRESULT SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) = 0;
  virtual HRESULT SetNotifyFlags(LONG lNoNotifyFlags) = 0;
  virtual HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags) = 0;

 protected:
  ~IMediaEventEx() = default;
};

// The graph's side of events: filters call it from any thread.
struct IMediaEventSink : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A868A2-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) = 0;

 protected:
  ~IMediaEventSink() = default;
};

struct IFilterGraph : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A8689F-0AD4-11CE-B03A-0020AF0B0000}");
  // Adds under pName (a unique name is made when it is taken:
  // VFW_S_DUPLICATE_NAME).
  virtual HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
  virtual HRESULT RemoveFilter(IBaseFilter* pFilter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** ppEnum) = 0;
  virtual HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) = 0;
  virtual HRESULT ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT Reconnect(IPin* ppin) = 0;
  virtual HRESULT Disconnect(IPin* ppin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;

 protected:
  ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
  using Base = IFilterGraph;
  static constexpr IID iid = MakeGuid("{56A868A9-0AD4-11CE-B03A-0020AF0B0000}");
  // Connects two pins directly, trying the output's types, then the input's.
  virtual HRESULT Connect(IPin* ppinOut, IPin* ppinIn) = 0;
  virtual HRESULT Render(IPin* ppinOut) = 0;
  virtual HRESULT RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) = 0;
  virtual HRESULT AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                                  IBaseFilter** ppFilter) = 0;
  virtual HRESULT SetLogFile(DWORD_PTR hFile) = 0;
  virtual HRESULT Abort() = 0;
  virtual HRESULT ShouldOperationContinue() = 0;

 protected:
  ~IGraphBuilder() = default;
};

struct IFilterGraph2 : IGraphBuilder {
  using Base = IGraphBuilder;
  static constexpr IID iid = MakeGuid("{36B73882-C2C8-11CF-8B46-00805F6CEF60}");
  virtual HRESULT AddSourceFilterForMoniker(IMoniker* pMoniker, IBindCtx* pCtx,
                                            LPCWSTR lpcwstrFilterName, IBaseFilter** ppFilter) = 0;
  virtual HRESULT ReconnectEx(IPin* ppin, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT RenderEx(IPin* pPinOut, DWORD dwFlags, DWORD* pvContext) = 0;

 protected:
  ~IFilterGraph2() = default;
};

// Volume in hundredths of a decibel (-10000 silence ... 0 full); balance
// -10000 (left) ... 10000 (right).
struct IBasicAudio : IDispatch {
  using Base = IDispatch;
  static constexpr IID iid = MakeGuid("{56A868B3-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT put_Volume(LONG lVolume) = 0;
  virtual HRESULT get_Volume(LONG* plVolume) = 0;
  virtual HRESULT put_Balance(LONG lBalance) = 0;
  virtual HRESULT get_Balance(LONG* plBalance) = 0;

 protected:
  ~IBasicAudio() = default;
};

inline constexpr IID IID_IDispatch = IDispatch::iid;
inline constexpr IID IID_IMediaSeeking = IMediaSeeking::iid;
inline constexpr IID IID_IMediaPosition = IMediaPosition::iid;
inline constexpr IID IID_IMediaControl = IMediaControl::iid;
inline constexpr IID IID_IMediaEvent = IMediaEvent::iid;
inline constexpr IID IID_IMediaEventEx = IMediaEventEx::iid;
inline constexpr IID IID_IMediaEventSink = IMediaEventSink::iid;
inline constexpr IID IID_IFilterGraph = IFilterGraph::iid;
inline constexpr IID IID_IGraphBuilder = IGraphBuilder::iid;
inline constexpr IID IID_IFilterGraph2 = IFilterGraph2::iid;
inline constexpr IID IID_IBasicAudio = IBasicAudio::iid;
