// The decoder queue against the real player: first type-1 frame, recording,
// the bounded queue and the player refusing frames.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "media/decoder.h"
#include "media/frame_format.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "teststream/teststream.h"
#include "velmosdk.h"
#include "vidrane/vidrane.h"

namespace velmo {
namespace {

namespace fs = std::filesystem;

const std::vector<teststream::Frame>& frames() {
  static const auto f = [] {
    teststream::Options o;
    o.width = 176;
    o.height = 144;
    o.gop = 10;
    return teststream::make_frames(o, 40);
  }();
  return f;
}

std::string file_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The frames of a record file, split by their headers.
std::vector<media::FrameHeader> headers_of(const std::string& bytes) {
  std::vector<media::FrameHeader> out;
  std::size_t at = 0;
  while (at + media::kFrameHeaderSize <= bytes.size()) {
    const auto h = media::read_frame_header(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, bytes.size() - at});
    if (!h || !h->signed_ok() || at + h->total() > bytes.size()) break;
    out.push_back(*h);
    at += static_cast<std::size_t>(h->total());
  }
  EXPECT_EQ(at, bytes.size()) << "record file ends inside a frame";
  return out;
}

class LiveDecoder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Play264_OpenStream(kPort, nullptr, 0, 0x10000));
    ASSERT_TRUE(Play264_Play(kPort, window_.hwnd()));
    // Named by the test too: CTest runs the cases side by side.
    dir_ = fs::temp_directory_path() /
           ("live-decoder-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(platform::tick_ms64()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    Play264_Stop(kPort);
    Play264_CloseStream(kPort);
    fs::remove_all(dir_);
  }
  bool wait_played(CDecoder& d, std::uint64_t n) {
    for (int i = 0; i < 400 && d.FramesPlayed() < n; ++i) platform::sleep_ms(5);
    return d.FramesPlayed() >= n;
  }
  static constexpr int kPort = 29;
  platform::ScopedHeadlessWindow window_{176, 144};
  fs::path dir_;
};

// Frames pushed in a burst all play: no latency bound to trim them.
constexpr CDecoder::Limits kUnbounded{125, 8u << 20, 60000};

TEST_F(LiveDecoder, PlaysAndRecordsFromTheFirstTypeOneFrame) {
  const auto& f = frames();
  CDecoder d(window_.hwnd(), kPort, kUnbounded);
  ASSERT_TRUE(d.StartRecord((dir_ / "a.264").string()));
  d.ResumeThread();
  // Start mid-GOP: frames 5-9 are not type 1 and must be skipped.
  for (std::size_t i = 5; i < 25; ++i) ASSERT_TRUE(d.Push(f[i].bytes));
  ASSERT_TRUE(wait_played(d, 15));
  EXPECT_EQ(d.FramesPlayed(), 15u);
  EXPECT_TRUE(window_->wait_until([](const auto& s) { return s.pictures > 0; }, 5000));
  EXPECT_TRUE(d.StopRecord());
  const auto h = headers_of(file_bytes(dir_ / "a.264"));
  ASSERT_EQ(h.size(), 15u);
  EXPECT_EQ(h.front().type(), 1);
  EXPECT_EQ(h.front().number, 11u);  // numbers start at 1
}

TEST_F(LiveDecoder, SecondRecordingAppendsFromATypeOneFrame) {
  const auto& f = frames();
  const fs::path path = dir_ / "b.264";
  CDecoder d(window_.hwnd(), kPort, kUnbounded);
  d.ResumeThread();
  ASSERT_TRUE(d.StartRecord(path.string()));
  for (std::size_t i = 0; i < 13; ++i) d.Push(f[i].bytes);
  ASSERT_TRUE(wait_played(d, 13));
  d.StopRecord();
  ASSERT_TRUE(d.StartRecord(path.string()));
  for (std::size_t i = 13; i < 30; ++i) d.Push(f[i].bytes);  // 13-19 before the next IDR
  ASSERT_TRUE(wait_played(d, 30));
  d.StopRecord();
  const auto h = headers_of(file_bytes(path));
  ASSERT_EQ(h.size(), 13u + 10u);
  EXPECT_EQ(h[0].type(), 1);
  EXPECT_EQ(h[13].type(), 1);
  EXPECT_EQ(h[13].number, 21u);  // frame numbers start at 1: index 20 is number 21
  // The player reads the file back frame for frame.
  static std::atomic<bool> indexed;
  indexed.store(false);
  Play264_SetFileRefCallBack(
      28, [](long, void*) { indexed.store(true); }, nullptr);
  ASSERT_TRUE(Play264_OpenFile(28, path.c_str()));
  for (int i = 0; i < 400 && !indexed.load(); ++i) platform::sleep_ms(5);
  EXPECT_EQ(Play264_GetFileTotalFrames(28), 23);
  Play264_CloseFile(28);
}

TEST_F(LiveDecoder, FullQueueDropsFramesTheRecordingStillGets) {
  const auto& f = frames();
  const fs::path path = dir_ / "c.264";
  CDecoder d(window_.hwnd(), kPort);
  ASSERT_TRUE(d.StartRecord(path.string()));
  // Not resumed: a stalled display. At 25 fps half a second is 12 frames.
  for (const auto& fr : f) ASSERT_TRUE(d.Push(fr.bytes));
  EXPECT_LE(d.QueueSize(), 12u);
  EXPECT_LE(d.MaxQueuedMs(), 500);
  EXPECT_GT(d.FramesDropped(), 0u);
  EXPECT_TRUE(d.StopRecord());
  const auto h = headers_of(file_bytes(path));
  ASSERT_EQ(h.size(), f.size());
  for (std::size_t i = 0; i < h.size(); ++i) EXPECT_EQ(h[i].number, i + 1);
  // What the display kept begins at a type-1 frame and plays from there.
  const std::uint64_t queued = d.QueueSize();
  d.ResumeThread();
  ASSERT_TRUE(wait_played(d, queued));
  EXPECT_EQ(d.FramesPlayed(), queued);
}

// Frames of total bytes each; the player takes any bytes.
std::vector<std::uint8_t> made_frame(std::uint32_t number, bool key, std::size_t total) {
  std::vector<std::uint8_t> out;
  teststream::append_header(out, number, key, 25,
                            static_cast<std::uint32_t>(total - media::kFrameHeaderSize), 0);
  out.resize(total, 0x41);
  return out;
}

TEST_F(LiveDecoder, TrimKeepsTheQueueStartingAtATypeOneFrame) {
  struct Case {
    const char* name;
    std::string types;  // K type 1, P other, in arrival order
    std::vector<std::size_t> sizes;
    std::size_t queued;  // all of it plays
    std::uint64_t dropped;
  };
  // Limits of 10 frames and 1000 bytes.
  const Case cases[] = {
      {"cut at the newest type-1 frame", "KPKPPPP", {160, 160, 160, 160, 160, 160, 160}, 5, 2},
      {"type-1 frames alone down to half", "KKKKKKK", {160, 160, 160, 160, 160, 160, 160}, 4, 3},
      {"no later type-1 frame: waits for one",
       "KPPPPPPK",
       {160, 160, 160, 160, 160, 160, 160, 160},
       1,
       7},
      {"kept start without room: the rest waits", "KKPPK", {100, 100, 700, 250, 100}, 3, 2},
      {"frame count limit", "KPPPKPPPPPPP", std::vector<std::size_t>(12, 50), 8, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDecoder d(window_.hwnd(), kPort, CDecoder::Limits{10, 1000});
    for (std::size_t i = 0; i < c.types.size(); ++i)
      ASSERT_TRUE(
          d.Push(made_frame(static_cast<std::uint32_t>(i + 1), c.types[i] == 'K', c.sizes[i])));
    EXPECT_EQ(d.QueueSize(), c.queued);
    EXPECT_EQ(d.FramesDropped(), c.dropped);
    d.ResumeThread();
    ASSERT_TRUE(wait_played(d, c.queued));
    EXPECT_EQ(d.FramesPlayed(), c.queued);
  }
}

TEST_F(LiveDecoder, FailedRecordWriteEndsTheFileAtAWholeFrame) {
  const auto& f = frames();
  struct Case {
    const char* name;
    bool disk_full;     // /dev/full: every write fails with no space left
    int fail_at;        // else the writer writes half of this frame and fails
    bool earlier_part;  // the file already holds an earlier recording
  };
  const Case cases[] = {
      {"disk full", true, 1, false},
      {"short write of the first frame", false, 1, false},
      {"short write later", false, 4, false},
      {"short write after an earlier recording", false, 2, true},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.disk_full && !fs::exists("/dev/full")) continue;
    const fs::path path = c.disk_full ? fs::path("/dev/full") : dir_ / ("f" + std::to_string(++n));
    std::string expected;
    if (c.earlier_part) {
      ASSERT_TRUE(teststream::write_264_file(path, {f[0], f[1]}));
      expected = file_bytes(path);
    }
    platform::ScopedHeadlessWindow window;
    CDecoder d(window.hwnd(), kPort);
    int calls = 0;
    if (!c.disk_full)
      d.SetRecordWriter([&](std::FILE* file, std::span<const std::uint8_t> b) {
        const bool fail = ++calls == c.fail_at;
        const std::size_t size = fail ? b.size() / 2 : b.size();
        const bool ok = std::fwrite(b.data(), 1, size, file) == size && std::fflush(file) == 0;
        return ok && !fail;
      });
    ASSERT_TRUE(d.StartRecord(path.string()));
    for (std::size_t i = 0; i < 6; ++i) {
      ASSERT_TRUE(d.Push(f[i].bytes));
      if (static_cast<int>(i) + 1 < c.fail_at)
        expected.append(reinterpret_cast<const char*>(f[i].bytes.data()), f[i].bytes.size());
    }
    EXPECT_FALSE(d.Recording());
    EXPECT_FALSE(d.StopRecord());
    std::size_t failures = 0;
    for (const auto& m : window->messages())
      failures += m.msg == WM_USER && m.wparam == NOTIFY_RECORD_FAILED;
    EXPECT_EQ(failures, 1u);
    if (!c.disk_full) {
      EXPECT_EQ(file_bytes(path), expected);
    }
  }
}

TEST_F(LiveDecoder, PushRefusesUnusableFrames) {
  CDecoder d(window_.hwnd(), kPort);
  auto bytes = frames()[0].bytes;
  EXPECT_FALSE(d.Push(std::span(bytes).first(20)));
  EXPECT_FALSE(d.Push(std::span(bytes).first(bytes.size() - 1)));  // shorter than its lengths
  auto unsigned_frame = bytes;
  unsigned_frame[8] = 0;
  EXPECT_FALSE(d.Push(unsigned_frame));
  std::vector<std::uint8_t> empty;
  teststream::append_header(empty, 1, true, 25, 0, 0);
  EXPECT_FALSE(d.Push(empty));
  EXPECT_TRUE(d.Push(bytes));
  EXPECT_EQ(d.QueueSize(), 1u);
}

TEST_F(LiveDecoder, PlayerRefusalStopsTheDecoder) {
  CDecoder d(window_.hwnd(), 27);  // no stream open on this port
  d.ResumeThread();
  ASSERT_TRUE(d.Push(frames()[0].bytes));
  for (int i = 0; i < 400 && !d.Stopping(); ++i) platform::sleep_ms(5);
  EXPECT_TRUE(d.Stopping());
  EXPECT_FALSE(d.Push(frames()[1].bytes));
}

}  // namespace
}  // namespace velmo
