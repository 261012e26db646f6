#pragma once
// The common face of the chain's effect objects. Each effect is also a
// reference-counted COM-style object answering its own control interface;
// the chain item holds one reference and reaches the effect through this
// class.

#include "audio/ds_stream.h"
#include "platform/com/unknown.h"

class TDCEffect {
 public:
  // Processes bytes of buffer in place with the stream's format, taking from
  // it what this effect needs (bits, channels, float flag, sample rate).
  // Runs on the streaming thread under the chain lock; allocates nothing.
  virtual void ProcessStream(void* buffer, int bytes, const TDSStream& stream) noexcept = 0;
  // Clears signal state (overlap memory, filter history); default: none.
  virtual void Flush() noexcept {}
  virtual bool Enabled() const noexcept = 0;
  // The chain's Enabled property. The equalizer flushes when switched on;
  // this therefore belongs under the chain lock like Flush.
  virtual void SetEnabled(bool on) noexcept = 0;
  // The effect's control interface (IDCEqualizer and so on) as IUnknown,
  // without a new reference.
  virtual IUnknown* DSPInterface() noexcept = 0;

 protected:
  TDCEffect() = default;
  ~TDCEffect() = default;
};

// Writes v to *out, or reports E_POINTER for a null out pointer.
template <class T, class V>
HRESULT CopyOutValue(T* out, const V& v) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = static_cast<T>(v);
  return S_OK;
}
