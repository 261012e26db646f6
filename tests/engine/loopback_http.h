#pragma once
// A minimal HTTP/1.1 server on the loopback interface serving one file,
// with byte ranges, for the network-address tests. It answers GET and HEAD
// on a thread of its own, one request per connection, and stops when
// destroyed.

#include <atomic>
#include <string>
#include <thread>

namespace etest {

class TLoopbackHttp {
 public:
  explicit TLoopbackHttp(std::string file);
  ~TLoopbackHttp();
  TLoopbackHttp(const TLoopbackHttp&) = delete;
  TLoopbackHttp& operator=(const TLoopbackHttp&) = delete;

  // "http://127.0.0.1:PORT/name"
  std::string Url(const std::string& name) const;
  int Requests() const { return fRequests; }

 private:
  void Serve();
  void Answer(int client);

  const std::string fFile;
  int fListen = -1;
  int fPort = 0;
  std::atomic<bool> fStop{false};
  std::atomic<int> fRequests{0};
  std::thread fThread;
};

}  // namespace etest
