#pragma once
// Helpers for the video renderer's tests: media types, samples from an
// allocator of their own, and a source filter that pushes given frames.

#include <memory>
#include <vector>

#include "directshow/dshow.h"
#include "directshow/mem_allocator.h"
#include "directshow/source.h"

namespace vtest {

inline constexpr REFERENCE_TIME kFrame = 400000;  // 40 ms

// A video type with a VIDEOINFOHEADER2 block.
TBCMediaType VideoType(const GUID& subtype, int width, int height, DWORD aspectX, DWORD aspectY,
                       WORD bitCount);

// Samples of a fixed size from a committed allocator of two buffers.
class TSamplePool {
 public:
  explicit TSamplePool(LONG size, LONG count = 2);
  ~TSamplePool();
  // A sample holding `bytes` (size must fit) with the given times.
  ComPtr<IMediaSample> Make(const std::vector<BYTE>& bytes, REFERENCE_TIME start,
                            REFERENCE_TIME stop);

 private:
  ComPtr<TBCMemAllocator> fAllocator;
};

class TFrameSource;

class TFrameStream : public TBCSourceStream {
 public:
  TFrameStream(TFrameSource* source, TBCMediaType type, std::vector<std::vector<BYTE>> frames);

  HRESULT CheckMediaType(const TBCMediaType* mt) override;
  HRESULT GetMediaType(int position, TBCMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT OnThreadStartPlay() override;
  HRESULT FillBuffer(IMediaSample* sample) override;

 private:
  const TBCMediaType fType;
  const std::vector<std::vector<BYTE>> fFrames;
  std::size_t fNext = 0;
};

// One output pin "Out" offering `type` and delivering `frames` 40 ms apart,
// then the end of the stream.
class TFrameSource : public TBCSource {
 public:
  TFrameSource(TBCMediaType type, std::vector<std::vector<BYTE>> frames);
  ~TFrameSource() override;
  TFrameStream* Stream() { return fStream.get(); }

 private:
  std::unique_ptr<TFrameStream> fStream;
};

}  // namespace vtest
