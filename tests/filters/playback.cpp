#include "playback.h"

namespace fxt {

bool TPlayback::Open(const std::string& url, const TPlaybackOptions& options) {
  graph = CreateFilterGraph();
  splitter = MakeCom<TLAVSplitter>();
  if (options.audioLanguages)
    splitter->SetPreferredLanguages(ds::ToUtf16(options.audioLanguages).c_str());
  graph->AddFilter(splitter.get(), u"LAV source");
  loadResult = splitter->Load(ds::ToUtf16(url).c_str(), nullptr);
  if (FAILED(loadResult)) return false;
  if (HasPin(splitter.get(), "Video")) {
    video = MakeCom<TLAVVideo>();
    for (int f = 0; f < LAVOutPixFmt_NB; ++f)
      video->SetPixelFormat(static_cast<LAVOutPixFmts>(f), BOOL_FALSE);
    video->SetPixelFormat(options.videoFormat, BOOL_TRUE);
    videoSink = MakeCom<TCollectSink>(MEDIATYPE_Video, options.keepVideo);
    graph->AddFilter(video.get(), u"LAV Video decoder");
    graph->AddFilter(videoSink.get(), u"video sink");
    if (FAILED(ConnectByName(graph.get(), splitter.get(), "Video", video.get(), "In")) ||
        FAILED(ConnectByName(graph.get(), video.get(), "Out", videoSink.get(), "In")))
      return false;
  }
  if (HasPin(splitter.get(), "Audio")) {
    audio = MakeCom<TLAVAudio>();
    audioSink = MakeCom<TCollectSink>(MEDIATYPE_Audio, options.keepAudio);
    graph->AddFilter(audio.get(), u"LAV Audio decoder");
    graph->AddFilter(audioSink.get(), u"audio sink");
    if (FAILED(ConnectByName(graph.get(), splitter.get(), "Audio", audio.get(), "In")) ||
        FAILED(ConnectByName(graph.get(), audio.get(), "Out", audioSink.get(), "In")))
      return false;
  }
  return true;
}

TPlayback::~TPlayback() {
  if (auto control = graph ? graph.As<IMediaControl>() : nullptr) control->Stop();
}

}  // namespace fxt
