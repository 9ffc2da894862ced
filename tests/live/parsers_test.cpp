// The pure readers of the media path: TCP records, UDP slices and the RTSP
// answers, fed the way a network cuts them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "media/rtsp_answer.h"
#include "media/slice_assembler.h"
#include "media/tcp_record_reader.h"
#include "teststream/teststream.h"

namespace velmo::media {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes frame(std::uint32_t number, bool idr, std::size_t len1, std::size_t len2 = 0) {
  Bytes out;
  teststream::append_header(out, number, idr, 25, static_cast<std::uint32_t>(len1),
                            static_cast<std::uint32_t>(len2));
  for (std::size_t i = 0; i < len1 + len2; ++i)
    out.push_back(static_cast<std::uint8_t>(number + i));
  return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::vector<Bytes> read_all(TcpRecordReader& r, const Bytes& stream, std::size_t chunk) {
  std::vector<Bytes> frames;
  for (std::size_t i = 0; i < stream.size(); i += chunk) {
    const std::size_t n = std::min(chunk, stream.size() - i);
    r.feed({stream.data() + i, n}, [&](auto f) {
      frames.emplace_back(f.begin(), f.end());
      return true;
    });
  }
  return frames;
}

TEST(LiveTcpRecord, FramesSurviveAnySplit) {
  const Bytes a = frame(1, true, 5000, 40), b = frame(2, false, 700), c = frame(3, false, 1);
  const Bytes stream = concat({a, b, c});
  for (std::size_t chunk :
       {std::size_t{1}, std::size_t{7}, std::size_t{24}, std::size_t{1000}, stream.size()}) {
    TcpRecordReader r;
    const auto frames = read_all(r, stream, chunk);
    ASSERT_EQ(frames.size(), 3u) << chunk;
    EXPECT_EQ(frames[0], a);
    EXPECT_EQ(frames[1], b);
    EXPECT_EQ(frames[2], c);
  }
}

TEST(LiveTcpRecord, HeaderWithoutSignatureIsSkipped) {
  Bytes junk = frame(9, true, 0);
  junk[8] ^= 0xFF;  // signature broken: the next 24 bytes are tried
  const Bytes good = frame(10, true, 100);
  TcpRecordReader r;
  const auto frames = read_all(r, concat({junk, good}), 5);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], good);
  EXPECT_EQ(r.dropped_headers(), 1u);
}

TEST(LiveTcpRecord, LengthLimitIsTheFrameBuffer) {
  // A header asking for more than 128 KiB less the header is dropped and the
  // next 24 bytes are read as a header.
  Bytes big;
  teststream::append_header(big, 1, true, 25, static_cast<std::uint32_t>(kMaxFrameData) + 1, 0);
  const Bytes fits = frame(2, true, kMaxFrameData);
  TcpRecordReader r;
  const auto frames = read_all(r, concat({big, fits}), 4096);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].size(), kMaxFrameSize);
  // Two lengths that overflow 32 bits together are refused too.
  Bytes wrap;
  teststream::append_header(wrap, 3, true, 25, 0xFFFFFFF0u, 0x20u);
  TcpRecordReader r2;
  EXPECT_TRUE(read_all(r2, concat({wrap, frame(4, true, 3)}), 24).size() == 1);
}

TEST(LiveTcpRecord, StalledFrameIsDroppedAndReadingResumes) {
  const Bytes a = frame(1, true, 300);
  TcpRecordReader r;
  std::vector<Bytes> frames;
  auto sink = [&](auto f) {
    frames.emplace_back(f.begin(), f.end());
    return true;
  };
  r.feed({a.data(), 100}, sink);
  EXPECT_TRUE(r.in_data_phase());
  r.drop_partial();
  const Bytes b = frame(2, false, 10);
  r.feed(b, sink);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], b);
  EXPECT_EQ(r.dropped_partials(), 1u);
}

TEST(LiveTcpRecord, RefusingSinkStopsTheFeed) {
  const Bytes stream = concat({frame(1, true, 10), frame(2, false, 10)});
  TcpRecordReader r;
  int calls = 0;
  EXPECT_FALSE(r.feed(stream, [&](auto) { return ++calls > 5; }));
  EXPECT_EQ(calls, 1);
}

// ---- UDP slices ----

Bytes slice(std::uint32_t magic, std::uint32_t number, std::uint16_t count, std::uint16_t index,
            const Bytes& frame_bytes) {
  Bytes d = {static_cast<std::uint8_t>(magic >> 24),  static_cast<std::uint8_t>(magic >> 16),
             static_cast<std::uint8_t>(magic >> 8),   static_cast<std::uint8_t>(magic),
             static_cast<std::uint8_t>(number >> 24), static_cast<std::uint8_t>(number >> 16),
             static_cast<std::uint8_t>(number >> 8),  static_cast<std::uint8_t>(number),
             static_cast<std::uint8_t>(count >> 8),   static_cast<std::uint8_t>(count),
             static_cast<std::uint8_t>(index >> 8),   static_cast<std::uint8_t>(index)};
  const std::size_t from = std::size_t{index} * kSliceData;
  const std::size_t to = std::min(frame_bytes.size(), from + kSliceData);
  if (from < to) d.insert(d.end(), frame_bytes.begin() + from, frame_bytes.begin() + to);
  return d;
}

std::vector<Bytes> slices(std::uint32_t magic, std::uint32_t number, const Bytes& f) {
  const auto count = static_cast<std::uint16_t>((f.size() + kSliceData - 1) / kSliceData);
  std::vector<Bytes> out;
  for (std::uint16_t i = 0; i < count; ++i) out.push_back(slice(magic, number, count, i, f));
  return out;
}

using R = SliceAssembler::Result;

TEST(LiveSlices, OutOfOrderFrameCompletesOnce) {
  const Bytes f = frame(5, true, 2500);
  const auto s = slices(77, 5, f);
  ASSERT_EQ(s.size(), 3u);
  SliceAssembler a(77);
  EXPECT_EQ(a.feed(s[2]), R::partial);
  EXPECT_EQ(a.feed(s[0]), R::partial);
  EXPECT_EQ(a.feed(s[1]), R::complete);
  EXPECT_EQ(Bytes(a.frame().begin(), a.frame().end()), f);
  EXPECT_EQ(a.feed(s[1]), R::duplicate);
  EXPECT_EQ(a.feed(s[0]), R::duplicate);
}

TEST(LiveSlices, NewFrameAbandonsIncompleteOne) {
  const auto s7 = slices(1, 7, frame(7, true, 2500));
  const Bytes f8 = frame(8, false, 1500);
  const auto s8 = slices(1, 8, f8);
  SliceAssembler a(1);
  a.feed(s7[0]);
  a.feed(s7[1]);
  EXPECT_EQ(a.feed(s8[1]), R::partial);  // frame 7 lacks a slice: abandoned
  EXPECT_EQ(a.abandoned(), 1u);
  EXPECT_EQ(a.feed(s7[2]), R::partial);  // starts frame 7 again, alone
  EXPECT_EQ(a.feed(s8[0]), R::partial);  // and frame 8 starts over
  EXPECT_EQ(a.feed(s8[1]), R::complete);
  EXPECT_EQ(Bytes(a.frame().begin(), a.frame().end()), f8);
}

TEST(LiveSlices, ForeignMagicLeavesFrameAlone) {
  const Bytes f = frame(3, true, 1500);
  const auto s = slices(0xA1B2C3D4u, 3, f);
  SliceAssembler a(0xA1B2C3D4u);
  EXPECT_EQ(a.feed(s[0]), R::partial);
  EXPECT_EQ(a.feed(slice(0xA1B2C3D5u, 4, 1, 0, frame(4, true, 10))), R::foreign);
  EXPECT_EQ(a.feed(s[1]), R::complete);
}

TEST(LiveSlices, OneSliceFrameIsCompleteAtOnce) {
  const Bytes f = frame(1, true, 100);
  SliceAssembler a(9);
  EXPECT_EQ(a.feed(slices(9, 1, f)[0]), R::complete);
  EXPECT_EQ(a.frame().size(), f.size());
}

TEST(LiveSlices, SliceCountCannotAskForMoreThanTheFrameLimit) {
  SliceAssembler a(9);
  const Bytes tiny = {1, 2, 3};
  EXPECT_EQ(a.feed(slice(9, 1, kMaxSlices + 1, 0, tiny)), R::refused);
  EXPECT_EQ(a.feed(slice(9, 1, 0xFFFF, 3, tiny)), R::refused);
  EXPECT_EQ(a.buffer_capacity(), 10 * kSliceData);
  EXPECT_EQ(a.feed(slice(9, 1, 3, 3, tiny)), R::refused);  // index past the count
  // Key frames of D1 and 720p streams go past 128 KiB; the largest allowed
  // frame assembles too.
  std::uint32_t number = 2;
  for (const std::size_t total : {kMaxFrameSize + 1, std::size_t{600} << 10, kMaxUdpFrameSize}) {
    SCOPED_TRACE(total);
    const Bytes f = frame(number, true, total - kFrameHeaderSize);
    const auto s = slices(9, number++, f);
    R last = R::partial;
    for (const auto& d : s) last = a.feed(d);
    EXPECT_EQ(last, R::complete);
    EXPECT_EQ(a.frame().size(), total);
  }
}

TEST(LiveSlices, UnusableFramesAreDropped) {
  Bytes unsigned_frame = frame(1, true, 100);
  unsigned_frame[8] = 0;
  SliceAssembler a(9);
  EXPECT_EQ(a.feed(slices(9, 1, unsigned_frame)[0]), R::invalid);
  // A header claiming more data than its slices brought.
  Bytes longer = frame(2, true, 100);
  longer.resize(60);
  EXPECT_EQ(a.feed(slices(9, 2, longer)[0]), R::invalid);
  EXPECT_EQ(a.feed(Bytes{1, 2, 3}), R::short_datagram);
  // A header without data is skipped as the TCP reader does; not an end.
  EXPECT_EQ(a.feed(slices(9, 3, frame(3, true, 0))[0]), R::empty);
  EXPECT_EQ(a.feed(slices(9, 4, frame(4, false, 10))[0]), R::complete);
}

TEST(LiveSlices, RandomDatagramsNeverEscapeTheBuffer) {
  std::mt19937 rng(7);
  SliceAssembler a(1);
  for (int i = 0; i < 20000; ++i) {
    Bytes d(rng() % 1100);
    for (auto& b : d) b = static_cast<std::uint8_t>(rng());
    if (d.size() >= 4) d[0] = d[1] = d[2] = 0, d[3] = 1;
    if (a.feed(d) == R::complete) {
      EXPECT_LE(a.frame().size(), kMaxUdpFrameSize);
    }
  }
}

// ---- RTSP answers ----

TEST(LiveRtspAnswer, TcpPlayAnswer) {
  const std::string h =
      "RTSP/1.0 200 OK\r\nCSeq: 4\r\nTransport: ip=10.0.0.2; port=6001; protocol=tcp\r\n"
      "RTP-Info: magic=305419896; session-id=4000000000\r\n\r\n";
  const auto a = parse_tcp_play_answer(h);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->stream_port, 6001);
  EXPECT_EQ(a->magic, 305419896u);
  EXPECT_EQ(a->stream_session, 4000000000u);
}

TEST(LiveRtspAnswer, TcpPlayAnswerRefusals) {
  const std::string info = "RTP-Info: magic=1; session-id=2\r\n\r\n";
  EXPECT_FALSE(parse_tcp_play_answer("RTSP/1.0 404 Not Found\r\nTransport: port=1\r\n" + info));
  EXPECT_FALSE(parse_tcp_play_answer("RTSP/1.0 200 OK\r\n" + info));  // no Transport
  EXPECT_FALSE(parse_tcp_play_answer("RTSP/1.0 200 OK\r\nTransport: port=1\r\n\r\n"));
  EXPECT_FALSE(parse_tcp_play_answer("RTSP/1.0 200 OK\r\nTransport: port=70000\r\n" + info));
  EXPECT_FALSE(parse_tcp_play_answer("RTSP/1.0 200 OK\r\nTransport: port=x\r\n" + info));
  // The value runs to the end of the field when no ';' follows.
  const auto a =
      parse_tcp_play_answer("RTSP/1.0 200 OK\r\nTransport: port=9\r\nRTP-Info: magic=5\r\n\r\n");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->stream_port, 9);
  EXPECT_EQ(a->magic, 5u);
  EXPECT_EQ(a->stream_session, 0u);
  EXPECT_FALSE(parse_tcp_play_answer(""));
  EXPECT_FALSE(parse_tcp_play_answer("RTSP/1.0 2"));
}

TEST(LiveRtspAnswer, FieldsAndParams) {
  const std::string h = "RTSP/1.0 200 OK\r\nXTransport: a\r\nTransport: b=1;c=2\r\n";
  EXPECT_EQ(answer_field(h, "Transport").value(), "a");  // a plain substring search
  EXPECT_FALSE(answer_field(h, "Session"));
  EXPECT_EQ(answer_param("b=1;c=2", "c").value(), "2");
  EXPECT_EQ(answer_param("b=1;c=2", "b").value(), "1");
  EXPECT_FALSE(answer_param("b=1", "d"));
  EXPECT_EQ(answer_status("RTSP/1.0 200 OK"), 200);
  EXPECT_EQ(answer_status("RTSP/1.0 OK"), -1);
  EXPECT_EQ(decimal(" 42abc").value(), 42u);
  EXPECT_FALSE(decimal("abc"));
  EXPECT_EQ(answer_header_end("a\r\n\r\nrest").value(), 5u);
}

TEST(LiveRtspAnswer, UdpPlayAnswer) {
  const std::string t =
      "RTSP/1.0 200 OK\r\nCSeq:2\r\nTransport: ip=1.2.3.4; port=5006; protocol=udp\r\n"
      "RTP-Info: magic=99; session-id=12\r\n\r\n";
  const auto a = parse_udp_play_answer(t);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->device_ip, "1.2.3.4");
  EXPECT_EQ(a->stream_port, 5006);
  EXPECT_EQ(a->magic, 99u);
  EXPECT_EQ(a->stream_session, 12u);
  EXPECT_FALSE(parse_udp_play_answer("RTSP/1.0 200 OK ip=1.2.3.4"));
  EXPECT_FALSE(parse_udp_play_answer("ip=1;"));
  EXPECT_FALSE(parse_udp_play_answer("ip=1; port=5; magic=1"));
}

}  // namespace
}  // namespace velmo::media
