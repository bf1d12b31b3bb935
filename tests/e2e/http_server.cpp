#include "http_server.h"

#include <winsock2.h>

namespace e2e {

HttpServer::HttpServer() : listener_(INVALID_SOCKET) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof(address);
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(s, 16) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::closesocket(s);
    return;
  }
  listener_ = s;
  port_ = ntohs(address.sin_port);
  started_ = ::GetTickCount();
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpServer::~HttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (uintptr_t c : open_) ::shutdown(static_cast<SOCKET>(c), SD_BOTH);
  }
  if (ok()) ::closesocket(static_cast<SOCKET>(listener_));
  if (acceptor_.joinable()) acceptor_.join();
  for (auto& w : workers_) {
    if (w.joinable()) w.join();
  }
  ::WSACleanup();
}

std::string HttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpServer::Serve(const std::string& path, const std::string& body, int delay_ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[path] = Entry{body, delay_ms};
}

std::vector<HttpServer::Request> HttpServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void HttpServer::AcceptLoop() {
  for (;;) {
    SOCKET c = ::accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
    if (c == INVALID_SOCKET) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::closesocket(c);
      return;
    }
    open_.push_back(c);
    workers_.emplace_back([this, c] { Answer(c); });
  }
}

void HttpServer::Answer(uintptr_t connection) {
  const SOCKET c = static_cast<SOCKET>(connection);
  std::string request;
  char buffer[2048];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    const int n = ::recv(c, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  std::string path;
  const size_t sp1 = request.find(' ');
  const size_t sp2 = sp1 == std::string::npos ? sp1 : request.find(' ', sp1 + 1);
  if (sp2 != std::string::npos) path = request.substr(sp1 + 1, sp2 - sp1 - 1);

  Entry entry{std::string(), 0};
  bool known = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back({path, ::GetTickCount() - started_});
    const auto it = entries_.find(path);
    if (it != entries_.end()) {
      entry = it->second;
      known = true;
    }
  }
  if (known && entry.delay_ms < 0) {
    // Never answers: waits for the client to give up or for the server to stop.
    while (::recv(c, buffer, sizeof(buffer), 0) > 0) {
    }
  } else {
    if (known && entry.delay_ms > 0) ::Sleep(static_cast<DWORD>(entry.delay_ms));
    const std::string head =
        known ? "HTTP/1.0 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n"
              : "HTTP/1.0 404 Not Found\r\n";
    const std::string response = head + "Content-Length: " + std::to_string(entry.body.size()) +
                                 "\r\nConnection: close\r\n\r\n" + entry.body;
    ::send(c, response.data(), static_cast<int>(response.size()), 0);
    ::shutdown(c, SD_SEND);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = open_.begin(); it != open_.end(); ++it) {
      if (*it == connection) {
        open_.erase(it);
        break;
      }
    }
  }
  ::closesocket(c);
}

}  // namespace e2e
