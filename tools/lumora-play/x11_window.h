#pragma once
// A plain X11 top-level window for the picture, where a display exists.

#include <memory>
#include <string>

#include "platform/messages/message_layer.h"

class TX11Window {
 public:
  // A mapped window of the given size; null without a display.
  static std::unique_ptr<TX11Window> Create(const std::string& title, int width, int height);
  ~TX11Window();
  TX11Window(const TX11Window&) = delete;
  TX11Window& operator=(const TX11Window&) = delete;

  // The window id, the renderer's window handle.
  HWND Handle() const;
  void Resize(int width, int height);
  // Handles waiting window events; false once the user closed the window.
  bool ProcessEvents();

 private:
  struct Impl;
  explicit TX11Window(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> fImpl;
};
