#include "rendezvous.h"

#include <algorithm>

#include "p2p_wire.h"
#include "platform/clock.h"

namespace orvsim {
namespace {

constexpr std::size_t kKeptPairings = 256;
constexpr std::uint64_t kExpiryEveryMs = 1000;

}  // namespace

RendezvousServer::RendezvousServer(RendezvousLimits limits) : limits_(limits) {}

RendezvousServer::~RendezvousServer() {
  detach();
}

void RendezvousServer::attach(const std::vector<AddrResponder*>& responders) {
  detach();
  {
    std::lock_guard lock(m_);
    responders_ = responders;
  }
  for (AddrResponder* r : responders) {
    r->set_handler(kP2pRegister,
                   [this](std::span<const std::byte> data, const platform::SockAddr& from,
                          const Send& reply) { handle(data, from, reply, platform::tick_ms64()); });
  }
}

void RendezvousServer::detach() {
  std::vector<AddrResponder*> old;
  {
    std::lock_guard lock(m_);
    old.swap(responders_);
  }
  // An empty handler hands the type back to the responder, which ignores it.
  for (AddrResponder* r : old) r->set_handler(kP2pRegister, {});
  std::lock_guard lock(m_);
  sessions_.clear();
}

void RendezvousServer::expire(std::uint64_t now_ms) {
  if (now_ms - last_expiry_ < kExpiryEveryMs && sessions_.size() < limits_.max_sessions) return;
  last_expiry_ = now_ms;
  const auto idle = static_cast<std::uint64_t>(std::max(limits_.idle_ms, 0));
  std::erase_if(sessions_, [&](const auto& entry) { return now_ms - entry.second.seen > idle; });
}

void RendezvousServer::handle(std::span<const std::byte> data, const platform::SockAddr& from,
                              const Send& reply, std::uint64_t now_ms) {
  auto reg = parse_registration(data);
  if (!reg) return;
  struct Out {
    Send send;
    std::vector<std::byte> data;
  };
  std::vector<Out> outs;
  {
    std::lock_guard lock(m_);
    ++registrations_;
    expire(now_ms);
    Key key{reg->session, reg->random};
    auto it = sessions_.find(key);
    if (it == sessions_.end()) {
      if (sessions_.size() >= limits_.max_sessions) return;
      it = sessions_.emplace(std::move(key), Session{}).first;
    }
    Session& s = it->second;
    s.seen = now_ms;
    auto self = std::find_if(s.ends.begin(), s.ends.end(),
                             [&](const Endpoint& e) { return e.addr == from; });
    const bool completes = self == s.ends.end() && s.ends.size() == 1;
    if (self == s.ends.end()) {
      if (s.ends.size() < 2) {
        s.ends.push_back({from, reply, now_ms});
        self = s.ends.end() - 1;
      } else {
        self =
            std::min_element(s.ends.begin(), s.ends.end(),
                             [](const Endpoint& a, const Endpoint& b) { return a.seen < b.seen; });
        *self = {from, reply, now_ms};
      }
    } else {
      self->send = reply;
      self->seen = now_ms;
    }
    if (s.ends.size() == 2) {
      Endpoint& other = s.ends[self == s.ends.begin() ? 1 : 0];
      outs.push_back({self->send, encode_peer_addr(other.addr)});
      outs.push_back({other.send, encode_peer_addr(self->addr)});
      if (completes) {
        if (pairings_.size() >= kKeptPairings) pairings_.erase(pairings_.begin());
        pairings_.push_back({reg->session, reg->random, other.addr, self->addr});
      }
    }
  }
  for (const Out& o : outs)
    if (o.send) o.send(o.data);
}

std::size_t RendezvousServer::registrations() const {
  std::lock_guard lock(m_);
  return registrations_;
}

std::size_t RendezvousServer::session_count() const {
  std::lock_guard lock(m_);
  return sessions_.size();
}

std::vector<Pairing> RendezvousServer::pairings() const {
  std::lock_guard lock(m_);
  return pairings_;
}

}  // namespace orvsim
