// Sockets: IPv4 TCP and UDP, readiness waits with time limits, non-blocking
// mode, address lookup. Results, not exceptions: -1 / INVALID_SOCKET / false on
// failure. Sends never raise SIGPIPE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/types.h"

namespace platform {

class StopSignal;

// IPv4 address and port, both in host byte order.
struct SockAddr {
  std::uint32_t ip = 0;
  std::uint16_t port = 0;

  friend bool operator==(const SockAddr&, const SockAddr&) = default;
  std::string ip_text() const;  // "a.b.c.d"
  std::string text() const;     // "a.b.c.d:port"
};

// Winsock start/stop become a counted no-op; kept so callers keep their order.
int net_startup();
int net_cleanup();

// "a.b.c.d" only; nullopt for anything else.
std::optional<std::uint32_t> parse_dotted(std::string_view text);
// Dotted address or host name (first IPv4 address). Blocks for as long as the
// system's resolver takes.
std::optional<std::uint32_t> resolve_ipv4(std::string_view host);

// The name lookup behind HostLookup; tests stand in a slow one. Null restores
// the system's.
using Resolver = std::optional<std::uint32_t> (*)(std::string_view host);
void set_resolver(Resolver resolver);

// A host-name lookup that the caller can stop waiting for. A system lookup
// cannot be interrupted, so it runs on a worker of a process-wide pool that
// owns and joins its threads; a result nobody waits for any more is dropped.
class HostLookup {
 public:
  // Dotted addresses are answered at once, without a worker.
  static std::shared_ptr<HostLookup> start(std::string host);

  // The address, once known within timeout_ms; nullopt on failure, time-out
  // or cancel().
  std::optional<std::uint32_t> wait(int timeout_ms);
  // Wakes wait() at once; the lookup's result, when it comes, is dropped.
  void cancel();

  struct State;
  explicit HostLookup(std::shared_ptr<State> state) : state_(std::move(state)) {}

 private:
  std::shared_ptr<State> state_;
};

SOCKET tcp_socket();
SOCKET udp_socket();
// Closes the handle; INVALID_SOCKET is ignored.
void close_socket(SOCKET s);
// Wakes every thread blocked on s (poll, recv, accept) without freeing the
// handle, so the owner can close it once those threads are gone.
void shutdown_socket(SOCKET s);

bool set_nonblocking(SOCKET s, bool on);
bool set_reuse_addr(SOCKET s, bool on);
bool set_nodelay(SOCKET s, bool on);
bool set_recv_buffer(SOCKET s, int bytes);
bool set_send_buffer(SOCKET s, int bytes);
bool set_broadcast(SOCKET s, bool on);

bool bind_socket(SOCKET s, const SockAddr& local);
bool listen_socket(SOCKET s, int backlog);
// Accepts one connection; INVALID_SOCKET when none (non-blocking) or on error.
SOCKET accept_socket(SOCKET s, SockAddr* peer = nullptr);

enum class ConnectResult { connected, in_progress, failed };
ConnectResult connect_socket(SOCKET s, const SockAddr& remote);
// Blocking connect bounded by timeout_ms (the socket's mode is restored).
bool connect_with_timeout(SOCKET s, const SockAddr& remote, int timeout_ms);
// After connect_socket gave in_progress and the socket turned writable.
bool connect_succeeded(SOCKET s);

// Readiness waits: 1 ready, 0 time-out, -1 error (hang-up counts as readable).
// timeout_ms < 0 waits without limit.
int wait_readable(SOCKET s, int timeout_ms);
int wait_writable(SOCKET s, int timeout_ms);

// Readiness waits that also end when stop is stopped (also when it was stopped
// before the call): 1 ready, 0 time-out, -1 error, kStopped stopped.
// timeout_ms < 0 waits without limit.
inline constexpr int kStopped = -2;
int wait_readable(SOCKET s, int timeout_ms, const StopSignal& stop);
int wait_writable(SOCKET s, int timeout_ms, const StopSignal& stop);
// Connects s to remote within timeout_ms unless stop comes first; the socket's
// blocking mode is restored. connected, or failed (refused, time-out, error,
// stopped).
ConnectResult connect_until(SOCKET s, const SockAddr& remote, int timeout_ms,
                            const StopSignal& stop);

// One send or receive: bytes moved, 0 for an orderly close (receive), -1 on error
// (would_block() tells a non-blocking "try again").
int send_some(SOCKET s, std::span<const std::byte> data);
int send_some(SOCKET s, std::string_view data);
int recv_some(SOCKET s, std::span<std::byte> buffer);
int recv_some(SOCKET s, char* buffer, int size);
int send_to(SOCKET s, std::span<const std::byte> data, const SockAddr& to);
int send_to(SOCKET s, const char* data, int size, const SockAddr& to);
int recv_from(SOCKET s, std::span<std::byte> buffer, SockAddr* from);
int recv_from(SOCKET s, char* buffer, int size, SockAddr* from);
bool would_block();
// Sends everything or fails; each wait for room is bounded by timeout_ms.
bool send_all(SOCKET s, std::string_view data, int timeout_ms);

std::optional<SockAddr> local_address(SOCKET s);
std::optional<SockAddr> peer_address(SOCKET s);

// Owns one socket handle; closes it on destruction.
class Socket {
 public:
  Socket() = default;
  explicit Socket(SOCKET s) : s_(s) {}
  Socket(Socket&& o) noexcept : s_(std::exchange(o.s_, INVALID_SOCKET)) {}
  Socket& operator=(Socket&& o) noexcept {
    if (this != &o) reset(std::exchange(o.s_, INVALID_SOCKET));
    return *this;
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { reset(); }

  SOCKET get() const { return s_; }
  bool valid() const { return s_ != INVALID_SOCKET; }
  explicit operator bool() const { return valid(); }
  SOCKET release() { return std::exchange(s_, INVALID_SOCKET); }
  void reset(SOCKET s = INVALID_SOCKET) { close_socket(std::exchange(s_, s)); }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

}  // namespace platform
