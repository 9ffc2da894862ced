#include "e2e_fixture.h"

#include <functional>
#include <iostream>

#include "platform/clock.h"
#include "velmosdk.h"
#include "velmosdk_live.h"

namespace e2e {

namespace fs = std::filesystem;

std::string E2e::fleet_text() const {
  return std::string("device ") + kI2c + " " + tel_ +
         " pw\n"
         "channel 0 client-monitor-direct\n"
         "channel 1 monitor-client-direct\n"
         "channel 2 client-monitor-p2p\n"
         "channel 3 client-monitor-middle-transfer\n"
         "channel 4 client-monitor-direct random=r4 session-id=" +
         std::to_string(kLargeSession) + "\n";
}

void E2e::SetUp() {
  tune_for_loopback();
  // A phone number of the test's own: the device's settings folder is named
  // after it, and tests run side by side.
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const auto hash = std::hash<std::string>{}(std::string(info->test_suite_name()) + info->name());
  tel_ = "1390" + std::to_string(1000000 + hash % 9000000);
  dir_ = fs::temp_directory_path() /
         ("e2e-" + tel_ + "-" + std::to_string(platform::tick_ms64()) + "-" +
          std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFFF));
  fs::create_directories(dir_);

  auto fleet = orvsim::parse_fleet(fleet_text());
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
  for (int c = 0; c < kChannels; ++c) {
    channel(c).m_nHttpTimeout = 2;
    channel(c).m_nReconnectDelay = 300;
    ASSERT_EQ(SetMsgWnd(handle_, c, panes_[c].msg.hwnd()), 1);
  }
}

void E2e::TearDown() {
  ReleaseMonitClientSDK();
  if (sim_) sim_->stop();
  std::error_code ec;
  if (!settings_.empty()) fs::remove_all(settings_, ec);
  fs::remove_all(dir_, ec);
}

platform::HeadlessWindow& E2e::notify(int c) {
  const bool direct = c == kDirect || c == kOwnPeer;
  return direct ? panes_[c].msg.window() : panes_[c].play.window();
}

long E2e::play_until_picture(int c, const char* what) {
  const auto t0 = platform::tick_ms64();
  const long port = RealPlay(handle_, c, play_hwnd(c));
  EXPECT_GE(port, 0) << what;
  EXPECT_TRUE(wait_pictures(play(c), 1, kFirstPictureMs)) << what;
  std::cout << "[ timing   ] " << what << ": RealPlay to first picture "
            << platform::tick_ms64() - t0 << " ms\n";
  return port;
}

void E2e::stop_promptly(int c, const char* state) {
  Pane& pane = panes_[c];
  const std::size_t before_play = pane.play->messages().size();
  const std::size_t before_msg = pane.msg->messages().size();
  const auto t0 = platform::tick_ms64();
  EXPECT_EQ(StopRealPlay(handle_, c), 1) << state;
  const auto took = platform::tick_ms64() - t0;
  std::cout << "[ timing   ] channel " << c << ": StopRealPlay while " << state << " " << took
            << " ms\n";
  EXPECT_LT(took, kStopGoalMs) << state;
  auto more = [](std::size_t before) {
    return [before](const auto& s) { return s.messages.size() > before; };
  };
  EXPECT_FALSE(pane.play->wait_until(more(before_play), 400)) << "message after stop: " << state;
  EXPECT_FALSE(pane.msg->wait_until(more(before_msg), 10)) << "message after stop: " << state;
  EXPECT_EQ(channel(c).m_nPlayPort, -1) << state;
}

std::shared_ptr<const orvsim::FrameLoop> E2e::source(int c) const {
  std::shared_ptr<const orvsim::FrameLoop> loop;
  for (const auto& n : sim_->devices().negotiations())
    if (n.key == key(c)) loop = orvsim::FrameLoop::get(n.format);
  return loop;
}

void E2e::rewrite_next_negotiation(const std::string& element, const std::string& text) {
  sim_->faults().for_path("/realtime", orvsim::Fault::WrongElement(element, text), 1);
}

void E2e::write_udp_settings(const std::string& xml) {
  settings_ = e2e::write_udp_settings(tel_, xml);
}

void E2eLive::record(const fs::path& path, std::size_t pictures) {
  const std::size_t shown = play().picture_count();
  ASSERT_EQ(StartLocalRecord(handle_, ch(), path.wstring().c_str()), 1);
  EXPECT_TRUE(wait_pictures(play(), shown + pictures, 5000));
  EXPECT_EQ(StopLoacalRecord(handle_, ch()), 1);
}

namespace {

std::string case_name(const ::testing::TestParamInfo<TypeCase>& info) {
  std::string name = info.param.type;
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
}

constexpr TypeCase kDirectCase{kDirect, "client-monitor-direct", true};
constexpr TypeCase kDialBackCase{kDialBack, "monitor-client-direct", true};
constexpr TypeCase kP2pCase{kP2p, "client-monitor-p2p", false};
constexpr TypeCase kRelayCase{kRelay, "client-monitor-middle-transfer", true};

INSTANTIATE_TEST_SUITE_P(Types, E2eLive,
                         ::testing::Values(kDirectCase, kDialBackCase, kP2pCase, kRelayCase),
                         case_name);
INSTANTIATE_TEST_SUITE_P(Types, E2eTcp, ::testing::Values(kDirectCase, kDialBackCase, kRelayCase),
                         case_name);
INSTANTIATE_TEST_SUITE_P(Types, E2eP2p, ::testing::Values(kP2pCase), case_name);

}  // namespace

}  // namespace e2e
