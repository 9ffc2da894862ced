// The simulated device's side of punching, against raw sockets standing in
// for the rendezvous server and the client.
#include <gtest/gtest.h>

#include "p2p_bytes.h"
#include "p2p_device.h"

namespace orvsim {
namespace {

using p2ptest::be32;

constexpr std::uint32_t kLoopback = 0x7F000001u;

struct Endpoint {
  platform::Socket s{platform::udp_socket()};
  platform::SockAddr addr;
  Endpoint() {
    EXPECT_TRUE(platform::bind_socket(s.get(), {kLoopback, 0}));
    addr = *platform::local_address(s.get());
  }
  // The next datagram within the limit: bytes and sender; empty on time-out.
  std::vector<std::byte> next(platform::SockAddr* from = nullptr, int ms = 3000) {
    std::vector<std::byte> buf(128);
    if (platform::wait_readable(s.get(), ms) != 1) return {};
    const int n = platform::recv_from(s.get(), std::span(buf), from);
    buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return buf;
  }
  void send(const std::vector<std::byte>& d, const platform::SockAddr& to) {
    ASSERT_EQ(platform::send_to(s.get(), std::span<const std::byte>(d), to),
              static_cast<int>(d.size()));
  }
};

std::vector<std::byte> peer_addr(const platform::SockAddr& a) {
  std::vector<std::byte> out;
  p2ptest::put_be32(out, 0x00010102);
  p2ptest::put_be32(out, a.ip);
  out.push_back(std::byte(a.port >> 8));
  out.push_back(std::byte(a.port & 0xFF));
  out.resize(12, std::byte{0});
  return out;
}

class P2pDeviceTest : public ::testing::Test {
 protected:
  void start(bool answer = true) {
    P2pDeviceOptions o;
    o.bind = {kLoopback, 0};
    o.server = server.addr;
    o.session = 0x0A0B0C0D;
    o.random = "rv1";
    o.register_interval_ms = 100;
    o.beat_interval_ms = 100;
    o.lifetime_ms = 20000;
    o.answer_beats = answer;
    ASSERT_TRUE(device.start(o)) << device.error();
  }
  Endpoint server, client;
  P2pDevice device;
};

TEST_F(P2pDeviceTest, RegistersUntilTheServerNamesThePeerThenBeats) {
  start();
  platform::SockAddr from;
  auto reg = server.next(&from);
  ASSERT_EQ(reg.size(), 40u);
  EXPECT_EQ(be32(reg, 0), 0x00000102u);
  EXPECT_EQ(be32(reg, 4), 0x0A0B0C0Du);
  EXPECT_EQ(std::to_integer<char>(reg[8]), 'r');
  EXPECT_EQ(std::to_integer<char>(reg[10]), '1');
  for (std::size_t i = 11; i < 40; ++i) EXPECT_EQ(reg[i], std::byte{0});
  EXPECT_EQ(from, device.local());
  EXPECT_FALSE(server.next(nullptr, 1000).empty()) << "registration repeats while unanswered";

  // Only the server may name the peer.
  client.send(peer_addr(client.addr), device.local());
  server.send(peer_addr(client.addr), device.local());
  auto beat = client.next(&from);
  ASSERT_EQ(beat, p2ptest::bytes({0, 0, 1, 5, 0x0A, 0x0B, 0x0C, 0x0D}));
  EXPECT_EQ(from, device.local());
  EXPECT_EQ(device.stats().peer_addrs, 1);
}

TEST_F(P2pDeviceTest, AnswersTheClientsBeatsWhereTheyCameFromAndCountsAnswers) {
  start();
  ASSERT_FALSE(server.next().empty());
  server.send(peer_addr(client.addr), device.local());

  // The client's NAT moved it: its beats come from another socket.
  Endpoint moved;
  moved.send(p2ptest::beat(0x105, 0x0A0B0C0D), device.local());
  std::vector<std::byte> d;
  do {
    d = moved.next();
  } while (!d.empty() && be32(d, 0) != 0x106u);  // own beats may come first
  ASSERT_EQ(d, p2ptest::bytes({0, 0, 1, 6, 0x0A, 0x0B, 0x0C, 0x0D}));
  ASSERT_TRUE(device.wait_for([](const auto& s) { return s.beats_received == 1; }, 3000));
  EXPECT_EQ(device.stats().peer, moved.addr) << "own beats follow the client";

  // Another session's beats are neither answered nor counted.
  moved.send(p2ptest::beat(0x105, 0x0A0B0C0E), device.local());
  moved.send(p2ptest::beat(0x106, 0x0A0B0C0E), device.local());
  moved.send(p2ptest::beat(0x106, 0x0A0B0C0D), device.local());
  ASSERT_TRUE(device.wait_for([](const auto& s) { return s.backs_received == 1; }, 3000));
  EXPECT_EQ(device.stats().beats_received, 1);
}

TEST_F(P2pDeviceTest, ASilentDeviceStillBeatsAndStopsPromptly) {
  start(/*answer=*/false);
  ASSERT_FALSE(server.next().empty());
  server.send(peer_addr(client.addr), device.local());
  client.send(p2ptest::beat(0x105, 0x0A0B0C0D), device.local());
  ASSERT_EQ(client.next().size(), 8u);
  ASSERT_TRUE(device.wait_for([](const auto& s) { return s.beats_received == 1; }, 3000));
  for (int i = 0; i < 4; ++i) {
    const auto d = client.next();
    ASSERT_EQ(d.size(), 8u);
    EXPECT_EQ(be32(d, 0), 0x105u) << "no answers";
  }
  const auto t0 = platform::tick_ms64();
  device.stop();
  EXPECT_LT(platform::tick_ms64() - t0, 1000u);
  EXPECT_TRUE(device.stats().finished);
}

TEST(P2pDeviceStart, RefusesARandomValueWithoutRoomForItsNul) {
  P2pDevice device;
  P2pDeviceOptions o;
  o.bind = {kLoopback, 0};
  o.random = std::string(32, 'x');
  EXPECT_FALSE(device.start(o));
  o.random = std::string(31, 'x');
  EXPECT_TRUE(device.start(o));
}

}  // namespace
}  // namespace orvsim
