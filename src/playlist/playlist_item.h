#pragma once
// One playlist entry, and the list of entries that the playlist (on its owner
// thread) and the information thread share.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

struct TPlayListItem {
  std::string FilePath;  // exactly as it reached Add
  std::string name;      // file name without folder and last extension
  std::string ext;       // extension without the dot, in its own case
  bool played = false;
  bool mediainfo = false;  // duration has been read
  double duration = 0;     // days; 0 until known
};

// An item for fname: name is the part after the last "/" or "\" (playlists
// written on other systems use "\"), without its last extension.
TPlayListItem MakePlayListItem(std::string_view fname);

// The owning list of items (the playlist's "lv"). The owner thread appends,
// empties and reads it; the information thread reads paths and stores
// durations. Every access takes the list's one lock, held only inside these
// calls, so no caller ever holds it while calling out.
class TPlaylistItems {
 public:
  std::size_t Size() const;
  // A copy of item i; an empty item when i is out of range.
  TPlayListItem At(std::size_t i) const;
  std::vector<std::string> FilePaths() const;
  // Appends and returns the new item's index.
  std::size_t Append(TPlayListItem item);
  void Clear();

  // played flags.
  void MarkPlayed(std::size_t i);
  void ClearPlayed();
  bool AnyUnplayed() const;
  std::vector<std::size_t> UnplayedIndices() const;

  // For the information thread: the first item at index >= from and < end
  // whose duration is not read yet, with the list's generation, which changes
  // whenever the list is emptied.
  struct Pending {
    std::size_t index;
    std::string path;
    std::uint64_t generation;
  };
  std::optional<Pending> NextPending(std::size_t from, std::size_t end) const;
  // Stores the duration into the item it was read for. False (and nothing
  // stored) when the list was emptied since, so that item is gone.
  bool StoreDuration(const Pending& item, double days);

  // A count that changes with every append and every emptying.
  std::uint64_t ChangeCount() const;
  // Blocks until ChangeCount() differs from seen, stop is requested, or the
  // time-out passes (none: no time-out). True when the list changed.
  bool WaitForChange(std::uint64_t seen, std::stop_token stop,
                     std::optional<std::chrono::milliseconds> timeout) const;

 private:
  mutable std::mutex mu_;
  mutable std::condition_variable_any changed_;
  std::vector<TPlayListItem> items_;
  std::uint64_t generation_ = 0;
  std::uint64_t changes_ = 0;
};
