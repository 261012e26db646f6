#include "audio/filter_item.h"

#include "audio/amplify.h"
#include "audio/compressor.h"
#include "audio/dynamic_amplify.h"
#include "audio/equalizer.h"
#include "audio/parametric_eq.h"

namespace {

template <class T>
ComPtr<IUnknown> Create(TDCEffect*& effect) {
  ComPtr<T> obj = MakeCom<T>();
  effect = obj.get();
  return ComPtr<IUnknown>(obj->DSPInterface());
}

}  // namespace

TDCFilterItem::TDCFilterItem(TDCFilterList* owner) noexcept : owner_(owner) { SetName("Error"); }

TDCFilterItem::~TDCFilterItem() = default;

void TDCFilterItem::SetName(std::string_view name) {
  name_.assign(name);
  name_w_.assign(name.begin(), name.end());  // the names are ASCII
}

void TDCFilterItem::SetFilterType(TDCFilterType type) {
  filter_ = nullptr;
  ref_ = nullptr;
  SetName("Error");
  type_ = TDCFilterType::ftNone;

  TDCEffect* effect = nullptr;
  ComPtr<IUnknown> ref;
  switch (type) {
    case TDCFilterType::ftAmplify:
      ref = Create<TDCAmplify>(effect);
      break;
    case TDCFilterType::ftCompressor:
      ref = Create<TDCCompressor>(effect);
      break;
    case TDCFilterType::ftDynamicAmplify:
      ref = Create<TDCDynamicAmplify>(effect);
      break;
    case TDCFilterType::ftEqualizer: {
      ref = Create<TDCEqualizer>(effect);
      static_cast<TDCEqualizer*>(effect)->set_FFTSize(TDCFFTSize::fts2048);
      break;
    }
    case TDCFilterType::ftParametricEQ:
      ref = Create<TDCParametricEQ>(effect);
      break;
    default:
      break;
  }
  type_ = type;
  filter_ = effect;
  ref_ = std::move(ref);
  SetName(FilterTypeName(type));
}

int TDCFilterItem::Process(void* buffer, int bytes, const TDSStream& stream) noexcept {
  if (filter_) filter_->ProcessStream(buffer, bytes, stream);
  return bytes;
}

void TDCFilterItem::Flush() noexcept {
  if (filter_) filter_->Flush();
}

bool TDCFilterItem::Enabled() const noexcept { return filter_ != nullptr && filter_->Enabled(); }

void TDCFilterItem::SetEnabled(bool on) noexcept {
  if (filter_) filter_->SetEnabled(on);
}
