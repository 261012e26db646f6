#pragma once
// The colour conversion of NV12 frames during the stretch: limited-range
// Y'CbCr to RGB, BT.709 for HD frames (wider than 1024 or taller than 576),
// BT.601 otherwise. The inverse is there for making test frames.

struct TYuvMatrix {
  float rows[9];    // RGB = rows x (YCbCr - offset), row-major
  float offset[3];  // 16/255, 128/255, 128/255
};

bool IsHdFrame(int width, int height);
TYuvMatrix YuvToRgbMatrix(bool bt709);

// 8-bit limited-range Y, Cb, Cr of an 8-bit RGB colour (rounded).
void RgbToYuv(bool bt709, int r, int g, int b, int* y, int* cb, int* cr);
