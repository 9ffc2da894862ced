// Live play end to end over the three TCP connection types: the simulator's
// authentication server negotiates, small device peers of the test answer the
// RTSP dialogue and stream real H.264 as TCP records.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>

#include "control/auth.h"
#include "frame/user_table.h"
#include "live_peers.h"
#include "media/advanced_cfg.h"
#include "media/frame_format.h"
#include "media/live_channel.h"
#include "media/p2p_registry.h"
#include "media/rtsp_manager.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "platform/process.h"
#include "platform/text.h"
#include "velmosdk.h"
#include "velmosdk_live.h"
#include "vidrane/vidrane.h"

namespace velmo::test {
namespace {

namespace fs = std::filesystem;
using platform::ScopedHeadlessWindow;

constexpr int kFirstPictureMs = 15000;
constexpr std::uint64_t kStopGoalMs = 1500;

bool wait_message(ScopedHeadlessWindow& w, WPARAM wparam, std::size_t count, int timeout_ms) {
  return w->wait_until(
      [&](const auto& s) {
        std::size_t n = 0;
        for (const auto& m : s.messages) n += m.msg == WM_USER && m.wparam == wparam;
        return n >= count;
      },
      timeout_ms);
}

std::size_t count_lost(ScopedHeadlessWindow& w) {
  std::size_t n = 0;
  for (const auto& m : w->messages()) n += m.wparam == NOTIFY_SESSION_LOST;
  return n;
}

bool wait_pictures(ScopedHeadlessWindow& w, std::size_t count, int timeout_ms) {
  return w->wait_until([&](const auto& s) { return s.pictures >= count; }, timeout_ms);
}

std::string file_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<media::FrameHeader> record_headers(const fs::path& p) {
  const std::string bytes = file_bytes(p);
  std::vector<media::FrameHeader> out;
  std::size_t at = 0;
  while (at + media::kFrameHeaderSize <= bytes.size()) {
    const auto h = media::read_frame_header(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, bytes.size() - at});
    if (!h->signed_ok() || at + h->total() > bytes.size()) break;
    out.push_back(*h);
    at += static_cast<std::size_t>(h->total());
  }
  EXPECT_EQ(at, bytes.size()) << "not made of whole frames";
  return out;
}

class LiveE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = tuning();
    saved_p2p_ = p2p_timing();
    p2p_timing().registerWaitMs = 20;
    p2p_timing().addressedPauseMs = 5;
    p2p_timing().plainPauseMs = 1;
    p2p_timing().pollMs = 20;
    tuning().addr_query_wait_ms = 150;
    tuning().addr_query_tries = 2;
    dir_ = fs::temp_directory_path() / ("live-e2e-" + std::to_string(platform::tick_ms64()) + "-" +
                                        std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    ReleaseMonitClientSDK();
    for (const auto& f : settings_) fs::remove_all(f);
    tuning() = saved_;
    p2p_timing() = saved_p2p_;
    fs::remove_all(dir_);
  }

  // Starts the library and logs the device in at the test's server.
  void start(const char* tel = "139001") {
    ASSERT_EQ(InitMonitClientSDK(), 1);
    handle_ = Login("127.0.0.1", auth_.port(), "D1", tel, "pw1", "", 2);
    ASSERT_GE(handle_, 0);
    for (int c = 0; c < kChannelCount; ++c) {
      ChannelInfo* ch = guarded_channel(handle_, c);
      ch->m_nHttpTimeout = 2;
      ch->m_nReconnectDelay = 300;
    }
  }
  void route(int c, const std::string& type, int port, const std::string& address = "127.0.0.1",
             const std::string& random = "rv", const std::string& session = "11") {
    AuthServer::Channel ch;
    ch.type = type;
    ch.port = port;
    ch.address = address;
    ch.random = random;
    ch.session = session;
    auth_.set_channel(c, ch);
  }

  ChannelInfo& channel(int c) { return *guarded_channel(handle_, c); }

  // Plays a channel and reports the time to the first picture.
  long play_until_picture(int c, ScopedHeadlessWindow& w, const char* type) {
    const auto t0 = platform::tick_ms64();
    const long port = RealPlay(handle_, c, w.hwnd());
    EXPECT_GE(port, 0);
    EXPECT_TRUE(wait_pictures(w, 1, kFirstPictureMs)) << type;
    std::cout << "[ timing   ] " << type << ": RealPlay to first picture "
              << platform::tick_ms64() - t0 << " ms\n";
    return port;
  }

  // StopRealPlay within the goal, and nothing posted after it.
  void stop_promptly(int c, std::vector<ScopedHeadlessWindow*> windows, const char* state) {
    const auto t0 = platform::tick_ms64();
    EXPECT_EQ(StopRealPlay(handle_, c), 1);
    const auto took = platform::tick_ms64() - t0;
    EXPECT_LT(took, kStopGoalMs) << state;
    std::cout << "[ timing   ] StopRealPlay while " << state << ": " << took << " ms\n";
    std::vector<std::size_t> before;
    for (auto* w : windows) before.push_back((*w)->messages().size());
    platform::sleep_ms(400);
    for (std::size_t i = 0; i < windows.size(); ++i)
      EXPECT_EQ((*windows[i])->messages().size(), before[i]) << "message after stop: " << state;
    EXPECT_EQ(channel(c).m_nPlayPort, -1);
  }

  // The device's settings file beside the program, removed afterwards.
  void write_udp_settings(const char* tel, const std::string& xml) {
    const fs::path folder =
        media::settings_folder(platform::program_dir(), platform::wide_from_utf8(tel));
    fs::create_directories(folder);
    settings_.push_back(folder);
    std::ofstream(folder / "AdvancedCfg_UDP.xml") << xml;
  }

  AuthServer auth_;
  std::vector<fs::path> settings_;
  long handle_ = -1;
  fs::path dir_;
  ControlTuning saved_;
  CUDP_CE::Timing saved_p2p_;
};

TEST_F(LiveE2E, ClientMonitorDirectPlaysRecordsAndMeasures) {
  TcpDevice device;
  route(0, "client-monitor-direct", device.control_port(), "127.0.0.1", "r0", "11");
  start();
  ScopedHeadlessWindow play, msg;
  ASSERT_EQ(SetMsgWnd(handle_, 0, msg.hwnd()), 1);
  const long port = play_until_picture(0, play, "client-monitor-direct");
  ASSERT_GE(port, 0);
  EXPECT_TRUE(wait_message(msg, NOTIFY_STREAM_START, 1, 2000));
  ASSERT_TRUE(device.wait_requests("PLAY", 1, 1000));
  const std::string play_request = device.requests().front();
  EXPECT_EQ(play_request.rfind("PLAY rtsp://127.0.0.1:" + std::to_string(device.control_port()) +
                                   "/r0-11.264 RTSP/1.0\r\n",
                               0),
            0u)
      << play_request;
  EXPECT_NE(play_request.find("Transport: ip=; port=0; protocol=tcp\r\n"), std::string::npos);

  // Bit rate near the stream's.
  const double expected = stream_kbits_per_second();
  int rate = 0;
  for (int i = 0; i < 60 && rate == 0; ++i) {
    platform::sleep_ms(50);
    rate = _GetBitRate(handle_, 0);
  }
  platform::sleep_ms(1200);
  rate = _GetBitRate(handle_, 0);
  std::cout << "[ measure  ] bit rate " << rate << " kbit/s, stream " << expected << " kbit/s\n";
  EXPECT_GT(rate, expected * 0.6);
  EXPECT_LT(rate, expected * 1.5);

  // Two recordings into one file: appended, each part from a type-1 frame.
  const fs::path rec = dir_ / "rec.264";
  EXPECT_EQ(StartLocalRecord(handle_, 0, rec.wstring().c_str()), 1);
  platform::sleep_ms(900);
  EXPECT_EQ(StopLoacalRecord(handle_, 0), 1);
  const auto first = record_headers(rec);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.front().type(), 1);
  EXPECT_EQ(StartLocalRecord(handle_, 0, rec.wstring().c_str()), 1);
  platform::sleep_ms(900);
  EXPECT_EQ(StopLoacalRecord(handle_, 0), 1);
  const auto both = record_headers(rec);
  ASSERT_GT(both.size(), first.size());
  EXPECT_EQ(both[first.size()].type(), 1);
  for (std::size_t i = 1; i < first.size(); ++i)
    EXPECT_EQ(first[i].number, first[i - 1].number + 1);
  static std::atomic<bool> indexed{false};
  Play264_SetFileRefCallBack(
      31, [](long, void*) { indexed.store(true); }, nullptr);
  ASSERT_TRUE(Play264_OpenFile(31, rec.c_str()));
  for (int i = 0; i < 400 && !indexed.load(); ++i) platform::sleep_ms(5);
  EXPECT_EQ(Play264_GetFileTotalFrames(31), static_cast<long>(both.size()));
  Play264_CloseFile(31);

  // A captured picture.
  const fs::path bmp = dir_ / "snap.bmp";
  EXPECT_EQ(CapturePicture(static_cast<int>(port), bmp.wstring().c_str()), 1);
  for (int i = 0; i < 200 && !fs::exists(bmp); ++i) platform::sleep_ms(10);
  platform::sleep_ms(50);
  const std::string b = file_bytes(bmp);
  ASSERT_GT(b.size(), 54u);
  EXPECT_EQ(b.substr(0, 2), "BM");

  stop_promptly(0, {&play, &msg}, "playing");
  EXPECT_TRUE(device.wait_requests("TEARDOWN", 1, 1000));
  EXPECT_EQ(_GetBitRate(handle_, 0), 0);
}

TEST_F(LiveE2E, MonitorClientDirectAcceptsTheDevicesTwoConnections) {
  TcpDevice device;
  route(1, "monitor-client-direct", 7001);
  start();
  ScopedHeadlessWindow play;
  std::thread dialer([&] {
    const int port = auth_.wait_listen_port(1, 0, 10000);
    if (port > 0) device.connect_back(port);
  });
  play_until_picture(1, play, "monitor-client-direct");
  dialer.join();
  EXPECT_TRUE(wait_message(play, NOTIFY_STREAM_START, 1, 2000));
  ASSERT_TRUE(device.wait_requests("PLAY", 1, 1000));
  const std::string req = device.requests().front();
  // The stream connection is announced at the listener's port.
  EXPECT_NE(req.find("Transport: ip=127.0.0.1; port=" + std::to_string(channel(1).m_nListenPort) +
                     "; protocol=tcp"),
            std::string::npos)
      << req;
  stop_promptly(1, {&play}, "playing");
}

TEST_F(LiveE2E, MiddleTransferCarriesPtzAndRestartsAfterLoss) {
  TcpDevice relay;
  route(3, "client-monitor-middle-transfer", relay.control_port(), "127.0.0.1", "r3", "4000000000");
  start();
  ScopedHeadlessWindow play;
  play_until_picture(3, play, "client-monitor-middle-transfer");
  EXPECT_TRUE(wait_message(play, NOTIFY_STREAM_START, 1, 2000));

  // Protocol 25, address 1: tilt up at speed 0x20.
  EXPECT_EQ(PtzControl(handle_, 3, 21, 0x20, 0, 0, 0), 1);
  ASSERT_TRUE(relay.wait_requests("SET_PARAMETER", 1, 2000));
  std::string set;
  for (const auto& r : relay.requests())
    if (r.rfind("SET_PARAMETER ", 0) == 0) set = r;
  EXPECT_EQ(set.substr(set.find("\r\n\r\n") + 4),
            "command: ptz-control\r\nchan: 3\r\nlength: 14\r\ncontent: ff010008002029");
  EXPECT_EQ(set.rfind("SET_PARAMETER rtsp://127.0.0.1:" + std::to_string(relay.control_port()) +
                          "/r3--294967296.264 RTSP/1.0\r\n",
                      0),
            0u)
      << set;

  // Loss of the control connection: 2144, then pictures again.
  relay.drop_connections();
  ASSERT_TRUE(wait_message(play, NOTIFY_SESSION_LOST, 1, 5000));
  const std::size_t shown = play->picture_count();
  EXPECT_TRUE(relay.wait_requests("PLAY", 2, 10000));
  EXPECT_TRUE(wait_pictures(play, shown + 5, 10000));
  stop_promptly(3, {&play}, "playing after a restart");
}

TEST_F(LiveE2E, StopIsPromptInEveryState) {
  TcpDevice silent(TcpDevice::Behaviour::silent);
  TcpDevice dropper(TcpDevice::Behaviour::drop_at_once);
  route(0, "client-monitor-direct", silent.control_port());
  route(1, "monitor-client-direct", 7001);
  route(2, "client-monitor-direct", dropper.control_port());
  // A listener whose queue is full: the session's connect stays in progress.
  platform::Socket full(platform::tcp_socket());
  platform::bind_socket(full.get(), {0x7F000001, 0});
  platform::listen_socket(full.get(), 0);
  const auto full_port = platform::local_address(full.get())->port;
  std::vector<platform::Socket> fillers;
  for (int i = 0; i < 3; ++i) {
    fillers.emplace_back(platform::tcp_socket());
    platform::set_nonblocking(fillers.back().get(), true);
    platform::connect_socket(fillers.back().get(), {0x7F000001, full_port});
  }
  route(4, "client-monitor-direct", full_port);
  start();
  ScopedHeadlessWindow w0, w1, w2, w4;
  // The direct type tells its message window.
  SetMsgWnd(handle_, 0, w0.hwnd());
  SetMsgWnd(handle_, 2, w2.hwnd());
  SetMsgWnd(handle_, 4, w4.hwnd());
  auto session_of = [&](int c) {
    std::lock_guard lock(live_state(channel(c)).session);
    return live_session(channel(c)) != nullptr;
  };
  auto wait_session = [&](int c) {
    for (int i = 0; i < 1000 && !session_of(c); ++i) platform::sleep_ms(5);
    return session_of(c);
  };

  // Waiting for the PLAY answer.
  ASSERT_GE(RealPlay(handle_, 0, w0.hwnd()), 0);
  ASSERT_TRUE(silent.wait_requests("PLAY", 1, 10000));
  stop_promptly(0, {&w0}, "waiting for the PLAY answer");

  // Waiting for the device to connect back.
  ASSERT_GE(RealPlay(handle_, 1, w1.hwnd()), 0);
  ASSERT_TRUE(wait_session(1));
  platform::sleep_ms(100);
  stop_promptly(1, {&w1}, "waiting for the device's connection");

  // Sleeping before a restart.
  channel(2).m_nReconnectDelay = 5000;
  ASSERT_GE(RealPlay(handle_, 2, w2.hwnd()), 0);
  ASSERT_TRUE(wait_message(w2, NOTIFY_SESSION_LOST, 1, 10000));
  stop_promptly(2, {&w2}, "sleeping before a restart");

  // Connecting (an address that does not answer) or failing to.
  ASSERT_GE(RealPlay(handle_, 4, w4.hwnd()), 0);
  ASSERT_TRUE(wait_session(4));
  platform::sleep_ms(200);
  EXPECT_EQ(count_lost(w4), 0u);  // still connecting
  stop_promptly(4, {&w4}, "connecting");

  // Stopping a stopped channel is harmless.
  EXPECT_EQ(StopRealPlay(handle_, 4), 1);
}

TEST_F(LiveE2E, SecondRealPlayTakesANewPort) {
  TcpDevice device;
  route(0, "client-monitor-direct", device.control_port());
  start();
  ScopedHeadlessWindow a, b;
  const long p1 = play_until_picture(0, a, "client-monitor-direct (first)");
  const long p2 = RealPlay(handle_, 0, b.hwnd());
  ASSERT_GE(p2, 0);
  EXPECT_EQ(channel(0).m_nPlayPort, p2);
  EXPECT_EQ(channel(0).m_hPlayWnd, b.hwnd());
  EXPECT_FALSE(Play264_InputData(p1 == p2 ? 30 : p1, stream_frame(0).data(),
                                 static_cast<DWORD>(stream_frame(0).size())));
  EXPECT_TRUE(wait_pictures(b, 1, kFirstPictureMs));
  stop_promptly(0, {&a, &b}, "playing");
}

TEST_F(LiveE2E, ReleaseWhilePlayingClosesThePlayerStream) {
  TcpDevice device;
  route(0, "client-monitor-direct", device.control_port());
  start();
  ScopedHeadlessWindow w;
  const long port = play_until_picture(0, w, "client-monitor-direct");
  ASSERT_GE(port, 0);
  ReleaseMonitClientSDK();
  // The stream is closed and its port free again for the next start.
  EXPECT_FALSE(
      Play264_InputData(port, stream_frame(0).data(), static_cast<DWORD>(stream_frame(0).size())));
  const int again = take_play_port();
  EXPECT_EQ(again, port);
  release_play_port(again);
}

TEST_F(LiveE2E, RealPlayAgainWhileConnectingReturnsAtOnce) {
  start();  // channel 5 has no route: the negotiation fails and is retried
  channel(5).m_nReconnectDelay = 200;
  ScopedHeadlessWindow w;
  ASSERT_GE(RealPlay(handle_, 5, w.hwnd()), 0);
  platform::sleep_ms(500);
  const auto t0 = platform::tick_ms64();
  EXPECT_GE(RealPlay(handle_, 5, w.hwnd()), 0);
  EXPECT_LT(platform::tick_ms64() - t0, kStopGoalMs);
  stop_promptly(5, {&w}, "retrying the negotiation");
}

TEST_F(LiveE2E, GuardsAndCallsWithoutSession) {
  route(0, "client-monitor-direct", 9);
  start();
  ScopedHeadlessWindow w;
  EXPECT_EQ(RealPlay(16, 0, w.hwnd()), -1);
  EXPECT_EQ(RealPlay(handle_, 6, w.hwnd()), -1);
  EXPECT_EQ(RealPlay(-1, 0, w.hwnd()), -1);
  EXPECT_EQ(StopRealPlay(16, 0), 0);
  EXPECT_EQ(StopRealPlay(handle_, 6), 0);
  EXPECT_EQ(PtzControl(handle_, 0, 21, 1, 0, 0, 0), 0);
  EXPECT_EQ(_GetBitRate(handle_, 0), 0);
  EXPECT_EQ(StartLocalRecord(handle_, 0, nullptr), 0);
  EXPECT_EQ(StartLocalRecord(handle_, 0, L""), 0);
  EXPECT_EQ(StartLocalRecord(handle_, 0, L"/tmp/x.264"), 1);  // kept for later
  EXPECT_EQ(channel(0).m_strRecordFile, L"/tmp/x.264");
  EXPECT_EQ(StopLoacalRecord(handle_, 0), 0);
  EXPECT_TRUE(channel(0).m_strRecordFile.empty());
  EXPECT_EQ(CapturePicture(-1, L"/tmp/x.bmp"), 0);
  EXPECT_EQ(CapturePicture(L"/tmp/x.bmp", 0), 0);  // no stream on port 0
  EXPECT_EQ(CapturePicture(0, nullptr), 0);
  // No window at all: -1 and no port taken.
  platform::ScopedHeadlessWindow gone;
  const HWND dead = gone.hwnd();
  gone.destroy();
  EXPECT_EQ(RealPlay(handle_, 1, dead), -1);
  EXPECT_EQ(channel(1).m_nPlayPort, -1);
}

TEST_F(LiveE2E, RecordingAndCaptureEdges) {
  TcpDevice silent(TcpDevice::Behaviour::silent);
  TcpDevice device;
  route(0, "client-monitor-direct", silent.control_port());
  route(1, "client-monitor-direct", device.control_port());
  route(2, "client-monitor-direct", device.control_port());
  start();
  ScopedHeadlessWindow w0, w1, w2;

  // No frame yet: the path is taken, nothing is written.
  ASSERT_GE(RealPlay(handle_, 0, w0.hwnd()), 0);
  ASSERT_TRUE(silent.wait_requests("PLAY", 1, 10000));
  const fs::path early = dir_ / "early.264";
  EXPECT_EQ(StartLocalRecord(handle_, 0, early.wstring().c_str()), 1);
  platform::sleep_ms(200);
  EXPECT_FALSE(fs::exists(early));
  EXPECT_EQ(StopLoacalRecord(handle_, 0), 0);  // no decoder

  const long p1 = play_until_picture(1, w1, "client-monitor-direct (channel 1)");
  const long p2 = play_until_picture(2, w2, "client-monitor-direct (channel 2)");
  EXPECT_EQ(StopLoacalRecord(handle_, 1), 1);  // a decoder, never recording

  // One capture path for every port: both pictures go to the second one.
  const fs::path a = dir_ / "a.bmp", b = dir_ / "b.bmp";
  EXPECT_EQ(CapturePicture(static_cast<int>(p1), a.wstring().c_str()), 1);
  EXPECT_EQ(CapturePicture(b.wstring().c_str(), static_cast<int>(p2)), 1);
  for (int i = 0; i < 200 && !fs::exists(b); ++i) platform::sleep_ms(10);
  platform::sleep_ms(200);
  EXPECT_TRUE(fs::exists(b));
  EXPECT_FALSE(fs::exists(a));

  StopRealPlay(handle_, 0);
  StopRealPlay(handle_, 1);
  StopRealPlay(handle_, 2);
}

// Six channels over the four types while the TCP devices drop their
// connections now and then: every channel plays at the end, the recording is
// whole frames, and everything stops within the goal.
TEST_F(LiveE2E, SoakWithDroppedConnections) {
  TcpDevice direct, relay, back;
  P2pDevice p2p({});
  route(0, "client-monitor-direct", direct.control_port());
  route(1, "monitor-client-direct", 7001);
  route(2, "client-monitor-p2p", p2p.server_port());
  route(3, "client-monitor-middle-transfer", relay.control_port());
  route(4, "client-monitor-direct", direct.control_port());
  route(5, "client-monitor-middle-transfer", relay.control_port());
  start();
  std::atomic<bool> done{false};
  std::thread dialer([&] {
    std::size_t seen = 0;
    while (!done.load()) {
      const auto n = auth_.negotiations();
      for (; seen < n.size(); ++seen) {
        const std::string& t = n[seen];
        const auto p = t.find("listen-port=");
        if (t.find("channel=1&") != std::string::npos && p != std::string::npos)
          back.connect_back(std::stoi(t.substr(p + 12)));
      }
      platform::sleep_ms(5);
    }
  });
  std::vector<std::unique_ptr<ScopedHeadlessWindow>> w;
  for (int c = 0; c < 6; ++c) {
    w.push_back(std::make_unique<ScopedHeadlessWindow>(176, 144));
    SetMsgWnd(handle_, c, w.back()->hwnd());
    ASSERT_GE(RealPlay(handle_, c, w.back()->hwnd()), 0);
  }
  for (int c = 0; c < 6; ++c) EXPECT_TRUE(wait_pictures(*w[c], 1, kFirstPictureMs)) << c;
  const fs::path rec = dir_ / "soak.264";
  EXPECT_EQ(StartLocalRecord(handle_, 0, rec.wstring().c_str()), 1);
  std::mt19937 rng(3);
  for (int round = 0; round < 6; ++round) {
    platform::sleep_ms(300 + static_cast<int>(rng() % 400));
    (rng() % 2 ? direct : relay).drop_connections();
    if (rng() % 3 == 0) back.drop_connections();
  }
  std::vector<std::size_t> shown;
  for (auto& win : w) shown.push_back((*win)->picture_count());
  for (int c = 0; c < 6; ++c)
    EXPECT_TRUE(wait_pictures(*w[c], shown[c] + 10, 10000)) << "channel " << c << " is not playing";
  for (int c = 0; c < 6; ++c) {
    const auto t0 = platform::tick_ms64();
    EXPECT_EQ(StopRealPlay(handle_, c), 1);
    EXPECT_LT(platform::tick_ms64() - t0, kStopGoalMs) << c;
  }
  done.store(true);
  dialer.join();
  if (fs::exists(rec)) record_headers(rec);  // whole frames (a restart ends recording)
  EXPECT_EQ(p2p_count(), 0u);
}

// ---- P2P ----

TEST_F(LiveE2E, P2pPlaysOverAPunchedPath) {
  P2pDevice device({});
  route(2, "client-monitor-p2p", device.server_port(), "127.0.0.1", "r2", "13");
  start();
  ScopedHeadlessWindow play;
  play_until_picture(2, play, "client-monitor-p2p");
  EXPECT_TRUE(wait_message(play, NOTIFY_STREAM_START, 1, 2000));
  EXPECT_EQ(device.plays_received(), 1u);
  platform::sleep_ms(1200);
  EXPECT_EQ(_GetBitRate(handle_, 2), 0);                    // only the TCP receiver measures
  EXPECT_EQ(PtzControl(handle_, 2, 21, 0x20, 0, 0, 0), 0);  // nothing goes over P2P
  stop_promptly(2, {&play}, "playing over P2P");
  EXPECT_EQ(p2p_count(), 0u);  // the punched path was released
}

// The punching object's own waits (300 ms after each addressed send, the
// receive thread's hand-over) dominate a P2P start: measured as shipped.
TEST_F(LiveE2E, P2pFirstPictureWithShippedPunchingWaits) {
  p2p_timing() = CUDP_CE::Timing{};
  P2pDevice device({});
  route(2, "client-monitor-p2p", device.server_port());
  start();
  ScopedHeadlessWindow play;
  play_until_picture(2, play, "client-monitor-p2p (shipped punching waits)");
  stop_promptly(2, {&play}, "playing over P2P");
}

TEST_F(LiveE2E, P2pSilenceGivesTimeoutAndNoRestart) {
  P2pDevice device({});
  route(2, "client-monitor-p2p", device.server_port());
  write_udp_settings("7702",
                     "<Cfg><Rtcp><HbInterval>150</HbInterval><TimeOut>700</TimeOut></Rtcp></Cfg>");
  start("7702");
  ScopedHeadlessWindow play;
  play_until_picture(2, play, "client-monitor-p2p (short time-outs)");
  const std::size_t negotiated = auth_.negotiations().size();
  device.set_answer_heart_beats(false);
  ASSERT_TRUE(wait_message(play, NOTIFY_P2P_TIMEOUT, 1, 5000));
  platform::sleep_ms(800);
  EXPECT_EQ(auth_.negotiations().size(), negotiated);  // not restarted
  EXPECT_FALSE(wait_message(play, NOTIFY_SESSION_LOST, 1, 10));
  stop_promptly(2, {&play}, "after a P2P time-out");
}

TEST_F(LiveE2E, UnansweredUdpPlayIsResentThenTheChannelAsksForAnotherPath) {
  P2pDevice device({.answer_play = false, .answer_heart_beats = true});
  TcpDevice relay;
  AuthServer::Channel ch;
  ch.type = "client-monitor-p2p";
  ch.port = device.server_port();
  ch.fallback_type = "client-monitor-middle-transfer";
  ch.fallback_port = relay.control_port();
  auth_.set_channel(2, ch);
  // Rounds of TimeOut / 5 = 60 ms.
  write_udp_settings("7703", "<Cfg><Rtcp><TimeOut>300</TimeOut></Rtcp></Cfg>");
  start("7703");
  ScopedHeadlessWindow play;
  play_until_picture(2, play, "fallback from P2P to the relay");
  EXPECT_EQ(device.plays_received(), 6u);  // the first and five resends
  const auto n = auth_.negotiations();
  ASSERT_GE(n.size(), 2u);
  EXPECT_EQ(n[0].find("p2p-open=false"), std::string::npos);
  EXPECT_NE(n[1].find("p2p-open=false"), std::string::npos);
  EXPECT_TRUE(relay.wait_requests("PLAY", 1, 1000));
  stop_promptly(2, {&play}, "playing through the relay");
}

TEST_F(LiveE2E, StopWhilePunchingIsPrompt) {
  P2pDevice device({});
  device.set_server_silent(true);
  route(2, "client-monitor-p2p", device.server_port());
  start();
  ScopedHeadlessWindow play;
  ASSERT_GE(RealPlay(handle_, 2, play.hwnd()), 0);
  for (int i = 0; i < 400; ++i) {
    {
      std::lock_guard lock(live_state(channel(2)).session);
      if (live_session(channel(2))) break;
    }
    platform::sleep_ms(5);
  }
  platform::sleep_ms(150);
  stop_promptly(2, {&play}, "punching");
}

}  // namespace
}  // namespace velmo::test
