// Stopping, playing again and releasing: in every state a session passes
// through, StopRealPlay returns within the goal and nothing is posted after
// it; a new RealPlay replaces the old stream; teardown happens once.
#include <gtest/gtest.h>

#include <string>

#include "e2e_fixture.h"
#include "media/p2p_registry.h"
#include "peers.h"
#include "platform/clock.h"
#include "velmosdk.h"
#include "velmosdk_live.h"
#include "vidrane/vidrane.h"

namespace e2e {
namespace {

// StopRealPlay tears the session down once: one TEARDOWN, and no send on a
// connection the device has already closed after answering it.
TEST_P(E2eTcp, StopSendsOneTeardown) {
  play_until_picture();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(StopRealPlay(handle_, ch()), 1);
  const std::string console = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(console.find("send()"), std::string::npos) << console;
  EXPECT_EQ(log().stats(key()).teardowns, 1);
}

// Stopping while the channel sleeps before its restart.
TEST_P(E2eTcp, StopDuringTheReconnectDelayIsPrompt) {
  channel(ch()).m_nReconnectDelay = 10000;
  play_until_picture();
  sim_->devices().inject(kI2c, ch(), orvsim::MediaFault::close_control);
  ASSERT_TRUE(wait_message(notify(), NOTIFY_SESSION_LOST, 1, 5000));
  stop_promptly("sleeping before a restart");
}

// Stopping while the path is being punched with the punching's own pauses
// (register waits, pauses after addressed sends) rather than loopback ones;
// the next RealPlay punches through with them.
TEST_P(E2eP2p, StopWhilePunchingIsPromptAndTheNextPlayGetsThrough) {
  velmo::p2p_timing() = saved_.p2p();
  ASSERT_GE(RealPlay(handle_, ch(), play_hwnd(ch())), 0);
  ASSERT_TRUE(
      sim_->log().wait_until([](const auto& r) { return r.request.path == "/realtime"; }, 5000));
  // Punching with these pauses takes seconds: no picture yet.
  EXPECT_FALSE(wait_pictures(play(), 1, 300));
  stop_promptly("punching");
  EXPECT_EQ(play().picture_count(), 0u);
  EXPECT_EQ(velmo::p2p_count(), 0u);

  play_until_picture();
  stop_promptly("playing over a path punched with the shipped pauses");
  EXPECT_EQ(velmo::p2p_count(), 0u);
}

TEST_F(E2e, StopIsPromptInEveryState) {
  {
    StubTcpDevice silent(StubTcpDevice::Answers::none);
    rewrite_next_negotiation("RtcpPort", std::to_string(silent.port()));
    ASSERT_GE(RealPlay(handle_, kOwnPeer, play_hwnd(kOwnPeer)), 0);
    ASSERT_TRUE(silent.wait_requests("PLAY", 1, 5000));
    stop_promptly(kOwnPeer, "waiting for the PLAY answer");
  }
  {
    // The reply names the dial-back type, and no device dials.
    rewrite_next_negotiation("ConnectType", "monitor-client-direct");
    const std::size_t from = sim_->log().size();
    ASSERT_GE(RealPlay(handle_, kOwnPeer, play_hwnd(kOwnPeer)), 0);
    ASSERT_TRUE(sim_->log().wait_until([](const auto& r) { return !r.fault.empty(); }, 5000, from));
    EXPECT_FALSE(wait_pictures(play(kOwnPeer), 1, 200));
    EXPECT_GT(channel(kOwnPeer).m_nListenPort, 0);
    stop_promptly(kOwnPeer, "waiting for the device's connection");
  }
  {
    FullListener full;
    rewrite_next_negotiation("RtcpPort", std::to_string(full.port()));
    const std::size_t lost = count_messages(notify(kOwnPeer), NOTIFY_SESSION_LOST);
    ASSERT_GE(RealPlay(handle_, kOwnPeer, play_hwnd(kOwnPeer)), 0);
    // Still connecting: neither a picture nor a loss.
    EXPECT_FALSE(wait_message(notify(kOwnPeer), NOTIFY_SESSION_LOST, lost + 1, 300));
    stop_promptly(kOwnPeer, "connecting");
  }
  // Stopping a stopped channel is harmless.
  EXPECT_EQ(StopRealPlay(handle_, kOwnPeer), 1);

  // Registering with a rendezvous that never answers: punching never ends.
  sim_->p2p().rendezvous().detach();
  const std::size_t heard = sim_->responder(0).received_count();
  ASSERT_GE(RealPlay(handle_, kP2p, play_hwnd(kP2p)), 0);
  ASSERT_TRUE(sim_->responder(0).wait_received(heard + 1, 5000));
  EXPECT_FALSE(wait_pictures(play(kP2p), 1, 150));
  stop_promptly(kP2p, "punching with a silent rendezvous");
  EXPECT_EQ(velmo::p2p_count(), 0u);
}

TEST_F(E2e, SecondRealPlayTakesANewPort) {
  const long p1 = play_until_picture(kDirect, "first RealPlay");
  platform::ScopedHeadlessWindow other(176, 144);
  const long p2 = RealPlay(handle_, kDirect, other.hwnd());
  ASSERT_GE(p2, 0);
  EXPECT_EQ(channel(kDirect).m_nPlayPort, p2);
  EXPECT_EQ(channel(kDirect).m_hPlayWnd, other.hwnd());
  // The first port's stream is closed.
  const auto& frame = source(kDirect)->frames().front().bytes;
  EXPECT_FALSE(
      Play264_InputData(p1 == p2 ? 30 : p1, frame.data(), static_cast<DWORD>(frame.size())));
  EXPECT_TRUE(wait_pictures(other.window(), 1, kFirstPictureMs));
  const std::size_t before = other->messages().size();
  stop_promptly(kDirect, "playing into the second window");
  EXPECT_EQ(other->messages().size(), before);
}

// A second RealPlay while the first session makes its stream: the stream
// takes the port its session was made for.
TEST_F(E2e, PlayAgainWhileTheSessionStartsItsStream) {
  for (int round = 1; round <= 3; ++round) {
    ASSERT_GE(RealPlay(handle_, kDirect, play_hwnd(kDirect)), 0);
    ASSERT_TRUE(log().wait_until(
        [&](const auto& l) { return l.stats(key(kDirect)).plays >= round; }, 10000))
        << round;
  }
  EXPECT_TRUE(wait_pictures(play(kDirect), play(kDirect).picture_count() + 10, 10000));
  EXPECT_EQ(StopRealPlay(handle_, kDirect), 1);
}

TEST_F(E2e, RealPlayAgainWhileConnectingReturnsAtOnce) {
  // The negotiation fails (no such channel) and is retried.
  channel(kNoRoute).m_nReconnectDelay = 200;
  ASSERT_GE(RealPlay(handle_, kNoRoute, play_hwnd(kNoRoute)), 0);
  auto negotiation = [](const orvsim::LoggedRequest& r) { return r.request.path == "/realtime"; };
  ASSERT_TRUE(sim_->log().wait_until(negotiation, 5000));
  // A retry after the one seen.
  ASSERT_TRUE(sim_->log().wait_until(negotiation, 5000, sim_->log().size()));
  const auto t0 = platform::tick_ms64();
  EXPECT_GE(RealPlay(handle_, kNoRoute, play_hwnd(kNoRoute)), 0);
  EXPECT_LT(platform::tick_ms64() - t0, kStopGoalMs);
  stop_promptly(kNoRoute, "retrying the negotiation");
}

TEST_F(E2e, ReleaseWhilePlayingClosesThePlayerStream) {
  const long port = play_until_picture(kDirect, "released while playing");
  ASSERT_GE(port, 0);
  const auto loop = source(kDirect);
  ReleaseMonitClientSDK();
  // The stream is closed and its port free again for the next start.
  const auto& frame = loop->frames().front().bytes;
  EXPECT_FALSE(Play264_InputData(port, frame.data(), static_cast<DWORD>(frame.size())));
  const int again = velmo::take_play_port();
  EXPECT_EQ(again, port);
  velmo::release_play_port(again);
}

}  // namespace
}  // namespace e2e
