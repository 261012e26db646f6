#include "audio/parametric_eq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/sample_format.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

bool AllFinite(const TDCParametricEQ::Section& s) {
  return std::isfinite(s.b0) && std::isfinite(s.b1) && std::isfinite(s.b2) &&
         std::isfinite(s.inv_a0) && std::isfinite(s.a2);
}

}  // namespace

TDCParametricEQ::TDCParametricEQ() {
  for (int c = 0; c < kMaxChannels; ++c) {
    frequency_[c].store(8000.0f, kRelaxed);
    gain_db_[c].store(0.0f, kRelaxed);
    q_[c].store(1.0f, kRelaxed);
  }
}

void TDCParametricEQ::ComputeFull(int channel) noexcept {
  Section& s = sections_[channel];
  const float fr = frequency_[channel].load(kRelaxed);
  const double rate = sample_rate_;
  double f;
  if (!(fr >= 1.0f)) {
    f = 1.0;
  } else if (RoundHalfEven(2.0 * static_cast<double>(fr)) < RoundHalfEven(rate)) {
    f = fr;
  } else {
    f = 0.0;  // at or above half the rate: the section reduces to y = x
  }
  const double w = 2.0 * std::numbers::pi * f / rate;
  const double q = q_[channel].load(kRelaxed);
  s.alpha = q > 0.0 ? std::sin(w) / (2.0 * q) : 0.0;
  s.b1 = -2.0 * std::cos(w);
  ComputeGain(channel);
}

void TDCParametricEQ::ComputeGain(int channel) noexcept {
  Section& s = sections_[channel];
  const double a = std::pow(10.0, static_cast<double>(gain_db_[channel].load(kRelaxed)) / 40.0);
  s.b0 = 1.0 + s.alpha * a;
  s.b2 = 1.0 - s.alpha * a;
  s.inv_a0 = 1.0 / (s.alpha / a + 1.0);
  s.a2 = 1.0 - s.alpha / a;
  // alpha = 0 (no band, or an invalid Q) makes numerator and denominator
  // equal: run it as the exact identity it is.
  s.bypass = s.alpha == 0.0 || !AllFinite(s);
}

void TDCParametricEQ::Process(void* buffer, int size, int sample_rate, int bits, int channels,
                              bool is_float) noexcept {
  if (!Enabled()) return;
  const SampleLayout layout = LayoutOf(bits, is_float);
  if (layout == SampleLayout::kUnsupported || channels <= 0 || sample_rate <= 0) return;

  const bool need_coeff = need_coeff_.exchange(false, std::memory_order_acq_rel);
  if (need_coeff || sample_rate != sample_rate_ || channels != channels_) {
    sample_rate_ = sample_rate;
    channels_ = channels;
    for (int c = 0; c < std::min(channels_, kMaxChannels); ++c) ComputeFull(c);
    Flush();
  }
  if (need_amp_.exchange(false, std::memory_order_acq_rel)) {
    for (int c = 0; c < std::min(channels_, kMaxChannels); ++c) ComputeGain(c);
  }

  const bool separate = separate_.load(kRelaxed);
  DispatchLayout(layout, [&](auto tag) {
    ForEachProcessingBlock(buffer, size, decltype(tag)::value, channels,
                           [&](std::uint8_t* block, int frames) {
                             ProcessBlock<decltype(tag)>(block, frames, channels, separate);
                           });
  });
}

template <class Layout>
void TDCParametricEQ::ProcessBlock(std::uint8_t* block, int frames, int channels,
                                   bool separate) noexcept {
  constexpr SampleLayout L = Layout::value;
  constexpr int bps = BytesPerSample(L);
  const std::int64_t stride = static_cast<std::int64_t>(channels) * bps;
  for (int c = 0; c < std::min(channels, kMaxChannels); ++c) {
    const Section& s = sections_[separate ? c : 0];
    double x1 = x_[c][0], x2 = x_[c][1], y1 = y_[c][0], y2 = y_[c][1];
    std::uint8_t* p = block + static_cast<std::int64_t>(c) * bps;
    for (int n = 0; n < frames; ++n, p += stride) {
      const float x = sample::ReadUnit<L, float>(p);
      float y = x;
      if (!s.bypass) {
        y = static_cast<float>((s.b0 * x + s.b1 * x1 + s.b2 * x2 - s.b1 * y1 - s.a2 * y2) *
                               s.inv_a0);
        if (!std::isfinite(y)) {
          y = 0.0f;
          x1 = x2 = y1 = y2 = 0.0;
        }
      }
      x2 = x1;
      x1 = x;
      y2 = y1;
      y1 = y;
      if constexpr (L == SampleLayout::kFloat32) {
        sample::WriteUnit<L, float>(p, ClipFloat(y));
      } else {
        sample::WriteUnit<L, float>(p, y);
      }
    }
    x_[c] = {x1, x2};
    y_[c] = {y1, y2};
  }
}

void TDCParametricEQ::ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept {
  Process(buffer, bytes, stream.Frequency, stream.Bits, stream.Channels, FromBOOL(stream.Float));
}

void TDCParametricEQ::Flush() noexcept {
  for (auto& h : x_) h = {0.0, 0.0};
  for (auto& h : y_) h = {0.0, 0.0};
}

HRESULT TDCParametricEQ::get_Enabled(BOOL* enabled) {
  return CopyOutValue(enabled, ToBOOL(Enabled()));
}
HRESULT TDCParametricEQ::set_Enabled(BOOL enabled) {
  SetEnabled(FromBOOL(enabled));
  return S_OK;
}
HRESULT TDCParametricEQ::get_Seperate(BOOL* separate) {
  return CopyOutValue(separate, ToBOOL(separate_.load(kRelaxed)));
}
HRESULT TDCParametricEQ::set_Seperate(BOOL separate) {
  separate_.store(FromBOOL(separate), kRelaxed);
  return S_OK;
}
HRESULT TDCParametricEQ::get_Frequency(BYTE channel, float* hz) {
  return CopyOutValue(hz, channel < kMaxChannels ? frequency_[channel].load(kRelaxed) : 0.0f);
}
HRESULT TDCParametricEQ::set_Frequency(BYTE channel, float hz) {
  if (channel < kMaxChannels) {
    frequency_[channel].store(hz, kRelaxed);
    need_coeff_.store(true, std::memory_order_release);
  }
  return S_OK;
}
HRESULT TDCParametricEQ::get_Gain(BYTE channel, float* db) {
  return CopyOutValue(db, channel < kMaxChannels ? gain_db_[channel].load(kRelaxed) : 0.0f);
}
HRESULT TDCParametricEQ::set_Gain(BYTE channel, float db) {
  if (channel < kMaxChannels) {
    gain_db_[channel].store(db, kRelaxed);
    need_amp_.store(true, std::memory_order_release);
  }
  return S_OK;
}
HRESULT TDCParametricEQ::get_Q(BYTE channel, float* q) {
  return CopyOutValue(q, channel < kMaxChannels ? q_[channel].load(kRelaxed) : 0.0f);
}
HRESULT TDCParametricEQ::set_Q(BYTE channel, float q) {
  if (channel < kMaxChannels) {
    q_[channel].store(q, kRelaxed);
    need_coeff_.store(true, std::memory_order_release);
  }
  return S_OK;
}
