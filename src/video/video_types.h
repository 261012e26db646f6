#pragma once
// Shared types of the video output: the display mode, the frame pictures'
// fixed shape and the identities of the video renderer filter.

#include <cstdint>

#include "platform/com/guid.h"
#include "platform/messages/message_layer.h"

// How the picture is fitted into the window. dmFIll and dmPartialCrop draw
// exactly like dmKeepAspectRatio; dm16x9forced fits into 16:9 and warps 4:3
// pictures (see picture_geometry.h).
enum TDisplayMode : std::int32_t {
  dmFIll = 0,
  dmKeepAspectRatio = 1,
  dmPartialCrop = 2,
  dm16x9forced = 3,
};

// The double nearest to 16/9, used wherever the renderer resets to its own
// pictures.
inline constexpr double kAspect16x9 = 16.0 / 9.0;

// The splash and black pictures: 32 bits per pixel, rows bottom-up.
inline constexpr int kPictureWidth = 1920;
inline constexpr int kPictureHeight = 1080;

inline constexpr CLSID CLSID_D2R2VideoRenderer = MakeGuid("{ED80BE10-6EE9-4D1B-8C59-E0BC94A20455}");
inline constexpr char kVideoRendererName[] = "D2R2 Video Renderer";

// Status of the presenter as SetVideoWindow and ResetDevice report it.
inline constexpr HRESULT kPresenterReady = 0;     // OpenGL ready, NV12 frames supported
inline constexpr HRESULT kPresenterSoftware = 1;  // no OpenGL: software drawing
inline constexpr HRESULT kPresenterNoNV12 = 2;    // OpenGL ready, RGB32 frames only
