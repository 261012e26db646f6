// Filling the playlist: a folder tree of 100 000 files walked into the model
// through the parser thread and the owner-thread hand-off, and a 100 000-line
// M3U list expanded into it. Each has a reference in the same run (a plain
// walk of the same tree into a vector; reading and splitting the same file),
// so the cost of the hand-off and of the model shows as a ratio.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/messages/message_layer.h"
#include "playlist/playlist_model.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 1000;
constexpr int kLines = 100000;

// The generated tree and list, made once and removed at exit.
struct Data {
  fs::path root;
  std::string tree;
  std::string list;
  Data() {
    std::string templ = (fs::temp_directory_path() / "lumora-bench-XXXXXX").string();
    root = ::mkdtemp(templ.data());
    tree = (root / "tree").string();
    for (int d = 0; d < kFolders; ++d) {
      const fs::path folder = root / "tree" / ("folder " + std::to_string(d));
      fs::create_directories(folder);
      for (int f = 0; f < kFilesPerFolder; ++f)
        std::ofstream(folder / ("track " + std::to_string(f) + ".mp3"));
    }
    list = (root / "long.m3u").string();
    std::ofstream out(list, std::ios::binary);
    out << "#EXTM3U\r\n";
    for (int i = 0; i < kLines; ++i) out << "#EXTINF:200,Title\r\n/music/track " << i << ".mp3\r\n";
  }
  ~Data() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

Data& TheData() {
  static Data data;
  return data;
}

TPlaylistModel::Options QuietOptions() {
  TPlaylistModel::Options o;
  o.readers = [] { return std::unique_ptr<TDurationReader>(); };
  return o;
}

void BM_WalkTreeIntoModel(benchmark::State& state) {
  Data& data = TheData();
  std::size_t files = 0;
  for (auto _ : state) {
    TPlaylistModel model(QuietOptions());
    model.ParseList({data.tree}, false);
    while (model.RunningBatches() > 0) {
      WaitForMessages(std::chrono::milliseconds(100));
      PumpMessages();
    }
    files += model.Count();
  }
  state.counters["files/s"] =
      benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WalkTreeIntoModel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WalkTreeReference(benchmark::State& state) {
  Data& data = TheData();
  std::size_t files = 0;
  for (auto _ : state) {
    std::vector<std::string> paths;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(data.tree))
      if (!e.is_directory()) paths.push_back(e.path().string());
    files += paths.size();
    benchmark::DoNotOptimize(paths.data());
  }
  state.counters["files/s"] =
      benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WalkTreeReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseM3uIntoModel(benchmark::State& state) {
  Data& data = TheData();
  for (auto _ : state) {
    TPlaylistModel model(QuietOptions());
    model.ParsePlaylist(data.list);
    benchmark::DoNotOptimize(model.Count());
  }
  state.counters["lines/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kLines * 2, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseM3uIntoModel)->Unit(benchmark::kMillisecond);

void BM_ParseM3uReference(benchmark::State& state) {
  Data& data = TheData();
  for (auto _ : state) {
    std::ifstream in(data.list, std::ios::binary);
    std::vector<std::string> entries;
    std::string line;
    while (std::getline(in, line))
      if (!line.empty() && line[0] != '#') entries.push_back(line);
    benchmark::DoNotOptimize(entries.data());
  }
  state.counters["lines/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kLines * 2, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseM3uReference)->Unit(benchmark::kMillisecond);

}  // namespace
