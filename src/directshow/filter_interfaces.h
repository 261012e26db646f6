#pragma once
// The COM-style interfaces between filters, pins, allocators, samples and
// clocks, with the identifiers of the platform the framework stands in for.
// Method order is vtable order. Every out-pointer of an interface type
// receives a new reference the caller releases.

#include "directshow/dshow_types.h"
#include "directshow/media_type.h"
#include "platform/com/unknown.h"

struct IPin;
struct IEnumPins;
struct IEnumMediaTypes;
struct IReferenceClock;
struct IMemAllocator;

struct IPersist : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{0000010C-0000-0000-C000-000000000046}");
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;

 protected:
  ~IPersist() = default;
};

struct IMediaFilter : IPersist {
  using Base = IPersist;
  static constexpr IID iid = MakeGuid("{56A86899-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  // tStart: reference-clock time that corresponds to stream time 0.
  virtual HRESULT Run(REFERENCE_TIME tStart) = 0;
  // S_OK, or VFW_S_STATE_INTERMEDIATE when a pause has not completed within
  // the time-out (milliseconds, INFINITE to wait).
  virtual HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) = 0;
  virtual HRESULT SetSyncSource(IReferenceClock* pClock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** pClock) = 0;

 protected:
  ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
  using Base = IMediaFilter;
  static constexpr IID iid = MakeGuid("{56A86895-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT EnumPins(IEnumPins** ppEnum) = 0;
  // The pin whose QueryId is Id; VFW_E_NOT_FOUND otherwise.
  virtual HRESULT FindPin(LPCWSTR Id, IPin** ppPin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* pInfo) = 0;
  // Called by a graph as it adds (pGraph set) or removes (null) the filter.
  virtual HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) = 0;
  virtual HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) = 0;

 protected:
  ~IBaseFilter() = default;
};

struct IPin : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A86891-0AD4-11CE-B03A-0020AF0B0000}");
  // On an output pin: connect to pReceivePin, with pmt (may be partial or
  // null) restricting the types tried.
  virtual HRESULT Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) = 0;
  // On an input pin: accept a connection from pConnector with type pmt.
  virtual HRESULT ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pPin) = 0;
  // Copies the connection's type into *pmt (the caller frees its format).
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* pInfo) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* pPinDir) = 0;
  virtual HRESULT QueryId(LPWSTR* Id) = 0;  // CoTaskMemAlloc'd
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** ppEnum) = 0;
  virtual HRESULT QueryInternalConnections(IPin** apPin, ULONG* nPin) = 0;
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  virtual HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) = 0;

 protected:
  ~IPin() = default;
};

struct IEnumPins : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A86892-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cPins) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** ppEnum) = 0;

 protected:
  ~IEnumPins() = default;
};

// Each type handed out is allocated with CreateMediaType; the caller frees
// it with DeleteMediaType.
struct IEnumMediaTypes : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{89C31040-846B-11CE-97D3-00AA0055595A}");
  virtual HRESULT Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cMediaTypes) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** ppEnum) = 0;

 protected:
  ~IEnumMediaTypes() = default;
};

struct IEnumFilters : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A86893-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cFilters) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** ppEnum) = 0;

 protected:
  ~IEnumFilters() = default;
};

struct IMediaSample : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A8689A-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT GetPointer(BYTE** ppBuffer) = 0;
  virtual LONG GetSize() = 0;  // the buffer's allocated size
  // S_OK; VFW_S_NO_STOP_TIME (stop = start + 1); VFW_E_SAMPLE_TIME_NOT_SET.
  virtual HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
  // Null start clears the times; null stop sets a start time only.
  virtual HRESULT SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT IsSyncPoint() = 0;  // S_OK / S_FALSE
  virtual HRESULT SetSyncPoint(BOOL bIsSyncPoint) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(BOOL bIsPreroll) = 0;
  virtual LONG GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(LONG length) = 0;  // VFW_E_BUFFER_OVERFLOW > size
  // S_OK with a CreateMediaType copy, S_FALSE (null) when the type is unchanged.
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** ppMediaType) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* pMediaType) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(BOOL bDiscontinuity) = 0;
  virtual HRESULT GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) = 0;
  virtual HRESULT SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) = 0;

 protected:
  ~IMediaSample() = default;
};

struct IMediaSample2 : IMediaSample {
  using Base = IMediaSample;
  static constexpr IID iid = MakeGuid("{36B73884-C2C8-11CF-8B46-00805F6CEF60}");
  // The leading cbProperties bytes of an AM_SAMPLE2_PROPERTIES.
  virtual HRESULT GetProperties(DWORD cbProperties, BYTE* pbProperties) = 0;
  virtual HRESULT SetProperties(DWORD cbProperties, const BYTE* pbProperties) = 0;

 protected:
  ~IMediaSample2() = default;
};

// The framework's own tag on samples: the stream generation the sample's data
// belongs to (see sample_generation.h). Samples of TBCMemAllocator carry it.
struct IStreamGeneration : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{8E4C2D1A-6B7F-4C35-9A0E-3F1D2B5C7A91}");
  virtual ULONGLONG GetGeneration() = 0;
  virtual void SetGeneration(ULONGLONG generation) = 0;

 protected:
  ~IStreamGeneration() = default;
};

struct IMemAllocator : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A8689C-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* pProps) = 0;
  virtual HRESULT Commit() = 0;
  // Releases every thread blocked in GetBuffer (VFW_E_NOT_COMMITTED); the
  // memory goes when the last outstanding sample comes back.
  virtual HRESULT Decommit() = 0;
  // Blocks until a buffer is free (unless AM_GBF_NOWAIT) or the allocator is
  // decommitted.
  virtual HRESULT GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                            REFERENCE_TIME* pEndTime, DWORD dwFlags) = 0;
  virtual HRESULT ReleaseBuffer(IMediaSample* pBuffer) = 0;

 protected:
  ~IMemAllocator() = default;
};

struct IMemInputPin : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A8689D-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT GetAllocator(IMemAllocator** ppAllocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) = 0;
  // S_OK: go on; S_FALSE: stop sending (flushing); failure: stop streaming.
  virtual HRESULT Receive(IMediaSample* pSample) = 0;
  virtual HRESULT ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                  LONG* nSamplesProcessed) = 0;
  virtual HRESULT ReceiveCanBlock() = 0;

 protected:
  ~IMemInputPin() = default;
};

struct IReferenceClock : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A86897-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT GetTime(REFERENCE_TIME* pTime) = 0;
  // Sets hEvent once the clock reaches baseTime + streamTime.
  virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                             DWORD_PTR* pdwAdviseCookie) = 0;
  // Releases hSemaphore once at startTime and then every periodTime.
  virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                 HSEMAPHORE hSemaphore, DWORD_PTR* pdwAdviseCookie) = 0;
  // After it returns the clock no longer touches the advise's handle.
  virtual HRESULT Unadvise(DWORD_PTR dwAdviseCookie) = 0;

 protected:
  ~IReferenceClock() = default;
};

struct IQualityControl : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A868A5-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT Notify(IBaseFilter* pSelf, Quality q) = 0;
  virtual HRESULT SetSink(IQualityControl* piqc) = 0;

 protected:
  ~IQualityControl() = default;
};

struct IAMFilterMiscFlags : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{2DD74950-A890-11D1-ABE8-00A0C905F375}");
  virtual ULONG GetMiscFlags() = 0;  // AM_FILTER_MISC_FLAGS_*

 protected:
  ~IAMFilterMiscFlags() = default;
};

struct IFileSourceFilter : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A868A6-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) = 0;

 protected:
  ~IFileSourceFilter() = default;
};

struct IAMStreamSelect : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{C1960960-17F5-11D1-ABE1-00A0C905F375}");
  virtual HRESULT Count(DWORD* pcStreams) = 0;
  // Every out-parameter may be null; *ppmt (DeleteMediaType) and *ppszName
  // (CoTaskMemFree) belong to the caller.
  virtual HRESULT Info(LONG lIndex, AM_MEDIA_TYPE** ppmt, DWORD* pdwFlags, LCID* plcid,
                       DWORD* pdwGroup, LPWSTR* ppszName, IUnknown** ppObject,
                       IUnknown** ppUnk) = 0;
  virtual HRESULT Enable(LONG lIndex, DWORD dwFlags) = 0;

 protected:
  ~IAMStreamSelect() = default;
};

// Frame statistics of a video renderer.
struct IQualProp : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{1BD0ECB0-F8E2-11CE-AAC6-0020AF0B99A3}");
  virtual HRESULT get_FramesDroppedInRenderer(int* pcFrames) = 0;
  virtual HRESULT get_FramesDrawn(int* pcFramesDrawn) = 0;
  virtual HRESULT get_AvgFrameRate(int* piAvgFrameRate) = 0;  // frames per 100 s
  virtual HRESULT get_Jitter(int* iJitter) = 0;               // ms
  virtual HRESULT get_AvgSyncOffset(int* piAvg) = 0;          // ms
  virtual HRESULT get_DevSyncOffset(int* piDev) = 0;          // ms

 protected:
  ~IQualProp() = default;
};

inline constexpr IID IID_IPersist = IPersist::iid;
inline constexpr IID IID_IMediaFilter = IMediaFilter::iid;
inline constexpr IID IID_IBaseFilter = IBaseFilter::iid;
inline constexpr IID IID_IPin = IPin::iid;
inline constexpr IID IID_IEnumPins = IEnumPins::iid;
inline constexpr IID IID_IEnumMediaTypes = IEnumMediaTypes::iid;
inline constexpr IID IID_IEnumFilters = IEnumFilters::iid;
inline constexpr IID IID_IMediaSample = IMediaSample::iid;
inline constexpr IID IID_IMediaSample2 = IMediaSample2::iid;
inline constexpr IID IID_IMemAllocator = IMemAllocator::iid;
inline constexpr IID IID_IMemInputPin = IMemInputPin::iid;
inline constexpr IID IID_IReferenceClock = IReferenceClock::iid;
inline constexpr IID IID_IQualityControl = IQualityControl::iid;
inline constexpr IID IID_IAMFilterMiscFlags = IAMFilterMiscFlags::iid;
inline constexpr IID IID_IFileSourceFilter = IFileSourceFilter::iid;
inline constexpr IID IID_IAMStreamSelect = IAMStreamSelect::iid;
inline constexpr IID IID_IQualProp = IQualProp::iid;
