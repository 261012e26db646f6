#pragma once
// TPacketQueues: the bounded packet queues between the splitter's demux
// thread and its output pins' streaming threads, one queue per pin, under
// one lock.
//
// Bounds: a queue is full at the hard limit (the queue memory, bytes), or
// at the soft limit (a quarter of it, or 4000 packets) while no other open
// queue is empty, so that a stream the demuxer must read far ahead for
// never starves the others (a paused graph needs a sample on every pin to
// finish pausing).
//
// Any thread. The demux thread blocks in WaitForSpace, which Interrupt()
// releases at once until Resume(); a pin thread blocks in Pop, which
// WakeConsumers() releases.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "filters/ffmpeg/module/ff_common.h"

struct TQueuedPacket {
  ff::PacketPtr packet;      // null: end of stream
  REFERENCE_TIME start = 0;  // media time
  REFERENCE_TIME stop = 0;
  bool hasTime = false;
  bool hasStop = false;
};

class TPacketQueues {
 public:
  explicit TPacketQueues(int count);

  void SetMemoryLimit(std::size_t bytes);
  // Whether queue i takes packets (its pin is connected).
  void SetOpen(int i, bool open);

  // Blocks while queue i is full; false when interrupted.
  bool WaitForSpace(int i);
  void Push(int i, TQueuedPacket item);
  // The next item of queue i, waiting at most `timeout`; nullopt when none
  // came, when the queue is held or when the consumers were woken.
  std::optional<TQueuedPacket> Pop(int i, std::chrono::milliseconds timeout);

  // Marks queue i's consumer as being inside a delivery (set by Pop,
  // cleared by EndDelivery), so that Hold can wait for it to leave.
  void EndDelivery(int i);
  // Keeps the consumer of queue i from taking items and waits until it is
  // outside a delivery. The caller releases a blocked delivery first.
  void Hold(int i);
  void Release(int i);

  void Clear(int i);
  void ClearAll();
  void Interrupt();
  void Resume();
  void WakeConsumers();

  std::size_t Bytes(int i);
  std::size_t Count(int i);

 private:
  struct TQueue {
    std::deque<TQueuedPacket> items;
    std::size_t bytes = 0;
    bool open = false;
    bool held = false;
    bool delivering = false;
  };
  bool FullLocked(int i) const;

  std::mutex fLock;
  std::condition_variable fData;   // an item was pushed, or interrupt/release
  std::condition_variable fSpace;  // an item was taken, or interrupt/clear
  std::vector<TQueue> fQueues;
  std::size_t fHardLimit = 300u << 20;
  bool fInterrupted = false;
  std::uint64_t fWakeSeq = 0;
};
