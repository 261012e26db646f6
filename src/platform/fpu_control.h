#pragma once
// Floating-point control: outside code (decoder modules) may unmask
// floating-point exceptions and leave them so. The program runs with all of
// them masked, so a division by zero yields an infinity and an invalid
// operation a NaN instead of a trap.

#include <cstdint>

// The x87 control word set by MaskFPUExceptions: all exceptions masked,
// 64-bit precision, round to nearest.
inline constexpr std::uint16_t kMaskedX87ControlWord = 0x133F;
// The MXCSR bits that mask the six SSE exceptions.
inline constexpr std::uint32_t kMxcsrExceptionMasks = 0x1F80;

// Masks every floating-point exception: on x86-64 the SSE unit (MXCSR, other
// bits kept) and the x87 unit (control word 0x133F); elsewhere through the C
// library's trap control where it has one. Pending exception flags are left
// as they are.
void MaskFPUExceptions() noexcept;
