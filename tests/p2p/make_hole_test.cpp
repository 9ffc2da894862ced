// Punching between the SDK and the simulated device on loopback: UdpMakeHole
// with a device of our own, GetP2pSocket through the P2P data request, the
// accessors of a punched path and heart beats both ways over it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "control/auth.h"
#include "media/p2p_registry.h"
#include "p2p_bytes.h"
#include "p2p_device.h"
#include "platform/socket_kind.h"
#include "simulator.h"
#include "velmosdk.h"
#include "velmosdk_p2p.h"

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001u;

class P2pHole : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_timing_ = velmo::p2p_timing();
    saved_tuning_ = velmo::tuning();
    auto& t = velmo::p2p_timing();
    t.registerWaitMs = 40;
    t.registerWaitSteps = 10;
    t.addressedPauseMs = 20;
    t.plainPauseMs = 5;
    t.pollMs = 50;
    velmo::tuning().addr_query_wait_ms = 200;
    velmo::tuning().addr_query_tries = 2;
    start_sim(
        "device D1 139001 pw1\nchannel 0 client-monitor-p2p\n"
        "device D2 139002 -\nset p2p-error device busy\n");
    ASSERT_EQ(InitMonitClientSDK(), 1);
  }
  void TearDown() override {
    ReleaseMonitClientSDK();
    devices_.clear();
    if (sim_) sim_->stop();
    velmo::p2p_timing() = saved_timing_;
    velmo::tuning() = saved_tuning_;
  }
  void start_sim(const std::string& fleet_text) {
    auto fleet = orvsim::parse_fleet(fleet_text);
    ASSERT_TRUE(fleet.ok()) << fleet.error;
    orvsim::SimulatorOptions options;
    options.fleet = *fleet.fleet;
    sim_ = std::make_unique<orvsim::Simulator>(options);
    ASSERT_TRUE(sim_->start()) << sim_->error();
    orvsim::P2pDeviceOptions fast;
    fast.register_interval_ms = 50;
    fast.beat_interval_ms = 100;
    fast.lifetime_ms = 30000;
    sim_->p2p().set_device_template(fast);
  }
  int p2p_port() const { return sim_->udp_ports()[0]; }

  orvsim::P2pDevice& device(std::uint32_t session, const std::string& random, bool answer = true) {
    orvsim::P2pDeviceOptions o;
    o.bind = {kLoopback, 0};
    o.server = {kLoopback, static_cast<std::uint16_t>(p2p_port())};
    o.session = session;
    o.random = random;
    o.register_interval_ms = 50;
    o.beat_interval_ms = 100;
    o.answer_beats = answer;
    o.send_beats = answer;
    devices_.push_back(std::make_unique<orvsim::P2pDevice>());
    EXPECT_TRUE(devices_.back()->start(o)) << devices_.back()->error();
    return *devices_.back();
  }

  // Reads the punched socket for a while, answering the device's beats the
  // way the live session does; counts beats and answers seen.
  struct Traffic {
    int beats = 0;
    int backs = 0;
  };
  Traffic pump(SOCKET s, std::uint32_t session, const std::wstring& ip, int port, int ms) {
    Traffic t;
    const auto until = platform::tick_ms64() + static_cast<std::uint64_t>(ms);
    char buf[64];
    while (platform::tick_ms64() < until) {
      if (platform::wait_readable(s, 50) != 1) continue;
      const int n = platform::recv_from(s, buf, sizeof buf, nullptr);
      if (IsHeartBeat_RTP(s, buf, n, p2ptest::net32(session))) {
        ++t.beats;
        EXPECT_EQ(SendHeartBeatBack_RTP(s, ip.c_str(), port, p2ptest::net32(session)), 1);
      } else if (IsHeartBeatBack_RTCP(s, buf, n, 0)) {
        ++t.backs;
      }
    }
    return t;
  }

  std::unique_ptr<orvsim::Simulator> sim_;
  std::vector<std::unique_ptr<orvsim::P2pDevice>> devices_;

 private:
  CUDP_CE::Timing saved_timing_;
  velmo::ControlTuning saved_tuning_;
};

TEST_F(P2pHole, UdpMakeHoleMeetsTheDeviceAndBeatsGoBothWays) {
  auto& dev = device(0xC0DE0001u, "rv-make-hole");
  const auto registered = velmo::p2p_count();
  const SOCKET s = UdpMakeHole("127.0.0.1", p2p_port(), 0xC0DE0001ul, "rv-make-hole", 5, 200, 0);
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(velmo::p2p_count(), registered + 1);

  char ip[20];
  ASSERT_EQ(GetRemoteIP(s, ip, sizeof ip), 1);
  EXPECT_STREQ(ip, "127.0.0.1");
  EXPECT_EQ(GetRemoteIP(s, ip, 9), 0) << "no room for the text and its NUL";
  EXPECT_EQ(GetRemotePort(s), dev.local().port);
  EXPECT_EQ(GetSessionId(s), 0xC0DE0001ul);
  char random[32];
  ASSERT_EQ(GetRandomValue(s, random, sizeof random), 1);
  EXPECT_STREQ(random, "rv-make-hole");
  EXPECT_EQ(GetRandomValue(s, random, 31), 0);
  char svr[20];
  EXPECT_EQ(GetP2pSvrIP(s, svr, sizeof svr), svr);
  EXPECT_STREQ(svr, "127.0.0.1");
  EXPECT_EQ(GetP2pSvrPort(s), p2p_port());
  ASSERT_EQ(sim_->p2p().rendezvous().pairings().size(), 1u);

  // The path's own heart beat (its session id, not the caller's value).
  ASSERT_EQ(SendHeartBeat_RTCP(s, L"127.0.0.1", GetRemotePort(s), 0xFFFFul), 1);
  ASSERT_TRUE(dev.wait_for([](const auto& st) { return st.beats_received >= 2; }, 3000));
  const auto t = pump(s, 0xC0DE0001u, L"127.0.0.1", GetRemotePort(s), 600);
  EXPECT_GE(t.beats, 2) << "the device's own beats reach the punched socket";
  EXPECT_GE(t.backs, 1) << "the device answers the path's beats";
  EXPECT_TRUE(dev.wait_for([](const auto& st) { return st.backs_received >= 2; }, 3000))
      << "the device's beats are answered";

  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(ReleaseP2pSocket(s), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  EXPECT_EQ(ReleaseP2pSocket(s), 0);
  EXPECT_EQ(GetSessionId(s), 0xFFFFFFFFul);
  EXPECT_EQ(velmo::p2p_count(), registered);
}

TEST_F(P2pHole, WithoutADeviceTheCallFailsAndKeepsNothing) {
  const auto registered = velmo::p2p_count();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(UdpMakeHole("127.0.0.1", p2p_port(), 0xC0DE0002ul, "alone", 3, 100, 0), INVALID_SOCKET);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  EXPECT_EQ(velmo::p2p_count(), registered);
  EXPECT_GE(sim_->p2p().rendezvous().registrations(), 5u);
}

TEST_F(P2pHole, ASilentDeviceFailsThePunchingRounds) {
  auto& dev = device(0xC0DE0003u, "mute", /*answer=*/false);
  const auto registered = velmo::p2p_count();
  EXPECT_EQ(UdpMakeHole("127.0.0.1", p2p_port(), 0xC0DE0003ul, "mute", 3, 100, 2), INVALID_SOCKET);
  EXPECT_EQ(velmo::p2p_count(), registered);
  // Port range 2: each of the three rounds beat the port and the two above.
  EXPECT_EQ(dev.stats().beats_received, 3);
}

TEST_F(P2pHole, GetP2pSocketPunchesTowardsTheDeviceTheServerNamed) {
  char i2c[] = "D1";
  ASSERT_EQ(UserAnthenticate(i2c, 2, L"139001", L"127.0.0.1", sim_->http_port(), 2), 1);
  const SOCKET s = GetP2pSocket(i2c, L"139001", L"127.0.0.1", sim_->http_port(), 5, 200);
  ASSERT_NE(s, INVALID_SOCKET);
  bool asked = false;
  for (const auto& e : sim_->log().entries())
    asked |= e.request.target == "/realtime?i2c=D1&tel=139001&transmit=true";
  EXPECT_TRUE(asked);
  const auto devices = sim_->p2p().devices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(GetSessionId(s), devices[0]->options().session);
  EXPECT_EQ(GetRemotePort(s), devices[0]->local().port);
  EXPECT_TRUE(devices[0]->wait_for([](const auto& st) { return st.beats_received >= 1; }, 3000));
  EXPECT_EQ(platform::socket_kind(s), platform::SocketKind::datagram);
  EXPECT_EQ(ReleaseP2pSocket(s), 1);

  // Negotiation without "transmit" still reaches the negotiation handler.
  const std::string reply =
      ConnectAnalyze(i2c, L"139001", L"127.0.0.1", sim_->http_port(), 9000, 3, 300, 1, 0, 0, 10, 1);
  EXPECT_NE(reply.find("ConnectInfo"), std::string::npos);
}

TEST_F(P2pHole, GetP2pSocketErrorRepliesOpenNoSocket) {
  char d1[] = "D1", d2[] = "D2", d9[] = "D9";
  const auto opened = velmo::p2p_opened();
  // Before authentication the shared connection is not open.
  EXPECT_EQ(GetP2pSocket(d1, L"139001", L"127.0.0.1", sim_->http_port(), 2, 100), INVALID_SOCKET);
  ASSERT_EQ(UserAnthenticate(d1, 2, L"139001", L"127.0.0.1", sim_->http_port(), 2), 1);
  EXPECT_EQ(GetP2pSocket(d2, L"139002", L"127.0.0.1", sim_->http_port(), 2, 100), INVALID_SOCKET);
  EXPECT_EQ(GetP2pSocket(d9, L"139009", L"127.0.0.1", sim_->http_port(), 2, 100), INVALID_SOCKET);
  EXPECT_EQ(GetP2pSocket(nullptr, L"139001", L"127.0.0.1", sim_->http_port(), 2, 100),
            INVALID_SOCKET);
  EXPECT_EQ(velmo::p2p_opened(), opened);
  EXPECT_TRUE(sim_->p2p().devices().empty());
}

TEST_F(P2pHole, PublicAddressQueryGivesUpOnAForeignSender) {
  platform::Socket s(platform::udp_socket()), stranger(platform::udp_socket());
  ASSERT_TRUE(platform::bind_socket(s.get(), {kLoopback, 0}));
  ASSERT_TRUE(platform::bind_socket(stranger.get(), {0x7F000002u, 0}));
  const auto own = *platform::local_address(s.get());
  sockaddr_in addr;
  ASSERT_EQ(GetPublicAddrBySock(s.get(), L"127.0.0.1", p2p_port(), addr), 1);
  EXPECT_EQ(addr.sin_port, p2ptest::net16(own.port));

  // A datagram from another host is waiting: the query ends at the first try.
  const auto before = sim_->responder(0).received_count();
  const auto junk = p2ptest::bytes({0, 1, 1, 2, 127, 0, 0, 1, 0x1F, 0x90, 0, 0});
  ASSERT_EQ(platform::send_to(stranger.get(), std::span<const std::byte>(junk), own), 12);
  ASSERT_EQ(platform::wait_readable(s.get(), 2000), 1);
  EXPECT_EQ(GetPublicAddrBySock(s.get(), L"127.0.0.1", p2p_port(), addr), 0);
  EXPECT_EQ(addr.sin_port, 0);
  // The server's answer to that one query is still on its way; no second query follows.
  ASSERT_EQ(platform::wait_readable(s.get(), 2000), 1);
  EXPECT_EQ(sim_->responder(0).received_count(), before + 1);
}

TEST(P2pReply, ReadsP2pInfoAndRefusesInsaneValues) {
  auto r = velmo::read_p2p_reply(
      "<Message><MSGTYPE>p2pInfo</MSGTYPE><p2pInfo><IPv4>198.51.100.7</IPv4><Port>6000</Port>"
      "<RandomValue>abc</RandomValue><SessionId>4294967295</SessionId></p2pInfo></Message>");
  ASSERT_TRUE(r && r->info);
  EXPECT_EQ(r->info->ipv4, "198.51.100.7");
  EXPECT_EQ(r->info->port, 6000);
  EXPECT_EQ(r->info->random, "abc");
  EXPECT_EQ(r->info->session, 0xFFFFFFFFu);

  r = velmo::read_p2p_reply("<Message><MSGTYPE detail=\"device busy\">Error</MSGTYPE></Message>");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->error);
  EXPECT_EQ(r->detail, "device busy");
  EXPECT_FALSE(r->info);

  for (const char* bad :
       {"<IPv4>p2p.example</IPv4><Port>6000</Port>", "<IPv4>198.51.100.7</IPv4><Port>70000</Port>",
        "<IPv4>198.51.100.7</IPv4><Port>x</Port>"}) {
    const std::string body = std::string("<Message><MSGTYPE>p2pInfo</MSGTYPE><p2pInfo>") + bad +
                             "<RandomValue>a</RandomValue><SessionId>1</SessionId></p2pInfo>"
                             "</Message>";
    r = velmo::read_p2p_reply(body);
    ASSERT_TRUE(r) << bad;
    EXPECT_FALSE(r->info) << bad;
  }
  EXPECT_FALSE(velmo::read_p2p_reply("not xml"));
}

}  // namespace
