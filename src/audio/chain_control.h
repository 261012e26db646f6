#pragma once
// TDCChainControl: the chain methods of the effect filter's control
// interface, on a TDCFilterList. The filter's interface takes its own filter
// lock and forwards here; each method then holds the chain lock (lock order:
// filter lock, then chain lock).
//
// An index is valid when 0 <= index <= count - 1; an invalid index returns
// S_FALSE without any change. A null out pointer returns E_POINTER.

#include "audio/filter_list.h"
#include "platform/com/hresult.h"
#include "platform/com/types.h"

class TDCChainControl {
 public:
  explicit TDCChainControl(TDCFilterList& list) noexcept : list_(list) {}

  HRESULT get_FilterCount(LONG* count);
  HRESULT get_FilterType(LONG index, TDCFilterType* type);
  // index > count appends, like -1; any other index from 0 inserts there.
  // An index below -1 names no position: S_FALSE, nothing added.
  HRESULT set_AddFilter(LONG index, TDCFilterType type);
  // The item's name, valid while the item exists.
  HRESULT get_FilterName(LONG index, LPCWSTR* name);
  HRESULT get_WindowShown(LONG index, BOOL* shown);
  HRESULT set_WindowShown(LONG index, BOOL shown);
  HRESULT set_DeleteFilter(LONG index);
  HRESULT get_EnableFilter(LONG index, BOOL* enabled);
  HRESULT set_EnableFilter(LONG index, BOOL enabled);
  HRESULT set_RemoveAllFilters();
  // Both indices must be valid; the item ends at position to.
  HRESULT set_MoveFilter(LONG from, LONG to);
  HRESULT set_ResetShownWindows();
  // The item's effect object (nullptr for a kind without one), uncounted.
  HRESULT get_FilterClass(LONG index, TDCEffect** effect);
  // A counted reference on the effect's interface; E_NOTIMPL for a kind
  // without an effect object.
  HRESULT get_FilterInterface(LONG index, IUnknown** out);
  HRESULT get_FilterItem(LONG index, TDCFilterItem** item);

 private:
  TDCFilterList& list_;
};
