#include "audio/filter_list.h"

#include <algorithm>

using Guard = std::lock_guard<TDCFilterList::Lock>;

TDCFilterList::TDCFilterList() = default;

TDCFilterList::~TDCFilterList() {
  Guard g(lock_);
  items_.clear();
}

TDCFilterItem* TDCFilterList::Add(TDCFilterType type) {
  Guard g(lock_);
  auto item = std::make_unique<TDCFilterItem>(this);
  item->SetFilterType(type);
  if (initialized_) {
    item->Init(stream_);
    item->Flush();
  }
  items_.push_back(std::move(item));
  return items_.back().get();
}

TDCFilterItem* TDCFilterList::Insert(int index, TDCFilterType type) {
  Guard g(lock_);
  TDCFilterItem* item = Add(type);
  const int last = static_cast<int>(items_.size()) - 1;
  Move(last, std::clamp(index, 0, last));
  return item;
}

bool TDCFilterList::Delete(int index) {
  Guard g(lock_);
  if (!Valid(index)) return false;
  items_.erase(items_.begin() + index);
  return true;
}

void TDCFilterList::Clear() {
  Guard g(lock_);
  items_.clear();
}

bool TDCFilterList::Move(int from, int to) {
  Guard g(lock_);
  if (!Valid(from) || !Valid(to)) return false;
  if (from < to) {
    std::rotate(items_.begin() + from, items_.begin() + from + 1, items_.begin() + to + 1);
  } else if (from > to) {
    std::rotate(items_.begin() + to, items_.begin() + from, items_.begin() + from + 1);
  }
  return true;
}

void TDCFilterList::Init(const TDSStream& stream) {
  Guard g(lock_);
  stream_ = stream;
  initialized_ = true;
  for (auto& item : items_) {
    item->Init(stream_);
    item->Flush();
  }
}

int TDCFilterList::Process(void* buffer, int bytes) noexcept {
  Guard g(lock_);
  int result = bytes;
  const std::size_t count = items_.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (i >= items_.size()) continue;
    result = items_[i]->Process(buffer, bytes, stream_);
  }
  return result;
}

void TDCFilterList::Flush() noexcept {
  Guard g(lock_);
  for (auto& item : items_) item->Flush();
}

int TDCFilterList::Count() const {
  Guard g(lock_);
  return static_cast<int>(items_.size());
}

std::string TDCFilterList::GetName(int index) const {
  Guard g(lock_);
  if (!Valid(index)) return "Error (Index)";
  return items_[index]->Name();
}

TDCFilterType TDCFilterList::GetFilterType(int index) const {
  Guard g(lock_);
  return Valid(index) ? items_[index]->FilterType() : TDCFilterType::ftNone;
}

ComPtr<IUnknown> TDCFilterList::GetDSPInterface(int index) const {
  Guard g(lock_);
  if (!Valid(index)) return nullptr;
  return ComPtr<IUnknown>(items_[index]->DSPInterface());
}

void TDCFilterList::ResetShownWindows() {
  Guard g(lock_);
  for (auto& item : items_) item->SetWindowShown(false);
}

TDCFilterItem* TDCFilterList::GetItem(int index) const {
  Guard g(lock_);
  return Valid(index) ? items_[index].get() : nullptr;
}

bool TDCFilterList::Initialized() const {
  Guard g(lock_);
  return initialized_;
}

TDSStream TDCFilterList::Stream() const {
  Guard g(lock_);
  return stream_;
}
