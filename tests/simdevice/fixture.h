// A simulator with one device of four channels, one per connection type, and
// the client's steps on raw sockets: negotiation over HTTP, PLAY, frames.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "decode.h"
#include "peer.h"
#include "simulator.h"

namespace simdevice {

inline constexpr const char* kI2c = "200000000001";
inline constexpr const char* kTel = "13900000001";

inline const char* kFleet =
    "device 200000000001 13900000001 pw1\n"
    "channel 0 client-monitor-direct\n"
    "channel 1 monitor-client-direct\n"
    "channel 2 client-monitor-middle-transfer\n"
    "channel 3 client-monitor-p2p\n"
    "channel 4 client-monitor-direct sound=1 fps=10\n";

struct ConnectInfo {
  std::string body;
  std::string type;
  std::string ip;  // LAN-IP or TransitIP
  int port = 0;    // RtcpPort or TransitPort
  std::string random;
  std::uint32_t session = 0;
  std::string url() const {
    return "rtsp://" + ip + ":" + std::to_string(port) + "/" + random + "-" +
           std::to_string(session) + ".264";
  }
};

// The client's answer handling of a TCP PLAY.
struct TcpPlay {
  std::string head;
  int status = 0;
  int stream_port = -1;
  long long magic = -1;
  long long stream_session = -1;
};

inline TcpPlay read_play_answer(Conn& control) {
  TcpPlay p;
  auto head = control.read_head();
  if (!head || head->size() < 12) return p;
  p.head = *head;
  p.status = std::atoi(head->substr(9, 3).c_str());
  p.stream_port = int(parameter(field(*head, "Transport"), "port").value_or(-1));
  p.magic = parameter(field(*head, "RTP-Info"), "magic").value_or(-1);
  p.stream_session = parameter(field(*head, "RTP-Info"), "session-id").value_or(-1);
  return p;
}

class SimDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto fleet = orvsim::parse_fleet(kFleet);
    ASSERT_TRUE(fleet.ok()) << fleet.error;
    orvsim::SimulatorOptions o;
    o.fleet = *fleet.fleet;
    sim_ = std::make_unique<orvsim::Simulator>(o);
    orvsim::DeviceServiceOptions d;
    d.heartbeat_ms = 200;
    d.idle_ms = 5000;
    d.stream_wait_ms = 3000;
    d.relay_client_wait_ms = 500;
    sim_->devices().set_options(d);
    ASSERT_TRUE(sim_->start()) << sim_->error();
  }
  void TearDown() override { sim_->stop(); }

  orvsim::DeviceService& devices() { return sim_->devices(); }
  orvsim::ChannelKey key(int channel) const { return {kI2c, channel}; }

  // The negotiation as the client sends it ("realtime?"), QCIF at 25 fps.
  ConnectInfo negotiate(int channel, int listen_port = 1, const std::string& extra = "") {
    ConnectInfo c;
    auto body = http_get(
        sim_->http_port(),
        std::string("/realtime?i2c=") + kI2c + "&tel=" + kTel +
            "&wan-ip=127.0.0.1&lan-ip=127.0.0.1&listen-port=" + std::to_string(listen_port) +
            "&p2p-port-drift-range=0&channel=" + std::to_string(channel) +
            "&img-resolution=qcif&img-type=0&frame-rate=25" + extra + "&passwd=pw1&transmit=true");
    if (!body) return c;
    c.body = *body;
    c.type = element(c.body, "ConnectType");
    c.random = element(c.body, "RandomValue");
    c.session = std::uint32_t(std::stoul("0" + element(c.body, "SessionId")));
    if (c.type == "client-monitor-middle-transfer") {
      c.ip = element(c.body, "TransitIP");
      c.port = std::atoi(element(c.body, "TransitPort").c_str());
    } else {
      c.ip = element(c.body, "LAN-IP");
      c.port = std::atoi(element(c.body, "RtcpPort").c_str());
    }
    return c;
  }

  // Connects to the device (or relay), plays, and connects the stream.
  void play_tcp(int channel, Conn& control, Conn& stream, ConnectInfo& info, TcpPlay& answer) {
    info = negotiate(channel);
    ASSERT_FALSE(info.ip.empty()) << info.body;
    auto ip = platform::parse_dotted(info.ip);
    ASSERT_TRUE(ip);
    ASSERT_TRUE(control.connect({*ip, std::uint16_t(info.port)}));
    ASSERT_TRUE(control.send(tcp_play(info.url(), info.session, "0.0.0.0", 0)));
    answer = read_play_answer(control);
    ASSERT_EQ(answer.status, 200) << answer.head;
    ASSERT_GT(answer.stream_port, 0) << answer.head;
    ASSERT_TRUE(stream.connect({*ip, std::uint16_t(answer.stream_port)}));
  }

  std::unique_ptr<orvsim::Simulator> sim_;
};

// Reads n records, checking the headers, and decodes their pictures.
inline void expect_frames(Conn& stream, int n, H264Check& decoder, std::uint32_t* last = nullptr,
                          int fps = 25) {
  std::uint32_t previous = last ? *last : 0;
  for (int i = 0; i < n; ++i) {
    auto r = read_record(stream);
    ASSERT_TRUE(r) << "record " << i;
    EXPECT_EQ(r->signature, kSignature);
    EXPECT_EQ(r->fps, std::uint32_t(fps));
    if (previous == 0) {
      EXPECT_EQ(r->type, 1u) << "the stream starts with an IDR";
    } else {
      EXPECT_EQ(r->number, previous + 1);
    }
    previous = r->number;
    EXPECT_TRUE(decoder.feed(r->video)) << "record " << r->number;
  }
  if (last) *last = previous;
}

}  // namespace simdevice
