#include "video/offscreen_video_output.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "video/egl_device.h"

namespace {

// A pbuffer device that also reports itself lost when the output's loss
// generation moved on since it was made.
class TOffscreenDevice final : public TGLDevice {
 public:
  TOffscreenDevice(std::unique_ptr<TEglDevice> device, const std::atomic<unsigned>* generation)
      : fDevice(std::move(device)), fGeneration(generation), fBorn(generation->load()) {}

  bool MakeCurrent() override { return fDevice->MakeCurrent(); }
  void DoneCurrent() override { fDevice->DoneCurrent(); }
  bool IsLost() override {
    if (fGeneration->load() != fBorn) fDevice->MarkLost();
    return fDevice->IsLost();
  }
  bool Reset(int width, int height) override { return fDevice->Reset(width, height); }
  bool Present() override { return fDevice->Present(); }

 private:
  std::unique_ptr<TEglDevice> fDevice;
  const std::atomic<unsigned>* fGeneration;
  const unsigned fBorn;
};

// One surfaceless display for the process, initialised once and never
// terminated: the driver stays loaded (and its caches alive) for the next
// output.
std::shared_ptr<TEglDisplay> SurfacelessDisplay() {
  static TEglDisplay* const display = new TEglDisplay(nullptr);
  return std::shared_ptr<TEglDisplay>(display, [](TEglDisplay*) {});
}

}  // namespace

TOffscreenVideoOutput::TOffscreenVideoOutput(bool openGL) : fOpenGL(openGL) {
  if (fOpenGL) fEgl = SurfacelessDisplay();
}

TOffscreenVideoOutput::~TOffscreenVideoOutput() = default;

bool TOffscreenVideoOutput::OpenGLAvailable() const { return fEgl && fEgl->Valid(); }

HWND TOffscreenVideoOutput::CreateWindow(int width, int height) {
  std::lock_guard lock(fLock);
  const HWND h = fNextHandle++;
  fWindows[h] = Window{width, height, {}};
  return h;
}

void TOffscreenVideoOutput::SetClientSize(HWND window, int width, int height) {
  std::lock_guard lock(fLock);
  auto it = fWindows.find(window);
  if (it == fWindows.end()) return;
  it->second.width = width;
  it->second.height = height;
}

void TOffscreenVideoOutput::DestroyWindow(HWND window) {
  std::lock_guard lock(fLock);
  fWindows.erase(window);
}

TWindowImage TOffscreenVideoOutput::Image(HWND window) const {
  std::lock_guard lock(fLock);
  auto it = fWindows.find(window);
  return it == fWindows.end() ? TWindowImage{} : it->second.image;
}

void TOffscreenVideoOutput::LoseDevices() { ++fLossGeneration; }

bool TOffscreenVideoOutput::ClientSize(HWND window, int* width, int* height) {
  std::lock_guard lock(fLock);
  auto it = fWindows.find(window);
  if (it == fWindows.end()) return false;
  *width = it->second.width;
  *height = it->second.height;
  return true;
}

std::unique_ptr<TGLDevice> TOffscreenVideoOutput::CreateDevice(HWND window, bool /*vsync*/) {
  if (!OpenGLAvailable() || fCreationFails) return nullptr;
  int width = 1;
  int height = 1;
  if (window != 0 && !ClientSize(window, &width, &height)) return nullptr;
  TEglDevice::PresentHook hook;
  if (window != 0) hook = [this, window](int w, int h) { return CapturePixels(window, w, h); };
  auto device = TEglDevice::CreatePbuffer(fEgl, width, height, std::move(hook));
  if (!device) return nullptr;
  ++fDevicesCreated;
  return std::make_unique<TOffscreenDevice>(std::move(device), &fLossGeneration);
}

bool TOffscreenVideoOutput::CapturePixels(HWND window, int width, int height) {
  {
    std::lock_guard lock(fLock);
    if (!fWindows.count(window)) return false;  // the window is gone
  }
  if (!fCapture) {
    glFinish();
    std::lock_guard lock(fLock);
    if (auto it = fWindows.find(window); it != fWindows.end()) ++it->second.image.presents;
    return true;
  }
  std::vector<BYTE> pixels(static_cast<std::size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
  std::lock_guard lock(fLock);
  auto it = fWindows.find(window);
  if (it == fWindows.end()) return false;
  TWindowImage& image = it->second.image;
  image.width = width;
  image.height = height;
  image.bgra.resize(pixels.size());
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y)  // the framebuffer's first row is the bottom
    std::memcpy(image.bgra.data() + y * row, pixels.data() + (height - 1 - y) * row, row);
  for (std::size_t i = 3; i < image.bgra.size(); i += 4) image.bgra[i] = 255;
  ++image.presents;
  return true;
}

bool TOffscreenVideoOutput::BlitBgr24(HWND window, const BYTE* bits, int width, int height,
                                      int stride) {
  if (!bits || width <= 0 || height <= 0) return false;
  std::lock_guard lock(fLock);
  auto it = fWindows.find(window);
  if (it == fWindows.end()) return false;
  TWindowImage& image = it->second.image;
  image.width = width;
  image.height = height;
  image.bgra.assign(static_cast<std::size_t>(width) * height * 4, 255);
  for (int y = 0; y < height; ++y) {
    const BYTE* src = bits + static_cast<std::size_t>(height - 1 - y) * stride;
    BYTE* dst = image.bgra.data() + static_cast<std::size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x) std::memcpy(dst + 4 * x, src + 3 * x, 3);
  }
  ++image.blits;
  return true;
}
