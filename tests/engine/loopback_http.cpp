#include "loopback_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace etest {

namespace {

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

TLoopbackHttp::TLoopbackHttp(std::string file) : fFile(std::move(file)) {
  fListen = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fListen < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(fListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fListen, 8) != 0)
    throw std::runtime_error("bind");
  socklen_t len = sizeof addr;
  ::getsockname(fListen, reinterpret_cast<sockaddr*>(&addr), &len);
  fPort = ntohs(addr.sin_port);
  fThread = std::thread([this] { Serve(); });
}

TLoopbackHttp::~TLoopbackHttp() {
  fStop = true;
  ::shutdown(fListen, SHUT_RDWR);
  fThread.join();
  ::close(fListen);
}

std::string TLoopbackHttp::Url(const std::string& name) const {
  return "http://127.0.0.1:" + std::to_string(fPort) + "/" + name;
}

void TLoopbackHttp::Serve() {
  while (!fStop) {
    pollfd p{fListen, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int client = ::accept(fListen, nullptr, nullptr);
    if (client < 0) continue;
    Answer(client);
    ::close(client);
  }
}

void TLoopbackHttp::Answer(int client) {
  std::ifstream in(fFile, std::ios::binary);
  const std::vector<char> body{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
  std::string pending;
  while (!fStop) {
    std::size_t end = pending.find("\r\n\r\n");
    while (end == std::string::npos) {
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) {
        if (fStop) return;
        continue;
      }
      char buf[4096];
      const ssize_t n = ::recv(client, buf, sizeof buf, 0);
      if (n <= 0) return;
      pending.append(buf, static_cast<std::size_t>(n));
      end = pending.find("\r\n\r\n");
    }
    const std::string request = pending.substr(0, end);
    pending.erase(0, end + 4);
    ++fRequests;
    const bool head = request.rfind("HEAD ", 0) == 0;
    std::size_t first = 0;
    std::size_t last = body.empty() ? 0 : body.size() - 1;
    bool ranged = false;
    const auto range = request.find("Range: bytes=");
    if (range != std::string::npos) {
      unsigned long long a = 0;
      unsigned long long b = 0;
      const int n = std::sscanf(request.c_str() + range, "Range: bytes=%llu-%llu", &a, &b);
      if (n >= 1 && a < body.size()) {
        ranged = true;
        first = a;
        if (n == 2 && b < body.size()) last = b;
      }
    }
    const std::size_t length = body.empty() ? 0 : last - first + 1;
    std::ostringstream head_;
    head_ << (ranged ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n")
          << "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\n"
          << "Connection: close\r\n"
          << "Content-Length: " << length << "\r\n";
    if (ranged)
      head_ << "Content-Range: bytes " << first << "-" << last << "/" << body.size() << "\r\n";
    head_ << "\r\n";
    const std::string h = head_.str();
    if (!SendAll(client, h.data(), h.size())) return;
    if (!head && length > 0) SendAll(client, body.data() + first, length);
    return;  // one request per connection
  }
}

}  // namespace etest
