#pragma once
// The engine tests' fixture: a player built on the real decoder modules, a
// video output in memory, and an audio renderer playing into a null or WAV
// device on an injectable time base. A message target stands in for the
// main window and records what the player posts; waits pump the message
// layer until a condition holds, never sleep.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/ds_player.h"
#include "video/offscreen_video_output.h"

namespace etest {

struct TMessage {
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  friend bool operator==(const TMessage&, const TMessage&) = default;
};

std::ostream& operator<<(std::ostream& os, const TMessage& m);

struct TPlayerSetup {
  std::string filtersPath = std::string(LUMORA_FILTERS_DIR) + "/";
  bool audioRenderer = true;  // false: the audio renderer cannot be created
  bool graphManager = true;   // false: the filter graph manager cannot be created
  std::string wavPath;        // the audio goes to this WAV file (else the null device)
  int speed = 1;              // the audio device's time runs this much faster
};

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void Create(TPlayerSetup setup = {});
  // Pumps messages until `done` holds (checked after every message and at
  // least every 10 ms); false after `timeout`.
  bool WaitFor(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(15));
  // Waits for a WM_PLAYERSTATE with `code` posted from now on.
  bool WaitForState(WPARAM code);
  // Handles what waits, then returns the messages received so far and
  // forgets them.
  std::vector<TMessage> Take();
  // The filter of the current graph under `name`, null when not there.
  ComPtr<IBaseFilter> GraphFilter(const char16_t* name);
  bool PinConnected(IBaseFilter* filter, const char16_t* pin);
  // Whether the renderer shows its splash picture.
  bool ShowsLogo();

  std::shared_ptr<TOffscreenVideoOutput> output;
  HWND tv = 0;
  HWND target = 0;
  std::vector<TMessage> messages;
  std::unique_ptr<TDSPlayer> player;
};

}  // namespace etest
