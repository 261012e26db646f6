// Language detection of stream switching, with small fake filters standing
// for the splitters and file sources it asks; the language tables; the INI
// reader.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "audio/dsp_languages.h"
#include "audio/ini_file.h"
#include "audio/language_table.h"
#include "audio/source_interfaces.h"
#include "directshow/wide_string.h"
#include "dsp_graph_fixture.h"

namespace {

using namespace dsptest;
using Streams = std::vector<TDCStreamLanguage>;

class TBareFilter : public TBCBaseFilter {
 public:
  explicit TBareFilter(const CLSID& clsid) : TBCBaseFilter("fake", clsid) {}
};

// Case 1: a splitter of the stream-select class.
struct SelectStream {
  LCID lcid;
  const char16_t* name;  // null: none
  DWORD group;
};

class TFakeStreamSelect : public ComExtend<TBareFilter, IAMStreamSelect> {
 public:
  explicit TFakeStreamSelect(std::vector<SelectStream> streams)
      : ComExtend(CLSID_StreamSelectSplitter), fStreams(std::move(streams)) {}
  HRESULT Count(DWORD* n) override {
    *n = static_cast<DWORD>(fStreams.size());
    return S_OK;
  }
  HRESULT Info(LONG i, AM_MEDIA_TYPE** mt, DWORD* flags, LCID* lcid, DWORD* group, LPWSTR* name,
               IUnknown** object, IUnknown** unk) override {
    const SelectStream& s = fStreams[static_cast<std::size_t>(i)];
    const TBCMediaType type = PcmType(44100, 2, 16);
    if (mt) *mt = CreateMediaType(&type);
    if (flags) *flags = 0;
    if (lcid) *lcid = s.lcid;
    if (group) *group = s.group;
    if (name) *name = s.name ? ds::CoTaskStrDup(s.name) : nullptr;
    if (object) *object = nullptr;
    if (unk) *unk = nullptr;
    return S_OK;
  }
  HRESULT Enable(LONG, DWORD) override { return E_NOTIMPL; }

 private:
  std::vector<SelectStream> fStreams;
};

// Case 2: a splitter with track records.
struct Track {
  BYTE type;
  BYTE isDefault;
  const char* language;
  const char16_t* name;
};

class TFakeTrackInfo : public ComExtend<TBareFilter, ITrackInfo> {
 public:
  explicit TFakeTrackInfo(std::vector<Track> tracks)
      : ComExtend(MakeGuid("{7A2E1D40-0010-4C6B-8E5F-1A2B3C4D5E6F}")), fTracks(std::move(tracks)) {}
  UINT GetTrackCount() override { return static_cast<UINT>(fTracks.size()); }
  BOOL GetTrackInfo(UINT i, TrackElement* e) override {
    if (i >= fTracks.size() || e->Size != sizeof(TrackElement)) return BOOL_FALSE;
    e->Type = fTracks[i].type;
    e->FlagDefault = fTracks[i].isDefault;
    std::memcpy(e->Language, fTracks[i].language,
                std::min(std::strlen(fTracks[i].language), sizeof e->Language));
    return BOOL_TRUE;
  }
  BOOL GetTrackExtendedInfo(UINT, void*) override { return BOOL_FALSE; }
  BSTR GetTrackCodecID(UINT) override { return nullptr; }
  BSTR GetTrackName(UINT i) override {
    return fTracks[i].name ? SysAllocString(fTracks[i].name) : nullptr;
  }
  BSTR GetTrackCodecName(UINT) override { return nullptr; }
  BSTR GetTrackCodecInfoURL(UINT) override { return nullptr; }
  BSTR GetTrackCodecDownloadURL(UINT) override { return nullptr; }

 private:
  std::vector<Track> fTracks;
};

using Properties = std::map<std::u16string, std::u16string>;

void WriteAll(IPropertyBag* bag, const Properties& properties) {
  for (const auto& [name, value] : properties) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(value.c_str());
    bag->Write(name.c_str(), &v);
    VariantClear(&v);
  }
}

// Case 3: a splitter answering IPropertyBag.
class TFakeBagFilter : public ComExtend<TBareFilter, IPropertyBag> {
 public:
  TFakeBagFilter(const CLSID& clsid, const Properties& properties) : ComExtend(clsid) {
    WriteAll(fBag.get(), properties);
  }
  HRESULT Read(LPCOLESTR name, VARIANT* v, IErrorLog* log) override {
    return fBag->Read(name, v, log);
  }
  HRESULT Write(LPCOLESTR name, VARIANT* v) override { return fBag->Write(name, v); }

 private:
  ComPtr<TDCMediaPropertyBag> fBag = MakeCom<TDCMediaPropertyBag>();
};

// Case 3: the AVI splitter, which saves its properties into a bag.
class TFakeAviSplitter : public ComExtend<TBareFilter, IPersistMediaPropertyBag> {
 public:
  explicit TFakeAviSplitter(Properties properties)
      : ComExtend(CLSID_AviSplitter), fProperties(std::move(properties)) {}
  HRESULT GetClassID(CLSID* clsid) override { return TBareFilter::GetClassID(clsid); }
  HRESULT InitNew() override { return S_OK; }
  HRESULT Load(IMediaPropertyBag*, IErrorLog*) override { return E_NOTIMPL; }
  HRESULT Save(IMediaPropertyBag* bag, BOOL, BOOL) override {
    WriteAll(bag, fProperties);
    return S_OK;
  }

 private:
  Properties fProperties;
};

// Case 4: a file source with an "Output" pin that reads its bytes.
class TFakeReaderPin : public ComExtend<TBCBaseOutputPin, IAsyncReader> {
 public:
  TFakeReaderPin(TBCBaseFilter* filter, std::vector<BYTE> bytes)
      : ComExtend("reader", filter, &filter->FilterLock(), "Output"), fBytes(std::move(bytes)) {}
  HRESULT CheckMediaType(const TBCMediaType*) override { return S_OK; }
  HRESULT DecideBufferSize(IMemAllocator*, ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
  HRESULT RequestAllocator(IMemAllocator*, ALLOCATOR_PROPERTIES*, IMemAllocator**) override {
    return E_NOTIMPL;
  }
  HRESULT Request(IMediaSample*, DWORD_PTR) override { return E_NOTIMPL; }
  HRESULT WaitForNext(DWORD, IMediaSample**, DWORD_PTR*) override { return E_NOTIMPL; }
  HRESULT SyncReadAligned(IMediaSample*) override { return E_NOTIMPL; }
  HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override {
    ++reads;
    lastLength = length;
    const auto n = std::min<LONGLONG>(length, static_cast<LONGLONG>(fBytes.size()) - position);
    if (n > 0) std::memcpy(buffer, fBytes.data() + position, static_cast<std::size_t>(n));
    return n == length ? S_OK : S_FALSE;
  }
  HRESULT Length(LONGLONG* total, LONGLONG* available) override {
    *total = *available = static_cast<LONGLONG>(fBytes.size());
    return S_OK;
  }
  HRESULT BeginFlush() override { return S_OK; }
  HRESULT EndFlush() override { return S_OK; }

  int reads = 0;
  LONG lastLength = 0;

 private:
  std::vector<BYTE> fBytes;
};

class TFakeFileSource : public ComExtend<TBareFilter, IFileSourceFilter> {
 public:
  TFakeFileSource(std::string file, std::vector<BYTE> bytes)
      : ComExtend(MakeGuid("{7A2E1D40-0011-4C6B-8E5F-1A2B3C4D5E6F}")), fFile(std::move(file)) {
    fPin = std::make_unique<TFakeReaderPin>(this, std::move(bytes));
  }
  ~TFakeFileSource() override { fPin.reset(); }
  HRESULT Load(LPCOLESTR, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE*) override {
    *name = ds::CoTaskStrDup(ds::ToUtf16(fFile));
    return S_OK;
  }
  TFakeReaderPin* ReaderPin() { return fPin.get(); }

 private:
  std::string fFile;
  std::unique_ptr<TFakeReaderPin> fPin;
};

// An AVI-like header: junk, then "strh" chunks of the given types and
// languages.
std::vector<BYTE> AviHeader(const std::vector<std::pair<const char*, WORD>>& streams) {
  static constexpr char kStart[] = "RIFF\0\0\0\0AVI LIST\0\0\0\0hdrlavih";
  std::vector<BYTE> bytes(kStart, kStart + 28);
  bytes.resize(bytes.size() + 56, 0x11);
  for (const auto& [type, language] : streams) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 64, 0);
    std::memcpy(&bytes[at], "strh", 4);
    bytes[at + 4] = 56;
    std::memcpy(&bytes[at + 8], type, 4);
    std::memcpy(&bytes[at + 12], "xvid", 4);
    bytes[at + 22] = static_cast<BYTE>(language & 0xFF);
    bytes[at + 23] = static_cast<BYTE>(language >> 8);
  }
  return bytes;
}

// A fresh folder for files, removed at the end.
class TempDir {
 public:
  TempDir() {
    static int n = 0;
    fPath = std::filesystem::temp_directory_path() /
            ("lumora-dsp-lang-" + std::to_string(getpid()) + "-" + std::to_string(n++));
    std::filesystem::create_directories(fPath);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(fPath, ec);
  }
  std::string File(const std::string& name, const std::string& content = {}) const {
    const auto p = fPath / name;
    if (!content.empty()) std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

 private:
  std::filesystem::path fPath;
};

class DSPLanguages : public ::testing::Test {
 protected:
  void Add(IBaseFilter* filter) {
    static int n = 0;
    const std::u16string name = u"f" + ds::ToUtf16(std::to_string(n++));
    ASSERT_TRUE(SUCCEEDED(graph->AddFilter(filter, name.c_str())));
  }
  TDCLanguageDetection Detect(DWORD locale = 0) {
    return DetectStreamLanguages(graph.get(), locale);
  }

  ComPtr<IFilterGraph2> graph = CreateFilterGraph();
};

TEST_F(DSPLanguages, StreamSelectSplitterNamesItsAudioGroup) {
  Add(MakeCom<TFakeStreamSelect>(std::vector<SelectStream>{
                                     {0x0407, u"Deutsch 5.1", 1},
                                     {0, u"Ton: Deutsch", 1},
                                     {0, nullptr, 1},
                                     {0x0409, u"English subtitles", 2},
                                     {0, u"Commentary", 1},
                                 })
          .get());
  // The search ends with the first splitter of case 1 or 2.
  Add(MakeCom<TFakeTrackInfo>(std::vector<Track>{{kTrackTypeAudio, 1, "eng", nullptr}}).get());
  const auto r = Detect();
  EXPECT_EQ(
      r.streams,
      (Streams{
          {0x0407, u"German"}, {0, u"Deutsch"}, {0, u"Unknown Language"}, {0, u"Commentary"}}));
  EXPECT_EQ(r.preferred, -1);
}

TEST_F(DSPLanguages, TrackInfoNamesAudioTracksByTheirCodes) {
  Add(MakeCom<TFakeTrackInfo>(std::vector<Track>{
                                  {1, 1, "und", nullptr},  // video, flagged default
                                  {kTrackTypeAudio, 0, "ger", u"Kommentar"},
                                  {kTrackTypeAudio, 1, "eng", u""},
                                  {kTrackTypeAudio, 0, "xyz", nullptr},
                                  {kTrackTypeAudio, 0, "ina", nullptr},
                                  {3, 0, "fre", nullptr},  // subtitles
                                  {kTrackTypeAudio, 1, "FRE", nullptr},
                              })
          .get());
  const auto r = Detect();
  EXPECT_EQ(r.streams, (Streams{{0x07, u"German [Kommentar]"},
                                {0x09, u"English"},
                                {0, u"Unknown (xyz)"},
                                {0, u"Interlingua (International Auxiliary Language Association)"},
                                {0x0C, u"French"}}));
  EXPECT_EQ(r.preferred, 4);  // the last audio track flagged default
}

struct BagCase {
  const char* name;
  Properties properties;
  DWORD locale;
  Streams streams;
  LONG preferred;
};

TEST_F(DSPLanguages, PropertyBagSplittersNameStreamsInOrder) {
  const BagCase cases[] = {
      {"names and preference",
       {{u"INFO/IAS1", u"English"},
        {u"INFO/IAS2", u"0x0407"},
        {u"INFO/IAS3", u""},
        {u"INFO/IAS4", u"after the gap"},
        {u"INFO/ICAS", u"2"}},
       0,
       {{0, u"English"}, {0x0407, u"German"}},
       1},
      {"preference by locale",
       {{u"INFO/IAS1", u"0x0409"}, {u"INFO/IAS2", u"0x0C07"}, {u"INFO/ICAS", u"0"}},
       0x0407,
       {{0x0409, u"English"}, {0x0C07, u"German"}},
       1},
      {"no stream of the locale",
       {{u"INFO/IAS1", u"0x0409"}, {u"INFO/ICAS", u"0"}},
       0x0419,
       {{0x0409, u"English"}},
       -1},
      {"not a number",
       {{u"INFO/IAS1", u"0xZZ"}, {u"INFO/IAS2", u"0x"}},
       0,
       {{0, u"0xZZ"}, {0, u"0x"}},
       -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    graph = CreateFilterGraph();
    Add(MakeCom<TFakeBagFilter>(CLSID_PropertyBagSplitter1, c.properties).get());
    // A bag of any other class is not asked.
    Add(MakeCom<TFakeBagFilter>(MakeGuid("{7A2E1D40-0012-4C6B-8E5F-1A2B3C4D5E6F}"),
                                Properties{{u"INFO/IAS1", u"Other"}})
            .get());
    const auto r = Detect(c.locale);
    EXPECT_EQ(r.streams, c.streams);
    EXPECT_EQ(r.preferred, c.preferred);
  }
}

TEST_F(DSPLanguages, AviSplitterSavesItsPropertiesIntoABag) {
  Add(MakeCom<TFakeAviSplitter>(Properties{{u"INFO/IAS1", u"Русский"}, {u"INFO/ICAS", u"1"}})
          .get());
  Add(MakeCom<TFakeBagFilter>(CLSID_PropertyBagSplitter2, Properties{{u"INFO/IAS1", u"0x0410"}})
          .get());
  const auto r = Detect();
  // Case 3 does not end the search: both filters name streams.
  EXPECT_EQ(r.streams, (Streams{{0, u"Русский"}, {0x0410, u"Italian"}}));
  EXPECT_EQ(r.preferred, 0);
}

TEST_F(DSPLanguages, MssFileNamesTheStreamsOfANamelessAviFile) {
  TempDir dir;
  const std::string movie = dir.File("movie.avi");
  dir.File(
      "movie.mss",
      "; stream names\n[Other]\nAudio_1=wrong\n[mss]\r\n Audio_def = 2 \r\nAudio_1=\"Original\""
      "\r\naudio_2=0x0419\r\nAudio_4=after the gap\r\n");
  Add(MakeCom<TFakeAviSplitter>(Properties{}).get());
  auto file = MakeCom<TFakeFileSource>(movie, AviHeader({{"auds", 0x0407}}));
  Add(file.get());
  const auto r = Detect();
  EXPECT_EQ(r.streams, (Streams{{0, u"Original"}, {0x0419, u"Russian"}}));
  EXPECT_EQ(r.preferred, 1);
  EXPECT_EQ(file->ReaderPin()->reads, 0);  // the file named the streams
}

TEST_F(DSPLanguages, StreamHeadersNameTheStreamsWithoutAnMssFile) {
  TempDir dir;
  Add(MakeCom<TFakeAviSplitter>(Properties{{u"INFO/IAS1", u""}}).get());
  auto file = MakeCom<TFakeFileSource>(
      dir.File("clip.avi"),
      AviHeader({{"vids", 0x0409}, {"auds", 0x0407}, {"auds", 0}, {"auds", 0x0409}}));
  Add(file.get());
  const auto r = Detect();
  EXPECT_EQ(r.streams, (Streams{{0x0407, u"German"}, {0x0409, u"English"}}));
  EXPECT_EQ(r.preferred, -1);
  EXPECT_EQ(file->ReaderPin()->reads, 1);
}

TEST_F(DSPLanguages, StreamHeaderScanReadsAtMost50000Bytes) {
  auto bytes = AviHeader({});
  bytes.resize(60000, 0);
  const auto late = AviHeader({{"auds", 0x040C}});
  std::copy(late.begin(), late.end(), bytes.begin() + 55000);
  TempDir dir;
  Add(MakeCom<TFakeAviSplitter>(Properties{}).get());
  auto file = MakeCom<TFakeFileSource>(dir.File("long.avi"), bytes);
  Add(file.get());
  EXPECT_TRUE(Detect().streams.empty());
  EXPECT_EQ(file->ReaderPin()->lastLength, 50000);
}

TEST_F(DSPLanguages, FileSourcesAreAskedOnlyAfterANamelessBagSplitter) {
  TempDir dir;
  dir.File("x.mss", "[MSS]\nAudio_1=from the file\n");
  Add(MakeCom<TFakeFileSource>(dir.File("x.avi"), AviHeader({})).get());
  EXPECT_TRUE(Detect().streams.empty());
}

TEST(DSPLanguageFiles, MssFileNames) {
  EXPECT_EQ(MssFileName("/media/a/film.avi"), "/media/a/film.mss");
  EXPECT_EQ(MssFileName("/media/a.b/film"), "/media/a.b/film.mss");
  EXPECT_EQ(MssFileName("film.x.avi"), "film.x.mss");
  EXPECT_EQ(MssFileName("C:\\films\\a.avi"), "C:\\films\\a.mss");
}

TEST(DSPLanguageFiles, IniFileParsing) {
  const auto ini = TIniFile::Parse(
      "\xEF\xBB\xBF"
      "top=1\n[ One ]\nKey = value one \n;comment=x\n#other=y\nnoequals\nkey=second\n"
      "quoted='single'\nempty=\n[two]\nKEY=2");
  EXPECT_EQ(ini.Value("", "top"), "1");
  EXPECT_EQ(ini.Value("one", "KEY"), "value one");
  EXPECT_EQ(ini.Value("ONE", "quoted"), "single");
  EXPECT_EQ(ini.Value("one", "empty"), "");
  EXPECT_EQ(ini.Value("one", "comment"), std::nullopt);
  EXPECT_EQ(ini.Value("one", "#other"), std::nullopt);
  EXPECT_EQ(ini.Value("two", "key"), "2");
  EXPECT_EQ(ini.Value("three", "key"), std::nullopt);
  EXPECT_FALSE(TIniFile::Load("/nonexistent/lumora.mss").has_value());
}

TEST(DSPLanguageTables, Iso639TableFromTheIsoCodesList) {
  const auto table = Iso639Table();
  EXPECT_GT(table.size(), 450u);
  int withId = 0;
  for (std::size_t i = 0; i < table.size(); ++i) {
    ASSERT_EQ(std::strlen(table[i].code), 3u);
    if (i > 0) {
      ASSERT_LT(std::strcmp(table[i - 1].code, table[i].code), 0);
    }
    if (table[i].id != 0) ++withId;
  }
  EXPECT_GE(withId, 100);
  struct {
    const char* code;
    DWORD id;
    const char* name;
  } const cases[] = {
      {"eng", 0x09, "English"},
      {"ger", 0x07, "German"},
      {"FRE", 0x0C, "French"},
      {"rus", 0x19, "Russian"},
      {"Chi", 0x04, "Chinese"},
      {"ina", 0, nullptr},
      {"tlh", 0, "Klingon; tlhIngan-Hol"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    const TIso639Entry* e = FindIso639(c.code);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->id, c.id);
    if (c.name) {
      EXPECT_STREQ(e->name, c.name);
    }
  }
  // Terminology codes are not the table's: German is "ger", not "deu".
  EXPECT_EQ(FindIso639("deu"), nullptr);
  EXPECT_EQ(FindIso639("xyz"), nullptr);
  EXPECT_EQ(FindIso639(""), nullptr);
  EXPECT_EQ(FindIso639("engl"), nullptr);
}

TEST(DSPLanguageTables, SystemLanguageNames) {
  EXPECT_EQ(SystemLanguageName(0x0409), "English (United States)");
  EXPECT_EQ(LanguageDisplayName(0x0409), "English");
  EXPECT_EQ(SystemLanguageName(0x09), "English");
  EXPECT_EQ(SystemLanguageName(0x1C09), "English");  // region unknown: the language
  EXPECT_EQ(LanguageDisplayName(0x0C1A), "Serbian");
  EXPECT_EQ(SystemLanguageName(0x0414), "Norwegian, Bokm\xC3\xA5l (Norway)");
  EXPECT_EQ(SystemLanguageName(0), "");
  EXPECT_EQ(SystemLanguageName(0x3FF), "");
  EXPECT_EQ(CutAtParenthesis("Spanish (Spain, Traditional Sort)"), "Spanish");
  EXPECT_EQ(CutAtParenthesis("Occitan(post 1500)"), "Occitan(post 1500)");
  EXPECT_EQ(LanguageIdFromLocaleName("de_DE.UTF-8"), 0x07u);
  EXPECT_EQ(LanguageIdFromLocaleName("ru"), 0x19u);
  EXPECT_EQ(LanguageIdFromLocaleName("C"), 0u);
  EXPECT_EQ(LanguageIdFromLocaleName("POSIX"), 0u);
}

// The whole path through the filter: the languages detected when the output
// connects name the pins and the selection, and the preferred stream is
// enabled when its pin connects.
class DSPLanguagesInFilter : public DspGraphTest {};

TEST_F(DSPLanguagesInFilter, DetectedLanguagesNameThePinsAndPreferTheDefaultTrack) {
  std::vector<TBCMediaType> types;
  types.push_back(PcmType(44100, 2, 16));
  types.push_back(PcmType(44100, 2, 16));
  Create(std::move(types));
  auto tracks = MakeCom<TFakeTrackInfo>(std::vector<Track>{
      {kTrackTypeAudio, 0, "eng", nullptr}, {kTrackTypeAudio, 1, "ger", u"Kommentar"}});
  ASSERT_EQ(graph->AddFilter(tracks.get(), u"splitter"), S_OK);
  dspControl->set_EnableStreamSwitching(BOOL_TRUE);
  ConnectMain();
  EXPECT_EQ(dsp->StreamLanguages(), (Streams{{0x09, u"English"}, {0x07, u"German [Kommentar]"}}));
  EXPECT_EQ(dsp->PreferredStream(), 1);

  ASSERT_EQ(graph->Connect(Pin(source.get(), u"Out1").get(), dsp->GetPin(2)), S_OK);
  EXPECT_EQ(dsp->ActivePin(), dsp->InputPinAt(1));
  EXPECT_EQ(dsp->PreferredStream(), -1);

  PIN_INFO info{};
  dsp->GetPin(2)->QueryPinInfo(&info);
  info.pFilter->Release();
  EXPECT_EQ(std::u16string(info.achName), u"German [Kommentar]");
  auto select = dsp.As<IAMStreamSelect>();
  LCID lcid = 0;
  LPWSTR name = nullptr;
  DWORD flags = 0;
  ASSERT_EQ(select->Info(0, nullptr, &flags, &lcid, nullptr, &name, nullptr, nullptr), S_OK);
  EXPECT_EQ(lcid, 0x09u);
  EXPECT_EQ(std::u16string(name), u"English");
  EXPECT_EQ(flags, 0u);
  CoTaskMemFree(name);
}

TEST_F(DSPLanguagesInFilter, LongNamesAreCutForPinsButKeptForTheSelection) {
  std::vector<TBCMediaType> types;
  types.push_back(PcmType(44100, 2, 16));
  Create(std::move(types));
  const std::u16string longName(300, u'x');
  auto tracks =
      MakeCom<TFakeTrackInfo>(std::vector<Track>{{kTrackTypeAudio, 0, "eng", longName.c_str()}});
  ASSERT_EQ(graph->AddFilter(tracks.get(), u"splitter"), S_OK);
  dspControl->set_EnableStreamSwitching(BOOL_TRUE);
  ConnectMain();
  PIN_INFO info{};
  dsp->GetPin(0)->QueryPinInfo(&info);
  info.pFilter->Release();
  EXPECT_EQ(std::u16string(info.achName).size(), 127u);
  LPWSTR name = nullptr;
  dsp.As<IAMStreamSelect>()->Info(0, nullptr, nullptr, nullptr, nullptr, &name, nullptr, nullptr);
  EXPECT_EQ(std::u16string(name), u"English [" + longName + u"]");
  CoTaskMemFree(name);
}

}  // namespace
