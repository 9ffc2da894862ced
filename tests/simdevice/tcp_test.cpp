// The three TCP connection types end to end on raw sockets: the negotiation
// reply names where the device is, PLAY is answered with the device's
// Transport and RTP-Info, and the stream carries real H.264 in records.
#include <gtest/gtest.h>

#include "fixture.h"

namespace {

using namespace simdevice;

TEST_F(SimDeviceTest, DirectPlayAnswersTransportAndStreamsDecodableH264) {
  Conn control, stream;
  ConnectInfo info;
  TcpPlay answer;
  play_tcp(0, control, stream, info, answer);
  if (HasFatalFailure()) return;
  EXPECT_EQ(info.type, "client-monitor-direct");
  EXPECT_EQ(info.ip, "127.0.0.1");
  ASSERT_TRUE(devices().listener_address(key(0)));
  EXPECT_EQ(info.port, devices().listener_address(key(0))->port);
  EXPECT_GT(answer.magic, 0);
  EXPECT_GT(answer.stream_session, 0);
  EXPECT_EQ(field(answer.head, "Session"), std::to_string(info.session));

  H264Check decoder;
  ASSERT_TRUE(decoder.ok());
  const std::uint64_t start = platform::tick_ms64();
  std::uint32_t last = 0;
  expect_frames(stream, 30, decoder, &last);
  const std::uint64_t elapsed = platform::tick_ms64() - start;
  EXPECT_GE(decoder.pictures(), 28);
  EXPECT_EQ(decoder.width(), 176);
  EXPECT_EQ(decoder.height(), 144);
  // 30 frames at 25 fps are paced over about 1.2 s, not sent in a burst.
  EXPECT_GE(elapsed, 900u);

  // The device's heart beats arrive on the control connection; ours are answered.
  auto beat = control.read_exact(8, 2000);
  ASSERT_TRUE(beat);
  EXPECT_EQ(be32(reinterpret_cast<const std::uint8_t*>(beat->data())), 0x105u);
  EXPECT_EQ(be32(reinterpret_cast<const std::uint8_t*>(beat->data()) + 4), info.session);

  const std::string body =
      "command: ptz-control\r\nchan: 0\r\nlength: 14\r\ncontent: FF010008003F48";
  ASSERT_TRUE(control.send(set_parameter(info.url(), body)));
  ASSERT_TRUE(devices().log().wait_until([](const auto& l) { return l.ptz().size() == 1; }, 3000));
  auto ptz = devices().log().ptz().front();
  EXPECT_EQ(ptz.body, body);
  EXPECT_TRUE(ptz.ptz.valid);
  EXPECT_EQ(ptz.key.channel, 0);
  EXPECT_EQ(ptz.url, info.url());

  ASSERT_TRUE(control.send(teardown(info.url(), info.session)));
  EXPECT_TRUE(stream.closed_within(3000));
  EXPECT_TRUE(devices().log().wait_until(
      [&](const auto& l) { return l.stats(key(0)).teardowns == 1; }, 3000));
  auto requests = devices().log().requests();
  ASSERT_GE(requests.size(), 3u);
  EXPECT_EQ(requests[0].request.method, "PLAY");
  EXPECT_EQ(requests[0].status, 200);
  EXPECT_EQ(requests[0].request.field("Transport") ? *requests[0].request.field("Transport") : "",
            "ip=0.0.0.0; port=0; protocol=tcp");
}

TEST_F(SimDeviceTest, PlayWithoutANegotiationOrMalformedIsRefused) {
  ConnectInfo info = negotiate(0);
  auto ip = platform::parse_dotted(info.ip);
  ASSERT_TRUE(ip);
  Conn control;
  ASSERT_TRUE(control.connect({*ip, std::uint16_t(info.port)}));
  ConnectInfo forged = info;
  forged.random = "forged";
  ASSERT_TRUE(control.send(tcp_play(forged.url(), info.session, "0.0.0.0", 0)));
  EXPECT_EQ(read_play_answer(control).status, 454);
  // The same connection may still play with the real tokens.
  ASSERT_TRUE(control.send(tcp_play(info.url(), info.session, "0.0.0.0", 0)));
  EXPECT_EQ(read_play_answer(control).status, 200);

  Conn bad;
  ASSERT_TRUE(bad.connect({*ip, std::uint16_t(info.port)}));
  ASSERT_TRUE(bad.send("HELLO\r\n\r\n"));
  auto head = bad.read_head();
  ASSERT_TRUE(head);
  EXPECT_EQ(head->substr(0, 12), "RTSP/1.0 400");
  EXPECT_TRUE(bad.closed_within(2000));
}

TEST_F(SimDeviceTest, ConnectBackDialsTheClientsListenerTwice) {
  platform::Socket listener(platform::tcp_socket());
  ASSERT_TRUE(platform::bind_socket(listener.get(), loopback(0)));
  ASSERT_TRUE(platform::listen_socket(listener.get(), 8));
  const int port = platform::local_address(listener.get())->port;
  ConnectInfo info = negotiate(1, port);
  EXPECT_EQ(info.type, "monitor-client-direct");

  ASSERT_EQ(platform::wait_readable(listener.get(), 5000), 1) << "no control connection";
  Conn control(platform::Socket(platform::accept_socket(listener.get())));
  ASSERT_TRUE(control.socket());
  // The client announces its own address and the listener's port.
  ASSERT_TRUE(control.send(tcp_play(info.url(), info.session, "127.0.0.1", port)));
  TcpPlay answer = read_play_answer(control);
  ASSERT_EQ(answer.status, 200) << answer.head;
  EXPECT_GT(answer.magic, 0);

  ASSERT_EQ(platform::wait_readable(listener.get(), 5000), 1) << "no stream connection";
  Conn stream(platform::Socket(platform::accept_socket(listener.get())));
  ASSERT_TRUE(stream.socket());
  H264Check decoder;
  expect_frames(stream, 10, decoder);
  EXPECT_GE(decoder.pictures(), 8);
  // Two connections only.
  EXPECT_EQ(platform::wait_readable(listener.get(), 300), 0);
}

TEST_F(SimDeviceTest, RelayPairsClientAndDeviceByTheirTokens) {
  Conn control, stream;
  ConnectInfo info;
  TcpPlay answer;
  play_tcp(2, control, stream, info, answer);
  if (HasFatalFailure()) return;
  EXPECT_EQ(info.type, "client-monitor-middle-transfer");
  EXPECT_EQ(info.port, devices().relay_address().port);
  H264Check decoder;
  expect_frames(stream, 10, decoder);
  EXPECT_GE(decoder.pictures(), 8);

  const std::string body = "command: ptz-control\r\nchan: 2\r\nlength: 4\r\ncontent: A0B1";
  ASSERT_TRUE(control.send(set_parameter(info.url(), body)));
  ASSERT_TRUE(devices().log().wait_until([](const auto& l) { return l.ptz().size() == 1; }, 3000));
  EXPECT_EQ(devices().log().ptz().front().key.channel, 2);
  auto stats = devices().relay_stats();
  EXPECT_EQ(stats.control_pairs, 1);
  EXPECT_EQ(stats.stream_pairs, 1);

  // A client whose tokens no device registered gets no device.
  Conn stranger;
  ASSERT_TRUE(stranger.connect(devices().relay_address()));
  ConnectInfo forged = info;
  forged.session += 1;
  ASSERT_TRUE(stranger.send(tcp_play(forged.url(), forged.session, "0.0.0.0", 0)));
  EXPECT_EQ(read_play_answer(stranger).status, 503);
}

TEST_F(SimDeviceTest, SoundAndFrameRateFollowTheChannel) {
  Conn control, stream;
  ConnectInfo info;
  TcpPlay answer;
  play_tcp(4, control, stream, info, answer);
  if (HasFatalFailure()) return;
  auto r = read_record(stream);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->fps, 10u);
  ASSERT_GE(r->sound.size(), 4u);
  // One A-law voice frame: kind 0x0100 little-endian, then its length in words.
  EXPECT_EQ(std::uint8_t(r->sound[0]), 0x00);
  EXPECT_EQ(std::uint8_t(r->sound[1]), 0x01);
}

}  // namespace
