#include "peers.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace e2e {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
// Waits are woken by the owner's stop; the limit only bounds each one.
constexpr int kWaitMs = 1000;

platform::Socket bound(SOCKET made, int& port) {
  platform::Socket s(made);
  platform::bind_socket(s.get(), {kLoopback, 0});
  port = platform::local_address(s.get())->port;
  return s;
}

void put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

std::uint32_t get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The 12-byte peer address answer.
std::array<std::uint8_t, 12> peer_addr(std::uint32_t ip, int port) {
  std::array<std::uint8_t, 12> out{};
  put32(out.data(), 0x00010102);
  put32(out.data() + 4, ip);
  out[8] = static_cast<std::uint8_t>(port >> 8);
  out[9] = static_cast<std::uint8_t>(port);
  return out;
}

// Starts body on a thread the caller owns.
void run(platform::Thread& thread, std::function<void()> body) {
  if (thread.create(std::move(body))) thread.resume();
}

}  // namespace

// ---- StubTcpDevice ----

StubTcpDevice::StubTcpDevice(Answers answers) : answers_(answers) {
  listener_ = bound(platform::tcp_socket(), port_);
  platform::listen_socket(listener_.get(), 8);
  run(accept_thread_, [this] { accept_loop(); });
}

StubTcpDevice::~StubTcpDevice() {
  stop_.stop();
  accept_thread_.join();
  std::vector<std::unique_ptr<platform::Thread>> readers;
  {
    std::lock_guard lock(m_);
    readers.swap(readers_);
  }
  for (auto& r : readers) r->join();
}

void StubTcpDevice::accept_loop() {
  while (!stop_.stopped()) {
    if (platform::wait_readable(listener_.get(), kWaitMs, stop_) != 1) continue;
    platform::Socket s(platform::accept_socket(listener_.get()));
    if (!s) continue;
    std::lock_guard lock(m_);
    const SOCKET handle = s.get();
    connections_.push_back(std::move(s));
    readers_.push_back(std::make_unique<platform::Thread>());
    run(*readers_.back(), [this, handle] { read_loop(handle); });
  }
}

void StubTcpDevice::read_loop(SOCKET s) {
  std::string buf;
  while (!stop_.stopped()) {
    const int w = platform::wait_readable(s, kWaitMs, stop_);
    if (w == 0) continue;
    if (w != 1) return;
    char chunk[1024];
    const int n = platform::recv_some(s, chunk, sizeof chunk);
    if (n <= 0) return;
    buf.append(chunk, static_cast<std::size_t>(n));
    for (;;) {
      const auto end = buf.find("\r\n\r\n");
      if (end == std::string::npos) break;
      std::size_t body = 0;
      const auto length = buf.find("Content-Length: ");
      if (length != std::string::npos && length < end) body = std::stoul(buf.substr(length + 16));
      if (buf.size() < end + 4 + body) break;
      const std::string request = buf.substr(0, end + 4 + body);
      buf.erase(0, end + 4 + body);
      {
        std::lock_guard lock(m_);
        requests_.push_back(request);
      }
      cv_.notify_all();
      if (answers_ == Answers::play && request.starts_with("PLAY ")) {
        const auto cseq = request.find("CSeq: ");
        const std::string number =
            cseq == std::string::npos
                ? "1"
                : request.substr(cseq + 6, request.find("\r\n", cseq) - cseq - 6);
        platform::send_all(s,
                           "RTSP/1.0 200 OK\r\nCSeq: " + number +
                               "\r\nTransport: ip=127.0.0.1; port=" + std::to_string(port_) +
                               "; protocol=tcp\r\nRTP-Info: magic=7; session-id=9\r\n\r\n",
                           kWaitMs);
      }
    }
  }
}

std::vector<std::string> StubTcpDevice::requests() const {
  std::lock_guard lock(m_);
  return requests_;
}

bool StubTcpDevice::wait_requests(const std::string& method, std::size_t count,
                                  int timeout_ms) const {
  std::unique_lock lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    std::size_t n = 0;
    for (const auto& r : requests_) n += r.starts_with(method + " ");
    return n >= count;
  });
}

// ---- MuteP2pDevice ----

MuteP2pDevice::MuteP2pDevice() {
  server_ = bound(platform::udp_socket(), server_port_);
  control_ = bound(platform::udp_socket(), control_port_);
  run(server_thread_, [this] { server_loop(); });
  run(control_thread_, [this] { control_loop(); });
}

MuteP2pDevice::~MuteP2pDevice() {
  stop_.stop();
  server_thread_.join();
  control_thread_.join();
}

std::size_t MuteP2pDevice::plays_received() const {
  std::lock_guard lock(m_);
  return plays_;
}

void MuteP2pDevice::server_loop() {
  std::array<std::uint8_t, 64> buf{};
  while (!stop_.stopped()) {
    if (platform::wait_readable(server_.get(), kWaitMs, stop_) != 1) continue;
    platform::SockAddr from;
    const int n = platform::recv_from(server_.get(), std::as_writable_bytes(std::span(buf)), &from);
    std::array<std::uint8_t, 12> out;
    if (n == 40 && get32(buf.data()) == 0x102)
      out = peer_addr(kLoopback, control_port_);  // a registration: the device is here
    else if (n == 4 && get32(buf.data()) == 0x107)
      out = peer_addr(from.ip, from.port);  // an address query
    else
      continue;
    platform::send_to(server_.get(), std::as_bytes(std::span(out)), from);
  }
}

void MuteP2pDevice::control_loop() {
  std::array<std::uint8_t, 4096> buf{};
  while (!stop_.stopped()) {
    if (platform::wait_readable(control_.get(), kWaitMs, stop_) != 1) continue;
    platform::SockAddr from;
    const int n =
        platform::recv_from(control_.get(), std::as_writable_bytes(std::span(buf)), &from);
    if (n == 8 && get32(buf.data()) == 0x105) {
      std::array<std::uint8_t, 8> back{};
      put32(back.data(), 0x106);
      std::copy(buf.begin() + 4, buf.begin() + 8, back.begin() + 4);
      platform::send_to(control_.get(), std::as_bytes(std::span(back)), from);
    } else if (n > 0 && std::string_view(reinterpret_cast<const char*>(buf.data()),
                                         static_cast<std::size_t>(n))
                            .starts_with("PLAY ")) {
      std::lock_guard lock(m_);
      ++plays_;
    }
  }
}

// ---- FullListener ----

FullListener::FullListener() {
  listener_ = bound(platform::tcp_socket(), port_);
  platform::listen_socket(listener_.get(), 0);
  for (int i = 0; i < 3; ++i) {
    fillers_.emplace_back(platform::tcp_socket());
    platform::set_nonblocking(fillers_.back().get(), true);
    platform::connect_socket(fillers_.back().get(), {kLoopback, static_cast<std::uint16_t>(port_)});
  }
}

}  // namespace e2e
