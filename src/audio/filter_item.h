#pragma once
// TDCFilterItem: one entry of the effect chain. It owns one effect object
// chosen by its kind (through one reference on the object's control
// interface; a client holding its own reference keeps the object alive after
// the item has gone) and a flag a client may keep per entry.

#include <string>

#include "audio/ds_stream.h"
#include "audio/effect.h"
#include "audio/filter_type.h"
#include "platform/com/com_ptr.h"

class TDCFilterList;

class TDCFilterItem {
 public:
  explicit TDCFilterItem(TDCFilterList* owner) noexcept;
  ~TDCFilterItem();
  TDCFilterItem(const TDCFilterItem&) = delete;
  TDCFilterItem& operator=(const TDCFilterItem&) = delete;

  TDCFilterType FilterType() const noexcept { return type_; }
  // Destroys the current effect object (name "Error", kind ftNone), then
  // takes the kind and creates its object and name. An equalizer gets the
  // transform size fts2048. Like every structural change, this belongs under
  // the chain lock (the list's own operations take it).
  void SetFilterType(TDCFilterType type);

  // No effect needs the format in advance.
  void Init(const TDSStream&) noexcept {}
  // Runs the effect over the buffer with the stream's format; returns bytes.
  int Process(void* buffer, int bytes, const TDSStream& stream) noexcept;
  // Clears the equalizer's overlap memory or the parametric equalizer's
  // history; nothing for other kinds.
  void Flush() noexcept;
  // False when the item has no effect object.
  bool Enabled() const noexcept;
  // The effect's Enabled property (the equalizer flushes when switched on).
  void SetEnabled(bool on) noexcept;

  // "Amplify", "Compressor", "Dynamic Amplify", "Equalizer", "Parametric EQ"
  // or "Error"; the wide copy stays valid while the item exists.
  const std::string& Name() const noexcept { return name_; }
  const std::u16string& NameW() const noexcept { return name_w_; }

  bool WindowShown() const noexcept { return window_shown_; }
  void SetWindowShown(bool shown) noexcept { window_shown_ = shown; }

  // The effect object, or nullptr for a kind without one.
  TDCEffect* Filter() const noexcept { return filter_; }
  // Its control interface (IDCEqualizer, IDCAmplify, IDCCompressor,
  // IDCDynamicAmplify or IDCParametricEQ) without a new reference, or
  // nullptr.
  IUnknown* DSPInterface() const noexcept { return ref_.get(); }
  TDCFilterList* Owner() const noexcept { return owner_; }

 private:
  void SetName(std::string_view name);

  bool window_shown_ = false;
  TDCFilterType type_ = TDCFilterType::ftNone;
  TDCEffect* filter_ = nullptr;
  ComPtr<IUnknown> ref_;  // keeps filter_ alive
  std::string name_;
  std::u16string name_w_;
  TDCFilterList* owner_;
};
