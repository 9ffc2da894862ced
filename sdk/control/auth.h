// The authentication exchange: who the caller is on the public network, and
// how its UDP ports drift between two P2P servers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/types.h"

class CMorvic;

namespace velmo {

struct ChannelInfo;
struct AuthReply;

// Waits of the control plane that tests shorten.
struct ControlTuning {
  int addr_query_wait_ms = 2000;  // per address-query try
  int addr_query_tries = 6;
  int passwd_error_wait_ms = 5000;  // extra pause after "PASSWD_ERROR"
};
ControlTuning& tuning();

struct AuthTarget {
  std::string server;
  int port = 0;
  std::string i2c;
  std::string tel;
  int timeout_s = 20;
};

// Where the drift probe of an exchange is registered so that a stop wakes its
// waits: attach is false when the exchange was stopped already.
class ProbeWake {
 public:
  virtual bool attach(SOCKET probe) = 0;
  virtual void detach() = 0;
  virtual bool stopped() const = 0;

 protected:
  ~ProbeWake() = default;
};

// Runs the exchange on conn (a fresh object). With set_codes, a failed
// connection, send or status leaves its code in the last error code.
bool authenticate(CMorvic& conn, const AuthTarget& target, bool set_codes,
                  ProbeWake* wake = nullptr);

// Authentication for a user's channel: replaces the channel's HTTP client
// object, and discards it again on failure. The caller ran the guard. The
// connect thread passes honour_stop so a stop that raced with the new object
// still ends the attempt at once.
bool authenticate_channel(ChannelInfo& channel, int timeout_s, bool honour_stop = false);

// Port-drift value after asking the reply's P2P servers for the public port
// of one probe socket; nullopt fails the exchange, and so does a stop.
std::optional<int> measure_drift(const AuthReply& reply, int initial, ProbeWake* wake = nullptr);

// The public address of socket s as the P2P server at server:port saw it,
// both in network byte order.
bool public_addr_query(SOCKET s, std::string_view server, int port, std::uint32_t& ip_net,
                       std::uint16_t& port_net);

}  // namespace velmo
