#include "player_fixture.h"

#include <algorithm>
#include <ostream>

#include "directshow/filter_graph.h"
#include "filters/audio_renderer/audio_renderer.h"
#include "filters/audio_renderer/null_audio_device.h"
#include "video/tick_source.h"

namespace etest {

std::ostream& operator<<(std::ostream& os, const TMessage& m) {
  return os << "{0x" << std::hex << m.msg << std::dec << ", " << m.wParam << ", " << m.lParam
            << "}";
}

void PlayerTest::SetUp() {
  output = std::make_shared<TOffscreenVideoOutput>(/*openGL=*/false);
  tv = output->CreateWindow(320, 240);
  target = CreateMessageWindow([this](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    messages.push_back({msg, w, l});
    return 0;
  });
}

void PlayerTest::TearDown() {
  if (player) player->Kill();
  player.reset();
  DestroyMessageWindow(target);
}

void PlayerTest::Create(TPlayerSetup setup) {
  TDSPlayerDeps deps;
  deps.renderer.output = output;
  deps.renderer.ticker = std::make_unique<TManualTickSource>();
  deps.renderer.options = TPresenterOptions{};
  deps.createObject = [setup](REFCLSID clsid, REFIID riid, void** ppv) -> HRESULT {
    if (clsid == CLSID_FilterGraph && !setup.graphManager) return REGDB_E_CLASSNOTREG;
    if (clsid != CLSID_DSoundRender) return CreateFrameworkObject(clsid, riid, ppv);
    if (!setup.audioRenderer) return REGDB_E_CLASSNOTREG;
    const REFERENCE_TIME origin = SteadyClockTime();
    const int speed = setup.speed;
    TAudioTimeSource time = [origin, speed] {
      return origin + (SteadyClockTime() - origin) * speed;
    };
    const std::string wav = setup.wavPath;
    TAudioDeviceFactory factory = [wav, time]() -> std::unique_ptr<TAudioDevice> {
      if (!wav.empty()) return std::make_unique<TWavAudioDevice>(wav, time);
      return std::make_unique<TNullAudioDevice>(time);
    };
    return MakeCom<TAudioRenderer>(factory, time)->QueryInterface(riid, ppv);
  };
  player = std::make_unique<TDSPlayer>(target, tv, setup.filtersPath, target, std::move(deps));
}

bool PlayerTest::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    PumpMessages();
    if (done()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    // Conditions on the position change without a message: look again
    // every few milliseconds.
    WaitForMessages(std::min(left, std::chrono::milliseconds(10)));
  }
}

bool PlayerTest::WaitForState(WPARAM code) {
  const std::size_t from = messages.size();
  return WaitFor([&] {
    for (std::size_t i = from; i < messages.size(); ++i)
      if (messages[i].msg == WM_PLAYERSTATE && messages[i].wParam == code) return true;
    return false;
  });
}

std::vector<TMessage> PlayerTest::Take() {
  PumpMessages();
  std::vector<TMessage> out;
  out.swap(messages);
  return out;
}

ComPtr<IBaseFilter> PlayerTest::GraphFilter(const char16_t* name) {
  ComPtr<IBaseFilter> filter;
  if (player->Graph()) player->Graph()->FindFilterByName(name, filter.Put());
  return filter;
}

bool PlayerTest::PinConnected(IBaseFilter* filter, const char16_t* pin) {
  ComPtr<IPin> p;
  if (!filter || FAILED(filter->FindPin(pin, p.Put()))) return false;
  ComPtr<IPin> peer;
  return SUCCEEDED(p->ConnectedTo(peer.Put())) && peer;
}

bool PlayerTest::ShowsLogo() {
  TVideoRenderer* r = player->VideoRenderer();
  return r && r->LastFrame() == r->SplashBits();
}

}  // namespace etest
