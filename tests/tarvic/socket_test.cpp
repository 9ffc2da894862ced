// CTarvic against a small TCP peer on 127.0.0.1 that plays the device.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "tarvic/tarvic.h"

namespace {

using platform::Socket;

constexpr std::uint32_t kLoopback = 0x7F000001;

struct Probe : CTarvic {
  unsigned int handle() const { return m_hSocket; }
};

// Accepts one connection and runs a script on it on its own thread.
class Peer {
 public:
  explicit Peer(std::function<void(SOCKET)> script) {
    listener_.reset(platform::tcp_socket());
    EXPECT_TRUE(platform::bind_socket(listener_.get(), {kLoopback, 0}));
    EXPECT_TRUE(platform::listen_socket(listener_.get(), 2));
    port_ = platform::local_address(listener_.get())->port;
    thread_.create([this, script = std::move(script)] {
      if (platform::wait_readable(listener_.get(), 5000) != 1) return;
      Socket c(platform::accept_socket(listener_.get()));
      if (c) script(c.get());
    });
    thread_.resume();
  }
  ~Peer() { thread_.join(); }
  int port() const { return port_; }
  void join() { thread_.join(); }

 private:
  Socket listener_;
  int port_ = 0;
  platform::Thread thread_;
};

std::string read_request(SOCKET s) {
  std::string got;
  char buf[512];
  while (got.find("\r\n\r\n") == std::string::npos && platform::wait_readable(s, 5000) == 1) {
    const int n = platform::recv_some(s, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, n);
  }
  return got;
}

bool connect(CTarvic& t, int port) {
  return t.Socket() == 1 && t.Connect(L"127.0.0.1", port) == 1;
}

TEST(TarvicSocket, PlayExchangeGivesStatusAndFields) {
  std::string seen;
  Peer peer([&](SOCKET s) {
    seen = read_request(s);
    platform::send_all(s, "RTSP/1.0 200 OK\r\nSession: 12\r\n\r\nEXTRA", 2000);
    platform::wait_readable(s, 5000);  // until the client closes
  });
  CTarvic t;
  EXPECT_EQ(t.GetServerState(), -1);
  ASSERT_TRUE(connect(t, peer.port()));
  EXPECT_EQ(t.m_bConnected, 1);
  EXPECT_EQ(t.Socket(), 0);  // already connected
  EXPECT_EQ(t.GetLocalIP(), L"127.0.0.1");

  const std::string request = t.FormatPlayRequestHeader(L"rtsp://a/b", 7);
  ASSERT_EQ(t.SendRequest(nullptr, 0), 1);
  EXPECT_EQ(t.GetServerState(), 200);
  EXPECT_EQ(t.GetField(L"Session"), L"12");
  EXPECT_EQ(t.GetField(L"RTSP/1.0"), L"200 OK");
  EXPECT_EQ(t.GetField(L"Transport"), L"");
  int len = 0;
  ASSERT_NE(t.GetResponseHeader(len), nullptr);
  EXPECT_EQ(len, 32);
  char line[64];
  EXPECT_EQ(t.GetResponseLine(line, sizeof line), 17);
  EXPECT_EQ(std::string(line, 17), "RTSP/1.0 200 OK\r\n");

  // The body stays on the connection for the caller.
  char body[16] = {};
  EXPECT_EQ(t.SelectRcv(body, sizeof body), 5);
  EXPECT_STREQ(body, "EXTRA");
  EXPECT_EQ(t.CloseSocket(), 1);
  EXPECT_EQ(t.m_bConnected, 0);
  peer.join();
  EXPECT_EQ(seen, request);

  // A new request discards the response.
  t.FormatPauseRequestHeader(L"rtsp://a/b", 7);
  EXPECT_EQ(t.GetServerState(), -1);
  EXPECT_EQ(t.GetField(L"Session"), L"");
}

TEST(TarvicSocket, HeaderWithoutBlankLineIsCutAt1024) {
  Peer peer([](SOCKET s) {
    read_request(s);
    platform::send_all(s, "RTSP/1.0 200 OK\r\nX: " + std::string(1500 - 20, 'a'), 2000);
    platform::wait_readable(s, 5000);
  });
  CTarvic t;
  ASSERT_TRUE(connect(t, peer.port()));
  t.FormatTearDownRequestHeader(L"rtsp://a/b", 1);
  ASSERT_EQ(t.SendRequest(nullptr, 0), 1);
  int len = 0;
  ASSERT_NE(t.GetResponseHeader(len), nullptr);
  EXPECT_EQ(len, 1024);
  EXPECT_EQ(t.GetServerState(), 200);
  EXPECT_EQ(t.GetField(L"X"), std::wstring(1024 - 20, L'a'));  // runs to the cut
  // The rest of the 1500 bytes is still waiting on the socket.
  std::string rest;
  char buf[600];
  for (int n; rest.size() < 476 && (n = t.SelectRcv(buf, sizeof buf)) > 0;) rest.append(buf, n);
  EXPECT_EQ(rest, std::string(476, 'a'));
}

TEST(TarvicSocket, OnlyDottedAddressesConnect) {
  Peer peer([](SOCKET s) { platform::wait_readable(s, 5000); });
  CTarvic t;
  ASSERT_EQ(t.Socket(), 1);
  EXPECT_EQ(t.Connect(nullptr, peer.port()), 0);
  EXPECT_EQ(t.Connect(L"localhost", peer.port()), 0);
  EXPECT_EQ(t.Connect(L"127.0.0.1.", peer.port()), 0);
  EXPECT_EQ(t.Connect(L"127.0.0.1", 70000), 0);
  EXPECT_EQ(t.Connect((L"127.0.0.1" + std::wstring(130, L' ')).c_str(), peer.port()), 0);
  EXPECT_EQ(t.m_bConnected, 0);
  // Refused names leave the socket in place; a dotted address then connects.
  EXPECT_EQ(t.Connect(L"127.0.0.1", peer.port()), 1);
  t.CloseSocket();
}

TEST(TarvicSocket, RefusedConnectDropsTheSocket) {
  int port = 0;
  {
    Socket s(platform::tcp_socket());
    ASSERT_TRUE(platform::bind_socket(s.get(), {kLoopback, 0}));
    port = platform::local_address(s.get())->port;
  }
  Probe t;
  ASSERT_EQ(t.Socket(), 1);
  EXPECT_EQ(t.Connect(L"127.0.0.1", port), 0);
  EXPECT_EQ(t.handle(), INVALID_SOCKET);
  EXPECT_EQ(t.Connect(L"127.0.0.1", port), 0);  // no socket until Socket() again
  EXPECT_EQ(t.SendRequest(L"x", 1), 0);
  EXPECT_EQ(t.Receive(nullptr, 0), 0);
}

TEST(TarvicSocket, TricklingPeerCannotHoldTheReadForever) {
  platform::StopSignal stop;
  Peer peer([&](SOCKET s) {
    read_request(s);
    platform::send_all(s, "RTSP/1.0 200 OK\r\n", 1000);
    // One byte per 300 ms: each byte beats the 1 s per-byte limit.
    while (stop.sleep_for(300) && platform::send_some(s, "a") == 1) {
    }
  });
  Probe t;
  ASSERT_TRUE(connect(t, peer.port()));
  t.FormatPlayRequestHeader(L"rtsp://a/b", 1);
  t.SetTimeout(1, 0);
  const auto start = platform::tick_ms64();
  EXPECT_EQ(t.SendRequest(nullptr, 0), 0);
  const auto took = platform::tick_ms64() - start;
  stop.stop();
  EXPECT_LT(took, 4000u);
  EXPECT_GE(took, 1500u);
  EXPECT_EQ(t.m_bConnected, 1);  // a time-out keeps the connection
  EXPECT_EQ(t.GetServerState(), -1);
}

TEST(TarvicSocket, PeerClosingMidHeaderClosesTheSocket) {
  Peer peer([](SOCKET s) {
    read_request(s);
    platform::send_all(s, "RTSP/1.0 200 OK\r\nSess", 1000);
  });
  Probe t;
  ASSERT_TRUE(connect(t, peer.port()));
  t.FormatPlayRequestHeader(L"rtsp://a/b", 1);
  EXPECT_EQ(t.SendRequest(nullptr, 0), 0);
  EXPECT_EQ(t.m_bConnected, 0);
  EXPECT_EQ(t.handle(), INVALID_SOCKET);
}

TEST(TarvicSocket, PlainTransfers) {
  std::string seen;
  platform::StopSignal reply;
  Peer peer([&](SOCKET s) {
    seen = read_request(s);
    char buf[4096];
    std::size_t bulk = 0;
    while (bulk < 3000 && platform::wait_readable(s, 5000) == 1) {
      const int n = platform::recv_some(s, buf, sizeof buf);
      if (n <= 0) break;
      bulk += n;
    }
    seen += std::to_string(bulk);
    platform::send_all(s, "x", 1000);
    reply.sleep_for(5000);  // until told to close
  });
  Probe t;
  ASSERT_TRUE(connect(t, peer.port()));
  EXPECT_EQ(t.SendRequest_WithoutBack(L"SET_PARAMETER a\r\n\r\n", 19), 1);
  EXPECT_EQ(t.SendRequest(L"x", 1025), 0);  // longer than the buffer

  const std::string bulk(3000, 'z');
  EXPECT_EQ(t.SelectSend(t.handle(), bulk.data(), static_cast<int>(bulk.size()), 2), 3000);
  EXPECT_EQ(t.SelectSend(INVALID_SOCKET, bulk.data(), 1, 1), -1);
  char buf[8] = {};
  EXPECT_EQ(t.SelectRcv(INVALID_SOCKET, buf, sizeof buf, 1), -1);

  ASSERT_EQ(platform::wait_readable(t.handle(), 5000), 1);
  EXPECT_EQ(t.Receive(buf, sizeof buf), 1);
  EXPECT_EQ(buf[0], 'x');
  // Nothing waiting on the non-blocking socket is not a broken connection.
  EXPECT_EQ(t.Receive(buf, sizeof buf), -1);
  EXPECT_EQ(t.m_bConnected, 1);
  errno = 0;
  EXPECT_EQ(t.SelectRcv(t.handle(), buf, sizeof buf, 0), -1);
  EXPECT_EQ(errno, ETIMEDOUT);

  reply.stop();
  peer.join();
  EXPECT_EQ(seen, "SET_PARAMETER a\r\n\r\n3000");
  ASSERT_EQ(platform::wait_readable(t.handle(), 5000), 1);
  EXPECT_EQ(t.Receive(buf, sizeof buf), 0);  // closed by the peer
  EXPECT_EQ(t.m_bConnected, 0);
  EXPECT_EQ(t.handle(), INVALID_SOCKET);
}

TEST(TarvicSocket, AdoptedSocketCanBeDetached) {
  Peer peer([](SOCKET s) { platform::wait_readable(s, 5000); });
  Socket own(platform::tcp_socket());
  ASSERT_TRUE(platform::connect_with_timeout(
      own.get(), {kLoopback, static_cast<std::uint16_t>(peer.port())}, 2000));
  {
    Probe t;
    EXPECT_EQ(t.Socket(INVALID_SOCKET), 0);
    ASSERT_EQ(t.Socket(own.get()), 1);
    EXPECT_EQ(t.m_bConnected, 0);  // adopting does not mark it connected
    t.m_bConnected = 1;
    EXPECT_EQ(t.DetachSocket(), own.get());
  }
  // Still open after the CTarvic is gone.
  EXPECT_EQ(platform::send_some(own.get(), "k"), 1);
}

}  // namespace
