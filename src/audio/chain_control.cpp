#include "audio/chain_control.h"

#include <mutex>
#include <new>

using Guard = std::lock_guard<TDCFilterList::Lock>;

HRESULT TDCChainControl::get_FilterCount(LONG* count) {
  if (count == nullptr) return E_POINTER;
  *count = list_.Count();
  return S_OK;
}

HRESULT TDCChainControl::get_FilterType(LONG index, TDCFilterType* type) {
  Guard g(list_.ChainLock());
  TDCFilterItem* item = list_.GetItem(index);
  if (item == nullptr) return S_FALSE;
  if (type == nullptr) return E_POINTER;
  *type = item->FilterType();
  return S_OK;
}

HRESULT TDCChainControl::set_AddFilter(LONG index, TDCFilterType type) {
  Guard g(list_.ChainLock());
  if (index < -1) return S_FALSE;
  const int count = list_.Count();
  if (index > count) index = count;
  try {
    if (index == -1 || index == count) {
      list_.Add(type);
    } else {
      list_.Insert(index, type);
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT TDCChainControl::get_FilterName(LONG index, LPCWSTR* name) {
  Guard g(list_.ChainLock());
  TDCFilterItem* item = list_.GetItem(index);
  if (item == nullptr) return S_FALSE;
  if (name == nullptr) return E_POINTER;
  *name = item->NameW().c_str();
  return S_OK;
}

HRESULT TDCChainControl::get_WindowShown(LONG index, BOOL* shown) {
  Guard g(list_.ChainLock());
  TDCFilterItem* item = list_.GetItem(index);
  if (item == nullptr) return S_FALSE;
  if (shown == nullptr) return E_POINTER;
  *shown = ToBOOL(item->WindowShown());
  return S_OK;
}

HRESULT TDCChainControl::set_WindowShown(LONG index, BOOL shown) {
  Guard g(list_.ChainLock());
  TDCFilterItem* item = list_.GetItem(index);
  if (item == nullptr) return S_FALSE;
  item->SetWindowShown(FromBOOL(shown));
  return S_OK;
}

HRESULT TDCChainControl::set_DeleteFilter(LONG index) {
  return list_.Delete(index) ? S_OK : S_FALSE;
}

HRESULT TDCChainControl::get_EnableFilter(LONG index, BOOL* enabled) {
  Guard g(list_.ChainLock());
  TDCFilterItem* item = list_.GetItem(index);
  if (item == nullptr) return S_FALSE;
  if (enabled == nullptr) return E_POINTER;
  *enabled = ToBOOL(item->Enabled());
  return S_OK;
}

HRESULT TDCChainControl::set_EnableFilter(LONG index, BOOL enabled) {
  // Under the chain lock: switching the equalizer on clears its overlap
  // memory, which must not happen in the middle of a buffer.
  Guard g(list_.ChainLock());
  TDCFilterItem* item = list_.GetItem(index);
  if (item == nullptr) return S_FALSE;
  item->SetEnabled(FromBOOL(enabled));
  return S_OK;
}

HRESULT TDCChainControl::set_RemoveAllFilters() {
  list_.Clear();
  return S_OK;
}

HRESULT TDCChainControl::set_MoveFilter(LONG from, LONG to) {
  return list_.Move(from, to) ? S_OK : S_FALSE;
}

HRESULT TDCChainControl::set_ResetShownWindows() {
  list_.ResetShownWindows();
  return S_OK;
}

HRESULT TDCChainControl::get_FilterClass(LONG index, TDCEffect** effect) {
  Guard g(list_.ChainLock());
  TDCFilterItem* item = list_.GetItem(index);
  if (item == nullptr) return S_FALSE;
  if (effect == nullptr) return E_POINTER;
  *effect = item->Filter();
  return S_OK;
}

HRESULT TDCChainControl::get_FilterInterface(LONG index, IUnknown** out) {
  Guard g(list_.ChainLock());
  TDCFilterItem* item = list_.GetItem(index);
  if (item == nullptr) return S_FALSE;
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  IUnknown* unk = item->DSPInterface();
  if (unk == nullptr) return E_NOTIMPL;
  unk->AddRef();
  *out = unk;
  return S_OK;
}

HRESULT TDCChainControl::get_FilterItem(LONG index, TDCFilterItem** item) {
  Guard g(list_.ChainLock());
  TDCFilterItem* it = list_.GetItem(index);
  if (it == nullptr) return S_FALSE;
  if (item == nullptr) return E_POINTER;
  *item = it;
  return S_OK;
}
