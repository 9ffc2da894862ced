// One live session of a simulated device channel, from the device's side.
//
// TcpDeviceSession serves a control connection (accepted from the client,
// dialled to the client's listener, or paired by the relay): it answers PLAY
// with the Transport and RTP-Info it chose, TEARDOWN and SET_PARAMETER, answers
// heart beats and sends its own, and streams frames as TCP records on a stream
// connection that a StreamOpener makes (a listener of its own, a dial to the
// client's listener, or the relay).
//
// UdpDeviceSession serves a punched UDP path: it answers the PLAY datagram,
// punches from its own stream socket, answers heart beats on both sockets and
// sends every frame as 12-byte-headed slices with the stream's magic. It
// works on any UDP socket whose peer it is given (start), or registers with a
// rendezvous server and punches first (start_punching).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device_log.h"
#include "device_rtsp.h"
#include "fleet.h"
#include "media_source.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "stream_openers.h"

namespace orvsim {

// Shared by every session; outlives them.
struct SessionServices {
  DeviceFaults* faults = nullptr;
  DeviceLog* log = nullptr;
  int heartbeat_ms = 5000;     // own heart beats once playing; 0: none
  int idle_ms = 30000;         // a session that hears nothing for this long ends
  int stream_wait_ms = 10000;  // for the stream connection after the PLAY answer
};

// The stream format a PLAY's URL tokens were negotiated with; nullopt refuses
// the PLAY (454).
using Authorize = std::function<std::optional<StreamFormat>(const SessionUrl&)>;

class DeviceSession {
 public:
  virtual ~DeviceSession() = default;
  virtual void stop() = 0;
  virtual bool finished() const = 0;
};

class TcpDeviceSession : public DeviceSession {
 public:
  // Makes the control connection on the session's thread; invalid: no session.
  using Connector = std::function<platform::Socket(platform::StopSignal&)>;

  TcpDeviceSession(SessionServices services, ChannelKey key, ConnectType type, Authorize authorize,
                   std::unique_ptr<StreamOpener> opener);
  ~TcpDeviceSession() override;

  bool start(platform::Socket control);
  bool start(Connector connect);
  void stop() override;
  bool finished() const override { return finished_.load(); }

 private:
  void run(Connector connect);
  bool handle(const RtspRequest& request, const platform::SockAddr& from);
  void media(StreamFormat format, std::uint32_t magic);
  bool send_control(std::string_view bytes);
  bool answer(const RtspRequest& request, const platform::SockAddr& from, int status,
              const std::string& text);

  SessionServices services_;
  ChannelKey key_;
  ConnectType type_;
  Authorize authorize_;
  std::unique_ptr<StreamOpener> opener_;
  platform::StopSignal stop_;
  platform::StopSignal media_stop_;
  std::atomic<bool> finished_{false};
  std::atomic<bool> streaming_{false};
  std::mutex socket_m_;  // control_ and stream_ handles, for stop()
  platform::Socket control_;
  SOCKET stream_ = INVALID_SOCKET;  // owned by the media thread
  std::mutex send_m_;               // one writer at a time on the control connection
  std::uint32_t session_ = 0;       // of the PLAY that started the stream
  platform::Thread thread_;
  platform::Thread media_thread_;
};

class UdpDeviceSession : public DeviceSession {
 public:
  struct Options {
    platform::SockAddr stream_bind;  // address of the stream socket (port 0)
    std::string announce_ip;         // address named in the PLAY answer
  };

  UdpDeviceSession(SessionServices services, ChannelKey key, Authorize authorize, Options options);
  ~UdpDeviceSession() override;

  // Serves a path that is already open towards `peer`.
  bool start(platform::Socket control, platform::SockAddr peer);
  // Registers with the rendezvous server for (session, random), learns the
  // client's address and punches towards it before serving.
  bool start_punching(platform::Socket control, platform::SockAddr rendezvous,
                      std::uint32_t session, std::string random);
  void stop() override;
  bool finished() const override { return finished_.load(); }

  std::optional<platform::SockAddr> peer() const;
  platform::SockAddr control_address() const;

 private:
  struct Punch {
    platform::SockAddr rendezvous;
    std::uint32_t session = 0;
    std::string random;
  };
  void run(std::optional<Punch> punch);
  bool punch(const Punch& p);
  void serve_datagram(std::span<const std::uint8_t> data, const platform::SockAddr& from);
  void media(StreamFormat format, std::uint32_t magic, std::uint32_t stream_session,
             platform::SockAddr client);
  bool send_slices(std::span<const std::uint8_t> frame, std::uint32_t number,
                   const platform::SockAddr& to, SOCKET s, std::uint32_t magic);

  SessionServices services_;
  ChannelKey key_;
  Authorize authorize_;
  Options options_;
  platform::StopSignal stop_;
  std::atomic<bool> finished_{false};
  mutable std::mutex m_;
  platform::Socket control_;
  platform::Socket stream_;  // set once, under m_
  std::optional<platform::SockAddr> peer_;
  std::string play_answer_;    // resent for a repeated PLAY
  std::uint32_t session_ = 0;  // of the negotiation, in the device's own heart beats
  std::uint64_t last_heard_ = 0;
  std::uint64_t last_beat_ = 0;
  platform::Thread thread_;
  platform::Thread media_thread_;
};

}  // namespace orvsim
