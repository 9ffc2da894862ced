// A UDP server that tells a client its public address: it answers the 4-byte
// address query with the sender's address and port as it saw them, in the
// 12-byte peer-address layout. Further datagram types (the rendezvous of a
// punched path) plug in by their type word. Anything else is ignored.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"

namespace orvsim {

inline constexpr std::uint32_t kP2pRegister = 0x00000102;
inline constexpr std::uint32_t kP2pPeerAddr = 0x00010102;
inline constexpr std::uint32_t kP2pHeartBeat = 0x00000105;
inline constexpr std::uint32_t kP2pHeartBeatBack = 0x00000106;
inline constexpr std::uint32_t kP2pAddrQuery = 0x00000107;

// The 12-byte answer: type, IPv4 address, port (all big-endian), 2 zero bytes.
std::vector<std::byte> encode_peer_addr(const platform::SockAddr& addr);
std::uint32_t read_be32(std::span<const std::byte> data, std::size_t offset);

struct Datagram {
  std::vector<std::byte> data;
  platform::SockAddr from;
};

class AddrResponder {
 public:
  // A handler for one datagram type; `reply` sends a datagram back to the sender.
  using Reply = std::function<bool(std::span<const std::byte>)>;
  using DatagramHandler = std::function<void(std::span<const std::byte> data,
                                             const platform::SockAddr& from, const Reply& reply)>;

  AddrResponder();
  ~AddrResponder();
  AddrResponder(const AddrResponder&) = delete;
  AddrResponder& operator=(const AddrResponder&) = delete;

  // Binds (port 0: ephemeral) and starts the receive thread.
  bool start(const platform::SockAddr& bind);
  void stop();
  int port() const { return port_; }
  const std::string& error() const { return error_; }

  // Faults for tests: stay silent to address queries, or report the port moved
  // by `offset` (as a NAT that maps the second server's flow elsewhere would).
  void set_silent(bool silent);
  void set_port_offset(int offset);

  // Registers a handler for a type word (called on the receive thread, no lock held).
  void set_handler(std::uint32_t type, DatagramHandler handler);

  // Every datagram received, junk included, in order.
  std::vector<Datagram> received() const;
  std::size_t received_count() const;
  bool wait_received(std::size_t count, int timeout_ms) const;
  std::size_t answered_count() const;

 private:
  void receive_loop();
  void handle(std::span<const std::byte> data, const platform::SockAddr& from);

  platform::Socket socket_;
  int port_ = 0;
  std::string error_;
  platform::StopSignal stop_;
  platform::Thread thread_;

  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  bool silent_ = false;
  int port_offset_ = 0;
  std::map<std::uint32_t, DatagramHandler> handlers_;
  std::vector<Datagram> received_;
  std::size_t answered_ = 0;
};

}  // namespace orvsim
