// The record checker on real frames, whole and damaged the ways a writer
// could damage them.
#include "record_scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "teststream/teststream.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::vector<teststream::Frame>& frames() {
  static const auto f = [] {
    teststream::Options o;
    o.width = 176;
    o.height = 144;
    o.gop = 2;
    return teststream::make_frames(o, 3);
  }();
  return f;
}

Bytes join(std::initializer_list<int> which) {
  Bytes out;
  for (int i : which) out.insert(out.end(), frames()[i].bytes.begin(), frames()[i].bytes.end());
  return out;
}

void put_word(Bytes& b, std::size_t at, std::uint32_t v) {
  std::memcpy(b.data() + at, &v, sizeof v);
}

struct Case {
  const char* name;
  std::function<Bytes()> make;
  std::size_t frames;  // when whole
  std::size_t restarts;
  std::string error;  // empty: whole
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class RecordScanTest : public ::testing::TestWithParam<Case> {};

TEST_P(RecordScanTest, ReadsTheFile) {
  ASSERT_EQ(frames().size(), 3u);
  const Case& c = GetParam();
  const auto scan = record::scan_record(c.make());
  EXPECT_EQ(scan.error, c.error);
  EXPECT_EQ(scan.whole, c.error.empty());
  if (c.error.empty()) {
    EXPECT_EQ(scan.frames, c.frames);
    EXPECT_EQ(scan.numbering_restarts, c.restarts);
  }
}

std::size_t second() {
  return frames()[0].bytes.size();
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordScanTest,
    ::testing::Values(
        Case{"Whole",
             [] {
               return join({0, 1, 2});
             },
             3, 0, ""},
        Case{"Empty", [] { return Bytes{}; }, 0, 0, ""},
        // A recording restarted in the same file: numbering starts again.
        Case{"TwoParts",
             [] {
               return join({0, 1, 0, 1});
             },
             4, 1, ""},
        Case{"CutHeader",
             [] {
               auto b = join({0, 1});
               b.resize(second() + 10);
               return b;
             },
             0, 0, "a cut header at byte " + std::to_string(second()) + " (frame 2)"},
        Case{"CutFrame",
             [] {
               auto b = join({0, 1});
               b.pop_back();
               return b;
             },
             0, 0, "a cut frame at byte " + std::to_string(second()) + " (frame 2)"},
        Case{"NoSignature",
             [] {
               auto b = join({0, 1});
               put_word(b, second() + 8, 0);
               return b;
             },
             0, 0, "no frame signature at byte " + std::to_string(second()) + " (frame 2)"},
        Case{"GarbageLength",
             [] {
               auto b = join({0});
               put_word(b, 16, 0xFFFFFF00u);
               return b;
             },
             0, 0, "a frame length past the limit at byte 0 (frame 1)"},
        // A length one byte short puts the next header one byte early.
        Case{"LengthOffByOne",
             [] {
               auto b = join({0, 1});
               put_word(b, 16, static_cast<std::uint32_t>(frames()[0].video_size - 1));
               return b;
             },
             0, 0, "no frame signature at byte " + std::to_string(second() - 1) + " (frame 2)"},
        Case{"NoStartCode",
             [] {
               auto b = join({0});
               b[teststream::kHeaderSize + 2] = 7;
               b[teststream::kHeaderSize + 3] = 7;
               return b;
             },
             0, 0, "a video part without an H.264 start code at byte 0 (frame 1)"},
        Case{"NoKeyFrameFirst",
             [] {
               return join({1, 2});
             },
             0, 0, "a first frame that is no key frame at byte 0 (frame 1)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
