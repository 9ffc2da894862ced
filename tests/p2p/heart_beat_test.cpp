// Heart-beat frames of the SDK on plain UDP and TCP sockets, and the results
// of the path accessors for handles the library does not know.
#include <gtest/gtest.h>

#include <cstring>

#include "p2p_bytes.h"
#include "platform/net.h"
#include "velmosdk.h"
#include "velmosdk_p2p.h"

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001u;

struct Udp {
  platform::Socket s{platform::udp_socket()};
  int port = 0;
  Udp() {
    EXPECT_TRUE(platform::bind_socket(s.get(), {kLoopback, 0}));
    port = platform::local_address(s.get())->port;
  }
  std::vector<std::byte> next() {
    std::vector<std::byte> buf(64);
    if (platform::wait_readable(s.get(), 2000) != 1) return {};
    const int n = platform::recv_from(s.get(), std::span(buf), nullptr);
    buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return buf;
  }
};

// The exports work only while the library is started.
class P2pStarted : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(InitMonitClientSDK(), 1); }
  void TearDown() override { ReleaseMonitClientSDK(); }
};
using P2pHeartBeat = P2pStarted;
using P2pRegistry = P2pStarted;

TEST_F(P2pHeartBeat, RtpFramesCarryTheSessionValueAsItLiesInMemory) {
  Udp from, to;
  // 0x04030201 lies in a little-endian memory as 01 02 03 04.
  ASSERT_EQ(SendHeartBeat_RTP(from.s.get(), L"127.0.0.1", to.port, 0x04030201ul), 1);
  EXPECT_EQ(to.next(), p2ptest::bytes({0, 0, 1, 5, 1, 2, 3, 4}));
  ASSERT_EQ(SendHeartBeatBack_RTP(from.s.get(), L"127.0.0.1", to.port, 0x04030201ul), 1);
  EXPECT_EQ(to.next(), p2ptest::bytes({0, 0, 1, 6, 1, 2, 3, 4}));

  EXPECT_EQ(SendHeartBeat_RTP(INVALID_SOCKET, L"127.0.0.1", to.port, 1), 0);
  EXPECT_EQ(SendHeartBeat_RTP(from.s.get(), L"localhost", to.port, 1), 0);
  EXPECT_EQ(SendHeartBeat_RTP(from.s.get(), nullptr, to.port, 1), 0);
  EXPECT_EQ(SendHeartBeatBack_RTP(from.s.get(), L"127.0.0.1", 0, 1), 0);
}

TEST_F(P2pHeartBeat, RtpRecognitionIsExact) {
  Udp u;
  const SOCKET s = u.s.get();
  char beat[9] = {0, 0, 1, 5, 1, 2, 3, 4, 0};
  char back[8] = {0, 0, 1, 6, 1, 2, 3, 4};
  EXPECT_EQ(IsHeartBeat_RTP(s, beat, 8, 0x04030201ul), 1);
  EXPECT_EQ(IsHeartBeat_RTP(s, beat, 9, 0x04030201ul), 0) << "nine bytes are no heart beat";
  EXPECT_EQ(IsHeartBeat_RTP(s, beat, 8, 0x01020304ul), 0);
  EXPECT_EQ(IsHeartBeat_RTP(s, back, 8, 0x04030201ul), 0);
  EXPECT_EQ(IsHeartBeat_RTP(INVALID_SOCKET, beat, 8, 0x04030201ul), 0);
  EXPECT_EQ(IsHeartBeat_RTP(s, nullptr, 8, 0x04030201ul), 0);
  EXPECT_EQ(IsHeartBeatBack_RTP(s, back, 8, 0x04030201ul), 1);
  EXPECT_EQ(IsHeartBeatBack_RTP(s, beat, 8, 0x04030201ul), 0);
  EXPECT_EQ(IsHeartBeatBack_RTP(s, back, 7, 0x04030201ul), 0);
}

TEST_F(P2pHeartBeat, RtcpOnAStreamUsesTheCallersValue) {
  platform::Socket listener(platform::tcp_socket());
  ASSERT_TRUE(platform::bind_socket(listener.get(), {kLoopback, 0}));
  ASSERT_TRUE(platform::listen_socket(listener.get(), 1));
  platform::Socket client(platform::tcp_socket());
  ASSERT_TRUE(
      platform::connect_with_timeout(client.get(), *platform::local_address(listener.get()), 2000));
  ASSERT_EQ(platform::wait_readable(listener.get(), 2000), 1);
  platform::Socket server(platform::accept_socket(listener.get()));
  ASSERT_TRUE(server.valid());

  ASSERT_EQ(SendHeartBeat_RTCP(client.get(), nullptr, 0, 0x04030201ul), 1);
  char got[8] = {};
  int have = 0;
  while (have < 8 && platform::wait_readable(server.get(), 2000) == 1) {
    const int n = platform::recv_some(server.get(), got + have, 8 - have);
    if (n <= 0) break;
    have += n;
  }
  const char want[8] = {0, 0, 1, 5, 1, 2, 3, 4};
  ASSERT_EQ(have, 8);
  EXPECT_EQ(std::memcmp(got, want, 8), 0);

  char back[8] = {0, 0, 1, 6, 1, 2, 3, 4};
  EXPECT_EQ(IsHeartBeatBack_RTCP(client.get(), back, 8, 0x04030201ul), 1);
  EXPECT_EQ(IsHeartBeatBack_RTCP(client.get(), back, 8, 0x01020304ul), 0);
  EXPECT_EQ(IsHeartBeatBack_RTCP(client.get(), back, 9, 0x04030201ul), 0);
}

TEST_F(P2pHeartBeat, RtcpOnAnUnknownUdpSocketOrNoSocketFails) {
  Udp u, to;
  char back[8] = {0, 0, 1, 6, 1, 2, 3, 4};
  EXPECT_EQ(SendHeartBeat_RTCP(u.s.get(), L"127.0.0.1", to.port, 0x04030201ul), 0);
  EXPECT_EQ(IsHeartBeatBack_RTCP(u.s.get(), back, 8, 0x04030201ul), 0);
  EXPECT_EQ(SendHeartBeat_RTCP(INVALID_SOCKET, L"127.0.0.1", to.port, 1), 0);
  EXPECT_EQ(IsHeartBeatBack_RTCP(INVALID_SOCKET, back, 8, 0x04030201ul), 0);
  EXPECT_EQ(IsHeartBeatBack_RTCP(0x7FFFFFF0u, back, 8, 0x04030201ul), 0) << "not a socket";
}

TEST_F(P2pRegistry, UnregisteredHandlesGiveTheFailureValues) {
  Udp u;
  for (const unsigned int s : {u.s.get(), INVALID_SOCKET}) {
    char buf[64] = "untouched";
    EXPECT_EQ(GetSessionId(s), 0xFFFFFFFFul);
    EXPECT_EQ(GetRemotePort(s), 0);
    EXPECT_EQ(GetRemoteIP(s, buf, sizeof buf), 0);
    EXPECT_EQ(GetRandomValue(s, buf, sizeof buf), 0);
    EXPECT_EQ(GetP2pSvrIP(s, buf, sizeof buf), nullptr);
    EXPECT_EQ(GetP2pSvrPort(s), 0);
    EXPECT_EQ(ReleaseP2pSocket(s), 0);
    EXPECT_STREQ(buf, "untouched");
  }
  EXPECT_TRUE(platform::local_address(u.s.get())) << "release of an unknown handle leaves it open";
}

TEST_F(P2pRegistry, UdpMakeHoleRefusesWhatCouldNeverRegister) {
  EXPECT_EQ(UdpMakeHole(nullptr, 5000, 1, "r", 1, 10, 0), INVALID_SOCKET);
  EXPECT_EQ(UdpMakeHole("127.0.0.1", 5000, 1, nullptr, 1, 10, 0), INVALID_SOCKET);
  EXPECT_EQ(UdpMakeHole("p2p.example", 5000, 1, "r", 1, 10, 0), INVALID_SOCKET);
  EXPECT_EQ(UdpMakeHole("127.0.0.1", 0, 1, "r", 1, 10, 0), INVALID_SOCKET);
  EXPECT_EQ(UdpMakeHole("127.0.0.1", 5000, 1, std::string(32, 'r').c_str(), 1, 10, 0),
            INVALID_SOCKET);
}

}  // namespace
