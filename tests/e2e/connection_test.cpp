// The SDK against the in-process simulator, one connection type per case:
// the simulator negotiates, its devices answer the RTSP dialogue and stream
// real H.264 over the type's own path; and the argument guards.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "media/p2p_registry.h"
#include "peers.h"
#include "platform/clock.h"
#include "velmosdk.h"
#include "velmosdk_live.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// "<random>-<session>", the session printed signed, as the client does.
std::string url_tokens(const orvsim::Negotiation& n) {
  return n.random + "-" + std::to_string(static_cast<std::int32_t>(n.session));
}

TEST_P(E2eLive, PlaysRecordsCapturesMeasuresAndStops) {
  const long port = play_until_picture();
  ASSERT_GE(port, 0);
  EXPECT_TRUE(wait_message(notify(), NOTIFY_STREAM_START, 1, 2000));
  const auto loop = source(ch());
  ASSERT_TRUE(loop) << "no negotiation of " << key().text() << " at the device";

  // One PLAY (none resent once answered) at the session URL of the
  // negotiation, announcing the type's stream path.
  ASSERT_EQ(count_requests(log(), key(), "PLAY"), 1u);
  std::string play_head;
  for (const auto& r : log().requests())
    if (r.key == key() && r.request.method == "PLAY") play_head = r.request.head;
  const auto negotiations = sim_->devices().negotiations();
  ASSERT_FALSE(negotiations.empty());
  const std::string tokens = url_tokens(negotiations.back());
  EXPECT_TRUE(play_head.starts_with("PLAY rtsp://127.0.0.1:")) << play_head;
  EXPECT_NE(play_head.find("/" + tokens + ".264 RTSP/1.0\r\n"), std::string::npos) << play_head;
  std::string transport;
  switch (ch()) {
    case kDirect:
      transport = "ip=; port=0; protocol=tcp";
      EXPECT_TRUE(play_head.starts_with("PLAY rtsp://" +
                                        sim_->devices().listener_address(key())->text() + "/"))
          << play_head;
      break;
    case kDialBack:
      // The stream connection is announced at the client's listener.
      transport = "ip=127.0.0.1; port=" + std::to_string(channel(kDialBack).m_nListenPort) +
                  "; protocol=tcp";
      break;
    case kRelay:
      transport = "ip=; port=0; protocol=tcp";
      EXPECT_TRUE(
          play_head.starts_with("PLAY rtsp://" + sim_->devices().relay_address().text() + "/"))
          << play_head;
      break;
    default:
      break;
  }
  if (!transport.empty()) {
    EXPECT_NE(play_head.find("\r\nTransport: " + transport + "\r\n"), std::string::npos)
        << play_head;
  }

  // Pictures keep coming, decoded from the device's frames.
  EXPECT_TRUE(wait_pictures(play(), 10, 5000));
  const auto picture = play().last_picture();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, loop->format().width);
  EXPECT_EQ(picture->height, loop->format().height);

  // Two recordings into one file: appended, each part from a type-1 frame,
  // every frame one the device sent, the player indexing each of them.
  const fs::path rec = dir_ / "live.264";
  record(rec, 8);
  const auto first = check_record(rec, loop.get());
  ASSERT_TRUE(first.whole) << first.error;
  ASSERT_GT(first.frames, 0u);
  EXPECT_EQ(first.first_type, 1);
  EXPECT_EQ(first.numbering_gaps, 0u);
  EXPECT_EQ(first.foreign_frames, 0u);
  record(rec, 4);
  const auto both = check_record(rec, loop.get());
  ASSERT_TRUE(both.whole) << both.error;
  EXPECT_GT(both.frames, first.frames);
  EXPECT_GE(both.type1_starts, first.type1_starts + 1);
  EXPECT_EQ(both.foreign_frames, 0u);
  EXPECT_EQ(player_frame_count(rec, 31), static_cast<long>(both.frames));

  // A captured picture: a bitmap of the stream's size.
  const fs::path bmp = dir_ / "snap.bmp";
  EXPECT_EQ(CapturePicture(static_cast<int>(port), bmp.wstring().c_str()), 1);
  ASSERT_TRUE(wait_file(bmp, 54, 3000));
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
  const std::size_t shown = play().picture_count();
  EXPECT_TRUE(wait_pictures(play(), shown + loop->format().fps + 3, 5000));
  const int rate = _GetBitRate(handle_, ch());
  const double expected = loop_kbits_per_second(*loop);
  std::cout << "[ measure  ] " << type() << ": bit rate " << rate << " kbit/s, stream " << expected
            << " kbit/s\n";
  if (tcp()) {
    EXPECT_GT(rate, expected * 0.6);
    EXPECT_LT(rate, expected * 1.5);
  } else {
    EXPECT_EQ(rate, 0);
  }
  // The stream counters count on every transport: the frames and bytes are
  // the ones the device sent (bar the few on the way or not yet logged).
  unsigned long long frames = 0, bytes = 0;
  EXPECT_EQ(GetStreamCounters(handle_, ch(), &frames, &bytes), 1);
  const auto sent = log().stats(key());
  EXPECT_GT(frames, 0u);
  EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(sent.frames), 5);
  EXPECT_NEAR(static_cast<double>(bytes), static_cast<double>(sent.bytes),
              static_cast<double>(sent.bytes) * 0.1 + 4096);

  // PTZ: tilt up at speed 0x20 to camera 1 (protocol 25, the default
  // decoder), as hex text to the session URL; nothing travels over P2P.
  if (tcp()) {
    EXPECT_EQ(PtzControl(handle_, ch(), 21, 0x20, 0, 0, 0), 1);
    ASSERT_TRUE(log().wait_until([](const auto& l) { return !l.ptz().empty(); }, 3000));
    const auto ptz = log().ptz().front();
    EXPECT_EQ(ptz.key, key());
    EXPECT_EQ(ptz.body, "command: ptz-control\r\nchan: " + std::to_string(ch()) +
                            "\r\nlength: 14\r\ncontent: ff010008002029");
    EXPECT_TRUE(ptz.ptz.valid) << ptz.body;
    EXPECT_TRUE(play_head.starts_with("PLAY " + ptz.url + " RTSP/1.0\r\n")) << ptz.url;
  } else {
    EXPECT_EQ(PtzControl(handle_, ch(), 21, 0x20, 0, 0, 0), 0);
    EXPECT_EQ(log().stats(key()).set_parameters, 0);
  }

  // The session names its type; a playing channel is not negotiated again.
  char kind[40] = {};
  EXPECT_EQ(GetConnectType(handle_, ch(), kind, sizeof kind), 1);
  EXPECT_STREQ(kind, type());
  NegotiatedTarget target;
  EXPECT_EQ(NegotiateChannel(handle_, ch(), 2, target), 0);

  stop_promptly("playing");
  EXPECT_EQ(_GetBitRate(handle_, ch()), 0);
  EXPECT_EQ(GetStreamCounters(handle_, ch(), &frames, &bytes), 0);
  EXPECT_EQ(GetConnectType(handle_, ch(), kind, sizeof kind), 0);
  if (tcp()) {
    EXPECT_TRUE(
        log().wait_until([&](const auto& l) { return l.stats(key()).teardowns >= 1; }, 2000));
  } else {
    EXPECT_EQ(velmo::p2p_count(), 0u);  // the punched path was released
  }
}

// A session id above 2^31 goes into the URLs as a signed number.
TEST_F(E2e, LargeSessionIdIsPrintedSigned) {
  StubTcpDevice device(StubTcpDevice::Answers::play);
  rewrite_next_negotiation("RtcpPort", std::to_string(device.port()));
  ASSERT_GE(RealPlay(handle_, kOwnPeer, play_hwnd(kOwnPeer)), 0);
  ASSERT_TRUE(device.wait_requests("PLAY", 1, 5000));
  const std::string url =
      "rtsp://127.0.0.1:" + std::to_string(device.port()) + "/r4--294967296.264";
  EXPECT_TRUE(device.requests().front().starts_with("PLAY " + url + " RTSP/1.0\r\n"))
      << device.requests().front();
  EXPECT_EQ(PtzControl(handle_, kOwnPeer, 21, 0x20, 0, 0, 0), 1);
  ASSERT_TRUE(device.wait_requests("SET_PARAMETER", 1, 2000));
  EXPECT_TRUE(device.requests().back().starts_with("SET_PARAMETER " + url + " RTSP/1.0\r\n"))
      << device.requests().back();
  stop_promptly(kOwnPeer, "waiting for the first frame");
}

// A P2P device that never answers PLAY: the datagram is resent, then the
// channel negotiates again without P2P and plays through the relay.
TEST_F(E2e, UnansweredUdpPlayIsResentThenTheChannelAsksForAnotherPath) {
  MuteP2pDevice mute;
  rewrite_next_negotiation("Port", std::to_string(mute.server_port()));
  // Rounds of TimeOut / 5 = 60 ms.
  write_udp_settings("<Cfg><Rtcp><TimeOut>300</TimeOut></Rtcp></Cfg>");
  play_until_picture(kP2p, "fallback from P2P to the relay");
  EXPECT_EQ(mute.plays_received(), 6u);  // the first and five resends
  std::vector<std::string> negotiations;
  for (const auto& r : sim_->log().entries())
    if (r.request.path == "/realtime") negotiations.push_back(r.request.query);
  ASSERT_GE(negotiations.size(), 2u);
  EXPECT_EQ(negotiations[0].find("p2p-open=false"), std::string::npos) << negotiations[0];
  EXPECT_NE(negotiations[1].find("p2p-open=false"), std::string::npos) << negotiations[1];
  EXPECT_EQ(count_requests(log(), key(kP2p), "PLAY"), 1u);  // at the relay's device
  EXPECT_EQ(velmo::p2p_count(), 0u);
  stop_promptly(kP2p, "playing through the relay");
}

TEST_F(E2e, GuardsAndCallsWithoutSession) {
  platform::ScopedHeadlessWindow w;
  EXPECT_EQ(RealPlay(16, 0, w.hwnd()), -1);
  EXPECT_EQ(RealPlay(handle_, 6, w.hwnd()), -1);
  EXPECT_EQ(RealPlay(-1, 0, w.hwnd()), -1);
  EXPECT_EQ(StopRealPlay(16, 0), 0);
  EXPECT_EQ(StopRealPlay(handle_, 6), 0);
  EXPECT_EQ(PtzControl(handle_, 0, 21, 1, 0, 0, 0), 0);
  EXPECT_EQ(_GetBitRate(handle_, 0), 0);
  EXPECT_EQ(StartLocalRecord(handle_, 0, nullptr), 0);
  EXPECT_EQ(StartLocalRecord(handle_, 0, L""), 0);
  const std::wstring later = (dir_ / "later.264").wstring();
  EXPECT_EQ(StartLocalRecord(handle_, 0, later.c_str()), 1);  // kept for the session
  EXPECT_EQ(channel(0).m_strRecordFile, later);
  EXPECT_EQ(StopLoacalRecord(handle_, 0), 0);
  EXPECT_TRUE(channel(0).m_strRecordFile.empty());
  const std::wstring bmp = (dir_ / "x.bmp").wstring();
  EXPECT_EQ(CapturePicture(-1, bmp.c_str()), 0);
  EXPECT_EQ(CapturePicture(bmp.c_str(), 0), 0);  // no stream on port 0
  EXPECT_EQ(CapturePicture(0, nullptr), 0);
  // No window at all: -1 and no port taken.
  platform::ScopedHeadlessWindow gone;
  const HWND dead = gone.hwnd();
  gone.destroy();
  EXPECT_EQ(RealPlay(handle_, 1, dead), -1);
  EXPECT_EQ(channel(1).m_nPlayPort, -1);
  EXPECT_TRUE(sim_->devices().negotiations().empty());
}

}  // namespace
}  // namespace e2e
