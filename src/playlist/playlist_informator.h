#pragma once
// The information thread of a playlist: at below-normal priority it makes
// passes over the items and fills in the duration of each one not read yet.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "playlist/playlist_item.h"

class TMediaInfoLibrary;

// Reads the "Duration" field of files; used by one thread only.
class TDurationReader {
 public:
  virtual ~TDurationReader() = default;
  // The general "Duration" text of the file, or nothing when the file cannot
  // be opened.
  virtual std::optional<std::string> ReadDuration(const std::string& path) = 0;
};

// Makes the reader on the information thread; nothing when the library cannot
// be loaded, which ends the thread.
using TDurationReaderFactory = std::function<std::unique_ptr<TDurationReader>()>;

// The library-backed factory: loads lib from library_path (see
// TMediaInfoLibrary::Load) and keeps one handle for the reader's life.
TDurationReaderFactory MediaInfoDurationReaders(TMediaInfoLibrary& lib, std::string library_path);

class TPlaylistInformator {
 public:
  // Runs on the information thread after item index got its duration.
  using TFilledEvent = std::function<void(std::size_t index)>;

  // Pause between two passes while some item could not be opened.
  static constexpr std::chrono::milliseconds kPassPause{6};

  // Starts the thread at once on ObjLst, which must outlive this object.
  TPlaylistInformator(TPlaylistItems& ObjLst, TDurationReaderFactory readers,
                      TFilledEvent on_filled = {});
  // Asks the thread to terminate and waits for it. A file being read is
  // finished first (the library cannot be interrupted).
  ~TPlaylistInformator();
  TPlaylistInformator(const TPlaylistInformator&) = delete;
  TPlaylistInformator& operator=(const TPlaylistInformator&) = delete;

  // Waits until the thread has ended on its own (the library is missing, or
  // an error ended it), at most timeout; true when it has.
  bool WaitFinished(std::chrono::milliseconds timeout) const;

 private:
  void Execute(std::stop_token stop);
  void Pass(std::stop_token& stop, TDurationReader& reader, bool* retry);

  TPlaylistItems& ol;
  TDurationReaderFactory readers_;
  TFilledEvent on_filled_;
  mutable std::mutex finished_mu_;
  mutable std::condition_variable finished_cv_;
  bool finished_ = false;
  std::jthread thread_;  // last: starts once everything else exists
};
