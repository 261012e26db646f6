#include <cmath>
#include <numbers>
#include <vector>

#include "audio/fft_kernels.h"

namespace fft_detail {
namespace {

struct TableStore {
  std::vector<TComplex> twiddles;
  std::vector<std::uint16_t> bitrev;
  FFTTables view{};

  TableStore() {
    std::size_t tw_total = 0, br_total = 0;
    for (int m = 1; m <= kMaxLog2; ++m) {
      const std::size_t size = std::size_t{1} << m;
      tw_total += size / 2 + 3 * (size / 4);
      br_total += size;
    }
    twiddles.resize(tw_total);
    bitrev.resize(br_total);

    std::size_t tw = 0, br = 0;
    for (int m = 1; m <= kMaxLog2; ++m) {
      const int size = 1 << m;
      // The angle step in extended precision; each entry evaluated directly
      // (no recurrence) and rounded once to single.
      const long double step = 2.0L * std::numbers::pi_v<long double> / size;
      auto w = [&](long long k) {
        const long double a = step * static_cast<long double>(k % size);
        return TComplex{static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
      };
      view.radix2[m] = &twiddles[tw];
      for (int j = 0; j < size / 2; ++j) twiddles[tw++] = w(j);
      for (int r = 0; r < 3; ++r) {
        view.radix4[m][r] = &twiddles[tw];
        for (int j = 0; j < size / 4; ++j) twiddles[tw++] = w(static_cast<long long>(r + 1) * j);
      }
      view.bitrev[m] = &bitrev[br];
      for (int k = 0; k < size; ++k) {
        int r = 0;
        for (int b = 0; b < m; ++b) r |= ((k >> b) & 1) << (m - 1 - b);
        bitrev[br++] = static_cast<std::uint16_t>(r);
      }
    }
  }
};

}  // namespace

const FFTTables& Tables() {
  static const TableStore store;
  return store.view;
}

}  // namespace fft_detail
