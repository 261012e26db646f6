#include "audio/compressor.h"

#include <algorithm>
#include <cmath>

#include "audio/sample_format.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr float kRMSWindowMs = 2.0f;   // detector window; no setter
constexpr float kAchievement = 0.9f;   // fraction of a step done within its time
constexpr int kReservedWindow = 2048;  // covers rates up to 1 MHz without allocating

}  // namespace

TDCCompressor::TDCCompressor() {
  circle_.reserve(kReservedWindow);
  circle_.assign(static_cast<std::size_t>(circle_size_), 0.0);
  attack_factor_.store(SmoothingFactor(0.0, attack_time_.load()), kRelaxed);
  decay_factor_.store(SmoothingFactor(0.0, decay_time_.load()), kRelaxed);
}

double TDCCompressor::SmoothingFactor(double sample_period, float time) noexcept {
  if (!(time > 0.0f)) return 1.0;
  const double f =
      1.0 - std::exp(sample_period * std::log(1.0 - static_cast<double>(kAchievement)) /
                     static_cast<double>(time));
  return std::isfinite(f) ? std::clamp(f, 0.0, 1.0) : 1.0;
}

void TDCCompressor::Process(void* buffer, int size, int bits, int channels, bool is_float,
                            int sample_rate) noexcept {
  if (!Enabled()) return;
  const SampleLayout layout = LayoutOf(bits, is_float);
  if (layout == SampleLayout::kUnsupported || channels <= 0 || sample_rate <= 0) return;

  // 1. Window length; a new length clears the ring (never the smoothed gain).
  const double window = std::trunc(
      static_cast<double>(sample_rate) * static_cast<double>(kRMSWindowMs) / 1000.0 + 0.5);
  const int n = static_cast<int>(std::clamp(window, 1.0, static_cast<double>(kMaxWindow)));
  if (n != circle_size_) {
    circle_.assign(static_cast<std::size_t>(n), 0.0);
    circle_pos_ = 0;
    rms_sum_ = 0.0;
    circle_size_ = n;
  }

  // 2. Values derived for this buffer.
  const double period = 1.0 / static_cast<double>(sample_rate);
  sample_period_.store(period, kRelaxed);
  const double threshold = std::pow(10.0, static_cast<double>(threshold_db_.load(kRelaxed)) / 20.0);
  const double gain = std::pow(10.0, static_cast<double>(gain_db_.load(kRelaxed)) / 20.0);
  attack_factor_.store(SmoothingFactor(period, attack_time_.load(kRelaxed)), kRelaxed);
  decay_factor_.store(SmoothingFactor(period, decay_time_.load(kRelaxed)), kRelaxed);

  // 3. The blocks.
  DispatchLayout(layout, [&](auto tag) {
    ProcessLayout<decltype(tag)>(buffer, size, channels, threshold, gain);
  });
}

template <class Layout>
void TDCCompressor::ProcessLayout(void* buffer, int size, int channels, double threshold,
                                  double gain) noexcept {
  constexpr SampleLayout L = Layout::value;
  constexpr int bps = BytesPerSample(L);
  ForEachProcessingBlock(buffer, size, L, channels, [&](std::uint8_t* block, int frames) {
    // The ratio and the smoothing factors apply from the next block on when
    // changed meanwhile; the rest of the state lives in locals for the loop.
    const float ratio = ratio_.load(kRelaxed);
    const double exponent = 1.0 - 1.0 / static_cast<double>(ratio);
    const bool square_root = exponent == 0.5;  // the default ratio of 2
    const double attack = attack_factor_.load(kRelaxed);
    const double decay = decay_factor_.load(kRelaxed);
    const int n = circle_size_;
    double* ring = circle_.data();
    int pos = circle_pos_;
    double sum = rms_sum_;
    double current = current_gain_;
    bool above = above_thrs_;
    float level = input_level_.load(kRelaxed);
    float g = gain_reduction_.load(kRelaxed);

    const std::int64_t count = static_cast<std::int64_t>(frames) * channels;
    std::uint8_t* p = block;
    for (std::int64_t i = 0; i < count; ++i, p += bps) {
      const auto x = static_cast<float>(sample::ReadUnit<L, double>(p));
      // Level detector: RMS over the ring; the factor 2 reads a full-scale
      // sine as 1.0. Rounding can leave the running sum a hair below zero.
      sum -= ring[pos];
      ring[pos] = static_cast<double>(x) * static_cast<double>(x);
      sum += ring[pos];
      level = static_cast<float>(std::sqrt(std::max(0.0, 2.0 * sum / n)));
      if (++pos == n) pos = 0;

      double target = 1.0, k = decay;
      above = static_cast<double>(level) > threshold;
      if (above) {
        const double r = threshold / static_cast<double>(level);
        target = square_root ? std::sqrt(r) : std::pow(r, exponent);
        if (!std::isfinite(target)) target = 1.0;  // a ratio of 0 asks for infinite gain
        k = attack;
      }
      current += (target - current) * k;
      g = static_cast<float>(gain * current);
      sample::WriteUnit<L, double>(p, static_cast<double>(ClipFloat(x * g)));
    }

    circle_pos_ = pos;
    rms_sum_ = sum;
    current_gain_ = current;
    above_thrs_ = above;
    input_level_.store(level, kRelaxed);
    gain_reduction_.store(g, kRelaxed);
  });
}

void TDCCompressor::ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept {
  Process(buffer, bytes, stream.Bits, stream.Channels, FromBOOL(stream.Float), stream.Frequency);
}

HRESULT TDCCompressor::get_Enabled(BOOL* enabled) {
  return CopyOutValue(enabled, ToBOOL(Enabled()));
}
HRESULT TDCCompressor::set_Enabled(BOOL enabled) {
  SetEnabled(FromBOOL(enabled));
  return S_OK;
}
HRESULT TDCCompressor::get_AttackTime(float* seconds) {
  return CopyOutValue(seconds, attack_time_.load(kRelaxed));
}
HRESULT TDCCompressor::set_AttackTime(float seconds) {
  attack_time_.store(seconds, kRelaxed);
  attack_factor_.store(SmoothingFactor(sample_period_.load(kRelaxed), seconds), kRelaxed);
  return S_OK;
}
HRESULT TDCCompressor::get_DecayTime(float* seconds) {
  return CopyOutValue(seconds, decay_time_.load(kRelaxed));
}
HRESULT TDCCompressor::set_DecayTime(float seconds) {
  decay_time_.store(seconds, kRelaxed);
  decay_factor_.store(SmoothingFactor(sample_period_.load(kRelaxed), seconds), kRelaxed);
  return S_OK;
}
HRESULT TDCCompressor::get_ThresholdDB(float* db) {
  return CopyOutValue(db, threshold_db_.load(kRelaxed));
}
HRESULT TDCCompressor::set_ThresholdDB(float db) {
  threshold_db_.store(db, kRelaxed);
  return S_OK;
}
HRESULT TDCCompressor::get_Ratio(float* ratio) {
  return CopyOutValue(ratio, ratio_.load(kRelaxed));
}
HRESULT TDCCompressor::set_Ratio(float ratio) {
  ratio_.store(ratio, kRelaxed);
  return S_OK;
}
HRESULT TDCCompressor::get_GainDB(float* db) { return CopyOutValue(db, gain_db_.load(kRelaxed)); }
HRESULT TDCCompressor::set_GainDB(float db) {
  gain_db_.store(db, kRelaxed);
  return S_OK;
}
