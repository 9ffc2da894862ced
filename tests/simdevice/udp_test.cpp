// The punched-path device: PLAY over UDP, punching from its stream socket,
// heart beats, and frames as slices with the stream's magic.
#include <gtest/gtest.h>

#include "udp_peer.h"

namespace {

using namespace simdevice;

TEST_F(SimDeviceUdpTest, PlayIsAnsweredAndSlicesReassembleIntoDecodableFrames) {
  UdpClient client;
  serve(client, "rv3", 4242);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(client.play("rv3", 4242));
  EXPECT_EQ(client.answer.ip, "127.0.0.1");
  EXPECT_GT(client.answer.magic, 0);
  EXPECT_GT(client.answer.session, 0);
  // A resent PLAY gets the same answer, not a second stream.
  const UdpAnswer first = client.answer;
  ASSERT_TRUE(client.play("rv3", 4242));
  EXPECT_EQ(client.answer.port, first.port);
  EXPECT_EQ(client.answer.magic, first.magic);

  ASSERT_TRUE(client.punch());
  auto r = client.collect(25, 5000);
  ASSERT_EQ(r.frames.size(), 25u);
  H264Check decoder;
  std::uint32_t previous = 0;
  bool saw_multi_slice = false;
  for (const auto& s : r.slices) saw_multi_slice |= s.count > 1;
  EXPECT_TRUE(saw_multi_slice);
  for (const auto& f : r.frames) {
    ASSERT_GE(f.size(), 24u);
    EXPECT_EQ(u32(f, 8), kSignature);
    const std::uint32_t number = u32(f, 4);
    if (previous) {
      EXPECT_EQ(number, previous + 1);
    } else {
      EXPECT_EQ(u32(f, 12) & 3u, 1u);
    }
    previous = number;
    EXPECT_EQ(f.size(), 24u + u32(f, 16) + u32(f, 20));
    EXPECT_TRUE(decoder.feed(f.substr(24, u32(f, 16))));
  }
  EXPECT_GE(decoder.pictures(), 23);

  // Heart beats on the control path are answered with the same session value.
  ASSERT_TRUE(send_datagram(client.control.get(), beat(false, 4242), client.device));
  bool answered = false;
  for (int i = 0; i < 20 && !answered; ++i) {
    auto got = recv_datagram(client.control.get(), 100);
    answered =
        got && got->size() == 8 && be32(got->data()) == 0x106 && be32(got->data() + 4) == 4242;
  }
  EXPECT_TRUE(answered);
  auto requests = devices().log().requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_TRUE(requests.front().udp);
  EXPECT_EQ(requests.front().request.method, "PLAY");
}

TEST_F(SimDeviceUdpTest, UnknownTokensAreRefused) {
  UdpClient client;
  serve(client, "rv3", 4242);
  if (HasFatalFailure()) return;
  const std::string text = udp_play(client.device.ip_text(), client.device.port, "rv3", 1,
                                    "127.0.0.1", client.stream_port());
  ASSERT_TRUE(send_datagram(client.control.get(), {text.begin(), text.end()}, client.device));
  std::optional<std::vector<std::uint8_t>> got;
  for (int i = 0; i < 20; ++i) {
    got = recv_datagram(client.control.get(), 100);
    if (got && got->size() > 8) break;
  }
  ASSERT_TRUE(got);
  EXPECT_EQ(std::string(got->begin(), got->begin() + 12), "RTSP/1.0 454");
}

// The whole P2P road on the simulator: the negotiation names its rendezvous,
// the device registered there under the reply's tokens, and the client meets it.
TEST_F(SimDeviceUdpTest, NegotiatedDeviceMeetsTheClientAtTheSimulatorsRendezvous) {
  ConnectInfo info = negotiate(3);
  ASSERT_EQ(info.type, "client-monitor-p2p") << info.body;
  auto server_ip = platform::parse_dotted(element(info.body, "IPv4"));
  ASSERT_TRUE(server_ip);
  const platform::SockAddr server{*server_ip,
                                  std::uint16_t(std::atoi(element(info.body, "Port").c_str()))};
  UdpClient client;
  std::vector<std::uint8_t> reg(40, 0);
  const std::uint32_t words[2] = {0x102, info.session};
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < 4; ++i)
      reg[std::size_t(4 * w + i)] = std::uint8_t(words[w] >> (24 - 8 * i));
  std::copy(info.random.begin(), info.random.end(), reg.begin() + 8);
  std::optional<platform::SockAddr> device;
  bool answered = false;
  const std::uint64_t deadline = platform::tick_ms64() + 8000;
  std::uint64_t last = 0;
  while (!answered && platform::tick_ms64() < deadline) {
    if (platform::tick_ms64() - last >= 300) {
      last = platform::tick_ms64();
      send_datagram(client.control.get(), reg, server);
      if (device) send_datagram(client.control.get(), beat(false, info.session), *device);
    }
    platform::SockAddr from;
    auto got = recv_datagram(client.control.get(), 50, &from);
    if (!got) continue;
    if (got->size() == 12 && be32(got->data()) == 0x00010102) {
      device = platform::SockAddr{be32(got->data() + 4), std::uint16_t((*got)[8] << 8 | (*got)[9])};
    } else if (got->size() == 8 && be32(got->data() + 4) == info.session) {
      if (be32(got->data()) == 0x105)
        send_datagram(client.control.get(), beat(true, info.session), from);
      else
        answered = true;
      client.device = from;
    }
  }
  ASSERT_TRUE(answered) << "no heart-beat answer from the device";
  ASSERT_TRUE(client.play(info.random, info.session));
  ASSERT_TRUE(client.punch());
  H264Check decoder;
  auto r = client.collect(5, 3000);
  ASSERT_EQ(r.frames.size(), 5u);
  for (const auto& f : r.frames) EXPECT_TRUE(decoder.feed(f.substr(24, u32(f, 16))));
  EXPECT_GE(decoder.pictures(), 4);
}

// The device registers with a rendezvous server, learns the client's address
// and punches towards it; the rendezvous here is the test itself.
TEST(SimDeviceUdp, PunchesThroughARendezvousBeforeServing) {
  orvsim::DeviceFaults faults;
  orvsim::DeviceLog log;
  orvsim::SessionServices services;
  services.faults = &faults;
  services.log = &log;
  services.idle_ms = 5000;
  platform::Socket rendezvous(platform::udp_socket());
  ASSERT_TRUE(platform::bind_socket(rendezvous.get(), loopback(0)));
  UdpClient client;
  const std::uint32_t session = 0x01020304;
  auto format = *orvsim::format_for_resolution("qcif");
  orvsim::UdpDeviceSession::Options o;
  o.stream_bind = loopback(0);
  orvsim::UdpDeviceSession device(
      services, {"p2p", 0},
      [&](const orvsim::SessionUrl& url) -> std::optional<orvsim::StreamFormat> {
        if (url.random == "tok" && url.session == session) return format;
        return std::nullopt;
      },
      o);
  platform::Socket sock(platform::udp_socket());
  ASSERT_TRUE(platform::bind_socket(sock.get(), loopback(0)));
  ASSERT_TRUE(device.start_punching(std::move(sock), *platform::local_address(rendezvous.get()),
                                    session, "tok"));

  platform::SockAddr from;
  auto reg = recv_datagram(rendezvous.get(), 3000, &from);
  ASSERT_TRUE(reg);
  ASSERT_EQ(reg->size(), 40u);
  EXPECT_EQ(be32(reg->data()), 0x102u);
  EXPECT_EQ(be32(reg->data() + 4), session);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(reg->data()) + 8), "tok");
  // The server names the client to the device.
  const platform::SockAddr c = client.control_address();
  std::vector<std::uint8_t> peer = {0,
                                    1,
                                    1,
                                    2,
                                    std::uint8_t(c.ip >> 24),
                                    std::uint8_t(c.ip >> 16),
                                    std::uint8_t(c.ip >> 8),
                                    std::uint8_t(c.ip),
                                    std::uint8_t(c.port >> 8),
                                    std::uint8_t(c.port),
                                    0,
                                    0};
  ASSERT_TRUE(send_datagram(rendezvous.get(), peer, from));
  // The device's heart beat reaches the client, whose answer opens the path.
  bool punched = false;
  for (int i = 0; i < 30 && !punched; ++i) {
    auto got = recv_datagram(client.control.get(), 100, &client.device);
    if (got && got->size() == 8 && be32(got->data()) == 0x105 && be32(got->data() + 4) == session) {
      send_datagram(client.control.get(), beat(true, session), client.device);
      send_datagram(client.control.get(), beat(false, session), client.device);
      punched = true;
    }
  }
  ASSERT_TRUE(punched);
  ASSERT_TRUE(client.play("tok", session));
  ASSERT_TRUE(client.punch());
  EXPECT_EQ(client.collect(5, 3000).frames.size(), 5u);
  ASSERT_TRUE(device.peer());
  EXPECT_EQ(*device.peer(), c);
}

}  // namespace
