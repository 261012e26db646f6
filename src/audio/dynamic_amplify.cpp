#include "audio/dynamic_amplify.h"

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

HRESULT TDCDynamicAmplify::get_Enabled(BOOL* enabled) {
  return CopyOutValue(enabled, ToBOOL(Enabled()));
}
HRESULT TDCDynamicAmplify::set_Enabled(BOOL enabled) {
  SetEnabled(FromBOOL(enabled));
  return S_OK;
}
HRESULT TDCDynamicAmplify::get_AttackTime(DWORD* time) {
  return CopyOutValue(time, attack_time_.load(kRelaxed));
}
HRESULT TDCDynamicAmplify::set_AttackTime(DWORD time) {
  attack_time_.store(time, kRelaxed);
  return S_OK;
}
HRESULT TDCDynamicAmplify::get_ReleaseTime(DWORD* time) {
  return CopyOutValue(time, release_time_.load(kRelaxed));
}
HRESULT TDCDynamicAmplify::set_ReleaseTime(DWORD time) {
  release_time_.store(time, kRelaxed);
  return S_OK;
}
HRESULT TDCDynamicAmplify::get_MaxAmplification(DWORD* amplification) {
  return CopyOutValue(amplification, max_amplification_.load(kRelaxed));
}
HRESULT TDCDynamicAmplify::set_MaxAmplification(DWORD amplification) {
  max_amplification_.store(amplification, kRelaxed);
  return S_OK;
}
HRESULT TDCDynamicAmplify::get_CurrentAmplification(float* amplification) {
  return CopyOutValue(amplification, last_amp_.load(kRelaxed));
}
