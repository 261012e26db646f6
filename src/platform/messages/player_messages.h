#pragma once
// Message numbers the player and its windows exchange.

#include "platform/messages/message_layer.h"

// From the preview thread to the main window: a thumbnail is ready.
inline constexpr UINT WM_PREVIEWREADY = 0x0800;
// From the player to the main window.
inline constexpr UINT WM_PLAYERVOLUME = 0x0812;
inline constexpr UINT WM_PLAYERSTATE = 0x0813;
inline constexpr UINT WM_PLAYEROPENED = 0x0814;
// From the filter graph to the player's hidden window: graph events wait.
inline constexpr UINT WM_GRAPHNOTIFY = WM_APP + 1;
static_assert(WM_GRAPHNOTIFY == 0x8001);
