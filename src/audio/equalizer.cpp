#include "audio/equalizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "audio/sample_format.h"

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

struct TDCEqualizer::State {
  explicit State(TDCFFT::Path path) : fft(path) {
    for (auto& c : coeff) c = std::make_unique<TDCFFT>(path);
    for (auto& channel : bands) {
      for (auto& g : channel) g.store(2.0f, kRelaxed);
    }
  }

  TDCFFT fft;  // signal blocks: scaled inverse, internal order
  std::array<std::unique_ptr<TDCFFT>, kMaxChannels> coeff;                // filter spectra
  std::array<std::array<float, kMaxOverlap>, kMaxChannels> prev{};        // overlap memory
  std::array<std::array<std::atomic<float>, kBins>, kMaxChannels> bands;  // stored gains
};

TDCEqualizer::TDCEqualizer(TDCFFT::Path path) : s_(std::make_unique<State>(path)) {
  s_->fft.SetScale(true);
  s_->fft.SetReOrder(false);
  for (auto& c : s_->coeff) {
    c->SetScale(true);
    c->SetReOrder(false);
  }
  ApplySize(TDCFFTSize::fts1024);
}

TDCEqualizer::~TDCEqualizer() = default;

float TDCEqualizer::BandToGain(int band) noexcept {
  return static_cast<float>(2.0 * std::pow(10.0, band / 100.0));
}

std::int8_t TDCEqualizer::GainToBand(float gain) noexcept {
  const std::int64_t v = RoundHalfEven(100.0 * std::log10(static_cast<double>(gain) / 2.0));
  return static_cast<std::int8_t>(ClipRange(v, -128, 127));
}

void TDCEqualizer::ApplySize(TDCFFTSize size) noexcept {
  s_->fft.SetFFTSize(size);
  for (auto& c : s_->coeff) c->SetFFTSize(size);
  n_ = FFTPoints(size);
  l_ = 3 * n_ / 4;
  half_ = n_ / 2;
  quarter_ = n_ / 4;
  eighth_ = n_ / 8;
}

const TComplex* TDCEqualizer::Spectrum(int channel) const noexcept {
  if (channel < 0 || channel >= kMaxChannels) return nullptr;
  return s_->coeff[spectra_separate_ ? channel : 0]->Cplx();
}

// The channel's kernel from its gains: the inverse transform of the gains on
// the non-negative bins, rotated so that its centre lands on tap N/8, cut to
// N/4 + 1 taps, Hann-windowed (w(0) = 0, peak at N/8 + 1), transformed back.
// Only the non-negative half is filled, so bins 1 ... N/2 - 1 carry half their
// stored gain in the real kernel: hence the factor 2 in the stored gains.
void TDCEqualizer::ComputeSpectrum(int channel) noexcept {
  TDCFFT& f = *s_->coeff[channel];
  f.Flush();
  TComplex* h = f.Cplx();
  const auto& gains = s_->bands[channel];
  for (int k = 0; k < half_; ++k) h[k].re = gains[k].load(kRelaxed);
  f.SetReOrder(true);
  f.IFFT();

  // Rotate by N/8 (real parts only), keeping taps 0 ... N/4. Downwards, so
  // every source entry is read before it is overwritten.
  const int q = quarter_, e = eighth_;
  for (int t = q; t >= e; --t) h[t].re = h[t - e].re;
  for (int t = 0; t < e; ++t) h[t].re = h[n_ - e + t].re;
  const double denom = q + 2;
  for (int t = 0; t <= q; ++t) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * t / denom);
    h[t] = {static_cast<float>(static_cast<double>(h[t].re) * w), 0.0f};
  }
  for (int t = q + 1; t < n_; ++t) h[t] = {0.0f, 0.0f};

  f.SetReOrder(false);
  f.FFT();
}

void TDCEqualizer::Process(void* buffer, int size, int bits, int channels, bool is_float) noexcept {
  if (!Enabled()) return;
  const SampleLayout layout = LayoutOf(bits, is_float);
  if (layout == SampleLayout::kUnsupported || channels <= 0) return;

  // The flag first, then the values it announces: a change that lands after
  // this point sets the flag again for the next buffer.
  if (need_coeff_.exchange(false, std::memory_order_acq_rel)) {
    ApplySize(requested_size_.load(std::memory_order_acquire));
    spectra_separate_ = separate_.load(std::memory_order_acquire);
    const int count = spectra_separate_ ? kMaxChannels : 1;
    for (int c = 0; c < count; ++c) ComputeSpectrum(c);
  }

  DispatchLayout(layout, [&](auto tag) {
    ForEachProcessingBlock(buffer, size, decltype(tag)::value, channels,
                           [&](std::uint8_t* block, int frames) {
                             ProcessBlock<decltype(tag)>(block, frames, channels);
                           });
  });
}

template <class Layout>
void TDCEqualizer::ProcessBlock(std::uint8_t* block, int frames, int channels) noexcept {
  constexpr SampleLayout L = Layout::value;
  constexpr int bps = BytesPerSample(L);
  const std::int64_t stride = static_cast<std::int64_t>(channels) * bps;
  const int filtered = std::min(channels, kMaxChannels);
  TDCFFT& fft = s_->fft;
  TComplex* x = fft.Cplx();

  for (int c = 0; c < filtered; ++c) {
    const TComplex* h = s_->coeff[spectra_separate_ ? c : 0]->Cplx();
    float* prev = s_->prev[c].data();
    std::uint8_t* channel_start = block + static_cast<std::int64_t>(c) * bps;

    for (int start = 0; start < frames; start += l_) {
      const int count = std::min(l_, frames - start);
      std::uint8_t* p = channel_start + start * stride;
      for (int j = 0; j < count; ++j) x[j] = {sample::ReadNative<L>(p + j * stride), 0.0f};
      for (int j = count; j < n_; ++j) x[j] = {0.0f, 0.0f};

      fft.FFT();
      for (int k = 0; k < n_; ++k) {
        const TComplex a = x[k], b = h[k];
        x[k] = {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
      }
      fft.IFFT();

      // Overlap-add; the new overlap starts right after the last sample
      // written, so a short block continues exactly where it stopped.
      for (int j = 0; j < quarter_; ++j) x[j].re += prev[j];
      for (int j = 0; j < quarter_; ++j) prev[j] = x[count + j].re;
      for (int j = 0; j < count; ++j) sample::WriteNative<L>(p + j * stride, x[j].re);
    }
  }
}

void TDCEqualizer::ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept {
  Process(buffer, bytes, stream.Bits, stream.Channels, FromBOOL(stream.Float));
}

void TDCEqualizer::Flush() noexcept {
  for (auto& p : s_->prev) p.fill(0.0f);
}

void TDCEqualizer::SetEnabled(bool on) noexcept {
  if (on && !Enabled()) Flush();
  enabled_.store(on, kRelaxed);
}

HRESULT TDCEqualizer::get_Enabled(BOOL* enabled) {
  return CopyOutValue(enabled, ToBOOL(Enabled()));
}
HRESULT TDCEqualizer::set_Enabled(BOOL enabled) {
  enabled_.store(FromBOOL(enabled), kRelaxed);
  return S_OK;
}
HRESULT TDCEqualizer::get_Seperate(BOOL* separate) {
  return CopyOutValue(separate, ToBOOL(separate_.load(kRelaxed)));
}
HRESULT TDCEqualizer::set_Seperate(BOOL separate) {
  const bool on = FromBOOL(separate);
  if (separate_.exchange(on, std::memory_order_acq_rel) != on) {
    need_coeff_.store(true, std::memory_order_release);
  }
  return S_OK;
}
HRESULT TDCEqualizer::get_FFTSize(TDCFFTSize* size) {
  return CopyOutValue(size, requested_size_.load(kRelaxed));
}
HRESULT TDCEqualizer::set_FFTSize(TDCFFTSize size) {
  if (!IsValidFFTSize(size)) return E_INVALIDARG;
  requested_size_.store(size, std::memory_order_release);
  need_coeff_.store(true, std::memory_order_release);
  return S_OK;
}
HRESULT TDCEqualizer::get_Band(BYTE channel, WORD index, std::int8_t* band) {
  if (channel >= kMaxChannels || index >= kBins) return CopyOutValue(band, 0);
  return CopyOutValue(band, GainToBand(s_->bands[channel][index].load(kRelaxed)));
}
HRESULT TDCEqualizer::set_Band(BYTE channel, WORD index, std::int8_t band) {
  if (channel >= kMaxChannels || index >= kBins) return S_OK;
  s_->bands[channel][index].store(BandToGain(band), kRelaxed);
  need_coeff_.store(true, std::memory_order_release);
  return S_OK;
}
