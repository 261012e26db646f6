#pragma once
// TDCFilterList: the ordered effect chain the audio effect filter runs every
// buffer through, in place, item by item.
//
// Threads: the streaming thread calls Process, Init and Flush; a control
// thread adds, removes, moves and configures items. Every operation holds the
// chain lock for its duration, so that no item is destroyed or moved while a
// buffer is processed. The lock is recursive and always the innermost: a
// caller may hold it across several operations (ChainLock()), and nothing
// called while it is held takes another lock. Effect parameters set through
// the effects' own interfaces take no lock at all.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/ds_stream.h"
#include "audio/filter_item.h"
#include "audio/filter_type.h"
#include "platform/com/com_ptr.h"

class TDCFilterList {
 public:
  using Lock = std::recursive_mutex;

  TDCFilterList();
  ~TDCFilterList();
  TDCFilterList(const TDCFilterList&) = delete;
  TDCFilterList& operator=(const TDCFilterList&) = delete;

  // Appends an item of that kind; once a format has been given, the new item
  // gets Init with it and then Flush, and processes from the next buffer on.
  TDCFilterItem* Add(TDCFilterType type);
  // Add, then moves the new item to index (limited to 0 ... count - 1).
  TDCFilterItem* Insert(int index, TDCFilterType type);
  // Destroys the item at index; false (no change) for an index out of range.
  bool Delete(int index);
  // Destroys every item.
  void Clear();
  // Moves the item at from so that it ends at position to; false (no change)
  // unless both are valid indices.
  bool Move(int from, int to);

  // Takes the stream format, then Init and Flush on every item in order.
  void Init(const TDSStream& stream);
  // Runs every item in list order over the buffer; returns the last byte
  // count (bytes when the chain is empty). Allocates nothing.
  int Process(void* buffer, int bytes) noexcept;
  // Flush on every item.
  void Flush() noexcept;

  int Count() const;
  // The item's name, or "Error (Index)" for an index out of range.
  std::string GetName(int index) const;
  // The item's kind, or ftNone for an index out of range.
  TDCFilterType GetFilterType(int index) const;
  // A counted reference on the item's effect interface; empty for an index
  // out of range or a kind without an effect object.
  ComPtr<IUnknown> GetDSPInterface(int index) const;
  // Clears every item's window flag.
  void ResetShownWindows();
  // The item itself, or nullptr for an index out of range. The pointer stays
  // valid until the item is deleted.
  TDCFilterItem* GetItem(int index) const;

  bool Initialized() const;
  TDSStream Stream() const;

  Lock& ChainLock() const noexcept { return lock_; }

 private:
  bool Valid(int index) const noexcept {
    return index >= 0 && static_cast<std::size_t>(index) < items_.size();
  }

  mutable Lock lock_;
  bool initialized_ = false;
  TDSStream stream_{};
  std::vector<std::unique_ptr<TDCFilterItem>> items_;
};
