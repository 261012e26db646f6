#include "playlist/playlist_model.h"

#include <chrono>
#include <random>
#include <utility>

#include "playlist/m3u_file.h"
#include "playlist/media_info_library.h"
#include "playlist/playlist_parser.h"
#include "playlist/text_encoding.h"
#include "system/media_types.h"

namespace {

// A parser hands a file over: wParam the batch, lParam the name (a
// const std::string* valid while the sender waits). The result is 1 to go
// on, 0 to end the batch.
constexpr UINT kAddFileMessage = WM_USER + 1;
// A batch has ended (posted after its last hand-off): wParam the batch.
constexpr UINT kBatchDoneMessage = WM_USER + 2;

TPlaylistModel::TRandomSource DefaultRandom() {
  const auto seed = static_cast<std::uint64_t>(
                        std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                    std::random_device{}();
  auto engine = std::make_shared<std::mt19937_64>(seed);
  return [engine](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(*engine);
  };
}

bool IsM3uExtension(const std::string& ext) {
  return ext.size() == 3 && (ext[0] == 'm' || ext[0] == 'M') && ext[1] == '3' &&
         (ext[2] == 'u' || ext[2] == 'U');
}

}  // namespace

struct TPlaylistModel::Batch {
  std::uint64_t id;
  std::unique_ptr<TPlaylistParser> parser;
};

TPlaylistModel::TPlaylistModel(Options options) : options_(std::move(options)) {
  if (!options_.random) options_.random = DefaultRandom();
  if (!options_.readers)
    options_.readers = MediaInfoDurationReaders(MediaInfoDll(), DefaultMediaInfoPath());
  if (options_.legacy_charset.empty())
    options_.legacy_charset = lumora::text::LegacyPlaylistCharset();
  if (options_.write_charset.empty()) options_.write_charset = lumora::text::PlaylistWriteCharset();
  hwnd_ = CreateMessageWindow([this](HWND, UINT msg, WPARAM wparam, LPARAM lparam) {
    return WindowProc(msg, wparam, lparam);
  });
  ppl = std::make_unique<TPlaylistInformator>(lv, options_.readers, options_.on_duration);
}

TPlaylistModel::~TPlaylistModel() {
  StopBatches();
  // A parser waiting in a hand-off is released with a failure and ends; no
  // message reaches this object any more.
  DestroyMessageWindow(hwnd_);
  batches_.clear();  // joins the parser threads
  ppl.reset();       // joins the information thread before the list goes
}

std::size_t TPlaylistModel::RunningBatches() const { return batches_.size(); }

void TPlaylistModel::StopBatches() {
  for (Batch& b : batches_) b.parser->RequestStop();
}

LRESULT TPlaylistModel::WindowProc(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == kAddFileMessage) {
    for (Batch& b : batches_) {
      if (b.id != wparam) continue;
      if (b.parser->StopRequested()) return 0;  // a replaced batch: dropped
      try {
        Add(*reinterpret_cast<const std::string*>(lparam));
      } catch (...) {
        // A file that cannot be added is skipped; the batch goes on.
      }
      return 1;
    }
    return 0;
  }
  if (msg == kBatchDoneMessage) {
    for (auto it = batches_.begin(); it != batches_.end(); ++it) {
      if (it->id != wparam) continue;
      // Its thread has made its last hand-off and is ending: joining is short.
      batches_.erase(it);
      break;
    }
    return 0;
  }
  return 0;
}

void TPlaylistModel::Changed() {
  if (options_.on_change) options_.on_change(lv.Size(), Playeditem_);
}

void TPlaylistModel::ParseList(const std::vector<std::string>& str, bool immediate) {
  if (immediate) {
    StopBatches();
    lv.Clear();
  }
  toMainForm_ = immediate;
  Changed();
  if (str.empty()) return;
  const std::uint64_t id = next_batch_++;
  const HWND hwnd = hwnd_;
  // The parser's callbacks know only the window handle, never this object:
  // once the window is gone every hand-off fails and the batch ends.
  auto hand_off = [hwnd, id](const std::string& fname) {
    LRESULT go_on = 0;
    return SendMessageChecked(hwnd, kAddFileMessage, static_cast<WPARAM>(id),
                              reinterpret_cast<LPARAM>(&fname), &go_on) &&
           go_on != 0;
  };
  auto done = [hwnd, id] { PostMessage(hwnd, kBatchDoneMessage, static_cast<WPARAM>(id), 0); };
  batches_.push_back({id, std::make_unique<TPlaylistParser>(str, hand_off, done)});
}

void TPlaylistModel::Add(const std::string& fname) {
  if (!IsMediaFile(fname)) return;
  TPlayListItem item = MakePlayListItem(fname);
  if (IsM3uExtension(item.ext)) {
    if (m3u_depth_ == 0) ParsePlaylist(fname);  // an unreadable list adds nothing
    return;
  }
  const std::size_t idx = lv.Append(std::move(item));
  if (toMainForm_) {
    toMainForm_ = false;
    Play(static_cast<std::int64_t>(idx));
  } else if (quiet_ == 0) {
    Changed();
  }
}

void TPlaylistModel::Play(std::int64_t idx) {
  if (idx < 0 || static_cast<std::uint64_t>(idx) >= lv.Size()) return;
  Playeditem_ = idx;
  lv.MarkPlayed(static_cast<std::size_t>(idx));
  Changed();
  const std::string path = lv.At(static_cast<std::size_t>(idx)).FilePath;
  if (options_.OpenFile) options_.OpenFile(path);
}

void TPlaylistModel::Next() {
  if (shuffle) return PlayRandom();
  const auto count = static_cast<std::int64_t>(lv.Size());
  if (count == 0) return;
  // A current index left past the end by an emptied list counts as the last.
  Play(Playeditem_ >= count - 1 || Playeditem_ < 0 ? 0 : Playeditem_ + 1);
}

void TPlaylistModel::Prev() {
  if (shuffle) return PlayRandom();
  const auto count = static_cast<std::int64_t>(lv.Size());
  if (count == 0) return;
  Play(Playeditem_ <= 0 || Playeditem_ > count - 1 ? count - 1 : Playeditem_ - 1);
}

bool TPlaylistModel::haveToPlay() const { return loop || lv.AnyUnplayed(); }

void TPlaylistModel::ClearHaveToPlay() { lv.ClearPlayed(); }

void TPlaylistModel::PlayRandom() {
  if (!haveToPlay()) ClearHaveToPlay();
  std::vector<std::size_t> candidates = lv.UnplayedIndices();
  if (candidates.empty()) {
    if (lv.Size() == 0) return;
    // Only with repeat on: every item has played in this cycle and playback
    // must go on, so a new cycle begins.
    ClearHaveToPlay();
    candidates = lv.UnplayedIndices();
    if (candidates.empty()) return;
  }
  const std::size_t pick = options_.random(candidates.size()) % candidates.size();
  Play(static_cast<std::int64_t>(candidates[pick]));
}

std::error_code TPlaylistModel::ParsePlaylist(const std::string& str) {
  std::string bytes;
  if (std::error_code ec = lumora::m3u::ReadPlaylistFile(str, &bytes)) return ec;
  const std::vector<std::string> entries =
      lumora::m3u::PlaylistEntries(lumora::m3u::DecodePlaylistText(bytes, options_.legacy_charset));
  bytes.clear();
  struct Scope {
    TPlaylistModel& m;
    explicit Scope(TPlaylistModel& model) : m(model) { ++m.quiet_, ++m.m3u_depth_; }
    ~Scope() { --m.quiet_, --m.m3u_depth_; }
  };
  {
    Scope scope(*this);
    for (const std::string& e : entries) Add(e);
  }
  if (quiet_ == 0) Changed();
  return {};
}

std::error_code TPlaylistModel::SavePlaylist(const std::string& pth) const {
  const std::vector<std::string> paths = lv.FilePaths();
  return lumora::m3u::WriteFileAtomically(
      pth, lumora::m3u::EncodePlaylist(paths, options_.write_charset));
}
