// Small device peers for the live tests: a TCP device (listening, or dialing
// back to the client's listener) that answers PLAY, TEARDOWN and
// SET_PARAMETER and streams test-stream frames as TCP records; and a P2P pair
// (rendezvous server and device) that punches, answers the UDP PLAY and
// streams UDP slices. Every thread is joined by its owner.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.h"
#include "teststream/teststream.h"

namespace velmo::test {

// QCIF, 25 fps, an IDR every 10 frames; generated once per process.
const std::vector<teststream::Frame>& stream_frames();
// Frame i of an endless stream: the frames looped, numbered from 1 on.
std::vector<std::uint8_t> stream_frame(std::uint64_t i);
// Bits per second of the looped stream at 25 fps.
double stream_kbits_per_second();

class TcpDevice {
 public:
  enum class Behaviour {
    normal,
    silent,       // accepts, never answers PLAY
    drop_at_once  // closes every control connection as soon as it arrives
  };

  explicit TcpDevice(Behaviour behaviour = Behaviour::normal);
  ~TcpDevice();
  TcpDevice(const TcpDevice&) = delete;
  TcpDevice& operator=(const TcpDevice&) = delete;

  int control_port() const { return control_port_; }
  // Dials the client's listener: control first, the stream after PLAY.
  void connect_back(int client_port);

  // Whole requests as received (header and body).
  std::vector<std::string> requests() const;
  bool wait_requests(const std::string& method, std::size_t count, int timeout_ms) const;
  std::uint64_t frames_sent() const { return frames_sent_.load(); }
  // Ends the current control and stream connections (the device stays up).
  void drop_connections();

 private:
  void accept_loop();
  void serve(platform::Socket control);
  void stream_to(platform::Socket s);
  void start_stream(platform::Socket s);
  void note(const std::string& request);

  Behaviour behaviour_;
  std::atomic<bool> stop_{false};
  platform::Socket control_listener_;
  platform::Socket stream_listener_;
  int control_port_ = 0;
  int stream_port_ = 0;
  int client_port_ = 0;
  std::thread accept_thread_;
  std::mutex threads_m_;
  std::vector<std::thread> threads_;
  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::vector<std::string> requests_;
  std::vector<SOCKET> live_;  // connections to drop
  std::atomic<std::uint64_t> frames_sent_{0};
  std::atomic<std::uint64_t> generation_{0};
};

// The authentication server as far as live play needs it: "query?" answers
// PublicAddr with one P2P server (its own UDP address responder), and
// "realtime?" answers ConnectInfo from the channel table below.
class AuthServer {
 public:
  struct Channel {
    std::string type;                   // the ConnectType text
    std::string address = "127.0.0.1";  // LAN-IP, TransitIP or IPv4
    int port = 0;                       // RtcpPort, TransitPort or Port
    std::string random = "rv";
    std::string session = "11";
    // Answer when the request carries p2p-open=false (empty: the same).
    std::string fallback_type;
    int fallback_port = 0;
  };

  AuthServer();
  ~AuthServer();
  AuthServer(const AuthServer&) = delete;
  AuthServer& operator=(const AuthServer&) = delete;

  int port() const { return http_port_; }
  void set_channel(int number, Channel channel);
  // Targets of the "realtime?" requests so far, oldest first.
  std::vector<std::string> negotiations() const;
  // The listen-port of the newest negotiation of a channel, waiting for it.
  int wait_listen_port(int channel, std::size_t after, int timeout_ms) const;

 private:
  void accept_loop();
  void serve(platform::Socket s);
  void responder_loop();
  std::string answer(const std::string& target);

  std::atomic<bool> stop_{false};
  platform::Socket http_;
  platform::Socket udp_;
  int http_port_ = 0;
  int udp_port_ = 0;
  std::thread accept_thread_;
  std::thread udp_thread_;
  std::mutex threads_m_;
  std::vector<std::thread> threads_;
  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::map<int, Channel> channels_;
  std::vector<std::string> negotiations_;
  std::uint32_t next_session_ = 100;
};

// The rendezvous server and a device behind it, on loopback.
class P2pDevice {
 public:
  struct Options {
    bool answer_play = true;
    bool answer_heart_beats = true;  // on the control path
  };
  explicit P2pDevice(Options options);
  ~P2pDevice();
  P2pDevice(const P2pDevice&) = delete;
  P2pDevice& operator=(const P2pDevice&) = delete;

  int server_port() const { return server_port_; }
  std::size_t plays_received() const { return plays_.load(); }
  std::uint64_t frames_sent() const { return frames_sent_.load(); }
  void set_answer_heart_beats(bool on) { hb_on_.store(on); }
  // Stop answering the rendezvous (punching never ends).
  void set_server_silent(bool on) { server_silent_.store(on); }

 private:
  void server_loop();
  void control_loop();
  void stream_loop();

  Options options_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hb_on_{true};
  std::atomic<bool> server_silent_{false};
  platform::Socket server_;
  platform::Socket control_;
  platform::Socket stream_;
  int server_port_ = 0;
  int control_port_ = 0;
  int stream_port_ = 0;
  std::atomic<std::size_t> plays_{0};
  std::atomic<std::uint64_t> frames_sent_{0};
  std::atomic<std::uint32_t> magic_{0x5EED1234};
  std::atomic<std::uint32_t> stream_session_{4242};
  std::thread server_thread_;
  std::thread control_thread_;
  std::thread stream_thread_;
};

}  // namespace velmo::test
