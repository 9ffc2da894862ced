#include "platform/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "platform/clock.h"

namespace platform {
namespace {

std::atomic<int> g_startups{0};

int fd(SOCKET s) {
  return static_cast<int>(s);
}

sockaddr_in to_native(const SockAddr& a) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(a.ip);
  sa.sin_port = htons(a.port);
  return sa;
}

SockAddr from_native(const sockaddr_in& sa) {
  return SockAddr{ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
}

SOCKET make_socket(int type) {
  int s = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  return s < 0 ? INVALID_SOCKET : static_cast<SOCKET>(s);
}

bool set_int_option(SOCKET s, int level, int name, int value) {
  return ::setsockopt(fd(s), level, name, &value, sizeof value) == 0;
}

int wait_for(SOCKET s, short events, int timeout_ms) {
  if (s == INVALID_SOCKET) return -1;
  pollfd p{fd(s), events, 0};
  for (;;) {
    int r = ::poll(&p, 1, timeout_ms < 0 ? -1 : timeout_ms);
    if (r < 0 && errno == EINTR) continue;  // a signal is not a time-out
    if (r < 0) return -1;
    if (r == 0) return 0;
    if (p.revents & POLLNVAL) return -1;
    if (p.revents & (events | POLLHUP | POLLERR)) return 1;
    return -1;
  }
}

int wait_for(SOCKET s, short events, int timeout_ms, const StopSignal& stop) {
  if (stop.stopped()) return kStopped;
  if (s == INVALID_SOCKET) return -1;
  const int wake = stop.wake_fd();
  const std::uint64_t deadline = tick_ms64() + static_cast<std::uint64_t>(std::max(0, timeout_ms));
  auto left = [&]() -> int {
    if (timeout_ms < 0) return -1;
    const std::uint64_t now = tick_ms64();
    return now >= deadline ? 0 : static_cast<int>(deadline - now);
  };
  if (wake < 0) {
    // No descriptor to spare for the signal: look at it between short waits.
    constexpr int kSliceMs = 50;
    for (;;) {
      const int l = left();
      const int r = wait_for(s, events, l < 0 ? kSliceMs : std::min(l, kSliceMs));
      if (stop.stopped()) return kStopped;
      if (r != 0 || l == 0) return r;
    }
  }
  pollfd p[2] = {{fd(s), events, 0}, {wake, POLLIN, 0}};
  for (;;) {
    const int r = ::poll(p, 2, left());
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (p[1].revents != 0 || stop.stopped()) return kStopped;
    if (r == 0) return 0;
    if (p[0].revents & POLLNVAL) return -1;
    if (p[0].revents & (events | POLLHUP | POLLERR)) return 1;
    return -1;
  }
}

// A connect in non-blocking mode, the wait bounded by timeout_ms and, when
// given, by stop; the socket's mode is restored.
ConnectResult connect_bounded(SOCKET s, const SockAddr& remote, int timeout_ms,
                              const StopSignal* stop) {
  if (stop && stop->stopped()) return ConnectResult::failed;
  const int flags = ::fcntl(fd(s), F_GETFL, 0);
  if (flags < 0 || !set_nonblocking(s, true)) return ConnectResult::failed;
  ConnectResult r = connect_socket(s, remote);
  if (r == ConnectResult::in_progress) {
    const int w = stop ? wait_for(s, POLLOUT, timeout_ms, *stop) : wait_for(s, POLLOUT, timeout_ms);
    r = w == 1 && connect_succeeded(s) ? ConnectResult::connected : ConnectResult::failed;
  }
  ::fcntl(fd(s), F_SETFL, flags);
  return r;
}

}  // namespace

std::string SockAddr::ip_text() const {
  in_addr a{htonl(ip)};
  char buf[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

std::string SockAddr::text() const {
  return ip_text() + ":" + std::to_string(port);
}

int net_startup() {
  ++g_startups;
  return 0;
}

int net_cleanup() {
  if (g_startups.load() > 0) --g_startups;
  return 0;
}

std::optional<std::uint32_t> parse_dotted(std::string_view text) {
  std::uint32_t ip = 0;
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (p == end || *p != '.') return std::nullopt;
      ++p;
    }
    if (p == end || *p < '0' || *p > '9') return std::nullopt;
    const char* digits = p;
    unsigned value = 0;
    auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc() || value > 255 || next - digits > 3) return std::nullopt;
    p = next;
    ip = (ip << 8) | value;
  }
  if (p != end) return std::nullopt;
  return ip;
}

std::optional<std::uint32_t> resolve_ipv4(std::string_view host) {
  if (auto ip = parse_dotted(host)) return ip;
  if (host.empty() || host.size() > 253) return std::nullopt;
  std::string name(host);
  if (name.find('\0') != std::string::npos) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || !result) return std::nullopt;
  std::optional<std::uint32_t> ip;
  for (addrinfo* ai = result; ai; ai = ai->ai_next) {
    if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in sa;
      std::memcpy(&sa, ai->ai_addr, sizeof sa);
      ip = ntohl(sa.sin_addr.s_addr);
      break;
    }
  }
  ::freeaddrinfo(result);
  return ip;
}

SOCKET tcp_socket() {
  return make_socket(SOCK_STREAM);
}
SOCKET udp_socket() {
  return make_socket(SOCK_DGRAM);
}

void close_socket(SOCKET s) {
  if (s != INVALID_SOCKET) ::close(fd(s));
}

void shutdown_socket(SOCKET s) {
  if (s != INVALID_SOCKET) ::shutdown(fd(s), SHUT_RDWR);
}

bool set_nonblocking(SOCKET s, bool on) {
  int flags = ::fcntl(fd(s), F_GETFL, 0);
  if (flags < 0) return false;
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return ::fcntl(fd(s), F_SETFL, flags) == 0;
}

bool set_reuse_addr(SOCKET s, bool on) {
  return set_int_option(s, SOL_SOCKET, SO_REUSEADDR, on);
}
bool set_nodelay(SOCKET s, bool on) {
  return set_int_option(s, IPPROTO_TCP, TCP_NODELAY, on);
}
bool set_recv_buffer(SOCKET s, int bytes) {
  return set_int_option(s, SOL_SOCKET, SO_RCVBUF, bytes);
}
bool set_send_buffer(SOCKET s, int bytes) {
  return set_int_option(s, SOL_SOCKET, SO_SNDBUF, bytes);
}
bool set_broadcast(SOCKET s, bool on) {
  return set_int_option(s, SOL_SOCKET, SO_BROADCAST, on);
}

bool bind_socket(SOCKET s, const SockAddr& local) {
  sockaddr_in sa = to_native(local);
  return ::bind(fd(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool listen_socket(SOCKET s, int backlog) {
  return ::listen(fd(s), backlog) == 0;
}

SOCKET accept_socket(SOCKET s, SockAddr* peer) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  int c;
  do {
    c = ::accept4(fd(s), reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
  } while (c < 0 && errno == EINTR);
  if (c < 0) return INVALID_SOCKET;
  if (peer) *peer = from_native(sa);
  return static_cast<SOCKET>(c);
}

ConnectResult connect_socket(SOCKET s, const SockAddr& remote) {
  sockaddr_in sa = to_native(remote);
  int r;
  do {
    r = ::connect(fd(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return ConnectResult::connected;
  if (errno == EINPROGRESS || errno == EALREADY) return ConnectResult::in_progress;
  return ConnectResult::failed;
}

bool connect_succeeded(SOCKET s) {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd(s), SOL_SOCKET, SO_ERROR, &err, &len) != 0) return false;
  return err == 0;
}

bool connect_with_timeout(SOCKET s, const SockAddr& remote, int timeout_ms) {
  return connect_bounded(s, remote, timeout_ms, nullptr) == ConnectResult::connected;
}

ConnectResult connect_until(SOCKET s, const SockAddr& remote, int timeout_ms,
                            const StopSignal& stop) {
  return connect_bounded(s, remote, timeout_ms, &stop);
}

int wait_readable(SOCKET s, int timeout_ms) {
  return wait_for(s, POLLIN, timeout_ms);
}
int wait_writable(SOCKET s, int timeout_ms) {
  return wait_for(s, POLLOUT, timeout_ms);
}
int wait_readable(SOCKET s, int timeout_ms, const StopSignal& stop) {
  return wait_for(s, POLLIN, timeout_ms, stop);
}
int wait_writable(SOCKET s, int timeout_ms, const StopSignal& stop) {
  return wait_for(s, POLLOUT, timeout_ms, stop);
}

int send_some(SOCKET s, std::span<const std::byte> data) {
  ssize_t r;
  do {
    r = ::send(fd(s), data.data(), data.size(), MSG_NOSIGNAL);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : static_cast<int>(r);
}

int send_some(SOCKET s, std::string_view data) {
  return send_some(s, std::as_bytes(std::span(data.data(), data.size())));
}

int recv_some(SOCKET s, std::span<std::byte> buffer) {
  ssize_t r;
  do {
    r = ::recv(fd(s), buffer.data(), buffer.size(), 0);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : static_cast<int>(r);
}

int recv_some(SOCKET s, char* buffer, int size) {
  if (!buffer || size < 0) return -1;
  return recv_some(s, std::as_writable_bytes(std::span(buffer, static_cast<std::size_t>(size))));
}

int send_to(SOCKET s, std::span<const std::byte> data, const SockAddr& to) {
  sockaddr_in sa = to_native(to);
  ssize_t r;
  do {
    r = ::sendto(fd(s), data.data(), data.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa),
                 sizeof sa);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : static_cast<int>(r);
}

int send_to(SOCKET s, const char* data, int size, const SockAddr& to) {
  if (!data || size < 0) return -1;
  return send_to(s, std::as_bytes(std::span(data, static_cast<std::size_t>(size))), to);
}

int recv_from(SOCKET s, std::span<std::byte> buffer, SockAddr* from) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  ssize_t r;
  do {
    r = ::recvfrom(fd(s), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&sa), &len);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return -1;
  if (from) *from = from_native(sa);
  return static_cast<int>(r);
}

int recv_from(SOCKET s, char* buffer, int size, SockAddr* from) {
  if (!buffer || size < 0) return -1;
  return recv_from(s, std::as_writable_bytes(std::span(buffer, static_cast<std::size_t>(size))),
                   from);
}

bool would_block() {
  return errno == EAGAIN || errno == EWOULDBLOCK;
}

bool send_all(SOCKET s, std::string_view data, int timeout_ms) {
  while (!data.empty()) {
    int n = send_some(s, data);
    if (n < 0 && would_block()) {
      if (wait_writable(s, timeout_ms) != 1) return false;
      continue;
    }
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<SockAddr> local_address(SOCKET s) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(fd(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return std::nullopt;
  return from_native(sa);
}

std::optional<SockAddr> peer_address(SOCKET s) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getpeername(fd(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return std::nullopt;
  return from_native(sa);
}

}  // namespace platform
