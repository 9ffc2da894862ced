// Loss and damage: the device closes paths, sends damaged frames or falls
// silent, and the channel restarts (TCP), keeps its picture, or times out
// for good (P2P).
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "media/p2p_registry.h"
#include "platform/clock.h"
#include "velmosdk.h"
#include "velmosdk_live.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using orvsim::MediaFault;

bool carried_out(const orvsim::DeviceLog& l, const orvsim::ChannelKey& key, MediaFault fault) {
  const auto done = l.stats(key).faults;
  return std::find(done.begin(), done.end(), std::string(orvsim::media_fault_name(fault))) !=
         done.end();
}

// The device closes the control path: a TCP session says 2144 once and the
// channel plays again after the reconnect delay.
TEST_P(E2eTcp, ControlLossRestartsTheChannel) {
  play_until_picture();
  sim_->devices().inject(kI2c, ch(), MediaFault::close_control);
  const auto t0 = platform::tick_ms64();
  ASSERT_TRUE(wait_message(notify(), NOTIFY_SESSION_LOST, 1, 5000));
  const std::size_t shown = play().picture_count();
  EXPECT_TRUE(wait_pictures(play(), shown + 5, 8000));
  std::cout << "[ timing   ] " << type() << ": control loss to pictures again "
            << platform::tick_ms64() - t0 << " ms\n";
  EXPECT_GE(log().stats(key()).plays, 2);
  EXPECT_EQ(count_messages(notify(), NOTIFY_SESSION_LOST), 1u);
  stop_promptly("playing after a restart");
}

// Damaged frames from the device: the picture goes on without the session
// giving up, and the record file keeps only whole frames the device really
// sent.
TEST_P(E2eLive, DamagedFramesKeepThePictureAndWholeRecords) {
  play_until_picture();
  const auto loop = source(ch());
  ASSERT_TRUE(loop);
  const fs::path rec = dir_ / "damaged.264";
  ASSERT_EQ(StartLocalRecord(handle_, ch(), rec.wstring().c_str()), 1);
  std::vector<MediaFault> faults = {MediaFault::no_signature, MediaFault::oversized_frame};
  if (!tcp()) {
    faults.push_back(MediaFault::foreign_magic);
    faults.push_back(MediaFault::slices_out_of_order);
    faults.push_back(MediaFault::slice_missing);
  }
  for (const auto fault : faults) {
    sim_->devices().inject(kI2c, ch(), fault);
    ASSERT_TRUE(log().wait_until([&](const auto& l) { return carried_out(l, key(), fault); }, 5000))
        << orvsim::media_fault_name(fault) << " was not carried out";
    const std::size_t shown = play().picture_count();
    EXPECT_TRUE(wait_pictures(play(), shown + 5, 8000))
        << "no picture after " << orvsim::media_fault_name(fault);
  }
  EXPECT_EQ(StopLoacalRecord(handle_, ch()), 1);
  const auto check = check_record(rec, loop.get());
  ASSERT_TRUE(check.whole) << check.error;
  EXPECT_GT(check.frames, 0u);
  EXPECT_EQ(check.first_type, 1);
  EXPECT_EQ(check.foreign_frames, 0u);
  EXPECT_EQ(count_messages(notify(), NOTIFY_SESSION_LOST), 0u);
  EXPECT_EQ(count_messages(notify(), NOTIFY_P2P_TIMEOUT), 0u);
  stop_promptly("playing after damaged frames");
}

// A silent P2P device: 2134 after the time-out of the settings file, and
// the channel is not negotiated again.
TEST_P(E2eP2p, SilenceTimesOutWithoutRestart) {
  write_udp_settings("<Cfg><Rtcp><HbInterval>150</HbInterval><TimeOut>700</TimeOut></Rtcp></Cfg>");
  play_until_picture();
  const std::size_t negotiated = sim_->devices().negotiations().size();
  sim_->devices().inject(kI2c, ch(), MediaFault::stop_sending);
  const auto t0 = platform::tick_ms64();
  ASSERT_TRUE(wait_message(notify(), NOTIFY_P2P_TIMEOUT, 1, 5000));
  std::cout << "[ timing   ] " << type() << ": silence to time-out " << platform::tick_ms64() - t0
            << " ms\n";
  // Longer than a reconnect delay: no restart comes.
  EXPECT_FALSE(wait_message(notify(), NOTIFY_SESSION_LOST, 1, 800));
  EXPECT_EQ(sim_->devices().negotiations().size(), negotiated);
  EXPECT_EQ(count_messages(notify(), NOTIFY_P2P_TIMEOUT), 1u);
  stop_promptly("after a P2P time-out");
}

// The four types at once on one login while the TCP devices drop their
// control or stream connections and the P2P device damages frames: PTZ
// bodies name their own channels, every channel plays again after each
// round, the recording stays whole frames and everything stops promptly.
TEST_F(E2e, EveryTypeAtOnceThroughDrops) {
  const int channels[] = {kDirect, kDialBack, kP2p, kRelay};
  for (int c : channels) ASSERT_GE(RealPlay(handle_, c, play_hwnd(c)), 0) << c;
  for (int c : channels) ASSERT_TRUE(wait_pictures(play(c), 1, kFirstPictureMs)) << c;

  for (int c : channels) EXPECT_EQ(PtzControl(handle_, c, 21, 0x20, 0, 0, 0), c == kP2p ? 0 : 1);
  ASSERT_TRUE(log().wait_until([](const auto& l) { return l.ptz().size() >= 3; }, 3000));
  for (const auto& p : log().ptz()) {
    EXPECT_EQ(p.ptz.chan, p.key.channel) << p.body;
    EXPECT_NE(p.key.channel, kP2p);
  }

  // A restart ends the recording: it is started again after each round,
  // appending, and goes on until it has grown.
  const fs::path rec = dir_ / "drops.264";
  std::uintmax_t recorded = 0;
  auto record_more = [&] {
    EXPECT_EQ(StartLocalRecord(handle_, kDirect, rec.wstring().c_str()), 1);
    EXPECT_TRUE(wait_file(rec, recorded + 1, 5000));
    std::error_code ec;
    recorded = fs::file_size(rec, ec);
  };
  record_more();
  const MediaFault drops[] = {MediaFault::close_control, MediaFault::close_stream};
  for (int round = 0; round < 2; ++round) {
    for (int c : channels)
      sim_->devices().inject(kI2c, c,
                             c == kP2p ? MediaFault::slice_missing : drops[(round + c) % 2]);
    // Each TCP channel restarts with a new PLAY.
    ASSERT_TRUE(log().wait_until(
        [&](const auto& l) {
          for (int c : channels) {
            const auto s = l.stats(key(c));
            if (s.faults.size() < static_cast<std::size_t>(round + 1)) return false;
            if (c != kP2p && s.plays < round + 2) return false;
          }
          return true;
        },
        10000))
        << "round " << round;
    std::size_t shown[kChannels] = {};
    for (int c : channels) shown[c] = play(c).picture_count();
    for (int c : channels)
      EXPECT_TRUE(wait_pictures(play(c), shown[c] + 5, 10000))
          << "channel " << c << " is not playing after round " << round;
    record_more();
  }

  for (int c : channels) {
    const auto t0 = platform::tick_ms64();
    EXPECT_EQ(StopRealPlay(handle_, c), 1);
    EXPECT_LT(platform::tick_ms64() - t0, kStopGoalMs) << c;
  }
  const auto check = check_record(rec, source(kDirect).get());
  ASSERT_TRUE(check.whole) << check.error;
  EXPECT_GT(check.frames, 0u);
  EXPECT_EQ(check.first_type, 1);
  EXPECT_EQ(check.foreign_frames, 0u);
  EXPECT_EQ(count_messages(notify(kP2p), NOTIFY_P2P_TIMEOUT), 0u);
  EXPECT_EQ(velmo::p2p_count(), 0u);
}

}  // namespace
}  // namespace e2e
