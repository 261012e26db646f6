#pragma once
// TPlaySession: one run of lumora-play. It stands in for the main window:
// it owns the notification target the player reports to, prints each
// notification as a JSON line, drives the real TDSPlayer through the
// options, and measures what the summary reports.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>

#include "engine/ds_player.h"
#include "play_options.h"
#include "x11_window.h"

class TPlaySession {
 public:
  explicit TPlaySession(TPlayOptions options);
  ~TPlaySession();
  TPlaySession(const TPlaySession&) = delete;
  TPlaySession& operator=(const TPlaySession&) = delete;

  // Plays the file; the process exit code (0 played, 1 the file could not
  // be opened, 3 the player is unusable, 4 playback stalled).
  int Run();

 private:
  using Clock = std::chrono::steady_clock;

  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void ApplySettings();
  int PlayToEnd(Clock::time_point opening);
  void SampleOffset();
  void PrintSummary();
  void PrintError(const std::string& message);
  int FramesDrawn(int* dropped = nullptr);
  double ElapsedMs(Clock::time_point since) const;

  TPlayOptions fOptions;
  std::unique_ptr<TX11Window> fWindow;
  HWND fTarget = 0;
  std::shared_ptr<std::atomic<std::int64_t>> fAudioFrames;
  std::unique_ptr<TDSPlayer> fPlayer;
  bool fEnded = false;

  static constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();
  double fFirstPictureMs = kNotMeasured;  // printed as null
  // Audio/video offset: sampled whenever a new frame was drawn.
  LONGLONG fLastVideoPos = -1;
  double fOffsetSum = 0;
  double fOffsetMax = 0;
  int fOffsetSamples = 0;
  double fSeekLatencyMs = kNotMeasured;
};
