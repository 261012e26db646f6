#include "http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace fxt {

TTestHttpServer::TTestHttpServer(std::string root, bool silent)
    : fRoot(std::move(root)), fSilent(silent) {
  fListen = ::socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  ::setsockopt(fListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  ::bind(fListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::listen(fListen, 16);
  socklen_t len = sizeof addr;
  ::getsockname(fListen, reinterpret_cast<sockaddr*>(&addr), &len);
  fPort = ntohs(addr.sin_port);
  fAcceptThread = std::thread([this] { AcceptLoop(); });
}

TTestHttpServer::~TTestHttpServer() {
  fStop = true;
  ::shutdown(fListen, SHUT_RDWR);
  fAcceptThread.join();
  {
    std::lock_guard lock(fLock);
    for (int fd : fOpen) ::shutdown(fd, SHUT_RDWR);
  }
  for (std::thread& t : fWorkers) t.join();
  ::close(fListen);
}

std::string TTestHttpServer::Url(const std::string& name) const {
  return "http://127.0.0.1:" + std::to_string(fPort) + "/" + name;
}

void TTestHttpServer::AcceptLoop() {
  while (!fStop) {
    pollfd p{fListen, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const int fd = ::accept(fListen, nullptr, nullptr);
    if (fd < 0) continue;
    std::lock_guard lock(fLock);
    fOpen.push_back(fd);
    fWorkers.emplace_back([this, fd] { Serve(fd); });
  }
}

void TTestHttpServer::Serve(int fd) {
  std::string request;
  char buf[4096];
  while (request.find("\r\n\r\n") == std::string::npos && !fStop) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    request.append(buf, static_cast<std::size_t>(n));
  }
  ++fRequests;
  if (fSilent) {
    // Hold the connection open without a word until the test ends.
    while (!fStop && ::recv(fd, buf, sizeof buf, 0) > 0) {
    }
  } else if (request.find("\r\n\r\n") != std::string::npos) {
    std::istringstream in(request);
    std::string method, path;
    in >> method >> path;
    std::string body;
    std::FILE* file =
        path.find("..") == std::string::npos ? std::fopen((fRoot + path).c_str(), "rb") : nullptr;
    if (file) {
      char chunk[65536];
      std::size_t n;
      while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) body.append(chunk, n);
      std::fclose(file);
    }
    std::ostringstream head;
    if (!file) {
      head << "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      body.clear();
    } else {
      std::size_t from = 0, to = body.size() ? body.size() - 1 : 0;
      bool ranged = false;
      const auto r = request.find("Range: bytes=");
      if (r != std::string::npos) {
        unsigned long long a = 0, b = 0;
        const int got = std::sscanf(request.c_str() + r + 13, "%llu-%llu", &a, &b);
        if (got >= 1 && a < body.size()) {
          ranged = true;
          from = a;
          if (got == 2) to = std::min<std::size_t>(b, to);
        }
      }
      const std::string part = body.substr(from, to + 1 - from);
      head << (ranged ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n")
           << "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\n"
           << "Content-Length: " << part.size() << "\r\n";
      if (ranged)
        head << "Content-Range: bytes " << from << "-" << to << "/" << body.size() << "\r\n";
      head << "Connection: close\r\n\r\n";
      body = method == "HEAD" ? std::string() : part;
    }
    const std::string out = head.str() + body;
    std::size_t sent = 0;
    while (sent < out.size() && !fStop) {
      const ssize_t n = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
  }
  std::lock_guard lock(fLock);
  fOpen.erase(std::remove(fOpen.begin(), fOpen.end(), fd), fOpen.end());
  ::close(fd);
}

}  // namespace fxt
