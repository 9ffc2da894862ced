#include "relay.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "device_rtsp.h"

namespace orvsim {
namespace {

constexpr int kPollMs = 100;
constexpr std::size_t kMaxFirstBytes = 4096;
constexpr int kSendWaitMs = 5000;

std::uint64_t now_ms() {
  return platform::tick_ms64();
}

// "DEVICE <role> <session> <random>"
bool parse_device_line(std::string_view line, std::string& role, std::uint32_t& session,
                       std::string& random) {
  char role_text[16] = {};
  unsigned long s = 0;
  int used = 0;
  const std::string copy(line);
  if (std::sscanf(copy.c_str(), "DEVICE %15s %lu %n", role_text, &s, &used) != 2 || used <= 0)
    return false;
  role = role_text;
  session = static_cast<std::uint32_t>(s);
  random = copy.substr(static_cast<std::size_t>(used));
  return !random.empty() && (role == "control" || role == "stream");
}

}  // namespace

struct RelayServer::Conn : std::enable_shared_from_this<Conn> {
  explicit Conn(platform::Socket s) : socket(std::move(s)) {}
  platform::Socket socket;
  std::shared_ptr<Conn> partner;  // under the relay's m_ until paired
  bool paired = false;
  std::atomic<bool> done{false};
  platform::Thread thread;
};

RelayServer::RelayServer() = default;

RelayServer::~RelayServer() {
  stop();
}

bool RelayServer::start(const RelayOptions& options) {
  stop();
  options_ = options;
  error_.clear();
  stop_.reset();
  platform::Socket s(platform::tcp_socket());
  if (!s || !platform::set_reuse_addr(s.get(), true) ||
      !platform::bind_socket(s.get(), options.bind) || !platform::listen_socket(s.get(), 64)) {
    error_ = "relay cannot listen on " + options.bind.text();
    return false;
  }
  address_ = platform::local_address(s.get()).value_or(options.bind);
  listener_ = std::move(s);
  if (!accept_thread_.create([this] { accept_loop(); })) {
    error_ = "relay thread cannot start";
    listener_.reset();
    return false;
  }
  accept_thread_.resume();
  return true;
}

void RelayServer::stop() {
  stop_.stop();
  platform::shutdown_socket(listener_.get());
  accept_thread_.join();
  listener_.reset();
  std::vector<std::shared_ptr<Conn>> conns;
  {
    std::lock_guard lock(m_);
    conns.swap(conns_);
    waiting_devices_.clear();
    for (auto& c : conns) platform::shutdown_socket(c->socket.get());
  }
  cv_.notify_all();
  for (auto& c : conns) c->thread.join();
  for (auto& c : conns) c->partner.reset();
}

RelayStats RelayServer::stats() const {
  std::lock_guard lock(m_);
  return stats_;
}

void RelayServer::reap() {
  std::erase_if(conns_, [](const std::shared_ptr<Conn>& c) {
    if (!c->done || (c->partner && !c->partner->done)) return false;
    c->thread.join();
    // Both sides are finished: break the pair's cycle.
    if (c->partner) c->partner->partner.reset();
    c->partner.reset();
    return true;
  });
}

void RelayServer::adopt(std::shared_ptr<Conn> conn) {
  std::lock_guard lock(m_);
  reap();
  if (stop_.stopped() || conns_.size() >= options_.max_connections) {
    ++stats_.refused;
    return;  // the socket closes with the connection object
  }
  Conn* c = conn.get();
  bool ok = c->thread.create([this, c] {
    {
      auto self = c->shared_from_this();
      serve(self);
    }
    c->done = true;
  });
  if (!ok) return;
  conns_.push_back(std::move(conn));
  c->thread.resume();
}

void RelayServer::accept_loop() {
  while (!stop_.stopped()) {
    int r = platform::wait_readable(listener_.get(), kPollMs);
    if (r < 0) break;
    {
      std::lock_guard lock(m_);
      reap();
    }
    if (r == 0) continue;
    platform::Socket s(platform::accept_socket(listener_.get()));
    if (!s) continue;
    platform::set_nodelay(s.get(), true);
    adopt(std::make_shared<Conn>(std::move(s)));
  }
}

void RelayServer::serve(const std::shared_ptr<Conn>& conn) {
  std::string first;
  const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(options_.handshake_ms);
  char buf[1024];
  bool device = false;
  for (;;) {
    if (stop_.stopped() || now_ms() >= deadline || first.size() > kMaxFirstBytes) {
      std::lock_guard lock(m_);
      ++stats_.refused;
      return;
    }
    if (first.size() >= 7 || first.find('\n') != std::string::npos)
      device = first.rfind("DEVICE ", 0) == 0;
    if (device && first.find('\n') != std::string::npos) break;
    if (!device &&
        (first.find("\r\n\r\n") != std::string::npos || first.find("\n\n") != std::string::npos))
      break;
    int r = platform::wait_readable(conn->socket.get(), kPollMs);
    if (r < 0) return;
    if (r == 0) continue;
    // The device's line is read byte by byte, so its stream's frames stay unread.
    int want = device || first.size() < 7 ? 1 : static_cast<int>(sizeof buf);
    int n = platform::recv_some(conn->socket.get(), buf, want);
    if (n <= 0) return;
    first.append(buf, static_cast<std::size_t>(n));
  }
  if (device) {
    std::string line = first.substr(0, first.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string role, random;
    std::uint32_t session = 0;
    if (!parse_device_line(line, role, session, random)) {
      std::lock_guard lock(m_);
      ++stats_.refused;
      return;
    }
    if (role == "control")
      serve_device_control(conn, {session, random});
    else
      serve_device_stream(conn);
    return;
  }
  serve_client(conn, std::move(first));
}

void RelayServer::serve_device_control(const std::shared_ptr<Conn>& conn, const Key& key) {
  {
    std::lock_guard lock(m_);
    auto& slot = waiting_devices_[key];
    // A device that registers again replaces its older registration.
    if (slot) platform::shutdown_socket(slot->socket.get());
    slot = conn;
  }
  cv_.notify_all();  // a client may be waiting for this device already
  const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(options_.registration_ms);
  std::shared_ptr<Conn> partner;
  for (;;) {
    {
      std::unique_lock lock(m_);
      cv_.wait_for(lock, std::chrono::milliseconds(kPollMs),
                   [&] { return conn->paired || stop_.stopped(); });
      if (conn->paired) {
        partner = conn->partner;
        break;
      }
      bool gone = stop_.stopped() || now_ms() >= deadline;
      if (!gone) {
        // Before pairing the device sends nothing: readable means it closed.
        gone = platform::wait_readable(conn->socket.get(), 0) != 0;
      }
      if (gone) {
        auto it = waiting_devices_.find(key);
        if (it != waiting_devices_.end() && it->second == conn) waiting_devices_.erase(it);
        return;
      }
    }
  }
  if (partner) pipe(*conn, *partner);
}

void RelayServer::serve_client(const std::shared_ptr<Conn>& conn, std::string first_bytes) {
  RtspParseResult p = parse_rtsp_request(first_bytes);
  std::optional<SessionUrl> url;
  if (p.status == RtspParse::complete) url = parse_session_url(p.request.url);
  if (!url) {
    platform::send_all(conn->socket.get(), rtsp_status_answer(p.request.cseq(), 400), 1000);
    std::lock_guard lock(m_);
    ++stats_.refused;
    return;
  }
  const Key key{url->session, url->random};
  std::shared_ptr<Conn> device;
  {
    std::unique_lock lock(m_);
    const bool found = cv_.wait_for(lock, std::chrono::milliseconds(options_.client_wait_ms), [&] {
      return stop_.stopped() || waiting_devices_.count(key) != 0;
    });
    if (found && !stop_.stopped()) {
      auto it = waiting_devices_.find(key);
      device = it->second;
      waiting_devices_.erase(it);
      device->partner = conn;
      conn->partner = device;
      device->paired = true;
      ++stats_.control_pairs;
    } else {
      ++stats_.unpaired_clients;
    }
  }
  cv_.notify_all();
  if (!device) {
    platform::send_all(conn->socket.get(), rtsp_status_answer(p.request.cseq(), 503), 1000);
    return;
  }
  if (!platform::send_all(device->socket.get(), first_bytes, kSendWaitMs)) {
    platform::shutdown_socket(device->socket.get());
    return;
  }
  pipe(*conn, *device);
}

void RelayServer::serve_device_stream(const std::shared_ptr<Conn>& conn) {
  platform::Socket listener(platform::tcp_socket());
  if (!listener || !platform::bind_socket(listener.get(), {address_.ip, 0}) ||
      !platform::listen_socket(listener.get(), 1))
    return;
  auto port = platform::local_address(listener.get());
  if (!port || !platform::send_all(conn->socket.get(),
                                   "PORT " + std::to_string(port->port) + "\r\n", kSendWaitMs))
    return;
  const std::uint64_t deadline = now_ms() + static_cast<std::uint64_t>(options_.stream_wait_ms);
  platform::Socket client;
  while (!stop_.stopped() && now_ms() < deadline) {
    int r = platform::wait_readable(listener.get(), kPollMs);
    if (r < 0) return;
    if (r == 1) {
      client.reset(platform::accept_socket(listener.get()));
      if (client) break;
    }
    if (platform::wait_readable(conn->socket.get(), 0) != 0) return;  // the device gave up
  }
  listener.reset();
  if (!client) return;
  auto peer = std::make_shared<Conn>(std::move(client));
  {
    std::lock_guard lock(m_);
    if (stop_.stopped()) return;
    peer->partner = conn;
    conn->partner = peer;
    peer->paired = conn->paired = true;
    ++stats_.stream_pairs;
    Conn* c = peer.get();
    // The client's side only needs watching for its close.
    bool ok = c->thread.create([this, c] {
      pipe(*c, *c->partner);
      c->done = true;
    });
    if (!ok) {
      conn->partner.reset();
      peer->partner.reset();
      return;
    }
    conns_.push_back(peer);
    c->thread.resume();
  }
  if (!platform::send_all(conn->socket.get(), "PAIRED\r\n", kSendWaitMs)) {
    platform::shutdown_socket(peer->socket.get());
    return;
  }
  pipe(*conn, *peer);
}

void RelayServer::pipe(Conn& from, Conn& to) {
  std::vector<char> buf(64 * 1024);
  while (!stop_.stopped()) {
    int r = platform::wait_readable(from.socket.get(), kPollMs);
    if (r < 0) break;
    if (r == 0) continue;
    int n = platform::recv_some(from.socket.get(), buf.data(), static_cast<int>(buf.size()));
    if (n <= 0) break;
    if (!platform::send_all(to.socket.get(),
                            std::string_view(buf.data(), static_cast<std::size_t>(n)), kSendWaitMs))
      break;
  }
  // Either side closing closes the other.
  platform::shutdown_socket(from.socket.get());
  platform::shutdown_socket(to.socket.get());
}

}  // namespace orvsim
