#pragma once
// TFilterGraph, the object behind CreateFilterGraph (see filter_graph.h for
// its behaviour). Private to the framework.
//
// Locks: fGraphLock (recursive) for every application-thread method: held
// while the graph calls filters' state, connection and seeking methods,
// never taken by streaming threads. fEventLock for the completion tracking
// that IMediaEventSink::Notify updates from streaming threads; it is never
// held while calling out, and is taken after fGraphLock where both meet.

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "directshow/filter_graph.h"
#include "directshow/graph_events.h"
#include "directshow/sync.h"
#include "platform/com/com_object.h"

class TFilterGraph final : public ComObject<IFilterGraph2, DispatchNotImpl<IMediaControl>,
                                            DispatchNotImpl<IMediaEventEx>, IMediaEventSink,
                                            IMediaSeeking, IMediaFilter> {
 public:
  explicit TFilterGraph(const FilterGraphOptions& options);
  ~TFilterGraph() override;

  // IFilterGraph
  HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
  HRESULT RemoveFilter(IBaseFilter* pFilter) override;
  HRESULT EnumFilters(IEnumFilters** ppEnum) override;
  HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override;
  HRESULT ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override;
  HRESULT Reconnect(IPin* ppin) override;
  HRESULT Disconnect(IPin* ppin) override;
  HRESULT SetDefaultSyncSource() override;
  // IGraphBuilder
  HRESULT Connect(IPin* ppinOut, IPin* ppinIn) override;
  HRESULT Render(IPin* ppinOut) override;
  HRESULT RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
  HRESULT AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                          IBaseFilter** ppFilter) override;
  HRESULT SetLogFile(DWORD_PTR hFile) override;
  HRESULT Abort() override;
  HRESULT ShouldOperationContinue() override;
  // IFilterGraph2
  HRESULT AddSourceFilterForMoniker(IMoniker* pMoniker, IBindCtx* pCtx, LPCWSTR lpcwstrFilterName,
                                    IBaseFilter** ppFilter) override;
  HRESULT ReconnectEx(IPin* ppin, const AM_MEDIA_TYPE* pmt) override;
  HRESULT RenderEx(IPin* pPinOut, DWORD dwFlags, DWORD* pvContext) override;

  // IMediaControl (Stop and Pause also serve IMediaFilter)
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(LONG msTimeout, OAFilterState* pfs) override;
  HRESULT RenderFile(BSTR strFilename) override;
  HRESULT AddSourceFilter(BSTR strFilename, IDispatch** ppUnk) override;
  HRESULT get_FilterCollection(IDispatch** ppUnk) override;
  HRESULT get_RegFilterCollection(IDispatch** ppUnk) override;
  HRESULT StopWhenReady() override;

  // IMediaEvent / IMediaEventEx
  HRESULT GetEventHandle(OAEVENT* hEvent) override;
  HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout) override;
  HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) override;
  HRESULT CancelDefaultHandling(LONG lEvCode) override;
  HRESULT RestoreDefaultHandling(LONG lEvCode) override;
  HRESULT FreeEventParams(LONG lEvCode, LONG_PTR lParam1, LONG_PTR lParam2) override;
  HRESULT SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) override;
  HRESULT SetNotifyFlags(LONG lNoNotifyFlags) override;
  HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags) override;

  // IMediaEventSink
  HRESULT Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) override;

  // IMediaSeeking (graph_seeking.cpp)
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

  // IMediaFilter
  HRESULT GetClassID(CLSID* pClassID) override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
  HRESULT SetSyncSource(IReferenceClock* pClock) override;
  HRESULT GetSyncSource(IReferenceClock** pClock) override;

 private:
  struct Entry {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
  };
  struct SeekPath {
    ComPtr<IMediaSeeking> seeking;
    ComPtr<IBaseFilter> source;
  };
  struct Completion {
    int expected = 0;
    int received = 0;
  };

  std::vector<ComPtr<IBaseFilter>> SortedFiltersLocked();
  std::vector<SeekPath> SeekPathsLocked();
  HRESULT RemoveEntryLocked(std::size_t index);
  bool ContainsLocked(IBaseFilter* filter);
  REFERENCE_TIME ClockTimeLocked();

  HRESULT PauseLocked();
  HRESULT RunLocked(std::optional<REFERENCE_TIME> tStart);
  HRESULT StopLocked(bool keepPosition);
  HRESULT StateLocked(DWORD msTimeout, FILTER_STATE* state);
  HRESULT SetSyncSourceLocked(IReferenceClock* clock);
  void BuildCompletionLocked();
  void ResetCompletion();

  // Seeking helpers (graph_seeking.cpp).
  std::optional<REFERENCE_TIME> MediaPositionLocked();
  HRESULT ToFormatLocked(const std::vector<SeekPath>& paths, REFERENCE_TIME media, LONGLONG* out);
  HRESULT ToMediaLocked(const std::vector<SeekPath>& paths, LONGLONG value, REFERENCE_TIME* media);
  HRESULT SeekLocked(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop, DWORD dwStopFlags);

  TBCCritSec fGraphLock;
  std::vector<Entry> fFilters;
  FILTER_STATE fState = State_Stopped;
  REFERENCE_TIME fStart = 0;             // clock time of stream time 0
  REFERENCE_TIME fPausedStreamTime = 0;  // stream time where the last pause stopped
  REFERENCE_TIME fSeekBase = 0;          // media time at stream time 0
  double fRate = 1.0;
  GUID fTimeFormat;
  ComPtr<IReferenceClock> fClock;
  bool fClockChosen = false;
  ComPtr<IReferenceClock> fSystemClock;
  const REFERENCE_TIME fCueTimeout;

  TGraphEventQueue fEvents;
  std::mutex fEventLock;
  std::map<IBaseFilter*, Completion> fCompletion;
  int fExpectedTotal = 0;
  int fReceivedTotal = 0;
  bool fCompleteSent = false;
  std::atomic<bool> fCompleteDefault{true};
};
