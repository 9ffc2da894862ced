// A raw HTTP peer for CMorvic tests: listens on 127.0.0.1 port 0 and plays one
// script per accepted connection, so a test decides every byte the client
// receives and sees every byte of each request it sent.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"

namespace morvic_test {

struct Step {
  enum class Kind {
    read,     // read one request head (up to the blank line) and record it
    send,     // send bytes
    trickle,  // send bytes one at a time, interval_ms apart
    stall,    // answer nothing until the client closes or the server stops
    close,    // close the connection now
  };
  Kind kind;
  std::string bytes;
  int interval_ms = 0;

  static Step read() { return {Kind::read, {}}; }
  static Step send(std::string b) { return {Kind::send, std::move(b)}; }
  static Step trickle(std::string b, int ms) { return {Kind::trickle, std::move(b), ms}; }
  static Step stall() { return {Kind::stall, {}}; }
  static Step close() { return {Kind::close, {}}; }
};
using Script = std::vector<Step>;

// "HTTP/1.1 <status>" with a Content-Length matching body.
std::string reply(int status, const std::string& body, const std::string& extra_fields = {});

class ScriptServer {
 public:
  // One script per connection, in the order the connections arrive; a
  // connection is closed when its script ends.
  explicit ScriptServer(std::vector<Script> scripts);
  ~ScriptServer();
  ScriptServer(const ScriptServer&) = delete;
  ScriptServer& operator=(const ScriptServer&) = delete;

  int port() const { return port_; }
  std::vector<std::string> requests() const;
  int connections() const;
  // True once n requests have been read (within timeout_ms).
  bool wait_requests(std::size_t n, int timeout_ms);

 private:
  void run();
  void play(platform::Socket& conn, const Script& script);
  bool send_bytes(platform::Socket& conn, std::string_view data);

  std::vector<Script> scripts_;
  platform::Socket listener_;
  int port_ = 0;
  platform::StopSignal stop_;
  mutable std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::string> requests_;
  int connections_ = 0;
  platform::Thread thread_;
};

}  // namespace morvic_test
