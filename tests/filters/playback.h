#pragma once
// A graph of splitter -> decoders -> collecting sinks for one file.

#include <memory>
#include <string>

#include "filters/audio_decoder/module/audio_decoder.h"
#include "filters/splitter/module/splitter.h"
#include "filters/video_decoder/module/video_decoder.h"
#include "test_graph.h"

namespace fxt {

struct TPlaybackOptions {
  LAVOutPixFmts videoFormat = LAVOutPixFmt_NV12;  // the one output format enabled
  bool keepVideo = false;
  bool keepAudio = true;
  const char* audioLanguages = nullptr;
};

struct TPlayback {
  ComPtr<IFilterGraph2> graph;
  ComPtr<TLAVSplitter> splitter;
  ComPtr<TLAVVideo> video;
  ComPtr<TLAVAudio> audio;
  ComPtr<TCollectSink> videoSink;
  ComPtr<TCollectSink> audioSink;
  HRESULT loadResult = E_FAIL;

  // Loads `url` and connects every pin the file has.
  bool Open(const std::string& url, const TPlaybackOptions& options = {});
  ComPtr<IMediaControl> Control() { return graph.As<IMediaControl>(); }
  ComPtr<IMediaSeeking> Seeking() { return graph.As<IMediaSeeking>(); }
  ~TPlayback();
};

}  // namespace fxt
