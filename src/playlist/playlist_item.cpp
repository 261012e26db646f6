#include "playlist/playlist_item.h"

TPlayListItem MakePlayListItem(std::string_view fname) {
  TPlayListItem item;
  item.FilePath = std::string(fname);
  const std::size_t dot = fname.rfind('.');
  if (dot != std::string_view::npos) item.ext = std::string(fname.substr(dot + 1));
  const std::size_t sep = fname.find_last_of("/\\");
  const std::size_t start = sep == std::string_view::npos ? 0 : sep + 1;
  const std::size_t stop = dot != std::string_view::npos && dot >= start ? dot : fname.size();
  item.name = std::string(fname.substr(start, stop - start));
  return item;
}

std::size_t TPlaylistItems::Size() const {
  std::lock_guard lock(mu_);
  return items_.size();
}

TPlayListItem TPlaylistItems::At(std::size_t i) const {
  std::lock_guard lock(mu_);
  return i < items_.size() ? items_[i] : TPlayListItem{};
}

std::vector<std::string> TPlaylistItems::FilePaths() const {
  std::lock_guard lock(mu_);
  std::vector<std::string> paths;
  paths.reserve(items_.size());
  for (const TPlayListItem& item : items_) paths.push_back(item.FilePath);
  return paths;
}

std::size_t TPlaylistItems::Append(TPlayListItem item) {
  std::size_t index;
  {
    std::lock_guard lock(mu_);
    index = items_.size();
    items_.push_back(std::move(item));
    ++changes_;
  }
  changed_.notify_all();
  return index;
}

void TPlaylistItems::Clear() {
  std::vector<TPlayListItem> old;  // freed after the lock is released
  {
    std::lock_guard lock(mu_);
    old.swap(items_);
    ++generation_;
    ++changes_;
  }
  changed_.notify_all();
}

void TPlaylistItems::MarkPlayed(std::size_t i) {
  std::lock_guard lock(mu_);
  if (i < items_.size()) items_[i].played = true;
}

void TPlaylistItems::ClearPlayed() {
  std::lock_guard lock(mu_);
  for (TPlayListItem& item : items_) item.played = false;
}

bool TPlaylistItems::AnyUnplayed() const {
  std::lock_guard lock(mu_);
  for (const TPlayListItem& item : items_)
    if (!item.played) return true;
  return false;
}

std::vector<std::size_t> TPlaylistItems::UnplayedIndices() const {
  std::lock_guard lock(mu_);
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (!items_[i].played) out.push_back(i);
  return out;
}

std::optional<TPlaylistItems::Pending> TPlaylistItems::NextPending(std::size_t from,
                                                                   std::size_t end) const {
  std::lock_guard lock(mu_);
  if (end > items_.size()) end = items_.size();
  for (std::size_t i = from; i < end; ++i)
    if (!items_[i].mediainfo) return Pending{i, items_[i].FilePath, generation_};
  return std::nullopt;
}

bool TPlaylistItems::StoreDuration(const Pending& item, double days) {
  std::lock_guard lock(mu_);
  if (item.generation != generation_ || item.index >= items_.size()) return false;
  items_[item.index].duration = days;
  items_[item.index].mediainfo = true;
  return true;
}

std::uint64_t TPlaylistItems::ChangeCount() const {
  std::lock_guard lock(mu_);
  return changes_;
}

bool TPlaylistItems::WaitForChange(std::uint64_t seen, std::stop_token stop,
                                   std::optional<std::chrono::milliseconds> timeout) const {
  std::unique_lock lock(mu_);
  auto changed = [&] { return changes_ != seen; };
  if (timeout) return changed_.wait_for(lock, stop, *timeout, changed);
  return changed_.wait(lock, stop, changed);
}
