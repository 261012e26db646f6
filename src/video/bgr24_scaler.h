#pragma once
// The software path's scaler: 24-bit frames (blue, green, red; rows bottom-up
// and unpadded) scaled to a bitmap of another size with fixed-point bilinear
// weights, ignoring the aspect ratio.

#include "platform/com/types.h"

// Rounds a x b / c to nearest, halves away from zero, with a 64-bit
// intermediate; -1 when c is 0.
int MulDiv(int a, int b, int c);

// Scales a srcWidth x srcHeight frame into a dstWidth x dstHeight bitmap
// whose rows are dstStride bytes apart (both bottom-up, so rows map without
// flipping). Equal sizes copy the rows unchanged. Otherwise destination
// pixel (i, j) samples X = i x sx, Y = j x sy with sx = MulDiv(srcWidth - 1,
// 65536, dstWidth), sy likewise, mixing the four neighbours with 16-bit
// weights; neighbours past the last column or row repeat the last one.
void ScaleBgr24(const BYTE* src, int srcWidth, int srcHeight, BYTE* dst, int dstWidth,
                int dstHeight, int dstStride);
