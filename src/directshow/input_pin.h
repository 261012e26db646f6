#pragma once
// TBCBaseInputPin: an input pin that takes samples through IMemInputPin.
//
// | Hook / method      | Thread, lock              | Base behaviour                  |
// | Receive(sample)    | upstream streaming thread,| the checks every subclass calls |
// |                    | no lock                   | first (see below)               |
// | EndOfStream        | upstream streaming thread | CheckStreaming()                |
// | BeginFlush         | flushing thread (the      | marks the pin flushing: Receive |
// |                    | graph's), no lock         | answers S_FALSE until EndFlush  |
// | EndFlush           | flushing thread, no lock  | takes a fresh stream generation |
// |                    |                           | and clears the flushing mark    |
// | Inactive           | app thread, filter lock   | decommits the allocator, clears |
// |                    |                           | flushing and run-time error     |
// | Notify (quality)   | downstream's thread       | passes upstream (PassNotify)    |
//
// Receive's base checks, in order: not connected -> VFW_E_NOT_CONNECTED;
// stopped -> VFW_E_WRONG_STATE; flushing -> S_FALSE; an earlier run-time
// error -> VFW_E_RUNTIME_ERROR; a sample whose stream generation is older
// than the last EndFlush (data from before a seek) -> VFW_S_SOME_DATA_IGNORED
// (the caller drops it and returns that code; upstream keeps delivering); a
// sample carrying a media type CheckMediaType refuses ->
// VFW_E_INVALIDMEDIATYPE. S_OK otherwise. A subclass returns any other
// result unchanged: `if (hr != S_OK) return hr;`.

#include <atomic>

#include "directshow/base_pin.h"

class TBCBaseInputPin : public ComExtend<TBCBasePin, IMemInputPin> {
 public:
  TBCBaseInputPin(std::string objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                  std::string pinName);
  ~TBCBaseInputPin() override;

  // IMemInputPin
  // The allocator the output pin agreed on; a new TBCMemAllocator when none
  // was proposed yet.
  HRESULT GetAllocator(IMemAllocator** ppAllocator) override;
  HRESULT NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;  // E_NOTIMPL
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT ReceiveMultiple(IMediaSample** pSamples, LONG nSamples, LONG* nSamplesProcessed) override;
  HRESULT ReceiveCanBlock() override;  // S_OK

  // IPin
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // IQualityControl
  HRESULT Notify(IBaseFilter* pSelf, Quality q) override;

  // TBCBasePin hooks
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT Inactive() override;

  // S_OK while samples may be received (connected, active, not flushing, no
  // run-time error); the failure Receive would give otherwise.
  HRESULT CheckStreaming();
  // Whether the sample's data comes from before the last flush.
  bool IsStale(IMediaSample* sample) const;
  // Passes a quality message upstream (or to the sink set with SetSink).
  HRESULT PassNotify(const Quality& q);
  // Marks a run-time error: Receive fails until the next stop.
  void SetRuntimeError() { fRunTimeError = true; }

  bool IsFlushing() const { return fFlushing.load(std::memory_order_acquire); }
  bool IsReadOnly() const { return fReadOnly; }
  // The agreed allocator, or null.
  ComPtr<IMemAllocator> Allocator() const;

 protected:
  ComPtr<IMemAllocator> fAllocator;  // guarded by the pin lock
  bool fReadOnly = false;
  std::atomic<bool> fFlushing{false};
  std::atomic<bool> fRunTimeError{false};
  std::atomic<ULONGLONG> fFlushGeneration{0};
};
