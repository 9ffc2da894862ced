#include <gtest/gtest.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"

using namespace platform;

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

Socket listener(SockAddr& bound) {
  Socket s(tcp_socket());
  EXPECT_TRUE(s.valid());
  EXPECT_TRUE(bind_socket(s.get(), {kLoopback, 0}));
  EXPECT_TRUE(listen_socket(s.get(), 4));
  bound = *local_address(s.get());
  return s;
}

TEST(Net, DottedAddressesOnly) {
  EXPECT_EQ(parse_dotted("127.0.0.1"), kLoopback);
  EXPECT_EQ(parse_dotted("255.255.255.255"), 0xFFFFFFFFu);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.", "1.2.3.256", "a.b.c.d", " 1.2.3.4", "1..2.3",
                          "1.2.3.0004", "-1.2.3.4"})
    EXPECT_FALSE(parse_dotted(bad)) << bad;
  EXPECT_EQ(resolve_ipv4("localhost"), kLoopback);
  EXPECT_EQ((SockAddr{kLoopback, 80}).text(), "127.0.0.1:80");
}

TEST(Net, TcpExchangeWithLocalAndPeerAddresses) {
  SockAddr bound;
  Socket server = listener(bound);
  Socket client(tcp_socket());
  ASSERT_TRUE(connect_with_timeout(client.get(), bound, 2000));
  ASSERT_EQ(wait_readable(server.get(), 2000), 1);
  SockAddr from;
  Socket accepted(accept_socket(server.get(), &from));
  ASSERT_TRUE(accepted.valid());
  EXPECT_EQ(from, *local_address(client.get()));
  EXPECT_EQ(*peer_address(client.get()), bound);

  ASSERT_TRUE(send_all(client.get(), "hello", 1000));
  ASSERT_EQ(wait_readable(accepted.get(), 2000), 1);
  char buf[16] = {};
  EXPECT_EQ(recv_some(accepted.get(), buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "hello");

  accepted.reset();
  ASSERT_EQ(wait_readable(client.get(), 2000), 1);
  EXPECT_EQ(recv_some(client.get(), buf, sizeof buf), 0);  // orderly close
  // Writing to a closed peer fails instead of killing the process.
  for (int i = 0; i < 3; ++i) send_some(client.get(), "x");
  SUCCEED();
}

TEST(Net, WaitTimesOutAndRefusedConnectFails) {
  SockAddr bound;
  Socket server = listener(bound);
  EXPECT_EQ(wait_readable(server.get(), 20), 0);
  server.reset();  // nobody listens on that port now
  Socket client(tcp_socket());
  EXPECT_FALSE(connect_with_timeout(client.get(), bound, 2000));
  EXPECT_EQ(wait_readable(INVALID_SOCKET, 0), -1);
}

TEST(Net, NonBlockingReceiveWouldBlock) {
  Socket u(udp_socket());
  ASSERT_TRUE(bind_socket(u.get(), {kLoopback, 0}));
  ASSERT_TRUE(set_nonblocking(u.get(), true));
  char buf[8];
  EXPECT_EQ(recv_some(u.get(), buf, sizeof buf), -1);
  EXPECT_TRUE(would_block());
}

TEST(Net, UdpDatagramCarriesSenderAddress) {
  Socket a(udp_socket()), b(udp_socket());
  ASSERT_TRUE(bind_socket(a.get(), {kLoopback, 0}));
  ASSERT_TRUE(bind_socket(b.get(), {kLoopback, 0}));
  const SockAddr a_addr = *local_address(a.get());
  ASSERT_EQ(send_to(a.get(), "ping", 4, *local_address(b.get())), 4);
  ASSERT_EQ(wait_readable(b.get(), 2000), 1);
  char buf[8];
  SockAddr from;
  EXPECT_EQ(recv_from(b.get(), buf, sizeof buf, &from), 4);
  EXPECT_EQ(from, a_addr);
}

TEST(Net, ShutdownWakesBlockedWaitAtOnce) {
  SockAddr bound;
  Socket server = listener(bound);
  Socket client(tcp_socket());
  ASSERT_TRUE(connect_with_timeout(client.get(), bound, 2000));
  int result = -2;
  Thread t([&] { result = wait_readable(client.get(), 30000); });
  t.resume();
  sleep_ms(30);
  const auto start = tick_ms64();
  shutdown_socket(client.get());
  ASSERT_TRUE(t.wait(5000));
  EXPECT_EQ(result, 1);
  EXPECT_LT(tick_ms64() - start, 5000u);
  char c;
  EXPECT_LE(recv_some(client.get(), &c, 1), 0);
}

// Each wait ends on its own condition: data, time, or the stop, which also
// reaches a wait that began before it and one that began after it.
TEST(Net, StopEndsSocketWaits) {
  SockAddr bound;
  Socket server = listener(bound);
  Socket client(tcp_socket());
  ASSERT_TRUE(connect_with_timeout(client.get(), bound, 2000));
  Socket accepted(accept_socket(server.get()));
  ASSERT_TRUE(accepted.valid());
  StopSignal stop;

  EXPECT_EQ(wait_readable(client.get(), 20, stop), 0);
  EXPECT_EQ(wait_writable(client.get(), 2000, stop), 1);
  ASSERT_TRUE(send_all(accepted.get(), "x", 1000));
  EXPECT_EQ(wait_readable(client.get(), 2000, stop), 1);
  char c;
  EXPECT_EQ(recv_some(client.get(), &c, 1), 1);

  int result = 0;
  Thread t([&] { result = wait_readable(client.get(), 60000, stop); });
  t.resume();
  sleep_ms(30);
  stop.stop();
  ASSERT_TRUE(t.wait(5000));
  EXPECT_EQ(result, kStopped);

  // Stopped before the call; ready data does not hide the stop.
  ASSERT_TRUE(send_all(accepted.get(), "y", 1000));
  EXPECT_EQ(wait_readable(client.get(), 60000, stop), kStopped);
  EXPECT_EQ(wait_writable(client.get(), -1, stop), kStopped);

  // A reset signal waits again; an already made wake descriptor is drained.
  stop.reset();
  EXPECT_EQ(wait_readable(client.get(), 2000, stop), 1);
  EXPECT_EQ(recv_some(client.get(), &c, 1), 1);
  EXPECT_EQ(wait_readable(client.get(), 20, stop), 0);
  EXPECT_EQ(wait_readable(INVALID_SOCKET, 0, stop), -1);
}

TEST(Net, ConnectUntilConnectsFailsOrStops) {
  SockAddr bound;
  Socket server = listener(bound);
  StopSignal stop;
  Socket client(tcp_socket());
  EXPECT_EQ(connect_until(client.get(), bound, 2000, stop), ConnectResult::connected);
  EXPECT_EQ(wait_readable(server.get(), 2000), 1);
  // The blocking mode came back: a receive with nothing to read waits.
  Thread reader([&] {
    char c;
    recv_some(client.get(), &c, 1);
  });
  reader.resume();
  EXPECT_FALSE(reader.wait(50));
  shutdown_socket(client.get());
  ASSERT_TRUE(reader.wait(5000));

  server.reset();  // nobody listens on that port now
  Socket refused(tcp_socket());
  EXPECT_EQ(connect_until(refused.get(), bound, 2000, stop), ConnectResult::failed);

  // A connect that nothing answers ends with the stop: a listener whose
  // queue is full drops the handshake (outside addresses may be answered by
  // a proxy of the host, so they prove nothing).
  SockAddr full_addr;
  Socket full(tcp_socket());
  ASSERT_TRUE(bind_socket(full.get(), {kLoopback, 0}));
  ASSERT_TRUE(listen_socket(full.get(), 0));
  full_addr = *local_address(full.get());
  Socket queued(tcp_socket());
  ASSERT_TRUE(connect_with_timeout(queued.get(), full_addr, 2000));
  Socket lost(tcp_socket());
  ConnectResult result = ConnectResult::in_progress;
  Thread t([&] { result = connect_until(lost.get(), full_addr, 60000, stop); });
  t.resume();
  EXPECT_FALSE(t.wait(100));
  stop.stop();
  ASSERT_TRUE(t.wait(5000));
  EXPECT_EQ(result, ConnectResult::failed);
  Socket late(tcp_socket());
  const auto start = tick_ms64();
  EXPECT_EQ(connect_until(late.get(), full_addr, 60000, stop), ConnectResult::failed);
  EXPECT_LT(tick_ms64() - start, 30000u);
}

}  // namespace
