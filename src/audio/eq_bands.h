#pragma once
// The player's ten user equalizer bands on the bins of the chain's
// equalizer (N = 2048): band b covers bins kEQBandEdges[b] up to
// kEQBandEdges[b + 1] - 1 (band 0: bins 0-2, band 9: bins 559-1023). At
// 44100 Hz they span roughly 0-65, 65-194, 194-345, 345-624, 624-1034,
// 1034-2153, 2153-3036, 3036-6029, 6029-12037 and 12037-22050 Hz. User values
// run from 0 to 200 with 100 flat; a bin holds the band value v - 100.

#include <array>

#include "audio/dsp_interfaces.h"

inline constexpr int kUserEQBands = 10;
inline constexpr int kUserEQFlat = 100;
inline constexpr std::array<int, kUserEQBands + 1> kEQBandEdges = {0,   3,   9,   16,  29,  48,
                                                                   100, 141, 280, 559, 1024};

// Writes user value v as band value v - 100 (limited to the 8-bit range) to
// every bin of the band on channel 0. A band outside 0 ... 9 is ignored.
void SetUserEQBand(IDCEqualizer& eq, int band, int value);
// The band value of the band's first bin on channel 0, plus 100; 100 for a
// band outside 0 ... 9.
int GetUserEQBand(IDCEqualizer& eq, int band);
