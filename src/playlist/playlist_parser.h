#pragma once
// The parser thread of one batch of opened names: files are handed over as
// they are, folders are walked depth-first in the order the file system lists
// their entries, and every file found is handed to the receiver one at a time.

#include <atomic>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

class TPlaylistParser {
 public:
  // Runs on the parser thread for each file found, and hands it on
  // synchronously (the playlist's receiver passes it to its owner thread and
  // waits). False ends the batch: the receiver is gone or wants no more.
  using TNewFileEvent = std::function<bool(const std::string& fname)>;
  // Runs on the parser thread as the batch ends, after the last hand-off.
  using TDoneEvent = std::function<void()>;

  // Folders are entered down to this depth below a given folder (depth 0).
  static constexpr int kMaxDepth = 512;

  // Copies pllst and starts the thread when it holds at least one name and a
  // receiver is given; otherwise nothing runs and on_done is never called.
  TPlaylistParser(std::vector<std::string> pllst, TNewFileEvent cllbck, TDoneEvent on_done = {});
  // Asks the walk to stop and waits for the thread to end.
  ~TPlaylistParser();
  TPlaylistParser(const TPlaylistParser&) = delete;
  TPlaylistParser& operator=(const TPlaylistParser&) = delete;

  // The walk stops before its next entry; a hand-off under way completes.
  void RequestStop();
  bool StopRequested() const;
  bool Started() const { return started_; }
  // Whether the thread has finished its batch (true when it never started).
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

 private:
  struct Walk;
  void Execute(std::stop_token stop);
  bool Hand(const std::string& fname);
  bool Recurs(const std::string& path, int depth, Walk& walk);

  std::vector<std::string> playlist;
  TNewFileEvent fCallBack;
  TDoneEvent on_done_;
  std::string S;  // the name being handed over
  bool started_ = false;
  std::atomic<bool> finished_{false};
  std::jthread thread_;  // last: the thread starts once everything else exists
};
