#pragma once
// Temporary folders and files for the playlist tests.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace playlist_test {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes (links are removed, not followed).
class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "lumora-pl-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = templ;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's path with a trailing "/".
  std::string Path() const { return path_.string() + "/"; }
  // Creates rel (and the folders above it) holding content; returns its path.
  std::string File(const std::string& rel, std::string_view content = "") const {
    const std::filesystem::path p = path_ / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  std::string Folder(const std::string& rel) const {
    const std::filesystem::path p = path_ / rel;
    std::filesystem::create_directories(p);
    return p.string();
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadAll(const std::string& path) {
  std::string out;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

}  // namespace playlist_test
