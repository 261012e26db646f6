#pragma once
// Owning smart pointer for COM-style interfaces: holds one reference.

#include <cstddef>
#include <type_traits>
#include <utility>

#include "platform/com/unknown.h"

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a new reference on p.
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> ComPtr(const ComPtr<U>& o)
  noexcept : ComPtr(static_cast<T*>(o.get())) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> ComPtr(ComPtr<U>&& o)
  noexcept : p_(o.Detach()) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& o) noexcept {
    ComPtr(o).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  // Adopts a reference the caller already owns.
  static ComPtr Adopt(T* p) noexcept {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Releases the held reference (if any) and returns the slot for an
  // out-parameter, e.g. `obj->QueryInterface(iid, ptr.PutVoid())`.
  T** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  // QueryInterface for U; an empty pointer when not supported.
  template <lumora::ComInterface U>
  ComPtr<U> As() const noexcept {
    ComPtr<U> r;
    if (p_) p_->QueryInterface(U::iid, r.PutVoid());
    return r;
  }
  template <lumora::ComInterface U>
  HRESULT As(ComPtr<U>& out) const noexcept {
    if (!p_) {
      out.Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(U::iid, out.PutVoid());
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Stores p (with a new reference) into an out-parameter; E_POINTER when the
// slot is null.
template <class T>
HRESULT CopyOut(T* p, T** out) noexcept {
  if (!out) return E_POINTER;
  *out = p;
  if (p) p->AddRef();
  return S_OK;
}
