#include "addr_responder.h"

#include <chrono>

namespace orvsim {
namespace {

constexpr int kSliceMs = 500;
constexpr std::size_t kMaxKept = 10000;  // the received list stops growing here

void put_be32(std::vector<std::byte>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::byte((v >> shift) & 0xFF));
}

}  // namespace

std::vector<std::byte> encode_peer_addr(const platform::SockAddr& addr) {
  std::vector<std::byte> out;
  out.reserve(12);
  put_be32(out, kP2pPeerAddr);
  put_be32(out, addr.ip);
  out.push_back(std::byte(addr.port >> 8));
  out.push_back(std::byte(addr.port & 0xFF));
  out.push_back(std::byte{0});
  out.push_back(std::byte{0});
  return out;
}

std::uint32_t read_be32(std::span<const std::byte> data, std::size_t offset) {
  if (offset > data.size() || data.size() - offset < 4) return 0;
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i)
    v = (v << 8) | std::to_integer<std::uint32_t>(data[offset + i]);
  return v;
}

AddrResponder::AddrResponder() = default;

AddrResponder::~AddrResponder() {
  stop();
}

bool AddrResponder::start(const platform::SockAddr& bind) {
  stop();
  error_.clear();
  stop_.reset();
  platform::Socket s(platform::udp_socket());
  if (!s) {
    error_ = "cannot create a UDP socket";
    return false;
  }
  if (!platform::bind_socket(s.get(), bind)) {
    error_ = "cannot bind UDP port " + bind.text();
    return false;
  }
  auto local = platform::local_address(s.get());
  if (!local) {
    error_ = "cannot read the bound UDP port";
    return false;
  }
  port_ = local->port;
  socket_ = std::move(s);
  if (!thread_.create([this] { receive_loop(); })) {
    error_ = "cannot start the UDP receive thread";
    socket_.reset();
    return false;
  }
  thread_.resume();
  return true;
}

void AddrResponder::stop() {
  if (!socket_.valid()) return;
  stop_.stop();
  platform::shutdown_socket(socket_.get());
  thread_.join();
  socket_.reset();
}

void AddrResponder::set_silent(bool silent) {
  std::lock_guard lock(m_);
  silent_ = silent;
}

void AddrResponder::set_port_offset(int offset) {
  std::lock_guard lock(m_);
  port_offset_ = offset;
}

void AddrResponder::set_handler(std::uint32_t type, DatagramHandler handler) {
  std::lock_guard lock(m_);
  handlers_[type] = std::move(handler);
}

std::vector<Datagram> AddrResponder::received() const {
  std::lock_guard lock(m_);
  return received_;
}

std::size_t AddrResponder::received_count() const {
  std::lock_guard lock(m_);
  return received_.size();
}

bool AddrResponder::wait_received(std::size_t count, int timeout_ms) const {
  std::unique_lock lock(m_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms),
                      [&] { return received_.size() >= count; });
}

std::size_t AddrResponder::answered_count() const {
  std::lock_guard lock(m_);
  return answered_;
}

void AddrResponder::receive_loop() {
  std::vector<std::byte> buf(2048);
  while (!stop_.stopped()) {
    int r = platform::wait_readable(socket_.get(), kSliceMs);
    if (stop_.stopped() || r < 0) break;
    if (r == 0) continue;
    platform::SockAddr from;
    int n = platform::recv_from(socket_.get(), std::span(buf), &from);
    if (n < 0) continue;  // e.g. an ICMP error of an earlier send
    handle(std::span<const std::byte>(buf.data(), static_cast<std::size_t>(n)), from);
  }
}

void AddrResponder::handle(std::span<const std::byte> data, const platform::SockAddr& from) {
  bool silent;
  int offset;
  DatagramHandler handler;
  std::uint32_t type = read_be32(data, 0);
  {
    std::lock_guard lock(m_);
    if (received_.size() < kMaxKept)
      received_.push_back({std::vector<std::byte>(data.begin(), data.end()), from});
    silent = silent_;
    offset = port_offset_;
    if (data.size() >= 4) {
      auto it = handlers_.find(type);
      if (it != handlers_.end()) handler = it->second;
    }
  }
  cv_.notify_all();

  Reply reply = [this, from](std::span<const std::byte> out) {
    return platform::send_to(socket_.get(), out, from) == static_cast<int>(out.size());
  };
  if (handler) {
    handler(data, from, reply);
    return;
  }
  if (data.size() != 4 || type != kP2pAddrQuery || silent) return;
  platform::SockAddr seen = from;
  seen.port = static_cast<std::uint16_t>(static_cast<int>(from.port) + offset);
  // Counted before the send so a test that has the answer sees the count too.
  {
    std::lock_guard lock(m_);
    ++answered_;
  }
  if (!reply(encode_peer_addr(seen))) {
    std::lock_guard lock(m_);
    --answered_;
  }
}

}  // namespace orvsim
