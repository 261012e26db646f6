#pragma once
// TDCAmplify: a fixed gain per channel in units of 1/10000 (10000 is unity),
// applied with the integer-gain scheme: integer codes are multiplied in 64
// bits, divided by 10000 truncating toward zero and clipped; float samples are
// multiplied by the single-precision value of g / 10000.

#include <array>
#include <atomic>

#include "audio/dsp_interfaces.h"
#include "audio/effect.h"
#include "platform/com/com_object.h"

class TDCAmplify : public ComObject<IDCAmplify>, public TDCEffect {
 public:
  static constexpr int kMaxChannels = 10;
  static constexpr LONG kUnity = 10000;

  TDCAmplify();

  // Every sample of channel c uses volume c when separate is set (a channel
  // above 9 gets gain 0 and is silenced), otherwise volume 0. Does nothing
  // while disabled or for an unsupported layout.
  void Process(void* buffer, int size, int bits, int channels, bool is_float) noexcept;

  // IDCAmplify
  HRESULT get_Enabled(BOOL* enabled) override;
  HRESULT set_Enabled(BOOL enabled) override;
  HRESULT get_Seperate(BOOL* separate) override;
  HRESULT set_Seperate(BOOL separate) override;
  HRESULT get_Volume(BYTE channel, LONG* volume) override;
  HRESULT set_Volume(BYTE channel, LONG volume) override;

  // TDCEffect
  void ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept override;
  bool Enabled() const noexcept override { return enabled_.load(std::memory_order_relaxed); }
  void SetEnabled(bool on) noexcept override { enabled_.store(on, std::memory_order_relaxed); }
  IUnknown* DSPInterface() noexcept override { return static_cast<IDCAmplify*>(this); }

 private:
  std::atomic<bool> separate_{false};
  std::atomic<bool> enabled_{false};
  std::array<std::atomic<LONG>, kMaxChannels> volume_;
};
