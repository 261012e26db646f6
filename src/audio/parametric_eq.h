#pragma once
// TDCParametricEQ: one peaking section per channel (the widely published
// cookbook peaking equalizer) in direct form I, coefficients normalised by
// a0 at run time, samples in unit scale in single precision.
//
// Coefficients are recomputed in full (and every history cleared) when a
// frequency or Q changed, or the sample rate or channel count differs from
// the last buffer's; a gain change alone recomputes only the gain-dependent
// coefficients and keeps the histories. A centre frequency at or above half
// the sample rate bypasses the section (y = x exactly).
//
// Open points settled here: a Q that is not positive, or parameters that
// give non-finite coefficients, bypass that section as well; channels from
// the eleventh on pass through untouched (the tables hold ten); an output
// that overflows to a non-finite value is written as silence and clears that
// channel's history, so the filter recovers at once.

#include <array>
#include <atomic>

#include "audio/dsp_interfaces.h"
#include "audio/effect.h"
#include "platform/com/com_object.h"

class TDCParametricEQ : public ComObject<IDCParametricEQ>, public TDCEffect {
 public:
  static constexpr int kMaxChannels = 10;

  struct Section {
    double alpha = 0.0;
    double b0 = 1.0, b1 = 0.0, b2 = 0.0;  // b1 also serves as a1
    double inv_a0 = 1.0, a2 = 0.0;
    bool bypass = true;
  };

  TDCParametricEQ();

  // Does nothing while disabled, for an unsupported layout, a non-positive
  // channel count or a non-positive sample rate.
  void Process(void* buffer, int size, int sample_rate, int bits, int channels,
               bool is_float) noexcept;

  // IDCParametricEQ
  HRESULT get_Enabled(BOOL* enabled) override;
  HRESULT set_Enabled(BOOL enabled) override;
  HRESULT get_Seperate(BOOL* separate) override;
  HRESULT set_Seperate(BOOL separate) override;
  HRESULT get_Frequency(BYTE channel, float* hz) override;
  HRESULT set_Frequency(BYTE channel, float hz) override;
  HRESULT get_Gain(BYTE channel, float* db) override;
  HRESULT set_Gain(BYTE channel, float db) override;
  HRESULT get_Q(BYTE channel, float* q) override;
  HRESULT set_Q(BYTE channel, float q) override;

  // TDCEffect
  void ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept override;
  // Sets the input and output histories of all ten channels to 0.
  void Flush() noexcept override;
  bool Enabled() const noexcept override { return enabled_.load(std::memory_order_relaxed); }
  void SetEnabled(bool on) noexcept override { enabled_.store(on, std::memory_order_relaxed); }
  IUnknown* DSPInterface() noexcept override { return static_cast<IDCParametricEQ*>(this); }

  // The section of a channel as last computed (streaming-thread state).
  const Section& SectionOf(int channel) const noexcept { return sections_[channel]; }

 private:
  void ComputeFull(int channel) noexcept;
  void ComputeGain(int channel) noexcept;
  template <class Layout>
  void ProcessBlock(std::uint8_t* block, int frames, int channels, bool separate) noexcept;

  std::atomic<bool> need_coeff_{true};
  std::atomic<bool> need_amp_{false};
  std::atomic<bool> enabled_{false};
  std::atomic<bool> separate_{false};
  int sample_rate_ = 0;
  int channels_ = 0;
  std::array<std::atomic<float>, kMaxChannels> frequency_;
  std::array<std::atomic<float>, kMaxChannels> gain_db_;
  std::array<std::atomic<float>, kMaxChannels> q_;
  std::array<Section, kMaxChannels> sections_{};
  std::array<std::array<double, 2>, kMaxChannels> x_{};  // previous input, the one before
  std::array<std::array<double, 2>, kMaxChannels> y_{};  // previous output, the one before
};
