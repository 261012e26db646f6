#pragma once
// TBCRenderedInputPin: an input pin that ends a stream: it renders nothing
// downstream and signals the end of stream to the graph itself, as
// EC_COMPLETE (param2 = its filter) when the filter runs, or at the next Run
// when the end arrives while paused. Stop and flushes forget it.
//
// | Hook / method | Thread, lock                    | Base behaviour                   |
// | Receive       | streaming, none                 | TBCBaseInputPin's checks; the    |
// |               |                                 | sample is then discarded         |
// | EndOfStream   | streaming, the pin's own mutex  | as above                         |
// | BeginFlush /  | flushing thread, none           | base, and forgets a pending end  |
// | EndFlush      |                                 | of stream                        |
// | Run / Inactive| app, filter                     | delivers / forgets the pending   |
// |               |                                 | end of stream                    |
// A subclass overriding these calls the base.

#include <mutex>

#include "directshow/input_pin.h"

class TBCRenderedInputPin : public TBCBaseInputPin {
 public:
  TBCRenderedInputPin(std::string objectName, TBCBaseFilter* filter, TBCCritSec* lock,
                      std::string pinName);

  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT Inactive() override;

 private:
  void DoCompleteHandling();

  std::mutex fEosLock;
  bool fAtEndOfStream = false;
  bool fCompleteDelivered = false;
};
