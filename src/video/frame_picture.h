#pragma once
// The renderer's own pictures: 1920 x 1080, 32 bits per pixel (blue, green,
// red, unused), rows bottom-up, handed to the presenter like a decoded RGB32
// frame. The splash picture is the "Splash" JPEG resource centred on black.

#include <span>
#include <vector>

#include "platform/com/types.h"

class TFramePicture {
 public:
  // All black.
  TFramePicture();

  // The start of the pixel memory: the bottom row.
  const BYTE* Bits() const { return fBits.data(); }
  LONG Size() const { return static_cast<LONG>(fBits.size()); }
  // Pixel (x, y), y from the top: blue, green, red, unused.
  const BYTE* At(int x, int y) const;

  // Decodes a JPEG and draws it centred at ((1920 - w) div 2, (1080 - h)
  // div 2), clipped to the picture; false (picture unchanged) when the data
  // is not a decodable JPEG.
  bool DrawJpegCentred(std::span<const unsigned char> jpeg);

 private:
  std::vector<BYTE> fBits;
};

// The splash picture from the compiled-in resource (black if it is missing
// or broken).
TFramePicture MakeSplashPicture();
