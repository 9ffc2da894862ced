// The frame header and the record-file index on hand-made byte layouts.
#include <gtest/gtest.h>

#include <random>

#include "file_index.h"
#include "frame.h"
#include "teststream/teststream.h"

namespace {

using vidrane::IndexEntry;

std::vector<std::uint8_t> make_frame(std::uint32_t number, bool idr, std::size_t video,
                                     std::size_t sound = 0, int fps = 25) {
  std::vector<std::uint8_t> f;
  teststream::append_header(f, number, idr, fps, static_cast<std::uint32_t>(video),
                            static_cast<std::uint32_t>(sound));
  for (std::size_t i = 0; i < video + sound; ++i) f.push_back(static_cast<std::uint8_t>(i * 7));
  return f;
}

std::vector<IndexEntry> index_of(const std::vector<std::uint8_t>& bytes) {
  vidrane::MemorySource source(bytes);
  std::vector<IndexEntry> out;
  vidrane::scan_frames(
      source, [] { return true; }, [&](const IndexEntry& e) { out.push_back(e); });
  return out;
}

void append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

TEST(VidraneFrame, HeaderFieldsAndRefusals) {
  auto f = make_frame(7, true, 100, 20, 15);
  auto v = vidrane::parse_frame(f);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->header.number, 7u);
  EXPECT_TRUE(v->header.idr);
  EXPECT_EQ(v->header.fps, 15);
  EXPECT_EQ(v->video.size(), 100u);
  EXPECT_EQ(v->sound.size(), 20u);

  // Type 2 or 3 is not an IDR; only bits 0-1 count.
  f[12] = 2;
  EXPECT_FALSE(vidrane::parse_frame(f)->header.idr);
  // One byte short of the second part.
  EXPECT_FALSE(vidrane::parse_frame(std::span(f).first(f.size() - 1)));
  // Without the signature.
  auto bad = f;
  bad[8] ^= 1;
  EXPECT_FALSE(vidrane::parse_frame(bad));
  // Lengths no device sends (and whose sum would wrap 32 bits).
  auto huge = make_frame(1, true, 0);
  huge[19] = 0xFF;
  EXPECT_FALSE(vidrane::parse_header(huge));
  EXPECT_FALSE(vidrane::parse_header(std::span(f).first(23)));
  EXPECT_EQ(vidrane::pacing_fps(0), 25);
  EXPECT_EQ(vidrane::pacing_fps(12), 12);
}

TEST(VidraneIndex, CleanFileGivesEveryFrameInOrder) {
  std::vector<std::uint8_t> file;
  for (int i = 0; i < 10; ++i) append(file, make_frame(i + 1, i % 5 == 0, 50 + i, i % 3));
  auto idx = index_of(file);
  ASSERT_EQ(idx.size(), 10u);
  std::uint64_t offset = 0;
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(idx[i].offset, offset);
    EXPECT_EQ(idx[i].idr, i % 5 == 0);
    offset += idx[i].size;
  }
  EXPECT_EQ(offset, file.size());
}

TEST(VidraneIndex, GarbageBetweenFramesAndTruncatedTailAreSkipped) {
  std::vector<std::uint8_t> file;
  append(file, make_frame(1, true, 40));
  file.insert(file.end(), {1, 2, 3, 0x78, 0x56, 0x34, 0x12, 9});  // garbage, a stray signature
  auto fake = make_frame(99, true, 10000);  // a lone header whose length leads nowhere
  file.insert(file.end(), fake.begin(), fake.begin() + 34);
  append(file, make_frame(2, false, 41));
  file.insert(file.end(), 5000, 0xAB);
  append(file, make_frame(3, false, 42));
  auto last = make_frame(4, false, 500);
  file.insert(file.end(), last.begin(), last.begin() + 300);  // cut short
  auto idx = index_of(file);
  ASSERT_EQ(idx.size(), 3u);
  EXPECT_EQ(idx[0].size, 24u + 40);
  EXPECT_EQ(idx[1].size, 24u + 41);
  EXPECT_EQ(idx[2].size, 24u + 42);
}

TEST(VidraneIndex, FrameCutShortByALaterRecordingIsDropped) {
  // A recording that stopped mid-frame and was appended to later: the cut
  // frame's length runs into the next frames, whose headers win.
  std::vector<std::uint8_t> file;
  append(file, make_frame(1, true, 40));
  auto cut = make_frame(2, false, 4000);
  file.insert(file.end(), cut.begin(), cut.begin() + 100);
  for (int i = 0; i < 5; ++i) append(file, make_frame(10 + i, i == 0, 30));
  auto idx = index_of(file);
  ASSERT_EQ(idx.size(), 6u);
  EXPECT_TRUE(idx[1].idr);
  EXPECT_EQ(idx[1].offset, 24u + 40 + 100);
}

TEST(VidraneIndex, NoFrameAndRandomBytesIndexNothingWithoutFault) {
  EXPECT_TRUE(index_of({}).empty());
  EXPECT_TRUE(index_of(std::vector<std::uint8_t>(23, 0)).empty());
  std::mt19937 rng(7);
  std::vector<std::uint8_t> noise(1 << 16);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  EXPECT_TRUE(index_of(noise).empty());
  // A signature in the last bytes, with no room for a header.
  std::vector<std::uint8_t> tail(30, 0);
  tail[20] = 0x78, tail[21] = 0x56, tail[22] = 0x34, tail[23] = 0x12;
  EXPECT_TRUE(index_of(tail).empty());
}

TEST(VidraneIndex, FramesAcrossReadBlocksAndStopEndsTheScan) {
  // Frames larger than the scanner's 1 MiB window, and garbage spanning it.
  std::vector<std::uint8_t> file;
  append(file, make_frame(1, true, 1500000));
  file.insert(file.end(), 1200000, 0x11);
  append(file, make_frame(2, false, 700000));
  append(file, make_frame(3, false, 10));
  auto idx = index_of(file);
  ASSERT_EQ(idx.size(), 3u);
  EXPECT_EQ(idx[1].offset, 24u + 1500000 + 1200000);

  vidrane::MemorySource source(file);
  int added = 0;
  EXPECT_FALSE(vidrane::scan_frames(
      source, [] { return false; }, [&](const IndexEntry&) { ++added; }));
  EXPECT_LE(added, 2);
}

}  // namespace
