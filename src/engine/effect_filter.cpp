#include "engine/effect_filter.h"

#include "audio/dsp_filter.h"

struct TEffectFilterControl::Impl {
  ComPtr<IBaseFilter> filter;
  ComPtr<IDCDSPFilterInterface> control;
};

TEffectFilterControl::TEffectFilterControl(std::unique_ptr<Impl> impl) : fImpl(std::move(impl)) {}
TEffectFilterControl::~TEffectFilterControl() = default;

std::unique_ptr<TEffectFilterControl> TEffectFilterControl::Create() {
  auto impl = std::make_unique<Impl>();
  ComPtr<TDCDSPFilter> dsp = MakeCom<TDCDSPFilter>("Audio DSP Manager");
  impl->filter = dsp.As<IBaseFilter>();
  impl->control = dsp.As<IDCDSPFilterInterface>();
  if (!impl->control) impl->filter = nullptr;
  return std::unique_ptr<TEffectFilterControl>(new TEffectFilterControl(std::move(impl)));
}

IBaseFilter* TEffectFilterControl::Filter() const { return fImpl->filter.get(); }

void TEffectFilterControl::SetupChain(ComPtr<IDCEqualizer>& eq, ComPtr<IDCDynamicAmplify>& amp,
                                      ComPtr<IDCCompressor>& comp) {
  eq = nullptr;
  amp = nullptr;
  comp = nullptr;
  IDCDSPFilterInterface* dsp = fImpl->control.get();
  if (!dsp) return;
  auto effect = [dsp](LONG index, TDCFilterType type) {
    dsp->set_AddFilter(index, type);
    ComPtr<IUnknown> unknown;
    dsp->get_FilterInterface(index, unknown.Put());
    return unknown;
  };
  dsp->set_RemoveAllFilters();
  eq = effect(0, TDCFilterType::ftEqualizer).As<IDCEqualizer>();
  if (eq) eq->set_Enabled(BOOL_FALSE);
  amp = effect(1, TDCFilterType::ftDynamicAmplify).As<IDCDynamicAmplify>();
  if (amp) amp->set_Enabled(BOOL_TRUE);
  comp = effect(2, TDCFilterType::ftCompressor).As<IDCCompressor>();
  if (comp) comp->set_Enabled(BOOL_FALSE);
}
