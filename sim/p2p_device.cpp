#include "p2p_device.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "p2p_wire.h"

namespace orvsim {
namespace {

constexpr int kSliceMs = 50;

}  // namespace

P2pDevice::P2pDevice() = default;

P2pDevice::~P2pDevice() {
  stop();
}

bool P2pDevice::start(P2pDeviceOptions options) {
  stop();
  error_.clear();
  options_ = std::move(options);
  if (!encode_registration(options_.session, options_.random)) {
    error_ = "random value longer than 31 bytes";
    return false;
  }
  platform::Socket s(platform::udp_socket());
  if (!s || !platform::bind_socket(s.get(), options_.bind)) {
    error_ = "cannot bind UDP " + options_.bind.text();
    return false;
  }
  auto local = platform::local_address(s.get());
  if (!local) {
    error_ = "cannot read the bound UDP port";
    return false;
  }
  local_ = *local;
  socket_ = std::move(s);
  {
    std::lock_guard lock(m_);
    stats_ = {};
  }
  stop_.reset();
  if (!thread_.create([this] { run(); })) {
    error_ = "cannot start the device thread";
    socket_.reset();
    return false;
  }
  thread_.resume();
  return true;
}

void P2pDevice::stop() {
  if (!socket_.valid()) return;
  stop_.stop();
  platform::shutdown_socket(socket_.get());
  thread_.join();
  socket_.reset();
  {
    std::lock_guard lock(m_);
    stats_.finished = true;
  }
  cv_.notify_all();
}

P2pDeviceStats P2pDevice::stats() const {
  std::lock_guard lock(m_);
  return stats_;
}

bool P2pDevice::wait_for(const std::function<bool(const P2pDeviceStats&)>& done,
                         int timeout_ms) const {
  std::unique_lock lock(m_);
  cv_.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)),
               [&] { return done(stats_) || stats_.finished; });
  return done(stats_);
}

void P2pDevice::send(const std::vector<std::byte>& data, const platform::SockAddr& to) {
  platform::send_to(socket_.get(), std::span<const std::byte>(data), to);
}

void P2pDevice::run() {
  const auto reg = *encode_registration(options_.session, options_.random);
  const auto beat = encode_heart_beat(false, options_.session);
  const std::uint64_t start = platform::tick_ms64();
  std::uint64_t next_register = start;
  std::uint64_t next_beat = start;
  std::array<std::byte, 2048> buf;
  while (!stop_.stopped()) {
    const std::uint64_t now = platform::tick_ms64();
    if (now - start >= static_cast<std::uint64_t>(std::max(options_.lifetime_ms, 0))) break;
    std::optional<platform::SockAddr> peer;
    {
      std::lock_guard lock(m_);
      peer = stats_.peer;
    }
    bool changed = false;
    if (!peer && now >= next_register) {
      send(reg, options_.server);
      next_register = now + static_cast<std::uint64_t>(std::max(options_.register_interval_ms, 1));
      std::lock_guard lock(m_);
      ++stats_.registrations_sent;
      changed = true;
    }
    if (peer && options_.send_beats && now >= next_beat) {
      send(beat, *peer);
      next_beat = now + static_cast<std::uint64_t>(std::max(options_.beat_interval_ms, 1));
      std::lock_guard lock(m_);
      ++stats_.beats_sent;
      changed = true;
    }
    if (changed) cv_.notify_all();

    const int ready = platform::wait_readable(socket_.get(), kSliceMs);
    if (ready < 0 || stop_.stopped()) break;
    if (ready == 0) continue;
    platform::SockAddr from;
    const int n = platform::recv_from(socket_.get(), std::span(buf), &from);
    if (n <= 0) continue;  // an ICMP error of an earlier send, or nothing
    receive(std::span<const std::byte>(buf.data(), static_cast<std::size_t>(n)), from);
  }
  {
    std::lock_guard lock(m_);
    stats_.finished = true;
  }
  cv_.notify_all();
}

void P2pDevice::receive(std::span<const std::byte> data, const platform::SockAddr& from) {
  if (auto peer = parse_peer_addr(data)) {
    // Only the server names the peer.
    if (from != options_.server) return;
    {
      std::lock_guard lock(m_);
      ++stats_.peer_addrs;
      stats_.peer = *peer;
    }
    cv_.notify_all();
    return;
  }
  auto hb = parse_heart_beat(data);
  if (!hb || hb->session != options_.session) return;
  if (!hb->back && options_.answer_beats) send(encode_heart_beat(true, options_.session), from);
  {
    std::lock_guard lock(m_);
    if (hb->back)
      ++stats_.backs_received;
    else
      ++stats_.beats_received;
    stats_.peer = from;
  }
  cv_.notify_all();
}

}  // namespace orvsim
