#pragma once
// The player's configuration of the decoder modules through their settings
// interfaces, call by call in the order the player has always used.

#include "filters/lav_settings.h"

// Splitter: run-time settings, advanced subtitle selection, Russian as the
// preferred audio language, the first audio stream of that language (not
// the richest), no tray icon, 300 MB of packet queue memory.
void ConfigureSplitter(ILAVFSettings& s);

// Video decoder. The output formats follow the renderer: 24-bit RGB only
// without an OpenGL device (noDirect3D), else NV12 (unless the device
// cannot take it) and 32-bit RGB. Part of the sequence runs twice, the
// second time after run-time configuration was switched off.
void ConfigureVideoDecoder(ILAVVideoSettings& s, bool noDirect3D, bool noNV12);
// The setting repeated before the decoder's output is connected.
void ReconfigureVideoDecoderForConnect(ILAVVideoSettings& s);

// Audio decoder: run-time settings, every codec on, automatic A/V sync, no
// tray icon.
void ConfigureAudioDecoder(ILAVAudioSettings& s);
