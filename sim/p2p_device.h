// The device's side of a punched path: it registers with the rendezvous server
// for a session, learns the client's public address, sends its own heart
// beats there and answers the client's heart beats, so both directions of the
// path carry traffic. The peer moves to wherever the client's datagrams come
// from, as the client's NAT may have mapped it to another port.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"

namespace orvsim {

struct P2pDeviceOptions {
  platform::SockAddr bind;    // local address; port 0: any
  platform::SockAddr server;  // the rendezvous server
  std::uint32_t session = 0;
  std::string random;              // at most 31 bytes
  int register_interval_ms = 300;  // until the server names the peer
  int beat_interval_ms = 200;      // own heart beats once the peer is known
  int lifetime_ms = 60000;         // the device goes quiet after this
  bool send_beats = true;
  bool answer_beats = true;
};

struct P2pDeviceStats {
  int registrations_sent = 0;
  int peer_addrs = 0;      // P2P_PEER_ADDR received from the server
  int beats_sent = 0;      // own heart beats
  int beats_received = 0;  // the client's heart beats (answered when answering is on)
  int backs_received = 0;  // answers to own heart beats
  std::optional<platform::SockAddr> peer;
  bool finished = false;  // lifetime over or stopped
};

class P2pDevice {
 public:
  P2pDevice();
  ~P2pDevice();
  P2pDevice(const P2pDevice&) = delete;
  P2pDevice& operator=(const P2pDevice&) = delete;

  // Binds and starts; false (with error()) when the socket cannot be made.
  bool start(P2pDeviceOptions options);
  void stop();
  const std::string& error() const { return error_; }
  platform::SockAddr local() const { return local_; }
  const P2pDeviceOptions& options() const { return options_; }

  P2pDeviceStats stats() const;
  // Waits until done(stats) holds, the device finishes, or timeout_ms passes.
  bool wait_for(const std::function<bool(const P2pDeviceStats&)>& done, int timeout_ms) const;

 private:
  void run();
  void receive(std::span<const std::byte> data, const platform::SockAddr& from);
  void send(const std::vector<std::byte>& data, const platform::SockAddr& to);

  P2pDeviceOptions options_;
  std::string error_;
  platform::Socket socket_;
  platform::SockAddr local_;
  platform::StopSignal stop_;
  platform::Thread thread_;
  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  P2pDeviceStats stats_;
};

}  // namespace orvsim
