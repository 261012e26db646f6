// Network opens: the fixtures served over HTTP on the loopback interface
// play and seek; an address that never answers fails within the time-out.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "directshow/dshow.h"
#include "fixtures.h"
#include "http_server.h"
#include "playback.h"

using namespace fxt;

TEST(Network, HttpFilePlaysAndSeeks) {
  const std::string file = Fixture("mkv");
  TTestHttpServer server(FixtureDir());
  TPlayback p;
  ASSERT_TRUE(p.Open(server.Url(file.substr(file.rfind('/') + 1))));
  DWORD streams = 0;
  p.splitter->Count(&streams);
  EXPECT_EQ(streams, 5u);
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  EXPECT_EQ(p.videoSink->Count(), 50u);
  // Seek back to a key frame and play the rest again.
  p.Control()->Pause();
  p.videoSink->Clear();
  LONGLONG pos = 10000000;
  ASSERT_EQ(
      p.Seeking()->SetPositions(
          &pos, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame | AM_SEEKING_ReturnTime,
          nullptr, AM_SEEKING_NoPositioning),
      S_OK);
  EXPECT_NEAR(Seconds(pos), 0.96, 0.05);
  ASSERT_TRUE(RunToCompletion(p.graph.get()));
  EXPECT_EQ(p.videoSink->Count(), 26u);
}

TEST(Network, AnAddressThatNeverAnswersFailsWithinTheTimeOut) {
  setenv("LUMORA_NETWORK_TIMEOUT_MS", "1500", 1);
  TTestHttpServer silent(FixtureDir(), true);
  auto splitter = MakeCom<TLAVSplitter>();
  const auto started = std::chrono::steady_clock::now();
  const HRESULT hr = splitter->Load(ds::ToUtf16(silent.Url("any.mkv")).c_str(), nullptr);
  const auto took = std::chrono::steady_clock::now() - started;
  unsetenv("LUMORA_NETWORK_TIMEOUT_MS");
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(hr, VFW_E_TIMEOUT);
  EXPECT_GE(took, std::chrono::milliseconds(1400));
  EXPECT_LT(took, std::chrono::seconds(6));
  EXPECT_GE(silent.Requests(), 1);
}

TEST(Network, MissingRemoteFileFails) {
  TTestHttpServer server(FixtureDir());
  auto splitter = MakeCom<TLAVSplitter>();
  EXPECT_TRUE(FAILED(splitter->Load(ds::ToUtf16(server.Url("no_such.mkv")).c_str(), nullptr)));
}
