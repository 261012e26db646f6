#include "playlist/media_info_library.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <locale.h>
#include <climits>

#include "platform/fpu_control.h"
#include "platform/modules/module_loader.h"
#include "platform/text/utf.h"

namespace {

template <typename Fn>
void Bind(void* module, const char* name, Fn*& slot) {
  // dlsym answers an object pointer; the library's entry points are functions.
  slot = reinterpret_cast<Fn*>(::dlsym(module, name));
}

void BindAll(void* module, TMediaInfoEntryPoints& e) {
  Bind(module, "MediaInfo_New", e.New);
  Bind(module, "MediaInfo_Delete", e.Delete);
  Bind(module, "MediaInfo_Open", e.Open);
  Bind(module, "MediaInfo_Close", e.Close);
  Bind(module, "MediaInfo_Inform", e.Inform);
  Bind(module, "MediaInfo_GetI", e.GetI);
  Bind(module, "MediaInfo_Get", e.Get);
  Bind(module, "MediaInfo_Option", e.Option);
  Bind(module, "MediaInfo_State_Get", e.State_Get);
  Bind(module, "MediaInfo_Count_Get", e.Count_Get);
  Bind(module, "MediaInfoA_New", e.A_New);
  Bind(module, "MediaInfoA_Delete", e.A_Delete);
  Bind(module, "MediaInfoA_Open", e.A_Open);
  Bind(module, "MediaInfoA_Close", e.A_Close);
  Bind(module, "MediaInfoA_Inform", e.A_Inform);
  Bind(module, "MediaInfoA_GetI", e.A_GetI);
  Bind(module, "MediaInfoA_Get", e.A_Get);
  Bind(module, "MediaInfoA_Option", e.A_Option);
  Bind(module, "MediaInfoA_State_Get", e.A_State_Get);
  Bind(module, "MediaInfoA_Count_Get", e.A_Count_Get);
}

// Brackets every call into the library. The library turns the wide file names
// it is given into bytes through the calling thread's locale, and in the C
// locale it cannot open a name beyond ASCII, so each call runs with a UTF-8
// locale for this thread only, leaving the process's locale alone. Like any
// outside code it may leave floating-point exceptions unmasked; they are
// masked again after the call.
class LibraryCall {
 public:
  LibraryCall() {
    static const locale_t utf8 =
        ::newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 != static_cast<locale_t>(nullptr)) old_ = ::uselocale(utf8);
  }
  ~LibraryCall() {
    if (old_ != static_cast<locale_t>(nullptr)) ::uselocale(old_);
    MaskFPUExceptions();
  }
  LibraryCall(const LibraryCall&) = delete;
  LibraryCall& operator=(const LibraryCall&) = delete;

 private:
  locale_t old_ = static_cast<locale_t>(nullptr);
};

std::string Narrow(const wchar_t* s) { return WideZToUtf8(s); }

}  // namespace

TMediaInfoLibrary::TMediaInfoLibrary(std::string system_name)
    : system_name_(std::move(system_name)) {}

bool TMediaInfoLibrary::Load(const std::string& path) {
  std::lock_guard lock(mu_);
  if (module_ == nullptr) {
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      module_ = LoadModule(path);  // a path, never searched for
    }
    if (module_ == nullptr && !system_name_.empty()) {
      // The system's library, by the name the dynamic loader knows it by.
      module_ = ::dlopen(system_name_.c_str(), RTLD_NOW | RTLD_LOCAL);
      MaskFPUExceptions();
    }
    if (module_ == nullptr) return false;
  }
  BindAll(module_, entry_);
  return true;
}

std::optional<TMediaInfoEntryPoints> TMediaInfoLibrary::EntryPoints() const {
  std::lock_guard lock(mu_);
  if (module_ == nullptr) return std::nullopt;
  return entry_;
}

TMediaInfoLibrary& MediaInfoDll() {
  static TMediaInfoLibrary library;
  return library;
}

bool LoadMediaInfo(const std::string& path) { return MediaInfoDll().Load(path); }

std::string DefaultMediaInfoPath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string exe = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
  const std::size_t slash = exe.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  return dir + "/Filters/MediaInfo.dll";
}

TMediaInfo::TMediaInfo(const TMediaInfoLibrary& lib) {
  std::optional<TMediaInfoEntryPoints> entry = lib.EntryPoints();
  if (!entry || entry->New == nullptr || entry->Open == nullptr || entry->Close == nullptr) return;
  entry_ = *entry;
  LibraryCall call;
  handle_ = entry_.New();
}

TMediaInfo::~TMediaInfo() {
  if (handle_ == nullptr) return;
  Close();
  LibraryCall call;
  if (entry_.Delete != nullptr) entry_.Delete(handle_);
}

bool TMediaInfo::Open(const std::string& path) {
  if (handle_ == nullptr) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const std::wstring wide = Utf8ToWide(path);
  LibraryCall call;
  return entry_.Open(handle_, wide.c_str()) == 1;
}

void TMediaInfo::Close() {
  if (handle_ == nullptr) return;
  LibraryCall call;
  entry_.Close(handle_);
}

std::string TMediaInfo::Get(int stream_kind, std::size_t stream_number,
                            const std::string& parameter, int info_kind, int search_kind) {
  if (handle_ == nullptr || entry_.Get == nullptr) return {};
  const std::wstring wide = Utf8ToWide(parameter);
  LibraryCall call;
  return Narrow(
      entry_.Get(handle_, stream_kind, stream_number, wide.c_str(), info_kind, search_kind));
}

std::string TMediaInfo::Inform() {
  if (handle_ == nullptr || entry_.Inform == nullptr) return {};
  LibraryCall call;
  return Narrow(entry_.Inform(handle_, 0));
}
