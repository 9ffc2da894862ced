// The SDK against the in-process simulator on loopback, one connection type
// per case: the simulator negotiates, its devices answer the RTSP dialogue
// and stream real H.264 over the type's own path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "control/auth.h"
#include "e2e_support.h"
#include "frame/user_table.h"
#include "media/advanced_cfg.h"
#include "media/p2p_registry.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "platform/process.h"
#include "platform/text.h"
#include "simulator.h"
#include "velmosdk.h"
#include "velmosdk_live.h"

namespace {

namespace fs = std::filesystem;
using platform::ScopedHeadlessWindow;

constexpr char kI2c[] = "E2E1";
constexpr int kFirstPictureMs = 8000;
constexpr std::uint64_t kStopGoalMs = 1500;

struct TypeCase {
  int channel;
  const char* type;
  bool tcp;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
  *os << c.type;
}

class E2eLive : public ::testing::TestWithParam<TypeCase> {
 protected:
  void SetUp() override {
    saved_tuning_ = velmo::tuning();
    saved_p2p_ = velmo::p2p_timing();
    e2e::tune_for_loopback();
    // A phone number of this test's own: the device's settings folder is
    // named after it, and cases run side by side.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const auto hash = std::hash<std::string>{}(std::string(info->test_suite_name()) + info->name());
    tel_ = "1390" + std::to_string(1000000 + hash % 9000000);
    dir_ = fs::temp_directory_path() /
           ("e2e-" + tel_ + "-" + std::to_string(platform::tick_ms64()) + "-" +
            std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFFF));
    fs::create_directories(dir_);

    auto fleet = orvsim::parse_fleet(std::string("device ") + kI2c + " " + tel_ +
                                     " pw\n"
                                     "channel 0 client-monitor-direct\n"
                                     "channel 1 monitor-client-direct\n"
                                     "channel 2 client-monitor-p2p\n"
                                     "channel 3 client-monitor-middle-transfer\n");
    ASSERT_TRUE(fleet.ok()) << fleet.error;
    orvsim::SimulatorOptions options;
    options.fleet = *fleet.fleet;
    sim_ = std::make_unique<orvsim::Simulator>(options);
    auto device = sim_->devices().options();
    device.heartbeat_ms = 500;
    sim_->devices().set_options(device);
    ASSERT_TRUE(sim_->start()) << sim_->error();

    ASSERT_EQ(InitMonitClientSDK(), 1);
    handle_ = Login("127.0.0.1", sim_->http_port(), kI2c, tel_.c_str(), "pw", "", 2);
    ASSERT_GE(handle_, 0) << _GetLastErrorCode();
    velmo::ChannelInfo* ch = velmo::guarded_channel(handle_, GetParam().channel);
    ASSERT_NE(ch, nullptr);
    ch->m_nHttpTimeout = 2;
    ch->m_nReconnectDelay = 300;
    // Notifications of the direct type go to the message window, the other
    // types' to the play window.
    ASSERT_EQ(SetMsgWnd(handle_, GetParam().channel, msg_.hwnd()), 1);
  }

  void TearDown() override {
    ReleaseMonitClientSDK();
    if (sim_) sim_->stop();
    std::error_code ec;
    if (!settings_.empty()) fs::remove_all(settings_, ec);
    velmo::tuning() = saved_tuning_;
    velmo::p2p_timing() = saved_p2p_;
    fs::remove_all(dir_, ec);
  }

  // The device's UDP settings file beside the program, removed afterwards.
  void write_udp_settings(const std::string& xml) {
    settings_ =
        velmo::media::settings_folder(platform::program_dir(), platform::wide_from_utf8(tel_));
    fs::create_directories(settings_);
    std::ofstream(settings_ / "AdvancedCfg_UDP.xml") << xml;
  }

  int ch() const { return GetParam().channel; }
  const char* type() const { return GetParam().type; }
  platform::HeadlessWindow& notify() { return ch() == 0 ? msg_.window() : play_.window(); }
  orvsim::ChannelKey key() const { return {kI2c, ch()}; }

  // RealPlay until the first picture; the measured time is printed.
  long play_until_picture() {
    const auto t0 = platform::tick_ms64();
    const long port = RealPlay(handle_, ch(), play_.hwnd());
    EXPECT_GE(port, 0);
    EXPECT_TRUE(e2e::wait_pictures(play_.window(), 1, kFirstPictureMs)) << type();
    std::cout << "[ timing   ] " << type() << ": RealPlay to first picture "
              << platform::tick_ms64() - t0 << " ms\n";
    return port;
  }

  // The frame loop the device streams for this channel's negotiation.
  std::shared_ptr<const orvsim::FrameLoop> source() const {
    for (const auto& n : sim_->devices().negotiations())
      if (n.key == key()) return orvsim::FrameLoop::get(n.format);
    return nullptr;
  }

  // Records while `pictures` more pictures are shown.
  void record(const fs::path& path, std::size_t pictures) {
    const std::size_t shown = play_->picture_count();
    ASSERT_EQ(StartLocalRecord(handle_, ch(), path.wstring().c_str()), 1);
    EXPECT_TRUE(e2e::wait_pictures(play_.window(), shown + pictures, 5000));
    EXPECT_EQ(StopLoacalRecord(handle_, ch()), 1);
  }

  // StopRealPlay within the goal, then nothing posted to either window.
  void stop_promptly(const char* state) {
    const std::size_t before_play = play_->messages().size();
    const std::size_t before_msg = msg_->messages().size();
    const auto t0 = platform::tick_ms64();
    EXPECT_EQ(StopRealPlay(handle_, ch()), 1);
    const auto took = platform::tick_ms64() - t0;
    std::cout << "[ timing   ] " << type() << ": StopRealPlay while " << state << " " << took
              << " ms\n";
    EXPECT_LT(took, kStopGoalMs) << state;
    auto more = [](std::size_t before) {
      return [before](const auto& s) { return s.messages.size() > before; };
    };
    EXPECT_FALSE(play_->wait_until(more(before_play), 400)) << "message after stop: " << state;
    EXPECT_FALSE(msg_->wait_until(more(before_msg), 10)) << "message after stop: " << state;
  }

  ScopedHeadlessWindow play_{176, 144};
  ScopedHeadlessWindow msg_;
  std::unique_ptr<orvsim::Simulator> sim_;
  long handle_ = -1;
  fs::path dir_;
  std::string tel_;
  fs::path settings_;
  CUDP_CE::Timing saved_p2p_;

 private:
  velmo::ControlTuning saved_tuning_;
};

TEST_P(E2eLive, PlaysRecordsCapturesMeasuresAndStops) {
  const long port = play_until_picture();
  ASSERT_GE(port, 0);
  EXPECT_TRUE(e2e::wait_message(notify(), NOTIFY_STREAM_START, 1, 2000));
  const auto loop = source();
  ASSERT_TRUE(loop) << "no negotiation of " << key().text() << " at the device";

  // Pictures keep coming, decoded from the device's frames.
  EXPECT_TRUE(e2e::wait_pictures(play_.window(), 10, 5000));
  const auto picture = play_->last_picture();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, loop->format().width);
  EXPECT_EQ(picture->height, loop->format().height);

  // Two recordings into one file: appended, each part from a type-1 frame,
  // every frame one the device sent, the player indexing each of them.
  const fs::path rec = dir_ / "live.264";
  record(rec, 8);
  const auto first = e2e::check_record(rec, loop.get());
  ASSERT_TRUE(first.whole) << first.error;
  ASSERT_GT(first.frames, 0u);
  EXPECT_EQ(first.first_type, 1);
  EXPECT_EQ(first.numbering_gaps, 0u);
  EXPECT_EQ(first.foreign_frames, 0u);
  record(rec, 4);
  const auto both = e2e::check_record(rec, loop.get());
  ASSERT_TRUE(both.whole) << both.error;
  EXPECT_GT(both.frames, first.frames);
  EXPECT_GE(both.type1_starts, first.type1_starts + 1);
  EXPECT_EQ(both.foreign_frames, 0u);
  EXPECT_EQ(e2e::player_frame_count(rec, 31), static_cast<long>(both.frames));

  // A captured picture: a bitmap of the stream's size.
  const fs::path bmp = dir_ / "snap.bmp";
  EXPECT_EQ(CapturePicture(static_cast<int>(port), bmp.wstring().c_str()), 1);
  ASSERT_TRUE(e2e::wait_file(bmp, 54, 3000));
  {
    std::ifstream in(bmp, std::ios::binary);
    char head[26] = {};
    in.read(head, sizeof head);
    EXPECT_EQ(std::string(head, 2), "BM");
    std::int32_t w = 0, h = 0;
    std::memcpy(&w, head + 18, 4);
    std::memcpy(&h, head + 22, 4);
    EXPECT_EQ(w, loop->format().width);
    EXPECT_EQ(h < 0 ? -h : h, loop->format().height);
  }

  // Bit rate: near the stream's on TCP, never measured on P2P.
  const std::size_t shown = play_->picture_count();
  EXPECT_TRUE(e2e::wait_pictures(play_.window(), shown + loop->format().fps + 3, 5000));
  const int rate = _GetBitRate(handle_, ch());
  const double expected = e2e::loop_kbits_per_second(*loop);
  std::cout << "[ measure  ] " << type() << ": bit rate " << rate << " kbit/s, stream " << expected
            << " kbit/s\n";
  if (GetParam().tcp) {
    EXPECT_GT(rate, expected * 0.6);
    EXPECT_LT(rate, expected * 1.5);
  } else {
    EXPECT_EQ(rate, 0);
  }

  // PTZ: tilt up at speed 0x20 to camera 1 (the default decoder), as hex
  // text at the device; nothing travels over a P2P path.
  if (GetParam().tcp) {
    EXPECT_EQ(PtzControl(handle_, ch(), 21, 0x20, 0, 0, 0), 1);
    ASSERT_TRUE(
        sim_->devices().log().wait_until([](const auto& l) { return !l.ptz().empty(); }, 3000));
    const auto ptz = sim_->devices().log().ptz().front();
    EXPECT_EQ(ptz.key, key());
    EXPECT_TRUE(ptz.ptz.valid) << ptz.body;
    EXPECT_EQ(ptz.ptz.command, "ptz-control");
    EXPECT_EQ(ptz.ptz.chan, ch());
    EXPECT_EQ(ptz.ptz.length, 14);
    EXPECT_EQ(ptz.ptz.content, "ff010008002029");
  } else {
    EXPECT_EQ(PtzControl(handle_, ch(), 21, 0x20, 0, 0, 0), 0);
    EXPECT_EQ(sim_->devices().log().stats(key()).set_parameters, 0);
  }

  stop_promptly("playing");
  EXPECT_EQ(_GetBitRate(handle_, ch()), 0);
  if (GetParam().tcp) {
    EXPECT_TRUE(sim_->devices().log().wait_until(
        [&](const auto& l) { return l.stats(key()).teardowns >= 1; }, 2000));
  } else {
    EXPECT_EQ(velmo::p2p_count(), 0u);  // the punched path was released
  }
}

// The device closes the control path: a TCP session says 2144 and the
// channel plays again after the reconnect delay.
class E2eTcp : public E2eLive {};
class E2eP2p : public E2eLive {};

TEST_P(E2eTcp, ControlLossRestartsTheChannel) {
  play_until_picture();
  sim_->devices().inject(kI2c, ch(), orvsim::MediaFault::close_control);
  const auto t0 = platform::tick_ms64();
  ASSERT_TRUE(e2e::wait_message(notify(), NOTIFY_SESSION_LOST, 1, 5000));
  const std::size_t shown = play_->picture_count();
  EXPECT_TRUE(e2e::wait_pictures(play_.window(), shown + 5, 8000));
  std::cout << "[ timing   ] " << type() << ": control loss to pictures again "
            << platform::tick_ms64() - t0 << " ms\n";
  EXPECT_GE(sim_->devices().log().stats(key()).plays, 2);
  EXPECT_EQ(e2e::count_messages(notify(), NOTIFY_SESSION_LOST), 1u);
  stop_promptly("playing after a restart");
}

// StopRealPlay tears the session down once: one TEARDOWN, and no send on a
// connection the device has already closed after answering it.
TEST_P(E2eTcp, StopSendsOneTeardown) {
  play_until_picture();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(StopRealPlay(handle_, ch()), 1);
  const std::string console = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(console.find("send()"), std::string::npos) << console;
  EXPECT_EQ(sim_->devices().log().stats(key()).teardowns, 1);
}

// Damaged frames from the device: the picture goes on (after a restart if
// the session gives up on the stream) and the record file keeps only whole
// frames the device really sent.
TEST_P(E2eLive, DamagedFramesKeepThePictureAndWholeRecords) {
  play_until_picture();
  const auto loop = source();
  ASSERT_TRUE(loop);
  const fs::path rec = dir_ / "damaged.264";
  ASSERT_EQ(StartLocalRecord(handle_, ch(), rec.wstring().c_str()), 1);
  std::vector<orvsim::MediaFault> faults = {orvsim::MediaFault::no_signature,
                                            orvsim::MediaFault::oversized_frame};
  if (!GetParam().tcp) {
    faults.push_back(orvsim::MediaFault::foreign_magic);
    faults.push_back(orvsim::MediaFault::slices_out_of_order);
    faults.push_back(orvsim::MediaFault::slice_missing);
  }
  for (const auto fault : faults) {
    sim_->devices().inject(kI2c, ch(), fault);
    ASSERT_TRUE(sim_->devices().log().wait_until(
        [&](const auto& l) {
          const auto done = l.stats(key()).faults;
          return std::find(done.begin(), done.end(),
                           std::string(orvsim::media_fault_name(fault))) != done.end();
        },
        5000))
        << orvsim::media_fault_name(fault) << " was not carried out";
    // A restart ends the recording: start it again, appending.
    StartLocalRecord(handle_, ch(), rec.wstring().c_str());
    const std::size_t shown = play_->picture_count();
    EXPECT_TRUE(e2e::wait_pictures(play_.window(), shown + 5, 8000))
        << "no picture after " << orvsim::media_fault_name(fault);
  }
  EXPECT_EQ(StopLoacalRecord(handle_, ch()), 1);
  const auto check = e2e::check_record(rec, loop.get());
  ASSERT_TRUE(check.whole) << check.error;
  EXPECT_GT(check.frames, 0u);
  EXPECT_EQ(check.first_type, 1);
  EXPECT_EQ(check.foreign_frames, 0u);
  EXPECT_EQ(e2e::count_messages(notify(), NOTIFY_P2P_TIMEOUT), 0u);
  stop_promptly("playing after damaged frames");
}

// A silent P2P device: 2134 after the time-out of the settings file, and
// the channel is not negotiated again.
TEST_P(E2eP2p, SilenceTimesOutWithoutRestart) {
  write_udp_settings("<Cfg><Rtcp><HbInterval>150</HbInterval><TimeOut>700</TimeOut></Rtcp></Cfg>");
  play_until_picture();
  const std::size_t negotiated = sim_->devices().negotiations().size();
  sim_->devices().inject(kI2c, ch(), orvsim::MediaFault::stop_sending);
  const auto t0 = platform::tick_ms64();
  ASSERT_TRUE(e2e::wait_message(notify(), NOTIFY_P2P_TIMEOUT, 1, 5000));
  std::cout << "[ timing   ] " << type() << ": silence to time-out " << platform::tick_ms64() - t0
            << " ms\n";
  // Longer than a reconnect delay: no restart comes.
  EXPECT_FALSE(e2e::wait_message(notify(), NOTIFY_SESSION_LOST, 1, 800));
  EXPECT_EQ(sim_->devices().negotiations().size(), negotiated);
  EXPECT_EQ(e2e::count_messages(notify(), NOTIFY_P2P_TIMEOUT), 1u);
  stop_promptly("after a P2P time-out");
}

// Stopping while the path is being punched, with the punching's own pauses
// (register waits, pauses after addressed sends) rather than loopback ones.
TEST_P(E2eP2p, StopWhilePunchingIsPrompt) {
  velmo::p2p_timing() = saved_p2p_;
  ASSERT_GE(RealPlay(handle_, ch(), play_.hwnd()), 0);
  ASSERT_TRUE(
      sim_->log().wait_until([](const auto& r) { return r.request.path == "/realtime"; }, 5000));
  // Punching with these pauses takes seconds: no picture yet.
  EXPECT_FALSE(e2e::wait_pictures(play_.window(), 1, 300));
  stop_promptly("punching");
  EXPECT_EQ(play_->picture_count(), 0u);
  EXPECT_EQ(velmo::p2p_count(), 0u);
}

// Stopping while the channel sleeps before its restart.
TEST_P(E2eTcp, StopDuringTheReconnectDelayIsPrompt) {
  velmo::guarded_channel(handle_, ch())->m_nReconnectDelay = 10000;
  play_until_picture();
  sim_->devices().inject(kI2c, ch(), orvsim::MediaFault::close_control);
  ASSERT_TRUE(e2e::wait_message(notify(), NOTIFY_SESSION_LOST, 1, 5000));
  stop_promptly("sleeping before a restart");
}

std::string case_name(const ::testing::TestParamInfo<TypeCase>& info) {
  std::string name = info.param.type;
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
}

constexpr TypeCase kDirect{0, "client-monitor-direct", true};
constexpr TypeCase kDialBack{1, "monitor-client-direct", true};
constexpr TypeCase kP2p{2, "client-monitor-p2p", false};
constexpr TypeCase kRelay{3, "client-monitor-middle-transfer", true};

INSTANTIATE_TEST_SUITE_P(Types, E2eLive, ::testing::Values(kDirect, kDialBack, kP2p, kRelay),
                         case_name);
INSTANTIATE_TEST_SUITE_P(Types, E2eTcp, ::testing::Values(kDirect, kDialBack, kRelay), case_name);
INSTANTIATE_TEST_SUITE_P(Types, E2eP2p, ::testing::Values(kP2p), case_name);

}  // namespace
