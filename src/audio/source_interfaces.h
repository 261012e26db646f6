#pragma once
// Interfaces of other filters that the effect filter's language detection
// reads (splitters, property bags, file readers), with the minimal automation
// types they use: BSTR strings and VARIANT values.
//
// BSTR: a UTF-16 string from SysAllocString, freed with SysFreeString (the
// memory comes from CoTaskMemAlloc, with its length in front, so that strings
// can cross module boundaries).

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "directshow/dshow.h"
#include "platform/com/com_object.h"

BSTR SysAllocString(const OLECHAR* s);
BSTR SysAllocStringLen(const OLECHAR* s, UINT length);
void SysFreeString(BSTR s);
UINT SysStringLen(BSTR s);

using VARTYPE = std::uint16_t;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_UI8 = 21;
inline constexpr VARTYPE VT_INT = 22;
inline constexpr VARTYPE VT_UINT = 23;

// A value of one of the types above; VT_BSTR owns its string.
struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONGLONG llVal;
    ULONGLONG ullVal;
    LONG lVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
    std::int16_t iVal;
    WORD uiVal;
    BYTE bVal;
    BSTR bstrVal;
  };
};

void VariantInit(VARIANT* v);
// Frees a string value and empties the variant.
HRESULT VariantClear(VARIANT* v);
// Deep copy into dst (cleared first).
HRESULT VariantCopy(VARIANT* dst, const VARIANT* src);

// The text of a VT_BSTR value (empty for any other type).
std::u16string VariantText(const VARIANT& v);
// The number of an integer value or of a text holding a decimal number
// (surrounding blanks allowed); false otherwise.
bool VariantNumber(const VARIANT& v, LONGLONG* value);

struct IErrorLog : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{3127CA40-446E-11CE-8135-00AA004BB851}");
  virtual HRESULT AddError(LPCOLESTR pszPropName, void* pExcepInfo) = 0;

 protected:
  ~IErrorLog() = default;
};

struct IPropertyBag : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{55272A00-42CB-11CE-8135-00AA004BB851}");
  // S_OK with a copy in *pVar (the caller clears it); E_INVALIDARG when the
  // property does not exist.
  virtual HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) = 0;
  virtual HRESULT Write(LPCOLESTR pszPropName, VARIANT* pVar) = 0;

 protected:
  ~IPropertyBag() = default;
};

struct IMediaPropertyBag : IPropertyBag {
  using Base = IPropertyBag;
  static constexpr IID iid = MakeGuid("{6025A880-C0D5-11D0-BD4E-00A0C911CE86}");
  // The name (VT_BSTR) and value of property number iProperty;
  // E_INVALIDARG past the last.
  virtual HRESULT EnumProperty(ULONG iProperty, VARIANT* pvarPropertyName,
                               VARIANT* pvarPropertyValue) = 0;

 protected:
  ~IMediaPropertyBag() = default;
};

struct IPersistMediaPropertyBag : IPersist {
  using Base = IPersist;
  static constexpr IID iid = MakeGuid("{5738E040-B67F-11D0-BD4D-00A0C911CE86}");
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IMediaPropertyBag* pPropBag, IErrorLog* pErrorLog) = 0;
  virtual HRESULT Save(IMediaPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) = 0;

 protected:
  ~IPersistMediaPropertyBag() = default;
};

// A splitter's description of one track. The language detection reads the
// type (byte 2: 1 video, 2 audio, 3 subtitles), the default flag (byte 3)
// and the language code (bytes 19 to 22, up to four characters).
#pragma pack(push, 1)
struct TrackElement {
  WORD Size;  // sizeof(TrackElement), set by the caller
  BYTE Type;
  BYTE FlagDefault;
  BYTE FlagForced;
  BYTE FlagLacing;
  DWORD MinCache;
  DWORD MaxCache;
  BYTE Reserved[5];
  char Language[4];
  BYTE Padding[9];
};
#pragma pack(pop)
static_assert(offsetof(TrackElement, Type) == 2);
static_assert(offsetof(TrackElement, FlagDefault) == 3);
static_assert(offsetof(TrackElement, Language) == 19);
inline constexpr BYTE kTrackTypeAudio = 2;

struct ITrackInfo : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{03E98D51-DDE7-43AA-B70C-42EF84A3A23D}");
  virtual UINT GetTrackCount() = 0;
  // Fills the record of track aTrackIdx; false for an unknown track.
  virtual BOOL GetTrackInfo(UINT aTrackIdx, TrackElement* pStructureToFill) = 0;
  virtual BOOL GetTrackExtendedInfo(UINT aTrackIdx, void* pStructureToFill) = 0;
  // Strings the caller frees with SysFreeString; null when there is none.
  virtual BSTR GetTrackCodecID(UINT aTrackIdx) = 0;
  virtual BSTR GetTrackName(UINT aTrackIdx) = 0;
  virtual BSTR GetTrackCodecName(UINT aTrackIdx) = 0;
  virtual BSTR GetTrackCodecInfoURL(UINT aTrackIdx) = 0;
  virtual BSTR GetTrackCodecDownloadURL(UINT aTrackIdx) = 0;

 protected:
  ~ITrackInfo() = default;
};

// Random access to a file source's bytes, on its output pin.
struct IAsyncReader : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{56A868AA-0AD4-11CE-B03A-0020AF0B0000}");
  virtual HRESULT RequestAllocator(IMemAllocator* pPreferred, ALLOCATOR_PROPERTIES* pProps,
                                   IMemAllocator** ppActual) = 0;
  virtual HRESULT Request(IMediaSample* pSample, DWORD_PTR dwUser) = 0;
  virtual HRESULT WaitForNext(DWORD dwTimeout, IMediaSample** ppSample, DWORD_PTR* pdwUser) = 0;
  virtual HRESULT SyncReadAligned(IMediaSample* pSample) = 0;
  // S_OK when all lLength bytes were read, S_FALSE when fewer were (end of
  // the file).
  virtual HRESULT SyncRead(LONGLONG llPosition, LONG lLength, BYTE* pBuffer) = 0;
  virtual HRESULT Length(LONGLONG* pTotal, LONGLONG* pAvailable) = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;

 protected:
  ~IAsyncReader() = default;
};

// An in-memory media property bag: properties in the order first written,
// names compared exactly.
class TDCMediaPropertyBag : public ComObject<IMediaPropertyBag> {
 public:
  HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) override;
  HRESULT Write(LPCOLESTR pszPropName, VARIANT* pVar) override;
  HRESULT EnumProperty(ULONG iProperty, VARIANT* pvarPropertyName,
                       VARIANT* pvarPropertyValue) override;

  ~TDCMediaPropertyBag() override;

 private:
  struct Property {
    std::u16string name;
    VARIANT value;
  };
  std::mutex fLock;
  std::vector<Property> fProperties;
};
