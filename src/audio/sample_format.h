#pragma once
// Sample layouts of PCM buffers and the conversions every effect shares.
//
// Effects work in place on the stream's own codes: they read a code, turn it
// into a value they compute with (one of three schemes below), and write a
// code of the same layout back. Frames are interleaved and little-endian.
//
//   layout   storage                  codes                    silence
//   8-bit    unsigned byte            0 ... 255                128
//   16-bit   signed 16-bit            -32768 ... 32767         0
//   24-bit   3 bytes, low byte first  -8388608 ... 8388607     0
//   32-bit   signed 32-bit            -2^31 ... 2^31-1         0
//   float    IEEE single              nominally -1.0 ... 1.0   0.0
//
// Every conversion from a computed value back to an integer code rounds to
// the nearest integer with ties to even and then clips; values are never
// wrapped.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ---------------------------------------------------------------------------
// Pure helpers.

// byte0 + 256 * byte1 + 65536 * byte2, byte2 signed: -8388608 ... 8388607.
inline std::int32_t ReadInt24(const void* p) noexcept {
  const auto* b = static_cast<const std::uint8_t*>(p);
  return static_cast<std::int32_t>(b[0]) | (static_cast<std::int32_t>(b[1]) << 8) |
         (static_cast<std::int32_t>(static_cast<std::int8_t>(b[2])) * 65536);
}

// Stores the low 24 bits of v, low byte first.
inline void WriteInt24(void* p, std::int32_t v) noexcept {
  auto* b = static_cast<std::uint8_t*>(p);
  const auto u = static_cast<std::uint32_t>(v);
  b[0] = static_cast<std::uint8_t>(u);
  b[1] = static_cast<std::uint8_t>(u >> 8);
  b[2] = static_cast<std::uint8_t>(u >> 16);
}

constexpr std::int64_t ClipRange(std::int64_t v, std::int64_t lo, std::int64_t hi) noexcept {
  return v < lo ? lo : (v > hi ? hi : v);
}
constexpr std::int32_t ClipInt8(std::int64_t v) noexcept {
  return static_cast<std::int32_t>(ClipRange(v, -128, 127));
}
constexpr std::int32_t ClipInt16(std::int64_t v) noexcept {
  return static_cast<std::int32_t>(ClipRange(v, -32768, 32767));
}
constexpr std::int32_t ClipInt24(std::int64_t v) noexcept {
  return static_cast<std::int32_t>(ClipRange(v, -8388608, 8388607));
}
// The lower limit is -2147483647, one above the smallest 32-bit code, so that
// the range is symmetric.
constexpr std::int32_t ClipInt32(std::int64_t v) noexcept {
  return static_cast<std::int32_t>(ClipRange(v, -2147483647, 2147483647));
}
// Limits v to -1.0 ... 1.0. A NaN (which no comparison can place) becomes
// silence, so that it never reaches an integer conversion or a listener.
constexpr float ClipFloat(float v) noexcept {
  if (v >= 1.0f) return 1.0f;
  if (v >= -1.0f) return v;
  if (v < -1.0f) return -1.0f;
  return 0.0f;
}

inline bool IsAligned16(const void* p) noexcept {
  return p != nullptr && (reinterpret_cast<std::uintptr_t>(p) & 15u) == 0;
}

// Nearest integer, ties to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), as a 64-bit
// integer. Values beyond the 64-bit range saturate and NaN gives 0, so the
// clip that follows always sees a meaningful number. Uses the processor's
// rounding mode, which the program keeps at round-to-nearest.
inline std::int64_t RoundHalfEven(double v) noexcept {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (v != v) return 0;
  if (v >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (v <= -kLimit) return std::numeric_limits<std::int64_t>::min();
#if defined(__SSE2__) && defined(__x86_64__)
  return _mm_cvtsd_si64(_mm_set_sd(v));
#else
  return std::llrint(v);
#endif
}

// A finite single, or 0 for NaN and infinities. Float streams are read
// through this where a non-finite sample would otherwise poison an effect's
// running state for good.
inline float FiniteOrZero(float v) noexcept { return std::isfinite(v) ? v : 0.0f; }

// ---------------------------------------------------------------------------
// Layouts.

enum class SampleLayout { kUInt8, kInt16, kInt24, kInt32, kFloat32, kUnsupported };

// The layout for a stream's bits and float flag; the flag only counts with 32
// bits. Any other bit count is unsupported and its buffers pass unchanged.
constexpr SampleLayout LayoutOf(int bits, bool is_float) noexcept {
  switch (bits) {
    case 8:
      return SampleLayout::kUInt8;
    case 16:
      return SampleLayout::kInt16;
    case 24:
      return SampleLayout::kInt24;
    case 32:
      return is_float ? SampleLayout::kFloat32 : SampleLayout::kInt32;
    default:
      return SampleLayout::kUnsupported;
  }
}

constexpr int BytesPerSample(SampleLayout l) noexcept {
  switch (l) {
    case SampleLayout::kUInt8:
      return 1;
    case SampleLayout::kInt16:
      return 2;
    case SampleLayout::kInt24:
      return 3;
    case SampleLayout::kInt32:
    case SampleLayout::kFloat32:
      return 4;
    case SampleLayout::kUnsupported:
      break;
  }
  return 0;
}

template <SampleLayout L>
using LayoutTag = std::integral_constant<SampleLayout, L>;

// Calls fn(LayoutTag<L>{}) for a supported layout; returns false (and calls
// nothing) for an unsupported one.
template <class Fn>
bool DispatchLayout(SampleLayout l, Fn&& fn) {
  switch (l) {
    case SampleLayout::kUInt8:
      fn(LayoutTag<SampleLayout::kUInt8>{});
      return true;
    case SampleLayout::kInt16:
      fn(LayoutTag<SampleLayout::kInt16>{});
      return true;
    case SampleLayout::kInt24:
      fn(LayoutTag<SampleLayout::kInt24>{});
      return true;
    case SampleLayout::kInt32:
      fn(LayoutTag<SampleLayout::kInt32>{});
      return true;
    case SampleLayout::kFloat32:
      fn(LayoutTag<SampleLayout::kFloat32>{});
      return true;
    case SampleLayout::kUnsupported:
      break;
  }
  return false;
}

namespace sample {

// Raw code access (unaligned, little-endian host).
template <SampleLayout L>
inline std::int32_t ReadCode(const std::uint8_t* p) noexcept {
  if constexpr (L == SampleLayout::kUInt8) {
    return static_cast<std::int32_t>(*p) - 128;  // centred on 0
  } else if constexpr (L == SampleLayout::kInt16) {
    std::int16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (L == SampleLayout::kInt24) {
    return ReadInt24(p);
  } else {
    static_assert(L == SampleLayout::kInt32);
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

// Writes a centred code that is already within the layout's range.
template <SampleLayout L>
inline void WriteCode(std::uint8_t* p, std::int32_t code) noexcept {
  if constexpr (L == SampleLayout::kUInt8) {
    *p = static_cast<std::uint8_t>(code + 128);
  } else if constexpr (L == SampleLayout::kInt16) {
    const auto v = static_cast<std::int16_t>(code);
    std::memcpy(p, &v, 2);
  } else if constexpr (L == SampleLayout::kInt24) {
    WriteInt24(p, code);
  } else {
    static_assert(L == SampleLayout::kInt32);
    std::memcpy(p, &code, 4);
  }
}

inline float ReadFloat(const std::uint8_t* p) noexcept {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void WriteFloat(std::uint8_t* p, float v) noexcept { std::memcpy(p, &v, 4); }

template <SampleLayout L>
constexpr std::int32_t ClipCode(std::int64_t v) noexcept {
  if constexpr (L == SampleLayout::kUInt8) return ClipInt8(v);
  if constexpr (L == SampleLayout::kInt16) return ClipInt16(v);
  if constexpr (L == SampleLayout::kInt24) return ClipInt24(v);
  if constexpr (L == SampleLayout::kInt32) return ClipInt32(v);
  return 0;
}

// Full scale of the unit scheme: 128, 32768, 8388608, 2147483648.
template <SampleLayout L>
constexpr double kUnitScale = L == SampleLayout::kUInt8   ? 128.0
                              : L == SampleLayout::kInt16 ? 32768.0
                              : L == SampleLayout::kInt24 ? 8388608.0
                                                          : 2147483648.0;

// --- Unit scale: a code as a fraction of full scale, in T (double or
// float). Float samples are the stored value; a non-finite one reads as 0.
template <SampleLayout L, class T>
inline T ReadUnit(const std::uint8_t* p) noexcept {
  if constexpr (L == SampleLayout::kFloat32) {
    return static_cast<T>(FiniteOrZero(ReadFloat(p)));
  } else {
    return static_cast<T>(ReadCode<L>(p)) / static_cast<T>(kUnitScale<L>);
  }
}

// Inverse scaling with rounding and clipping; a float sample is stored as a
// single unchanged (each effect limits it itself).
template <SampleLayout L, class T>
inline void WriteUnit(std::uint8_t* p, T v) noexcept {
  if constexpr (L == SampleLayout::kFloat32) {
    WriteFloat(p, static_cast<float>(v));
  } else {
    WriteCode<L>(
        p, ClipCode<L>(RoundHalfEven(static_cast<double>(v * static_cast<T>(kUnitScale<L>)))));
  }
}

// --- Native scale: a code keeps its integer magnitude (32-bit codes are
// divided by 32768 to fit a single's range comfortably). Float samples are the
// stored value; a non-finite one reads as 0.
template <SampleLayout L>
inline float ReadNative(const std::uint8_t* p) noexcept {
  if constexpr (L == SampleLayout::kFloat32) {
    return FiniteOrZero(ReadFloat(p));
  } else if constexpr (L == SampleLayout::kInt32) {
    return static_cast<float>(ReadCode<L>(p)) / 32768.0f;
  } else {
    return static_cast<float>(ReadCode<L>(p));
  }
}

// Rounds and clips; a 32-bit code comes back as a multiple of 32768 (the
// product formed in 64 bits); a float is stored without clipping.
template <SampleLayout L>
inline void WriteNative(std::uint8_t* p, float v) noexcept {
  if constexpr (L == SampleLayout::kFloat32) {
    WriteFloat(p, v);
  } else if constexpr (L == SampleLayout::kInt32) {
    const std::int64_t r = RoundHalfEven(v);
    // |r| is far below 2^47 for any single a code can produce; saturate the
    // rest before the product so that it cannot overflow.
    WriteCode<L>(p,
                 ClipInt32(ClipRange(r, -(std::int64_t{1} << 40), std::int64_t{1} << 40) * 32768));
  } else {
    WriteCode<L>(p, ClipCode<L>(RoundHalfEven(v)));
  }
}

// --- Integer gain: g in units of 1/10000, the product in 64 bits, the
// division truncating toward zero; float samples are multiplied by f, the
// single-precision value of g / 10000.
template <SampleLayout L>
inline void ApplyGain(std::uint8_t* p, std::int32_t g, float f) noexcept {
  if constexpr (L == SampleLayout::kFloat32) {
    WriteFloat(p, ReadFloat(p) * f);
  } else {
    const std::int64_t v = static_cast<std::int64_t>(ReadCode<L>(p)) * g / 10000;
    WriteCode<L>(p, ClipCode<L>(v));
  }
}

}  // namespace sample

// ---------------------------------------------------------------------------
// Processing blocks. Effects walk a buffer in blocks of 8192 frames: block k
// starts at byte k * 8192 * bytes-per-sample * channels and the last holds
// what remains; a block's frame count is its byte count divided by the sample
// size and the channel count (a trailing partial frame is left alone).

inline constexpr int kProcessingBlockFrames = 8192;

// Calls fn(block_start, frames) for every block. Does nothing for a null
// buffer, a non-positive size or channel count, or an unsupported layout.
template <class Fn>
void ForEachProcessingBlock(void* buffer, std::int64_t size, SampleLayout layout, int channels,
                            Fn&& fn) {
  const int bps = BytesPerSample(layout);
  if (buffer == nullptr || size <= 0 || channels <= 0 || bps == 0) return;
  auto* base = static_cast<std::uint8_t*>(buffer);
  const std::int64_t frame_bytes = static_cast<std::int64_t>(bps) * channels;
  const std::int64_t block_bytes = frame_bytes * kProcessingBlockFrames;
  for (std::int64_t offset = 0; offset < size; offset += block_bytes) {
    const std::int64_t bytes = size - offset < block_bytes ? size - offset : block_bytes;
    const auto frames = static_cast<int>(bytes / frame_bytes);
    if (frames > 0) fn(base + offset, frames);
  }
}
