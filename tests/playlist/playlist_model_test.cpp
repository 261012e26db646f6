#include "playlist/playlist_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/messages/message_layer.h"
#include "playlist/duration.h"
#include "playlist/playlist_parser.h"
#include "system/media_types.h"
#include "test_support.h"

using playlist_test::TempDir;

namespace {

// No information thread work unless a test asks for it.
TDurationReaderFactory NoReaders() {
  return [] { return std::unique_ptr<TDurationReader>(); };
}

// Pumps the calling thread's messages until done() holds (bounded as a
// safety net only).
bool PumpUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 600 && !done(); ++i) {
    WaitForMessages(std::chrono::milliseconds(100));
    PumpMessages();
  }
  return done();
}

// A model that records what it opens and how the view is told.
struct Fixture {
  std::vector<std::string> opened;
  std::vector<std::pair<std::size_t, std::int64_t>> changes;
  std::vector<std::size_t> picks;  // answers of the random source, in turn
  std::size_t next_pick = 0;
  TPlaylistModel model;

  explicit Fixture(TDurationReaderFactory readers = NoReaders(),
                   TPlaylistInformator::TFilledEvent on_duration = {})
      : model(TPlaylistModel::Options{
            .OpenFile = [this](const std::string& p) { opened.push_back(p); },
            .on_change = [this](std::size_t n, std::int64_t cur) { changes.emplace_back(n, cur); },
            .random =
                [this](std::size_t n) {
                  const std::size_t v = picks.empty() ? 0 : picks[next_pick++ % picks.size()];
                  return v < n ? v : n - 1;
                },
            .readers = std::move(readers),
            .on_duration = std::move(on_duration),
            .legacy_charset = "CP1251",
            .write_charset = "UTF-8"}) {}

  void AddItems(int n) {
    for (int i = 0; i < n; ++i) model.Add(std::to_string(i) + ".mp3");
  }
  void WaitBatches() {
    ASSERT_TRUE(PumpUntil([&] { return model.RunningBatches() == 0; }));
  }
};

enum class Start { kPlay, kNext, kPrev, kRandom };

// Plays as the main window does: at the end of each started file,
// haveToPlay → Next, otherwise stop and ClearHaveToPlay. A missing file opens
// nothing, so no end of file follows and advancing stops there.
std::vector<int> Drive(Fixture& f, Start start, int idx, const std::set<int>& missing, int limit) {
  switch (start) {
    case Start::kPlay:
      f.model.Play(idx);
      break;
    case Start::kNext:
      f.model.Next();
      break;
    case Start::kPrev:
      f.model.Prev();
      break;
    case Start::kRandom:
      f.model.PlayRandom();
      break;
  }
  std::vector<int> order;
  while (f.opened.size() > order.size() && static_cast<int>(order.size()) < limit) {
    const int played = std::stoi(f.opened[order.size()]);
    order.push_back(played);
    if (missing.count(played)) break;
    if (f.model.haveToPlay()) {
      f.model.Next();
    } else {
      f.model.ClearHaveToPlay();
    }
  }
  return order;
}

}  // namespace

TEST(PlaylistNavigation, PlayOrders) {
  struct Case {
    const char* what;
    int items;
    bool shuffle, loop;
    Start start;
    int idx;
    std::vector<std::size_t> picks;
    std::set<int> missing;
    std::vector<int> order;
  };
  const Case cases[] = {
      {"neither flag: to the end, wrap, stop",
       4,
       false,
       false,
       Start::kPlay,
       2,
       {},
       {},
       {2, 3, 0, 1}},
      {"before anything played Next plays item 1",
       3,
       false,
       false,
       Start::kNext,
       0,
       {},
       {},
       {1, 2, 0}},
      {"Prev from item 0 wraps to the last", 3, false, false, Start::kPrev, 0, {}, {}, {2, 0, 1}},
      {"loop: never stops", 3, false, true, Start::kPlay, 1, {}, {}, {1, 2, 0, 1, 2, 0, 1, 2}},
      {"shuffle: every item once, then stop",
       4,
       true,
       false,
       Start::kRandom,
       0,
       {1, 0, 1, 0},
       {},
       {1, 0, 3, 2}},
      {"shuffle from a clicked row", 3, true, false, Start::kPlay, 2, {1}, {}, {2, 1, 0}},
      {"shuffle and loop: a new cycle after all have played",
       3,
       true,
       true,
       Start::kRandom,
       0,
       {0},
       {},
       {0, 1, 2, 0, 1, 2, 0}},
      {"shuffle and loop, drawing the last candidate",
       3,
       true,
       true,
       Start::kRandom,
       0,
       {5},
       {},
       {2, 1, 0, 2, 1, 0}},
      {"one item plays once", 1, false, false, Start::kPlay, 0, {}, {}, {0}},
      {"one item with loop repeats", 1, false, true, Start::kNext, 0, {}, {}, {0, 0, 0}},
      {"a missing file stops advancing", 5, false, false, Start::kPlay, 0, {}, {2}, {0, 1, 2}},
      {"empty list: nothing", 0, false, false, Start::kNext, 0, {}, {}, {}},
      {"empty list with loop: nothing", 0, true, true, Start::kRandom, 0, {}, {}, {}},
      {"out of range: nothing", 3, false, false, Start::kPlay, 3, {}, {}, {}},
      {"negative: nothing", 3, false, false, Start::kPlay, -1, {}, {}, {}},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.AddItems(c.items);
    f.model.shuffle = c.shuffle;
    f.model.loop = c.loop;
    f.picks = c.picks;
    const int limit = static_cast<int>(c.order.size()) + 1;
    const bool endless = c.loop && c.items > 0;
    EXPECT_EQ(Drive(f, c.start, c.idx, c.missing, endless ? limit - 1 : limit), c.order) << c.what;
  }
}

TEST(PlaylistNavigation, FlagsAndCurrentItem) {
  Fixture f;
  EXPECT_FALSE(f.model.haveToPlay());  // empty
  f.model.loop = true;
  EXPECT_TRUE(f.model.haveToPlay());
  f.model.loop = false;
  f.AddItems(3);
  EXPECT_EQ(f.model.Playeditem(), 0);
  EXPECT_TRUE(f.model.haveToPlay());
  f.model.Play(2);
  EXPECT_EQ(f.model.Playeditem(), 2);
  EXPECT_TRUE(f.model.Item(2).played);
  f.model.Next();  // wraps
  EXPECT_EQ(f.model.Playeditem(), 0);
  f.model.Prev();  // wraps back
  EXPECT_EQ(f.model.Playeditem(), 2);
  f.model.Play(1);
  EXPECT_FALSE(f.model.haveToPlay());
  f.model.ClearHaveToPlay();
  for (std::size_t i = 0; i < 3; ++i) EXPECT_FALSE(f.model.Item(i).played);
  // One item: Next and Prev both play it again.
  Fixture one;
  one.AddItems(1);
  one.model.Next();
  one.model.Prev();
  EXPECT_EQ(one.opened, (std::vector<std::string>{"0.mp3", "0.mp3"}));
  // After a shuffled cycle has ended (flags cleared), Next starts a new one.
  Fixture s;
  s.AddItems(2);
  s.model.shuffle = true;
  s.model.Play(0);
  s.model.Play(1);
  EXPECT_FALSE(s.model.haveToPlay());
  s.model.Next();
  EXPECT_EQ(s.opened.size(), 3u);
}

TEST(PlaylistNavigation, AnIndexLeftPastAnEmptiedListStillNavigates) {
  Fixture f;
  f.AddItems(6);
  f.model.Play(5);
  f.model.ParseList({}, true);  // emptied; the current index stays 5
  EXPECT_EQ(f.model.Playeditem(), 5);
  f.model.ParseList({}, false);
  f.AddItems(2);
  f.model.Next();
  EXPECT_EQ(f.model.Playeditem(), 0);
  f.model.Play(1);
  f.model.ParseList({}, true);
  f.model.ParseList({}, false);
  f.AddItems(1);
  f.model.Prev();
  EXPECT_EQ(f.model.Playeditem(), 0);
}

TEST(PlaylistModel, AddKeepsMediaNamesAndStartsTheFirstOfAnImmediateBatch) {
  Fixture f;
  f.model.Add("notes.txt");
  f.model.Add("film.mkv ");
  EXPECT_EQ(f.model.Count(), 0u);
  f.model.Add("/m/Track.Mp3");
  const TPlayListItem item = f.model.Item(0);
  EXPECT_EQ(item.name, "Track");
  EXPECT_EQ(item.ext, "Mp3");
  EXPECT_TRUE(f.opened.empty());  // nothing starts without toMainForm
  f.model.ParseList({}, true);
  EXPECT_EQ(f.model.Count(), 0u);
  EXPECT_TRUE(f.model.toMainForm());
  f.model.Add("a.mp3");
  f.model.Add("b.mp3");
  EXPECT_FALSE(f.model.toMainForm());
  EXPECT_EQ(f.opened, std::vector<std::string>{"a.mp3"});
  EXPECT_EQ(f.changes.back(), (std::pair<std::size_t, std::int64_t>{2, 0}));
}

TEST(PlaylistModel, FoldersAndListsArriveInTheBackground) {
  TempDir d;
  d.File("A/a.mp3");
  d.File("A/cover.jpg");
  d.File("A/sub/b.flac");
  d.File("list.M3U", "#EXTM3U\r\n" + d.Path() + "x.mp3\r\nnested.m3u\r\n");
  d.File("c.mp3");
  d.File("notes.txt");
  Fixture f;
  f.model.ParseList({d.Path(), d.Path() + "A/a.mp3"}, true);
  f.WaitBatches();
  std::vector<std::string> expected;
  // The parser's order (the file system's), with the list expanded in place.
  std::promise<void> walked;
  TPlaylistParser probe(
      {d.Path(), d.Path() + "A/a.mp3"},
      [&](const std::string& s) {
        if (s.ends_with(".M3U")) {
          expected.push_back(d.Path() + "x.mp3");
        } else if (IsMediaFile(s)) {
          expected.push_back(s);
        }
        return true;
      },
      [&] { walked.set_value(); });
  walked.get_future().wait();
  EXPECT_EQ(f.model.FilePaths(), expected);
  EXPECT_EQ(expected.size(), 5u);
  ASSERT_EQ(f.opened.size(), 1u);
  EXPECT_EQ(f.opened[0], expected[0]);
}

TEST(PlaylistModel, AnAppendedBatchDoesNotInterruptAndSeveralRunAtOnce) {
  TempDir d;
  for (int i = 0; i < 100; ++i) {
    d.File("one/" + std::to_string(i) + ".mp3");
    d.File("two/" + std::to_string(i) + ".ogg");
  }
  Fixture f;
  f.model.Add("playing.mp3");
  f.model.Play(0);
  f.model.ParseList({d.Path() + "one"}, false);
  f.model.ParseList({d.Path() + "two"}, false);
  EXPECT_EQ(f.model.RunningBatches(), 2u);
  f.WaitBatches();
  EXPECT_EQ(f.model.Count(), 201u);
  EXPECT_EQ(f.opened, std::vector<std::string>{"playing.mp3"});
  EXPECT_EQ(f.model.Playeditem(), 0);
  // Each batch's files keep their walk order among the other's.
  std::vector<std::string> one, two;
  for (const std::string& p : f.model.FilePaths())
    if (p != "playing.mp3") (p.ends_with(".mp3") ? one : two).push_back(p);
  EXPECT_EQ(one.size(), 100u);
  EXPECT_EQ(two.size(), 100u);
}

TEST(PlaylistModel, AnImmediateBatchReplacesTheListAndStopsOlderBatches) {
  TempDir d;
  for (int i = 0; i < 500; ++i) d.File("old/" + std::to_string(i) + ".mp3");
  const std::string fresh = d.File("fresh.mp3");
  Fixture f;
  f.model.ParseList({d.Path() + "old"}, false);
  PumpUntil([&] { return f.model.Count() >= 3; });
  f.model.ParseList({fresh}, true);
  f.WaitBatches();
  EXPECT_EQ(f.model.FilePaths(), std::vector<std::string>{fresh});
  EXPECT_EQ(f.opened, std::vector<std::string>{fresh});
}

TEST(PlaylistModel, DestroyingTheOwnerEndsRunningBatches) {
  TempDir d;
  for (int i = 0; i < 300; ++i) d.File("many/" + std::to_string(i) + ".mp3");
  for (int round = 0; round < 3; ++round) {
    auto f = std::make_unique<Fixture>();
    f->model.ParseList({d.Path() + "many"}, true);
    f->model.ParseList({d.Path() + "many"}, false);
    PumpUntil([&] { return f->model.Count() >= static_cast<std::size_t>(round * 5); });
    f.reset();  // parsers blocked in a hand-off are released and joined
  }
  // Messages left for the destroyed window are dropped.
  PumpMessages();
}

TEST(PlaylistModel, M3uListsAreExpandedNeverAdded) {
  TempDir d;
  const std::string list =
      d.File("list.M3U", "#EXTM3U\r\n#EXTINF:123,Title\r\nC:\\Music\\a.mp3\r\n\r\nother.m3u\r\n");
  Fixture f;
  f.model.Add(list);
  EXPECT_EQ(f.model.FilePaths(), std::vector<std::string>{"C:\\Music\\a.mp3"});
  EXPECT_EQ(f.model.Item(0).name, "a");
  // Unreadable and binary lists add nothing and break nothing.
  f.model.Add(d.Path() + "missing.m3u");
  std::string junk(1 << 16, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 7919 % 251);
  f.model.Add(d.File("junk.m3u", junk));
  EXPECT_EQ(f.model.ParsePlaylist(d.Path() + "missing.m3u"), std::errc::no_such_file_or_directory);
  for (const std::string& p : f.model.FilePaths()) EXPECT_TRUE(IsMediaFile(p)) << p;
}

TEST(PlaylistModel, ALongListArrivesWithOneChangeSignal) {
  TempDir d;
  std::string text = "#EXTM3U\r\n";
  for (int i = 0; i < 100000; ++i) text += "/music/track " + std::to_string(i) + ".mp3\r\n";
  const std::string list = d.File("long.m3u", text);
  Fixture f;
  f.model.ParseList({}, true);
  f.changes.clear();
  f.model.Add(list);
  EXPECT_EQ(f.model.Count(), 100000u);
  EXPECT_EQ(f.model.Item(99999).FilePath, "/music/track 99999.mp3");
  ASSERT_EQ(f.opened.size(), 1u);  // the first entry started
  EXPECT_LE(f.changes.size(), 2u);
  EXPECT_EQ(f.changes.back().first, 100000u);
}

TEST(PlaylistModel, SavedPlaylistsReadBackTheSamePaths) {
  TempDir d;
  Fixture f;
  const std::vector<std::string> paths = {"/media/Музыка/01 Трек.mp3", "relative/Ελληνικά.flac",
                                          "C:\\Music\\日本.wav", "/m/a.mp3", "/m/a.mp3"};
  for (const std::string& p : paths) f.model.Add(p);
  const std::string file = d.Path() + "saved.m3u";
  ASSERT_FALSE(f.model.SavePlaylist(file));
  std::string expected = "#EXTM3U\r\n";
  for (const std::string& p : paths) expected += p + "\r\n";
  EXPECT_EQ(playlist_test::ReadAll(file), expected);
  Fixture g;
  ASSERT_FALSE(g.model.ParsePlaylist(file));
  EXPECT_EQ(g.model.FilePaths(), paths);
  // A failure reaches the caller; the older file stays.
  EXPECT_TRUE(f.model.SavePlaylist(d.Path() + "no/folder/x.m3u"));
  EXPECT_TRUE(f.model.SavePlaylist(d.Path()));
  EXPECT_EQ(playlist_test::ReadAll(file), expected);
}

TEST(PlaylistModel, DurationsFillInFromTheLibrary) {
  TempDir d;
  const std::string wav = d.Path() + "tone.wav";
  if (std::system(("ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
                   "sine=duration=1.5 '" +
                   wav + "'")
                      .c_str()) != 0)
    GTEST_SKIP() << "ffmpeg could not make the fixture";
  std::mutex mu;
  std::condition_variable cv;
  int filled = 0;
  // The default readers: the process's library from the Filters folder, else
  // the system's.
  Fixture f({}, [&](std::size_t) {
    std::lock_guard lock(mu);
    ++filled;
    cv.notify_all();
  });
  f.model.Add(wav);
  std::unique_lock lock(mu);
  ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return filled == 1; }));
  EXPECT_EQ(FormatTimeHMS(f.model.Item(0).duration), "0:00:01");
  EXPECT_NEAR(f.model.Item(0).duration * kMSecsPerDay, 1500, 50);
}
