// Device peers for the few misbehaviours the simulator does not commit: a TCP
// device that never answers (or never streams), a P2P device that never answers PLAY, and a
// listener whose queue is full. Each owns its threads and sockets; its
// waits end at once when it goes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"

namespace e2e {

// Accepts connections and keeps every request it reads. It answers nothing,
// or only PLAY, naming its own port for the stream, on which it never sends.
class StubTcpDevice {
 public:
  enum class Answers { none, play };
  explicit StubTcpDevice(Answers answers);
  ~StubTcpDevice();
  StubTcpDevice(const StubTcpDevice&) = delete;
  StubTcpDevice& operator=(const StubTcpDevice&) = delete;

  int port() const { return port_; }
  // Whole requests as received (head and body), oldest first.
  std::vector<std::string> requests() const;
  bool wait_requests(const std::string& method, std::size_t count, int timeout_ms) const;

 private:
  void accept_loop();
  void read_loop(SOCKET s);

  const Answers answers_;
  platform::StopSignal stop_;
  platform::Socket listener_;
  int port_ = 0;
  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::vector<std::string> requests_;
  std::vector<platform::Socket> connections_;               // under m_
  std::vector<std::unique_ptr<platform::Thread>> readers_;  // under m_
  platform::Thread accept_thread_;
};

// A rendezvous server and a device behind it: the rendezvous names the
// device's control socket, which answers heart beats and counts the PLAY
// datagrams it never answers.
class MuteP2pDevice {
 public:
  MuteP2pDevice();
  ~MuteP2pDevice();
  MuteP2pDevice(const MuteP2pDevice&) = delete;
  MuteP2pDevice& operator=(const MuteP2pDevice&) = delete;

  int server_port() const { return server_port_; }
  std::size_t plays_received() const;

 private:
  void server_loop();
  void control_loop();

  platform::StopSignal stop_;
  platform::Socket server_;
  platform::Socket control_;
  int server_port_ = 0;
  int control_port_ = 0;
  mutable std::mutex m_;
  std::size_t plays_ = 0;
  platform::Thread server_thread_;
  platform::Thread control_thread_;
};

// A listener whose queue is full: a connect to it stays in progress.
class FullListener {
 public:
  FullListener();
  int port() const { return port_; }

 private:
  platform::Socket listener_;
  std::vector<platform::Socket> fillers_;
  int port_ = 0;
};

}  // namespace e2e
