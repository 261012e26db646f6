#pragma once
// TDCCompressor: an RMS compressor with attack and decay smoothing and
// make-up gain, working in unit scale in double precision.
//
// The level detector and the gain smoothing run once per interleaved sample,
// so all channels share one level and one gain: the detector's ring spans
// the 2 ms window divided among the channels, and attack and decay complete
// that many times faster than their nominal times. Ring, running sum and
// smoothed gain persist across buffers and format changes; only a change of
// ring length (a new sample rate) clears the ring.

#include <atomic>
#include <vector>

#include "audio/dsp_interfaces.h"
#include "audio/effect.h"
#include "platform/com/com_object.h"

class TDCCompressor : public ComObject<IDCCompressor>, public TDCEffect {
 public:
  // The detector window is at least one sample (a rate under 250 Hz would
  // otherwise give none) and at most this many (a rate above 32.7 MHz).
  static constexpr int kMaxWindow = 65536;

  TDCCompressor();

  // Does nothing while disabled, for an unsupported layout, a non-positive
  // channel count or a non-positive sample rate.
  void Process(void* buffer, int size, int bits, int channels, bool is_float,
               int sample_rate) noexcept;

  // IDCCompressor
  HRESULT get_Enabled(BOOL* enabled) override;
  HRESULT set_Enabled(BOOL enabled) override;
  HRESULT get_AttackTime(float* seconds) override;
  HRESULT set_AttackTime(float seconds) override;
  HRESULT get_DecayTime(float* seconds) override;
  HRESULT set_DecayTime(float seconds) override;
  HRESULT get_ThresholdDB(float* db) override;
  HRESULT set_ThresholdDB(float db) override;
  HRESULT get_Ratio(float* ratio) override;
  HRESULT set_Ratio(float ratio) override;
  HRESULT get_GainDB(float* db) override;
  HRESULT set_GainDB(float db) override;

  // TDCEffect
  void ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept override;
  bool Enabled() const noexcept override { return enabled_.load(std::memory_order_relaxed); }
  void SetEnabled(bool on) noexcept override { enabled_.store(on, std::memory_order_relaxed); }
  IUnknown* DSPInterface() noexcept override { return static_cast<IDCCompressor*>(this); }

  // Observers. The last detected level and the last applied gain (make-up
  // included) may be read on any thread; the others reflect the streaming
  // thread's state and are for callers that do not process concurrently.
  float InputLevel() const noexcept { return input_level_.load(std::memory_order_relaxed); }
  float GainReduction() const noexcept { return gain_reduction_.load(std::memory_order_relaxed); }
  double AttackFactor() const noexcept { return attack_factor_.load(std::memory_order_relaxed); }
  double DecayFactor() const noexcept { return decay_factor_.load(std::memory_order_relaxed); }
  double CurrentGain() const noexcept { return current_gain_; }
  int CircleSize() const noexcept { return circle_size_; }
  bool AboveThreshold() const noexcept { return above_thrs_; }

  // 1 - exp(period * ln(1 - achievement) / time): the per-sample smoothing
  // factor that completes 90 % of a step within time. A time that is not
  // positive (or not a number) responds at once (factor 1).
  static double SmoothingFactor(double sample_period, float time) noexcept;

 private:
  template <class Layout>
  void ProcessLayout(void* buffer, int size, int channels, double threshold, double gain) noexcept;

  // Parameters, written by the interface on any thread.
  std::atomic<float> attack_time_{0.05f};
  std::atomic<float> decay_time_{0.5f};
  std::atomic<float> threshold_db_{-12.0f};
  std::atomic<float> ratio_{2.0f};
  std::atomic<float> gain_db_{0.0f};
  std::atomic<bool> enabled_{false};
  std::atomic<double> sample_period_{0.0};
  std::atomic<double> attack_factor_{0.0};
  std::atomic<double> decay_factor_{0.0};

  // Signal state, streaming thread only.
  int circle_size_ = 2;
  int circle_pos_ = 0;
  double rms_sum_ = 0.0;
  double current_gain_ = 1.0;
  bool above_thrs_ = false;
  std::vector<double> circle_;

  std::atomic<float> input_level_{0.0f};
  std::atomic<float> gain_reduction_{1.0f};
};
