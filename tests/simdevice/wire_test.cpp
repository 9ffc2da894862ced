// The device's reading of the client's requests and the answers it writes,
// checked against request texts as the client formats them and against the
// way the client reads answers.
#include <gtest/gtest.h>

#include "device_rtsp.h"
#include "peer.h"

namespace {

using namespace orvsim;

TEST(SimDeviceWire, ReadsTheClientsTcpPlayWhetherWholeOrSplit) {
  const std::string play =
      simdevice::tcp_play("rtsp://127.0.0.1:7000/abc-def-42.264", 42, "10.0.0.2", 5555) +
      simdevice::teardown("rtsp://127.0.0.1:7000/abc-def-42.264", 42);
  for (std::size_t cut = 0; cut < play.size(); ++cut) {
    auto early = parse_rtsp_request(std::string_view(play).substr(0, cut));
    if (early.status == RtspParse::complete) {
      EXPECT_EQ(early.request.method, "PLAY");
      continue;
    }
    ASSERT_EQ(early.status, RtspParse::incomplete) << "cut at " << cut;
  }
  auto r = parse_rtsp_request(play);
  ASSERT_EQ(r.status, RtspParse::complete);
  EXPECT_EQ(r.request.method, "PLAY");
  EXPECT_EQ(r.request.cseq(), 4);
  ASSERT_NE(r.request.field("user-agent"), nullptr);  // "User-Agent:" without a blank
  EXPECT_EQ(*r.request.field("User-Agent"), "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)");
  auto url = parse_session_url(r.request.url);
  ASSERT_TRUE(url);
  EXPECT_EQ(url->random, "abc-def");  // the session follows the last '-'
  EXPECT_EQ(url->session, 42u);
  EXPECT_EQ(url->port, 7000);
  auto t = parse_transport(*r.request.field("Transport"));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->ip, "10.0.0.2");
  EXPECT_EQ(t->port, 5555);
  EXPECT_EQ(t->protocol, "tcp");
  auto next = parse_rtsp_request(std::string_view(play).substr(r.consumed));
  ASSERT_EQ(next.status, RtspParse::complete);
  EXPECT_EQ(next.request.method, "TEARDOWN");
  EXPECT_EQ(next.request.cseq(), 7);
}

TEST(SimDeviceWire, ReadsUdpPlayAndSetParameterBodies) {
  auto udp = parse_rtsp_request(simdevice::udp_play("1.2.3.4", 900, "rnd", 7, "5.6.7.8", 4000));
  ASSERT_EQ(udp.status, RtspParse::complete);
  EXPECT_EQ(udp.request.cseq(), 2);  // "CSeq:2"
  auto t = parse_transport(*udp.request.field("Transport"));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->protocol, "udp");
  EXPECT_EQ(t->port, 4000);

  const std::string body =
      "command: ptz-control\r\nchan: 2\r\nlength: 14\r\ncontent: FF010008003F48";
  const std::string text = simdevice::set_parameter("rtsp://a:1/r-1.264", body);
  auto split = parse_rtsp_request(std::string_view(text).substr(0, text.size() - 3));
  EXPECT_EQ(split.status, RtspParse::incomplete);  // body not yet complete
  auto r = parse_rtsp_request(text);
  ASSERT_EQ(r.status, RtspParse::complete);
  EXPECT_EQ(r.request.body, body);
  PtzBody ptz = parse_ptz_body(r.request.body);
  EXPECT_TRUE(ptz.valid);
  EXPECT_EQ(ptz.chan, 2);
  EXPECT_EQ(ptz.content, "FF010008003F48");
  EXPECT_EQ(ptz.bytes, (std::vector<std::uint8_t>{0xFF, 0x01, 0x00, 0x08, 0x00, 0x3F, 0x48}));

  EXPECT_FALSE(
      parse_ptz_body("command: ptz-control\r\nchan: 2\r\nlength: 3\r\ncontent: FF01").valid);
  EXPECT_FALSE(parse_ptz_body("command: ptz-control\r\nchan: 2\r\nlength: 2\r\ncontent: ZZ").valid);
  EXPECT_FALSE(parse_ptz_body("").valid);
}

TEST(SimDeviceWire, RefusesMalformedAndOversizedRequests) {
  EXPECT_EQ(parse_rtsp_request("GARBAGE\r\n\r\n").status, RtspParse::bad);
  EXPECT_EQ(parse_rtsp_request("PLAY x HTTP/1.1\r\n\r\n").status, RtspParse::bad);
  EXPECT_EQ(parse_rtsp_request("PLAY x RTSP/1.0\r\nno colon\r\n\r\n").status, RtspParse::bad);
  EXPECT_EQ(parse_rtsp_request("PLAY x RTSP/1.0\r\nContent-Length: -1\r\n\r\n").status,
            RtspParse::bad);
  EXPECT_EQ(parse_rtsp_request("PLAY x RTSP/1.0\r\nContent-Length: 99999999\r\n\r\n").status,
            RtspParse::bad);
  EXPECT_EQ(parse_rtsp_request(std::string(kMaxRtspHead + 1, 'A')).status, RtspParse::bad);
  EXPECT_FALSE(parse_session_url("rtsp://h:1/noext"));
  EXPECT_FALSE(parse_session_url("rtsp://h:1/nodash.264"));
  EXPECT_FALSE(parse_session_url("rtsp://h:99999/a-1.264"));
  EXPECT_FALSE(parse_session_url("http://h:1/a-1.264"));
  // A session above 2^31 as the client prints it: signed.
  const auto big = parse_session_url("rtsp://h:1/r3--294967296.264");
  ASSERT_TRUE(big);
  EXPECT_EQ(big->random, "r3");
  EXPECT_EQ(big->session, 4000000000u);
  EXPECT_FALSE(parse_transport("port=abc"));
  EXPECT_TRUE(parse_transport("ip=; port=0; protocol=tcp"));  // an unbound client socket
}

TEST(SimDeviceWire, PlayAnswerReadsBackTheClientsWayOnBothTransports) {
  PlayAnswer a;
  a.cseq = 2;
  a.ip = "192.168.1.20";
  a.port = 40123;
  a.udp = true;
  a.magic = 0x1234ABCD;
  a.stream_session = 0x2000FFFF;
  auto u = simdevice::parse_udp_answer(rtsp_play_answer(a));
  ASSERT_TRUE(u);
  EXPECT_EQ(u->ip, "192.168.1.20");
  EXPECT_EQ(u->port, 40123);
  EXPECT_EQ(u->magic, 0x1234ABCD);
  EXPECT_EQ(u->session, 0x2000FFFF);

  a.udp = false;
  a.cseq = 4;
  a.session = 99;
  const std::string tcp = rtsp_play_answer(a);
  EXPECT_EQ(tcp.substr(9, 3), "200");
  EXPECT_EQ(simdevice::parameter(simdevice::field(tcp, "Transport"), "port"), 40123);
  EXPECT_EQ(simdevice::parameter(simdevice::field(tcp, "RTP-Info"), "magic"), 0x1234ABCD);
  EXPECT_EQ(simdevice::parameter(simdevice::field(tcp, "RTP-Info"), "session-id"), 0x2000FFFF);
  EXPECT_EQ(simdevice::field(tcp, "Session"), "99");
}

TEST(SimDeviceWire, SlicesCarryMagicNumberCountAndIndexBigEndian) {
  std::vector<std::uint8_t> frame(2500);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = std::uint8_t(i * 7);
  auto slices = slice_frame(frame, 0xA1B2C3D4, 0x01020304);
  ASSERT_EQ(slices.size(), 3u);
  std::vector<std::uint8_t> back;
  for (std::size_t i = 0; i < slices.size(); ++i) {
    const auto& s = slices[i];
    EXPECT_EQ(
        std::vector<std::uint8_t>(s.begin(), s.begin() + 12),
        (std::vector<std::uint8_t>{0xA1, 0xB2, 0xC3, 0xD4, 1, 2, 3, 4, 0, 3, 0, std::uint8_t(i)}));
    back.insert(back.end(), s.begin() + 12, s.end());
  }
  EXPECT_EQ(slices[0].size(), 12u + 1024u);
  EXPECT_EQ(slices[2].size(), 12u + 2500u - 2048u);
  EXPECT_EQ(back, frame);

  EXPECT_EQ(heart_beat_bytes(false, 0x01020304),
            (std::vector<std::uint8_t>{0, 0, 1, 5, 1, 2, 3, 4}));
  auto hb = read_heart_beat(heart_beat_bytes(true, 9));
  ASSERT_TRUE(hb);
  EXPECT_TRUE(hb->back);
  EXPECT_EQ(hb->session, 9u);
  EXPECT_FALSE(read_heart_beat(std::vector<std::uint8_t>{0, 0, 1, 5, 1, 2, 3, 4, 0}));
  auto reg = register_bytes(0x01020304, "abc");
  ASSERT_TRUE(reg);
  EXPECT_EQ(reg->size(), 40u);
  EXPECT_EQ(std::vector<std::uint8_t>(reg->begin(), reg->begin() + 11),
            (std::vector<std::uint8_t>{0, 0, 1, 2, 1, 2, 3, 4, 'a', 'b', 'c'}));
  EXPECT_FALSE(register_bytes(1, std::string(32, 'x')));
}

}  // namespace
