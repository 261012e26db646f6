#include "audio/dsp_languages.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

#include "audio/ini_file.h"
#include "audio/language_table.h"
#include "audio/source_interfaces.h"
#include "directshow/wide_string.h"

namespace {

constexpr std::size_t kHeaderScanBytes = 50000;
constexpr int kMaxBagStreams = 9;

std::u16string Cut(std::u16string name) {
  if (name.size() > kMaxStreamNameLength) name.resize(kMaxStreamNameLength);
  return name;
}

void AddStream(TDCLanguageDetection* result, DWORD id, std::u16string name) {
  result->streams.push_back(TDCStreamLanguage{id, Cut(std::move(name))});
}

CLSID ClassOf(IBaseFilter* filter) {
  CLSID clsid = GUID_NULL;
  filter->GetClassID(&clsid);
  return clsid;
}

std::vector<ComPtr<IBaseFilter>> FiltersOf(IFilterGraph* graph) {
  std::vector<ComPtr<IBaseFilter>> filters;
  ComPtr<IEnumFilters> e;
  if (graph == nullptr || FAILED(graph->EnumFilters(e.Put())) || !e) return filters;
  for (;;) {
    IBaseFilter* f = nullptr;
    ULONG fetched = 0;
    if (e->Next(1, &f, &fetched) != S_OK || fetched != 1) break;
    filters.push_back(ComPtr<IBaseFilter>::Adopt(f));
  }
  return filters;
}

// A "0x" name (at least three characters) is a hexadecimal language
// identifier: the identifier and the system's name of it (the text itself
// when it does not parse or names no known language).
TDCStreamLanguage NamedStream(const std::u16string& text) {
  if (text.size() >= 3 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    DWORD id = 0;
    bool ok = text.size() <= 10;
    for (std::size_t i = 2; ok && i < text.size(); ++i) {
      const char16_t c = text[i];
      int digit = -1;
      if (c >= u'0' && c <= u'9') digit = c - u'0';
      if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
      if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
      if (digit < 0) ok = false;
      id = id * 16 + static_cast<DWORD>(digit < 0 ? 0 : digit);
    }
    if (ok) {
      const std::string name = LanguageDisplayName(id);
      return TDCStreamLanguage{id, name.empty() ? text : ds::ToUtf16(name)};
    }
  }
  return TDCStreamLanguage{0, text};
}

// "preferred counting from 1": n >= 1 selects stream n - 1; 0 selects the
// first stream in the thread locale's language.
void ApplyPreferred(LONGLONG value, std::size_t first, DWORD threadLocale,
                    TDCLanguageDetection* result) {
  if (value >= 1 && value <= 0x7FFFFFFF) {
    result->preferred = static_cast<LONG>(first + static_cast<std::size_t>(value) - 1);
    return;
  }
  if (value != 0 || (threadLocale & 0xFF) == 0) return;
  for (std::size_t i = first; i < result->streams.size(); ++i) {
    const DWORD id = result->streams[i].id;
    if (id != 0 && (id & 0xFF) == (threadLocale & 0xFF)) {
      result->preferred = static_cast<LONG>(i);
      return;
    }
  }
}

// Case 1.
void FromStreamSelect(IBaseFilter* filter, TDCLanguageDetection* result) {
  auto select = ComPtr<IBaseFilter>(filter).As<IAMStreamSelect>();
  DWORD count = 0;
  if (!select || FAILED(select->Count(&count))) return;
  for (DWORD i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    DWORD flags = 0;
    LCID lcid = 0;
    DWORD group = 0;
    LPWSTR name = nullptr;
    IUnknown* object = nullptr;
    IUnknown* unk = nullptr;
    if (FAILED(
            select->Info(static_cast<LONG>(i), &mt, &flags, &lcid, &group, &name, &object, &unk)))
      continue;
    std::u16string text = name ? std::u16string(name) : std::u16string();
    DeleteMediaType(mt);
    CoTaskMemFree(name);
    if (object) object->Release();
    if (unk) unk->Release();
    if (group != 1) continue;
    std::u16string display;
    if (lcid != 0) display = ds::ToUtf16(LanguageDisplayName(lcid));
    if (display.empty()) {
      if (text.find(u"Ton: ") != std::u16string::npos) text.erase(0, 5);
      display = text.empty() ? u"Unknown Language" : text;
    }
    AddStream(result, lcid, std::move(display));
  }
}

// Case 2.
void FromTrackInfo(ITrackInfo* info, TDCLanguageDetection* result) {
  const UINT count = info->GetTrackCount();
  for (UINT i = 0; i < count; ++i) {
    TrackElement track{};
    track.Size = sizeof track;
    if (!FromBOOL(info->GetTrackInfo(i, &track)) || track.Type != kTrackTypeAudio) continue;
    std::string code;
    for (char c : track.Language) {
      if (c == '\0') break;
      code.push_back(c);
    }
    std::u16string display;
    DWORD id = 0;
    if (const TIso639Entry* entry = FindIso639(code)) {
      id = entry->id;
      display = ds::ToUtf16(id != 0 ? LanguageDisplayName(id) : std::string(entry->name));
    } else {
      std::u16string wide;
      for (unsigned char c : code) wide.push_back(c);  // Latin-1
      display = u"Unknown (" + wide + u")";
    }
    if (BSTR name = info->GetTrackName(i)) {
      const std::u16string trackName(name, SysStringLen(name));
      SysFreeString(name);
      if (!trackName.empty()) display += u" [" + trackName + u"]";
    }
    if (track.FlagDefault != 0) result->preferred = static_cast<LONG>(result->streams.size());
    AddStream(result, id, std::move(display));
  }
}

std::optional<VARIANT> ReadBag(IPropertyBag* bag, const char16_t* name) {
  VARIANT v;
  VariantInit(&v);
  if (FAILED(bag->Read(name, &v, nullptr))) {
    VariantClear(&v);
    return std::nullopt;
  }
  return v;
}

// Case 3; returns the number of streams named.
std::size_t FromPropertyBag(IPropertyBag* bag, DWORD threadLocale, TDCLanguageDetection* result) {
  const std::size_t first = result->streams.size();
  for (int n = 1; n <= kMaxBagStreams; ++n) {
    const std::u16string key = u"INFO/IAS" + std::u16string(1, static_cast<char16_t>(u'0' + n));
    auto v = ReadBag(bag, key.c_str());
    if (!v) break;
    const std::u16string text = VariantText(*v);
    VariantClear(&*v);
    if (text.empty()) break;
    TDCStreamLanguage s = NamedStream(text);
    AddStream(result, s.id, std::move(s.name));
  }
  if (auto v = ReadBag(bag, u"INFO/ICAS")) {
    LONGLONG value = 0;
    if (VariantNumber(*v, &value)) ApplyPreferred(value, first, threadLocale, result);
    VariantClear(&*v);
  }
  return result->streams.size() - first;
}

// Case 4, without an ".mss" file.
void FromStreamHeaders(IBaseFilter* source, TDCLanguageDetection* result) {
  ComPtr<IPin> pin;
  if (FAILED(source->FindPin(u"Output", pin.Put())) || !pin) return;
  auto reader = pin.As<IAsyncReader>();
  if (!reader) return;
  LONGLONG total = 0;
  LONGLONG available = 0;
  LONGLONG size = static_cast<LONGLONG>(kHeaderScanBytes);
  if (SUCCEEDED(reader->Length(&total, &available)) && total >= 0) size = std::min(size, total);
  if (size <= 0) return;
  std::vector<BYTE> data(static_cast<std::size_t>(size), 0);
  if (FAILED(reader->SyncRead(0, static_cast<LONG>(size), data.data()))) return;
  for (auto& s : ScanStreamHeaders(data.data(), data.size())) {
    AddStream(result, s.id, std::move(s.name));
  }
}

}  // namespace

std::string MssFileName(const std::string& fileName) {
  const auto slash = fileName.find_last_of("/\\");
  const auto dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return fileName + ".mss";
  return fileName.substr(0, dot) + ".mss";
}

bool ReadMssFile(const std::string& path, DWORD threadLocale, TDCLanguageDetection* result) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const auto ini = TIniFile::Load(path);
  if (!ini) return false;
  const std::size_t first = result->streams.size();
  for (int n = 1;; ++n) {
    const auto value = ini->Value("MSS", "Audio_" + std::to_string(n));
    if (!value) break;
    TDCStreamLanguage s = NamedStream(ds::ToUtf16(*value));
    AddStream(result, s.id, std::move(s.name));
  }
  if (const auto def = ini->Value("MSS", "Audio_def")) {
    VARIANT v;
    VariantInit(&v);
    const std::u16string text = ds::ToUtf16(*def);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text.c_str());
    LONGLONG value = 0;
    if (VariantNumber(v, &value)) ApplyPreferred(value, first, threadLocale, result);
    VariantClear(&v);
  }
  return true;
}

std::vector<TDCStreamLanguage> ScanStreamHeaders(const BYTE* data, std::size_t size) {
  std::vector<TDCStreamLanguage> streams;
  // 'strh', chunk size, fccType (offset 8) ... wLanguage (offset 22).
  constexpr std::size_t kHeaderBytes = 24;
  if (data == nullptr || size < kHeaderBytes) return streams;
  for (std::size_t p = 0; p + kHeaderBytes <= size; ++p) {
    if (std::memcmp(data + p, "strh", 4) != 0 || std::memcmp(data + p + 8, "auds", 4) != 0)
      continue;
    const DWORD language = data[p + 22] | (static_cast<DWORD>(data[p + 23]) << 8);
    if (language == 0) continue;
    const std::string name = LanguageDisplayName(language);
    streams.push_back(
        TDCStreamLanguage{language, name.empty() ? u"Unknown Language" : ds::ToUtf16(name)});
  }
  return streams;
}

TDCLanguageDetection DetectStreamLanguages(IFilterGraph* graph, DWORD threadLocale) {
  TDCLanguageDetection result;
  bool bagFilterFound = false;
  std::size_t bagNames = 0;
  for (const auto& filter : FiltersOf(graph)) {
    const CLSID clsid = ClassOf(filter.get());
    if (clsid == CLSID_StreamSelectSplitter) {
      FromStreamSelect(filter.get(), &result);
      break;
    }
    if (auto info = filter.As<ITrackInfo>()) {
      FromTrackInfo(info.get(), &result);
      break;
    }
    if (clsid == CLSID_AviSplitter) {
      if (auto persist = filter.As<IPersistMediaPropertyBag>()) {
        bagFilterFound = true;
        auto bag = MakeCom<TDCMediaPropertyBag>();
        if (SUCCEEDED(persist->Save(bag.get(), BOOL_FALSE, BOOL_TRUE)))
          bagNames += FromPropertyBag(bag.get(), threadLocale, &result);
      }
    } else if (clsid == CLSID_PropertyBagSplitter1 || clsid == CLSID_PropertyBagSplitter2) {
      if (auto bag = filter.As<IPropertyBag>()) {
        bagFilterFound = true;
        bagNames += FromPropertyBag(bag.get(), threadLocale, &result);
      }
    }
  }
  if (!bagFilterFound || bagNames != 0) return result;

  for (const auto& filter : FiltersOf(graph)) {
    auto source = filter.As<IFileSourceFilter>();
    if (!source) continue;
    LPOLESTR file = nullptr;
    AM_MEDIA_TYPE mt{};
    const HRESULT hr = source->GetCurFile(&file, &mt);
    FreeMediaType(mt);
    const std::string name = file ? ds::ToUtf8(file) : std::string();
    CoTaskMemFree(file);
    if (FAILED(hr) || name.empty()) break;
    if (!ReadMssFile(MssFileName(name), threadLocale, &result))
      FromStreamHeaders(filter.get(), &result);
    break;
  }
  return result;
}
