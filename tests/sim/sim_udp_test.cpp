// The P2P address responder against bare UDP sockets.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "addr_responder.h"
#include "platform/net.h"

namespace {

using orvsim::AddrResponder;

struct Probe {
  platform::Socket s{platform::udp_socket()};
  int port = 0;

  Probe() {
    EXPECT_TRUE(platform::bind_socket(s.get(), {0x7F000001u, 0}));
    port = platform::local_address(s.get())->port;
  }
  bool send(const std::vector<unsigned char>& bytes, int to_port) {
    return platform::send_to(s.get(), reinterpret_cast<const char*>(bytes.data()),
                             int(bytes.size()),
                             {0x7F000001u, std::uint16_t(to_port)}) == int(bytes.size());
  }
  // One datagram, or an empty vector when none comes within timeout_ms.
  std::vector<unsigned char> receive(int timeout_ms, platform::SockAddr* from = nullptr) {
    if (platform::wait_readable(s.get(), timeout_ms) != 1) return {};
    std::array<char, 64> buf{};
    int n = platform::recv_from(s.get(), buf.data(), int(buf.size()), from);
    if (n <= 0) return {};
    return std::vector<unsigned char>(buf.begin(), buf.begin() + n);
  }
};

const std::vector<unsigned char> kQuery = {0x00, 0x00, 0x01, 0x07};

class SimUdp : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(responder.start({0x7F000001u, 0})) << responder.error(); }
  AddrResponder responder;
};

TEST_F(SimUdp, EachSenderLearnsItsOwnAddressInPeerAddrLayout) {
  Probe a, b;
  ASSERT_TRUE(a.send(kQuery, responder.port()));
  ASSERT_TRUE(b.send(kQuery, responder.port()));
  for (Probe* p : {&a, &b}) {
    platform::SockAddr from;
    auto answer = p->receive(3000, &from);
    ASSERT_EQ(answer.size(), 12u);
    EXPECT_EQ(from.port, responder.port());
    std::vector<unsigned char> expected = {0x00,
                                           0x01,
                                           0x01,
                                           0x02,
                                           127,
                                           0,
                                           0,
                                           1,
                                           static_cast<unsigned char>(p->port >> 8),
                                           static_cast<unsigned char>(p->port & 0xFF),
                                           0,
                                           0};
    EXPECT_EQ(answer, expected);
  }
  EXPECT_EQ(responder.answered_count(), 2u);
}

TEST_F(SimUdp, JunkIsIgnoredAndTheResponderStaysUp) {
  Probe p;
  const std::vector<std::vector<unsigned char>> junk = {
      {0x00},
      {0x00, 0x00, 0x01},
      {0x00, 0x00, 0x01, 0x07, 0x00},  // right type, wrong length
      {0x00, 0x00, 0x01, 0x08},
      {0x07, 0x01, 0x00, 0x00},  // little-endian type word
      std::vector<unsigned char>(1500, 0xFF),
  };
  for (const auto& j : junk) ASSERT_TRUE(p.send(j, responder.port()));
  ASSERT_TRUE(responder.wait_received(junk.size(), 3000));
  EXPECT_TRUE(p.receive(100).empty());
  ASSERT_TRUE(p.send(kQuery, responder.port()));
  EXPECT_EQ(p.receive(3000).size(), 12u);
  EXPECT_EQ(responder.received_count(), junk.size() + 1);
}

TEST_F(SimUdp, SilentAndPortOffsetFaults) {
  Probe p;
  responder.set_silent(true);
  ASSERT_TRUE(p.send(kQuery, responder.port()));
  ASSERT_TRUE(responder.wait_received(1, 3000));
  EXPECT_TRUE(p.receive(100).empty());

  responder.set_silent(false);
  responder.set_port_offset(-10);
  ASSERT_TRUE(p.send(kQuery, responder.port()));
  auto answer = p.receive(3000);
  ASSERT_EQ(answer.size(), 12u);
  EXPECT_EQ((answer[8] << 8) | answer[9], p.port - 10);
}

TEST_F(SimUdp, RegisteredTypesGoToTheirHandler) {
  responder.set_handler(orvsim::kP2pRegister,
                        [](std::span<const std::byte> data, const platform::SockAddr&,
                           const AddrResponder::Reply& reply) {
                          std::vector<std::byte> echo(data.begin(), data.begin() + 8);
                          reply(echo);
                        });
  Probe p;
  std::vector<unsigned char> reg(40, 0);
  reg[3] = 0x02;
  reg[2] = 0x01;
  reg[7] = 0x04;
  ASSERT_TRUE(p.send(reg, responder.port()));
  auto answer = p.receive(3000);
  ASSERT_EQ(answer.size(), 8u);
  EXPECT_EQ(answer[7], 0x04);
}

TEST(SimUdpStop, StopReturnsAndFreesThePort) {
  AddrResponder r;
  ASSERT_TRUE(r.start({0x7F000001u, 0}));
  int port = r.port();
  r.stop();
  AddrResponder again;
  EXPECT_TRUE(again.start({0x7F000001u, std::uint16_t(port)}));
}

}  // namespace
