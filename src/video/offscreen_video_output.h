#pragma once
// An output whose windows live in memory, for tests and benchmarks. OpenGL
// devices render into pbuffers on EGL's surfaceless platform; presenting one
// copies its pixels into the window's memory (unless capture is off), and
// the software path's blit writes there too. Windows can be resized and
// destroyed, devices can be made to fail or be lost, so every path of the
// presenter can be driven.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "video/video_output.h"

class TEglDisplay;

// A window's pixels: top-down rows of 4 bytes (blue, green, red, 255).
struct TWindowImage {
  int width = 0;
  int height = 0;
  std::vector<BYTE> bgra;
  int presents = 0;  // OpenGL presentations shown
  int blits = 0;     // software blits shown

  bool Empty() const { return bgra.empty(); }
  // Channel values of pixel (x, y), y from the top.
  const BYTE* At(int x, int y) const {
    return bgra.data() + (static_cast<std::size_t>(y) * width + x) * 4;
  }
};

class TOffscreenVideoOutput final : public TVideoOutput {
 public:
  // openGL false behaves like a machine without OpenGL: no device at all.
  explicit TOffscreenVideoOutput(bool openGL = true);
  ~TOffscreenVideoOutput() override;

  HWND CreateWindow(int width, int height);
  void SetClientSize(HWND window, int width, int height);
  void DestroyWindow(HWND window);
  TWindowImage Image(HWND window) const;

  // Whether presenting copies the pixels into the window (on by default;
  // benchmarks turn it off and only wait for the drawing to finish).
  void SetCapture(bool capture) { fCapture = capture; }
  // Devices made from now on fail (as if the context could not be created).
  void SetDeviceCreationFails(bool fails) { fCreationFails = fails; }
  // Every device made so far reports itself lost at its next check.
  void LoseDevices();
  int DevicesCreated() const { return fDevicesCreated; }
  // Whether EGL could be initialised at all.
  bool OpenGLAvailable() const;

  bool ClientSize(HWND window, int* width, int* height) override;
  bool CompositionEnabled() override { return true; }
  std::unique_ptr<TGLDevice> CreateDevice(HWND window, bool vsync) override;
  bool BlitBgr24(HWND window, const BYTE* bits, int width, int height, int stride) override;

 private:
  struct Window {
    int width = 0;
    int height = 0;
    TWindowImage image;
  };
  bool CapturePixels(HWND window, int width, int height);

  const bool fOpenGL;
  std::shared_ptr<TEglDisplay> fEgl;
  mutable std::mutex fLock;
  std::map<HWND, Window> fWindows;
  HWND fNextHandle = 0x1000;
  std::atomic<bool> fCapture{true};
  std::atomic<bool> fCreationFails{false};
  std::atomic<int> fDevicesCreated{0};
  std::atomic<unsigned> fLossGeneration{0};
};
