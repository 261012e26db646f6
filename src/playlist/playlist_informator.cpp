#include "playlist/playlist_informator.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "playlist/duration.h"
#include "playlist/media_info_library.h"

namespace {

class TMediaInfoDurationReader : public TDurationReader {
 public:
  explicit TMediaInfoDurationReader(const TMediaInfoLibrary& lib) : mi_(lib) {}
  bool Valid() const { return mi_.Valid(); }
  std::optional<std::string> ReadDuration(const std::string& path) override {
    if (!mi_.Open(path)) {
      mi_.Close();
      return std::nullopt;
    }
    std::string text = mi_.Get(kMediaInfoStreamGeneral, 0, "Duration");
    mi_.Close();
    return text;
  }

 private:
  TMediaInfo mi_;
};

// Below normal: a few steps nicer than the rest of the process. On Linux a
// thread id given to setpriority changes only that thread.
void LowerThreadPriority() {
  const auto tid = static_cast<id_t>(::gettid());
  errno = 0;
  const int now = ::getpriority(PRIO_PROCESS, tid);
  if (errno != 0) return;
  ::setpriority(PRIO_PROCESS, tid, now + 4 > 19 ? 19 : now + 4);
}

}  // namespace

TDurationReaderFactory MediaInfoDurationReaders(TMediaInfoLibrary& lib, std::string library_path) {
  return [&lib, path = std::move(library_path)]() -> std::unique_ptr<TDurationReader> {
    if (!lib.Load(path)) return nullptr;
    auto reader = std::make_unique<TMediaInfoDurationReader>(lib);
    if (!reader->Valid()) return nullptr;
    return reader;
  };
}

TPlaylistInformator::TPlaylistInformator(TPlaylistItems& ObjLst, TDurationReaderFactory readers,
                                         TFilledEvent on_filled)
    : ol(ObjLst), readers_(std::move(readers)), on_filled_(std::move(on_filled)) {
  thread_ = std::jthread([this](std::stop_token stop) { Execute(std::move(stop)); });
}

TPlaylistInformator::~TPlaylistInformator() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

bool TPlaylistInformator::WaitFinished(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(finished_mu_);
  return finished_cv_.wait_for(lock, timeout, [&] { return finished_; });
}

void TPlaylistInformator::Execute(std::stop_token stop) {
  LowerThreadPriority();
  try {
    std::unique_ptr<TDurationReader> reader = readers_ ? readers_() : nullptr;
    while (reader && !stop.stop_requested()) {
      const std::uint64_t seen = ol.ChangeCount();
      bool retry = false;
      Pass(stop, *reader, &retry);
      if (stop.stop_requested()) break;
      // While a file could not be opened it is tried again after a short
      // pause; once every item is read the thread waits for the list to change.
      if (retry) {
        ol.WaitForChange(seen, stop, kPassPause);
      } else {
        ol.WaitForChange(seen, stop, std::nullopt);
      }
    }
  } catch (const std::exception&) {
    // An error ends the thread; durations simply stop filling in.
  }
  std::lock_guard lock(finished_mu_);
  finished_ = true;
  finished_cv_.notify_all();
}

void TPlaylistInformator::Pass(std::stop_token& stop, TDurationReader& reader, bool* retry) {
  const std::size_t count = ol.Size();
  for (std::size_t i = 0; i < count;) {
    if (stop.stop_requested()) return;
    std::optional<TPlaylistItems::Pending> item = ol.NextPending(i, count);
    if (!item) return;
    i = item->index + 1;
    std::optional<std::string> text = reader.ReadDuration(item->path);
    if (!text) {
      *retry = true;
      continue;
    }
    // The list was emptied while the file was read: the result is dropped.
    if (!ol.StoreDuration(*item, DurationTextToDays(*text))) return;
    if (on_filled_) on_filled_(item->index);
  }
}
