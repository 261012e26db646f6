#pragma once
// Language detection of the effect filter's stream switching: names the
// audio streams of the file playing in a graph by asking the other filters
// in it.
//
// The graph's filters are looked at in order; the first filter of case 1 or
// case 2 ends the search, filters of case 3 do not:
//  1. A filter of class CLSID_StreamSelectSplitter: every stream its
//     IAMStreamSelect reports in group 1 gives an entry with the reported
//     language identifier; the name is the system's name of a non-zero
//     identifier (cut at " ("), else the reported stream name (its first
//     five characters removed when it contains "Ton: "), else "Unknown
//     Language".
//  2. A filter answering ITrackInfo: every audio track gives an entry named
//     after its ISO 639-2 language code (the system's name of the code's
//     identifier, else the table's English name, else "Unknown (code)"), with
//     " [track name]" appended when the track has a name. The last audio
//     track flagged default is the preferred stream.
//  3. A filter of class CLSID_AviSplitter answering IPersistMediaPropertyBag
//     (its properties saved into a new bag), or of CLSID_PropertyBagSplitter1
//     or CLSID_PropertyBagSplitter2 answering IPropertyBag: "INFO/ICAS" is
//     the preferred stream counting from 1, "INFO/IAS1" ... "INFO/IAS9" name
//     the streams until the first empty one. A name of at least three
//     characters starting with "0x" is a hexadecimal language identifier,
//     replaced by the system's name. With "INFO/ICAS" 0, the first stream
//     whose identifier's low byte equals the thread locale's is preferred.
//  4. When a case-3 filter was found but named no stream: the file of the
//     first filter answering IFileSourceFilter; a file of the same name with
//     the extension ".mss" is read as an INI file, section "MSS" ("Audio_def"
//     the preferred stream counting from 1, "Audio_1", "Audio_2" ... the
//     names until the first missing key, "0x" names as in case 3). Without
//     one, the first 50000 bytes of that filter's "Output" pin are read
//     through IAsyncReader, and every "strh" chunk of stream type "auds" with
//     a non-zero language (16 bits at offset 22 of the chunk) gives an entry
//     named after that language.
//
// Runs on the application's thread (inside a connection); it calls other
// filters' interfaces and reads files, and takes no lock of its own.

#include <string>
#include <vector>

#include "directshow/dshow.h"

inline constexpr CLSID CLSID_StreamSelectSplitter =
    MakeGuid("{F07E245F-5A1F-4D1E-8BFF-DC31D84A55AB}");
inline constexpr CLSID CLSID_AviSplitter = MakeGuid("{1B544C20-FD0B-11CE-8C63-00AA0044B51E}");
inline constexpr CLSID CLSID_PropertyBagSplitter1 =
    MakeGuid("{9736D831-9D6C-4E72-B6E7-560EF9181001}");
inline constexpr CLSID CLSID_PropertyBagSplitter2 =
    MakeGuid("{CEA8DEFF-0AF7-4DB9-9A38-FB3C3AEFC0DE}");

// One entry of the language list: a Windows language identifier (0 when
// unknown) and a display name of at most kMaxStreamNameLength units.
struct TDCStreamLanguage {
  DWORD id = 0;
  std::u16string name;

  friend bool operator==(const TDCStreamLanguage&, const TDCStreamLanguage&) = default;
};
inline constexpr std::size_t kMaxStreamNameLength = 1023;

struct TDCLanguageDetection {
  std::vector<TDCStreamLanguage> streams;
  LONG preferred = -1;  // stream index, or -1
};

TDCLanguageDetection DetectStreamLanguages(IFilterGraph* graph, DWORD threadLocale);

// The stream names of an ".mss" file's section "MSS" (see case 4); false
// when the file cannot be read.
bool ReadMssFile(const std::string& path, DWORD threadLocale, TDCLanguageDetection* result);
// The "auds" stream languages of the "strh" chunks in a block of file bytes.
std::vector<TDCStreamLanguage> ScanStreamHeaders(const BYTE* data, std::size_t size);
// The file name with its extension replaced by ".mss" (added when it has
// none).
std::string MssFileName(const std::string& fileName);
