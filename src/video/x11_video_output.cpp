// The X11 output: window sizes through Xlib, OpenGL through EGL on the same
// display connection, and the software path through XPutImage.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "video/egl_device.h"
#include "video/video_output.h"

// Xlib last: its macros (None, Bool, Status...) must not reach the headers
// above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// X errors on our own connection (a window destroyed under us) must not end
// the process, so our display gets a handler that ignores them; errors of
// other connections go to the handler that was installed before.
std::mutex gHandlerLock;
std::vector<Display*> gOurDisplays;
XErrorHandler gPreviousHandler = nullptr;

int IgnoreOwnErrors(Display* display, XErrorEvent* event) {
  {
    std::lock_guard lock(gHandlerLock);
    if (std::find(gOurDisplays.begin(), gOurDisplays.end(), display) != gOurDisplays.end())
      return 0;
  }
  return gPreviousHandler ? gPreviousHandler(display, event) : 0;
}

void RegisterDisplay(Display* display) {
  std::lock_guard lock(gHandlerLock);
  if (gOurDisplays.empty()) {
    XErrorHandler previous = XSetErrorHandler(IgnoreOwnErrors);
    if (previous != IgnoreOwnErrors) gPreviousHandler = previous;
  }
  gOurDisplays.push_back(display);
}

int MaskShift(unsigned long mask) {
  int shift = 0;
  if (mask == 0) return 0;
  while ((mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int MaskBits(unsigned long mask) {
  int bits = 0;
  for (; mask; mask >>= 1) bits += static_cast<int>(mask & 1);
  return bits;
}

// The process's own connection to $DISPLAY, opened on first use and kept
// (with its EGL display) for the life of the process, so that the driver is
// initialised once and no output outlives the connection it draws through.
struct TConnection {
  Display* display = nullptr;
  std::shared_ptr<TEglDisplay> egl;  // made on the first device
};

std::mutex gConnectionLock;

TConnection* Connection() {
  static TConnection* const connection = new TConnection;
  std::lock_guard lock(gConnectionLock);
  if (!connection->display) {
    XInitThreads();
    connection->display = XOpenDisplay(nullptr);
    if (connection->display) RegisterDisplay(connection->display);
  }
  return connection;
}

class TX11VideoOutput final : public TVideoOutput {
 public:
  TX11VideoOutput() : fConnection(Connection()), fDisplay(fConnection->display) {}

  bool ClientSize(HWND window, int* width, int* height) override {
    XWindowAttributes attrs;
    if (!Attributes(window, &attrs)) return false;
    *width = attrs.width;
    *height = attrs.height;
    return true;
  }

  bool CompositionEnabled() override {
    if (!fDisplay) return false;
    char name[32];
    std::snprintf(name, sizeof name, "_NET_WM_CM_S%d", DefaultScreen(fDisplay));
    const Atom atom = XInternAtom(fDisplay, name, False);
    return atom != None && XGetSelectionOwner(fDisplay, atom) != None;
  }

  std::unique_ptr<TGLDevice> CreateDevice(HWND window, bool vsync) override {
    if (!fDisplay) return nullptr;
    int visualId = 0;
    if (window != 0) {
      XWindowAttributes attrs;
      if (!Attributes(window, &attrs)) return nullptr;
      visualId = attrs.visual ? static_cast<int>(XVisualIDFromVisual(attrs.visual)) : 0;
    }
    std::shared_ptr<TEglDisplay> egl;
    {
      std::lock_guard lock(gConnectionLock);
      if (!fConnection->egl) {
        TEglDisplay* display = new TEglDisplay(fDisplay);  // kept for the process
        fConnection->egl = std::shared_ptr<TEglDisplay>(display, [](TEglDisplay*) {});
      }
      egl = fConnection->egl;
    }
    return TEglDevice::CreateForWindow(std::move(egl), window, visualId, vsync);
  }

  bool BlitBgr24(HWND window, const BYTE* bits, int width, int height, int stride) override {
    XWindowAttributes attrs;
    if (!bits || width <= 0 || height <= 0 || !Attributes(window, &attrs) || !attrs.visual)
      return false;
    XImage* image =
        XCreateImage(fDisplay, attrs.visual, static_cast<unsigned>(attrs.depth), ZPixmap, 0,
                     nullptr, static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return false;
    std::vector<char> data(static_cast<std::size_t>(image->bytes_per_line) * height);
    image->data = data.data();
    Fill(image, bits, width, height, stride);
    const GC gc = XCreateGC(fDisplay, static_cast<Window>(window), 0, nullptr);
    XPutImage(fDisplay, static_cast<Window>(window), gc, image, 0, 0, 0, 0,
              static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFreeGC(fDisplay, gc);
    XFlush(fDisplay);
    image->data = nullptr;  // ours, not Xlib's
    XDestroyImage(image);
    return true;
  }

 private:
  bool Attributes(HWND window, XWindowAttributes* attrs) {
    return fDisplay && window != 0 &&
           XGetWindowAttributes(fDisplay, static_cast<Window>(window), attrs) != 0;
  }

  // Converts the bottom-up BGR rows into the image's top-down pixels.
  static void Fill(XImage* image, const BYTE* bits, int width, int height, int stride) {
    const bool fast = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                      image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                      image->blue_mask == 0xFF;
    const int rs = MaskShift(image->red_mask), rb = MaskBits(image->red_mask);
    const int gs = MaskShift(image->green_mask), gb = MaskBits(image->green_mask);
    const int bs = MaskShift(image->blue_mask), bb = MaskBits(image->blue_mask);
    for (int y = 0; y < height; ++y) {
      const BYTE* src = bits + static_cast<std::size_t>(height - 1 - y) * stride;
      if (fast) {
        auto* dst = reinterpret_cast<BYTE*>(image->data) +
                    static_cast<std::size_t>(y) * image->bytes_per_line;
        for (int x = 0; x < width; ++x) {
          dst[4 * x] = src[3 * x];
          dst[4 * x + 1] = src[3 * x + 1];
          dst[4 * x + 2] = src[3 * x + 2];
          dst[4 * x + 3] = 0;
        }
        continue;
      }
      for (int x = 0; x < width; ++x) {
        auto scale = [](BYTE v, int nbits) -> unsigned long {
          return nbits >= 8 ? static_cast<unsigned long>(v) << (nbits - 8)
                            : static_cast<unsigned long>(v) >> (8 - nbits);
        };
        const unsigned long pixel = (scale(src[3 * x + 2], rb) << rs) |
                                    (scale(src[3 * x + 1], gb) << gs) |
                                    (scale(src[3 * x], bb) << bs);
        XPutPixel(image, x, y, pixel);
      }
    }
  }

  TConnection* const fConnection;
  Display* const fDisplay;
};

}  // namespace

std::shared_ptr<TVideoOutput> CreateX11VideoOutput() { return std::make_shared<TX11VideoOutput>(); }
