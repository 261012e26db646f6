#include <gtest/gtest.h>

#include <thread>

#include "directshow/dshow_guids.h"
#include "directshow/mem_allocator.h"
#include "directshow/sample_generation.h"

namespace {

ComPtr<TBCMemAllocator> Committed(LONG buffers, LONG size) {
  auto a = MakeCom<TBCMemAllocator>();
  ALLOCATOR_PROPERTIES req{buffers, size, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  EXPECT_EQ(a->SetProperties(&req, &actual), S_OK);
  EXPECT_EQ(a->Commit(), S_OK);
  return a;
}

TEST(Allocator, GetBufferBlocksUntilABufferComesBack) {
  auto a = Committed(1, 16);
  ComPtr<IMediaSample> first;
  ASSERT_EQ(a->GetBuffer(first.Put(), nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(a->GetBuffer(ComPtr<IMediaSample>().Put(), nullptr, nullptr, AM_GBF_NOWAIT),
            VFW_E_TIMEOUT);
  std::thread waiter([&] {
    ComPtr<IMediaSample> second;
    EXPECT_EQ(a->GetBuffer(second.Put(), nullptr, nullptr, 0), S_OK);
  });
  first = nullptr;  // returns the buffer and releases the waiter
  waiter.join();
  EXPECT_EQ(a->OutstandingCount(), 0);
}

TEST(Allocator, DecommitReleasesAWaitingThread) {
  auto a = Committed(1, 16);
  ComPtr<IMediaSample> held;
  ASSERT_EQ(a->GetBuffer(held.Put(), nullptr, nullptr, 0), S_OK);
  HRESULT result = S_OK;
  std::thread waiter([&] {
    ComPtr<IMediaSample> s;
    result = a->GetBuffer(s.Put(), nullptr, nullptr, 0);
  });
  a->Decommit();
  waiter.join();
  EXPECT_EQ(result, VFW_E_NOT_COMMITTED);
  // Memory stays valid for the sample still out, then goes with it.
  BYTE* p = nullptr;
  ASSERT_EQ(held->GetPointer(&p), S_OK);
  p[0] = 1;
  held = nullptr;
  EXPECT_EQ(a->OutstandingCount(), 0);
}

TEST(Allocator, PropertiesAreCheckedAgainstState) {
  auto a = MakeCom<TBCMemAllocator>();
  ALLOCATOR_PROPERTIES actual{};
  EXPECT_EQ(a->Commit(), VFW_E_SIZENOTSET);
  ALLOCATOR_PROPERTIES bad{1, 16, 3, 0};
  EXPECT_EQ(a->SetProperties(&bad, &actual), VFW_E_BADALIGN);
  ALLOCATOR_PROPERTIES ok{2, 100, 16, 8};
  ASSERT_EQ(a->SetProperties(&ok, &actual), S_OK);
  EXPECT_EQ(actual.cBuffers, 2);
  ASSERT_EQ(a->Commit(), S_OK);
  EXPECT_EQ(a->SetProperties(&ok, &actual), VFW_E_ALREADY_COMMITTED);
  ComPtr<IMediaSample> s;
  ASSERT_EQ(a->GetBuffer(s.Put(), nullptr, nullptr, 0), S_OK);
  BYTE* p = nullptr;
  s->GetPointer(&p);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
  EXPECT_EQ(s->GetSize(), 100);
  EXPECT_EQ(s->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
}

TEST(Sample, PropertiesResetBetweenUses) {
  auto a = Committed(1, 16);
  {
    ComPtr<IMediaSample> s;
    ASSERT_EQ(a->GetBuffer(s.Put(), nullptr, nullptr, 0), S_OK);
    REFERENCE_TIME t0 = 5;
    REFERENCE_TIME t1 = 9;
    s->SetTime(&t0, &t1);
    s->SetSyncPoint(BOOL_TRUE);
    s->SetDiscontinuity(BOOL_TRUE);
    TBCMediaType mt(MEDIATYPE_Video);
    s->SetMediaType(&mt);
    REFERENCE_TIME a0 = 0;
    REFERENCE_TIME a1 = 0;
    EXPECT_EQ(s->GetTime(&a0, &a1), S_OK);
    EXPECT_EQ(a1, 9);
    AM_MEDIA_TYPE* got = nullptr;
    EXPECT_EQ(s->GetMediaType(&got), S_OK);
    DeleteMediaType(got);
    s->SetTime(&t0, nullptr);
    EXPECT_EQ(s->GetTime(&a0, &a1), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(a1, 6);
  }
  ComPtr<IMediaSample> s;
  ASSERT_EQ(a->GetBuffer(s.Put(), nullptr, nullptr, 0), S_OK);
  REFERENCE_TIME a0 = 0;
  REFERENCE_TIME a1 = 0;
  EXPECT_EQ(s->GetTime(&a0, &a1), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(s->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(s->IsDiscontinuity(), S_FALSE);
  AM_MEDIA_TYPE* got = nullptr;
  EXPECT_EQ(s->GetMediaType(&got), S_FALSE);
  EXPECT_EQ(s->GetActualDataLength(), 16);
}

TEST(Sample, GenerationsGrowWithEachBufferHandedOut) {
  auto a = Committed(2, 16);
  ComPtr<IMediaSample> s1;
  ComPtr<IMediaSample> s2;
  ASSERT_EQ(a->GetBuffer(s1.Put(), nullptr, nullptr, 0), S_OK);
  const ULONGLONG flush = ds::NewGeneration();
  ASSERT_EQ(a->GetBuffer(s2.Put(), nullptr, nullptr, 0), S_OK);
  EXPECT_LT(*ds::SampleGeneration(s1.get()), flush);
  EXPECT_GT(*ds::SampleGeneration(s2.get()), flush);
  ds::CopySampleGeneration(s1.get(), s2.get());
  EXPECT_EQ(ds::SampleGeneration(s2.get()), ds::SampleGeneration(s1.get()));
}

}  // namespace
