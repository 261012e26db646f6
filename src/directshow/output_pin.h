#pragma once
// TBCBaseOutputPin: an output pin that delivers samples to an IMemInputPin.
//
// On connection (CompleteConnect) it agrees on an allocator with the input
// pin (DecideAllocator): the input pin's own allocator if it offers one, a
// new TBCMemAllocator otherwise; DecideBufferSize sets the buffer count and
// size on it. Active commits the allocator, Inactive decommits it (which
// releases a streaming thread blocked in GetDeliveryBuffer).
//
// | Hook / method          | Thread, lock          | Base behaviour               |
// | DecideBufferSize       | app thread, pin lock  | pure: SetProperties on alloc |
// | DecideAllocator        | app thread, pin lock  | as described above           |
// | InitAllocator          | app thread, pin lock  | a new TBCMemAllocator        |
// | GetDeliveryBuffer      | streaming thread, none| the allocator's GetBuffer    |
// | Deliver(sample)        | streaming thread, none| the peer's Receive           |
// | DeliverEndOfStream,    | streaming or flushing | the peer's EndOfStream,      |
// | DeliverBeginFlush/     | thread, none          | BeginFlush, EndFlush,        |
// | EndFlush/NewSegment    |                       | NewSegment; S_OK unconnected |
// Deliver* never take a lock: call them holding none that a downstream
// filter's threads might need (a filter's receive lock is fine, its filter
// lock is not when another thread may wait on it).

#include "directshow/base_pin.h"

class TBCBaseOutputPin : public TBCBasePin {
 public:
  TBCBaseOutputPin(std::string objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                   std::string pinName);
  ~TBCBaseOutputPin() override;

  // IPin: an output pin receives no end of stream or flush: E_UNEXPECTED.
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // Hooks
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT DecideAllocator(IMemInputPin* pin, ComPtr<IMemAllocator>* allocator);
  virtual HRESULT InitAllocator(ComPtr<IMemAllocator>* allocator);
  virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                    REFERENCE_TIME* stop, DWORD flags);
  virtual HRESULT Deliver(IMediaSample* sample);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // TBCBasePin hooks
  HRESULT CheckConnect(IPin* pin) override;     // the peer must offer IMemInputPin
  HRESULT CompleteConnect(IPin* pin) override;  // DecideAllocator
  HRESULT BreakConnect() override;              // decommits, drops allocator and peer
  HRESULT Active() override;                    // commits the allocator
  HRESULT Inactive() override;                  // decommits it

  IMemAllocator* Allocator() const { return fAllocator.get(); }
  IMemInputPin* InputPin() const { return fInputPin.get(); }

 protected:
  ComPtr<IMemAllocator> fAllocator;
  ComPtr<IMemInputPin> fInputPin;
};
