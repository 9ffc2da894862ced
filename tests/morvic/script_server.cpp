#include "script_server.h"

#include <chrono>

namespace morvic_test {

namespace {
constexpr int kSliceMs = 20;
}

std::string reply(int status, const std::string& body, const std::string& extra_fields) {
  return "HTTP/1.1 " + std::to_string(status) +
         " X\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra_fields + "\r\n" +
         body;
}

ScriptServer::ScriptServer(std::vector<Script> scripts)
    : scripts_(std::move(scripts)), listener_(platform::tcp_socket()) {
  constexpr std::uint32_t kLoopback = 0x7F000001;
  if (platform::bind_socket(listener_.get(), {kLoopback, 0}) &&
      platform::listen_socket(listener_.get(), 8)) {
    if (auto local = platform::local_address(listener_.get())) port_ = local->port;
  }
  thread_.create([this] { run(); });
  thread_.resume();
}

ScriptServer::~ScriptServer() {
  stop_.stop();
  thread_.join();
}

std::vector<std::string> ScriptServer::requests() const {
  std::lock_guard lock(m_);
  return requests_;
}

int ScriptServer::connections() const {
  std::lock_guard lock(m_);
  return connections_;
}

bool ScriptServer::wait_requests(std::size_t n, int timeout_ms) {
  std::unique_lock lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                      [&] { return requests_.size() >= n; });
}

void ScriptServer::run() {
  for (const Script& script : scripts_) {
    platform::Socket conn;
    while (!stop_.stopped() && !conn) {
      if (platform::wait_readable(listener_.get(), kSliceMs) == 1)
        conn.reset(platform::accept_socket(listener_.get()));
    }
    if (!conn) return;
    {
      std::lock_guard lock(m_);
      ++connections_;
    }
    play(conn, script);
  }
}

bool ScriptServer::send_bytes(platform::Socket& conn, std::string_view data) {
  while (!data.empty() && !stop_.stopped()) {
    const int w = platform::wait_writable(conn.get(), kSliceMs);
    if (w < 0) return false;
    if (w == 0) continue;
    const int n = platform::send_some(conn.get(), data);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return data.empty();
}

void ScriptServer::play(platform::Socket& conn, const Script& script) {
  std::string pending;  // bytes received past the last request head
  for (const Step& step : script) {
    switch (step.kind) {
      case Step::Kind::read: {
        std::size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
          if (stop_.stopped()) return;
          const int r = platform::wait_readable(conn.get(), kSliceMs);
          if (r < 0) return;
          if (r == 0) continue;
          char buf[4096];
          const int n = platform::recv_some(conn.get(), buf, sizeof buf);
          if (n <= 0) return;
          pending.append(buf, static_cast<std::size_t>(n));
        }
        {
          std::lock_guard lock(m_);
          requests_.push_back(pending.substr(0, end + 4));
        }
        cv_.notify_all();
        pending.erase(0, end + 4);
        break;
      }
      case Step::Kind::send:
        if (!send_bytes(conn, step.bytes)) return;
        break;
      case Step::Kind::trickle:
        for (char c : step.bytes) {
          if (!send_bytes(conn, std::string_view(&c, 1)) || !stop_.sleep_for(step.interval_ms))
            return;
        }
        break;
      case Step::Kind::stall:
        // Hold the connection open, discarding input, until the client goes.
        while (!stop_.stopped()) {
          const int r = platform::wait_readable(conn.get(), kSliceMs);
          if (r < 0) return;
          if (r == 0) continue;
          char buf[512];
          if (platform::recv_some(conn.get(), buf, sizeof buf) <= 0) return;
        }
        return;
      case Step::Kind::close:
        return;
    }
  }
}

}  // namespace morvic_test
