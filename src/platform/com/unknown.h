#pragma once
// The root COM-style interfaces.
//
// An interface is a struct of pure virtual functions with single inheritance
// and no virtual destructor, so its vtable slots are its declaration order,
// base first. Each interface names its identifier as `iid` and its direct
// base as `Base`; QueryInterface implementations use both.

#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/types.h"

struct IUnknown {
  static constexpr IID iid = MakeGuid("{00000000-0000-0000-C000-000000000046}");

  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
  using Base = IUnknown;
  static constexpr IID iid = MakeGuid("{00000001-0000-0000-C000-000000000046}");

  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

inline constexpr IID IID_IUnknown = IUnknown::iid;
inline constexpr IID IID_IClassFactory = IClassFactory::iid;

// The entry point a filter module exports under the name "DllGetClassObject".
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID riid, void** ppv);

namespace lumora {

template <class I>
concept ComInterface = requires {
  I::iid;
};

template <class I>
concept DerivedInterface = ComInterface<I> && requires {
  typename I::Base;
};

// Whether riid names I or one of the interfaces it derives from.
template <ComInterface I>
constexpr bool InterfaceChainHas(REFIID riid) {
  if (riid == I::iid) return true;
  if constexpr (DerivedInterface<I>) return InterfaceChainHas<typename I::Base>(riid);
  return false;
}

}  // namespace lumora
