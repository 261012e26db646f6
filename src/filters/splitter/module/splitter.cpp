#include "filters/splitter/module/splitter.h"

#include <algorithm>
#include <cstdlib>

#include "directshow/wide_string.h"
#include "filters/codec_format.h"

namespace {

constexpr const char* kNoSubtitles = "No subtitles";
constexpr std::array<const char*, TLAVSplitter::kSlots> kPinNames{"Video", "Audio", "Subtitle"};

const GUID& MajorTypeOf(TCodecKind kind) {
  switch (kind) {
    case TCodecKind::Video:
      return MEDIATYPE_Video;
    case TCodecKind::Audio:
      return MEDIATYPE_Audio;
    default:
      return MEDIATYPE_Subtitle;
  }
}

}  // namespace

TLAVSplitter::TLAVSplitter() : ComExtend("LAV Splitter", CLSID_LAVSplitter) {
  ff::ConfigureLogging();
}

TLAVSplitter::~TLAVSplitter() {
  StopDemux();
  for (auto& pin : fPins) pin.reset();
}

std::chrono::milliseconds TLAVSplitter::NetworkTimeout() {
  if (const char* v = std::getenv("LUMORA_NETWORK_TIMEOUT_MS")) {
    char* end = nullptr;
    const long ms = std::strtol(v, &end, 10);
    if (end != v && ms > 0) return std::chrono::milliseconds(ms);
  }
  return std::chrono::seconds(10);
}

// ---------------------------------------------------------------------------
// IFileSourceFilter

HRESULT TLAVSplitter::Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE*) {
  if (!pszFileName) return E_POINTER;
  TBCAutoLock lock(FilterLock());
  if (fDemuxer) return E_UNEXPECTED;
  fFileName = std::u16string(ds::WideView(pszFileName));
  const HRESULT hr = LoadLocked(ds::ToUtf8(fFileName));
  if (FAILED(hr)) {
    fDemuxer.reset();
    fStreams.clear();
    fEntries.clear();
  }
  return hr;
}

HRESULT TLAVSplitter::LoadLocked(const std::string& url) {
  auto demuxer = std::make_unique<TDemuxer>();
  const HRESULT hr = demuxer->Open(url, NetworkTimeout());
  if (FAILED(hr)) return hr;
  fDemuxer = std::move(demuxer);
  fStreams = DescribeStreams(*fDemuxer->Context());

  TSelectionRules rules;
  rules.audioLanguages = ParseLanguageList(fAudioLanguages);
  rules.subtitleLanguages = ParseLanguageList(fSubtitleLanguages);
  rules.subtitleMode = fSubtitleMode;
  rules.preferHighQualityAudio = fPreferHQAudio;

  bool hasSubtitles = false;
  for (int g = 0; g < kSlots; ++g) {
    const auto group = static_cast<TStreamGroup>(g);
    for (int i = 0; i < static_cast<int>(fStreams.size()); ++i)
      if (fStreams[i].group == group) fEntries.push_back({i, group});
    const auto first = std::find_if(fStreams.begin(), fStreams.end(),
                                    [&](const TStreamInfo& s) { return s.group == group; });
    if (first == fStreams.end()) continue;
    if (group == TStreamGroup::Subtitle) {
      hasSubtitles = true;
      fEntries.push_back({-1, group});
    }
    const int chosen = ChooseStream(fStreams, group, rules);
    fSlots[g].stream = chosen >= 0 ? fStreams[chosen].index : -1;
    const int typeStream = chosen >= 0 ? fStreams[chosen].index : first->index;
    fPins[g] = std::make_unique<TSplitterPin>(this, g, kPinNames[g], StreamType(typeStream));
  }
  (void)hasSubtitles;
  fVideoStream = fSlots[0].stream;

  const REFERENCE_TIME duration = fDemuxer->Duration();
  auto seeking = std::make_unique<TSplitterSeeking>(this, duration);
  DWORD caps = AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
  if (fDemuxer->Seekable())
    caps |= AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards;
  seeking->SetCapabilities(caps);
  EnableSeeking(std::move(seeking));
  fSegmentStart = 0;
  fSegmentStop = duration > 0 ? duration : MAX_TIME;
  fQueues.SetMemoryLimit(static_cast<std::size_t>(fQueueMemMB) << 20);
  IncrementPinVersion();
  return S_OK;
}

HRESULT TLAVSplitter::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) {
  if (!ppszFileName) return E_POINTER;
  TBCAutoLock lock(FilterLock());
  *ppszFileName = nullptr;
  if (!fDemuxer) return E_FAIL;
  *ppszFileName = ds::CoTaskStrDup(fFileName);
  if (!*ppszFileName) return E_OUTOFMEMORY;
  if (pmt) {
    *pmt = AM_MEDIA_TYPE{};
    pmt->majortype = MEDIATYPE_Stream;
  }
  return S_OK;
}

TBCMediaType TLAVSplitter::StreamType(int streamIndex) const {
  TBCMediaType mt;
  const AVStream* st = fDemuxer->Stream(streamIndex);
  if (!st) return mt;
  const TCodecFormat format = ff::CodecFormatOf(*st);
  mt.SetType(&MajorTypeOf(format.kind));
  mt.SetSubtype(&MEDIASUBTYPE_LumoraCodec);
  mt.SetTemporalCompression(true);
  mt.SetVariableSize();
  const AVCodecParameters* p = st->codecpar;
  WriteCodecFormat(
      mt, format,
      {p->extradata,
       p->extradata_size > 0 ? static_cast<std::size_t>(p->extradata_size) : std::size_t{0}});
  return mt;
}

TSplitterPin* TLAVSplitter::PinOfSlot(int slot) const {
  return slot >= 0 && slot < kSlots ? fPins[static_cast<std::size_t>(slot)].get() : nullptr;
}

// ---------------------------------------------------------------------------
// State changes

HRESULT TLAVSplitter::Pause() {
  TBCAutoLock lock(FilterLock());
  const bool wasStopped = IsStopped();
  const HRESULT hr = ComExtend::Pause();
  if (FAILED(hr) || !fDemuxer) return hr;
  if (wasStopped || !fDemuxThread.joinable()) {
    for (int s = 0; s < kSlots; ++s) {
      TSplitterPin* pin = PinOfSlot(s);
      fQueues.SetOpen(s, pin && pin->IsConnected());
    }
    if (fNeedSeek) {
      SeekDemuxer(SegmentStart());
      fNeedSeek = false;
    }
    StartDemux();
  }
  return hr;
}

HRESULT TLAVSplitter::Run(REFERENCE_TIME tStart) {
  TBCAutoLock lock(FilterLock());
  if (IsStopped()) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  return ComExtend::Run(tStart);
}

HRESULT TLAVSplitter::Stop() {
  TBCAutoLock lock(FilterLock());
  StopDemux();
  const HRESULT hr = ComExtend::Stop();
  fQueues.ClearAll();
  // The next run starts again at the segment start.
  if (fDemuxer) fNeedSeek = true;
  return hr;
}

// ---------------------------------------------------------------------------
// Demux thread

void TLAVSplitter::StartDemux() {
  if (fDemuxThread.joinable() || !fDemuxer) return;
  fDemuxStop = false;
  fDemuxer->ClearAbort();
  fQueues.Resume();
  fDemuxThread = std::thread([this] { DemuxLoop(); });
}

void TLAVSplitter::StopDemux() {
  if (!fDemuxThread.joinable()) return;
  fDemuxStop = true;
  if (fDemuxer) fDemuxer->Abort();
  fQueues.Interrupt();
  fDemuxThread.join();
  fDemuxStop = false;
  if (fDemuxer) fDemuxer->ClearAbort();
  fQueues.Resume();
}

void TLAVSplitter::ResetSlots() {
  for (TSlotState& s : fSlots) {
    s.ended = false;
    s.waitKeyFrame = false;
    s.skipUntilDts.reset();
    s.dropBefore.reset();
    s.lastQueuedDts.reset();
  }
}

void TLAVSplitter::SeekDemuxer(REFERENCE_TIME t) {
  fDemuxer->Seek(t, fVideoStream);
  ResetSlots();
  for (auto& pin : fPins)
    if (pin) {
      pin->MarkDiscontinuity();
      pin->ResetLastDelivered();
    }
}

void TLAVSplitter::QueueEndOfStream(int slot) {
  TSlotState& s = fSlots[static_cast<std::size_t>(slot)];
  if (s.ended) return;
  s.ended = true;
  fQueues.Push(slot, TQueuedPacket{});
}

void TLAVSplitter::DemuxLoop() {
  TBCSourceSeeking* seeking = Seeking();
  for (;;) {
    if (fDemuxStop.load()) return;
    ff::PacketPtr pkt(av_packet_alloc());
    if (!pkt) return;
    const int err = fDemuxer->Read(pkt.get());
    if (fDemuxStop.load()) return;
    if (err < 0) {
      // End of file, or a read error: every open pin ends its stream.
      for (int s = 0; s < kSlots; ++s)
        if (PinOfSlot(s)) QueueEndOfStream(s);
      return;
    }
    int slot = -1;
    for (int s = 0; s < kSlots; ++s)
      if (fSlots[s].stream >= 0 && fSlots[s].stream == pkt->stream_index) slot = s;
    if (slot < 0) continue;
    TSlotState& state = fSlots[static_cast<std::size_t>(slot)];
    if (state.ended) continue;

    const std::optional<REFERENCE_TIME> t = fDemuxer->PacketTime(*pkt);
    const REFERENCE_TIME duration = fDemuxer->PacketDuration(*pkt);
    if (state.waitKeyFrame) {
      if (!(pkt->flags & AV_PKT_FLAG_KEY)) continue;
      state.waitKeyFrame = false;
    }
    const std::int64_t dts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
    if (state.skipUntilDts) {
      if (dts == AV_NOPTS_VALUE || dts <= *state.skipUntilDts) continue;
      state.skipUntilDts.reset();
    }
    if (state.dropBefore) {
      if (t && *t + duration < *state.dropBefore) continue;
      state.dropBefore.reset();
    }
    if (t && seeking) {
      const REFERENCE_TIME stop = seeking->StopPosition();
      const REFERENCE_TIME total = seeking->Duration();
      if (total > 0 && stop < total && *t >= stop) {
        QueueEndOfStream(slot);
        bool all = true;
        for (int s = 0; s < kSlots; ++s)
          if (PinOfSlot(s) && !fSlots[s].ended) all = false;
        if (all) return;
        continue;
      }
    }

    TQueuedPacket item;
    if (t) {
      item.hasTime = true;
      item.start = *t;
      if (duration > 0) {
        item.hasStop = true;
        item.stop = *t + duration;
      }
    }
    if (dts != AV_NOPTS_VALUE) state.lastQueuedDts = dts;
    item.packet = std::move(pkt);
    if (!fQueues.WaitForSpace(slot)) return;
    fQueues.Push(slot, std::move(item));
  }
}

// ---------------------------------------------------------------------------
// Seeking

HRESULT TLAVSplitter::OnSeek() {
  TBCAutoLock lock(FilterLock());
  if (!fDemuxer) return E_UNEXPECTED;
  StopDemux();
  fQueues.ClearAll();
  TBCSourceSeeking* seeking = Seeking();
  fSegmentStart = seeking ? seeking->StartPosition() : 0;
  fSegmentStop = seeking ? seeking->StopPosition() : MAX_TIME;
  const HRESULT hr = RestartStreams();
  fQueues.ClearAll();
  SeekDemuxer(SegmentStart());
  fNeedSeek = false;
  if (IsActive()) StartDemux();
  return hr;
}

REFERENCE_TIME TLAVSplitter::SnapToKeyFrame(REFERENCE_TIME t) {
  TBCAutoLock lock(FilterLock());
  if (!fDemuxer || fVideoStream < 0) return t;
  // The demuxer is probed with the demux thread stopped; the seek that
  // follows positions it again and restarts the thread.
  StopDemux();
  const std::optional<REFERENCE_TIME> key = fDemuxer->KeyFrameAtOrBefore(fVideoStream, t);
  fNeedSeek = true;
  return key && *key <= t ? std::max<REFERENCE_TIME>(*key, 0) : t;
}

// ---------------------------------------------------------------------------
// IAMStreamSelect

HRESULT TLAVSplitter::Count(DWORD* pcStreams) {
  if (!pcStreams) return E_POINTER;
  TBCAutoLock lock(FilterLock());
  *pcStreams = static_cast<DWORD>(fEntries.size());
  return S_OK;
}

HRESULT TLAVSplitter::Info(LONG lIndex, AM_MEDIA_TYPE** ppmt, DWORD* pdwFlags, LCID* plcid,
                           DWORD* pdwGroup, LPWSTR* ppszName, IUnknown** ppObject,
                           IUnknown** ppUnk) {
  TBCAutoLock lock(FilterLock());
  if (ppmt) *ppmt = nullptr;
  if (ppszName) *ppszName = nullptr;
  if (ppObject) *ppObject = nullptr;
  if (ppUnk) *ppUnk = nullptr;
  if (lIndex < 0 || lIndex >= static_cast<LONG>(fEntries.size())) return S_FALSE;
  const TEntry& e = fEntries[static_cast<std::size_t>(lIndex)];
  const int slot = SlotOfGroup(e.group);
  const int selected = fSlots[static_cast<std::size_t>(slot)].stream;
  const TStreamInfo* info = e.stream >= 0 ? &fStreams[static_cast<std::size_t>(e.stream)] : nullptr;
  const bool enabled = info ? info->index == selected : selected < 0;
  if (pdwFlags) *pdwFlags = enabled ? AMSTREAMSELECTINFO_ENABLED : 0;
  if (plcid) *plcid = info ? info->lcid : 0;
  if (pdwGroup) *pdwGroup = static_cast<DWORD>(e.group);
  if (ppszName) {
    *ppszName = ds::CoTaskStrDup(ds::ToUtf16(info ? info->name : kNoSubtitles));
    if (!*ppszName) return E_OUTOFMEMORY;
  }
  if (ppmt && info) {
    TBCMediaType mt = StreamType(info->index);
    *ppmt = CreateMediaType(&mt);
  }
  return S_OK;
}

HRESULT TLAVSplitter::Enable(LONG lIndex, DWORD dwFlags) {
  TBCAutoLock lock(FilterLock());
  if (lIndex < 0 || lIndex >= static_cast<LONG>(fEntries.size())) return E_INVALIDARG;
  if (dwFlags & AMSTREAMSELECTENABLE_ENABLEALL) return E_NOTIMPL;
  const TEntry& e = fEntries[static_cast<std::size_t>(lIndex)];
  const int slot = SlotOfGroup(e.group);
  int target = e.stream >= 0 ? fStreams[static_cast<std::size_t>(e.stream)].index : -1;
  if (!(dwFlags & AMSTREAMSELECTENABLE_ENABLE)) {
    // Disabling is possible only for subtitles (no subtitle stream).
    if (e.group != TStreamGroup::Subtitle || e.stream < 0) return E_NOTIMPL;
    if (fSlots[static_cast<std::size_t>(slot)].stream != target) return S_OK;
    target = -1;
  }
  return SwitchStream(slot, target);
}

REFERENCE_TIME TLAVSplitter::CurrentPosition(int slot) {
  REFERENCE_TIME t = 0;
  if (State() == State_Running && SUCCEEDED(StreamTime(&t)))
    return std::max<REFERENCE_TIME>(SegmentStart() + t, 0);
  if (TSplitterPin* pin = PinOfSlot(slot))
    if (const auto last = pin->LastDelivered()) return *last;
  for (const auto& pin : fPins)
    if (pin)
      if (const auto last = pin->LastDelivered()) return *last;
  return SegmentStart();
}

HRESULT TLAVSplitter::SwitchStream(int slot, int avStream) {
  TSplitterPin* pin = PinOfSlot(slot);
  if (!pin) return E_UNEXPECTED;
  TSlotState& state = fSlots[static_cast<std::size_t>(slot)];
  if (state.stream == avStream) return S_OK;
  if (avStream >= 0) pin->SetStreamType(StreamType(avStream));
  if (slot == 0) fVideoStream = avStream;

  if (!fDemuxThread.joinable() || !pin->IsConnected()) {
    // Not streaming: the next run reads the new stream from the segment.
    state.stream = avStream;
    return S_OK;
  }

  // Streaming: only this pin's path is flushed; the other pins go on with
  // what they have queued and skip what they already received once the
  // demuxer has been moved back to the playing position.
  const REFERENCE_TIME position = CurrentPosition(slot);
  StopDemux();
  pin->DeliverBeginFlush();
  fQueues.Hold(slot);
  fQueues.Clear(slot);
  pin->DeliverEndFlush();
  pin->DeliverNewSegment(SegmentStart(), SegmentStop(), 1.0);
  pin->MarkDiscontinuity();
  pin->ResetLastDelivered();

  for (int s = 0; s < kSlots; ++s) {
    TSlotState& other = fSlots[static_cast<std::size_t>(s)];
    if (s == slot) continue;
    other.skipUntilDts = other.lastQueuedDts;
    other.dropBefore.reset();
    other.waitKeyFrame = false;
  }
  state.stream = avStream;
  state.ended = false;
  state.skipUntilDts.reset();
  state.lastQueuedDts.reset();
  state.dropBefore = position;
  state.waitKeyFrame = slot == 0;
  fDemuxer->Seek(position, slot == 0 ? avStream : fVideoStream);
  fQueues.Release(slot);
  StartDemux();
  return S_OK;
}

// ---------------------------------------------------------------------------
// ILAVFSettings

HRESULT TLAVSplitter::SetRuntimeConfig(BOOL b) {
  TBCAutoLock lock(FilterLock());
  fRuntimeConfig = FromBOOL(b);
  return S_OK;
}
BOOL TLAVSplitter::GetRuntimeConfig() {
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fRuntimeConfig);
}

HRESULT TLAVSplitter::SetPreferredLanguages(LPCWSTR p) {
  TBCAutoLock lock(FilterLock());
  fAudioLanguages = p ? ds::ToUtf8(ds::WideView(p)) : std::string();
  return S_OK;
}
HRESULT TLAVSplitter::GetPreferredLanguages(LPWSTR* pp) {
  if (!pp) return E_POINTER;
  TBCAutoLock lock(FilterLock());
  *pp = ds::CoTaskStrDup(ds::ToUtf16(fAudioLanguages));
  return *pp ? S_OK : E_OUTOFMEMORY;
}
HRESULT TLAVSplitter::SetPreferredSubtitleLanguages(LPCWSTR p) {
  TBCAutoLock lock(FilterLock());
  fSubtitleLanguages = p ? ds::ToUtf8(ds::WideView(p)) : std::string();
  return S_OK;
}
HRESULT TLAVSplitter::GetPreferredSubtitleLanguages(LPWSTR* pp) {
  if (!pp) return E_POINTER;
  TBCAutoLock lock(FilterLock());
  *pp = ds::CoTaskStrDup(ds::ToUtf16(fSubtitleLanguages));
  return *pp ? S_OK : E_OUTOFMEMORY;
}

HRESULT TLAVSplitter::SetSubtitleMode(LAVSubtitleMode mode) {
  if (mode < LAVSubtitleMode_NoSubs || mode > LAVSubtitleMode_Advanced) return E_INVALIDARG;
  TBCAutoLock lock(FilterLock());
  fSubtitleMode = mode;
  return S_OK;
}
LAVSubtitleMode TLAVSplitter::GetSubtitleMode() {
  TBCAutoLock lock(FilterLock());
  return fSubtitleMode;
}

HRESULT TLAVSplitter::SetMaxQueueMemSize(DWORD mb) {
  if (mb == 0 || mb > 4096) return E_INVALIDARG;
  TBCAutoLock lock(FilterLock());
  fQueueMemMB = mb;
  fQueues.SetMemoryLimit(static_cast<std::size_t>(mb) << 20);
  return S_OK;
}
DWORD TLAVSplitter::GetMaxQueueMemSize() {
  TBCAutoLock lock(FilterLock());
  return fQueueMemMB;
}

HRESULT TLAVSplitter::SetTrayIcon(BOOL b) {
  TBCAutoLock lock(FilterLock());
  fTrayIcon = FromBOOL(b);
  return S_OK;
}
BOOL TLAVSplitter::GetTrayIcon() {
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fTrayIcon);
}

HRESULT TLAVSplitter::SetPreferHighQualityAudioStreams(BOOL b) {
  TBCAutoLock lock(FilterLock());
  fPreferHQAudio = FromBOOL(b);
  return S_OK;
}
BOOL TLAVSplitter::GetPreferHighQualityAudioStreams() {
  TBCAutoLock lock(FilterLock());
  return ToBOOL(fPreferHQAudio);
}
