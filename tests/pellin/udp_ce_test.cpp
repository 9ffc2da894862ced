// CUDP_CE on loopback against UDP sockets of the test that play the
// rendezvous server and the device.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pellin/pellin.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"

namespace {

using platform::SockAddr;
using platform::Socket;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::uint32_t kSession = 0x01020304;

struct Probe : CUDP_CE {
  unsigned int handle() const { return m_hSocket.load(); }
};

CUDP_CE::Timing fast() {
  CUDP_CE::Timing t;
  t.registerWaitMs = 20;
  t.registerWaitSteps = 2;
  t.addressedPauseMs = 1;
  t.plainPauseMs = 1;
  t.pollMs = 50;
  return t;
}

// One UDP socket of the test: the server or a device.
class UdpPeer {
 public:
  explicit UdpPeer(int port = 0) : s_(platform::udp_socket()) {
    ok_ = platform::bind_socket(s_.get(), {kLoopback, static_cast<std::uint16_t>(port)});
    if (ok_) port_ = platform::local_address(s_.get())->port;
  }
  bool ok() const { return ok_; }
  int port() const { return port_; }
  // Next datagram within ms, empty on time-out.
  Bytes recv(SockAddr* from = nullptr, int ms = 5000) {
    if (platform::wait_readable(s_.get(), ms) != 1) return {};
    Bytes b(4096);
    const int n = platform::recv_from(s_.get(), reinterpret_cast<char*>(b.data()), 4096, from);
    b.resize(n > 0 ? n : 0);
    return b;
  }
  // Next datagram of the given type word, skipping others.
  Bytes recv_type(std::uint32_t type, SockAddr* from = nullptr) {
    for (int i = 0; i < 200; ++i) {
      Bytes b = recv(from);
      if (b.empty()) return b;
      if (b.size() >= 4 && ((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]) == int(type))
        return b;
    }
    return {};
  }
  bool quiet() { return platform::wait_readable(s_.get(), 0) == 0; }
  void send(const Bytes& b, int port) {
    platform::send_to(s_.get(), reinterpret_cast<const char*>(b.data()), int(b.size()),
                      {kLoopback, static_cast<std::uint16_t>(port)});
  }

 private:
  Socket s_;
  bool ok_ = false;
  int port_ = 0;
};

Bytes be32(std::uint32_t type, std::uint32_t value) {
  return {std::uint8_t(type >> 24), std::uint8_t(type >> 16),  std::uint8_t(type >> 8),
          std::uint8_t(type),       std::uint8_t(value >> 24), std::uint8_t(value >> 16),
          std::uint8_t(value >> 8), std::uint8_t(value)};
}

Bytes peer_addr(int port) {
  Bytes b = be32(0x00010102, kLoopback);
  b.insert(b.end(), {std::uint8_t(port >> 8), std::uint8_t(port), 0, 0});
  return b;
}

// Runs P2PMakeHole on its own thread.
class Punch {
 public:
  Punch(CUDP_CE& ce, std::uint32_t session, const char* random, int range) {
    thread_.create([=, &ce, this] { result_ = ce.P2PMakeHole(session, random, 0, range); });
    thread_.resume();
  }
  unsigned int result() {
    thread_.join();
    return result_;
  }
  bool done_within(int ms) { return thread_.wait(ms); }

 private:
  unsigned int result_ = 0;
  platform::Thread thread_;
};

class PellinUdp : public ::testing::Test {
 protected:
  void open(CUDP_CE::Timing timing = fast()) {
    ce.SetTiming(timing);
    ASSERT_EQ(ce.Open(nullptr, 0, nullptr, 0), 1u);
    ASSERT_EQ(ce.Setp2pSvrInfo("127.0.0.1", server.port()), 1);
    ce_port = ce.GetLocalPort();
    ASSERT_GT(ce_port, 0);
  }
  Probe ce;
  UdpPeer server;
  int ce_port = 0;
};

TEST_F(PellinUdp, RegistersPunchesAndHandsTheSocketOver) {
  open();
  ce.SetMakeHoleInterval(100);
  ce.SetMakeHoleMaxTry(50);
  Punch punch(ce, kSession, "abc", 0);

  SockAddr from;
  Bytes reg = server.recv(&from);
  Bytes want = {0, 0, 1, 2, 1, 2, 3, 4, 'a', 'b', 'c'};
  want.resize(40, 0);
  EXPECT_EQ(reg, want);
  EXPECT_EQ(from.port, ce_port);

  // The peer's address may come from another host than the server.
  UdpPeer device;
  device.send(peer_addr(device.port()), ce_port);
  EXPECT_EQ(device.recv_type(0x105, &from), be32(0x105, kSession));
  EXPECT_EQ(from.port, ce_port);
  EXPECT_EQ(ce.GetP2pSocket(), INVALID_SOCKET);  // no answer yet
  char random[32];
  EXPECT_EQ(ce.GetRandomValue(random, sizeof random), 0);

  device.send(be32(0x106, kSession), ce_port);
  const unsigned int s = punch.result();
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(s, ce.handle());
  EXPECT_EQ(ce.GetP2pSocket(), s);
  EXPECT_EQ(ce.GetSessionId(), kSession);
  ASSERT_EQ(ce.GetRandomValue(random, sizeof random), 1);
  EXPECT_STREQ(random, "abc");
  char ip[20];
  int port = 0;
  ASSERT_EQ(ce.GetP2pInfo(ip, sizeof ip, &port), 1);
  EXPECT_STREQ(ip, "127.0.0.1");
  EXPECT_EQ(port, device.port());

  // The receive thread has ended: the caller reads the socket itself.
  device.send({'m', 'e', 'd', 'i', 'a'}, ce_port);
  ASSERT_EQ(platform::wait_readable(s, 5000), 1);
  char buf[16] = {};
  EXPECT_EQ(platform::recv_from(s, buf, sizeof buf, nullptr), 5);
  EXPECT_STREQ(buf, "media");
  EXPECT_EQ(ce.Close(), 1u);
}

TEST_F(PellinUdp, HeartBeatMovesThePeerPortAndForeignSessionsAreIgnored) {
  open();
  ce.SetMakeHoleInterval(60);
  ce.SetMakeHoleMaxTry(200);
  Punch punch(ce, kSession, "r", 0);
  ASSERT_FALSE(server.recv().empty());
  UdpPeer announced, stranger, moved;
  server.send(peer_addr(announced.port()), ce_port);
  ASSERT_FALSE(announced.recv_type(0x105).empty());

  stranger.send(be32(0x105, kSession + 1), ce_port);
  moved.send(be32(0x105, kSession), ce_port);
  // The answer goes to the port the heart beat came from.
  EXPECT_EQ(moved.recv_type(0x106), be32(0x106, kSession));
  EXPECT_TRUE(stranger.quiet());  // handled before the second one, never answered
  // Punching follows the moved port.
  EXPECT_EQ(moved.recv_type(0x105), be32(0x105, kSession));

  moved.send(be32(0x106, kSession + 1), ce_port);  // a foreign answer does not count
  moved.send(be32(0x106, kSession), ce_port);
  ASSERT_NE(punch.result(), INVALID_SOCKET);
  int port = 0;
  char ip[20];
  ASSERT_EQ(ce.GetP2pInfo(ip, sizeof ip, &port), 1);
  EXPECT_EQ(port, moved.port());
  ce.Close();
}

// Three sockets on consecutive ports, for a port range of 2.
std::vector<std::unique_ptr<UdpPeer>> consecutive_peers(int count) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::vector<std::unique_ptr<UdpPeer>> peers;
    peers.push_back(std::make_unique<UdpPeer>());
    const int base = peers[0]->port();
    for (int i = 1; i < count && base + i <= 65535; ++i) {
      auto p = std::make_unique<UdpPeer>(base + i);
      if (!p->ok()) break;
      peers.push_back(std::move(p));
    }
    if (int(peers.size()) == count) return peers;
  }
  return {};
}

TEST_F(PellinUdp, PortRangeTwoSendsThreeHeartBeatsPerRound) {
  auto devices = consecutive_peers(3);
  if (devices.empty()) GTEST_SKIP() << "no three consecutive free UDP ports on loopback";
  open();
  ce.SetMakeHoleInterval(20);
  ce.SetMakeHoleMaxTry(2);
  Punch punch(ce, kSession, "r", 2);
  ASSERT_FALSE(server.recv().empty());
  server.send(peer_addr(devices[0]->port()), ce_port);
  EXPECT_EQ(punch.result(), INVALID_SOCKET);  // nobody answers
  EXPECT_EQ(ce.GetLocalPort(), -1);           // failure after punching closes the socket
  for (auto& d : devices) {
    int beats = 0;
    while (!d->quiet()) beats += d->recv() == be32(0x105, kSession);
    EXPECT_EQ(beats, 2) << "port " << d->port();
  }
}

TEST_F(PellinUdp, SilentServerFailsButKeepsTheSocket) {
  open();
  EXPECT_EQ(ce.P2PMakeHole(kSession, "r", 1, 0), INVALID_SOCKET);
  int registers = 0;
  while (!server.quiet()) registers += server.recv().size() == 40;
  EXPECT_EQ(registers, 5);
  EXPECT_EQ(ce.GetLocalPort(), ce_port);  // the owner closes it
  EXPECT_EQ(ce.Close(), 1u);
  EXPECT_EQ(ce.GetLocalPort(), -1);
  EXPECT_EQ(ce.Close(), CUDP_CE::kFailStartup);  // nothing left to close
}

TEST_F(PellinUdp, CancelDuringRegistrationKeepsTheSocket) {
  open(CUDP_CE::Timing{});  // the production waits: 4 s per registration round
  Punch punch(ce, kSession, "r", 0);
  ASSERT_FALSE(server.recv().empty());
  ce.CancelMakeHole();
  ASSERT_TRUE(punch.done_within(1000));
  EXPECT_EQ(punch.result(), INVALID_SOCKET);
  EXPECT_EQ(ce.GetLocalPort(), ce_port);
  const auto start = platform::tick_ms64();
  EXPECT_EQ(ce.Close(), 1u);
  EXPECT_LT(platform::tick_ms64() - start, 1000u);
}

TEST_F(PellinUdp, CloseIsPromptInEveryPhase) {
  // Production timing throughout: 1 s receive polls, 300 ms send pauses.
  for (int phase = 0; phase < 3; ++phase) {
    Probe obj;
    obj.SetMakeHoleInterval(1000);
    ASSERT_EQ(obj.Open(nullptr, 0, nullptr, 0), 1u);
    obj.Setp2pSvrInfo("127.0.0.1", server.port());
    const int port = obj.GetLocalPort();
    std::unique_ptr<Punch> punch;
    UdpPeer device;
    if (phase >= 1) {
      punch = std::make_unique<Punch>(obj, kSession, "r", 0);
      ASSERT_FALSE(server.recv().empty());  // registering
    }
    if (phase == 2) {
      server.send(peer_addr(device.port()), port);
      ASSERT_FALSE(device.recv_type(0x105).empty());  // punching
    }
    const auto start = platform::tick_ms64();
    EXPECT_EQ(obj.Close(), 1u);
    EXPECT_LT(platform::tick_ms64() - start, 1000u) << "phase " << phase;
    if (punch) {
      EXPECT_TRUE(punch->done_within(1000)) << "phase " << phase;
      EXPECT_EQ(punch->result(), INVALID_SOCKET);
    }
    EXPECT_EQ(obj.GetLocalPort(), -1);
    EXPECT_EQ(obj.Close(), CUDP_CE::kFailStartup) << "phase " << phase;  // closed twice
    while (!server.quiet()) server.recv();
  }
}

TEST_F(PellinUdp, DestructionWithoutCloseStopsTheThread) {
  const auto start = platform::tick_ms64();
  {
    CUDP_CE obj;
    ASSERT_EQ(obj.Open(nullptr, 0, nullptr, 0), 1u);
  }
  EXPECT_LT(platform::tick_ms64() - start, 1000u);
}

TEST_F(PellinUdp, SendFormsAndDefaultDestination) {
  UdpPeer remote;
  const std::wstring remote_ip = L"127.0.0.1";
  ce.SetTiming(fast());
  ASSERT_EQ(ce.Open(nullptr, 0, remote_ip.c_str(), remote.port()), 1u);
  EXPECT_EQ(ce.Open(nullptr, 0, nullptr, 0), CUDP_CE::kFailSocket);  // already open
  EXPECT_EQ(ce.SendData("hi", 2), 2u);
  EXPECT_EQ(remote.recv(), (Bytes{'h', 'i'}));
  EXPECT_EQ(ce.SendData("yo", 2, "127.0.0.1", remote.port()), 2u);
  EXPECT_EQ(remote.recv(), (Bytes{'y', 'o'}));
  EXPECT_EQ(ce.SendData("x", 1, "localhost", remote.port()), CUDP_CE::kFailStartup);
  EXPECT_EQ(ce.SendData("x", 1, "127.0.0.1", 0), CUDP_CE::kFailStartup);
  EXPECT_EQ(ce.SendHeartBeat(remote_ip.c_str(), remote.port()), 1);
  EXPECT_EQ(remote.recv(), be32(0x105, 0xFFFFFFFF));  // no session yet
  ce.Close();
  EXPECT_EQ(ce.SendData("hi", 2), CUDP_CE::kFailStartup);
}

TEST_F(PellinUdp, BusyPortFailsToBind) {
  Socket plain(platform::udp_socket());
  ASSERT_TRUE(platform::bind_socket(plain.get(), {0, 0}));
  const int port = platform::local_address(plain.get())->port;
  EXPECT_EQ(ce.Open(nullptr, port, nullptr, 0), CUDP_CE::kFailBind);
  EXPECT_EQ(ce.Open(nullptr, 70000, nullptr, 0), CUDP_CE::kFailBind);
}

TEST(PellinState, AccessorsAndRefusedInput) {
  CUDP_CE ce;
  char buf[20];
  int port = 0;
  EXPECT_EQ(ce.GetSessionId(), 0xFFFFFFFFul);
  EXPECT_EQ(ce.GetLocalPort(), -1);
  EXPECT_EQ(ce.GetP2pSocket(), INVALID_SOCKET);

  EXPECT_EQ(ce.Setp2pSvrInfo(static_cast<const char*>(nullptr), 1), 0);
  EXPECT_EQ(ce.Setp2pSvrInfo("198.51.100.1", 0), 0);
  EXPECT_EQ(ce.Setp2pSvrInfo("198.51.100.1", 7000), 1);
  EXPECT_EQ(ce.Setp2pSvrInfo("198.51.100.100.12345", 1), 0);      // 20 characters
  EXPECT_EQ(ce.Setp2pSvrInfo(L"203.0.113.200.123456", 9000), 1);  // too long: address kept
  ASSERT_EQ(ce.GetP2pSvrInfo(buf, sizeof buf, &port), 1);
  EXPECT_STREQ(buf, "198.51.100.1");
  EXPECT_EQ(port, 9000);
  EXPECT_EQ(ce.GetP2pSvrInfo(buf, 12, &port), 0);  // no room for the terminator
  EXPECT_EQ(ce.GetP2pSvrInfo(buf, 13, nullptr), 1);
  EXPECT_EQ(ce.Setp2pSvrInfo(L"203.0.113.9", 1), 1);
  ASSERT_EQ(ce.GetP2pSvrInfo(buf, sizeof buf, &port), 1);
  EXPECT_STREQ(buf, "203.0.113.9");
  EXPECT_EQ(ce.GetP2pInfo(buf, 1, &port), 1);  // empty peer address fits
  EXPECT_EQ(port, -1);

  // Not opened, or refused arguments: no socket comes back.
  EXPECT_EQ(ce.P2PMakeHole(1, nullptr, 0, 0), INVALID_SOCKET);
  EXPECT_EQ(ce.P2PMakeHole(1, "r", 1, 0), INVALID_SOCKET);
  char msg[8] = {0, 0, 1, 6, 0xFF - 256, 0xFF - 256, 0xFF - 256, 0xFF - 256};
  EXPECT_EQ(ce.IsHeartBeatBack(msg, 8), 1);
  EXPECT_EQ(ce.IsHeartBeatBack(msg, 7), 0);
  msg[3] = 5;
  EXPECT_EQ(ce.IsHeartBeatBack(msg, 8), 0);
  EXPECT_EQ(ce.Close(), CUDP_CE::kFailStartup);  // never opened: no socket to close
}

TEST_F(PellinUdp, LongRandomValueAndMissingServerAreRefused) {
  open();
  EXPECT_EQ(ce.P2PMakeHole(kSession, std::string(32, 'r').c_str(), 32, 0), INVALID_SOCKET);
  EXPECT_TRUE(server.quiet());
  CUDP_CE bare;
  ASSERT_EQ(bare.Open(nullptr, 0, nullptr, 0), 1u);
  EXPECT_EQ(bare.P2PMakeHole(kSession, "r", 1, 0), INVALID_SOCKET);  // no server set
  EXPECT_EQ(bare.Close(), 1u);
}

}  // namespace
