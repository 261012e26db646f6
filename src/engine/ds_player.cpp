// TDSPlayer: construction, destruction, the hidden message target and
// closing a file.
#include "engine/ds_player.h"

#include <exception>

#include "directshow/filter_graph.h"
#include "engine/effect_filter.h"
#include "engine/engine_config.h"
#include "engine/lav_configuration.h"
#include "filters/system_filters.h"
#include "platform/fpu_control.h"

namespace {

HRESULT DefaultCreateObject(REFCLSID clsid, REFIID riid, void** ppv) {
  const HRESULT hr = CreateFrameworkObject(clsid, riid, ppv);
  if (hr != REGDB_E_CLASSNOTREG) return hr;
  return CreateSystemFilter(clsid, riid, ppv);
}

}  // namespace

TDSPlayer::TDSPlayer(HWND Screen, HWND TV, std::string FiltersPath, HWND SUBScreen,
                     TDSPlayerDeps deps)
    : fDeps(std::move(deps)) {
  // 1. The hidden target of the graph's events.
  FWindowHandle = CreateMessageWindow([this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return WindowProc(hwnd, msg, wParam, lParam);
  });
  // 2.
  fPrepare = false;
  ErrorMessage.clear();
  fSubScreen = SUBScreen;
  FFullScreen = false;
  FScreenHandle = Screen;
  FFiltersPath = std::move(FiltersPath);
  FSpiltHandle = nullptr;
  RealVideoSize = {1920, 1080};
  // An exception while the renderer is made or the audio decoder loaded ends
  // construction silently; the player then fails every open.
  try {
    Construct(TV);
  } catch (const std::exception&) {
  }
}

void TDSPlayer::Construct(HWND TV) {
  // 3, 4. The video renderer and what its presenter can do.
  fRenderer = MakeCom<TVideoRenderer>(TV, std::move(fDeps.renderer));
  FMadVr = fRenderer.As<IBaseFilter>();
  HRESULT r = kPresenterSoftware;
  if (SUCCEEDED(FMadVr.As(D2R2))) {
    r = D2R2->SetVideoWindow(TV);
    D2R2->SetSubtitleWindow(fSubScreen);
  }
  NO_NV12 = r == kPresenterNoNV12;
  NO_Direct3D = r == kPresenterSoftware;

  // 5. The audio decoder, kept for every graph.
  auto audio = LoadFilterFromFile<IBaseFilter>(FFiltersPath + kAudioModuleName, CLSID_LAVAudio);
  MaskFPUExceptions();
  if (audio.hr != S_OK || !audio.object) {
    ErrorMessage = std::string("Lumora не может найти файлы, необходимые для работы") + "\r\n" +
                   "Переустановите программу, скачав с официального сайта: " + kProductSiteAddress;
    return;
  }
  DAud = std::move(audio.object);

  // 6. The audio renderer; without it there is no sound and no volume.
  CreateObject(CLSID_DSoundRender, IBaseFilter::iid, DSnd.PutVoid());

  // 7. The effect filter and its chain.
  CreateEffectFilter();

  // 8.
  if (DSnd) DSnd.As(BasicAudio);

  // 9.
  ConfigureAudioDecoder();
}

void TDSPlayer::CreateEffectFilter() {
  DSP = TEffectFilterControl::Create();
  ieq = ComPtr<IBaseFilter>(DSP->Filter());
  DSP->SetupChain(EQ, AMP, COMP);
}

void TDSPlayer::ConfigureAudioDecoder() {
  if (SUCCEEDED(DAud.As(LAVACONF))) {
    ::ConfigureAudioDecoder(*LAVACONF);
    MaskFPUExceptions();
  }
}

TDSPlayer::~TDSPlayer() {
  CloseFile();
  DestroyMessageWindow(FWindowHandle);
  FWindowHandle = 0;
  ReleaseGraph();
}

void TDSPlayer::ReleaseGraph() {
  MediaSeeking = nullptr;
  MediaEvent = nullptr;
  MediaControl = nullptr;
  Splt = nullptr;
  DVid = nullptr;
  // The filters kept across files leave the graph now, even if someone else
  // still holds it, so that the next graph can connect them.
  if (FGraph) {
    for (IBaseFilter* kept : {DAud.get(), DSnd.get(), ieq.get(), FMadVr.get()})
      if (kept) FGraph->RemoveFilter(kept);
  }
  FGraph = nullptr;
  MaskFPUExceptions();
}

HRESULT TDSPlayer::CreateObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (fDeps.createObject) return fDeps.createObject(clsid, riid, ppv);
  return DefaultCreateObject(clsid, riid, ppv);
}

LRESULT TDSPlayer::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_GRAPHNOTIFY) {
    Notify();
    return 0;
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

void TDSPlayer::CloseFile() {
  if (!MediaControl) return;
  MediaControl->Stop();
  MaskFPUExceptions();
  fState = {};
  MediaControl = nullptr;
}

void TDSPlayer::Kill() {
  if (D2R2) D2R2->Kill();
}

void TDSPlayer::PostState(WPARAM code) { PostMessage(FScreenHandle, WM_PLAYERSTATE, code, 0); }
