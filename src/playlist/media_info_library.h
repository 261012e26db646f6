#pragma once
// The binding to the media information library (libmediainfo's C interface),
// loaded at run time: "MediaInfo.dll" in the Filters/ folder beside the
// program when that file is there and loads, otherwise the system's library.
// The library's wide strings are wchar_t (UTF-32 here); this binding converts
// them to and from UTF-8 at its edge.

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

// Stream kinds, kinds of information and of search as the library numbers them.
inline constexpr int kMediaInfoStreamGeneral = 0;
inline constexpr int kMediaInfoInfoText = 1;
inline constexpr int kMediaInfoSearchByName = 0;

// The entry points, one slot per bound name; a name the library lacks leaves
// its slot empty.
struct TMediaInfoEntryPoints {
  void* (*New)() = nullptr;
  void (*Delete)(void*) = nullptr;
  std::size_t (*Open)(void*, const wchar_t*) = nullptr;
  void (*Close)(void*) = nullptr;
  const wchar_t* (*Inform)(void*, std::size_t reserved) = nullptr;
  const wchar_t* (*GetI)(void*, int stream_kind, std::size_t stream_number, std::size_t parameter,
                         int info_kind) = nullptr;
  const wchar_t* (*Get)(void*, int stream_kind, std::size_t stream_number, const wchar_t* parameter,
                        int info_kind, int search_kind) = nullptr;
  const wchar_t* (*Option)(void*, const wchar_t* option, const wchar_t* value) = nullptr;
  std::size_t (*State_Get)(void*) = nullptr;
  std::size_t (*Count_Get)(void*, int stream_kind, std::size_t stream_number) = nullptr;
  // The narrow-character variants ("MediaInfoA_..."), bound but not used.
  void* (*A_New)() = nullptr;
  void (*A_Delete)(void*) = nullptr;
  std::size_t (*A_Open)(void*, const char*) = nullptr;
  void (*A_Close)(void*) = nullptr;
  const char* (*A_Inform)(void*, std::size_t reserved) = nullptr;
  const char* (*A_GetI)(void*, int, std::size_t, std::size_t, int) = nullptr;
  const char* (*A_Get)(void*, int, std::size_t, const char*, int, int) = nullptr;
  const char* (*A_Option)(void*, const char*, const char*) = nullptr;
  std::size_t (*A_State_Get)(void*) = nullptr;
  std::size_t (*A_Count_Get)(void*, int, std::size_t) = nullptr;
};

// One loaded library: loaded at most once, never unloaded. Safe to use from
// several threads.
class TMediaInfoLibrary {
 public:
  // system_name is what the dynamic loader is asked for when path is absent
  // or does not load.
  explicit TMediaInfoLibrary(std::string system_name = "libmediainfo.so.0");
  TMediaInfoLibrary(const TMediaInfoLibrary&) = delete;
  TMediaInfoLibrary& operator=(const TMediaInfoLibrary&) = delete;

  // Loads the library when it is not loaded yet (the file at path when it
  // exists and loads, through LoadModule, else the system library) and binds
  // every name again.
  // False when nothing could be loaded.
  bool Load(const std::string& path);
  // The bound entry points; none before a successful Load.
  std::optional<TMediaInfoEntryPoints> EntryPoints() const;

 private:
  const std::string system_name_;
  mutable std::mutex mu_;
  void* module_ = nullptr;
  TMediaInfoEntryPoints entry_;
};

// The process's library.
TMediaInfoLibrary& MediaInfoDll();
// Loads the process's library (see TMediaInfoLibrary::Load).
bool LoadMediaInfo(const std::string& path);
// The executable's folder + "Filters/MediaInfo.dll".
std::string DefaultMediaInfoPath();

// One library handle with at most one open file. Strings are UTF-8. Each call
// into the library runs under a UTF-8 locale for the calling thread alone
// (the library converts file names through it), and floating-point
// exceptions are masked again after it.
class TMediaInfo {
 public:
  // An unusable handle (Valid() false) when lib is not loaded or lacks the
  // names this class calls.
  explicit TMediaInfo(const TMediaInfoLibrary& lib);
  // Closes the file and deletes the handle.
  ~TMediaInfo();
  TMediaInfo(const TMediaInfo&) = delete;
  TMediaInfo& operator=(const TMediaInfo&) = delete;

  bool Valid() const { return handle_ != nullptr; }
  // True when the library opens the file (answers 1). Only regular files are
  // given to it: a named pipe or a device would block it or never end.
  bool Open(const std::string& path);
  void Close();
  // One field of the open file as text (empty when there is none).
  std::string Get(int stream_kind, std::size_t stream_number, const std::string& parameter,
                  int info_kind = kMediaInfoInfoText, int search_kind = kMediaInfoSearchByName);
  // The full text report of the open file, with the library's default options.
  std::string Inform();

 private:
  TMediaInfoEntryPoints entry_;
  void* handle_ = nullptr;
};
