#include "video/frame_picture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "video/video_resources.h"
#include "video/video_types.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void IgnoreJpegMessage(j_common_ptr) {}

// Decodes into rows of 4 bytes (blue, green, red, unused), top-down, into
// *out; false on any decoding error. Only plain locals live between setjmp
// and the library calls, so a long jump skips no destructor.
bool DecodeJpeg(const unsigned char* data, std::size_t size, std::vector<BYTE>* out, int* width,
                int* height) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnJpegError;
  errors.base.output_message = IgnoreJpegMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&info);
  const JDIMENSION w = info.output_width;
  const JDIMENSION h = info.output_height;
  if (w == 0 || h == 0 || w > 16384 || h > 16384) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  out->assign(static_cast<std::size_t>(w) * h * 4, 0);
  while (info.output_scanline < h) {
    JSAMPROW row = out->data() + static_cast<std::size_t>(info.output_scanline) * w * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

}  // namespace

TFramePicture::TFramePicture()
    : fBits(static_cast<std::size_t>(kPictureWidth) * kPictureHeight * 4, 0) {}

const BYTE* TFramePicture::At(int x, int y) const {
  return fBits.data() + (static_cast<std::size_t>(kPictureHeight - 1 - y) * kPictureWidth + x) * 4;
}

bool TFramePicture::DrawJpegCentred(std::span<const unsigned char> jpeg) {
  if (jpeg.empty()) return false;
  std::vector<BYTE> pixels;
  int w = 0;
  int h = 0;
  if (!DecodeJpeg(jpeg.data(), jpeg.size(), &pixels, &w, &h)) return false;
  const int left = (kPictureWidth - w) / 2;
  const int top = (kPictureHeight - h) / 2;
  for (int y = 0; y < h; ++y) {
    const int py = top + y;
    if (py < 0 || py >= kPictureHeight) continue;
    int x0 = 0;
    int x1 = w;
    if (left < 0) x0 = -left;
    if (left + x1 > kPictureWidth) x1 = kPictureWidth - left;
    if (x1 <= x0) continue;
    BYTE* dst = fBits.data() +
                (static_cast<std::size_t>(kPictureHeight - 1 - py) * kPictureWidth + left + x0) * 4;
    const BYTE* src = pixels.data() + (static_cast<std::size_t>(y) * w + x0) * 4;
    std::memcpy(dst, src, static_cast<std::size_t>(x1 - x0) * 4);
  }
  return true;
}

TFramePicture MakeSplashPicture() {
  TFramePicture splash;
  splash.DrawJpegCentred(VideoResource("Splash", "JPEG"));
  return splash;
}
