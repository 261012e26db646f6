#pragma once
// The player's audio effect filter "Audio DSP Manager" behind its control
// interface: creation, and the chain the player builds once (equalizer at
// position 0 switched off, dynamic amplifier at 1 switched on, compressor at
// 2 switched off).

#include <memory>

#include "audio/dsp_interfaces.h"
#include "directshow/dshow.h"
#include "platform/com/com_ptr.h"

class TEffectFilterControl {
 public:
  // The filter with its control interface; a control without a filter when
  // the filter cannot be created (the audio then bypasses it).
  static std::unique_ptr<TEffectFilterControl> Create();
  ~TEffectFilterControl();
  TEffectFilterControl(const TEffectFilterControl&) = delete;
  TEffectFilterControl& operator=(const TEffectFilterControl&) = delete;

  IBaseFilter* Filter() const;
  // Empties the chain and adds the three effects, returning their control
  // interfaces (empty ones without a filter).
  void SetupChain(ComPtr<IDCEqualizer>& eq, ComPtr<IDCDynamicAmplify>& amp,
                  ComPtr<IDCCompressor>& comp);

 private:
  struct Impl;
  explicit TEffectFilterControl(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> fImpl;
};
