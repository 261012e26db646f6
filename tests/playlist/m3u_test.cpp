#include "playlist/m3u_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <random>
#include <string>
#include <vector>

#include "playlist/text_encoding.h"
#include "test_support.h"

using namespace lumora;
using playlist_test::ReadAll;
using playlist_test::TempDir;

namespace {

// "Музыка" in CP1251, and "é" in CP1252.
const std::string kMuzykaCp1251 = "\xCC\xF3\xE7\xFB\xEA\xE0";
const std::string kMuzyka = "Музыка";

}  // namespace

TEST(M3uDecode, ByteOrderMarksAndFallbacks) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* legacy;
    std::string text;
  };
  const Case cases[] = {
      {"UTF-8 BOM", "\xEF\xBB\xBF" + kMuzyka + "\r\n", "CP1251", kMuzyka + "\r\n"},
      {"UTF-8 BOM, broken byte",
       "\xEF\xBB\xBF"
       "a\xFF",
       "CP1251", "a\xEF\xBF\xBD"},
      {"UTF-16 LE",
       std::string("\xFF\xFE"
                   "a\0\x1C\x04\r\0\n\0",
                   10),
       "CP1251", "aМ\r\n"},
      {"UTF-16 BE", std::string("\xFE\xFF\0a\x04\x1C\0\n", 8), "CP1251", "aМ\n"},
      {"UTF-16 LE pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "CP1251", "\xF0\x9F\x98\x80"},
      {"UTF-16 lone surrogate",
       std::string("\xFF\xFE\x00\xD8"
                   "a\0",
                   6),
       "CP1251",
       "\xEF\xBF\xBD"
       "a"},
      {"UTF-16 odd byte",
       std::string("\xFF\xFE"
                   "a\0b",
                   5),
       "CP1251", "a"},
      {"no BOM, UTF-8", kMuzyka, "CP1251", kMuzyka},
      {"no BOM, CP1251", kMuzykaCp1251 + ".mp3", "CP1251", kMuzyka + ".mp3"},
      {"no BOM, CP1252", "caf\xE9", "CP1252", "café"},
      {"no BOM, KOI8-R", "\xED\xD5\xDA\xD9\xCB\xC1", "KOI8-R", kMuzyka},
      {"no BOM, unknown charset", "caf\xE9", "NO-SUCH-CHARSET", "café"},
      {"byte CP1251 lacks",
       "a\x98"
       "b",
       "CP1251",
       "a\xEF\xBF\xBD"
       "b"},
  };
  for (const Case& c : cases) {
    const std::string text = m3u::DecodePlaylistText(c.bytes, c.legacy);
    EXPECT_EQ(text, c.text) << c.what;
    EXPECT_TRUE(text::IsValidUtf8(text)) << c.what;
  }
}

TEST(M3uEntries, LinesAreSplitAndSkipped) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"the example list",
       "#EXTM3U\r\n#EXTINF:123,Title\r\nC:\\Music\\a.mp3\r\n\r\nother.m3u\r\n",
       {"C:\\Music\\a.mp3"}},
      {"LF", "a.mp3\nb.mp3\n", {"a.mp3", "b.mp3"}},
      {"CR", "a.mp3\rb.mp3\r", {"a.mp3", "b.mp3"}},
      {"mixed, no final break",
       "a.mp3\r\nb.mp3\rc.mp3\nd.mp3",
       {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}},
      {"blank and control lines", " \t\r\n\x01\x02\n\n\r\r\na.mp3", {"a.mp3"}},
      {"comments after blanks", "  # x.mp3\n\t#y.mp3\na#b.mp3", {"a#b.mp3"}},
      {"lists in any case", "x.M3U\ny.m3U\nz.m3u8\n", {"z.m3u8"}},
      {"entries stay verbatim", "  a.mp3 \n", {"  a.mp3 "}},
      {"a NUL is no file name", std::string("a\0.mp3\nb.mp3", 12), {"b.mp3"}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(m3u::PlaylistEntries(c.text), c.entries) << c.what;
}

TEST(M3uEntries, OverlongLinesAreSkipped) {
  const std::string huge(m3u::kMaxEntryBytes + 1, 'x');
  const std::string longest(m3u::kMaxEntryBytes - 4, 'y');
  const auto entries = m3u::PlaylistEntries(huge + ".mp3\n" + longest + ".mp3\nz.mp3");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].size(), m3u::kMaxEntryBytes);
  EXPECT_EQ(entries[1], "z.mp3");
}

TEST(M3uEncode, HeaderPathsAndCrLf) {
  const std::vector<std::string> paths = {"/m/a.mp3", "rel/" + kMuzyka + ".ogg"};
  EXPECT_EQ(m3u::EncodePlaylist(paths, "UTF-8"),
            "#EXTM3U\r\n/m/a.mp3\r\nrel/" + kMuzyka + ".ogg\r\n");
  EXPECT_EQ(m3u::EncodePlaylist({}, "UTF-8"), "#EXTM3U\r\n");
  // Characters the code page lacks become its replacement character.
  EXPECT_EQ(m3u::EncodePlaylist(std::vector<std::string>{kMuzyka + "日本.mp3"}, "CP1251"),
            "#EXTM3U\r\n" + kMuzykaCp1251 + "??.mp3\r\n");
}

// Playlists written in every encoding and line ending read back the same.
TEST(M3uRoundTrip, EveryEncodingAndLineEnding) {
  const std::vector<std::string> paths = {"/media/" + kMuzyka + "/01 Трек.mp3",
                                          "relative/song.flac", "C:\\Music\\a.mp3",
                                          " spaced name .ogg"};
  struct Encoding {
    const char* charset;
    std::string bom;
  };
  const Encoding encodings[] = {
      {"UTF-8", ""},  {"UTF-8", "\xEF\xBB\xBF"}, {"UTF-16LE", "\xFF\xFE"}, {"UTF-16BE", "\xFE\xFF"},
      {"CP1251", ""},
  };
  TempDir dir;
  for (const Encoding& enc : encodings)
    for (const char* eol : {"\r\n", "\n", "\r"}) {
      std::string text = "#EXTM3U" + std::string(eol);
      for (const std::string& p : paths) text += "#EXTINF:1,x" + std::string(eol) + p + eol;
      const std::string file = dir.File("list.m3u", enc.bom + text::FromUtf8(text, enc.charset));
      std::string bytes;
      ASSERT_FALSE(m3u::ReadPlaylistFile(file, &bytes));
      EXPECT_EQ(m3u::PlaylistEntries(m3u::DecodePlaylistText(bytes, "CP1251")), paths)
          << enc.charset << " bom " << enc.bom.size() << " eol " << std::string(eol).size();
    }
}

TEST(M3uRoundTrip, SavedPlaylistReadsBack) {
  TempDir dir;
  const std::vector<std::string> paths = {"/a/" + kMuzyka + ".mp3", "b/Ελληνικά.mkv",
                                          "c/日本語.wav"};
  const std::string file = dir.Path() + "saved.m3u";
  ASSERT_FALSE(m3u::WriteFileAtomically(file, m3u::EncodePlaylist(paths, "UTF-8")));
  std::string bytes;
  ASSERT_FALSE(m3u::ReadPlaylistFile(file, &bytes));
  EXPECT_EQ(bytes.substr(0, 9), "#EXTM3U\r\n");
  EXPECT_EQ(m3u::PlaylistEntries(m3u::DecodePlaylistText(bytes, "CP1252")), paths);
}

TEST(M3uRead, RefusesWhatIsNoPlaylistFile) {
  TempDir dir;
  std::string bytes;
  EXPECT_EQ(m3u::ReadPlaylistFile(dir.Path() + "missing.m3u", &bytes),
            std::errc::no_such_file_or_directory);
  EXPECT_EQ(m3u::ReadPlaylistFile(dir.Folder("folder.m3u"), &bytes), std::errc::is_a_directory);
  // A named pipe with no writer would block a plain open for ever.
  const std::string fifo = dir.Path() + "pipe.m3u";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(m3u::ReadPlaylistFile(fifo, &bytes), std::errc::invalid_argument);
  const std::string big = dir.File("big.m3u", std::string(1000, 'x'));
  EXPECT_EQ(m3u::ReadPlaylistFile(big, &bytes, 999), std::errc::file_too_large);
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(m3u::ReadPlaylistFile(big, &bytes, 1000));
  EXPECT_EQ(bytes.size(), 1000u);
}

TEST(M3uRead, BinaryGarbageYieldsOnlyPlausibleEntries) {
  std::mt19937 rng(7);
  std::string junk(1 << 20, '\0');
  for (char& c : junk) c = static_cast<char>(rng());
  for (const std::string& bom :
       {std::string(), std::string("\xFF\xFE"), std::string("\xEF\xBB\xBF")}) {
    const std::string text = m3u::DecodePlaylistText(bom + junk, "CP1251");
    EXPECT_TRUE(text::IsValidUtf8(text));
    for (const std::string& e : m3u::PlaylistEntries(text)) {
      EXPECT_EQ(e.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
      EXPECT_LE(e.size(), m3u::kMaxEntryBytes);
    }
  }
}

TEST(M3uWrite, CreatesAndReplacesAtomically) {
  TempDir dir;
  const std::string file = dir.Path() + "list.m3u";
  ASSERT_FALSE(m3u::WriteFileAtomically(file, "one"));
  EXPECT_EQ(ReadAll(file), "one");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_FALSE(m3u::WriteFileAtomically(file, "two"));
  EXPECT_EQ(ReadAll(file), "two");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // Nothing but the playlist is left in the folder.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 1u);
}

TEST(M3uWrite, WritesThroughALink) {
  TempDir dir;
  const std::string real = dir.File("real.m3u", "old");
  const std::string link = dir.Path() + "link.m3u";
  ASSERT_EQ(::symlink("real.m3u", link.c_str()), 0);
  ASSERT_FALSE(m3u::WriteFileAtomically(link, "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(real), "new");
}

TEST(M3uWrite, FailuresAreReportedAndLeaveTheOldFile) {
  TempDir dir;
  EXPECT_TRUE(m3u::WriteFileAtomically(dir.Path() + "no/such/folder/list.m3u", "x"));
  EXPECT_TRUE(m3u::WriteFileAtomically(dir.Folder("a folder"), "x"));
  EXPECT_TRUE(m3u::WriteFileAtomically("", "x"));

  // A write that fails half-way (here: over the file size limit).
  const std::string file = dir.File("list.m3u", "old");
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 8;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::error_code ec = m3u::WriteFileAtomically(file, "much longer than eight bytes");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(ec, std::errc::file_too_large);
  EXPECT_EQ(ReadAll(file), "old");
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
  EXPECT_EQ(entries, 2u);  // the list and "a folder": no temporary file is left
}

TEST(M3uWrite, AFolderThatCannotBeWrittenLeavesTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  TempDir dir;
  const std::string locked = dir.Folder("locked");
  const std::string file = dir.File("locked/list.m3u", "old contents");
  ASSERT_EQ(::chmod(locked.c_str(), 0500), 0);
  EXPECT_EQ(m3u::WriteFileAtomically(file, "new"), std::errc::permission_denied);
  EXPECT_EQ(ReadAll(file), "old contents");
  ::chmod(locked.c_str(), 0700);
}
