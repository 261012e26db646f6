#pragma once
// TDCFFT: an in-place complex FFT of 2 to 8192 points in single precision.
//
// The forward transform uses the positive exponent and never scales:
//   X[k] = sum_j x[j] e^(+2 pi i jk/N)
// the inverse uses the negative exponent and divides by N when Scale is set:
//   x[j] = (1/N) sum_k X[k] e^(-2 pi i jk/N)
//
// Without ReOrder the forward transform leaves the spectrum in an internal
// order (bit-reversed: position bitrev(k) holds X[k]) and the inverse reads
// that order, so the two are exact partners: spectra obtained by FFT may be
// multiplied point by point and passed to IFFT, which gives the circular
// convolution in natural order. With ReOrder both convert between natural
// and internal order through a scratch area.
//
// The caller writes its input into Cplx(), sets the size and flags, calls a
// transform and reads the result from Cplx(). Nothing is allocated after
// construction. A vector path (AVX2 with FMA) is chosen once when the
// processor offers it; every path gives results within single-precision
// rounding of the exact transform.

#include <cstdint>
#include <memory>

struct TComplex {
  float re;
  float im;
};
static_assert(sizeof(TComplex) == 8);

namespace fft_detail {
struct FFTKernels;
}

// Size ordinal 0 ... 12 gives N = 2^(ordinal + 1) points.
enum class TDCFFTSize : std::uint8_t {
  fts2,
  fts4,
  fts8,
  fts16,
  fts32,
  fts64,
  fts128,
  fts256,
  fts512,
  fts1024,
  fts2048,
  fts4096,
  fts8192
};

constexpr bool IsValidFFTSize(TDCFFTSize s) noexcept {
  return static_cast<unsigned>(s) <= static_cast<unsigned>(TDCFFTSize::fts8192);
}
constexpr int FFTPoints(TDCFFTSize s) noexcept { return 2 << static_cast<int>(s); }

class TDCFFT {
 public:
  static constexpr int kMaxPoints = 8192;

  // Which implementation runs the transforms. kAuto picks the vector path
  // when the processor has it; kVector falls back to scalar when it has not.
  enum class Path { kAuto, kScalar, kVector };

  explicit TDCFFT(Path path = Path::kAuto);
  ~TDCFFT();
  TDCFFT(const TDCFFT&) = delete;
  TDCFFT& operator=(const TDCFFT&) = delete;

  // The data area: kMaxPoints entries (32-byte aligned), of which the first
  // FFTSizeInt() take part in a transform.
  TComplex* Cplx() noexcept { return data_->v; }
  const TComplex* Cplx() const noexcept { return data_->v; }

  TDCFFTSize FFTSize() const noexcept { return size_; }
  // Takes effect at the next transform; the data area is not cleared. An
  // ordinal beyond fts8192 is ignored.
  void SetFFTSize(TDCFFTSize size) noexcept;
  int FFTSizeInt() const noexcept { return FFTPoints(size_); }

  bool Scale() const noexcept { return scale_; }
  void SetScale(bool on) noexcept { scale_ = on; }
  bool ReOrder() const noexcept { return reorder_; }
  void SetReOrder(bool on) noexcept { reorder_ = on; }

  void FFT() noexcept;
  void IFFT() noexcept;
  // Zeroes all kMaxPoints entries, whatever the size.
  void Flush() noexcept;

  // Whether this object runs the vector path.
  bool UsesVectorPath() const noexcept;
  // Whether the processor and the build offer the vector path.
  static bool VectorPathAvailable() noexcept;

 private:
  struct alignas(32) Area {
    TComplex v[kMaxPoints];
  };

  std::unique_ptr<Area> swap_;
  std::unique_ptr<Area> data_;
  bool scale_ = true;
  bool reorder_ = true;
  TDCFFTSize size_ = TDCFFTSize::fts512;
  const fft_detail::FFTKernels* kernels_;
};
