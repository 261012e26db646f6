#include "renderer_support.h"

#include <cstring>

namespace vtest {

namespace {
constexpr CLSID CLSID_FrameSource = MakeGuid("{9B3C1A77-7E20-4C8B-A1D2-3E4F5A6B7C8D}");
}

TBCMediaType VideoType(const GUID& subtype, int width, int height, DWORD aspectX, DWORD aspectY,
                       WORD bitCount) {
  TBCMediaType mt(MEDIATYPE_Video);
  mt.SetSubtype(&subtype);
  mt.SetFormatType(&FORMAT_VideoInfo2);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER2*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER2)));
  vih->AvgTimePerFrame = kFrame;
  vih->dwPictAspectRatioX = aspectX;
  vih->dwPictAspectRatioY = aspectY;
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = bitCount;
  return mt;
}

TSamplePool::TSamplePool(LONG size, LONG count) : fAllocator(MakeCom<TBCMemAllocator>()) {
  ALLOCATOR_PROPERTIES request{count, size, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  fAllocator->SetProperties(&request, &actual);
  fAllocator->Commit();
}

TSamplePool::~TSamplePool() { fAllocator->Decommit(); }

ComPtr<IMediaSample> TSamplePool::Make(const std::vector<BYTE>& bytes, REFERENCE_TIME start,
                                       REFERENCE_TIME stop) {
  ComPtr<IMediaSample> sample;
  if (FAILED(fAllocator->GetBuffer(sample.Put(), nullptr, nullptr, 0))) return nullptr;
  BYTE* p = nullptr;
  sample->GetPointer(&p);
  std::memcpy(p, bytes.data(), std::min<std::size_t>(bytes.size(), sample->GetSize()));
  sample->SetActualDataLength(static_cast<LONG>(bytes.size()));
  sample->SetTime(&start, &stop);
  return sample;
}

TFrameStream::TFrameStream(TFrameSource* source, TBCMediaType type,
                           std::vector<std::vector<BYTE>> frames)
    : TBCSourceStream("Frame stream", source, "Out"),
      fType(std::move(type)),
      fFrames(std::move(frames)) {}

HRESULT TFrameStream::CheckMediaType(const TBCMediaType* mt) {
  return mt && *mt == fType ? S_OK : E_INVALIDARG;
}

HRESULT TFrameStream::GetMediaType(int position, TBCMediaType* mt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *mt = fType;
  return S_OK;
}

HRESULT TFrameStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  std::size_t largest = 1;
  for (const auto& f : fFrames) largest = std::max(largest, f.size());
  request->cBuffers = 2;
  request->cbBuffer = static_cast<LONG>(largest);
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(request, &actual);
}

HRESULT TFrameStream::OnThreadStartPlay() {
  fNext = 0;
  return TBCSourceStream::OnThreadStartPlay();
}

HRESULT TFrameStream::FillBuffer(IMediaSample* sample) {
  if (fNext >= fFrames.size()) return S_FALSE;
  const auto& frame = fFrames[fNext];
  BYTE* p = nullptr;
  sample->GetPointer(&p);
  std::memcpy(p, frame.data(), frame.size());
  sample->SetActualDataLength(static_cast<LONG>(frame.size()));
  REFERENCE_TIME t0 = static_cast<REFERENCE_TIME>(fNext) * kFrame;
  REFERENCE_TIME t1 = t0 + kFrame;
  sample->SetTime(&t0, &t1);
  sample->SetSyncPoint(BOOL_TRUE);
  ++fNext;
  return S_OK;
}

TFrameSource::TFrameSource(TBCMediaType type, std::vector<std::vector<BYTE>> frames)
    : TBCSource("Frame source", CLSID_FrameSource),
      fStream(std::make_unique<TFrameStream>(this, std::move(type), std::move(frames))) {}

TFrameSource::~TFrameSource() { fStream.reset(); }

}  // namespace vtest
