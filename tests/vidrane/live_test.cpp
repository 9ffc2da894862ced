// Live streams: real H.264 from the test source through Play264_InputData to
// a headless window, checked against the ffmpeg program's decode.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "platform/headless_window.h"
#include "support.h"
#include "teststream/teststream.h"
#include "vidrane/vidrane.h"

namespace {

using vidrane_test::Recorder;

// Opens a port the way the SDK does and closes it at the end of the scope.
class LivePort {
 public:
  explicit LivePort(long port, HWND hwnd) : port_(port) {
    ok_ = Play264_OpenStream(port, nullptr, 0, 0x10000) != 0;
    Play264_SetStreamOpenMode(port, 0);
    Play264_Play(port, hwnd);
    Play264_SetOverlayMode(port, 1, 0xF0000);
    Recorder::of(port).clear();
    Play264_SetDisplayCallBack(port, Recorder::callback());
  }
  ~LivePort() {
    Play264_Stop(port_);
    Play264_CloseStream(port_);
  }
  bool ok() const { return ok_; }
  bool feed(const teststream::Frame& f) {
    return Play264_InputData(port_, f.bytes.data(), static_cast<DWORD>(f.bytes.size())) != 0;
  }

 private:
  long port_;
  bool ok_ = false;
};

TEST(VidraneLive, EveryPictureOfA250FrameStreamMatchesFfmpeg) {
  if (!vidrane_test::have_ffmpeg()) GTEST_SKIP() << "no ffmpeg program for the reference decode";
  auto frames = teststream::make_frames({}, 250);
  ASSERT_EQ(frames.size(), 250u);
  const auto raw = teststream::raw_h264(frames);
  auto yuv = vidrane_test::ffmpeg_decode(raw, "yuv420p", 352, 288);
  auto bgra = vidrane_test::ffmpeg_decode(raw, "bgra", 352, 288, {0, 1, 2});
  ASSERT_TRUE(yuv && bgra);
  ASSERT_EQ(yuv->size(), 250u);

  platform::ScopedHeadlessWindow window(352, 288);
  window->keep_pictures(3);
  LivePort port(5, window.hwnd());
  ASSERT_TRUE(port.ok());
  for (const auto& f : frames) ASSERT_TRUE(port.feed(f));
  ASSERT_TRUE(window->wait_until([](const auto& s) { return s.pictures >= 250; }, 20000));
  ASSERT_TRUE(Recorder::of(5).wait_count(250));

  // Each decoded picture is FFmpeg's, bit for bit.
  auto shown = Recorder::of(5).shown();
  ASSERT_EQ(shown.size(), 250u);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    ASSERT_EQ(shown[i].width, 352);
    ASSERT_EQ(shown[i].height, 288);
    EXPECT_EQ(shown[i].type, PLAY264_PICTURE_I420);
    EXPECT_EQ(shown[i].hash, vidrane_test::fnv1a((*yuv)[i])) << "picture " << i;
  }
  EXPECT_EQ(shown[25].stamp, 1000);
  // And what reached the window is FFmpeg's conversion to 32-bit colour.
  auto kept = window->pictures();
  ASSERT_EQ(kept.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(kept[i].width, 352);
    ASSERT_EQ(kept[i].height, 288);
    EXPECT_GT(vidrane_test::psnr(kept[i].pixels, (*bgra)[i]), 45.0) << "picture " << i;
  }
  EXPECT_EQ(window->picture_count(), 250u);
}

TEST(VidraneLive, PicturesTakeTheWindowSizeAndNothingShowsBeforeTheFirstIdr) {
  auto frames = teststream::make_frames({.gop = 10, .preset = "ultrafast"}, 25);
  ASSERT_EQ(frames.size(), 25u);
  platform::ScopedHeadlessWindow window(200, 150);
  {
    LivePort port(6, window.hwnd());
    ASSERT_TRUE(port.ok());
    // From frame 3 on: frames 3..9 cannot be decoded and must not be shown.
    for (std::size_t i = 3; i < frames.size(); ++i) ASSERT_TRUE(port.feed(frames[i]));
    ASSERT_TRUE(Recorder::of(6).wait_count(15));
    ASSERT_TRUE(window->wait_until([](const auto& s) { return s.pictures >= 15; }, 5000));
    auto last = window->last_picture();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->width, 200);
    EXPECT_EQ(last->height, 150);
    EXPECT_EQ(Recorder::of(6).shown().front().stamp, 0);
    EXPECT_EQ(Recorder::of(6).shown().size(), 15u);

    // A new window size applies from the next picture; RefreshPlay redraws.
    window->set_size(120, 90);
    ASSERT_EQ(Play264_RefreshPlay(6), 1);
    ASSERT_TRUE(window->wait_until([](const auto& s) { return s.pictures >= 16; }, 5000));
    EXPECT_EQ(window->last_picture()->width, 120);
    EXPECT_EQ(window->last_picture()->height, 90);
  }
}

TEST(VidraneLive, BrokenUnitsAndDamagedFramesDoNotEndTheStream) {
  auto frames = teststream::make_frames({.gop = 10, .preset = "ultrafast"}, 30);
  ASSERT_EQ(frames.size(), 30u);
  platform::ScopedHeadlessWindow window;
  LivePort port(7, window.hwnd());
  ASSERT_TRUE(port.ok());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    auto f = frames[i];
    if (i == 4) {
      // Scribble over the slice data of a P picture.
      for (std::size_t b = 24 + f.video_size / 3; b < 24 + f.video_size; b += 3) f.bytes[b] ^= 0x5A;
    }
    if (i == 12) {
      std::vector<std::uint8_t> junk(f.bytes.begin(), f.bytes.begin() + 40);
      junk[8] = 0;  // no signature
      EXPECT_EQ(Play264_InputData(7, junk.data(), static_cast<DWORD>(junk.size())), 1);
      // Lengths that run past what was given.
      EXPECT_EQ(Play264_InputData(7, f.bytes.data(), 30), 1);
    }
    ASSERT_TRUE(port.feed(f)) << i;
  }
  // The pictures after the next IDR are intact.
  ASSERT_TRUE(Recorder::of(7).wait_count(28));
  EXPECT_TRUE(window->wait_until([](const auto& s) { return s.pictures >= 28; }, 5000));
}

TEST(VidraneLive, PortsOpenOnceStopRefusesInputAndCloseFreesThePort) {
  auto frames = teststream::make_frames({.gop = 5, .preset = "ultrafast"}, 10);
  ASSERT_EQ(frames.size(), 10u);
  platform::ScopedHeadlessWindow window;
  EXPECT_EQ(Play264_OpenStream(-1, nullptr, 0, 0x10000), 0);
  EXPECT_EQ(Play264_OpenStream(32, nullptr, 0, 0x10000), 0);
  EXPECT_EQ(Play264_InputData(9, frames[0].bytes.data(), 100), 0);  // not open
  ASSERT_EQ(Play264_OpenStream(9, nullptr, 0, 0x10000), 1);
  EXPECT_EQ(Play264_OpenStream(9, nullptr, 0, 0x10000), 0);  // already open
  EXPECT_EQ(Play264_InputData(9, nullptr, 100), 0);
  ASSERT_EQ(Play264_Play(9, window.hwnd()), 1);
  for (int i = 0; i < 5; ++i)
    ASSERT_EQ(
        Play264_InputData(9, frames[i].bytes.data(), static_cast<DWORD>(frames[i].bytes.size())),
        1);
  ASSERT_TRUE(window->wait_until([](const auto& s) { return s.pictures >= 5; }, 5000));

  ASSERT_EQ(Play264_Stop(9), 1);
  EXPECT_EQ(
      Play264_InputData(9, frames[5].bytes.data(), static_cast<DWORD>(frames[5].bytes.size())), 0);
  // Playing again resumes at the next IDR.
  ASSERT_EQ(Play264_Play(9, window.hwnd()), 1);
  for (int i = 5; i < 10; ++i)
    ASSERT_EQ(
        Play264_InputData(9, frames[i].bytes.data(), static_cast<DWORD>(frames[i].bytes.size())),
        1);
  ASSERT_TRUE(window->wait_until([](const auto& s) { return s.pictures >= 10; }, 5000));

  ASSERT_EQ(Play264_CloseStream(9), 1);
  EXPECT_EQ(Play264_CloseStream(9), 0);
  EXPECT_EQ(
      Play264_InputData(9, frames[0].bytes.data(), static_cast<DWORD>(frames[0].bytes.size())), 0);
  ASSERT_EQ(Play264_OpenStream(9, nullptr, 0, 0x10000), 1);
  EXPECT_EQ(Play264_CloseStream(9), 1);
  // A window that is gone does not stop decoding.
}

TEST(VidraneLive, PortsPlayIndependentlyAtTheSameTime) {
  auto cif = teststream::make_frames({.gop = 10, .preset = "ultrafast"}, 40);
  auto qcif =
      teststream::make_frames({.width = 176, .height = 144, .gop = 7, .preset = "ultrafast"}, 40);
  ASSERT_EQ(cif.size(), 40u);
  ASSERT_EQ(qcif.size(), 40u);
  platform::ScopedHeadlessWindow a(352, 288);
  platform::ScopedHeadlessWindow b(176, 144);
  LivePort pa(11, a.hwnd());
  LivePort pb(12, b.hwnd());
  ASSERT_TRUE(pa.ok() && pb.ok());
  std::thread feeder([&] {
    for (const auto& f : qcif) pb.feed(f);
  });
  for (const auto& f : cif) pa.feed(f);
  feeder.join();
  ASSERT_TRUE(Recorder::of(11).wait_count(40));
  ASSERT_TRUE(Recorder::of(12).wait_count(40));
  EXPECT_EQ(Recorder::of(11).shown().back().width, 352);
  EXPECT_EQ(Recorder::of(12).shown().back().width, 176);
  EXPECT_TRUE(a->wait_until([](const auto& s) { return s.pictures >= 40; }, 5000));
  EXPECT_TRUE(b->wait_until([](const auto& s) { return s.pictures >= 40; }, 5000));
  // Closing one leaves the other playing.
  ASSERT_EQ(Play264_CloseStream(11), 1);
  EXPECT_EQ(Play264_InputData(12, qcif[0].bytes.data(), static_cast<DWORD>(qcif[0].bytes.size())),
            1);
  ASSERT_TRUE(Recorder::of(12).wait_count(41));
}

// The capture path of the callers: the callback saves one bitmap and removes itself.
std::wstring g_capture_path;
void capture_once(long port, char* buffer, long size, long width, long height, long, long type,
                  long) {
  Play264_ConvertToBmpFile(buffer, size, width, height, type, g_capture_path.c_str());
  Play264_SetDisplayCallBack(port, nullptr);
  Recorder::of(port).add({width, height, 0, type, 0}, {});
}

TEST(VidraneLive, CapturedBitmapOpensInAnIndependentReaderWithTheStreamSize) {
  auto frames =
      teststream::make_frames({.width = 720, .height = 576, .gop = 10, .preset = "ultrafast"}, 3);
  ASSERT_EQ(frames.size(), 3u);
  vidrane_test::TempDir dir;
  g_capture_path = (dir.path() / "Picture_dev_01.bmp").wstring();
  platform::ScopedHeadlessWindow window(352, 288);  // the bitmap keeps the stream's own size
  LivePort port(10, window.hwnd());
  ASSERT_TRUE(port.ok());
  Recorder::of(10).clear();
  ASSERT_EQ(Play264_SetDisplayCallBack(10, &capture_once), 1);
  for (const auto& f : frames) ASSERT_TRUE(port.feed(f));
  ASSERT_TRUE(window->wait_until([](const auto& s) { return s.pictures >= 3; }, 5000));
  EXPECT_EQ(Recorder::of(10).shown().size(), 1u);  // removed itself after one picture

  const auto path = dir.path() / "Picture_dev_01.bmp";
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bmp((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bmp.size(), 54u + 720 * 3 * 576);
  if (!vidrane_test::have_ffmpeg()) GTEST_SKIP() << "no ffprobe for the independent reader";
  const auto out = dir.path() / "probe.txt";
  const std::string cmd =
      "ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt -of csv=p=0 '" +
      path.string() + "' > '" + out.string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream probe(out);
  std::string line;
  std::getline(probe, line);
  EXPECT_EQ(line, "bmp,720,576,bgr24");
}

}  // namespace
