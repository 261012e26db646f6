#pragma once
// A small HTTP/1.1 file server on the loopback interface for the network
// tests: GET with byte ranges (206), HEAD; or, in the "silent" mode, a
// server that accepts connections and never answers.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fxt {

class TTestHttpServer {
 public:
  TTestHttpServer(std::string root, bool silent = false);
  ~TTestHttpServer();
  TTestHttpServer(const TTestHttpServer&) = delete;
  TTestHttpServer& operator=(const TTestHttpServer&) = delete;

  int Port() const { return fPort; }
  std::string Url(const std::string& name) const;
  int Requests() const { return fRequests.load(); }

 private:
  void AcceptLoop();
  void Serve(int fd);

  const std::string fRoot;
  const bool fSilent;
  int fListen = -1;
  int fPort = 0;
  std::atomic<bool> fStop{false};
  std::atomic<int> fRequests{0};
  std::thread fAcceptThread;
  std::mutex fLock;
  std::vector<std::thread> fWorkers;
  std::vector<int> fOpen;  // sockets being served
};

}  // namespace fxt
