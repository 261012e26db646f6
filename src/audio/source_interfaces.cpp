#include "audio/source_interfaces.h"

#include <cstring>

namespace {

// A BSTR points past a 32-bit byte length; the string is zero-terminated.
constexpr std::size_t kPrefix = sizeof(std::uint32_t);

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* s, UINT length) {
  const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(OLECHAR);
  auto* raw = static_cast<BYTE*>(CoTaskMemAlloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (raw == nullptr) return nullptr;
  const auto stored = static_cast<std::uint32_t>(bytes);
  std::memcpy(raw, &stored, kPrefix);
  auto* text = reinterpret_cast<BSTR>(raw + kPrefix);
  if (s != nullptr) {
    std::memcpy(text, s, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  text[length] = 0;
  return text;
}

BSTR SysAllocString(const OLECHAR* s) {
  if (s == nullptr) return nullptr;
  UINT n = 0;
  while (s[n] != 0) ++n;
  return SysAllocStringLen(s, n);
}

void SysFreeString(BSTR s) {
  if (s != nullptr) CoTaskMemFree(reinterpret_cast<BYTE*>(s) - kPrefix);
}

UINT SysStringLen(BSTR s) {
  if (s == nullptr) return 0;
  std::uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<BYTE*>(s) - kPrefix, kPrefix);
  return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANT* v) {
  if (v == nullptr) return;
  std::memset(v, 0, sizeof(*v));
  v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_POINTER;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
  if (dst == nullptr || src == nullptr) return E_POINTER;
  if (dst == src) return S_OK;
  VariantClear(dst);
  if (src->vt == VT_BSTR) {
    VARIANT copy = *src;
    copy.bstrVal =
        src->bstrVal ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal)) : nullptr;
    if (src->bstrVal && !copy.bstrVal) return E_OUTOFMEMORY;
    *dst = copy;
    return S_OK;
  }
  *dst = *src;
  return S_OK;
}

std::u16string VariantText(const VARIANT& v) {
  if (v.vt != VT_BSTR || v.bstrVal == nullptr) return {};
  return std::u16string(v.bstrVal, SysStringLen(v.bstrVal));
}

bool VariantNumber(const VARIANT& v, LONGLONG* value) {
  switch (v.vt) {
    case VT_I2:
      *value = v.iVal;
      return true;
    case VT_I4:
    case VT_INT:
      *value = v.lVal;
      return true;
    case VT_UI1:
      *value = v.bVal;
      return true;
    case VT_UI2:
      *value = v.uiVal;
      return true;
    case VT_UI4:
    case VT_UINT:
      *value = v.ulVal;
      return true;
    case VT_I8:
      *value = v.llVal;
      return true;
    case VT_UI8:
      *value = static_cast<LONGLONG>(v.ullVal);
      return true;
    case VT_BSTR: {
      const std::u16string text = VariantText(v);
      std::size_t i = 0;
      while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
      bool negative = false;
      if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
      const std::size_t first = i;
      LONGLONG n = 0;
      while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        if (n > (LONGLONG{1} << 40)) return false;  // far beyond any stream number
        n = n * 10 + (text[i++] - u'0');
      }
      if (i == first) return false;
      while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
      if (i != text.size()) return false;
      *value = negative ? -n : n;
      return true;
    }
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------

TDCMediaPropertyBag::~TDCMediaPropertyBag() {
  for (auto& p : fProperties) VariantClear(&p.value);
}

HRESULT TDCMediaPropertyBag::Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog*) {
  if (pszPropName == nullptr || pVar == nullptr) return E_POINTER;
  const std::u16string_view name(pszPropName);
  std::lock_guard lock(fLock);
  for (const auto& p : fProperties) {
    if (p.name == name) return VariantCopy(pVar, &p.value);
  }
  return E_INVALIDARG;
}

HRESULT TDCMediaPropertyBag::Write(LPCOLESTR pszPropName, VARIANT* pVar) {
  if (pszPropName == nullptr || pVar == nullptr) return E_POINTER;
  VARIANT copy;
  VariantInit(&copy);
  const HRESULT hr = VariantCopy(&copy, pVar);
  if (FAILED(hr)) return hr;
  const std::u16string_view name(pszPropName);
  std::lock_guard lock(fLock);
  for (auto& p : fProperties) {
    if (p.name == name) {
      VariantClear(&p.value);
      p.value = copy;
      return S_OK;
    }
  }
  fProperties.push_back(Property{std::u16string(name), copy});
  return S_OK;
}

HRESULT TDCMediaPropertyBag::EnumProperty(ULONG iProperty, VARIANT* pvarPropertyName,
                                          VARIANT* pvarPropertyValue) {
  if (pvarPropertyName == nullptr || pvarPropertyValue == nullptr) return E_POINTER;
  std::lock_guard lock(fLock);
  if (iProperty >= fProperties.size()) return E_INVALIDARG;
  const Property& p = fProperties[iProperty];
  VariantClear(pvarPropertyName);
  pvarPropertyName->vt = VT_BSTR;
  pvarPropertyName->bstrVal = SysAllocString(p.name.c_str());
  if (pvarPropertyName->bstrVal == nullptr) return E_OUTOFMEMORY;
  return VariantCopy(pvarPropertyValue, &p.value);
}
