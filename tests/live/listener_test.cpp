// The channel listener: two accepts per round, its own events per listener.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "media/tcp_server.h"
#include "platform/clock.h"
#include "platform/net.h"

namespace velmo {
namespace {

platform::Socket dial(int port) {
  platform::Socket s(platform::tcp_socket());
  EXPECT_TRUE(platform::connect_with_timeout(s.get(),
                                             {0x7F000001, static_cast<std::uint16_t>(port)}, 2000));
  return s;
}

auto never = [] { return false; };

TEST(LiveListener, TwoConnectionsAThirdIsClosed) {
  CRtcpListener l;
  ASSERT_EQ(l.Start(0), 1);
  const int port = l.GetPort();
  ASSERT_GT(port, 0);
  auto c1 = dial(port);
  platform::Socket control(l.TakeControl(2000, never));
  ASSERT_TRUE(control);
  auto c2 = dial(port);
  platform::Socket stream(l.TakeStream(2000, never));
  ASSERT_TRUE(stream);
  auto c3 = dial(port);
  // The third is closed by the listener: its peer reads the end.
  ASSERT_EQ(platform::wait_readable(c3.get(), 2000), 1);
  char b;
  EXPECT_EQ(platform::recv_some(c3.get(), &b, 1), 0);
  EXPECT_EQ(l.AcceptedCount(), 2);
  // The two taken connections work.
  ASSERT_EQ(platform::send_some(c1.get(), "x"), 1);
  ASSERT_EQ(platform::wait_readable(control.get(), 2000), 1);
  EXPECT_EQ(platform::recv_some(control.get(), &b, 1), 1);
}

TEST(LiveListener, EachListenerHasItsOwnEvents) {
  CRtcpListener a, b;
  ASSERT_EQ(a.Start(0), 1);
  ASSERT_EQ(b.Start(0), 1);
  auto c = dial(a.GetPort());
  EXPECT_EQ(b.TakeControl(100, never), INVALID_SOCKET);
  platform::Socket got(a.TakeControl(2000, never));
  EXPECT_TRUE(got);
}

TEST(LiveListener, StoppingOneListenerLeavesTheOtherAccepting) {
  CRtcpListener a, b;
  ASSERT_EQ(a.Start(0), 1);
  ASSERT_EQ(b.Start(0), 1);
  a.Stop();
  auto c = dial(b.GetPort());
  platform::Socket got(b.TakeControl(2000, never));
  EXPECT_TRUE(got);
}

TEST(LiveListener, WaitsEndOnAbortAndStopIsPrompt) {
  CRtcpListener l;
  ASSERT_EQ(l.Start(0), 1);
  std::atomic<bool> abort{false};
  const auto t0 = platform::tick_ms64();
  std::thread stopper([&] {
    platform::sleep_ms(50);
    abort = true;
  });
  EXPECT_EQ(l.TakeControl(10000, [&] { return abort.load(); }), INVALID_SOCKET);
  stopper.join();
  EXPECT_LT(platform::tick_ms64() - t0, 1000u);
  const auto t1 = platform::tick_ms64();
  l.Stop();
  EXPECT_LT(platform::tick_ms64() - t1, 500u);
  EXPECT_EQ(l.GetPort(), -1);
  // A restart clears the earlier round: a new connection is the control one.
  ASSERT_EQ(l.Start(0), 1);
  auto c = dial(l.GetPort());
  platform::Socket got(l.TakeControl(2000, never));
  EXPECT_TRUE(got);
  EXPECT_EQ(l.AcceptedCount(), 1);
}

}  // namespace
}  // namespace velmo
