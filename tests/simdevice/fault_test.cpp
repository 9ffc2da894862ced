// Every media fault a test can ask of a device, seen on the wire.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "random_drops.h"
#include "udp_peer.h"

namespace {

using namespace simdevice;
using orvsim::MediaFault;

// Records until one satisfies `match`; nullopt when none comes in `limit` records.
template <typename Match>
std::optional<Record> find_record(Conn& stream, Match match, int limit = 50) {
  for (int i = 0; i < limit; ++i) {
    auto r = read_record(stream);
    if (!r) return std::nullopt;
    if (match(*r)) return r;
  }
  return std::nullopt;
}

TEST_F(SimDeviceTest, TcpFrameFaultsAreSentAsAskedAndTheStreamGoesOn) {
  Conn control, stream;
  ConnectInfo info;
  TcpPlay answer;
  play_tcp(0, control, stream, info, answer);
  if (HasFatalFailure()) return;
  H264Check decoder;
  expect_frames(stream, 3, decoder);

  devices().inject(kI2c, 0, MediaFault::no_signature);
  auto bad = find_record(stream, [](const Record& r) { return r.signature != kSignature; });
  ASSERT_TRUE(bad);
  // Whole headers of data: a reader trying every next 24 bytes finds the next frame.
  EXPECT_EQ(bad->data_length % 24, 0u);
  auto next = read_record(stream);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->signature, kSignature);
  EXPECT_EQ(next->number, bad->number + 1);

  devices().inject(kI2c, 0, MediaFault::oversized_frame);
  auto big = find_record(stream, [](const Record& r) { return r.data_length > 131048; });
  ASSERT_TRUE(big);
  EXPECT_EQ(big->signature, kSignature);
  EXPECT_EQ(big->data_length % 24, 0u);
  ASSERT_TRUE(stream.read_exact(big->data_length));
  next = read_record(stream);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->signature, kSignature);
  EXPECT_EQ(next->number, big->number + 1);

  devices().inject(kI2c, 0, MediaFault::stop_sending);
  // What was in flight drains, then nothing: no frames and no heart beats.
  while (read_record(stream, 131048, 300)) {
  }
  control.drop_buffer();
  while (control.read_exact(8, 300)) {
  }
  EXPECT_TRUE(stream.quiet_for(500));
  EXPECT_TRUE(control.quiet_for(500));
  std::uint32_t last = next->number;
  devices().inject(kI2c, 0, MediaFault::resume_sending);
  auto resumed = read_record(stream, 131048, 2000);
  ASSERT_TRUE(resumed);
  EXPECT_GT(resumed->number, last);

  devices().inject(kI2c, 0, MediaFault::close_stream);
  EXPECT_TRUE(stream.closed_within(3000));
  auto faults = devices().log().stats(key(0)).faults;
  EXPECT_EQ(faults, (std::vector<std::string>{"frame without signature", "frame over the limit",
                                              "close stream"}));
}

TEST_F(SimDeviceTest, CloseControlFaultEndsTheSession) {
  Conn control, stream;
  ConnectInfo info;
  TcpPlay answer;
  play_tcp(2, control, stream, info, answer);  // through the relay: both ends close
  if (HasFatalFailure()) return;
  H264Check decoder;
  expect_frames(stream, 2, decoder);
  devices().inject(kI2c, 2, MediaFault::close_control);
  EXPECT_TRUE(control.closed_within(3000));
  EXPECT_TRUE(stream.closed_within(3000));
}

TEST_F(SimDeviceTest, RandomDropsHitOnlyStreamingChannelsAndLeaveNothingPending) {
  Conn control, stream;
  ConnectInfo info;
  TcpPlay answer;
  play_tcp(0, control, stream, info, answer);
  if (HasFatalFailure()) return;
  H264Check decoder;
  expect_frames(stream, 2, decoder);
  // Queued for a channel nobody plays, so only a drop could have taken it.
  devices().inject(kI2c, 1, MediaFault::close_stream);
  orvsim::RandomDrops drops(devices(), sim_->fleet(), {.gap_ms = 20, .seed = 7});
  ASSERT_TRUE(drops.start());
  EXPECT_TRUE(devices().log().wait_until(
      [&](const orvsim::DeviceLog& log) { return !log.stats(key(0)).faults.empty(); }, 5000));
  EXPECT_TRUE(stream.closed_within(3000) || control.closed_within(3000));
  drops.stop();
  EXPECT_GE(drops.drops(), 1);
  EXPECT_EQ(drops.damaged(), 0);
  for (int ch = 1; ch <= 4; ++ch) EXPECT_TRUE(devices().log().stats(key(ch)).faults.empty()) << ch;
  EXPECT_FALSE(devices().faults().take(key(1), MediaFault::close_stream));
}

struct FrameSlices {
  std::uint16_t count = 0;
  std::vector<std::uint16_t> order;  // indices in arrival order
};

std::map<std::uint32_t, FrameSlices> by_frame(const std::vector<Slice>& slices,
                                              std::uint32_t magic) {
  std::map<std::uint32_t, FrameSlices> out;
  for (const auto& s : slices) {
    if (s.magic != magic) continue;
    out[s.frame].count = s.count;
    out[s.frame].order.push_back(s.index);
  }
  return out;
}

TEST_F(SimDeviceUdpTest, SliceFaultsAreSentAsAsked) {
  UdpClient client;
  serve(client, "f3", 99);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(client.play("f3", 99));
  ASSERT_TRUE(client.punch());
  ASSERT_EQ(client.collect(3, 3000).frames.size(), 3u);
  const auto magic = std::uint32_t(client.answer.magic);

  devices().inject(kI2c, 3, MediaFault::foreign_magic);
  auto r = client.collect(8, 3000);
  EXPECT_EQ(r.frames.size(), 8u) << "a foreign slice must not break the frame it sits in";
  int foreign = 0;
  for (const auto& s : r.slices) foreign += s.magic != magic;
  EXPECT_EQ(foreign, 1);

  // Only frames of two slices or more can show these two; an IDR comes every second.
  devices().inject(kI2c, 3, MediaFault::slices_out_of_order);
  r = client.collect(30, 3000);
  bool reversed = false;
  for (const auto& [n, f] : by_frame(r.slices, magic))
    reversed |= f.count >= 2 && f.order.front() == f.count - 1 && f.order.back() == 0;
  EXPECT_TRUE(reversed);

  devices().inject(kI2c, 3, MediaFault::slice_missing);
  r = client.collect(30, 3000);
  int incomplete = 0;
  for (const auto& [n, f] : by_frame(r.slices, magic))
    incomplete += std::set<std::uint16_t>(f.order.begin(), f.order.end()).size() < f.count &&
                  n != by_frame(r.slices, magic).rbegin()->first;
  EXPECT_EQ(incomplete, 1);

  devices().inject(kI2c, 3, MediaFault::oversized_frame);
  r = client.collect(8, 3000);
  int big = 0;
  for (const auto& [n, f] : by_frame(r.slices, magic)) big += f.count > 128;
  EXPECT_EQ(big, 1);

  devices().inject(kI2c, 3, MediaFault::no_signature);
  r = client.collect(8, 3000);
  int unsigned_frames = 0;
  for (const auto& f : r.frames) unsigned_frames += u32(f, 8) != kSignature;
  EXPECT_EQ(unsigned_frames, 1);

  devices().inject(kI2c, 3, MediaFault::stop_sending);
  client.collect(100, 300);  // what was in flight
  EXPECT_EQ(client.collect(1, 600).frames.size(), 0u);
  devices().inject(kI2c, 3, MediaFault::resume_sending);
  EXPECT_EQ(client.collect(3, 3000).frames.size(), 3u);

  devices().inject(kI2c, 3, MediaFault::close_stream);
  client.collect(100, 300);
  EXPECT_EQ(client.collect(1, 600).frames.size(), 0u);
}

TEST_F(SimDeviceUdpTest, CloseControlFaultSilencesThePath) {
  UdpClient client;
  serve(client, "c3", 5);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(client.play("c3", 5));
  ASSERT_TRUE(client.punch());
  ASSERT_EQ(client.collect(2, 3000).frames.size(), 2u);
  devices().inject(kI2c, 3, MediaFault::close_control);
  client.collect(100, 300);
  EXPECT_EQ(client.collect(1, 600).frames.size(), 0u);
  send_datagram(client.control.get(), beat(false, 5), client.device);
  bool answered = false;
  for (int i = 0; i < 5; ++i) {
    auto got = recv_datagram(client.control.get(), 100);
    answered |= got && got->size() == 8 && be32(got->data()) == 0x106;
  }
  EXPECT_FALSE(answered);
}

}  // namespace
