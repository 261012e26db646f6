// Mutated fixtures through the splitter and the decoders: each either fails
// to load or plays to an end; none crashes or hangs. Mutations are made
// from fixed seeds, so a case that once failed stays in the table as a
// regression case. LUMORA_FUZZ_ROUNDS raises the number of seeds per file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "directshow/dshow.h"
#include "fixtures.h"
#include "playback.h"

using namespace fxt;

namespace {

std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> data, std::uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](std::size_t n) {
    return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(rng) : 0;
  };
  switch (seed % 4) {
    case 0:  // scattered byte changes
      for (int i = 0; i < 1 + static_cast<int>(seed % 24); ++i)
        data[pick(data.size())] = static_cast<std::uint8_t>(rng());
      break;
    case 1:  // cut short
      data.resize(pick(data.size()) + 1);
      break;
    case 2: {  // a block overwritten with noise
      const std::size_t at = pick(data.size());
      for (std::size_t i = at; i < std::min(data.size(), at + 64 + pick(4096)); ++i)
        data[i] = static_cast<std::uint8_t>(rng());
      break;
    }
    default: {  // a block repeated elsewhere
      const std::size_t from = pick(data.size()), to = pick(data.size());
      const std::size_t n = std::min({data.size() - from, data.size() - to, 256 + pick(8192)});
      std::copy_n(data.begin() + static_cast<long>(from), n, data.begin() + static_cast<long>(to));
      break;
    }
  }
  return data;
}

class Fuzz : public testing::TestWithParam<const char*> {};

TEST_P(Fuzz, MutatedFilesLoadOrFailButNeverHang) {
  const std::string fixture = GetParam();
  const auto original = ReadFile(Fixture(fixture));
  ASSERT_FALSE(original.empty());
  int rounds = 12;
  if (const char* v = std::getenv("LUMORA_FUZZ_ROUNDS")) rounds = std::max(1, std::atoi(v));
  const std::string ext = Fixture(fixture).substr(Fixture(fixture).rfind('.'));
  int played = 0;
  for (int r = 0; r < rounds; ++r) {
    const std::uint32_t seed = static_cast<std::uint32_t>(1000 * (r + 1) + fixture.size());
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::string path = FixtureDir() + "/fuzz_" + fixture + "_" + std::to_string(seed) + ext;
    WriteFile(path, Mutate(original, seed));
    TPlayback p;
    if (!p.Open(path)) continue;  // refused at load or connection: fine
    ++played;
    EXPECT_TRUE(RunToCompletion(p.graph.get(), 20000)) << "no end of stream";
    // The rest of the file can be sought to as well.
    p.Control()->Pause();
    LONGLONG pos = 5000000;
    p.Seeking()->SetPositions(&pos, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame,
                              nullptr, AM_SEEKING_NoPositioning);
    EXPECT_TRUE(RunToCompletion(p.graph.get(), 20000)) << "no end of stream after a seek";
  }
  RecordProperty("played", played);
}

INSTANTIATE_TEST_SUITE_P(Files, Fuzz,
                         testing::Values("mkv", "webm", "mp3", "flac", "wav16", "video_only"));

}  // namespace
