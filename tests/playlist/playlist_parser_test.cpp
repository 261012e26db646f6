#include "playlist/playlist_parser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "test_support.h"

using playlist_test::TempDir;
namespace fs = std::filesystem;

namespace {

// Collects what one or more parsers hand over, and waits for their ends.
class Collector {
 public:
  TPlaylistParser::TNewFileEvent Receiver(std::size_t stop_after = SIZE_MAX) {
    return [this, stop_after](const std::string& f) {
      std::lock_guard lock(mu_);
      files_.push_back(f);
      return files_.size() < stop_after;
    };
  }
  TPlaylistParser::TDoneEvent Done() {
    return [this] {
      std::lock_guard lock(mu_);
      ++done_;
      cv_.notify_all();
    };
  }
  // Waits (bounded, as a safety net only) until n batches have ended.
  bool WaitDone(int n) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, std::chrono::seconds(60), [&] { return done_ >= n; });
  }
  std::vector<std::string> Files() {
    std::lock_guard lock(mu_);
    return files_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<std::string> files_;
  int done_ = 0;
};

std::vector<std::string> Parse(std::vector<std::string> names) {
  Collector c;
  TPlaylistParser parser(std::move(names), c.Receiver(), c.Done());
  EXPECT_TRUE(c.WaitDone(1));
  return c.Files();
}

// The expected walk, built with the standard library's folder iterator (which
// lists in the file system's order, as the parser must).
void ReferenceWalk(const std::string& folder, std::vector<std::string>& out) {
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (e.is_directory()) {
      ReferenceWalk(folder + name + "/", out);
    } else {
      out.push_back(folder + name);
    }
  }
}

}  // namespace

TEST(PlaylistParser, FilesAsGivenFoldersDepthFirstWhereTheyStand) {
  TempDir d;
  d.File("A/a1.mp3");
  d.File("A/a2.txt");
  d.File("A/deep/a3.mkv");
  d.File("B/b1.avi");
  d.File("c.mp3");
  const std::string single = d.File("single.ogg");
  std::vector<std::string> expected = {single};
  ReferenceWalk(d.Path(), expected);
  expected.push_back(single);  // a name given twice arrives twice

  const std::vector<std::string> got = Parse({single, d.Path(), d.Path() + "missing", single});
  EXPECT_EQ(got, expected);
  // Everything under A, then under B, then c.mp3, in the order the folder
  // lists A, B and c.mp3; non-media files are handed over too.
  std::vector<std::string> top;
  for (const auto& e : fs::directory_iterator(d.Path())) top.push_back(e.path().filename());
  auto block = [&](const std::string& prefix) {
    auto first = std::find_if(got.begin(), got.end(),
                              [&](const std::string& f) { return f.starts_with(prefix); });
    auto last = std::find_if(first, got.end(),
                             [&](const std::string& f) { return !f.starts_with(prefix); });
    EXPECT_TRUE(
        std::all_of(last, got.end(), [&](const std::string& f) { return !f.starts_with(prefix); }))
        << prefix << " is not one block";
    return first - got.begin();
  };
  std::vector<std::pair<std::ptrdiff_t, std::string>> at;
  for (const char* n : {"A", "B", "c.mp3"}) at.emplace_back(block(d.Path() + n), n);
  std::sort(at.begin(), at.end());
  std::vector<std::string> order;
  for (const auto& [pos, n] : at) order.push_back(n);
  std::erase_if(top, [](const std::string& n) { return n == "single.ogg"; });
  EXPECT_EQ(order, top);
  EXPECT_NE(std::find(got.begin(), got.end(), d.Path() + "A/a2.txt"), got.end());
}

TEST(PlaylistParser, AFolderNameIsJoinedWithOneSlash) {
  TempDir d;
  d.File("x/f.mp3");
  const std::string base = d.Path() + "x";
  EXPECT_EQ(Parse({base}), std::vector<std::string>{base + "/f.mp3"});
  EXPECT_EQ(Parse({base + "/"}), std::vector<std::string>{base + "/f.mp3"});
}

TEST(PlaylistParser, FoldersDeeperThanTheLimitAreNotEntered) {
  TempDir d;
  // A file at every level 0..600 below the given folder.
  std::string rel;
  for (int depth = 0; depth <= 600; ++depth) {
    d.File(rel + "f.mp3");
    rel += "d/";
  }
  const std::vector<std::string> got = Parse({d.Path()});
  ASSERT_EQ(got.size(), static_cast<std::size_t>(TPlaylistParser::kMaxDepth) + 1);
  std::string deepest = d.Path();
  for (int i = 0; i < TPlaylistParser::kMaxDepth; ++i) deepest += "d/";
  // Entries come in the order the file system lists them, so look the
  // deepest file up rather than expecting it last.
  EXPECT_NE(std::find(got.begin(), got.end(), deepest + "f.mp3"), got.end());
  EXPECT_EQ(std::find(got.begin(), got.end(), deepest + "d/f.mp3"), got.end());
}

TEST(PlaylistParser, LinkLoopsAreWalkedOnce) {
  TempDir d;
  d.File("x/f.mp3");
  d.File("y/g.mp3");
  ASSERT_EQ(::symlink("..", (d.Path() + "x/up").c_str()), 0);      // a loop
  ASSERT_EQ(::symlink("../y", (d.Path() + "x/to-y").c_str()), 0);  // y a second time
  ASSERT_EQ(::symlink("x", (d.Path() + "self").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere.mp3", (d.Path() + "dangling.mp3").c_str()), 0);
  ASSERT_EQ(::symlink("x/f.mp3", (d.Path() + "link.mp3").c_str()), 0);
  const std::vector<std::string> got = Parse({d.Path()});
  auto count_name = [&](const std::string& name) {
    return std::count_if(got.begin(), got.end(),
                         [&](const std::string& f) { return f.ends_with("/" + name); });
  };
  EXPECT_EQ(count_name("f.mp3"), 1);
  EXPECT_EQ(count_name("g.mp3"), 1);
  // Links to files, even to missing ones, are files like any other.
  EXPECT_EQ(count_name("dangling.mp3"), 1);
  EXPECT_EQ(count_name("link.mp3"), 1);
  EXPECT_EQ(got.size(), 4u);
}

TEST(PlaylistParser, PipesAndUnreadableEntriesAreSkipped) {
  TempDir d;
  ASSERT_EQ(::mkfifo((d.Path() + "pipe.mp3").c_str(), 0600), 0);
  d.File("ok.mp3");
  EXPECT_EQ(Parse({d.Path() + "pipe.mp3", d.Path()}),
            std::vector<std::string>{d.Path() + "ok.mp3"});
}

TEST(PlaylistParser, AnEmptyBatchNeverRuns) {
  Collector c;
  TPlaylistParser none({}, c.Receiver(), c.Done());
  TPlaylistParser no_receiver({"/"}, nullptr, c.Done());
  EXPECT_FALSE(none.Started());
  EXPECT_TRUE(none.Finished());
  EXPECT_FALSE(no_receiver.Started());
}

TEST(PlaylistParser, AFailedHandOffEndsTheBatch) {
  TempDir d;
  for (int i = 0; i < 10; ++i) d.File("f" + std::to_string(i) + ".mp3");
  Collector c;
  {
    TPlaylistParser parser({d.Path(), d.Path()}, c.Receiver(3), c.Done());
    ASSERT_TRUE(c.WaitDone(1));
  }
  EXPECT_EQ(c.Files().size(), 3u);
}

TEST(PlaylistParser, SeveralBatchesAtOnceKeepTheirOwnOrder) {
  TempDir d;
  for (int i = 0; i < 200; ++i) {
    d.File("one/" + std::to_string(i) + ".mp3");
    d.File("two/" + std::to_string(i) + ".mp3");
  }
  Collector c;
  {
    TPlaylistParser p1({d.Path() + "one"}, c.Receiver(), c.Done());
    TPlaylistParser p2({d.Path() + "two"}, c.Receiver(), c.Done());
    ASSERT_TRUE(c.WaitDone(2));
  }
  std::vector<std::string> one, two, expected_one, expected_two;
  for (const std::string& f : c.Files())
    (f.find("/one/") != std::string::npos ? one : two).push_back(f);
  ReferenceWalk(d.Path() + "one/", expected_one);
  ReferenceWalk(d.Path() + "two/", expected_two);
  EXPECT_EQ(one, expected_one);
  EXPECT_EQ(two, expected_two);
}

TEST(PlaylistParser, DestructionStopsAWalkUnderWay) {
  TempDir d;
  for (int i = 0; i < 50; ++i) d.File("f" + std::to_string(i) + ".mp3");
  std::mutex mu;
  std::condition_variable cv;
  bool entered = false, release = false;
  int calls = 0;
  auto receiver = [&](const std::string&) {
    std::unique_lock lock(mu);
    ++calls;
    entered = true;
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
    return true;
  };
  auto parser = std::make_unique<TPlaylistParser>(std::vector<std::string>{d.Path()}, receiver);
  {
    std::unique_lock lock(mu);
    cv.wait(lock, [&] { return entered; });
  }
  parser->RequestStop();
  EXPECT_TRUE(parser->StopRequested());
  {
    std::lock_guard lock(mu);
    release = true;
  }
  cv.notify_all();
  parser.reset();  // joins
  EXPECT_EQ(calls, 1);
}

TEST(PlaylistParser, FilesAndFoldersVanishingDuringTheWalk) {
  TempDir d;
  for (int i = 0; i < 5; ++i) d.File("f" + std::to_string(i) + ".mp3");
  d.File("sub/g.mp3");
  d.File("sub/deeper/h.mp3");
  std::vector<std::string> handed;
  bool emptied = false;
  Collector c;
  // The first file handed over empties the folder under the walk's feet.
  TPlaylistParser parser(
      {d.Path()},
      [&](const std::string& f) {
        handed.push_back(f);
        if (!emptied) {
          emptied = true;
          for (const auto& e : fs::directory_iterator(d.Path())) fs::remove_all(e.path());
        }
        return true;
      },
      c.Done());
  ASSERT_TRUE(c.WaitDone(1));
  // Files listed before they vanished still arrive (the playlist shows
  // missing files); a vanished folder is not entered.
  EXPECT_GE(handed.size(), 1u);
  EXPECT_LE(handed.size(), 7u);
  for (const std::string& f : handed) EXPECT_TRUE(f.ends_with(".mp3")) << f;
}
