#pragma once
// The playlist: its items, the current item, the shuffle and repeat flags and
// the play order, fed by parser batches in the background. It never plays
// anything itself; every start of an item ends in the OpenFile callback.
//
// Everything here runs on the owner thread (the thread that creates the
// model, which must pump its messages): parser threads hand their files to it
// synchronously through the message layer. Only the information thread works
// elsewhere, on the shared item list.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "platform/messages/message_layer.h"
#include "playlist/playlist_informator.h"
#include "playlist/playlist_item.h"

class TPlaylistParser;

class TPlaylistModel {
 public:
  // The main window's OpenFile, called with the started item's path.
  using TOpenFileEvent = std::function<void(const std::string& path)>;
  // The view's row count and current row changed (or may have).
  using TChangeEvent = std::function<void(std::size_t row_count, std::int64_t current_row)>;
  // A number in [0, n), every value with the same chance.
  using TRandomSource = std::function<std::size_t(std::size_t n)>;

  struct Options {
    TOpenFileEvent OpenFile;
    TChangeEvent on_change;
    // Default: a generator seeded from the clock and the system's entropy.
    TRandomSource random;
    // Default: the process's media information library, from
    // DefaultMediaInfoPath(), else the system's.
    TDurationReaderFactory readers;
    // Called on the information thread when an item's duration is filled in.
    TPlaylistInformator::TFilledEvent on_duration;
    // Charsets of M3U files without a byte-order mark that are not UTF-8, and
    // of saved playlists. Default: LegacyPlaylistCharset() and
    // PlaylistWriteCharset() of lumora::text.
    std::string legacy_charset;
    std::string write_charset;
  };

  explicit TPlaylistModel(Options options);
  // Stops and joins every parser thread (a hand-off under way fails) and the
  // information thread.
  ~TPlaylistModel();
  TPlaylistModel(const TPlaylistModel&) = delete;
  TPlaylistModel& operator=(const TPlaylistModel&) = delete;

  // Starts a parser batch for names (media files, folders, M3U lists). With
  // immediate the list is emptied first, batches still running are stopped
  // (files of theirs still in flight are dropped), and the first file that
  // arrives starts playing; otherwise files are appended and nothing starts.
  void ParseList(const std::vector<std::string>& str, bool immediate);
  // Appends fname when it is a media name; expands an M3U list instead of
  // adding it. Starts the new item when toMainForm is set.
  void Add(const std::string& fname);
  // Makes item idx current, marks it played and opens it; out of range: nothing.
  void Play(std::int64_t idx);
  // The next, previous or a random item, wrapping around.
  void Next();
  void Prev();
  // One of the items not yet played in this cycle, at random. When all have
  // played a new cycle begins: the played flags are cleared first (with
  // repeat on too, where playback must go on, the same happens).
  void PlayRandom();
  // Whether playback should go on after the current file ends.
  bool haveToPlay() const;
  void ClearHaveToPlay();

  // Reads the M3U list str and adds its entries. An error when it cannot be
  // read (nothing is added then).
  std::error_code ParsePlaylist(const std::string& str);
  // Writes the list to pth as M3U, atomically; the error when that fails (an
  // older file at pth is then left as it was).
  std::error_code SavePlaylist(const std::string& pth) const;

  std::size_t Count() const { return lv.Size(); }
  TPlayListItem Item(std::size_t i) const { return lv.At(i); }
  std::vector<std::string> FilePaths() const { return lv.FilePaths(); }
  std::int64_t Playeditem() const { return Playeditem_; }
  bool toMainForm() const { return toMainForm_; }
  // Parser batches not yet finished (and reaped by the owner thread).
  std::size_t RunningBatches() const;

  // Flipped by the main window's shuffle and repeat buttons.
  bool shuffle = false;
  bool loop = false;

 private:
  struct Batch;
  LRESULT WindowProc(UINT msg, WPARAM wparam, LPARAM lparam);
  void Changed();
  void StopBatches();

  Options options_;
  TPlaylistItems lv;
  std::unique_ptr<TPlaylistInformator> ppl;
  std::int64_t Playeditem_ = 0;
  bool toMainForm_ = false;
  int quiet_ = 0;      // while an M3U list expands, Add sends no change signal
  int m3u_depth_ = 0;  // M3U lists are not followed from inside an M3U list
  std::uint64_t next_batch_ = 1;
  std::vector<Batch> batches_;
  HWND hwnd_ = 0;
};
