// A small HTTP/1.1 server on platform sockets: kept-open connections with
// several requests in a row, one thread per connection, every request logged
// as received, faults applied to the answers on request of the tests.
//
// start() binds and listens before it returns, so the port is known and
// connections are accepted from then on. stop() wakes every blocked thread
// (accept, receive, stalled answer, waiting handler) and joins it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "faults.h"
#include "handlers.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "request_log.h"

namespace orvsim {

struct HttpServerOptions {
  platform::SockAddr bind{0x7F000001u, 0};  // loopback, ephemeral port
  int idle_timeout_ms = 120000;             // a silent connection is closed after this
  int send_timeout_ms = 10000;              // limit of each wait for room to send
  std::size_t max_head = 16 * 1024;         // larger heads get 431 and a close
  std::size_t max_body = 1024 * 1024;       // larger request bodies get 413 and a close
  std::size_t max_connections = 256;        // beyond this a new connection gets 503 and a close
};

class HttpServer {
 public:
  HttpServer(HandlerRegistry& handlers, RequestLog& log, FaultPlan& faults);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Called on the connection's thread after each answer, no lock held, with the
  // status sent (0: none, as for a dropped or stalled answer; -1: a raw answer).
  using AnswerObserver = std::function<void(const LoggedRequest&, int status)>;
  void set_observer(AnswerObserver observer);

  bool start(const HttpServerOptions& options);
  void stop();
  bool running() const { return listener_.valid(); }
  const std::string& error() const { return error_; }

  int port() const { return port_; }
  platform::SockAddr address() const {
    return {options_.bind.ip, static_cast<std::uint16_t>(port_)};
  }

  std::uint64_t accepted() const;
  std::size_t open_connections() const;
  // True once exactly n connections are open (within timeout_ms).
  bool wait_open_connections(std::size_t n, int timeout_ms) const;

 private:
  struct Connection {
    std::uint64_t id = 0;
    platform::Socket socket;
    platform::SockAddr peer;
    platform::SockAddr local;
    platform::Thread thread;
    bool done = false;  // guarded by m_
  };

  void accept_loop();
  void reap_finished();
  void serve(Connection& c);
  // Reads more bytes into buf; false when the peer closed, on error, idle or stop.
  bool read_more(Connection& c, std::string& buf);
  // Answers one request; false when the connection is to be closed.
  bool answer(Connection& c, const HttpRequest& request, const std::optional<Fault>& fault,
              int& status);
  void stall(Connection& c);
  // An error answer, then a short drain of the client's bytes before the close.
  void refuse(Connection& c, int status, std::string_view why);
  bool send_reply(Connection& c, int status, std::string_view body, std::string_view content_type,
                  bool keep_open);

  HandlerRegistry& handlers_;
  RequestLog& log_;
  FaultPlan& faults_;
  HttpServerOptions options_;
  std::string error_;
  platform::Socket listener_;
  int port_ = 0;
  platform::StopSignal stop_;
  platform::Thread accept_thread_;

  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::list<std::unique_ptr<Connection>> connections_;
  std::uint64_t accepted_ = 0;
  std::size_t open_ = 0;
  AnswerObserver observer_;
};

}  // namespace orvsim
