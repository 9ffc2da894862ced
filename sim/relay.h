// The relay of "client-monitor-middle-transfer": client and device both
// connect to it and it pairs them by the session URL's tokens (random value
// and session id), then copies bytes both ways until either side closes.
//
// One port serves both sides; the first bytes tell them apart:
//   device control:  "DEVICE control <session> <random>\r\n", then it waits
//                    (up to the registration lifetime) for its client;
//   client control:  an RTSP request whose URL ends in "<random>-<session>.264"
//                    (the client's PLAY), passed on to the device unchanged;
//   device stream:   "DEVICE stream <session> <random>\r\n"; the relay opens a
//                    port for this one stream and answers "PORT <n>\r\n"; when
//                    the client's stream connection arrives there it says
//                    "PAIRED\r\n" and copies the device's frames to it.
// The client's stream connection sends nothing, so a port per stream is what
// keeps sixteen channels of one client apart.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"

namespace orvsim {

struct RelayOptions {
  platform::SockAddr bind;            // port 0: any
  int handshake_ms = 5000;            // for a connection's first bytes
  int client_wait_ms = 5000;          // a client waits this long for its device
  int registration_ms = 60000;        // a device waits this long for its client
  int stream_wait_ms = 10000;         // a stream port waits this long for the client
  std::size_t max_connections = 512;  // beyond it new connections are closed at once
};

struct RelayStats {
  int control_pairs = 0;
  int stream_pairs = 0;
  int unpaired_clients = 0;  // clients whose device never came
  int refused = 0;           // bad first bytes or over the connection limit
};

class RelayServer {
 public:
  RelayServer();
  ~RelayServer();
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;

  bool start(const RelayOptions& options);
  void stop();
  bool running() const { return listener_.valid(); }
  platform::SockAddr address() const { return address_; }
  const std::string& error() const { return error_; }
  RelayStats stats() const;

 private:
  struct Conn;
  using Key = std::pair<std::uint32_t, std::string>;

  void accept_loop();
  void serve(const std::shared_ptr<Conn>& conn);
  void serve_device_control(const std::shared_ptr<Conn>& conn, const Key& key);
  void serve_device_stream(const std::shared_ptr<Conn>& conn);
  void serve_client(const std::shared_ptr<Conn>& conn, std::string first_bytes);
  void pipe(Conn& from, Conn& to);
  void adopt(std::shared_ptr<Conn> conn);  // starts its thread; m_ not held
  void reap();                             // m_ held

  RelayOptions options_;
  std::string error_;
  platform::SockAddr address_;
  platform::Socket listener_;
  platform::StopSignal stop_;
  platform::Thread accept_thread_;
  mutable std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::shared_ptr<Conn>> conns_;
  std::map<Key, std::shared_ptr<Conn>> waiting_devices_;
  RelayStats stats_;
};

}  // namespace orvsim
