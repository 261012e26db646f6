#pragma once
// The presenter's subtitle queue. Subtitles are not drawn: the subtitle pin
// only empties the queue when a connection is checked and when it flushes.

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

struct subtitle {
  std::string text;
  std::int64_t stime = 0;
  std::int64_t etime = 0;
};

class TSubtitleQueue {
 public:
  void Push(subtitle s) {
    std::lock_guard lock(fLock);
    fItems.push_back(std::move(s));
  }
  void Clear() {
    std::lock_guard lock(fLock);
    fItems.clear();
  }
  std::size_t Count() const {
    std::lock_guard lock(fLock);
    return fItems.size();
  }

 private:
  mutable std::mutex fLock;
  std::deque<subtitle> fItems;
};
