#include "video/video_renderer.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "directshow/dshow_guids.h"
#include "video/picture_geometry.h"

std::atomic<bool> StreamSwitching{false};

namespace {

bool IsSubPinName(LPCWSTR id) {
  return id && std::u16string_view(id) == std::u16string_view(u"SubIn");
}

}  // namespace

TVideoRenderer::TVideoRenderer(HWND device, TVideoRendererDeps deps)
    : ComExtend(kVideoRendererName, CLSID_D2R2VideoRenderer), fSplash(MakeSplashPicture()) {
  fLast = {nullptr, fSplash.Bits(), fSplash.Size()};
  fPresenter = std::make_unique<TfrmRenderer>(
      device, std::move(deps.output), deps.options.value_or(TPresenterOptions::FromEnvironment()));
  fSubPin = std::make_unique<TSubPin>(this);
  fPresenter->ResetDevice(kPictureWidth, kPictureHeight, kAspect16x9, false);
  fTicker = deps.ticker ? std::move(deps.ticker) : std::make_unique<TThreadTickSource>();
  fTicker->Start(kRepaintPeriod, [this] { RepaintTick(); });
}

TVideoRenderer::~TVideoRenderer() {
  fRepaint = false;
  fTicker->Stop();  // no tick reaches the presenter once it goes
  fTicker.reset();
  fSubPin.reset();
  fPresenter.reset();
}

// ---- ID2R2 ----

HRESULT TVideoRenderer::SetVideoWindow(HWND owner) {
  fPresenter->SetTV(owner);
  return fPresenter->ResetDevice(0, 0, 0, false);
}

HRESULT TVideoRenderer::SetSubtitleWindow(HWND subWin) {
  fPresenter->SetSUB(subWin);
  return S_OK;
}

HRESULT TVideoRenderer::SetPSConstant(int idx, float vl) {
  fPresenter->SetPSConstant(idx, vl);
  return S_OK;
}

HRESULT TVideoRenderer::GetVideoParams(VIDEOINFOHEADER2* VParams) {
  if (!VParams) return E_POINTER;
  if (!InputPin()->IsConnected()) return E_FAIL;
  *VParams = fFormat;
  return S_OK;
}

HRESULT TVideoRenderer::GetVideoSize(SIZE* vsz) {
  if (!vsz) return E_POINTER;
  if (!InputPin()->IsConnected()) return E_FAIL;
  *vsz = VideoSizeOf(fFormat);
  return S_OK;
}

HRESULT TVideoRenderer::GetAspectRatio(double* AR) {
  if (!AR) return E_POINTER;
  *AR = fPresenter->NewAspect();
  return S_OK;
}

HRESULT TVideoRenderer::SetDisplayMode(TDisplayMode dm) {
  fPresenter->SetDisplayMode(dm);
  return S_OK;
}

void TVideoRenderer::Clear() {
  fRepaint = false;
  ShowPicture(fBlack);
  const TLastFrame last = Last();
  fPresenter->DoRenderSample(last.data, last.bytes, 0, 0, true);
}

void TVideoRenderer::SetLogo() {
  fRepaint = false;
  ShowPicture(fSplash);
  fRepaint = true;
}

void TVideoRenderer::Kill() {
  fRepaint = false;
  fPresenter->Kill();
}

// ---- filter ----

HRESULT TVideoRenderer::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (ppPin && IsSubPinName(Id)) {
    *ppPin = fSubPin.get();
    fSubPin->AddRef();
    return S_OK;
  }
  return ComExtend::FindPin(Id, ppPin);
}

HRESULT TVideoRenderer::CheckMediaType(const TBCMediaType* mt) {
  if (!mt) return E_POINTER;
  if (mt->majortype == MEDIATYPE_Video) return S_OK;
  if (mt->formattype == FORMAT_VideoInfo2) return S_OK;
  if (mt->subtype == MEDIASUBTYPE_RGB32) return S_OK;
  if (mt->subtype == MEDIASUBTYPE_NV12 && !fPresenter->NoNV12()) return S_OK;
  return E_INVALIDARG;
}

HRESULT TVideoRenderer::SetMediaType(const TBCMediaType* mt) {
  fRepaint = false;
  if (!mt) return E_POINTER;
  if (!mt->pbFormat || mt->cbFormat == 0) return E_UNEXPECTED;
  VIDEOINFOHEADER2 format{};
  if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
    // A plain video info block: its picture shape is its frame shape.
    VIDEOINFOHEADER vih;
    std::memcpy(&vih, mt->pbFormat, sizeof vih);
    format.rcSource = vih.rcSource;
    format.rcTarget = vih.rcTarget;
    format.dwBitRate = vih.dwBitRate;
    format.dwBitErrorRate = vih.dwBitErrorRate;
    format.AvgTimePerFrame = vih.AvgTimePerFrame;
    format.bmiHeader = vih.bmiHeader;
    format.dwPictAspectRatioX = static_cast<DWORD>(std::abs(vih.bmiHeader.biWidth));
    format.dwPictAspectRatioY = static_cast<DWORD>(std::abs(vih.bmiHeader.biHeight));
  } else if (mt->cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    std::memcpy(&format, mt->pbFormat, sizeof format);
  } else {
    return E_UNEXPECTED;  // too short to be read as a video format
  }
  fFormat = format;
  const int width = fFormat.bmiHeader.biWidth;
  const int height = std::abs(fFormat.bmiHeader.biHeight);
  double aspect = 0;
  if (fFormat.dwPictAspectRatioX != 0 && fFormat.dwPictAspectRatioY != 0)
    aspect = static_cast<double>(fFormat.dwPictAspectRatioX) / fFormat.dwPictAspectRatioY;
  else if (height > 0)
    aspect = static_cast<double>(width) / height;
  fFrameFormat = {width, height, aspect, mt->subtype == MEDIASUBTYPE_NV12};
  fNeedFormat = false;
  fPresenter->ResetDevice(width, height, aspect, fFrameFormat.nv12);
  return S_OK;
}

HRESULT TVideoRenderer::DoRenderSample(IMediaSample* sample) {
  fRepaint = false;  // frames flow: the timer must not draw
  if (!sample) return E_POINTER;
  Draw(sample);
  return S_OK;
}

void TVideoRenderer::OnReceiveFirstSample(IMediaSample* sample) {
  fRepaint = false;
  if (sample) Draw(sample);
}

void TVideoRenderer::Draw(IMediaSample* sample) {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  // A sample without times is drawn; one whose times do not increase is not.
  if (SUCCEEDED(sample->GetTime(&start, &stop)) && start >= stop) return;
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return;
  const LONG size = sample->GetSize();
  if (fNeedFormat.exchange(false)) {
    const TFrameFormat f = fFrameFormat;
    fPresenter->ResetDevice(f.width, f.height, f.aspect, f.nv12);
  }
  fPresenter->DoRenderSample(data, size, start, stop, false);
  KeepLastFrame(data, size);
}

HRESULT TVideoRenderer::Pause() {
  if (!IsStopped()) fRepaint = true;  // paused from running: repaint the last frame
  return ComExtend::Pause();
}

HRESULT TVideoRenderer::Stop() {
  const HRESULT hr = ComExtend::Stop();
  if (!StreamSwitching) {
    ShowPicture(fBlack);
    fRepaint = true;
  }
  return hr;
}

// ---- repaint and the last frame ----

void TVideoRenderer::RepaintTick() {
  if (!fRepaint || fPresenter->UseGDI()) return;
  const TLastFrame last = Last();  // keeps a copy alive while it is presented
  fPresenter->DoRenderSample(last.data, last.bytes, 0, 0, true);
}

const BYTE* TVideoRenderer::LastFrame() const { return Last().data; }

TVideoRenderer::TLastFrame TVideoRenderer::Last() const {
  std::lock_guard lock(fLastLock);
  return fLast;
}

void TVideoRenderer::ShowPicture(const TFramePicture& picture) {
  {
    std::lock_guard lock(fLastLock);
    fLast = {nullptr, picture.Bits(), picture.Size()};
  }
  fPresenter->ResetDevice(kPictureWidth, kPictureHeight, kAspect16x9, false);
  fNeedFormat = fFrameFormat.width > 0;
}

void TVideoRenderer::KeepLastFrame(const BYTE* data, LONG size) {
  if (size <= 0) return;
  std::shared_ptr<std::vector<BYTE>> copy;
  for (auto& c : fCopies)
    if (c.use_count() == 1) {  // neither published nor being repainted
      copy = c;
      break;
    }
  if (!copy) {
    copy = std::make_shared<std::vector<BYTE>>();
    fCopies.push_back(copy);
  }
  copy->assign(data, data + size);
  {
    std::lock_guard lock(fLastLock);
    fLast = {copy, copy->data(), size};
  }
  fLastFrameSize = size;
  // Drop copies beyond the current one and one spare.
  if (fCopies.size() > 3) std::erase_if(fCopies, [](const auto& c) { return c.use_count() == 1; });
}
