// A small HTTP server of the tests on 127.0.0.1 only, on a port the system picks. Each path
// answers in one of three ways: at once, after a delay, or never (the connection stays open
// without an answer until the server stops).
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

class HttpServer {
 public:
  HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;
  ~HttpServer();

  bool ok() const { return listener_ != ~static_cast<uintptr_t>(0); }
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path.
  std::string Url(const std::string& path) const;

  // delay_ms < 0: never answers.
  void Serve(const std::string& path, const std::string& body, int delay_ms = 0);
  // Paths requested so far, in order, with the time since the server started (ms).
  struct Request {
    std::string path;
    DWORD at_ms;
  };
  std::vector<Request> Requests();

 private:
  struct Entry {
    std::string body;
    int delay_ms;
  };
  void AcceptLoop();
  void Answer(uintptr_t connection);

  uintptr_t listener_;
  int port_ = 0;
  DWORD started_ = 0;
  bool stopping_ = false;
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
  std::vector<Request> requests_;
  std::vector<uintptr_t> open_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace e2e
