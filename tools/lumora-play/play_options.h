#pragma once
// The command line of lumora-play.

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TSeekRequest {
  int target = 0;  // position to seek to, milliseconds
  int at = -1;     // playback time at which to seek; -1: before playback starts
};

struct TPlayOptions {
  std::string file;
  std::optional<int> playFor;  // --for MS: stop after this much playback
  std::vector<TSeekRequest> seeks;
  std::optional<int> volume;
  bool mute = false;
  std::vector<std::pair<int, int>> eq;  // band, value
  bool eqOn = false;
  bool booster = false;
  std::optional<int> track;
  std::optional<int> fill;
  bool untimed = false;
  bool headless = false;    // never open a window, even with a display
  std::string filtersPath;  // default: Filters/ beside the executable
  bool help = false;
};

// Parses argv; on a usage error returns nullopt and sets `error`.
std::optional<TPlayOptions> ParsePlayOptions(const std::vector<std::string>& args,
                                             std::string& error);

extern const char kPlayUsage[];
