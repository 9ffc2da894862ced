#include <gtest/gtest.h>

#include <atomic>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/thread.h"

using namespace platform;

namespace {

TEST(Event, AutoResetReleasesOneWaiterThenClears) {
  Event e(false, false);
  EXPECT_FALSE(e.wait(10));
  e.set();
  EXPECT_TRUE(e.wait(0));
  EXPECT_FALSE(e.wait(0));  // cleared by the waiter it released
}

TEST(Event, ManualResetStaysSetUntilReset) {
  Event e(true, true);
  EXPECT_TRUE(e.wait(0));
  EXPECT_TRUE(e.wait(0));
  e.reset();
  EXPECT_FALSE(e.wait(5));
}

TEST(Event, SetFromAnotherThreadWakesWaiter) {
  Event e(false, false);
  Thread t([&] { e.set(); });
  t.resume();
  EXPECT_TRUE(e.wait(5000));
  t.join();
}

TEST(NamedObjects, SameNameSameObjectWhileHeld) {
  auto a = open_named_event("test-event", true, false);
  auto b = open_named_event("test-event", false, true);  // opens, does not re-create
  EXPECT_EQ(a.get(), b.get());
  EXPECT_FALSE(b->is_set());
  auto other = open_named_event("test-event-2", true, false);
  EXPECT_NE(a.get(), other.get());

  auto m1 = open_named_mutex("UserMutex-test");
  auto m2 = open_named_mutex("UserMutex-test");
  ASSERT_EQ(m1.get(), m2.get());
  MutexLock held(*m1);
  EXPECT_FALSE(m2->lock(10));
}

TEST(Thread, BodyWaitsForResume) {
  std::atomic<bool> ran{false};
  Thread t([&] { ran = true; });
  EXPECT_TRUE(t.created());
  sleep_ms(20);
  EXPECT_FALSE(ran);
  t.resume();
  EXPECT_TRUE(t.wait(5000));
  EXPECT_TRUE(ran);
  EXPECT_FALSE(t.running());
}

TEST(Thread, NeverResumedThreadIsReleasedWithoutRunning) {
  std::atomic<bool> ran{false};
  {
    Thread t([&] { ran = true; });
  }
  EXPECT_FALSE(ran);
}

TEST(Thread, WaitTimesOutWhileBodyRuns) {
  StopSignal stop;
  Thread t([&] {
    while (stop.sleep_for(1000)) {
    }
  });
  t.resume();
  EXPECT_FALSE(t.wait(20));
  EXPECT_TRUE(t.running());
  stop.stop();
  EXPECT_TRUE(t.wait(5000));
}

TEST(StopSignal, LongSleepWakesEarlyOnStop) {
  StopSignal stop;
  std::atomic<bool> result{true};
  const auto start = tick_ms64();
  Thread t([&] { result = stop.sleep_for(60000); });
  t.resume();
  sleep_ms(20);
  stop.stop();
  t.join();
  EXPECT_FALSE(result);
  EXPECT_LT(tick_ms64() - start, 30000u);  // far below the sleep asked for
  EXPECT_FALSE(stop.sleep_for(10));        // stays stopped
  stop.reset();
  EXPECT_TRUE(stop.sleep_for(1));
}

TEST(Clock, TickCounterAdvances) {
  const auto a = tick_ms64();
  sleep_ms(15);
  EXPECT_GE(tick_ms64() - a, 15u);
}

}  // namespace

// A body that reaches for its own Thread: joining, re-creating or waiting is
// refused with nothing changed; destroying it leaves the thread running to its
// end, joined by the library (neither detached nor ending the process).
TEST(Thread, OwnThreadIsRefusedOrHandedOver) {
  struct Case {
    const char* what;
    bool (*call)(Thread&);
  };
  const Case cases[] = {
      {"join", [](Thread& t) { return t.join(); }},
      {"create", [](Thread& t) { return t.create([] {}); }},
      {"wait", [](Thread& t) { return t.wait(-1); }},
  };
  for (const auto& c : cases) {
    Thread t;
    std::atomic<int> result{-1};
    std::atomic<bool> still_created{false};
    ASSERT_TRUE(t.create([&] {
      result = c.call(t) ? 1 : 0;
      still_created = t.created() && t.is_current();
    }));
    t.resume();
    EXPECT_TRUE(t.join()) << c.what;
    EXPECT_EQ(result, 0) << c.what;
    EXPECT_TRUE(still_created) << c.what;
    EXPECT_FALSE(t.created()) << c.what;
  }

  Event after_delete(true, false);
  auto* owned = new Thread;
  ASSERT_TRUE(owned->create([&] {
    delete owned;
    after_delete.set();
  }));
  owned->resume();
  EXPECT_TRUE(after_delete.wait(5000));
  // The next thread made reaps the handed-over one.
  Thread next([] {});
  next.resume();
  EXPECT_TRUE(next.join());
}
