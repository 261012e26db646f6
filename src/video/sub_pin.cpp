#include "video/sub_pin.h"

#include "video/video_renderer.h"

TSubPin::TSubPin(TVideoRenderer* h)
    : TBCRenderedInputPin("SubPin", h, &h->FilterLock(), "SubIn"), host(h) {}

HRESULT TSubPin::CheckMediaType(const TBCMediaType* /*mt*/) {
  host->Presenter().Subtitles().Clear();
  return S_OK;
}

HRESULT TSubPin::Receive(IMediaSample* /*pSample*/) { return S_OK; }

HRESULT TSubPin::BeginFlush() {
  host->Presenter().Subtitles().Clear();
  return TBCRenderedInputPin::BeginFlush();
}
