// A host-name lookup that hangs must not hold up CloseSocket or outlast the
// receive time-out; the test stands in a resolver that blocks until released.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "morvic/morvic.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/net.h"

namespace {

struct Stall {
  std::mutex m;
  std::condition_variable cv;
  int entered = 0;
  bool released = false;
};
Stall g_stall;

std::optional<std::uint32_t> stalled_resolver(std::string_view) {
  std::unique_lock lock(g_stall.m);
  ++g_stall.entered;
  g_stall.cv.notify_all();
  g_stall.cv.wait(lock, [] { return g_stall.released; });
  return 0x7F000001u;
}

class MorvicLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    g_stall.entered = 0;
    g_stall.released = false;
    platform::set_resolver(&stalled_resolver);
  }
  void TearDown() override {
    {
      std::lock_guard lock(g_stall.m);
      g_stall.released = true;
    }
    g_stall.cv.notify_all();
    platform::set_resolver(nullptr);
  }
  bool wait_entered(int count) {
    std::unique_lock lock(g_stall.m);
    return g_stall.cv.wait_for(lock, std::chrono::seconds(5),
                               [&] { return g_stall.entered >= count; });
  }
};

TEST_F(MorvicLookup, CloseSocketEndsAConnectWaitingForItsLookup) {
  CMorvic m;
  ASSERT_TRUE(m.Socket());
  std::wstring host = L"stalled.example";
  int result = -1;
  std::uint64_t returned_at = 0;
  std::thread connecting([&] {
    result = m.Connect(host.data(), 80);
    returned_at = platform::tick_ms64();
  });
  ASSERT_TRUE(wait_entered(1));
  const auto closed_at = platform::tick_ms64();
  m.CloseSocket();
  connecting.join();
  EXPECT_EQ(result, 0);
  EXPECT_LT(returned_at - closed_at, 1000u);
}

TEST_F(MorvicLookup, LookupIsBoundedByTheReceiveTimeoutAndDottedAddressesSkipIt) {
  CMorvic m;
  ASSERT_TRUE(m.Socket());
  ASSERT_TRUE(m.SetTimeout(1, 0));
  std::wstring host = L"stalled.example";
  const auto start = platform::tick_ms64();
  EXPECT_EQ(m.Connect(host.data(), 80), 0);
  const auto took = platform::tick_ms64() - start;
  EXPECT_GE(took, 900u);
  EXPECT_LT(took, 3000u);

  // No lookup at all for a dotted address: it fails on the refused port, not
  // on the stalled resolver.
  platform::Socket closed(platform::tcp_socket());
  ASSERT_TRUE(platform::bind_socket(closed.get(), {0x7F000001u, 0}));
  const int port = platform::local_address(closed.get())->port;
  CMorvic dotted;
  ASSERT_TRUE(dotted.Socket());
  std::wstring ip = L"127.0.0.1";
  const auto t0 = platform::tick_ms64();
  EXPECT_EQ(dotted.Connect(ip.data(), port), 0);
  EXPECT_LT(platform::tick_ms64() - t0, 900u);
  std::lock_guard lock(g_stall.m);
  EXPECT_EQ(g_stall.entered, 1);
}

}  // namespace
