#pragma once
// AM_MEDIA_TYPE, the description of a connection's data, and TBCMediaType,
// its owning wrapper.
//
// An AM_MEDIA_TYPE owns its format block (pbFormat, cbFormat bytes, from
// CoTaskMemAlloc) and holds a reference on pUnk when that is set. The free
// functions below copy, compare and free those parts; TBCMediaType does the
// same automatically (copy is deep, destruction frees).

#include <cstring>

#include "directshow/dshow_types.h"
#include "platform/com/unknown.h"

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

// Frees the format block and pUnk of mt and zeroes them (mt itself stays).
void FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a media type allocated with CreateMediaType (or handed out by an
// enumerator); null is ignored.
void DeleteMediaType(AM_MEDIA_TYPE* pmt);
// Deep copy of src into dst, which must not own a format block (free it
// first). E_OUTOFMEMORY leaves dst without a format block.
HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// A heap copy for handing out across an interface; null on failure.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src);
// Same major type, sub-type, format type and format bytes (the sample-size
// fields and pUnk are not compared).
bool MediaTypeEquals(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);

class TBCMediaType : public AM_MEDIA_TYPE {
 public:
  TBCMediaType();
  explicit TBCMediaType(const GUID& majortype);
  TBCMediaType(const AM_MEDIA_TYPE& mt);  // deep copy
  TBCMediaType(const TBCMediaType& mt);
  TBCMediaType(TBCMediaType&& mt) noexcept;
  ~TBCMediaType();
  TBCMediaType& operator=(const AM_MEDIA_TYPE& mt);
  TBCMediaType& operator=(const TBCMediaType& mt);
  TBCMediaType& operator=(TBCMediaType&& mt) noexcept;

  friend bool operator==(const TBCMediaType& a, const TBCMediaType& b) {
    return MediaTypeEquals(a, b);
  }

  // Deep copy; E_OUTOFMEMORY when the format block cannot be copied.
  HRESULT Set(const AM_MEDIA_TYPE& mt);
  // Back to the empty type (all GUIDs null, no format block).
  void Reset();
  bool IsValid() const { return majortype != GUID_NULL; }

  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  void SetType(const GUID* t) { majortype = *t; }
  void SetSubtype(const GUID* t) { subtype = *t; }
  void SetFormatType(const GUID* t) { formattype = *t; }
  void SetSampleSize(ULONG size);  // 0: variable-size samples
  void SetVariableSize();
  void SetTemporalCompression(bool compressed);
  bool IsFixedSize() const { return bFixedSizeSamples != 0; }
  bool IsTemporalCompressed() const { return bTemporalCompression != 0; }
  ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }

  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  // Replaces the format block with a copy of the bytes; false when out of
  // memory (the type then has no format block).
  bool SetFormat(const void* data, ULONG length);
  // A zeroed format block of the given length (replacing the old one).
  BYTE* AllocFormatBuffer(ULONG length);
  // Resizes the format block keeping its leading bytes.
  BYTE* ReallocFormatBuffer(ULONG length);
  // The format block as T when it is at least sizeof(T) bytes long.
  template <class T>
  const T* FormatAs() const {
    return pbFormat && cbFormat >= sizeof(T) ? reinterpret_cast<const T*>(pbFormat) : nullptr;
  }
  template <class T>
  T* FormatAs() {
    return pbFormat && cbFormat >= sizeof(T) ? reinterpret_cast<T*>(pbFormat) : nullptr;
  }

  // Whether this type matches `partial`, whose null GUIDs are wildcards; a
  // partial type with a format type but no format block matches any block.
  bool MatchesPartial(const TBCMediaType* partial) const;
  // Whether a null major type or format type leaves it open (a null
  // sub-type is a valid full type).
  bool IsPartiallySpecified() const;
};
