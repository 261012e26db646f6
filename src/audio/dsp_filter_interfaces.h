#pragma once
// The audio effect filter's COM-style interfaces and identities.
//
// IDCDSPFilterInterface is the filter's control interface; its methods follow
// the three IUnknown slots in declaration order (slot numbers in the
// comments). Booleans are 32-bit with -1 for true. Every method takes the
// filter lock except the visual-buffering pair.
//
// IDCDSPFilterPCMCallBack is implemented by a client and called by the
// filter on the streaming thread with the receive lock held: it must not call
// back into the filter's streaming path.

#include "audio/ds_stream.h"
#include "audio/effect.h"
#include "audio/filter_item.h"
#include "audio/filter_type.h"
#include "platform/com/guid.h"
#include "platform/com/unknown.h"

inline constexpr CLSID CLSID_DCDSPFilter = MakeGuid("{B38C58A0-1809-11D6-A458-EDAE78F1DF12}");

// The version get_FilterVersion reports.
inline constexpr LONG kDCDSPFilterVersion = 1030;

struct IDCDSPFilterPCMCallBack : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{3971C5D4-1FDA-45C1-9131-C817326A4348}");

  // 3: once per buffer, before or after the chain. The client may change the
  // data in place and report a different byte count in *newSize (at most
  // the buffer's size; the filter limits it). *newSize holds `size` on entry.
  virtual HRESULT PCMData(void* buffer, LONG size, LONG* newSize, PDSStream stream) = 0;
  // 4: an accepted input type gave a format other than the one last reported.
  virtual HRESULT MediaTypeChanged(PDSStream stream) = 0;
  // 5: at the start of every flush.
  virtual HRESULT FlushNotify() = 0;

 protected:
  ~IDCDSPFilterPCMCallBack() = default;
};

struct IDCDSPFilterInterface : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{BD78EF46-1809-11D6-A458-EDAE78F1DF12}");

  // 3: stores (or, with null, clears) the callback, holding one reference.
  virtual HRESULT set_CallBackPCM(IDCDSPFilterPCMCallBack* callback) = 0;
  // 4: the callback sees the data before the chain (else after it).
  virtual HRESULT set_PCMDataBeforeMainDSP(BOOL before) = 0;
  // 5, 6: add the delay to every output time stamp.
  virtual HRESULT get_EnableDelay(BOOL* enable) = 0;
  virtual HRESULT set_EnableDelay(BOOL enable) = 0;
  // 7, 8: the delay in milliseconds (may be negative).
  virtual HRESULT get_Delay(LONG* delay) = 0;
  virtual HRESULT set_Delay(LONG delay) = 0;

  // 9 to 23: the effect chain. An index is valid when 0 <= index <= count - 1;
  // an invalid one returns S_FALSE without any change.
  virtual HRESULT get_FilterCount(LONG* count) = 0;
  virtual HRESULT get_FilterType(LONG index, TDCFilterType* type) = 0;
  // An index larger than the count appends, as does -1; any other index from
  // 0 inserts there; below -1: S_FALSE, nothing added.
  virtual HRESULT set_AddFilter(LONG index, TDCFilterType type) = 0;
  // The item's name, valid while the item exists.
  virtual HRESULT get_FilterName(LONG index, LPCWSTR* name) = 0;
  virtual HRESULT get_WindowShown(LONG index, BOOL* shown) = 0;
  virtual HRESULT set_WindowShown(LONG index, BOOL shown) = 0;
  virtual HRESULT set_DeleteFilter(LONG index) = 0;
  virtual HRESULT get_EnableFilter(LONG index, BOOL* enabled) = 0;
  virtual HRESULT set_EnableFilter(LONG index, BOOL enabled) = 0;
  virtual HRESULT set_RemoveAllFilters() = 0;
  virtual HRESULT set_MoveFilter(LONG from, LONG to) = 0;
  virtual HRESULT set_ResetShownWindows() = 0;
  // The item's effect object (null for a kind without one), uncounted.
  virtual HRESULT get_FilterClass(LONG index, TDCEffect** effect) = 0;
  // A counted reference on the effect's control interface (IDCEqualizer,
  // IDCAmplify, IDCCompressor, IDCDynamicAmplify or IDCParametricEQ) as
  // IUnknown; E_NOTIMPL for a kind without one.
  virtual HRESULT get_FilterInterface(LONG index, IUnknown** out) = 0;
  virtual HRESULT get_FilterItem(LONG index, TDCFilterItem** item) = 0;

  // 24 to 33: stream switching (all off after creation).
  virtual HRESULT get_EnableStreamSwitching(BOOL* enable) = 0;
  virtual HRESULT set_EnableStreamSwitching(BOOL enable) = 0;
  virtual HRESULT get_EnableStreamSwitchingInterface(BOOL* enable) = 0;
  virtual HRESULT set_EnableStreamSwitchingInterface(BOOL enable) = 0;
  virtual HRESULT get_ForceStreamSwitchingDisconnect(BOOL* enable) = 0;
  virtual HRESULT set_ForceStreamSwitchingDisconnect(BOOL enable) = 0;
  virtual HRESULT get_ForceStreamSwitchingStopFilter(BOOL* enable) = 0;
  virtual HRESULT set_ForceStreamSwitchingStopFilter(BOOL enable) = 0;
  virtual HRESULT get_EnableStreamLimitInstance(BOOL* enable) = 0;
  virtual HRESULT set_EnableStreamLimitInstance(BOOL enable) = 0;

  // 34: the format handed to the chain and to clients; the pointer stays
  // valid for the filter's life.
  virtual HRESULT get_StreamInfo(PDSStream* stream) = 0;
  // 35: always kDCDSPFilterVersion.
  virtual HRESULT get_FilterVersion(LONG* version) = 0;
  // 36: this filter's instance number.
  virtual HRESULT get_Instance(LONG* instance) = 0;
  // 37, 38: not supported: false and S_FALSE; the setter does nothing.
  virtual HRESULT get_EnableBalloonHint(BOOL* enable) = 0;
  virtual HRESULT set_EnableBalloonHint(BOOL enable) = 0;
  // 39, 40: registration of the graph in the running object table.
  virtual HRESULT get_EnableROT(BOOL* enable) = 0;
  virtual HRESULT set_EnableROT(BOOL enable) = 0;
  // 41, 42: a flag nothing else reads; no lock.
  virtual HRESULT get_EnableVisualBuffering(BOOL* enable) = 0;
  virtual HRESULT set_EnableVisualBuffering(BOOL enable) = 0;

 protected:
  ~IDCDSPFilterInterface() = default;
};

struct IDCDSPFilterVisualInterface : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{3AA3B85E-FBD5-4D30-8D3C-B78AFC24CE57}");

  virtual HRESULT get_VISafterDSP(BOOL* after) = 0;
  virtual HRESULT set_VISafterDSP(BOOL after) = 0;
  // E_NOTIMPL: no visual buffer is kept.
  virtual HRESULT get_VisualData(void** buffer, LONG* size, PDSStream* stream) = 0;

 protected:
  ~IDCDSPFilterVisualInterface() = default;
};
