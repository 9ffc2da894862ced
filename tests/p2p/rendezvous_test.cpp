// The rendezvous server's pairing rules, on its datagram handler and on a
// running simulator.
#include <gtest/gtest.h>

#include <map>

#include "p2p_bytes.h"
#include "p2p_wire.h"
#include "rendezvous.h"
#include "simulator.h"

namespace orvsim {
namespace {

using p2ptest::be32;
using p2ptest::registration;

// Collects what the server sends, per endpoint.
struct Wire {
  std::map<std::uint16_t, std::vector<std::vector<std::byte>>> to;
  RendezvousServer::Send send_to(std::uint16_t port) {
    return [this, port](std::span<const std::byte> d) {
      to[port].emplace_back(d.begin(), d.end());
      return true;
    };
  }
};

const platform::SockAddr kClient{0xC6336402u, 40001};  // 198.51.100.2
const platform::SockAddr kDevice{0xCB007105u, 50002};  // 203.0.113.5

TEST(P2pRendezvous, PairsTwoSidesOfOneSession) {
  RendezvousServer server;
  Wire wire;
  server.handle(registration(0x01020304, "abc"), kDevice, wire.send_to(kDevice.port), 1);
  EXPECT_TRUE(wire.to.empty()) << "a lone side waits";
  server.handle(registration(0x01020304, "abc"), kClient, wire.send_to(kClient.port), 2);

  ASSERT_EQ(wire.to[kClient.port].size(), 1u);
  ASSERT_EQ(wire.to[kDevice.port].size(), 1u);
  const auto& to_client = wire.to[kClient.port][0];
  EXPECT_EQ(to_client, p2ptest::bytes({0x00, 0x01, 0x01, 0x02, 203, 0, 113, 5, 0xC3, 0x52, 0, 0}));
  const auto& to_device = wire.to[kDevice.port][0];
  ASSERT_EQ(to_device.size(), 12u);
  EXPECT_EQ(be32(to_device, 4), kClient.ip);
  EXPECT_EQ(std::to_integer<int>(to_device[8]) * 256 + std::to_integer<int>(to_device[9]),
            kClient.port);

  ASSERT_EQ(server.pairings().size(), 1u);
  EXPECT_EQ(server.pairings()[0].first, kDevice);
  EXPECT_EQ(server.pairings()[0].second, kClient);

  // A repeated registration is answered again and is no new pairing.
  server.handle(registration(0x01020304, "abc"), kClient, wire.send_to(kClient.port), 3);
  EXPECT_EQ(wire.to[kClient.port].size(), 2u);
  EXPECT_EQ(wire.to[kDevice.port].size(), 2u);
  EXPECT_EQ(server.pairings().size(), 1u);
}

TEST(P2pRendezvous, SessionIdAndRandomValueBothNameTheSession) {
  RendezvousServer server;
  Wire wire;
  server.handle(registration(7, "abc"), kDevice, wire.send_to(1), 1);
  server.handle(registration(7, "abd"), kClient, wire.send_to(2), 1);
  server.handle(registration(8, "abc"), {kClient.ip, 1234}, wire.send_to(3), 1);
  EXPECT_TRUE(wire.to.empty());
  EXPECT_EQ(server.session_count(), 3u);
  // The whole 32-byte field is the value when no NUL ends it.
  const std::string full(32, 'z');
  server.handle(registration(9, full.c_str()), kDevice, wire.send_to(1), 1);
  server.handle(registration(9, full.c_str()), kClient, wire.send_to(2), 1);
  EXPECT_EQ(wire.to[1].size(), 1u);
  EXPECT_EQ(server.pairings().at(0).random, full);
}

TEST(P2pRendezvous, IgnoresAnythingButAWellFormedRegistration) {
  RendezvousServer server;
  Wire wire;
  auto reg = registration(1, "r");
  const std::vector<std::byte> shorter(reg.begin(), reg.begin() + 39);
  std::vector<std::byte> longer(reg.begin(), reg.end());
  longer.insert(longer.end(), std::byte{0});
  auto wrong_type = reg;
  wrong_type[3] = std::byte{0x05};
  for (const auto& d : {shorter, longer, wrong_type, std::vector<std::byte>{}}) {
    server.handle(d, kClient, wire.send_to(1), 1);
    server.handle(d, kDevice, wire.send_to(2), 1);
  }
  EXPECT_EQ(server.registrations(), 0u);
  EXPECT_EQ(server.session_count(), 0u);
  EXPECT_TRUE(wire.to.empty());
}

TEST(P2pRendezvous, ANewSocketReplacesTheSideHeardFromLongestAgo) {
  RendezvousServer server;
  Wire wire;
  server.handle(registration(5, "r"), kDevice, wire.send_to(1), 100);
  server.handle(registration(5, "r"), kClient, wire.send_to(2), 200);
  server.handle(registration(5, "r"), kDevice, wire.send_to(1), 300);  // device still there
  const platform::SockAddr retry{kClient.ip, 40009};
  server.handle(registration(5, "r"), retry, wire.send_to(3), 400);
  // The client's new socket took the old one's place and met the device.
  ASSERT_EQ(wire.to[3].size(), 1u);
  EXPECT_EQ(be32(wire.to[3][0], 4), kDevice.ip);
  ASSERT_FALSE(wire.to[1].empty());
  EXPECT_EQ(
      std::to_integer<int>(wire.to[1].back()[8]) * 256 + std::to_integer<int>(wire.to[1].back()[9]),
      40009);
}

TEST(P2pRendezvous, SessionsAreBoundedAndExpire) {
  RendezvousServer server({/*max_sessions=*/2, /*idle_ms=*/1000});
  Wire wire;
  server.handle(registration(1, "a"), kDevice, wire.send_to(1), 10);
  server.handle(registration(2, "a"), kDevice, wire.send_to(1), 10);
  server.handle(registration(3, "a"), kDevice, wire.send_to(1), 10);
  EXPECT_EQ(server.session_count(), 2u);
  server.handle(registration(3, "a"), kClient, wire.send_to(2), 20);
  EXPECT_TRUE(wire.to.empty()) << "the refused session never formed";
  // Once the old ones are idle long enough, the new session gets its place.
  server.handle(registration(3, "a"), kDevice, wire.send_to(1), 5000);
  server.handle(registration(3, "a"), kClient, wire.send_to(2), 5001);
  EXPECT_EQ(server.session_count(), 1u);
  EXPECT_EQ(wire.to[2].size(), 1u);
}

TEST(P2pRendezvous, RunsOnTheSimulatorsResponderBesideAddressQueries) {
  auto fleet = parse_fleet("device D1 139001 pw1\nchannel 0 client-monitor-p2p\n");
  ASSERT_TRUE(fleet.ok());
  SimulatorOptions options;
  options.fleet = *fleet.fleet;
  Simulator sim(options);
  ASSERT_TRUE(sim.start()) << sim.error();
  const platform::SockAddr server{0x7F000001u, static_cast<std::uint16_t>(sim.udp_ports()[0])};

  platform::Socket a(platform::udp_socket()), b(platform::udp_socket());
  ASSERT_TRUE(platform::bind_socket(a.get(), {0x7F000001u, 0}));
  ASSERT_TRUE(platform::bind_socket(b.get(), {0x7F000001u, 0}));
  const auto a_port = platform::local_address(a.get())->port;
  const auto b_port = platform::local_address(b.get())->port;

  auto send = [&](platform::Socket& s, const std::vector<std::byte>& d) {
    ASSERT_EQ(platform::send_to(s.get(), std::span<const std::byte>(d), server),
              static_cast<int>(d.size()));
  };
  auto receive = [&](platform::Socket& s) {
    std::vector<std::byte> buf(64);
    if (platform::wait_readable(s.get(), 3000) != 1) return std::vector<std::byte>{};
    const int n = platform::recv_from(s.get(), std::span(buf), nullptr);
    buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return buf;
  };
  send(a, p2ptest::bytes({0, 0, 1, 7}));
  auto seen = receive(a);
  ASSERT_EQ(seen.size(), 12u);
  EXPECT_EQ(std::to_integer<int>(seen[8]) * 256 + std::to_integer<int>(seen[9]), a_port);

  send(a, registration(77, "sim"));
  send(b, registration(77, "sim"));
  auto to_b = receive(b);
  auto to_a = receive(a);
  ASSERT_EQ(to_a.size(), 12u);
  ASSERT_EQ(to_b.size(), 12u);
  EXPECT_EQ(std::to_integer<int>(to_a[8]) * 256 + std::to_integer<int>(to_a[9]), b_port);
  EXPECT_EQ(std::to_integer<int>(to_b[8]) * 256 + std::to_integer<int>(to_b[9]), a_port);
  EXPECT_EQ(sim.p2p().rendezvous().pairings().size(), 1u);

  // A restart forgets the sessions of the responders that went away.
  ASSERT_TRUE(sim.start());
  EXPECT_EQ(sim.p2p().rendezvous().session_count(), 0u);
}

}  // namespace
}  // namespace orvsim
