// The rendezvous (p2p) server: both sides of a punched path register with the
// same session id and random value, and each learns the other's public
// address (as this server saw it) in a P2P_PEER_ADDR. It runs on the
// simulator's address responders, which keep answering P2P_ADDR_QUERY.
//
// A session pairs two endpoints. A third endpoint (a side that came back on a
// new socket) takes the place of the one heard from longest ago. Sessions
// idle for longer than the limit are forgotten, and their number is bounded,
// so hostile registrations cannot grow the table without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "addr_responder.h"
#include "platform/net.h"

namespace orvsim {

struct RendezvousLimits {
  std::size_t max_sessions = 4096;
  int idle_ms = 120000;
};

// One pair the server introduced to each other, for tests and logs.
struct Pairing {
  std::uint32_t session = 0;
  std::string random;
  platform::SockAddr first;   // registered first
  platform::SockAddr second;  // completed the pair
};

class RendezvousServer {
 public:
  // Sends one datagram to one endpoint.
  using Send = AddrResponder::Reply;

  explicit RendezvousServer(RendezvousLimits limits = {});
  ~RendezvousServer();
  RendezvousServer(const RendezvousServer&) = delete;
  RendezvousServer& operator=(const RendezvousServer&) = delete;

  // Serves registrations arriving at these responders. Forgets every session,
  // since the ways back it kept belong to responders that may be gone.
  void attach(const std::vector<AddrResponder*>& responders);
  void detach();

  // One datagram from `from`; `reply` reaches that sender. Anything but a
  // well-formed registration is ignored. now_ms orders and ages sessions.
  void handle(std::span<const std::byte> data, const platform::SockAddr& from, const Send& reply,
              std::uint64_t now_ms);

  std::size_t registrations() const;  // well-formed registrations received
  std::size_t session_count() const;
  std::vector<Pairing> pairings() const;  // the latest 256

 private:
  struct Endpoint {
    platform::SockAddr addr;
    Send send;
    std::uint64_t seen = 0;
  };
  struct Session {
    std::vector<Endpoint> ends;  // at most two
    std::uint64_t seen = 0;
  };
  using Key = std::pair<std::uint32_t, std::string>;

  void expire(std::uint64_t now_ms);  // m_ held

  const RendezvousLimits limits_;
  mutable std::mutex m_;
  std::vector<AddrResponder*> responders_;
  std::map<Key, Session> sessions_;
  std::vector<Pairing> pairings_;
  std::size_t registrations_ = 0;
  std::uint64_t last_expiry_ = 0;
};

}  // namespace orvsim
