#pragma once
// TSubPin: the video renderer's subtitle input "SubIn". It accepts every
// media type and drops every sample (subtitles are not drawn); a connection
// check and a flush empty the presenter's subtitle queue. End of stream,
// disconnection and the rest are those of TBCRenderedInputPin.

#include "directshow/rendered_input_pin.h"

class TVideoRenderer;

class TSubPin final : public TBCRenderedInputPin {
 public:
  // Object name "SubPin", pin name "SubIn"; the lock is the filter lock.
  explicit TSubPin(TVideoRenderer* host);

  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT BeginFlush() override;

 private:
  TVideoRenderer* const host;
};
