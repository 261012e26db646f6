#pragma once
// The audio stream descriptor shared by the effect filter, its clients and
// every effect. Its layout is part of the filter's interface (it is handed to
// PCM callbacks and returned by the stream-information query), so the seven
// 32-bit fields keep this order and the record is exactly 28 bytes.

#include <cstddef>
#include <cstdint>

#include "platform/com/types.h"

struct TDSStream {
  std::int32_t Size = 0;       // byte length of the buffer being processed
  std::int32_t Frequency = 0;  // sample rate in Hz
  std::int32_t Channels = 0;   // channels per frame
  std::int32_t Bits = 0;       // bits per sample: 8, 16, 24 or 32
  BOOL Float = BOOL_FALSE;     // IEEE single samples (meaningful with Bits 32)
  BOOL SPDIF = BOOL_FALSE;     // compressed audio framed for S/PDIF
  BOOL DTS = BOOL_FALSE;       // DTS audio
};
using PDSStream = TDSStream*;

static_assert(sizeof(TDSStream) == 28);
static_assert(offsetof(TDSStream, Size) == 0);
static_assert(offsetof(TDSStream, Frequency) == 4);
static_assert(offsetof(TDSStream, Channels) == 8);
static_assert(offsetof(TDSStream, Bits) == 12);
static_assert(offsetof(TDSStream, Float) == 16);
static_assert(offsetof(TDSStream, SPDIF) == 20);
static_assert(offsetof(TDSStream, DTS) == 24);
