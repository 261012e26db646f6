#pragma once
// Reference-counted implementation bases for COM-style objects.
//
//   class TFoo : public ComObject<IFoo, IBar> { ... };        // new object
//   class TBaz : public ComExtend<TFoo, IBaz> { ... };        // adds IBaz
//   ComPtr<TFoo> foo = MakeCom<TFoo>(args...);
//
// Both templates supply the final QueryInterface/AddRef/Release for every
// interface they list; QueryInterface answers IUnknown, each listed
// interface and the interfaces each one derives from. A subclass that
// answers further interfaces overrides NonDelegatingQueryInterface and calls
// its base last.
//
// An object may instead live inside an owner (a pin inside its filter): it is
// then constructed with the owner's IUnknown, forwards AddRef/Release to the
// owner and is destroyed by the owner, never by Release.

#include <atomic>
#include <utility>

#include "platform/com/com_ptr.h"
#include "platform/com/unknown.h"

class ComBase {
 public:
  ComBase(const ComBase&) = delete;
  ComBase& operator=(const ComBase&) = delete;
  virtual ~ComBase() = default;

  virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;

  ULONG AddRefImpl() noexcept {
    if (owner_) return owner_->AddRef();
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  ULONG ReleaseImpl() noexcept {
    if (owner_) return owner_->Release();
    const ULONG n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete this;
    return n;
  }
  // The object's own count (0 for an owned object); for tests and asserts.
  ULONG RefCount() const noexcept { return refs_.load(std::memory_order_relaxed); }
  IUnknown* Owner() const noexcept { return owner_; }

 protected:
  ComBase() = default;
  explicit ComBase(IUnknown* owner) noexcept : owner_(owner) {}

  // Stores p with a new reference in *ppv.
  template <class I>
  static HRESULT GetInterface(I* p, void** ppv) noexcept {
    *ppv = p;
    p->AddRef();
    return S_OK;
  }

  template <class I>
  bool TryInterface(I* self, REFIID riid, void** ppv) noexcept {
    if (!lumora::InterfaceChainHas<I>(riid)) return false;
    GetInterface(self, ppv);
    return true;
  }

 private:
  std::atomic<ULONG> refs_{0};
  IUnknown* owner_ = nullptr;
};

template <lumora::ComInterface First, lumora::ComInterface... Rest>
class ComObject : public ComBase, public First, public Rest... {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return NonDelegatingQueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return AddRefImpl(); }
  ULONG Release() override { return ReleaseImpl(); }

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) return GetInterface(static_cast<First*>(this), ppv);
    if (TryInterface(static_cast<First*>(this), riid, ppv) ||
        (TryInterface(static_cast<Rest*>(this), riid, ppv) || ...))
      return S_OK;
    return E_NOINTERFACE;
  }

  // This object's identity as IUnknown.
  IUnknown* GetUnknown() noexcept { return static_cast<First*>(this); }

 protected:
  ComObject() = default;
  explicit ComObject(IUnknown* owner) noexcept : ComBase(owner) {}
};

template <class Base, lumora::ComInterface... Extra>
class ComExtend : public Base, public Extra... {
 public:
  using Base::Base;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return NonDelegatingQueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return this->AddRefImpl(); }
  ULONG Release() override { return this->ReleaseImpl(); }

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if ((this->TryInterface(static_cast<Extra*>(this), riid, ppv) || ...)) return S_OK;
    return Base::NonDelegatingQueryInterface(riid, ppv);
  }
};

// Creates a reference-counted object holding one reference.
template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}
