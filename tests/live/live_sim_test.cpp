// Live play against the simulator's own devices on all four connection
// types: the simulator negotiates, its devices answer PLAY, stream real H.264
// and record every request and PTZ body; media faults on request.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <new>
#include <stop_token>
#include <thread>

#include "control/auth.h"
#include "frame/user_table.h"
#include "media/live_channel.h"
#include "media/p2p_registry.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "simulator.h"
#include "velmosdk.h"
#include "velmosdk_live.h"

namespace velmo::test {
namespace {

using platform::ScopedHeadlessWindow;

constexpr char kI2c[] = "D9";

bool wait_message(ScopedHeadlessWindow& w, WPARAM wparam, int timeout_ms) {
  return w->wait_until(
      [&](const auto& s) {
        for (const auto& m : s.messages)
          if (m.msg == WM_USER && m.wparam == wparam) return true;
        return false;
      },
      timeout_ms);
}

bool wait_messages(ScopedHeadlessWindow& w, WPARAM wparam, std::size_t n, int timeout_ms) {
  return w->wait_until(
      [&](const auto& s) {
        std::size_t seen = 0;
        for (const auto& m : s.messages)
          if (m.msg == WM_USER && m.wparam == wparam) ++seen;
        return seen >= n;
      },
      timeout_ms);
}

bool wait_pictures(ScopedHeadlessWindow& w, std::size_t n, int timeout_ms) {
  return w->wait_until([&](const auto& s) { return s.pictures >= n; }, timeout_ms);
}

// The path as the hand-off sees it.
std::wstring record_file(long handle, int c) {
  ChannelInfo* ch = guarded_channel(handle, c);
  std::lock_guard lock(live_state(*ch).session);
  return ch->m_strRecordFile;
}

class LiveSim : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = tuning();
    tuning().addr_query_wait_ms = 150;
    tuning().addr_query_tries = 2;
    saved_p2p_ = p2p_timing();
    p2p_timing().registerWaitMs = 20;
    p2p_timing().addressedPauseMs = 5;
    p2p_timing().plainPauseMs = 1;
    p2p_timing().pollMs = 20;
    auto fleet = orvsim::parse_fleet(
        "p2p-server self\np2p-server self\n"
        "device D9 139009 pw9\n"
        "channel 0 client-monitor-direct\n"
        "channel 1 monitor-client-direct\n"
        "channel 2 client-monitor-p2p\n"
        "channel 3 client-monitor-middle-transfer\n");
    ASSERT_TRUE(fleet.ok()) << fleet.error;
    orvsim::SimulatorOptions options;
    options.fleet = *fleet.fleet;
    sim_ = std::make_unique<orvsim::Simulator>(options);
    ASSERT_TRUE(sim_->start()) << sim_->error();
    ASSERT_EQ(InitMonitClientSDK(), 1);
    handle_ = Login("127.0.0.1", sim_->http_port(), kI2c, "139009", "pw9", "", 2);
    ASSERT_GE(handle_, 0);
    for (int c = 0; c < 4; ++c) {
      guarded_channel(handle_, c)->m_nHttpTimeout = 2;
      guarded_channel(handle_, c)->m_nReconnectDelay = 300;
      SetMsgWnd(handle_, c, w_[c].hwnd());
    }
  }
  void TearDown() override {
    ReleaseMonitClientSDK();
    if (sim_) sim_->stop();
    tuning() = saved_;
    p2p_timing() = saved_p2p_;
  }
  void play(int c, const char* type) {
    const auto t0 = platform::tick_ms64();
    ASSERT_GE(RealPlay(handle_, c, w_[c].hwnd()), 0);
    ASSERT_TRUE(wait_pictures(w_[c], 1, 15000)) << type;
    std::cout << "[ timing   ] " << type << " (simulator): RealPlay to first picture "
              << platform::tick_ms64() - t0 << " ms\n";
    EXPECT_TRUE(wait_message(w_[c], NOTIFY_STREAM_START, 2000)) << type;
    char kind[40];
    EXPECT_EQ(GetConnectType(handle_, c, kind, sizeof kind), 1) << type;
    EXPECT_STREQ(kind, type);
  }
  orvsim::DeviceLog& log() { return sim_->devices().log(); }

  std::unique_ptr<orvsim::Simulator> sim_;
  long handle_ = -1;
  ScopedHeadlessWindow w_[4];
  ControlTuning saved_;
  CUDP_CE::Timing saved_p2p_;
};

TEST_F(LiveSim, EveryConnectionTypePlaysAndCarriesPtz) {
  play(0, "client-monitor-direct");
  play(1, "monitor-client-direct");
  play(2, "client-monitor-p2p");
  play(3, "client-monitor-middle-transfer");
  for (int c : {0, 1, 3}) EXPECT_EQ(PtzControl(handle_, c, 21, 0x20, 0, 0, 0), 1) << c;
  EXPECT_EQ(PtzControl(handle_, 2, 21, 0x20, 0, 0, 0), 0);
  NegotiatedTarget target;
  EXPECT_EQ(NegotiateChannel(handle_, 0, 2, target), 0);  // a playing channel is left alone
  ASSERT_TRUE(log().wait_until([](const auto& l) { return l.ptz().size() >= 3; }, 3000));
  for (const auto& p : log().ptz()) {
    EXPECT_NE(p.body.find("command: ptz-control\r\nchan: " + std::to_string(p.key.channel) +
                          "\r\nlength: 14\r\ncontent: ff010008002029"),
              std::string::npos)
        << p.body;
  }
  platform::sleep_ms(1300);
  EXPECT_GT(_GetBitRate(handle_, 0), 0);
  EXPECT_GT(_GetBitRate(handle_, 3), 0);
  EXPECT_EQ(_GetBitRate(handle_, 2), 0);
  for (int c = 0; c < 4; ++c) {
    const auto t0 = platform::tick_ms64();
    EXPECT_EQ(StopRealPlay(handle_, c), 1);
    EXPECT_LT(platform::tick_ms64() - t0, 1500u) << c;
    char kind[40];
    EXPECT_EQ(GetConnectType(handle_, c, kind, sizeof kind), 0) << c;
  }
  EXPECT_TRUE(log().wait_until(
      [](const auto& l) {
        return l.stats({kI2c, 0}).teardowns >= 1;
      },
      2000));
  EXPECT_EQ(p2p_count(), 0u);
}

TEST_F(LiveSim, MediaFaultsDoNotStopThePicture) {
  play(0, "client-monitor-direct");
  play(2, "client-monitor-p2p");
  using F = orvsim::MediaFault;
  for (F f : {F::no_signature, F::oversized_frame}) sim_->devices().inject(kI2c, 0, f);
  for (F f : {F::foreign_magic, F::slices_out_of_order, F::slice_missing, F::no_signature})
    sim_->devices().inject(kI2c, 2, f);
  ASSERT_TRUE(log().wait_until(
      [](const auto& l) {
        return l.stats({kI2c, 0}).faults.size() >= 2 && l.stats({kI2c, 2}).faults.size() >= 4;
      },
      10000));
  for (int c : {0, 2}) {
    const auto shown = w_[c]->picture_count();
    EXPECT_TRUE(wait_pictures(w_[c], shown + 10, 5000)) << c;
  }
  EXPECT_FALSE(wait_message(w_[0], NOTIFY_SESSION_LOST, 10));
}

TEST_F(LiveSim, LostControlConnectionRestartsTheChannel) {
  play(0, "client-monitor-direct");
  sim_->devices().inject(kI2c, 0, orvsim::MediaFault::close_control);
  ASSERT_TRUE(wait_message(w_[0], NOTIFY_SESSION_LOST, 10000));
  const auto shown = w_[0]->picture_count();
  EXPECT_TRUE(wait_pictures(w_[0], shown + 10, 10000));
  EXPECT_EQ(StopRealPlay(handle_, 0), 1);
}

TEST_F(LiveSim, RecordPathWaitsForTheFirstSessionAndEndsWithAReplacedOne) {
  const std::wstring path =
      (std::filesystem::path(::testing::TempDir()) / "live_sim_early.264").wstring();
  ASSERT_EQ(StartLocalRecord(handle_, 0, path.c_str()), 1);
  play(0, "client-monitor-direct");
  EXPECT_EQ(record_file(handle_, 0), path);  // no session was replaced
  // ... and the first session records from its first frames on.
  std::error_code ec;
  for (std::size_t shown = 1; std::filesystem::file_size(path, ec) == 0 || ec; ++shown)
    ASSERT_TRUE(shown < 300 && wait_pictures(w_[0], shown, 5000)) << "nothing recorded";
  sim_->devices().inject(kI2c, 0, orvsim::MediaFault::close_control);
  ASSERT_TRUE(wait_message(w_[0], NOTIFY_SESSION_LOST, 10000));
  ASSERT_TRUE(log().wait_until([](const auto& l) { return l.stats({kI2c, 0}).plays >= 2; }, 10000));
  EXPECT_TRUE(record_file(handle_, 0).empty());
  EXPECT_EQ(StopRealPlay(handle_, 0), 1);
}

// The plan and file packing start and stop recordings on their own thread
// while the channel reconnects.
TEST_F(LiveSim, RecordingWhileTheChannelReconnects) {
  const std::filesystem::path file =
      std::filesystem::path(::testing::TempDir()) / "live_sim_reconnect.264";
  play(0, "client-monitor-direct");
  std::jthread recorder([&](std::stop_token stop) {
    const std::wstring path = file.wstring();
    while (!stop.stop_requested()) {
      StartLocalRecord(handle_, 0, path.c_str());
      platform::sleep_ms(1);
      StopLoacalRecord(handle_, 0);
    }
  });
  for (std::size_t lost = 1; lost <= 3; ++lost) {
    sim_->devices().inject(kI2c, 0, orvsim::MediaFault::close_control);
    ASSERT_TRUE(wait_messages(w_[0], NOTIFY_SESSION_LOST, lost, 10000)) << lost;
    const int plays = static_cast<int>(lost) + 1;
    ASSERT_TRUE(log().wait_until(
        [&](const auto& l) {
          return l.stats({kI2c, 0}).plays >= plays;
        },
        10000))
        << lost;
  }
  recorder.request_stop();
  recorder.join();
  EXPECT_EQ(StopRealPlay(handle_, 0), 1);
  std::filesystem::remove(file);
}

// A second RealPlay while the first session makes its stream: the stream
// takes the port its session was made for.
TEST_F(LiveSim, PlayAgainWhileTheSessionStartsItsStream) {
  for (int round = 1; round <= 3; ++round) {
    ASSERT_GE(RealPlay(handle_, 0, w_[0].hwnd()), 0);
    ASSERT_TRUE(log().wait_until(
        [&](const auto& l) {
          return l.stats({kI2c, 0}).plays >= round;
        },
        10000))
        << round;
  }
  EXPECT_TRUE(wait_pictures(w_[0], w_[0]->picture_count() + 10, 10000));
  EXPECT_EQ(StopRealPlay(handle_, 0), 1);
}

TEST(LiveChannelState, GoesWithItsChannel) {
  alignas(ChannelInfo) unsigned char storage[sizeof(ChannelInfo)];
  auto* first = new (storage) ChannelInfo(nullptr, 0);
  const auto old_state = reinterpret_cast<std::uintptr_t>(&live_state(*first));
  first->~ChannelInfo();
  // Takes the freed block, so a new state cannot land there by chance.
  auto holder = std::make_unique<LiveChannelState>();
  auto* second = new (storage) ChannelInfo(nullptr, 0);
  EXPECT_NE(reinterpret_cast<std::uintptr_t>(&live_state(*second)), old_state);
  second->~ChannelInfo();
}

}  // namespace
}  // namespace velmo::test
