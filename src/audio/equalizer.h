#pragma once
// TDCEqualizer: the graphic equalizer, a linear-phase FIR filter applied by
// fast convolution.
//
// The gain of every frequency bin (bin k of an N-point transform stands for
// k * rate / N) is kept as G = 2 * 10^(A/100) for a band value A in steps of
// 0.2 dB (A = 0 is unity). From the gains of bins 0 ... N/2 - 1 the effect
// builds an N/4 + 1 tap kernel centred on tap N/8 and Hann-windowed, and
// filters each channel block by block with overlap-add: 3N/4 input samples
// per N-point transform, so no circular wrap-around occurs. The output is the
// input filtered and delayed by N/8 samples (256 at the chain's N = 2048).
// Samples are taken in native scale; float streams may leave it beyond
// +-1.0, integer streams are rounded (ties to even) and clipped.
//
// Spectra are recomputed lazily, by the next Process after a band, size or
// separate-channel change. Nothing is allocated while processing.
//
// Channels: each of the first ten has its own overlap memory; channels from
// the eleventh on pass through untouched. With the separate setting every one
// of the ten channels gets its own spectrum (so a later buffer with more
// channels finds its spectra ready); without it all use channel 0's.

#include <array>
#include <atomic>
#include <memory>

#include "audio/dsp_interfaces.h"
#include "audio/effect.h"
#include "audio/fft.h"
#include "platform/com/com_object.h"

class TDCEqualizer : public ComObject<IDCEqualizer>, public TDCEffect {
 public:
  static constexpr int kMaxChannels = 10;
  static constexpr int kBins = 8192;
  static constexpr int kMaxOverlap = TDCFFT::kMaxPoints / 4;

  // path selects the transform implementation (tests and benchmarks).
  explicit TDCEqualizer(TDCFFT::Path path = TDCFFT::Path::kAuto);
  ~TDCEqualizer() override;

  // Does nothing while disabled, for an unsupported layout or a
  // non-positive channel count.
  void Process(void* buffer, int size, int bits, int channels, bool is_float) noexcept;

  // The stored gain G of a band value: 2 * 10^(band/100) as a single.
  static float BandToGain(int band) noexcept;
  // round(100 * log10(G / 2)), limited to the 8-bit range.
  static std::int8_t GainToBand(float gain) noexcept;

  // IDCEqualizer
  HRESULT get_Enabled(BOOL* enabled) override;
  HRESULT set_Enabled(BOOL enabled) override;
  HRESULT get_Seperate(BOOL* separate) override;
  HRESULT set_Seperate(BOOL separate) override;
  HRESULT get_FFTSize(TDCFFTSize* size) override;
  HRESULT set_FFTSize(TDCFFTSize size) override;
  HRESULT get_Band(BYTE channel, WORD index, std::int8_t* band) override;
  HRESULT set_Band(BYTE channel, WORD index, std::int8_t band) override;

  // TDCEffect
  void ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept override;
  // Zeroes the overlap memory of every channel.
  void Flush() noexcept override;
  bool Enabled() const noexcept override { return enabled_.load(std::memory_order_relaxed); }
  // The Enabled property: switching from off to on flushes first.
  void SetEnabled(bool on) noexcept override;
  IUnknown* DSPInterface() noexcept override { return static_cast<IDCEqualizer*>(this); }

  // The transform size in force for processing (the one set through the
  // interface takes over at the next Process).
  int FFTSizeInt() const noexcept { return n_; }
  // The channel's filter spectrum in the transform's internal order (for
  // tests that measure the response); valid after a Process.
  const TComplex* Spectrum(int channel) const noexcept;

 private:
  struct State;

  void ApplySize(TDCFFTSize size) noexcept;
  void ComputeSpectrum(int channel) noexcept;
  template <class Layout>
  void ProcessBlock(std::uint8_t* block, int frames, int channels) noexcept;

  std::unique_ptr<State> s_;
  int n_ = 0;                      // N
  int l_ = 0;                      // 3N/4: input samples per transform block
  int half_ = 0;                   // N/2: gain bins
  int quarter_ = 0;                // N/4: overlap length
  int eighth_ = 0;                 // N/8: delay
  bool spectra_separate_ = false;  // the setting the spectra were built for
  std::atomic<bool> separate_{false};
  std::atomic<bool> enabled_{false};
  std::atomic<bool> need_coeff_{true};
  std::atomic<TDCFFTSize> requested_size_{TDCFFTSize::fts1024};
};
