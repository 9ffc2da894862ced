#include "morvic/morvic.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/text.h"
#include "request_text.h"
#include "response_head.h"

namespace {

constexpr int kDefaultTimeoutMs = 20000;
constexpr int kMaxTimeoutSeconds = 24 * 3600;
// A wait re-checks the abort flag this often even if no wake-up arrives.
constexpr int kWaitSliceMs = 200;
// An unread body rest up to this size is skipped to reuse the connection;
// a longer one is cheaper to give up with the connection.
constexpr std::uint64_t kMaxSkippedBody = 64 * 1024;

}  // namespace

struct CMorvic::Impl {
  // Guards `sock` against CloseSocket on another thread. The handle itself is
  // only closed by its owner (Socket, destructor), never by CloseSocket, so a
  // blocked thread never sees its descriptor reused.
  std::mutex guard;
  SOCKET sock = INVALID_SOCKET;
  std::atomic<bool> aborted{false};
  std::shared_ptr<platform::HostLookup> lookup;  // a name lookup in progress

  bool connected = false;
  bool broken = false;  // an exchange failed mid-way: the byte stream is out of step
  int port = 0;
  int recv_timeout_ms = kDefaultTimeoutMs;
  int send_timeout_ms = kDefaultTimeoutMs;

  std::string host;
  std::string object;
  std::string request;  // text handed out by FormatRequestHeader

  bool have_head = false;
  morvic::ResponseHead head;
  std::optional<std::uint64_t> body_left;  // nullopt: the body runs to the close
  std::string inbox;                       // received bytes not yet consumed
  std::size_t inbox_pos = 0;

  std::size_t buffered() const { return inbox.size() - inbox_pos; }
  void consume(std::size_t n) {
    inbox_pos += n;
    if (inbox_pos == inbox.size()) {
      inbox.clear();
      inbox_pos = 0;
    }
  }

  bool usable() const { return connected && !broken && !aborted.load(); }

  // 1 ready, 0 deadline passed, -1 error or aborted.
  int wait(bool readable, std::uint64_t deadline) {
    for (;;) {
      if (aborted.load()) return -1;
      const std::uint64_t now = platform::tick_ms64();
      if (now >= deadline) return 0;
      const int slice = static_cast<int>(std::min<std::uint64_t>(deadline - now, kWaitSliceMs));
      const int r =
          readable ? platform::wait_readable(sock, slice) : platform::wait_writable(sock, slice);
      if (r != 0) return aborted.load() ? -1 : r;
    }
  }

  // A system lookup cannot be interrupted: CloseSocket stops the wait for it
  // instead, and the lookup's late result is dropped.
  std::optional<std::uint32_t> resolve(std::string host) {
    auto pending = platform::HostLookup::start(std::move(host));
    {
      std::lock_guard lock(guard);
      if (aborted.load()) return std::nullopt;
      lookup = pending;
    }
    auto ip = pending->wait(recv_timeout_ms);
    std::lock_guard lock(guard);
    lookup.reset();
    if (aborted.load()) return std::nullopt;
    return ip;
  }

  bool send_all(std::string_view data) {
    const std::uint64_t deadline = platform::tick_ms64() + send_timeout_ms;
    while (!data.empty()) {
      if (wait(false, deadline) != 1) return false;
      const int n = platform::send_some(sock, data);
      if (n < 0 && platform::would_block()) continue;
      if (n <= 0) return false;
      data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  // One receive into the inbox, at most `limit` bytes: >0 bytes, 0 closed,
  // -1 time-out, error or abort.
  int receive(std::size_t limit, std::uint64_t deadline) {
    char chunk[4096];
    limit = std::min(limit, sizeof chunk);
    for (;;) {
      if (wait(true, deadline) != 1) return -1;
      const int n = platform::recv_some(sock, chunk, static_cast<int>(limit));
      if (n < 0 && platform::would_block()) continue;
      if (n > 0) inbox.append(chunk, static_cast<std::size_t>(n));
      return n;
    }
  }

  // Makes the connection ready for the next request: the previous response
  // must end where its framing says, and its unread body is skipped.
  bool finish_previous() {
    if (!have_head) return buffered() == 0;
    have_head = false;
    if (head.close || !body_left) return false;
    if (buffered() > *body_left) return false;  // bytes nobody asked for
    std::uint64_t left = *body_left - buffered();
    consume(buffered());
    body_left = 0;
    if (left > kMaxSkippedBody) return false;
    const std::uint64_t deadline = platform::tick_ms64() + recv_timeout_ms;
    while (left > 0) {
      const int n = receive(static_cast<std::size_t>(left), deadline);
      if (n <= 0) return false;
      left -= static_cast<std::uint64_t>(n);
      consume(static_cast<std::size_t>(n));
    }
    return true;
  }

  // Reads a response head; interim 1xx heads are passed over. The whole read,
  // not each byte, is bounded by the receive time-out.
  bool read_head() {
    const std::uint64_t deadline = platform::tick_ms64() + recv_timeout_ms;
    for (;;) {
      std::size_t scanned = 0;
      std::size_t end = 0;
      for (;;) {
        const std::string_view data(inbox.data() + inbox_pos, buffered());
        end = morvic::find_head_end(data, scanned);
        if (end != 0) break;
        scanned = data.size();
        if (data.size() >= morvic::kMaxHeadBytes) return false;
        if (receive(morvic::kMaxHeadBytes - data.size(), deadline) <= 0) return false;
      }
      if (end > morvic::kMaxHeadBytes) return false;
      auto parsed = morvic::parse_response_head(std::string_view(inbox.data() + inbox_pos, end));
      consume(end);
      if (!parsed) return false;
      if (parsed->status == 101) return false;  // no protocol switch was asked for
      if (parsed->status >= 200) {
        head = std::move(*parsed);
        body_left = head.body_length();
        have_head = true;
        return true;
      }
    }
  }
};

CMorvic::CMorvic() : impl_(std::make_unique<Impl>()) {}

CMorvic::~CMorvic() {
  std::lock_guard lock(impl_->guard);
  if (impl_->sock != INVALID_SOCKET) {
    platform::shutdown_socket(impl_->sock);
    platform::close_socket(impl_->sock);
    impl_->sock = INVALID_SOCKET;
  }
}

int CMorvic::Socket() {
  Impl& d = *impl_;
  if (d.aborted.load()) return 0;
  const SOCKET s = platform::tcp_socket();
  if (s == INVALID_SOCKET) return 0;
  std::lock_guard lock(d.guard);
  if (d.aborted.load()) {
    platform::close_socket(s);
    return 0;
  }
  platform::close_socket(std::exchange(d.sock, s));
  d.connected = false;
  d.broken = false;
  d.have_head = false;
  d.inbox.clear();
  d.inbox_pos = 0;
  return 1;
}

int CMorvic::Connect(wchar_t* server, int port) {
  Impl& d = *impl_;
  if (!server || port <= 0 || port > 65535) return 0;
  if (d.sock == INVALID_SOCKET || d.connected || d.aborted.load()) return 0;
  const auto ip = d.resolve(platform::cp936_from_wide(server));
  if (!ip) return 0;
  if (!platform::set_nonblocking(d.sock, true)) return 0;
  const platform::SockAddr remote{*ip, static_cast<std::uint16_t>(port)};
  switch (platform::connect_socket(d.sock, remote)) {
    case platform::ConnectResult::connected:
      break;
    case platform::ConnectResult::in_progress:
      if (d.wait(false, platform::tick_ms64() + d.recv_timeout_ms) != 1 ||
          !platform::connect_succeeded(d.sock))
        return 0;
      break;
    case platform::ConnectResult::failed:
      return 0;
  }
  if (d.aborted.load()) return 0;
  d.connected = true;
  d.port = port;
  return 1;
}

int CMorvic::SetTimeout(int seconds, int kind) {
  if (seconds <= 0) return 0;
  const int ms = std::min(seconds, kMaxTimeoutSeconds) * 1000;
  switch (kind) {
    case 0:
      impl_->recv_timeout_ms = ms;
      return 1;
    case 1:
      impl_->send_timeout_ms = ms;
      return 1;
    default:
      return 0;
  }
}

const char* CMorvic::FormatRequestHeader(wchar_t* server, wchar_t* object, long& length,
                                         wchar_t* /*headers*/, wchar_t* /*data*/,
                                         long /*data_length*/, long /*flags*/, int /*reserved*/) {
  Impl& d = *impl_;
  length = 0;
  d.request.clear();
  if (!server || !object) return nullptr;
  std::string host = platform::cp936_from_wide(server);
  std::string path = morvic::request_object_bytes(object);
  auto text = morvic::format_get_request(host, path, d.connected ? d.port : 0);
  if (!text) return nullptr;
  d.host = std::move(host);
  d.object = std::move(path);
  d.request = std::move(*text);
  length = static_cast<long>(d.request.size());
  return d.request.c_str();
}

int CMorvic::SendRequest(const wchar_t* /*extra*/, long /*extra_length*/) {
  Impl& d = *impl_;
  if (!d.usable() || d.request.empty()) return 0;
  const bool ready = d.finish_previous();
  d.head = {};
  if (!ready) {
    d.broken = true;
    return 0;
  }
  // The port is known only once connected; the Host field names it.
  auto text = morvic::format_get_request(d.host, d.object, d.port);
  if (!text || !d.send_all(*text) || !d.read_head()) {
    d.have_head = false;
    d.head = {};
    d.broken = true;
    return 0;
  }
  return 1;
}

int CMorvic::GetServerState() {
  return impl_->have_head ? impl_->head.status : 0;
}

std::wstring CMorvic::GetField(const wchar_t* name) {
  if (!name || !impl_->have_head) return {};
  const std::string* value = impl_->head.field(platform::cp936_from_wide(name));
  return value ? platform::wide_from_cp936(*value) : std::wstring();
}

int CMorvic::SelectRcv(char* buffer, int size) {
  Impl& d = *impl_;
  if (!buffer || size <= 0 || !d.have_head || d.broken || d.aborted.load()) return -1;
  std::size_t want = static_cast<std::size_t>(size);
  if (d.body_left) {
    if (*d.body_left == 0) return 0;
    want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *d.body_left));
  }
  if (d.buffered() == 0) {
    const int n = d.receive(want, platform::tick_ms64() + d.recv_timeout_ms);
    if (n <= 0) {
      // Closed early, timed out or aborted: this connection is done.
      d.broken = true;
      return n;
    }
  }
  const std::size_t n = std::min(want, d.buffered());
  std::memcpy(buffer, d.inbox.data() + d.inbox_pos, n);
  d.consume(n);
  if (d.body_left) *d.body_left -= n;
  return static_cast<int>(n);
}

int CMorvic::CloseSocket() {
  Impl& d = *impl_;
  std::lock_guard lock(d.guard);
  d.aborted.store(true);
  if (d.lookup) d.lookup->cancel();
  if (d.sock == INVALID_SOCKET) return 0;
  platform::shutdown_socket(d.sock);
  return 1;
}

std::wstring CMorvic::GetLocalIP() {
  Impl& d = *impl_;
  if (!d.connected) return {};
  const auto local = platform::local_address(d.sock);
  return local ? platform::wide_from_cp936(local->ip_text()) : std::wstring();
}
