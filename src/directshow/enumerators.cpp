#include "directshow/enumerators.h"

#include "directshow/base_filter.h"
#include "directshow/base_pin.h"

TBCEnumPins::TBCEnumPins(TBCBaseFilter* filter, ULONG position)
    : fFilterRef(filter), fFilter(filter), fPosition(position), fVersion(filter->GetPinVersion()) {}

HRESULT TBCEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
  if (!ppPins) return E_POINTER;
  if (pcFetched) *pcFetched = 0;
  if (!pcFetched && cPins > 1) return E_INVALIDARG;
  if (fVersion != fFilter->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG fetched = 0;
  while (fetched < cPins) {
    TBCBasePin* pin = fFilter->GetPin(static_cast<int>(fPosition));
    if (!pin) break;
    ppPins[fetched] = pin;
    pin->AddRef();
    ++fetched;
    ++fPosition;
  }
  if (pcFetched) *pcFetched = fetched;
  return fetched == cPins ? S_OK : S_FALSE;
}

HRESULT TBCEnumPins::Skip(ULONG cPins) {
  if (fVersion != fFilter->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  const auto count = static_cast<ULONG>(fFilter->GetPinCount());
  if (fPosition + cPins > count) {
    fPosition = count;
    return S_FALSE;
  }
  fPosition += cPins;
  return S_OK;
}

HRESULT TBCEnumPins::Reset() {
  fVersion = fFilter->GetPinVersion();
  fPosition = 0;
  return S_OK;
}

HRESULT TBCEnumPins::Clone(IEnumPins** ppEnum) {
  if (!ppEnum) return E_POINTER;
  if (fVersion != fFilter->GetPinVersion()) return VFW_E_ENUM_OUT_OF_SYNC;
  *ppEnum = MakeCom<TBCEnumPins>(fFilter, fPosition).Detach();
  return S_OK;
}

TBCEnumMediaTypes::TBCEnumMediaTypes(TBCBasePin* pin, ULONG position)
    : fPinRef(pin), fPin(pin), fPosition(position) {}

HRESULT TBCEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) {
  if (!ppMediaTypes) return E_POINTER;
  if (pcFetched) *pcFetched = 0;
  if (!pcFetched && cMediaTypes > 1) return E_INVALIDARG;
  ULONG fetched = 0;
  while (fetched < cMediaTypes) {
    TBCMediaType mt;
    HRESULT hr;
    {
      TBCAutoLock lock(*fPin->PinLock());
      hr = fPin->GetMediaType(static_cast<int>(fPosition), &mt);
    }
    if (hr != S_OK) break;
    AM_MEDIA_TYPE* copy = CreateMediaType(&mt);
    if (!copy) break;
    ppMediaTypes[fetched++] = copy;
    ++fPosition;
  }
  if (pcFetched) *pcFetched = fetched;
  return fetched == cMediaTypes ? S_OK : S_FALSE;
}

HRESULT TBCEnumMediaTypes::Skip(ULONG cMediaTypes) {
  while (cMediaTypes > 0) {
    TBCMediaType mt;
    HRESULT hr;
    {
      TBCAutoLock lock(*fPin->PinLock());
      hr = fPin->GetMediaType(static_cast<int>(fPosition), &mt);
    }
    if (hr != S_OK) return S_FALSE;
    ++fPosition;
    --cMediaTypes;
  }
  return S_OK;
}

HRESULT TBCEnumMediaTypes::Reset() {
  fPosition = 0;
  return S_OK;
}

HRESULT TBCEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = MakeCom<TBCEnumMediaTypes>(fPin, fPosition).Detach();
  return S_OK;
}

TBCEnumFilters::TBCEnumFilters(std::vector<ComPtr<IBaseFilter>> filters, ULONG position)
    : fFilters(std::move(filters)), fPosition(position) {}

HRESULT TBCEnumFilters::Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) {
  if (!ppFilter) return E_POINTER;
  if (pcFetched) *pcFetched = 0;
  if (!pcFetched && cFilters > 1) return E_INVALIDARG;
  ULONG fetched = 0;
  while (fetched < cFilters && fPosition < fFilters.size()) {
    ppFilter[fetched] = fFilters[fPosition].get();
    ppFilter[fetched]->AddRef();
    ++fetched;
    ++fPosition;
  }
  if (pcFetched) *pcFetched = fetched;
  return fetched == cFilters ? S_OK : S_FALSE;
}

HRESULT TBCEnumFilters::Skip(ULONG cFilters) {
  if (fPosition + cFilters > fFilters.size()) {
    fPosition = static_cast<ULONG>(fFilters.size());
    return S_FALSE;
  }
  fPosition += cFilters;
  return S_OK;
}

HRESULT TBCEnumFilters::Reset() {
  fPosition = 0;
  return S_OK;
}

HRESULT TBCEnumFilters::Clone(IEnumFilters** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = MakeCom<TBCEnumFilters>(fFilters, fPosition).Detach();
  return S_OK;
}
