// Record-file playback: index, time, stepping, seeking, clipping, and damaged
// files. The pictures are checked against the ffmpeg program's decode.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>

#include "platform/headless_window.h"
#include "support.h"
#include "teststream/teststream.h"
#include "vidrane/vidrane.h"

namespace {

using vidrane_test::Recorder;

std::promise<long>* g_indexed = nullptr;
void on_indexed(long port, void* user) {
  if (user == &g_indexed && g_indexed) g_indexed->set_value(port);
}

// A file opened the way the playback page does; closed at the end.
class FilePort {
 public:
  FilePort(long port, const std::filesystem::path& path) : port_(port) {
    std::promise<long> indexed;
    g_indexed = &indexed;
    Play264_SetFileRefCallBack(port, &on_indexed, &g_indexed);
    auto done = indexed.get_future();
    ok_ = Play264_OpenFile(port, path.c_str()) != 0;
    if (ok_) indexed_ = done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    g_indexed = nullptr;
    Play264_SetFileRefCallBack(port, nullptr, nullptr);
    Recorder::of(port).clear();
    Play264_SetDisplayCallBack(port, Recorder::callback());
  }
  ~FilePort() {
    Play264_Stop(port_);
    Play264_CloseFile(port_);
  }
  bool ok() const { return ok_ && indexed_; }
  // Runs op and waits for the picture it shows; the hash of that picture.
  std::uint64_t step(BOOL (*op)(long)) {
    const auto before = Recorder::of(port_).shown().size();
    if (!op(port_) || !Recorder::of(port_).wait_count(before + 1)) return 0;
    return Recorder::of(port_).shown().back().hash;
  }

 private:
  long port_;
  bool ok_ = false;
  bool indexed_ = false;
};

struct Fixture : ::testing::Test {
  static void SetUpTestSuite() {
    frames = new std::vector<teststream::Frame>(teststream::make_frames(
        {.width = 176, .height = 144, .gop = 25, .sound = true, .preset = "ultrafast"}, 250));
    if (vidrane_test::have_ffmpeg()) {
      auto yuv = vidrane_test::ffmpeg_decode(teststream::raw_h264(*frames), "yuv420p", 176, 144);
      if (yuv)
        for (const auto& p : *yuv) hashes.push_back(vidrane_test::fnv1a(p));
    }
  }
  static void TearDownTestSuite() {
    delete frames;
    frames = nullptr;
    hashes.clear();
  }
  void SetUp() override {
    ASSERT_EQ(frames->size(), 250u);
    path = dir / "dev_01_20260101_120000.264";
    ASSERT_TRUE(teststream::write_264_file(path, *frames));
  }
  std::uint64_t ref(long k) {
    return hashes.size() == 250 ? hashes[static_cast<std::size_t>(k)] : 0;
  }
  static std::vector<teststream::Frame>* frames;
  static std::vector<std::uint64_t> hashes;
  vidrane_test::TempDir dir;
  std::filesystem::path path;
};
std::vector<teststream::Frame>* Fixture::frames = nullptr;
std::vector<std::uint64_t> Fixture::hashes;

using VidraneFile = Fixture;

TEST_F(VidraneFile, IndexReportsFramesAndDurationAndTheClippingPortFollows) {
  FilePort file(17, path);
  ASSERT_TRUE(file.ok());
  EXPECT_EQ(Play264_GetFileTotalFrames(17), 250);
  EXPECT_EQ(Play264_GetFileTime(17), 10);  // 250 frames at 25 per second
  EXPECT_EQ(Play264_GetPlayedTime(17), 0);
  EXPECT_EQ(Play264_GetCurrentFrameNum(17), 0);
  // The clipping port answers for the file being played.
  EXPECT_EQ(Play264_GetFileTotalFrames(20), 250);
  EXPECT_EQ(Play264_GetFileTime(20), 10);
  // Live-only and file-only calls on the wrong kind of port fail.
  EXPECT_EQ(Play264_InputData(17, (*frames)[0].bytes.data(), 100), 0);
  EXPECT_EQ(Play264_CloseStream(17), 0);
  EXPECT_EQ(Play264_Pause(20, 1), 0);
}

TEST_F(VidraneFile, StepsForwardAndBackToExactlyTheNeighbouringFrames) {
  FilePort file(17, path);
  ASSERT_TRUE(file.ok());
  if (hashes.empty()) GTEST_SKIP() << "no ffmpeg program for the reference decode";
  for (long k = 0; k < 30; ++k) {
    ASSERT_EQ(file.step(&Play264_OneByOne), ref(k)) << k;
    ASSERT_EQ(Play264_GetCurrentFrameNum(17), k);
  }
  // Back across the IDR at 25: each frame decoded afresh from its IDR.
  for (long k = 28; k >= 20; --k) {
    ASSERT_EQ(file.step(&Play264_OneByOneBack), ref(k)) << k;
    ASSERT_EQ(Play264_GetCurrentFrameNum(17), k);
  }
  ASSERT_EQ(file.step(&Play264_OneByOne), ref(21));
  EXPECT_EQ(Play264_GetCurrentFrameNum(20), 21);
}

TEST_F(VidraneFile, SeekLandsOnTheIdrAtOrBeforeThePercentage) {
  FilePort file(17, path);
  ASSERT_TRUE(file.ok());
  // 45 % of 10 s is frame 112; the IDR before it is 100.
  ASSERT_EQ(Play264_SetPlayPos(17, 45.0), 1);
  ASSERT_TRUE(Recorder::of(17).wait_count(1));
  EXPECT_EQ(Play264_GetCurrentFrameNum(17), 100);
  EXPECT_EQ(Play264_GetPlayedTime(17), 4);
  EXPECT_EQ(Recorder::of(17).shown().back().stamp, 4000);
  if (!hashes.empty()) {
    EXPECT_EQ(Recorder::of(17).shown().back().hash, ref(100));
  }
  // Exactly on an IDR, and the ends.
  ASSERT_EQ(Play264_SetPlayPos(17, 50.0), 1);
  ASSERT_TRUE(Recorder::of(17).wait_count(2));
  EXPECT_EQ(Play264_GetCurrentFrameNum(17), 125);
  ASSERT_EQ(Play264_SetPlayPos(17, 100.0), 1);
  ASSERT_TRUE(Recorder::of(17).wait_count(3));
  EXPECT_EQ(Play264_GetCurrentFrameNum(17), 225);
  EXPECT_EQ(Play264_SetPlayPos(17, 101.0), 0);
  EXPECT_EQ(Play264_SetPlayPos(17, -1.0), 0);
}

TEST_F(VidraneFile, PlaysToTheEndInOrderAtSixteenTimesSpeed) {
  platform::ScopedHeadlessWindow window(176, 144);
  FilePort file(17, path);
  ASSERT_TRUE(file.ok());
  for (int i = 0; i < 6; ++i) ASSERT_EQ(Play264_Fast(17), 1);  // capped at 16x
  // Sound on (it stays silent away from normal speed, and without a device
  // the call fails): the pictures are the same either way.
  Play264_PlaySound(17);
  EXPECT_EQ(Play264_SetVolume(17, 32767), 1);
  ASSERT_EQ(Play264_Play(17, window.hwnd()), 1);
  ASSERT_TRUE(Recorder::of(17).wait_count(250, 15000));
  auto shown = Recorder::of(17).shown();
  for (std::size_t i = 0; i < shown.size(); ++i) {
    ASSERT_EQ(shown[i].stamp, static_cast<long>(i * 40)) << i;
    if (!hashes.empty()) {
      ASSERT_EQ(shown[i].hash, ref(static_cast<long>(i))) << i;
    }
  }
  ASSERT_TRUE(window->wait_until([](const auto& s) { return s.pictures >= 250; }, 5000));
  EXPECT_EQ(Play264_GetCurrentFrameNum(17), 249);
  EXPECT_EQ(Play264_GetPlayedTime(17), 9);
  // Paused and slowed down it stays put; Stop rewinds.
  EXPECT_EQ(Play264_Pause(17, 1), 1);
  EXPECT_EQ(Play264_Slow(17), 1);
  EXPECT_EQ(Play264_Stop(17), 1);
  EXPECT_EQ(Play264_StopSound(), 1);
  ASSERT_EQ(Play264_OneByOne(17), 1);
  ASSERT_TRUE(Recorder::of(17).wait_count(251));
  EXPECT_EQ(Play264_GetCurrentFrameNum(17), 0);
}

TEST_F(VidraneFile, ClipOfFrames100To200PlaysBackAs101Frames) {
  const auto clip = dir / "MyClip.264";
  {
    FilePort file(17, path);
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(Play264_ClipMovie(20, clip.c_str(), 200, 100), 0);
    EXPECT_EQ(Play264_ClipMovie(20, path.c_str(), 100, 200), 0);  // onto its own source
    EXPECT_EQ(std::filesystem::file_size(path), [&] {
      std::size_t n = 0;
      for (const auto& f : *frames) n += f.bytes.size();
      return n;
    }());
    ASSERT_EQ(Play264_ClipMovie(20, clip.c_str(), 100, 200), 1);
  }
  // The clip is frames 100..200 byte for byte.
  std::ifstream in(clip, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::uint8_t> expect;
  for (int i = 100; i <= 200; ++i)
    expect.insert(expect.end(), (*frames)[i].bytes.begin(), (*frames)[i].bytes.end());
  EXPECT_EQ(bytes, expect);

  FilePort again(17, clip);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(Play264_GetFileTotalFrames(17), 101);
  EXPECT_EQ(Play264_GetFileTime(17), 5);  // 101 frames: 4.04 s, rounded up
  ASSERT_EQ(Play264_Fast(17), 1);
  ASSERT_EQ(Play264_Fast(17), 1);
  ASSERT_EQ(Play264_Fast(17), 1);
  ASSERT_EQ(Play264_Fast(17), 1);
  ASSERT_EQ(Play264_Play(17, nullptr), 1);
  ASSERT_TRUE(Recorder::of(17).wait_count(101, 15000));
  auto shown = Recorder::of(17).shown();
  ASSERT_EQ(shown.size(), 101u);
  if (!hashes.empty()) {
    EXPECT_EQ(shown.front().hash, ref(100));
    EXPECT_EQ(shown.back().hash, ref(200));
  }
  // A start inside a GOP begins the clip at the IDR before it.
  const auto mid = dir / "mid.264";
  ASSERT_EQ(Play264_ClipMovie(17, mid.c_str(), 30, 40), 1);
  EXPECT_EQ(std::filesystem::file_size(mid), [&] {
    std::size_t n = 0;
    for (int i = 125; i <= 140; ++i) n += (*frames)[i].bytes.size();
    return n;
  }());
}

TEST_F(VidraneFile, DamagedAndEmptyFilesAreIndexedWithoutFault) {
  // Garbage between frames and a truncated last frame.
  const std::string kGarbage =
      std::string("\x12\x34\x56\x78", 4) + "garbage" + std::string("\x78\x56\x34\x12", 4);
  const auto damaged = dir / "damaged.264";
  {
    std::ofstream out(damaged, std::ios::binary);
    for (int i = 0; i < 60; ++i) {
      const auto& b = (*frames)[i].bytes;
      out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
      if (i % 7 == 3) out.write(kGarbage.data(), static_cast<std::streamsize>(kGarbage.size()));
    }
    const auto& b = (*frames)[60].bytes;
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size() / 2));
  }
  {
    FilePort file(17, damaged);
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(Play264_GetFileTotalFrames(17), 60);
    ASSERT_EQ(Play264_SetPlayPos(17, 99.0), 1);
    ASSERT_TRUE(Recorder::of(17).wait_count(1));
    EXPECT_EQ(Play264_GetCurrentFrameNum(17), 50);
  }
  const auto empty = dir / "empty.264";
  { std::ofstream out(empty, std::ios::binary); }
  {
    FilePort file(17, empty);
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(Play264_GetFileTime(17), 0);
    EXPECT_EQ(Play264_GetFileTotalFrames(17), 0);
    EXPECT_EQ(Play264_OneByOne(17), 1);
    EXPECT_EQ(Play264_OneByOneBack(17), 1);
    EXPECT_EQ(Play264_ClipMovie(17, (dir / "c.264").c_str(), 0, 10), 0);
  }
  EXPECT_EQ(Play264_OpenFile(17, (dir / "missing.264").c_str()), 0);
  EXPECT_EQ(Play264_OpenFile(17, dir.path().c_str()), 0);  // a folder
  EXPECT_EQ(Play264_OpenFile(17, static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(Play264_GetFileTime(20), 0);
}

}  // namespace
