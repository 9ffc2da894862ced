#include "platform/signals.h"

#include <gtest/gtest.h>

namespace {

// A blocked termination request stays pending until the wait takes it, once.
TEST(PlatformSignals, PendingRequestIsTakenOnceThenWaitTimesOut) {
  ASSERT_TRUE(platform::block_termination_signals());
  EXPECT_EQ(platform::wait_termination_signal(0), 0);
  ASSERT_TRUE(platform::raise_termination_signal());
  int sig = platform::wait_termination_signal(2000);
  EXPECT_GT(sig, 0);
  EXPECT_STREQ(platform::termination_signal_name(sig), "SIGTERM");
  EXPECT_EQ(platform::wait_termination_signal(10), 0);

  // The descriptor form, for an event loop: the same request, taken once.
  platform::TerminationSignalFd fd;
  ASSERT_GE(fd.fd(), 0);
  EXPECT_EQ(fd.take(), 0);
  ASSERT_TRUE(platform::raise_termination_signal());
  EXPECT_STREQ(platform::termination_signal_name(fd.take()), "SIGTERM");
  EXPECT_EQ(fd.take(), 0);
  EXPECT_EQ(platform::wait_termination_signal(0), 0);
}

}  // namespace
