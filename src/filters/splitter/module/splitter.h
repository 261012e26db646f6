#pragma once
// TLAVSplitter: the source filter of "LAVSplitter.ax". IFileSourceFilter
// opens a file or network address; the filter then has an output pin
// "Video", "Audio" and "Subtitle" for each kind of stream present, carrying
// the selected stream of that kind; IAMStreamSelect lists and switches the
// streams; IMediaSeeking (on the pins) seeks, to key frames on request.
//
// Threads
// - Application threads: every interface method. State lives under the
//   filter lock.
// - The demux thread reads packets and queues them per pin (TPacketQueues,
//   bounded by the queue memory setting). It runs while the filter is
//   active and is stopped and joined on Stop, on every seek and stream
//   switch and on destruction; it never takes the filter lock.
// - Each connected pin's streaming thread delivers its queue downstream.
// Seeking: stop the demux thread, drop the queues, flush and restart the
// pin threads (TBCSource::RestartStreams), reposition, start the demux
// thread. Sample times are relative to the seek target (the segment start).

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "directshow/source.h"
#include "directshow/source_seeking.h"
#include "filters/lav_settings.h"
#include "filters/splitter/module/demuxer.h"
#include "filters/splitter/module/packet_queue.h"
#include "filters/splitter/module/splitter_pin.h"
#include "filters/splitter/module/stream_info.h"

class TLAVSplitter final : public ComExtend<TBCSource, IFileSourceFilter, IAMStreamSelect,
                                            ILAVFSettings, IAMFilterMiscFlags> {
 public:
  static constexpr int kSlots = 3;  // video, audio, subtitles

  TLAVSplitter();
  ~TLAVSplitter() override;

  // IMediaFilter
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;

  // IFileSourceFilter
  HRESULT Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;

  // IAMStreamSelect
  HRESULT Count(DWORD* pcStreams) override;
  HRESULT Info(LONG lIndex, AM_MEDIA_TYPE** ppmt, DWORD* pdwFlags, LCID* plcid, DWORD* pdwGroup,
               LPWSTR* ppszName, IUnknown** ppObject, IUnknown** ppUnk) override;
  HRESULT Enable(LONG lIndex, DWORD dwFlags) override;

  // ILAVFSettings
  HRESULT SetRuntimeConfig(BOOL bRuntimeConfig) override;
  BOOL GetRuntimeConfig() override;
  HRESULT SetPreferredLanguages(LPCWSTR pLanguages) override;
  HRESULT GetPreferredLanguages(LPWSTR* ppLanguages) override;
  HRESULT SetPreferredSubtitleLanguages(LPCWSTR pLanguages) override;
  HRESULT GetPreferredSubtitleLanguages(LPWSTR* ppLanguages) override;
  HRESULT SetSubtitleMode(LAVSubtitleMode mode) override;
  LAVSubtitleMode GetSubtitleMode() override;
  HRESULT SetMaxQueueMemSize(DWORD dwMaxSize) override;
  DWORD GetMaxQueueMemSize() override;
  HRESULT SetTrayIcon(BOOL bEnabled) override;
  BOOL GetTrayIcon() override;
  HRESULT SetPreferHighQualityAudioStreams(BOOL bEnabled) override;
  BOOL GetPreferHighQualityAudioStreams() override;

  // IAMFilterMiscFlags
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

  // For the pins (any thread).
  TPacketQueues& Queues() { return fQueues; }
  REFERENCE_TIME SegmentStart() const { return fSegmentStart.load(); }
  REFERENCE_TIME SegmentStop() const { return fSegmentStop.load(); }

  // For the seeking object (application thread, no lock held).
  HRESULT OnSeek();
  REFERENCE_TIME SnapToKeyFrame(REFERENCE_TIME t);

  // How long a network open may take (LUMORA_NETWORK_TIMEOUT_MS, default
  // 10 s).
  static std::chrono::milliseconds NetworkTimeout();

 private:
  struct TEntry {     // one line of the stream selection
    int stream = -1;  // index into fStreams; -1: "No subtitles"
    TStreamGroup group = TStreamGroup::Subtitle;
  };
  struct TSlotState {    // demux-thread state of a pin's slot
    int stream = -1;     // AVStream index carried, -1 none
    bool ended = false;  // end of stream queued
    bool waitKeyFrame = false;
    // Drop packets decoded at or before this time stamp (the stream's time
    // base): they were queued before the demuxer moved back.
    std::optional<std::int64_t> skipUntilDts;
    std::optional<std::int64_t> lastQueuedDts;
    std::optional<REFERENCE_TIME> dropBefore;  // drop packets ending before
  };

  HRESULT LoadLocked(const std::string& url);
  TBCMediaType StreamType(int streamIndex) const;
  TSplitterPin* PinOfSlot(int slot) const;
  int SlotOfGroup(TStreamGroup g) const { return static_cast<int>(g); }
  HRESULT SwitchStream(int slot, int avStream);
  REFERENCE_TIME CurrentPosition(int slot);

  void StartDemux();
  void StopDemux();
  void DemuxLoop();
  void QueueEndOfStream(int slot);
  void ResetSlots();
  void SeekDemuxer(REFERENCE_TIME t);

  TPacketQueues fQueues{kSlots};
  std::unique_ptr<TDemuxer> fDemuxer;
  std::u16string fFileName;
  std::vector<TStreamInfo> fStreams;
  std::vector<TEntry> fEntries;
  std::array<std::unique_ptr<TSplitterPin>, kSlots> fPins;
  std::array<TSlotState, kSlots> fSlots;  // the demux thread's while it runs
  int fVideoStream = -1;                  // AVStream index of the video stream for seeking
  std::atomic<REFERENCE_TIME> fSegmentStart{0};
  std::atomic<REFERENCE_TIME> fSegmentStop{MAX_TIME};
  bool fNeedSeek = false;  // the demuxer is not at the segment start

  std::thread fDemuxThread;
  std::atomic<bool> fDemuxStop{false};

  // Settings.
  bool fRuntimeConfig = false;
  std::string fAudioLanguages;
  std::string fSubtitleLanguages;
  LAVSubtitleMode fSubtitleMode = LAVSubtitleMode_Default;
  DWORD fQueueMemMB = 256;
  bool fTrayIcon = false;
  bool fPreferHQAudio = true;
};

// Seeking for the splitter's pins.
class TSplitterSeeking final : public TBCSourceSeeking {
 public:
  TSplitterSeeking(TLAVSplitter* splitter, REFERENCE_TIME duration)
      : TBCSourceSeeking(splitter, duration), fSplitter(splitter) {}

 protected:
  HRESULT ChangeStart() override { return fSplitter->OnSeek(); }
  REFERENCE_TIME SnapToKeyFrame(REFERENCE_TIME target) override {
    return fSplitter->SnapToKeyFrame(target);
  }

 private:
  TLAVSplitter* const fSplitter;
};
