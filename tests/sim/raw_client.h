// A bare HTTP client on platform sockets, written here so the tests check the
// simulator against the wire, not against the project's own client classes.
#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/net.h"

namespace simtest {

struct RawResponse {
  std::string head;
  int status = 0;
  std::optional<std::size_t> content_length;
  std::string body;

  std::optional<std::string> field(std::string_view name) const {
    std::size_t pos = head.find("\r\n");
    while (pos != std::string::npos) {
      std::size_t end = head.find("\r\n", pos + 2);
      if (end == std::string::npos) break;
      std::string_view line(head.data() + pos + 2, end - pos - 2);
      std::size_t colon = line.find(':');
      if (colon != std::string_view::npos && line.substr(0, colon) == name) {
        std::string_view v = line.substr(colon + 1);
        while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
        return std::string(v);
      }
      pos = end;
    }
    return std::nullopt;
  }
};

class RawClient {
 public:
  bool connect(int port, int timeout_ms = 2000) {
    socket_.reset(platform::tcp_socket());
    return socket_ &&
           platform::connect_with_timeout(
               socket_.get(), {0x7F000001u, static_cast<std::uint16_t>(port)}, timeout_ms);
  }
  bool send(std::string_view text) { return platform::send_all(socket_.get(), text, 2000); }
  bool get(std::string_view target) {
    return send("GET " + std::string(target) +
                " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n");
  }
  void close() { socket_.reset(); }
  platform::Socket& socket() { return socket_; }

  // One response: the head and, when a Content-Length is given, that many body
  // bytes. nullopt when the server closes or goes quiet first.
  std::optional<RawResponse> read_response(int timeout_ms = 3000) {
    std::uint64_t deadline = platform::tick_ms64() + std::uint64_t(timeout_ms);
    std::size_t end;
    while ((end = buf_.find("\r\n\r\n")) == std::string::npos)
      if (!fill(deadline)) return std::nullopt;
    RawResponse r;
    r.head = buf_.substr(0, end + 4);
    buf_.erase(0, end + 4);
    if (r.head.size() < 12 || r.head.compare(0, 9, "HTTP/1.1 ") != 0) return std::nullopt;
    std::from_chars(r.head.data() + 9, r.head.data() + 12, r.status);
    if (auto cl = r.field("Content-Length")) {
      std::size_t n = 0;
      std::from_chars(cl->data(), cl->data() + cl->size(), n);
      r.content_length = n;
      while (buf_.size() < n)
        if (!fill(deadline)) return std::nullopt;
      r.body = buf_.substr(0, n);
      buf_.erase(0, n);
    }
    return r;
  }

  // Everything up to the server's close; nullopt when it stays open past the limit.
  std::optional<std::string> read_until_close(int timeout_ms = 3000) {
    std::uint64_t deadline = platform::tick_ms64() + std::uint64_t(timeout_ms);
    while (!closed_)
      if (!fill(deadline) && !closed_) return std::nullopt;
    return std::exchange(buf_, std::string());
  }

  // True when no byte arrives for ms and the connection stays open.
  bool quiet_for(int ms) {
    int r = platform::wait_readable(socket_.get(), ms);
    return r == 0 && buf_.empty();
  }

 private:
  bool fill(std::uint64_t deadline) {
    std::uint64_t now = platform::tick_ms64();
    if (now >= deadline || closed_) return false;
    if (platform::wait_readable(socket_.get(), int(deadline - now)) != 1) return false;
    char tmp[4096];
    int n = platform::recv_some(socket_.get(), tmp, sizeof tmp);
    if (n <= 0) {
      closed_ = true;
      return false;
    }
    buf_.append(tmp, std::size_t(n));
    return true;
  }

  platform::Socket socket_;
  std::string buf_;
  bool closed_ = false;
};

}  // namespace simtest
