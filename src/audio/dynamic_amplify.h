#pragma once
// TDCDynamicAmplify: holds the parameters of an automatic gain (attack and
// release times, maximum amplification) for its clients. It processes
// nothing: a chain item of this kind leaves every buffer bit-identical, and
// the current amplification always reads 1.0.

#include <atomic>

#include "audio/dsp_interfaces.h"
#include "audio/effect.h"
#include "platform/com/com_object.h"

class TDCDynamicAmplify : public ComObject<IDCDynamicAmplify>, public TDCEffect {
 public:
  TDCDynamicAmplify() = default;

  // IDCDynamicAmplify
  HRESULT get_Enabled(BOOL* enabled) override;
  HRESULT set_Enabled(BOOL enabled) override;
  HRESULT get_AttackTime(DWORD* time) override;
  HRESULT set_AttackTime(DWORD time) override;
  HRESULT get_ReleaseTime(DWORD* time) override;
  HRESULT set_ReleaseTime(DWORD time) override;
  HRESULT get_MaxAmplification(DWORD* amplification) override;
  HRESULT set_MaxAmplification(DWORD amplification) override;
  HRESULT get_CurrentAmplification(float* amplification) override;

  // TDCEffect
  void ProcessStream(void*, int, const TDSStream&) noexcept override {}
  bool Enabled() const noexcept override { return enabled_.load(std::memory_order_relaxed); }
  void SetEnabled(bool on) noexcept override { enabled_.store(on, std::memory_order_relaxed); }
  IUnknown* DSPInterface() noexcept override { return static_cast<IDCDynamicAmplify*>(this); }

 private:
  std::atomic<float> last_amp_{1.0f};
  std::atomic<DWORD> release_time_{3000};
  std::atomic<DWORD> attack_time_{1000};
  std::atomic<bool> enabled_{false};
  std::atomic<DWORD> max_amplification_{10000};
};
