#include "filters/splitter/module/packet_queue.h"

#include <algorithm>

namespace {
constexpr std::size_t kSoftPacketCount = 4000;
constexpr std::size_t kMinSoftBytes = 64u << 10;
std::size_t ItemBytes(const TQueuedPacket& item) {
  return item.packet ? static_cast<std::size_t>(item.packet->size) + sizeof(AVPacket) : 0;
}
}  // namespace

TPacketQueues::TPacketQueues(int count) : fQueues(static_cast<std::size_t>(count)) {}

void TPacketQueues::SetMemoryLimit(std::size_t bytes) {
  std::lock_guard lock(fLock);
  fHardLimit = bytes < (256u << 10) ? (256u << 10) : bytes;
  fSpace.notify_all();
}

void TPacketQueues::SetOpen(int i, bool open) {
  std::lock_guard lock(fLock);
  fQueues[static_cast<std::size_t>(i)].open = open;
  fSpace.notify_all();
}

bool TPacketQueues::FullLocked(int i) const {
  const TQueue& q = fQueues[static_cast<std::size_t>(i)];
  if (q.bytes >= fHardLimit) return true;
  const std::size_t soft = std::max(fHardLimit / 4, kMinSoftBytes);
  if (q.bytes < soft && q.items.size() < kSoftPacketCount) return false;
  for (std::size_t j = 0; j < fQueues.size(); ++j)
    if (static_cast<int>(j) != i && fQueues[j].open && fQueues[j].items.empty()) return false;
  return true;
}

bool TPacketQueues::WaitForSpace(int i) {
  std::unique_lock lock(fLock);
  fSpace.wait(lock, [&] { return fInterrupted || !FullLocked(i); });
  return !fInterrupted;
}

void TPacketQueues::Push(int i, TQueuedPacket item) {
  std::lock_guard lock(fLock);
  TQueue& q = fQueues[static_cast<std::size_t>(i)];
  q.bytes += ItemBytes(item);
  q.items.push_back(std::move(item));
  fData.notify_all();
  // Another queue's soft limit may depend on this one being empty.
  fSpace.notify_all();
}

std::optional<TQueuedPacket> TPacketQueues::Pop(int i, std::chrono::milliseconds timeout) {
  std::unique_lock lock(fLock);
  TQueue& q = fQueues[static_cast<std::size_t>(i)];
  const std::uint64_t wake = fWakeSeq;
  fData.wait_for(lock, timeout, [&] { return fWakeSeq != wake || (!q.held && !q.items.empty()); });
  if (q.held || q.items.empty()) return std::nullopt;
  TQueuedPacket item = std::move(q.items.front());
  q.items.pop_front();
  q.bytes -= ItemBytes(item);
  q.delivering = true;
  fSpace.notify_all();
  return item;
}

void TPacketQueues::EndDelivery(int i) {
  std::lock_guard lock(fLock);
  fQueues[static_cast<std::size_t>(i)].delivering = false;
  fSpace.notify_all();
}

void TPacketQueues::Hold(int i) {
  std::unique_lock lock(fLock);
  TQueue& q = fQueues[static_cast<std::size_t>(i)];
  q.held = true;
  fSpace.wait(lock, [&] { return !q.delivering; });
}

void TPacketQueues::Release(int i) {
  std::lock_guard lock(fLock);
  fQueues[static_cast<std::size_t>(i)].held = false;
  fData.notify_all();
}

void TPacketQueues::Clear(int i) {
  std::lock_guard lock(fLock);
  TQueue& q = fQueues[static_cast<std::size_t>(i)];
  q.items.clear();
  q.bytes = 0;
  fSpace.notify_all();
}

void TPacketQueues::ClearAll() {
  std::lock_guard lock(fLock);
  for (TQueue& q : fQueues) {
    q.items.clear();
    q.bytes = 0;
  }
  fSpace.notify_all();
}

void TPacketQueues::Interrupt() {
  std::lock_guard lock(fLock);
  fInterrupted = true;
  fSpace.notify_all();
}

void TPacketQueues::WakeConsumers() {
  std::lock_guard lock(fLock);
  ++fWakeSeq;
  fData.notify_all();
}

void TPacketQueues::Resume() {
  std::lock_guard lock(fLock);
  fInterrupted = false;
}

std::size_t TPacketQueues::Bytes(int i) {
  std::lock_guard lock(fLock);
  return fQueues[static_cast<std::size_t>(i)].bytes;
}

std::size_t TPacketQueues::Count(int i) {
  std::lock_guard lock(fLock);
  return fQueues[static_cast<std::size_t>(i)].items.size();
}
