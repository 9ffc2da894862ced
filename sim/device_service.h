// The simulated devices behind the negotiation: for every channel of the
// fleet, the device side of its connection type.
//
//   client-monitor-direct          a listener per channel; ConnectInfo's
//                                  RtcpPort names it (LAN-IP is the address
//                                  the client reached the server on).
//   monitor-client-direct          after the negotiation the device dials the
//                                  client's listener (the request's lan-ip and
//                                  listen-port; the client's address as the
//                                  server saw it if that fails) twice: control
//                                  first, then, after answering PLAY, the
//                                  stream, at the PLAY's Transport address.
//   client-monitor-middle-transfer the simulator's relay; TransitIP/TransitPort
//                                  name it. The device registers its control
//                                  connection there at negotiation time and
//                                  its stream connection at PLAY time.
//   client-monitor-p2p             a UDP device that registers with the P2P
//                                  server named by IPv4/Port under the reply's
//                                  SessionId and RandomValue, punches towards
//                                  the client and serves the PLAY datagram.
//
// The service wraps the "/realtime" and "/connect" handlers: the negotiation
// reply stays the control plane's, except that the ports of the direct
// listener and the relay are filled in with the ones really listening
// (channel options rtcp-port / transit-port bind or name fixed ports instead;
// transit-ip names an outside relay, and then no device is started).
//
// A PLAY is accepted only with the URL tokens (RandomValue, SessionId) of a
// negotiation of that channel; the picture format follows the request's
// img-resolution and frame-rate, or the channel options resolution=qcif|cif|d1,
// fps=n and sound=1. Heart-beat period and idle limits come from the options.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device_log.h"
#include "device_session.h"
#include "fleet.h"
#include "handlers.h"
#include "media_source.h"
#include "relay.h"

namespace orvsim {

struct DeviceServiceOptions {
  std::string bind_ip = "127.0.0.1";
  int heartbeat_ms = 5000;
  int idle_ms = 30000;
  int stream_wait_ms = 10000;
  int relay_client_wait_ms = 5000;  // a client at the relay waits this long for its device
  std::size_t max_sessions = 256;
};

// One negotiation as the device side keeps it.
struct Negotiation {
  ChannelKey key;
  ConnectType type = ConnectType::client_monitor_direct;
  std::string random;
  std::uint32_t session = 0;
  StreamFormat format;
  platform::SockAddr client;  // the client's listener (monitor-client-direct)
};

// What a channel serves, for people and for clients under test.
struct ServedEndpoint {
  ChannelKey key;
  ConnectType type = ConnectType::client_monitor_direct;
  platform::SockAddr address;  // listener or relay; 0 when the device dials or punches
  std::string text;            // one line
};

class DeviceService {
 public:
  using FleetSource = std::function<std::shared_ptr<const Fleet>()>;

  DeviceService();
  ~DeviceService();
  DeviceService(const DeviceService&) = delete;
  DeviceService& operator=(const DeviceService&) = delete;

  // Wraps the negotiation handlers registered so far.
  void install(HandlerRegistry& handlers, FleetSource fleet);
  // Timing and limits of the sessions started from now on; bind_ip is the
  // start() argument's.
  void set_options(const DeviceServiceOptions& options);
  DeviceServiceOptions options() const;
  // Starts the relay and the listeners of the fleet's direct channels.
  bool start(const std::string& bind_ip);
  void stop();
  const std::string& error() const { return error_; }

  std::vector<ServedEndpoint> endpoints() const;
  // Lines for the orvsim program: per device and channel what it serves.
  std::string summary() const;
  platform::SockAddr relay_address() const { return relay_.address(); }
  std::optional<platform::SockAddr> listener_address(const ChannelKey& key) const;
  std::vector<Negotiation> negotiations() const;

  // Accepts PLAYs with these tokens as if the negotiation had given them.
  void expect(const Negotiation& negotiation);
  // Serves a UDP path that is already open towards `peer` (the punching seam:
  // whoever punched hands over the socket).
  bool serve_udp(const ChannelKey& key, platform::Socket socket, platform::SockAddr peer);

  DeviceFaults& faults() { return faults_; }
  DeviceLog& log() { return log_; }
  void inject(const std::string& i2c, int channel, MediaFault fault, int count = 1) {
    faults_.inject({i2c, channel}, fault, count);
  }
  RelayStats relay_stats() const { return relay_.stats(); }

 private:
  struct Listener;

  HttpReply negotiated(const HandlerContext& c, HttpReply reply, const Fleet& fleet);
  Listener* listener_for(const ChannelKey& key, int port);  // m_ held
  std::optional<StreamFormat> authorize(const ChannelKey& key, ConnectType type,
                                        const SessionUrl& url) const;
  void remember(const Negotiation& n);
  bool add_session(std::shared_ptr<DeviceSession> session);
  SessionServices services();
  platform::SockAddr reachable(platform::SockAddr bound, std::uint32_t fallback_ip) const;

  DeviceServiceOptions options_;
  std::string error_;
  std::uint32_t bind_ip_ = 0x7F000001u;
  DeviceFaults faults_;
  DeviceLog log_;
  RelayServer relay_;
  FleetSource fleet_;
  mutable std::mutex m_;
  bool running_ = false;
  std::map<ChannelKey, std::unique_ptr<Listener>> listeners_;
  std::map<ChannelKey, std::deque<Negotiation>> negotiations_;
  std::vector<std::shared_ptr<DeviceSession>> sessions_;
};

}  // namespace orvsim
