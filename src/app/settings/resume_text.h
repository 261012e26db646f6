#pragma once
// The text form of a resume position.

#include <cstdint>
#include <string>
#include <string_view>

// Exactly 32 upper-case hexadecimal digits, zero-padded on the left. A
// negative position is written as its 64-bit two's complement (16 zeros, then
// 16 digits): 90000 gives "00000000000000000000000000015F90", -1 gives
// "0000000000000000FFFFFFFFFFFFFFFF".
std::string FormatResumeText(std::int64_t position);

// The position of a resume text, read as a hexadecimal number into a signed
// 32-bit integer and sign-extended to 64 bits. Text that is not a valid
// hexadecimal number (empty, or any character other than 0-9, A-F, a-f) gives
// 0. The number must fit into 31 bits: after any count of leading zeros its
// value must be at most 7FFFFFFF, otherwise the result is 0. So every text
// written for a negative position (its 64-bit two's complement is far beyond
// 31 bits) reads as 0, as does any text of 80000000 or more; the result is
// never negative, and the sign extension never changes it.
std::int64_t ParseResumeText(std::string_view text);
