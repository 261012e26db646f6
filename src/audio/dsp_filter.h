#pragma once
// TDCDSPFilter: the audio effect filter. It sits between an audio decoder and
// the audio renderer, passes PCM through unchanged in format and runs every
// buffer through its effect chain (TDCFilterList) in place.
//
//   ComPtr<TDCDSPFilter> dsp = MakeCom<TDCDSPFilter>("Audio DSP Manager");
//   ComPtr<IDCDSPFilterInterface> control = dsp.As<IDCDSPFilterInterface>();
//   graph->AddFilter(dsp.get(), u"DSP");  // pins "In" and "Out" (FindPin)
//
// Besides the chain it offers services that are all off after creation: a
// PCM callback, a fixed presentation delay, switching between several audio
// streams through extra input pins (IAMStreamSelect, with language names for
// the streams), registration of its graph in the running object table, and a
// refusal to connect to another instance of itself.
//
// Threads and locks
// - The filter lock (FilterLock()): the application's thread, in every
//   method of IDCDSPFilterInterface (but the visual-buffering pair), of
//   IDCDSPFilterVisualInterface, in connections and state changes.
// - The receive lock: the streaming thread, around Receive and Transform.
//   Transform never takes the filter lock (a Stop holding it waits for the
//   receive lock); what it shares with the application's thread is guarded
//   by the state lock, a leaf held only briefly and never while calling out.
// - The chain lock (TDCFilterList) is the innermost: taken by Transform under
//   the receive lock and by the chain methods under the filter lock.
// - The switch lock serialises IAMStreamSelect. A stream switch stops and
//   restarts the graph: switch lock -> graph lock -> filter lock.
// Order: switch lock -> (graph lock) -> filter lock -> receive lock ->
// state lock / chain lock.
//
// The PCM callback runs on the streaming thread with the receive lock held;
// it must not call back into the filter's streaming path.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/chain_control.h"
#include "audio/dsp_filter_interfaces.h"
#include "audio/dsp_languages.h"
#include "audio/filter_list.h"
#include "directshow/pos_passthru.h"
#include "directshow/transform_filter.h"

class TDCDSPFilter;

// Environment the filter reads from the process; tests set it.
struct TDCDSPFilterOptions {
  // The host executable's file name; empty: the running process's.
  std::string hostExecutable;
  // The thread locale's language identifier (stream preference of the
  // language detection); unset: the process locale's.
  std::optional<DWORD> threadLocale;
};

class TDCDSPFilterInputPin : public TBCTransformInputPin {
 public:
  TDCDSPFilterInputPin(TDCDSPFilter* owner, int index);

  // A blocked pin refuses samples with E_FAIL (stopping the filter upstream
  // first when asked to); an unblocked pin behaves as the base pin. End of
  // stream, flushes and segments of a blocked pin stay with the pin.
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;
  // The language-list name of a connected pin (or "Audio Track n").
  HRESULT QueryPinInfo(PIN_INFO* pInfo) override;
  // A blocked pin's type is checked but not taken as the stream's format
  // (the active stream keeps playing with its own).
  HRESULT CheckMediaType(const TBCMediaType* mt) override;

  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  HRESULT Inactive() override;

  int Index() const { return fIndex; }
  bool Blocked() const { return fBlocked.load(std::memory_order_acquire); }
  void SetBlocked(bool blocked) { fBlocked.store(blocked, std::memory_order_release); }

 private:
  TDCDSPFilter* const fOwner;
  const int fIndex;  // position in the filter's input pin list
  std::atomic<bool> fBlocked{false};
  std::atomic<bool> fUpstreamStopRequested{false};  // once per run
};

class TDCDSPFilterOutputPin : public TBCTransformOutputPin {
 public:
  explicit TDCDSPFilterOutputPin(TDCDSPFilter* owner);
  ~TDCDSPFilterOutputPin() override;

  // IMediaSeeking and IMediaPosition through a pass-through to the active
  // input pin's upstream.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  // Quality messages the filter does not handle go to the active input pin.
  HRESULT Notify(IBaseFilter* pSelf, Quality q) override;
  // Need a connected active input pin; SetMediaType accepts only the type
  // GetMediaType(0) offers.
  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT SetMediaType(const TBCMediaType* mt) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;

 private:
  TDCDSPFilter* const fOwner;
  struct Position {
    IPin* input;
    std::unique_ptr<TBCPosPassThru> passThru;
  };
  std::vector<Position> fPositions;  // one per input pin asked for; pin lock
};

class TDCDSPFilter : public ComExtend<TBCTransformFilter, IDCDSPFilterInterface,
                                      IDCDSPFilterVisualInterface, IAMStreamSelect> {
 public:
  explicit TDCDSPFilter(std::string objectName, TDCDSPFilterOptions options = {});
  ~TDCDSPFilter() override;

  // Live instances in the process.
  static LONG InstanceCount();

  // IAMStreamSelect only with stream switching (and, with the switching
  // interface option, only while more than one input is connected).
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IMediaFilter / IBaseFilter
  HRESULT Stop() override;
  HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
  // Input pins + 1; 0 the first input, 1 the output, n >= 2 input n - 1.
  int GetPinCount() override;
  TBCBasePin* GetPin(int n) override;

  // Transform hooks
  HRESULT CheckInputType(const TBCMediaType* mtIn) override;
  HRESULT CheckTransform(const TBCMediaType* mtIn, const TBCMediaType* mtOut) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin) override;
  HRESULT StartStreaming() override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT BeginFlush() override;

  // IDCDSPFilterInterface
  HRESULT set_CallBackPCM(IDCDSPFilterPCMCallBack* callback) override;
  HRESULT set_PCMDataBeforeMainDSP(BOOL before) override;
  HRESULT get_EnableDelay(BOOL* enable) override;
  HRESULT set_EnableDelay(BOOL enable) override;
  HRESULT get_Delay(LONG* delay) override;
  HRESULT set_Delay(LONG delay) override;
  HRESULT get_FilterCount(LONG* count) override;
  HRESULT get_FilterType(LONG index, TDCFilterType* type) override;
  HRESULT set_AddFilter(LONG index, TDCFilterType type) override;
  HRESULT get_FilterName(LONG index, LPCWSTR* name) override;
  HRESULT get_WindowShown(LONG index, BOOL* shown) override;
  HRESULT set_WindowShown(LONG index, BOOL shown) override;
  HRESULT set_DeleteFilter(LONG index) override;
  HRESULT get_EnableFilter(LONG index, BOOL* enabled) override;
  HRESULT set_EnableFilter(LONG index, BOOL enabled) override;
  HRESULT set_RemoveAllFilters() override;
  HRESULT set_MoveFilter(LONG from, LONG to) override;
  HRESULT set_ResetShownWindows() override;
  HRESULT get_FilterClass(LONG index, TDCEffect** effect) override;
  HRESULT get_FilterInterface(LONG index, IUnknown** out) override;
  HRESULT get_FilterItem(LONG index, TDCFilterItem** item) override;
  HRESULT get_EnableStreamSwitching(BOOL* enable) override;
  HRESULT set_EnableStreamSwitching(BOOL enable) override;
  HRESULT get_EnableStreamSwitchingInterface(BOOL* enable) override;
  HRESULT set_EnableStreamSwitchingInterface(BOOL enable) override;
  HRESULT get_ForceStreamSwitchingDisconnect(BOOL* enable) override;
  HRESULT set_ForceStreamSwitchingDisconnect(BOOL enable) override;
  HRESULT get_ForceStreamSwitchingStopFilter(BOOL* enable) override;
  HRESULT set_ForceStreamSwitchingStopFilter(BOOL enable) override;
  HRESULT get_EnableStreamLimitInstance(BOOL* enable) override;
  HRESULT set_EnableStreamLimitInstance(BOOL enable) override;
  HRESULT get_StreamInfo(PDSStream* stream) override;
  HRESULT get_FilterVersion(LONG* version) override;
  HRESULT get_Instance(LONG* instance) override;
  HRESULT get_EnableBalloonHint(BOOL* enable) override;
  HRESULT set_EnableBalloonHint(BOOL enable) override;
  HRESULT get_EnableROT(BOOL* enable) override;
  HRESULT set_EnableROT(BOOL enable) override;
  HRESULT get_EnableVisualBuffering(BOOL* enable) override;
  HRESULT set_EnableVisualBuffering(BOOL enable) override;

  // IDCDSPFilterVisualInterface
  HRESULT get_VISafterDSP(BOOL* after) override;
  HRESULT set_VISafterDSP(BOOL after) override;
  HRESULT get_VisualData(void** buffer, LONG* size, PDSStream* stream) override;

  // IAMStreamSelect (under the switch lock)
  HRESULT Count(DWORD* pcStreams) override;
  HRESULT Info(LONG lIndex, AM_MEDIA_TYPE** ppmt, DWORD* pdwFlags, LCID* plcid, DWORD* pdwGroup,
               LPWSTR* ppszName, IUnknown** ppObject, IUnknown** ppUnk) override;
  HRESULT Enable(LONG lIndex, DWORD dwFlags) override;

  // For the pins and for inspection (application thread).
  int InputPinCount();
  TDCDSPFilterInputPin* InputPinAt(int index);
  TDCDSPFilterInputPin* ActivePin();
  std::vector<TDCStreamLanguage> StreamLanguages();
  LONG PreferredStream();
  // The registration cookie in the running object table; 0 when none.
  DWORD RunningObjectTableCookie();

 private:
  friend class TDCDSPFilterInputPin;
  friend class TDCDSPFilterOutputPin;

  void CreatePinsLocked();
  // record: take the type's format as the stream's (else only check it).
  HRESULT CheckInputTypeImpl(const TBCMediaType& mt, bool record = true);
  void InitChain();
  // The first unblocked input pin, or null.
  TDCDSPFilterInputPin* FirstUnblockedPin();
  // The name a pin reports and IAMStreamSelect::Info gives for index.
  std::u16string StreamName(int index);
  DWORD StreamLanguageId(int index);

  // Stream switching, called by the pins after their base completion.
  void OnInputConnected(TDCDSPFilterInputPin* pin);
  void OnInputDisconnected(TDCDSPFilterInputPin* pin);
  void OnOutputConnected();
  void OnOutputDisconnected();
  // Enable without the switch lock (also run inside a connection).
  HRESULT SwitchTo(int index);
  // Stops the filter feeding a blocked pin, on a helper thread (the pin's
  // caller is that filter's own streaming thread).
  void StopUpstreamOf(TDCDSPFilterInputPin* pin);
  void JoinStopThreads();

  bool AnotherInstanceUpstream(IPin* connecting);
  void RegisterInRunningObjectTableLocked();
  void RevokeRunningObjectTableLocked();

  const TDCDSPFilterOptions fOptions;
  bool fHostRefused = false;  // the host executable takes no audio

  std::recursive_mutex FSwitchLock;
  bool FEnableRunningObjectTable = false;
  DWORD FRunningObjectTable = 0;
  // Changes only while stopped; read by streaming threads without a lock.
  std::atomic<TDCDSPFilterInputPin*> fActivePin{nullptr};
  bool fInitialized = false;
  bool fEnableLimitInstance = false;
  std::vector<TDCStreamLanguage> fStreamList;
  LONG fPreferedStream = -1;
  std::atomic<bool> fNeedMediatypeChange{false};
  std::atomic<bool> fForceMediatypeChange{false};
  std::vector<TDCDSPFilterInputPin*> fPinList;  // [0] is fInput
  std::vector<std::unique_ptr<TDCDSPFilterInputPin>> fExtraPins;
  bool fEnableStreamSwitching = false;
  bool fEnableStreamSwitchingInterface = false;
  bool fEnableForceDisconnect = false;
  std::atomic<bool> fEnableForceStopFilter{false};
  TDCFilterList fFilters;
  TDCChainControl fChain{fFilters};
  std::atomic<bool> fEnableDelay{false};
  std::atomic<LONG> fDelay{0};
  LONG fThisInstance = 0;
  std::atomic<bool> fVisualBuffering{false};  // no lock
  bool fVisAfterDSP = false;

  // State lock: formats, the stored type and the callback.
  std::mutex fStateLock;
  TDSStream fStream{};
  TDSStream fRealStream{};
  TDSStream fLastMediaType{};
  TBCMediaType fCurrentMediaType;
  std::atomic<bool> fPCMDataBeforeMainDSP{false};
  ComPtr<IDCDSPFilterPCMCallBack> fCallback;

  TDSStream fCallbackStream{};  // receive lock: the record handed to PCMData

  std::mutex fStopThreadsLock;
  std::vector<std::thread> fStopThreads;
};
