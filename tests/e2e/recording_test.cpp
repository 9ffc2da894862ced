// Local recording and picture capture around the edges of a session: before
// the first frame, across restarts, and with several channels at once.
#include <gtest/gtest.h>

#include <stop_token>
#include <string>
#include <thread>

#include "e2e_fixture.h"
#include "media/live_channel.h"
#include "peers.h"
#include "platform/clock.h"
#include "velmosdk.h"
#include "velmosdk_live.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// The path as the hand-off to the next session sees it.
std::wstring record_file(velmo::ChannelInfo& ch) {
  std::lock_guard lock(velmo::live_state(ch).session);
  return ch.m_strRecordFile;
}

TEST_F(E2e, RecordPathWaitsForTheFirstSessionAndEndsWithAReplacedOne) {
  const std::wstring path = (dir_ / "early.264").wstring();
  ASSERT_EQ(StartLocalRecord(handle_, kDirect, path.c_str()), 1);
  play_until_picture(kDirect, "recording from the start");
  EXPECT_EQ(record_file(channel(kDirect)), path);  // no session was replaced
  // ... and the first session records from its first frames on.
  EXPECT_TRUE(wait_file(path, 1, 5000)) << "nothing recorded";
  sim_->devices().inject(kI2c, kDirect, orvsim::MediaFault::close_control);
  ASSERT_TRUE(wait_message(notify(kDirect), NOTIFY_SESSION_LOST, 1, 10000));
  ASSERT_TRUE(
      log().wait_until([&](const auto& l) { return l.stats(key(kDirect)).plays >= 2; }, 10000));
  EXPECT_TRUE(record_file(channel(kDirect)).empty());
  EXPECT_EQ(StopRealPlay(handle_, kDirect), 1);
}

// The plan and file packing start and stop recordings on their own thread
// while the channel reconnects.
TEST_F(E2e, RecordingWhileTheChannelReconnects) {
  const fs::path file = dir_ / "reconnect.264";
  play_until_picture(kDirect, "recording while reconnecting");
  std::jthread recorder([&](std::stop_token stop) {
    const std::wstring path = file.wstring();
    while (!stop.stop_requested()) {
      StartLocalRecord(handle_, kDirect, path.c_str());
      platform::sleep_ms(1);
      StopLoacalRecord(handle_, kDirect);
    }
  });
  for (std::size_t lost = 1; lost <= 3; ++lost) {
    sim_->devices().inject(kI2c, kDirect, orvsim::MediaFault::close_control);
    ASSERT_TRUE(wait_message(notify(kDirect), NOTIFY_SESSION_LOST, lost, 10000)) << lost;
    const int plays = static_cast<int>(lost) + 1;
    ASSERT_TRUE(log().wait_until(
        [&](const auto& l) { return l.stats(key(kDirect)).plays >= plays; }, 10000))
        << lost;
  }
  recorder.request_stop();
  recorder.join();
  EXPECT_EQ(StopRealPlay(handle_, kDirect), 1);
}

TEST_F(E2e, RecordingAndCaptureEdges) {
  // No frame yet: the path is taken, nothing is written, and there is no
  // decoder to stop.
  StubTcpDevice silent(StubTcpDevice::Answers::none);
  rewrite_next_negotiation("RtcpPort", std::to_string(silent.port()));
  ASSERT_GE(RealPlay(handle_, kOwnPeer, play_hwnd(kOwnPeer)), 0);
  ASSERT_TRUE(silent.wait_requests("PLAY", 1, 5000));
  const fs::path early = dir_ / "early.264";
  EXPECT_EQ(StartLocalRecord(handle_, kOwnPeer, early.wstring().c_str()), 1);
  EXPECT_FALSE(fs::exists(early));
  EXPECT_EQ(StopLoacalRecord(handle_, kOwnPeer), 0);

  const long p1 = play_until_picture(kDirect, "first of two channels");
  const long p2 = play_until_picture(kRelay, "second of two channels");
  EXPECT_EQ(StopLoacalRecord(handle_, kDirect), 1);  // a decoder, never recording

  // One capture path for every port: both pictures go to the second one.
  const fs::path a = dir_ / "a.bmp", b = dir_ / "b.bmp";
  EXPECT_EQ(CapturePicture(static_cast<int>(p1), a.wstring().c_str()), 1);
  EXPECT_EQ(CapturePicture(b.wstring().c_str(), static_cast<int>(p2)), 1);
  EXPECT_TRUE(wait_file(b, 54, 3000));
  EXPECT_FALSE(fs::exists(a));

  for (int c : {kOwnPeer, kDirect, kRelay}) EXPECT_EQ(StopRealPlay(handle_, c), 1) << c;
}

}  // namespace
}  // namespace e2e
