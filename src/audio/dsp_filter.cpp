#include "audio/dsp_filter.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "audio/running_object_table.h"

namespace {

std::atomic<LONG> gInstances{0};

// The host whose audio the filter refuses to take.
constexpr std::string_view kRefusedHost = "war3.exe";

// Eight seconds at 44100 Hz.
constexpr LONG kBufferFrames = 352800;

std::string RunningExecutableName() {
  std::error_code ec;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.filename().string();
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool IsAcceptedSubtype(const GUID& subtype) {
  return subtype == MEDIASUBTYPE_PCM || subtype == MEDIASUBTYPE_DOLBY_AC3_SPDIF ||
         subtype == MEDIASUBTYPE_IEEE_FLOAT || subtype == GUID_NULL;
}

// Tags that mark compressed audio framed for S/PDIF and DTS.
constexpr WORD kTagSpdif2 = 0x2000;
constexpr WORD kTagDts2 = 0x2001;

}  // namespace

TDCDSPFilter::TDCDSPFilter(std::string objectName, TDCDSPFilterOptions options)
    : ComExtend(std::move(objectName), CLSID_DCDSPFilter), fOptions(std::move(options)) {
  const std::string host =
      fOptions.hostExecutable.empty() ? RunningExecutableName() : fOptions.hostExecutable;
  fHostRefused = Lower(host) == kRefusedHost;
  fThisInstance = gInstances.fetch_add(1, std::memory_order_acq_rel) + 1;
}

TDCDSPFilter::~TDCDSPFilter() {
  JoinStopThreads();
  {
    TBCAutoLock lock(fLock);
    RevokeRunningObjectTableLocked();
  }
  // The output pin's pass-throughs refer to the input pins: output first.
  fOutput.reset();
  fExtraPins.clear();
  fPinList.clear();
  fInput.reset();
  gInstances.fetch_sub(1, std::memory_order_acq_rel);
}

LONG TDCDSPFilter::InstanceCount() { return gInstances.load(std::memory_order_acquire); }

HRESULT TDCDSPFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IAMStreamSelect::iid) {
    *ppv = nullptr;
    TBCAutoLock lock(fLock);
    if (!fEnableStreamSwitching) return E_NOINTERFACE;
    if (fEnableStreamSwitchingInterface) {
      const auto connected =
          std::count_if(fPinList.begin(), fPinList.end(),
                        [](TDCDSPFilterInputPin* p) { return p->IsConnected(); });
      if (connected <= 1) return E_NOINTERFACE;
    }
  }
  return ComExtend::NonDelegatingQueryInterface(riid, ppv);
}

// ---------------------------------------------------------------------------
// Pins

void TDCDSPFilter::CreatePinsLocked() {
  if (fInput) return;
  auto input = std::make_unique<TDCDSPFilterInputPin>(this, 0);
  fPinList.push_back(input.get());
  fActivePin = input.get();
  fInput = std::move(input);
  fOutput = std::make_unique<TDCDSPFilterOutputPin>(this);
}

int TDCDSPFilter::GetPinCount() {
  TBCAutoLock lock(fLock);
  CreatePinsLocked();
  return static_cast<int>(fPinList.size()) + 1;
}

TBCBasePin* TDCDSPFilter::GetPin(int n) {
  TBCAutoLock lock(fLock);
  CreatePinsLocked();
  if (n == 0) return fInput.get();
  if (n == 1) return fOutput.get();
  if (n >= 2 && static_cast<std::size_t>(n - 1) < fPinList.size())
    return fPinList[static_cast<std::size_t>(n - 1)];
  return nullptr;
}

int TDCDSPFilter::InputPinCount() {
  TBCAutoLock lock(fLock);
  CreatePinsLocked();
  return static_cast<int>(fPinList.size());
}

TDCDSPFilterInputPin* TDCDSPFilter::InputPinAt(int index) {
  TBCAutoLock lock(fLock);
  CreatePinsLocked();
  if (index < 0 || static_cast<std::size_t>(index) >= fPinList.size()) return nullptr;
  return fPinList[static_cast<std::size_t>(index)];
}

TDCDSPFilterInputPin* TDCDSPFilter::ActivePin() {
  TBCAutoLock lock(fLock);
  CreatePinsLocked();
  return fActivePin;
}

TDCDSPFilterInputPin* TDCDSPFilter::FirstUnblockedPin() {
  // The list grows only while the filter is stopped (connections), so the
  // streaming thread reads it without the filter lock.
  for (TDCDSPFilterInputPin* pin : fPinList) {
    if (!pin->Blocked()) return pin;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// State

HRESULT TDCDSPFilter::Stop() {
  TBCAutoLock lock(fLock);
  TDCDSPFilterInputPin* active = fActivePin.load();
  if (!IsStopped() && active != nullptr && active->IsConnected()) active->Inactive();
  const HRESULT hr = TBCTransformFilter::Stop();
  JoinStopThreads();
  return hr;
}

HRESULT TDCDSPFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  TBCAutoLock lock(fLock);
  // A registration names the graph this filter was in; it goes with it.
  if (pGraph != Graph()) RevokeRunningObjectTableLocked();
  return TBCTransformFilter::JoinFilterGraph(pGraph, pName);
}

HRESULT TDCDSPFilter::StartStreaming() {
  InitChain();
  return TBCTransformFilter::StartStreaming();
}

void TDCDSPFilter::InitChain() {
  TDSStream stream;
  {
    std::lock_guard state(fStateLock);
    stream = fRealStream;
  }
  fFilters.Init(stream);
}

// ---------------------------------------------------------------------------
// Types

// Connections call it with the filter lock held (the pins' lock). The
// streaming thread calls it too, for a format change carried by a sample
// (the input pin's checks and Transform), holding only the receive lock: it
// therefore takes no lock but the state lock.
HRESULT TDCDSPFilter::CheckInputType(const TBCMediaType* mtIn) {
  if (mtIn == nullptr) return E_POINTER;
  return CheckInputTypeImpl(*mtIn);
}

namespace {

// Steps 2 to 7 of accepting an input type. `recorded` tells whether the type
// got as far as its rate, channels and bits (which are then in stream).
struct TTypeCheck {
  HRESULT hr = S_OK;
  bool recorded = false;
  TDSStream stream{};
};

TTypeCheck DescribeInputType(const TBCMediaType& mt) {
  TTypeCheck r;
  if (mt.majortype != MEDIATYPE_Audio) return {VFW_E_INVALIDMEDIATYPE};
  if (!IsAcceptedSubtype(mt.subtype)) return {VFW_E_INVALIDSUBTYPE};
  if (mt.formattype != FORMAT_WaveFormatEx) return {VFW_E_TYPE_NOT_ACCEPTED};
  // The fields read below end with wBitsPerSample (the 16 bytes every wave
  // format has); a shorter block describes nothing.
  if (mt.pbFormat == nullptr || mt.cbFormat < offsetof(WAVEFORMATEX, cbSize))
    return {VFW_E_TYPE_NOT_ACCEPTED};
  WAVEFORMATEX wfx{};
  std::memcpy(&wfx, mt.pbFormat, std::min<std::size_t>(mt.cbFormat, sizeof wfx));

  r.recorded = true;
  r.stream.Frequency =
      wfx.nSamplesPerSec == 0
          ? 44100
          : static_cast<std::int32_t>(std::min<DWORD>(wfx.nSamplesPerSec, 0x7FFFFFFF));
  r.stream.Channels = wfx.nChannels;
  r.stream.Bits = wfx.wBitsPerSample;
  const int bits = r.stream.Bits;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    r.hr = VFW_E_TYPE_NOT_ACCEPTED;
    return r;
  }
  // No channels: nothing to process, and every duration would divide by 0.
  if (r.stream.Channels == 0) {
    r.hr = VFW_E_TYPE_NOT_ACCEPTED;
    return r;
  }

  const WORD tag = wfx.wFormatTag;
  bool extensibleFloat = false;
  if (tag == WAVE_FORMAT_EXTENSIBLE && mt.cbFormat >= sizeof(WAVEFORMATEXTENSIBLE)) {
    WAVEFORMATEXTENSIBLE ext{};
    std::memcpy(&ext, mt.pbFormat, sizeof ext);
    extensibleFloat = ext.SubFormat == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT;
  }
  r.stream.SPDIF = ToBOOL(tag == WAVE_FORMAT_DOLBY_AC3_SPDIF || tag == kTagSpdif2 ||
                          mt.subtype == MEDIASUBTYPE_DOLBY_AC3_SPDIF);
  r.stream.DTS = ToBOOL(tag == WAVE_FORMAT_DTS || tag == kTagDts2);
  r.stream.Float = ToBOOL(mt.subtype == MEDIASUBTYPE_IEEE_FLOAT || tag == WAVE_FORMAT_IEEE_FLOAT ||
                          extensibleFloat);
  return r;
}

}  // namespace

HRESULT TDCDSPFilter::CheckInputTypeImpl(const TBCMediaType& mt, bool record) {
  if (fHostRefused) return VFW_E_TYPE_NOT_ACCEPTED;
  const TTypeCheck check = DescribeInputType(mt);
  if (!record) return check.hr;

  ComPtr<IDCDSPFilterPCMCallBack> callback;
  TDSStream changed{};
  {
    std::lock_guard state(fStateLock);
    if (check.recorded) {
      fStream.Frequency = check.stream.Frequency;
      fStream.Channels = check.stream.Channels;
      fStream.Bits = check.stream.Bits;
    }
    if (check.hr != S_OK) return check.hr;
    fStream.Float = check.stream.Float;
    fStream.SPDIF = check.stream.SPDIF;
    fStream.DTS = check.stream.DTS;

    fRealStream = fStream;
    if (fCallback && std::memcmp(&fRealStream, &fLastMediaType, sizeof(TDSStream)) != 0) {
      callback = fCallback;
      changed = fRealStream;
    }
    fLastMediaType = fRealStream;
    fCurrentMediaType = mt;
  }
  // Outside the state lock: the client may ask the filter for its format.
  if (callback) callback->MediaTypeChanged(&changed);
  return S_OK;
}

HRESULT TDCDSPFilter::CheckTransform(const TBCMediaType* mtIn, const TBCMediaType*) {
  if (mtIn == nullptr) return E_POINTER;
  if (mtIn->majortype == MEDIATYPE_Audio && IsAcceptedSubtype(mtIn->subtype) &&
      mtIn->formattype == FORMAT_WaveFormatEx)
    return S_OK;
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TDCDSPFilter::GetMediaType(int position, TBCMediaType* mt) {
  if (mt == nullptr) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  TBCAutoLock lock(fLock);
  CreatePinsLocked();
  if (!fInput->IsConnected()) return E_UNEXPECTED;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  TDCDSPFilterInputPin* pin = FirstUnblockedPin();
  if (pin == nullptr || !pin->IsConnected()) return E_UNEXPECTED;
  return mt->Set(pin->CurrentMediaType());
}

HRESULT TDCDSPFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (allocator == nullptr || request == nullptr) return E_POINTER;
  TDSStream stream;
  {
    std::lock_guard state(fStateLock);
    stream = fRealStream;
  }
  const LONGLONG bytes = static_cast<LONGLONG>(stream.Bits / 8) * stream.Channels * kBufferFrames;
  if (bytes <= 0 || bytes > 0x7FFFFFFF) return E_FAIL;
  request->cBuffers = 1;
  request->cbBuffer = static_cast<LONG>(bytes);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cBuffers < request->cBuffers || actual.cbBuffer < request->cbBuffer) return E_FAIL;
  return S_OK;
}

// ---------------------------------------------------------------------------
// Streaming

HRESULT TDCDSPFilter::Transform(IMediaSample* in, IMediaSample* out) {
  if (in == nullptr || out == nullptr) return E_POINTER;
  // 1. The output starts as a copy of the input.
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  if (FAILED(in->GetPointer(&src)) || FAILED(out->GetPointer(&dst))) return E_UNEXPECTED;
  const LONG inBytes = in->GetActualDataLength();
  if (inBytes < 0 || inBytes > out->GetSize()) return VFW_E_BUFFER_OVERFLOW;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const HRESULT timeHr = in->GetTime(&start, &stop);
  const bool hasTimes = SUCCEEDED(timeHr);
  if (hasTimes) out->SetTime(&start, timeHr == S_OK ? &stop : nullptr);
  LONGLONG mediaStart = 0;
  LONGLONG mediaStop = 0;
  const bool hasMediaTimes = in->GetMediaTime(&mediaStart, &mediaStop) == S_OK;
  if (hasMediaTimes) out->SetMediaTime(&mediaStart, &mediaStop);
  if (in->IsDiscontinuity() == S_OK) out->SetDiscontinuity(BOOL_TRUE);
  if (in->IsPreroll() == S_OK) out->SetPreroll(BOOL_TRUE);
  if (inBytes > 0) std::memmove(dst, src, static_cast<std::size_t>(inBytes));
  out->SetActualDataLength(inBytes);

  // 2. A format change carried by the sample.
  AM_MEDIA_TYPE* raw = nullptr;
  if (in->GetMediaType(&raw) == S_OK && raw != nullptr) {
    const TBCMediaType changed(*raw);
    out->SetMediaType(raw);
    DeleteMediaType(raw);
    const HRESULT hr = CheckInputTypeImpl(changed);
    if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
    InitChain();
    fNeedMediatypeChange.store(false, std::memory_order_release);
  }

  // 3. A pending change of the active input (stream switch).
  if (fNeedMediatypeChange.load(std::memory_order_acquire) ||
      fForceMediatypeChange.load(std::memory_order_acquire)) {
    fNeedMediatypeChange.store(false, std::memory_order_release);
    TDCDSPFilterInputPin* pin = FirstUnblockedPin();
    if (pin != nullptr && pin->IsConnected()) {
      bool same;
      {
        std::lock_guard state(fStateLock);
        same = pin->CurrentMediaType() == fCurrentMediaType;
      }
      if (!same || fForceMediatypeChange.load(std::memory_order_acquire)) {
        fForceMediatypeChange.store(false, std::memory_order_release);
        const TBCMediaType type = pin->CurrentMediaType();
        const HRESULT hr = CheckInputTypeImpl(type);
        if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
        out->SetMediaType(const_cast<TBCMediaType*>(&type));
        InitChain();
      }
    }
  }

  // 4. The buffer's format and size.
  LONG bytes = inBytes;
  TDSStream stream;
  ComPtr<IDCDSPFilterPCMCallBack> callback;
  {
    std::lock_guard state(fStateLock);
    fStream.Size = bytes;
    stream = fRealStream;
    callback = fCallback;
  }
  stream.Size = bytes;
  const LONG capacity = out->GetSize();
  const bool compressed = FromBOOL(stream.SPDIF) || FromBOOL(stream.DTS);
  const bool before = fPCMDataBeforeMainDSP.load(std::memory_order_acquire);
  const auto callBack = [&] {
    fCallbackStream = stream;
    fCallbackStream.Size = bytes;
    LONG newSize = bytes;
    callback->PCMData(dst, bytes, &newSize, &fCallbackStream);
    newSize = std::clamp<LONG>(newSize, 0, capacity);
    if (newSize != bytes) {
      bytes = newSize;
      out->SetActualDataLength(bytes);
    }
  };

  if (!compressed) {
    // 5. The callback before the chain.
    if (callback && before) callBack();
    // 6. The chain, in place (it reports no failure; it cannot throw).
    stream.Size = bytes;
    const LONG processed = std::clamp<LONG>(fFilters.Process(dst, bytes), 0, capacity);
    if (processed != bytes) {
      bytes = processed;
      out->SetActualDataLength(bytes);
    }
    // 7. The callback after the chain.
    if (callback && !before) callBack();
  }

  // 8. A changed length changes the duration.
  if (bytes != inBytes && stream.Channels > 0 && stream.Bits >= 8 && stream.Frequency > 0) {
    const LONGLONG d =
        ((static_cast<LONGLONG>(bytes) * UNITS) / stream.Channels / (stream.Bits / 8)) /
        stream.Frequency;
    if (hasMediaTimes) {
      LONGLONG newStop = mediaStart + d;
      out->SetMediaTime(&mediaStart, &newStop);
    }
    if (hasTimes) {
      stop = start + d;
      out->SetTime(&start, &stop);
    }
  }

  // 9. Every buffer of uncompressed audio can be played on its own.
  out->SetSyncPoint(BOOL_TRUE);

  // 10. The presentation delay.
  if (hasTimes && fEnableDelay.load(std::memory_order_acquire)) {
    const REFERENCE_TIME delay =
        static_cast<REFERENCE_TIME>(fDelay.load(std::memory_order_acquire)) * MILLISECONDS;
    REFERENCE_TIME s = 0;
    REFERENCE_TIME e = 0;
    const HRESULT hr = out->GetTime(&s, &e);
    s += delay;
    e += delay;
    out->SetTime(&s, hr == S_OK ? &e : nullptr);
  }
  return S_OK;
}

HRESULT TDCDSPFilter::BeginFlush() {
  fFilters.Flush();
  ComPtr<IDCDSPFilterPCMCallBack> callback;
  {
    std::lock_guard state(fStateLock);
    callback = fCallback;
  }
  if (callback) callback->FlushNotify();
  return TBCTransformFilter::BeginFlush();
}
