// CMorvic against a scripted HTTP peer on loopback.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "morvic/morvic.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "script_server.h"

using morvic_test::reply;
using morvic_test::Script;
using morvic_test::ScriptServer;
using morvic_test::Step;

namespace {

// Opens the connection the way the authentication exchange does.
bool open(CMorvic& m, int port, int timeout_s = 1) {
  std::wstring host = L"127.0.0.1";
  if (!m.Socket() || !m.Connect(host.data(), port)) return false;
  m.SetTimeout(timeout_s, 0);
  return true;
}

int get(CMorvic& m, std::wstring object) {
  std::wstring host = L"127.0.0.1";
  long length = -1;
  if (!m.FormatRequestHeader(host.data(), object.data(), length, nullptr, nullptr, 0, 0, 0))
    return 0;
  return m.SendRequest(nullptr, 0);
}

// Reads Content-Length bytes in 1024-byte receives; stops early on a result <= 0.
std::string body(CMorvic& m, int* last = nullptr) {
  const std::wstring field = m.GetField(L"Content-Length");
  const long length = field.empty() ? 0 : std::stol(field);
  std::string out;
  char buf[1024];
  int n = 1;
  while (static_cast<long>(out.size()) < length && (n = m.SelectRcv(buf, sizeof buf)) > 0)
    out.append(buf, static_cast<std::size_t>(n));
  if (last) *last = n;
  return out;
}

std::string request_text(const std::string& object, int port) {
  return "GET " + object + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nConnection: Keep-Alive\r\n\r\n";
}

std::uint64_t elapsed_since(std::uint64_t start) {
  return platform::tick_ms64() - start;
}

}  // namespace

TEST(MorvicExchange, KeepAliveCarriesSeveralRequestsOnOneConnection) {
  const std::string auth = "<MSGTYPE>PublicAddr</MSGTYPE>";
  const std::string big(5000, 'b');  // more than one receive
  ScriptServer server({{Step::read(), Step::send(reply(200, auth)), Step::read(),
                        Step::send(reply(404, "missing", "X-Note: lower\r\n")), Step::read(),
                        Step::send(reply(200, big))}});
  CMorvic m;
  EXPECT_EQ(m.m_nDriftRange, 0);
  EXPECT_TRUE(m.m_strWanIP.empty());
  ASSERT_TRUE(open(m, server.port()));
  EXPECT_EQ(m.GetLocalIP(), L"127.0.0.1");

  ASSERT_TRUE(get(m, L"/query?i2c=ORV001&tel=13800138000"));
  EXPECT_EQ(m.GetServerState(), 200);
  EXPECT_EQ(m.GetField(L"content-length"), std::to_wstring(auth.size()));
  EXPECT_EQ(body(m), auth);

  ASSERT_TRUE(get(m, L"/realtime?i2c=ORV001&wan-ip=1.2.3.4&img-resolution=&frame-rate=10"));
  EXPECT_EQ(m.GetServerState(), 404);
  EXPECT_EQ(m.GetField(L"x-NOTE"), L"lower");
  EXPECT_EQ(m.GetField(L"Absent"), L"");
  EXPECT_EQ(body(m), "missing");

  ASSERT_TRUE(get(m, L"/big"));
  EXPECT_EQ(body(m), big);
  char buf[16];
  EXPECT_EQ(m.SelectRcv(buf, sizeof buf), 0);  // the body is over; nothing is waited for

  EXPECT_EQ(server.connections(), 1);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], request_text("/query?i2c=ORV001&tel=13800138000", server.port()));
  EXPECT_EQ(requests[1], request_text("/realtime?i2c=ORV001&wan-ip=1.2.3.4&img-resolution=&"
                                      "frame-rate=10",
                                      server.port()));
}

TEST(MorvicExchange, ObjectGoesOutInCodePage936WithTheLineBreakersEscaped) {
  ScriptServer server({{Step::read(), Step::send(reply(200, "ok"))}});
  CMorvic m;
  ASSERT_TRUE(open(m, server.port()));
  ASSERT_TRUE(get(m, L"/query?name=中文&x=a%20b c\r\n\u0100"));
  ASSERT_TRUE(server.wait_requests(1, 5000));
  EXPECT_EQ(server.requests()[0],
            request_text("/query?name=\xD6\xD0\xCE\xC4&x=a%20b%20c%0D%0A%u0100", server.port()));
}

TEST(MorvicExchange, BodyArrivingWithTheHeadIsHandedOutFirstInSmallPieces) {
  ScriptServer server({{Step::read(), Step::send(reply(200, "0123456789"))}});
  CMorvic m;
  ASSERT_TRUE(open(m, server.port()));
  ASSERT_TRUE(get(m, L"/q"));
  char buf[4];
  ASSERT_EQ(m.SelectRcv(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "0123");
  ASSERT_EQ(m.SelectRcv(buf, 4), 4);
  ASSERT_EQ(m.SelectRcv(buf, 4), 2);
  EXPECT_EQ(std::string(buf, 2), "89");
  EXPECT_EQ(m.SelectRcv(buf, 4), 0);
}

TEST(MorvicExchange, UnreadBodyIsSkippedBeforeTheNextRequest) {
  ScriptServer server({{Step::read(), Step::send(reply(200, "first body")), Step::read(),
                        Step::send("HTTP/1.1 100 Continue\r\n\r\n" + reply(200, "second"))}});
  CMorvic m;
  ASSERT_TRUE(open(m, server.port()));
  ASSERT_TRUE(get(m, L"/a"));
  char buf[3];
  ASSERT_EQ(m.SelectRcv(buf, 3), 3);
  ASSERT_TRUE(get(m, L"/b"));
  EXPECT_EQ(m.GetServerState(), 200);  // the interim answer is passed over
  EXPECT_EQ(body(m), "second");
}

TEST(MorvicFailure, ServerThatClosesEndsTheExchangesCleanly) {
  // Closing right after a kept-alive answer: the next request fails.
  {
    ScriptServer server({{Step::read(), Step::send(reply(200, "one")), Step::close()}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port()));
    ASSERT_TRUE(get(m, L"/a"));
    EXPECT_EQ(body(m), "one");
    EXPECT_EQ(get(m, L"/b"), 0);
    EXPECT_EQ(m.GetServerState(), 0);
    char buf[8];
    EXPECT_LT(m.SelectRcv(buf, sizeof buf), 0);
    EXPECT_EQ(get(m, L"/c"), 0);
  }
  // "Connection: close": the next request is refused without being sent.
  {
    ScriptServer server(
        {{Step::read(), Step::send(reply(200, "one", "Connection: close\r\n")), Step::stall()}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port()));
    ASSERT_TRUE(get(m, L"/a"));
    EXPECT_EQ(body(m), "one");
    EXPECT_EQ(get(m, L"/b"), 0);
    EXPECT_EQ(server.requests().size(), 1u);
  }
  // Closing before any answer.
  {
    ScriptServer server({{Step::read(), Step::close()}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port(), 20));
    const auto start = platform::tick_ms64();
    EXPECT_EQ(get(m, L"/a"), 0);
    EXPECT_LT(elapsed_since(start), 5000u);
  }
}

TEST(MorvicFailure, BodyShorterThanContentLength) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  // The server closes after 10 of 100 bytes.
  {
    ScriptServer server({{Step::read(), Step::send(head + "0123456789"), Step::close()}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port()));
    ASSERT_TRUE(get(m, L"/a"));
    int last = 1;
    EXPECT_EQ(body(m, &last), "0123456789");
    EXPECT_EQ(last, 0);
    EXPECT_EQ(get(m, L"/b"), 0);
  }
  // The server goes quiet after 10 of 100 bytes: the receive time-out ends it.
  {
    ScriptServer server({{Step::read(), Step::send(head + "0123456789"), Step::stall()}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port(), 1));
    ASSERT_TRUE(get(m, L"/a"));
    const auto start = platform::tick_ms64();
    int last = 1;
    EXPECT_EQ(body(m, &last), "0123456789");
    EXPECT_LT(last, 0);
    EXPECT_GE(elapsed_since(start), 900u);
    EXPECT_LT(elapsed_since(start), 5000u);
    EXPECT_EQ(get(m, L"/b"), 0);
  }
}

TEST(MorvicFailure, StalledServerGivesUpAfterTheReceiveTimeout) {
  ScriptServer server({{Step::read(), Step::stall()}});
  CMorvic m;
  ASSERT_TRUE(open(m, server.port(), 1));
  const auto start = platform::tick_ms64();
  EXPECT_EQ(get(m, L"/a"), 0);
  EXPECT_GE(elapsed_since(start), 900u);
  EXPECT_LT(elapsed_since(start), 5000u);
  const auto again = platform::tick_ms64();
  EXPECT_EQ(get(m, L"/b"), 0);  // fails at once: the stream is out of step
  EXPECT_LT(elapsed_since(again), 500u);
}

TEST(MorvicFailure, TrickledHeadIsBoundedByOneTimeoutOverall) {
  // One byte every 100 ms would never end a head within the time-out.
  ScriptServer server({{Step::read(), Step::send("HTTP/1.1 200 OK\r\nX-Slow: "),
                        Step::trickle(std::string(1000, 'a'), 100)}});
  CMorvic m;
  ASSERT_TRUE(open(m, server.port(), 1));
  const auto start = platform::tick_ms64();
  EXPECT_EQ(get(m, L"/a"), 0);
  EXPECT_LT(elapsed_since(start), 5000u);
}

TEST(MorvicFailure, HeadLargerThanTheCapIsRefused) {
  // A single endless field, and many ordinary ones.
  for (const std::string& head :
       {"HTTP/1.1 200 OK\r\nX-Big: " + std::string(1 << 20, 'a') + "\r\n\r\n", [] {
          std::string h = "HTTP/1.1 200 OK\r\n";
          for (int i = 0; i < 2000; ++i) h += "X-F" + std::to_string(i) + ": v\r\n";
          return h + "Content-Length: 0\r\n\r\n";
        }()}) {
    ScriptServer server({{Step::read(), Step::send(head)}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port(), 20));
    const auto start = platform::tick_ms64();
    EXPECT_EQ(get(m, L"/a"), 0);
    EXPECT_LT(elapsed_since(start), 5000u);
  }
  // A large head that still fits is read.
  ScriptServer server(
      {{Step::read(), Step::send(reply(200, "x", "X-Big: " + std::string(15000, 'a') + "\r\n"))}});
  CMorvic m;
  ASSERT_TRUE(open(m, server.port()));
  ASSERT_TRUE(get(m, L"/a"));
  EXPECT_EQ(m.GetField(L"X-Big").size(), 15000u);
}

TEST(MorvicFailure, MalformedResponsesFail) {
  for (const std::string& bad : {
           std::string("SSH-2.0-OpenSSH\r\n\r\n"),
           std::string("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n"),
           std::string("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n"),
           std::string("HTTP/1.1 200 OK\r\nno colon here\r\n\r\n"),
       }) {
    ScriptServer server({{Step::read(), Step::send(bad), Step::stall()}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port()));
    EXPECT_EQ(get(m, L"/a"), 0) << bad;
    EXPECT_EQ(m.GetServerState(), 0);
    EXPECT_EQ(m.GetField(L"Content-Length"), L"");
  }
}

TEST(MorvicAbort, CloseSocketFromAnotherThreadReturnsABlockedExchangeAtOnce) {
  // Blocked waiting for the head.
  {
    ScriptServer server({{Step::read(), Step::stall()}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port(), 20));
    int result = -1;
    std::uint64_t returned_at = 0;
    std::thread exchange([&] {
      result = get(m, L"/a");
      returned_at = platform::tick_ms64();
    });
    ASSERT_TRUE(server.wait_requests(1, 5000));
    const auto closed_at = platform::tick_ms64();
    EXPECT_EQ(m.CloseSocket(), 1);
    exchange.join();
    EXPECT_EQ(result, 0);
    EXPECT_LT(returned_at - closed_at, 1000u);
    EXPECT_EQ(get(m, L"/b"), 0);
    EXPECT_EQ(m.Socket(), 0);  // a closed object stays closed
  }
  // Blocked in the middle of the body.
  {
    ScriptServer server(
        {{Step::read(), Step::send("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nabc"),
          Step::stall()}});
    CMorvic m;
    ASSERT_TRUE(open(m, server.port(), 20));
    ASSERT_TRUE(get(m, L"/a"));
    char buf[64];
    ASSERT_EQ(m.SelectRcv(buf, sizeof buf), 3);
    int result = 1;
    std::uint64_t returned_at = 0;
    platform::Event entering(true, false);
    std::thread reader([&] {
      entering.set();
      result = m.SelectRcv(buf, sizeof buf);
      returned_at = platform::tick_ms64();
    });
    ASSERT_TRUE(entering.wait(5000));
    const auto closed_at = platform::tick_ms64();
    m.CloseSocket();
    reader.join();
    EXPECT_LE(result, 0);
    EXPECT_LT(returned_at - closed_at, 1000u);
  }
}

TEST(MorvicCalls, OutOfOrderAndBadArgumentsFailWithoutHarm) {
  CMorvic m;
  std::wstring host = L"127.0.0.1";
  std::wstring object = L"/a";
  long length = -1;
  char buf[8];
  EXPECT_EQ(m.Connect(host.data(), 80), 0);  // no socket yet
  EXPECT_EQ(m.SendRequest(nullptr, 0), 0);
  EXPECT_EQ(m.SelectRcv(buf, sizeof buf), -1);
  EXPECT_EQ(m.GetServerState(), 0);
  EXPECT_EQ(m.GetField(L"Content-Length"), L"");
  EXPECT_EQ(m.GetField(nullptr), L"");
  EXPECT_EQ(m.GetLocalIP(), L"");
  EXPECT_EQ(m.SetTimeout(0, 0), 0);
  EXPECT_EQ(m.SetTimeout(5, 7), 0);

  // A request line or field cannot be smuggled in through the object: it stays one target.
  std::wstring injected = L"/a HTTP/1.1\r\nX-Evil: 1\r\n\r\nGET /b";
  EXPECT_STREQ(
      m.FormatRequestHeader(host.data(), injected.data(), length, nullptr, nullptr, 0, 0, 0),
      "GET /a%20HTTP/1.1%0D%0AX-Evil:%201%0D%0A%0D%0AGET%20/b HTTP/1.1\r\nHost: 127.0.0.1\r\n"
      "Connection: Keep-Alive\r\n\r\n");
  EXPECT_EQ(m.FormatRequestHeader(host.data(), nullptr, length, nullptr, nullptr, 0, 0, 0),
            nullptr);
  const char* text =
      m.FormatRequestHeader(host.data(), object.data(), length, nullptr, nullptr, 0, 0, 0);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "GET /a HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n");
  EXPECT_EQ(length, static_cast<long>(std::strlen(text)));
  EXPECT_EQ(m.SendRequest(nullptr, 0), 0);  // not connected

  // Nothing listens on a port just released.
  int free_port = 0;
  {
    ScriptServer probe({});
    free_port = probe.port();
  }
  ASSERT_TRUE(m.Socket());
  EXPECT_EQ(m.Connect(host.data(), free_port), 0);
  EXPECT_EQ(m.Connect(host.data(), 0), 0);
  EXPECT_EQ(m.Connect(host.data(), 70000), 0);
  EXPECT_EQ(m.Connect(nullptr, 80), 0);

  // Host names resolve.
  ScriptServer server({{Step::read(), Step::send(reply(200, "ok"))}});
  CMorvic named;
  std::wstring localhost = L"localhost";
  ASSERT_TRUE(named.Socket());
  ASSERT_TRUE(named.Connect(localhost.data(), server.port()));
  ASSERT_TRUE(named.FormatRequestHeader(localhost.data(), object.data(), length, nullptr, nullptr,
                                        0, 0, 0));
  ASSERT_TRUE(named.SendRequest(nullptr, 0));
  EXPECT_EQ(server.requests()[0],
            "GET /a HTTP/1.1\r\nHost: localhost:" + std::to_string(server.port()) +
                "\r\nConnection: Keep-Alive\r\n\r\n");
}

TEST(MorvicAbort, CloseSocketEndsAConnectInProgress) {
  // A listener that never accepts, with its queue filled, leaves further
  // connects hanging in the handshake.
  platform::Socket listener(platform::tcp_socket());
  ASSERT_TRUE(platform::bind_socket(listener.get(), {0x7F000001, 0}));
  ASSERT_TRUE(platform::listen_socket(listener.get(), 0));
  const int port = platform::local_address(listener.get())->port;
  std::vector<platform::Socket> fillers;
  for (int i = 0; i < 4; ++i) {
    fillers.emplace_back(platform::tcp_socket());
    platform::set_nonblocking(fillers.back().get(), true);
    platform::connect_socket(fillers.back().get(), {0x7F000001, static_cast<std::uint16_t>(port)});
  }
  std::wstring host = L"127.0.0.1";
  {
    // The connect wait is bounded by the receive time-out.
    CMorvic bounded;
    ASSERT_TRUE(bounded.Socket());
    bounded.SetTimeout(1, 0);
    const auto start = platform::tick_ms64();
    if (bounded.Connect(host.data(), port)) GTEST_SKIP() << "the handshake did not hang";
    EXPECT_GE(elapsed_since(start), 900u);
  }
  CMorvic m;
  ASSERT_TRUE(m.Socket());
  int result = -1;
  std::uint64_t returned_at = 0;
  platform::Event entering(true, false);
  std::thread connecting([&] {
    entering.set();
    result = m.Connect(host.data(), port);
    returned_at = platform::tick_ms64();
  });
  ASSERT_TRUE(entering.wait(5000));
  const auto closed_at = platform::tick_ms64();
  m.CloseSocket();
  connecting.join();
  EXPECT_EQ(result, 0);
  EXPECT_LT(returned_at - closed_at, 1000u);
}
