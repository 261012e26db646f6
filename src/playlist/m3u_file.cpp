#include "playlist/m3u_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

#include "playlist/text_encoding.h"

namespace lumora::m3u {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports the result (a deferred write error shows here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

bool EndsWithM3u(std::string_view line) {
  if (line.size() < 4) return false;
  std::string_view tail = line.substr(line.size() - 4);
  auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  return tail[0] == '.' && up(tail[1]) == 'M' && tail[2] == '3' && up(tail[3]) == 'U';
}

bool Keep(std::string_view line) {
  std::size_t first = 0;
  while (first < line.size() && IsBlank(line[first])) ++first;
  if (first == line.size()) return false;  // blank after trimming
  if (line[first] == '#') return false;
  if (EndsWithM3u(line)) return false;
  if (line.size() > kMaxEntryBytes) return false;
  if (line.find('\0') != std::string_view::npos) return false;
  return true;
}

// The path a write really replaces: a symbolic link's final target.
std::string WriteTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  // A link to a file that does not exist yet resolves through its folder.
  char buf[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return path;
  std::string target(buf, static_cast<std::size_t>(n));
  if (target[0] != '/') {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
  }
  char real[PATH_MAX];
  if (::realpath(target.c_str(), real) != nullptr) return real;
  return target;
}

}  // namespace

std::error_code ReadPlaylistFile(const std::string& path, std::string* bytes,
                                 std::size_t max_bytes) {
  bytes->clear();
  // Non-blocking so that opening a named pipe cannot hang; refused below.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return LastError();
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return LastError();
  if (!S_ISREG(st.st_mode)) {
    return std::make_error_code(S_ISDIR(st.st_mode) ? std::errc::is_a_directory
                                                    : std::errc::invalid_argument);
  }
  if (static_cast<std::uintmax_t>(st.st_size) > max_bytes)
    return std::make_error_code(std::errc::file_too_large);
  bytes->reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (n == 0) break;
    // Files may report a size that is not their length (pseudo-files).
    if (bytes->size() + static_cast<std::size_t>(n) > max_bytes) {
      bytes->clear();
      return std::make_error_code(std::errc::file_too_large);
    }
    bytes->append(buf, static_cast<std::size_t>(n));
  }
  return {};
}

std::string DecodePlaylistText(std::string_view bytes, const std::string& legacy_charset) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return text::ToUtf8(bytes.substr(3), "UTF-8");
  if (bytes.starts_with("\xFF\xFE")) return text::Utf16BytesToUtf8(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return text::Utf16BytesToUtf8(bytes.substr(2), true);
  if (text::IsValidUtf8(bytes)) return std::string(bytes);
  return text::ToUtf8(bytes, legacy_charset);
}

std::vector<std::string> PlaylistEntries(std::string_view text) {
  std::vector<std::string> entries;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (Keep(line)) entries.emplace_back(line);
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n' && (pos == end || text[pos - 1] == '\r')) ++pos;
  }
  return entries;
}

std::string EncodePlaylist(std::span<const std::string> paths, const std::string& charset) {
  std::string utf8 = "#EXTM3U\r\n";
  for (const std::string& p : paths) {
    utf8 += p;
    utf8 += "\r\n";
  }
  return text::FromUtf8(utf8, charset);
}

std::error_code WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
  const std::string target = WriteTarget(path);
  const std::size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return std::make_error_code(std::errc::is_a_directory);

  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) return std::make_error_code(std::errc::is_a_directory);

  // A fresh, hidden name beside the target; 0666 lets the umask decide.
  std::random_device rd;
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    temp = dir + "." + base + ".tmp" + std::to_string(rd());
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST) return LastError();
  }
  if (raw < 0) return LastError();
  Fd fd(raw);
  auto fail = [&](std::error_code ec) {
    ::unlink(temp.c_str());
    return ec;
  };

  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd.get(), p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(LastError());
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (exists && ::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(LastError());
  if (::fsync(fd.get()) != 0) return fail(LastError());
  if (!fd.Close()) return fail(LastError());
  if (::rename(temp.c_str(), target.c_str()) != 0) return fail(LastError());
  return {};
}

}  // namespace lumora::m3u
