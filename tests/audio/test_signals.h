#pragma once
// Signal helpers shared by the audio tests.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

namespace test_signals {

// Interleaved sine of the given peak (unit scale) on every channel.
inline std::vector<float> Sine(int frames, int channels, double hz, double rate, double peak,
                               double phase = 0.0) {
  std::vector<float> v(static_cast<std::size_t>(frames) * channels);
  for (int n = 0; n < frames; ++n) {
    const auto s =
        static_cast<float>(peak * std::sin(2 * std::numbers::pi * hz * n / rate + phase));
    for (int c = 0; c < channels; ++c) v[static_cast<std::size_t>(n) * channels + c] = s;
  }
  return v;
}

// Unit-scale values as 16-bit codes (rounded, clipped).
inline std::vector<std::int16_t> ToInt16(const std::vector<float>& v) {
  std::vector<std::int16_t> out(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    const double c = std::nearbyint(static_cast<double>(v[i]) * 32768.0);
    out[i] = static_cast<std::int16_t>(c > 32767 ? 32767 : (c < -32768 ? -32768 : c));
  }
  return out;
}

template <class T>
int Bytes(const std::vector<T>& v) {
  return static_cast<int>(v.size() * sizeof(T));
}

// Peak absolute value of channel c from frame `from` on.
template <class T>
double Peak(const std::vector<T>& v, int channels, int c, int from = 0) {
  double p = 0;
  for (std::size_t i = static_cast<std::size_t>(from) * channels + c; i < v.size(); i += channels) {
    p = std::max(p, std::abs(static_cast<double>(v[i])));
  }
  return p;
}

// RMS of channel c over frames [from, to).
template <class T>
double Rms(const std::vector<T>& v, int channels, int c, int from, int to) {
  double s = 0;
  for (int n = from; n < to; ++n) {
    const double x = static_cast<double>(v[static_cast<std::size_t>(n) * channels + c]);
    s += x * x;
  }
  return std::sqrt(s / (to - from));
}

}  // namespace test_signals
