// The effect filter's control interfaces: IDCDSPFilterInterface and
// IDCDSPFilterVisualInterface. Every method takes the filter lock, except
// the visual-buffering pair; the chain methods then take the chain lock.

#include "audio/dsp_filter.h"

namespace {

template <class T>
HRESULT Out(T* out, T value) {
  if (out == nullptr) return E_POINTER;
  *out = value;
  return S_OK;
}

}  // namespace

HRESULT TDCDSPFilter::set_CallBackPCM(IDCDSPFilterPCMCallBack* callback) {
  TBCAutoLock lock(fLock);
  ComPtr<IDCDSPFilterPCMCallBack> old;  // released after the state lock
  std::lock_guard state(fStateLock);
  old = std::move(fCallback);
  fCallback = ComPtr<IDCDSPFilterPCMCallBack>(callback);
  return S_OK;
}

HRESULT TDCDSPFilter::set_PCMDataBeforeMainDSP(BOOL before) {
  TBCAutoLock lock(fLock);
  fPCMDataBeforeMainDSP.store(FromBOOL(before), std::memory_order_release);
  return S_OK;
}

HRESULT TDCDSPFilter::get_EnableDelay(BOOL* enable) {
  TBCAutoLock lock(fLock);
  return Out(enable, ToBOOL(fEnableDelay.load()));
}

HRESULT TDCDSPFilter::set_EnableDelay(BOOL enable) {
  TBCAutoLock lock(fLock);
  fEnableDelay.store(FromBOOL(enable), std::memory_order_release);
  return S_OK;
}

HRESULT TDCDSPFilter::get_Delay(LONG* delay) {
  TBCAutoLock lock(fLock);
  return Out(delay, fDelay.load());
}

HRESULT TDCDSPFilter::set_Delay(LONG delay) {
  TBCAutoLock lock(fLock);
  fDelay.store(delay, std::memory_order_release);
  return S_OK;
}

// ---------------------------------------------------------------------------
// The chain: filter lock, then TDCChainControl takes the chain lock.

HRESULT TDCDSPFilter::get_FilterCount(LONG* count) {
  TBCAutoLock lock(fLock);
  return fChain.get_FilterCount(count);
}

HRESULT TDCDSPFilter::get_FilterType(LONG index, TDCFilterType* type) {
  TBCAutoLock lock(fLock);
  return fChain.get_FilterType(index, type);
}

HRESULT TDCDSPFilter::set_AddFilter(LONG index, TDCFilterType type) {
  TBCAutoLock lock(fLock);
  return fChain.set_AddFilter(index, type);
}

HRESULT TDCDSPFilter::get_FilterName(LONG index, LPCWSTR* name) {
  TBCAutoLock lock(fLock);
  return fChain.get_FilterName(index, name);
}

HRESULT TDCDSPFilter::get_WindowShown(LONG index, BOOL* shown) {
  TBCAutoLock lock(fLock);
  return fChain.get_WindowShown(index, shown);
}

HRESULT TDCDSPFilter::set_WindowShown(LONG index, BOOL shown) {
  TBCAutoLock lock(fLock);
  return fChain.set_WindowShown(index, shown);
}

HRESULT TDCDSPFilter::set_DeleteFilter(LONG index) {
  TBCAutoLock lock(fLock);
  return fChain.set_DeleteFilter(index);
}

HRESULT TDCDSPFilter::get_EnableFilter(LONG index, BOOL* enabled) {
  TBCAutoLock lock(fLock);
  return fChain.get_EnableFilter(index, enabled);
}

HRESULT TDCDSPFilter::set_EnableFilter(LONG index, BOOL enabled) {
  TBCAutoLock lock(fLock);
  return fChain.set_EnableFilter(index, enabled);
}

HRESULT TDCDSPFilter::set_RemoveAllFilters() {
  TBCAutoLock lock(fLock);
  return fChain.set_RemoveAllFilters();
}

HRESULT TDCDSPFilter::set_MoveFilter(LONG from, LONG to) {
  TBCAutoLock lock(fLock);
  return fChain.set_MoveFilter(from, to);
}

HRESULT TDCDSPFilter::set_ResetShownWindows() {
  TBCAutoLock lock(fLock);
  return fChain.set_ResetShownWindows();
}

HRESULT TDCDSPFilter::get_FilterClass(LONG index, TDCEffect** effect) {
  TBCAutoLock lock(fLock);
  return fChain.get_FilterClass(index, effect);
}

HRESULT TDCDSPFilter::get_FilterInterface(LONG index, IUnknown** out) {
  TBCAutoLock lock(fLock);
  return fChain.get_FilterInterface(index, out);
}

HRESULT TDCDSPFilter::get_FilterItem(LONG index, TDCFilterItem** item) {
  TBCAutoLock lock(fLock);
  return fChain.get_FilterItem(index, item);
}

// ---------------------------------------------------------------------------
// Stream switching options

HRESULT TDCDSPFilter::get_EnableStreamSwitching(BOOL* enable) {
  TBCAutoLock lock(fLock);
  return Out(enable, ToBOOL(fEnableStreamSwitching));
}

HRESULT TDCDSPFilter::set_EnableStreamSwitching(BOOL enable) {
  TBCAutoLock lock(fLock);
  fEnableStreamSwitching = FromBOOL(enable);
  return S_OK;
}

HRESULT TDCDSPFilter::get_EnableStreamSwitchingInterface(BOOL* enable) {
  TBCAutoLock lock(fLock);
  return Out(enable, ToBOOL(fEnableStreamSwitchingInterface));
}

HRESULT TDCDSPFilter::set_EnableStreamSwitchingInterface(BOOL enable) {
  TBCAutoLock lock(fLock);
  fEnableStreamSwitchingInterface = FromBOOL(enable);
  return S_OK;
}

HRESULT TDCDSPFilter::get_ForceStreamSwitchingDisconnect(BOOL* enable) {
  TBCAutoLock lock(fLock);
  return Out(enable, ToBOOL(fEnableForceDisconnect));
}

HRESULT TDCDSPFilter::set_ForceStreamSwitchingDisconnect(BOOL enable) {
  TBCAutoLock lock(fLock);
  fEnableForceDisconnect = FromBOOL(enable);
  return S_OK;
}

HRESULT TDCDSPFilter::get_ForceStreamSwitchingStopFilter(BOOL* enable) {
  TBCAutoLock lock(fLock);
  return Out(enable, ToBOOL(fEnableForceStopFilter.load()));
}

HRESULT TDCDSPFilter::set_ForceStreamSwitchingStopFilter(BOOL enable) {
  TBCAutoLock lock(fLock);
  fEnableForceStopFilter.store(FromBOOL(enable), std::memory_order_release);
  return S_OK;
}

HRESULT TDCDSPFilter::get_EnableStreamLimitInstance(BOOL* enable) {
  TBCAutoLock lock(fLock);
  return Out(enable, ToBOOL(fEnableLimitInstance));
}

HRESULT TDCDSPFilter::set_EnableStreamLimitInstance(BOOL enable) {
  TBCAutoLock lock(fLock);
  fEnableLimitInstance = FromBOOL(enable);
  return S_OK;
}

// ---------------------------------------------------------------------------
// Information

HRESULT TDCDSPFilter::get_StreamInfo(PDSStream* stream) {
  TBCAutoLock lock(fLock);
  return Out(stream, &fRealStream);
}

HRESULT TDCDSPFilter::get_FilterVersion(LONG* version) {
  TBCAutoLock lock(fLock);
  return Out(version, kDCDSPFilterVersion);
}

HRESULT TDCDSPFilter::get_Instance(LONG* instance) {
  TBCAutoLock lock(fLock);
  return Out(instance, fThisInstance);
}

HRESULT TDCDSPFilter::get_EnableBalloonHint(BOOL* enable) {
  TBCAutoLock lock(fLock);
  if (enable == nullptr) return E_POINTER;
  *enable = BOOL_FALSE;
  return S_FALSE;
}

HRESULT TDCDSPFilter::set_EnableBalloonHint(BOOL) {
  TBCAutoLock lock(fLock);
  return S_FALSE;
}

HRESULT TDCDSPFilter::get_EnableROT(BOOL* enable) {
  TBCAutoLock lock(fLock);
  return Out(enable, ToBOOL(FEnableRunningObjectTable));
}

HRESULT TDCDSPFilter::set_EnableROT(BOOL enable) {
  TBCAutoLock lock(fLock);
  const bool on = FromBOOL(enable);
  if (on == FEnableRunningObjectTable) return S_OK;
  FEnableRunningObjectTable = on;
  if (on) {
    RegisterInRunningObjectTableLocked();
  } else {
    RevokeRunningObjectTableLocked();
  }
  return S_OK;
}

HRESULT TDCDSPFilter::get_EnableVisualBuffering(BOOL* enable) {
  return Out(enable, ToBOOL(fVisualBuffering.load()));
}

HRESULT TDCDSPFilter::set_EnableVisualBuffering(BOOL enable) {
  fVisualBuffering.store(FromBOOL(enable));
  return S_OK;
}

// ---------------------------------------------------------------------------
// IDCDSPFilterVisualInterface

HRESULT TDCDSPFilter::get_VISafterDSP(BOOL* after) {
  TBCAutoLock lock(fLock);
  return Out(after, ToBOOL(fVisAfterDSP));
}

HRESULT TDCDSPFilter::set_VISafterDSP(BOOL after) {
  TBCAutoLock lock(fLock);
  fVisAfterDSP = FromBOOL(after);
  return S_OK;
}

HRESULT TDCDSPFilter::get_VisualData(void** buffer, LONG* size, PDSStream* stream) {
  if (buffer) *buffer = nullptr;
  if (size) *size = 0;
  if (stream) *stream = nullptr;
  return E_NOTIMPL;
}
