#include "audio/fft.h"

#include <cstring>

#include "audio/fft_kernels.h"

namespace {

const fft_detail::FFTKernels* ChooseKernels(TDCFFT::Path path) {
  if (path != TDCFFT::Path::kScalar) {
    if (const fft_detail::FFTKernels* v = fft_detail::VectorKernels()) return v;
  }
  return &fft_detail::ScalarKernels();
}

}  // namespace

TDCFFT::TDCFFT(Path path)
    : swap_(std::make_unique<Area>()),
      data_(std::make_unique<Area>()),
      kernels_(ChooseKernels(path)) {
  fft_detail::Tables();  // build the shared tables now, not on the streaming thread
  Flush();
  std::memset(swap_->v, 0, sizeof(swap_->v));
}

TDCFFT::~TDCFFT() = default;

void TDCFFT::SetFFTSize(TDCFFTSize size) noexcept {
  if (IsValidFFTSize(size)) size_ = size;
}

void TDCFFT::FFT() noexcept {
  const int log2n = static_cast<int>(size_) + 1;
  const int n = 1 << log2n;
  TComplex* x = data_->v;
  kernels_->forward(x, log2n);
  if (reorder_) {
    // Position bitrev(k) holds X[k]: gather into natural order.
    std::memcpy(swap_->v, x, sizeof(TComplex) * n);
    const std::uint16_t* p = fft_detail::Tables().bitrev[log2n];
    for (int k = 0; k < n; ++k) x[k] = swap_->v[p[k]];
  }
}

void TDCFFT::IFFT() noexcept {
  const int log2n = static_cast<int>(size_) + 1;
  const int n = 1 << log2n;
  TComplex* x = data_->v;
  if (reorder_) {
    std::memcpy(swap_->v, x, sizeof(TComplex) * n);
    const std::uint16_t* p = fft_detail::Tables().bitrev[log2n];
    for (int k = 0; k < n; ++k) x[p[k]] = swap_->v[k];
  }
  kernels_->inverse(x, log2n, scale_ ? 1.0f / static_cast<float>(n) : 1.0f);
}

void TDCFFT::Flush() noexcept { std::memset(data_->v, 0, sizeof(data_->v)); }

bool TDCFFT::UsesVectorPath() const noexcept { return kernels_ != &fft_detail::ScalarKernels(); }

bool TDCFFT::VectorPathAvailable() noexcept { return fft_detail::VectorKernels() != nullptr; }
