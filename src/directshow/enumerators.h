#pragma once
// Enumerators of pins, media types and filters.
//
// TBCEnumPins walks a filter's GetPin list and TBCEnumMediaTypes a pin's
// GetMediaType list, each holding a reference on the filter; when the
// filter's pin version changes, Next answers VFW_E_ENUM_OUT_OF_SYNC until
// Reset. TBCEnumFilters walks a snapshot.

#include <vector>

#include "directshow/filter_interfaces.h"
#include "platform/com/com_object.h"

class TBCBaseFilter;
class TBCBasePin;

class TBCEnumPins : public ComObject<IEnumPins> {
 public:
  explicit TBCEnumPins(TBCBaseFilter* filter, ULONG position = 0);
  HRESULT Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
  HRESULT Skip(ULONG cPins) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumPins** ppEnum) override;

 private:
  ComPtr<IBaseFilter> fFilterRef;
  TBCBaseFilter* const fFilter;
  ULONG fPosition;
  int fVersion;
};

class TBCEnumMediaTypes : public ComObject<IEnumMediaTypes> {
 public:
  explicit TBCEnumMediaTypes(TBCBasePin* pin, ULONG position = 0);
  HRESULT Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
  HRESULT Skip(ULONG cMediaTypes) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumMediaTypes** ppEnum) override;

 private:
  ComPtr<IPin> fPinRef;
  TBCBasePin* const fPin;
  ULONG fPosition;
};

class TBCEnumFilters : public ComObject<IEnumFilters> {
 public:
  explicit TBCEnumFilters(std::vector<ComPtr<IBaseFilter>> filters, ULONG position = 0);
  HRESULT Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) override;
  HRESULT Skip(ULONG cFilters) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumFilters** ppEnum) override;

 private:
  std::vector<ComPtr<IBaseFilter>> fFilters;
  ULONG fPosition;
};
