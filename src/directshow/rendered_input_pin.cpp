#include "directshow/rendered_input_pin.h"

TBCRenderedInputPin::TBCRenderedInputPin(std::string objectName, TBCBaseFilter* filter,
                                         TBCCritSec* lock, std::string pinName)
    : TBCBaseInputPin(std::move(objectName), filter, lock, std::move(pinName)) {}

void TBCRenderedInputPin::DoCompleteHandling() {
  // Called with fEosLock held; NotifyEvent only takes the sink lock.
  if (fCompleteDelivered || !fAtEndOfStream || fFilter->State() != State_Running) return;
  fCompleteDelivered = true;
  fFilter->NotifyEvent(EC_COMPLETE, S_OK, 0);
}

HRESULT TBCRenderedInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  std::lock_guard lock(fEosLock);
  fAtEndOfStream = true;
  DoCompleteHandling();
  return S_OK;
}

HRESULT TBCRenderedInputPin::BeginFlush() {
  TBCBaseInputPin::BeginFlush();
  std::lock_guard lock(fEosLock);
  fAtEndOfStream = false;
  fCompleteDelivered = false;
  return S_OK;
}

HRESULT TBCRenderedInputPin::EndFlush() {
  {
    std::lock_guard lock(fEosLock);
    fAtEndOfStream = false;
    fCompleteDelivered = false;
  }
  return TBCBaseInputPin::EndFlush();
}

HRESULT TBCRenderedInputPin::Run(REFERENCE_TIME tStart) {
  TBCBaseInputPin::Run(tStart);
  std::lock_guard lock(fEosLock);
  // The filter's state becomes running after its pins ran: deliver directly.
  if (fAtEndOfStream && !fCompleteDelivered) {
    fCompleteDelivered = true;
    fFilter->NotifyEvent(EC_COMPLETE, S_OK, 0);
  }
  return S_OK;
}

HRESULT TBCRenderedInputPin::Inactive() {
  {
    std::lock_guard lock(fEosLock);
    fAtEndOfStream = false;
    fCompleteDelivered = false;
  }
  return TBCBaseInputPin::Inactive();
}
