#include "playlist/playlist_parser.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <set>
#include <utility>

namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

struct Entry {
  std::string name;
  unsigned char type;
};

// The whole listing of a folder, in the order the file system gives it. It is
// read before any subfolder is entered, so a deep walk holds no open folders.
bool ListFolder(const std::string& path, std::vector<Entry>* entries) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
  if (!dir) return false;
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    entries->push_back({std::string(name), e->d_type});
  }
  return true;
}

enum class Kind { kFolder, kFile, kSkip };

// What an entry is, following symbolic links. An entry that vanished or a
// link that leads nowhere still counts as a file: the playlist shows missing
// files like any other. Pipes, sockets and devices are no media files.
Kind KindOf(const std::string& full, unsigned char type) {
  if (type == DT_REG) return Kind::kFile;
  if (type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK) return Kind::kSkip;
  struct stat st {};
  if (::stat(full.c_str(), &st) != 0) return type == DT_DIR ? Kind::kSkip : Kind::kFile;
  if (S_ISDIR(st.st_mode)) return Kind::kFolder;
  if (S_ISREG(st.st_mode)) return Kind::kFile;
  return Kind::kSkip;
}

}  // namespace

struct TPlaylistParser::Walk {
  std::stop_token stop;
  // Folders entered under the current name, by device and inode, so that a
  // folder reached again through a link (or a link loop) is walked once.
  std::set<std::pair<dev_t, ino_t>> visited;
};

TPlaylistParser::TPlaylistParser(std::vector<std::string> pllst, TNewFileEvent cllbck,
                                 TDoneEvent on_done)
    : playlist(std::move(pllst)), fCallBack(std::move(cllbck)), on_done_(std::move(on_done)) {
  if (playlist.empty() || !fCallBack) {
    finished_.store(true, std::memory_order_release);
    return;
  }
  started_ = true;
  thread_ = std::jthread([this](std::stop_token stop) { Execute(std::move(stop)); });
}

TPlaylistParser::~TPlaylistParser() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

void TPlaylistParser::RequestStop() { thread_.request_stop(); }

bool TPlaylistParser::StopRequested() const {
  return started_ && thread_.get_stop_token().stop_requested();
}

void TPlaylistParser::Execute(std::stop_token stop) {
  Walk walk{std::move(stop), {}};
  for (const std::string& name : playlist) {
    if (walk.stop.stop_requested()) break;
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) continue;  // neither file nor folder
    if (S_ISDIR(st.st_mode)) {
      walk.visited.clear();
      const std::string folder = name.ends_with('/') ? name : name + "/";
      if (!Recurs(folder, 0, walk)) break;
    } else if (S_ISREG(st.st_mode)) {
      if (!Hand(name)) break;
    }
  }
  if (on_done_) on_done_();
  finished_.store(true, std::memory_order_release);
}

bool TPlaylistParser::Hand(const std::string& fname) {
  S = fname;
  try {
    return fCallBack(S);
  } catch (...) {
    return false;  // an error in the receiver ends the batch
  }
}

bool TPlaylistParser::Recurs(const std::string& path, int depth, Walk& walk) {
  if (depth > kMaxDepth) return true;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return true;
  if (!walk.visited.insert({st.st_dev, st.st_ino}).second) return true;
  std::vector<Entry> entries;
  if (!ListFolder(path, &entries)) return true;  // unreadable folders are skipped
  for (const Entry& e : entries) {
    if (walk.stop.stop_requested()) return false;
    std::string full = path + e.name;
    switch (KindOf(full, e.type)) {
      case Kind::kFolder:
        full += '/';
        if (!Recurs(full, depth + 1, walk)) return false;
        break;
      case Kind::kFile:
        if (!Hand(full)) return false;
        break;
      case Kind::kSkip:
        break;
    }
  }
  return true;
}
