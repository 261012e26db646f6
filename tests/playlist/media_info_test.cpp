#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "playlist/duration.h"
#include "playlist/file_information.h"
#include "playlist/media_info_library.h"
#include "playlist/playlist_informator.h"
#include "test_support.h"

using playlist_test::TempDir;

namespace {

// Small media files made with the ffmpeg tool once for all tests here.
class MediaFixtures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    wav_ = dir_->Path() + "tone.wav";
    mp4_ = dir_->Path() + "Фильм клип.mp4";
    const std::string ff = "ffmpeg -nostdin -hide_banner -loglevel error -y ";
    ok_ = std::system(
              (ff + "-f lavfi -i sine=frequency=440:duration=1.5 '" + wav_ + "'").c_str()) == 0 &&
          std::system(
              (ff + "-f lavfi -i testsrc=duration=2:size=64x48:rate=10 -c:v mpeg4 '" + mp4_ + "'")
                  .c_str()) == 0;
    garbage_ = dir_->File("noise.mp3", std::string(4096, '\x5A'));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!ok_) GTEST_SKIP() << "ffmpeg could not make the media fixtures";
  }

  static TempDir* dir_;
  static std::string wav_, mp4_, garbage_;
  static bool ok_;
};
TempDir* MediaFixtures::dir_ = nullptr;
std::string MediaFixtures::wav_, MediaFixtures::mp4_, MediaFixtures::garbage_;
bool MediaFixtures::ok_ = false;

double Ms(double days) { return days * kMSecsPerDay; }

std::string ReadDurationWith(TMediaInfoLibrary& lib, const std::string& file) {
  TMediaInfo mi(lib);
  if (!mi.Open(file)) return "(not opened)";
  return mi.Get(kMediaInfoStreamGeneral, 0, "Duration");
}

// Records which items the information thread filled in.
class Filled {
 public:
  TPlaylistInformator::TFilledEvent Event() {
    return [this](std::size_t i) {
      std::lock_guard lock(mu_);
      indices_.insert(i);
      ++count_;
      cv_.notify_all();
    };
  }
  // Bounded only as a safety net.
  bool WaitCount(int n) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, std::chrono::seconds(60), [&] { return count_ >= n; });
  }
  int Count() {
    std::lock_guard lock(mu_);
    return count_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::set<std::size_t> indices_;
  int count_ = 0;
};

constexpr const char* kNoSystemLibrary = "liblumora-test-no-such-mediainfo.so.0";

}  // namespace

TEST_F(MediaFixtures, TheSystemLibraryReadsDurations) {
  TMediaInfoLibrary lib;
  ASSERT_TRUE(lib.Load(dir_->Path() + "Filters/MediaInfo.dll"));  // absent: the system's
  EXPECT_NEAR(DurationTextToDays(ReadDurationWith(lib, wav_)) * kMSecsPerDay, 1500, 50);
  // A path beyond ASCII goes through the wide-string boundary.
  EXPECT_NEAR(Ms(DurationTextToDays(ReadDurationWith(lib, mp4_))), 2000, 100);
  TMediaInfo mi(lib);
  EXPECT_FALSE(mi.Open(dir_->Path() + "missing.wav"));
  EXPECT_FALSE(mi.Open(dir_->Path()));  // a folder is not given to the library
}

TEST_F(MediaFixtures, AModuleInTheFiltersFolderComesFirst) {
  TempDir filters;
  const std::string dll = filters.Path() + "MediaInfo.dll";
  std::filesystem::copy_file("/usr/lib/x86_64-linux-gnu/libmediainfo.so.0", dll);
  TMediaInfoLibrary lib(kNoSystemLibrary);  // only the module file can load
  ASSERT_TRUE(lib.Load(dll));
  ASSERT_TRUE(lib.EntryPoints());
  EXPECT_NE(lib.EntryPoints()->Inform, nullptr);
  EXPECT_NE(lib.EntryPoints()->A_Open, nullptr);
  EXPECT_NEAR(Ms(DurationTextToDays(ReadDurationWith(lib, wav_))), 1500, 50);
  EXPECT_TRUE(lib.Load(dll));  // loaded once; binding again is harmless
}

TEST_F(MediaFixtures, ABrokenModuleFileFallsBackToTheSystemLibrary) {
  TempDir filters;
  const std::string dll = filters.File("MediaInfo.dll", "not a library");
  TMediaInfoLibrary lib;
  ASSERT_TRUE(lib.Load(dll));
  EXPECT_NEAR(Ms(DurationTextToDays(ReadDurationWith(lib, wav_))), 1500, 50);
}

TEST_F(MediaFixtures, AMissingLibraryDisablesEverythingQuietly) {
  TMediaInfoLibrary lib(kNoSystemLibrary);
  EXPECT_FALSE(lib.Load(dir_->Path() + "Filters/MediaInfo.dll"));
  EXPECT_FALSE(lib.EntryPoints());
  TMediaInfo mi(lib);
  EXPECT_FALSE(mi.Valid());
  EXPECT_FALSE(mi.Open(wav_));
  EXPECT_EQ(mi.Inform(), "");
  EXPECT_EQ(ReadFileInformation(lib, "", wav_).status, TFileInformation::Status::kNoLibrary);

  TPlaylistItems lv;
  lv.Append(MakePlayListItem(wav_));
  Filled filled;
  TPlaylistInformator ppl(lv, MediaInfoDurationReaders(lib, ""), filled.Event());
  EXPECT_TRUE(ppl.WaitFinished(std::chrono::seconds(60)));
  EXPECT_FALSE(lv.At(0).mediainfo);
  EXPECT_EQ(filled.Count(), 0);
}

TEST_F(MediaFixtures, FileInformationText) {
  EXPECT_EQ(FileInformationText("/m/a.mp3", "General\nFormat : MPEG Audio\n"),
            "File:  /m/a.mp3\n\nGeneral\nFormat : MPEG Audio\n");
  TMediaInfoLibrary lib;
  const TFileInformation info = ReadFileInformation(lib, "", mp4_);
  ASSERT_EQ(info.status, TFileInformation::Status::kOk);
  const std::string head = "File:  " + mp4_ + "\n\n";
  ASSERT_GT(info.text.size(), head.size());
  EXPECT_EQ(info.text.substr(0, head.size()), head);
  EXPECT_NE(info.text.find("MPEG-4"), std::string::npos) << info.text;
  EXPECT_EQ(ReadFileInformation(lib, "", dir_->Path() + "gone.mp4").status,
            TFileInformation::Status::kOpenFailed);
}

TEST_F(MediaFixtures, TheInformationThreadFillsDurations) {
  TMediaInfoLibrary lib;
  TPlaylistItems lv;
  lv.Append(MakePlayListItem(wav_));
  lv.Append(MakePlayListItem(dir_->Path() + "missing.mp3"));
  lv.Append(MakePlayListItem(mp4_));
  Filled filled;
  TPlaylistInformator ppl(lv, MediaInfoDurationReaders(lib, ""), filled.Event());
  ASSERT_TRUE(filled.WaitCount(2));
  EXPECT_NEAR(Ms(lv.At(0).duration), 1500, 50);
  EXPECT_TRUE(lv.At(0).mediainfo);
  EXPECT_FALSE(lv.At(1).mediainfo);  // tried again on every pass
  EXPECT_NEAR(Ms(lv.At(2).duration), 2000, 100);
  // Items added later are read too; an unrecognised file is done with 0.
  lv.Append(MakePlayListItem(garbage_));
  ASSERT_TRUE(filled.WaitCount(3));
  EXPECT_TRUE(lv.At(3).mediainfo);
  EXPECT_EQ(lv.At(3).duration, 0);
  // Leaving scope joins the thread although an item is still pending.
}

namespace {

// A reader that answers from a table, and can hold one path until released.
class ScriptedReader : public TDurationReader {
 public:
  struct Script {
    std::mutex mu;
    std::condition_variable cv;
    std::string hold;  // the path to hold
    bool holding = false, released = false;
    std::vector<std::string> reads;
  };
  explicit ScriptedReader(std::shared_ptr<Script> s) : s_(std::move(s)) {}
  std::optional<std::string> ReadDuration(const std::string& path) override {
    std::unique_lock lock(s_->mu);
    s_->reads.push_back(path);
    s_->cv.notify_all();
    if (path == s_->hold) {
      s_->holding = true;
      s_->cv.notify_all();
      s_->cv.wait(lock, [&] { return s_->released; });
    }
    if (path.ends_with("missing.mp3")) return std::nullopt;
    return path.starts_with("a") ? "5025678" : "1000";
  }

 private:
  std::shared_ptr<Script> s_;
};

}  // namespace

TEST(PlaylistInformator, EmptyingTheListDuringAReadDropsThatResult) {
  auto script = std::make_shared<ScriptedReader::Script>();
  script->hold = "a.mp3";
  TPlaylistItems lv;
  lv.Append(MakePlayListItem("a.mp3"));
  Filled filled;
  TPlaylistInformator ppl(
      lv, [script] { return std::make_unique<ScriptedReader>(script); }, filled.Event());
  {
    std::unique_lock lock(script->mu);
    script->cv.wait(lock, [&] { return script->holding; });
  }
  // While "a.mp3" is inside the library the list is replaced.
  lv.Clear();
  lv.Append(MakePlayListItem("b.mp3"));
  {
    std::lock_guard lock(script->mu);
    script->released = true;
  }
  script->cv.notify_all();
  ASSERT_TRUE(filled.WaitCount(1));
  const TPlayListItem b = lv.At(0);
  EXPECT_EQ(b.FilePath, "b.mp3");
  EXPECT_DOUBLE_EQ(Ms(b.duration), 1000);  // b's own, never a's 5025678
  EXPECT_EQ(filled.Count(), 1);
}

TEST(PlaylistInformator, ADurationIsReadOnceAndShownAsTime) {
  auto script = std::make_shared<ScriptedReader::Script>();
  TPlaylistItems lv;
  lv.Append(MakePlayListItem("a.mp3"));
  lv.Append(MakePlayListItem("x/missing.mp3"));
  Filled filled;
  {
    TPlaylistInformator ppl(
        lv, [script] { return std::make_unique<ScriptedReader>(script); }, filled.Event());
    ASSERT_TRUE(filled.WaitCount(1));
    EXPECT_EQ(FormatTimeHMS(lv.At(0).duration), "1:23:45");
    // Let the thread retry the missing file at least once more.
    std::unique_lock lock(script->mu);
    ASSERT_TRUE(script->cv.wait_for(lock, std::chrono::seconds(60), [&] {
      return std::count(script->reads.begin(), script->reads.end(), "x/missing.mp3") >= 2;
    }));
  }
  EXPECT_EQ(std::count(script->reads.begin(), script->reads.end(), "a.mp3"), 1);
}
