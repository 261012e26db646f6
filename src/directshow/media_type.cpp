#include "directshow/media_type.h"

#include <new>
#include <utility>

namespace {

void ZeroType(AM_MEDIA_TYPE& mt) {
  mt.majortype = GUID_NULL;
  mt.subtype = GUID_NULL;
  mt.bFixedSizeSamples = BOOL_TRUE;
  mt.bTemporalCompression = BOOL_FALSE;
  mt.lSampleSize = 1;
  mt.formattype = GUID_NULL;
  mt.pUnk = nullptr;
  mt.cbFormat = 0;
  mt.pbFormat = nullptr;
}

}  // namespace

void FreeMediaType(AM_MEDIA_TYPE& mt) {
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
  mt.pbFormat = nullptr;
  mt.cbFormat = 0;
  if (mt.pUnk) mt.pUnk->Release();
  mt.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return;
  FreeMediaType(*pmt);
  CoTaskMemFree(pmt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
  if (!dst || !src) return E_POINTER;
  if (dst == src) return S_OK;
  *dst = *src;
  if (src->cbFormat != 0 && src->pbFormat) {
    dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
    if (!dst->pbFormat) {
      dst->cbFormat = 0;
      dst->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
  } else {
    dst->pbFormat = nullptr;
    dst->cbFormat = 0;
  }
  if (dst->pUnk) dst->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src) {
  if (!src) return nullptr;
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!mt) return nullptr;
  if (FAILED(CopyMediaType(mt, src))) {
    CoTaskMemFree(mt);
    return nullptr;
  }
  return mt;
}

bool MediaTypeEquals(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype)
    return false;
  if (a.cbFormat != b.cbFormat) return false;
  if (a.cbFormat == 0) return true;
  if (!a.pbFormat || !b.pbFormat) return a.pbFormat == b.pbFormat;
  return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

TBCMediaType::TBCMediaType() { ZeroType(*this); }

TBCMediaType::TBCMediaType(const GUID& type) {
  ZeroType(*this);
  majortype = type;
}

TBCMediaType::TBCMediaType(const AM_MEDIA_TYPE& mt) {
  ZeroType(*this);
  Set(mt);
}

TBCMediaType::TBCMediaType(const TBCMediaType& mt)
    : TBCMediaType(static_cast<const AM_MEDIA_TYPE&>(mt)) {}

TBCMediaType::TBCMediaType(TBCMediaType&& mt) noexcept : AM_MEDIA_TYPE(mt) {
  mt.pbFormat = nullptr;
  mt.cbFormat = 0;
  mt.pUnk = nullptr;
}

TBCMediaType::~TBCMediaType() { FreeMediaType(*this); }

TBCMediaType& TBCMediaType::operator=(const AM_MEDIA_TYPE& mt) {
  Set(mt);
  return *this;
}

TBCMediaType& TBCMediaType::operator=(const TBCMediaType& mt) {
  Set(mt);
  return *this;
}

TBCMediaType& TBCMediaType::operator=(TBCMediaType&& mt) noexcept {
  if (this != &mt) {
    FreeMediaType(*this);
    static_cast<AM_MEDIA_TYPE&>(*this) = mt;
    mt.pbFormat = nullptr;
    mt.cbFormat = 0;
    mt.pUnk = nullptr;
  }
  return *this;
}

HRESULT TBCMediaType::Set(const AM_MEDIA_TYPE& mt) {
  if (&mt == this) return S_OK;
  AM_MEDIA_TYPE copy;
  const HRESULT hr = CopyMediaType(&copy, &mt);
  FreeMediaType(*this);
  static_cast<AM_MEDIA_TYPE&>(*this) = copy;
  return hr;
}

void TBCMediaType::Reset() {
  FreeMediaType(*this);
  ZeroType(*this);
}

void TBCMediaType::SetSampleSize(ULONG size) {
  if (size == 0) {
    SetVariableSize();
  } else {
    bFixedSizeSamples = BOOL_TRUE;
    lSampleSize = size;
  }
}

void TBCMediaType::SetVariableSize() {
  bFixedSizeSamples = BOOL_FALSE;
  lSampleSize = 0;
}

void TBCMediaType::SetTemporalCompression(bool compressed) {
  bTemporalCompression = ToBOOL(compressed);
}

bool TBCMediaType::SetFormat(const void* data, ULONG length) {
  BYTE* p = AllocFormatBuffer(length);
  if (!p && length != 0) return false;
  if (length != 0) std::memcpy(p, data, length);
  return true;
}

BYTE* TBCMediaType::AllocFormatBuffer(ULONG length) {
  if (pbFormat) CoTaskMemFree(pbFormat);
  pbFormat = nullptr;
  cbFormat = 0;
  if (length == 0) return nullptr;
  pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (!pbFormat) return nullptr;
  std::memset(pbFormat, 0, length);
  cbFormat = length;
  return pbFormat;
}

BYTE* TBCMediaType::ReallocFormatBuffer(ULONG length) {
  if (length == 0) return AllocFormatBuffer(0);
  auto* p = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (!p) return nullptr;
  std::memset(p, 0, length);
  if (pbFormat) {
    std::memcpy(p, pbFormat, cbFormat < length ? cbFormat : length);
    CoTaskMemFree(pbFormat);
  }
  pbFormat = p;
  cbFormat = length;
  return pbFormat;
}

bool TBCMediaType::MatchesPartial(const TBCMediaType* partial) const {
  if (!partial) return true;
  if (partial->majortype != GUID_NULL && partial->majortype != majortype) return false;
  if (partial->subtype != GUID_NULL && partial->subtype != subtype) return false;
  if (partial->formattype != GUID_NULL) {
    if (partial->formattype != formattype) return false;
    if (partial->cbFormat != 0) {
      if (partial->cbFormat != cbFormat) return false;
      if (std::memcmp(partial->pbFormat, pbFormat, cbFormat) != 0) return false;
    }
  }
  return true;
}

bool TBCMediaType::IsPartiallySpecified() const {
  return majortype == GUID_NULL || formattype == GUID_NULL;
}
