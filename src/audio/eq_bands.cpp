#include "audio/eq_bands.h"

#include <algorithm>
#include <cstdint>

void SetUserEQBand(IDCEqualizer& eq, int band, int value) {
  if (band < 0 || band >= kUserEQBands) return;
  const auto v = static_cast<std::int8_t>(std::clamp(value - kUserEQFlat, -128, 127));
  for (int k = kEQBandEdges[band]; k < kEQBandEdges[band + 1]; ++k) {
    eq.set_Band(0, static_cast<WORD>(k), v);
  }
}

int GetUserEQBand(IDCEqualizer& eq, int band) {
  if (band < 0 || band >= kUserEQBands) return kUserEQFlat;
  std::int8_t v = 0;
  eq.get_Band(0, static_cast<WORD>(kEQBandEdges[band]), &v);
  return v + kUserEQFlat;
}
