// The MP4 export against real H.264 recordings, checked with the ffprobe and
// ffmpeg programs: what a player sees, not what the exporter believes it wrote.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "export/mp4_export.h"
#include "teststream/teststream.h"

namespace {

namespace fs = std::filesystem;

std::string run(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

bool have_ffprobe() {
  return std::system("ffprobe -version > /dev/null 2>&1") == 0;
}

struct Probed {
  std::string codec;
  long frames = -1;
  double duration = -1;
};

// The value of "key" in one stream's JSON object, quotes removed.
std::string json_value(const std::string& object, const std::string& key) {
  const auto at = object.find("\"" + key + "\"");
  if (at == std::string::npos) return {};
  auto begin = object.find(':', at) + 1;
  while (begin < object.size() && (object[begin] == ' ' || object[begin] == '"')) ++begin;
  auto end = begin;
  while (end < object.size() && object[end] != '"' && object[end] != ',' && object[end] != '\n')
    ++end;
  return object.substr(begin, end - begin);
}

// video and audio streams of the file by ffprobe, in that order.
std::vector<Probed> probe(const fs::path& file) {
  const std::string json =
      run("ffprobe -v error -show_streams -count_frames -of json '" + file.string() + "'");
  std::vector<Probed> streams;
  std::size_t at = 0;
  while ((at = json.find("\"index\":", at)) != std::string::npos) {
    const auto next = json.find("\"index\":", at + 1);
    const std::string object = json.substr(at, next == std::string::npos ? next : next - at);
    Probed p;
    p.codec = json_value(object, "codec_name");
    const std::string frames = json_value(object, "nb_read_frames");
    const std::string duration = json_value(object, "duration");
    if (!frames.empty()) p.frames = std::stol(frames);
    if (!duration.empty()) p.duration = std::stod(duration);
    streams.push_back(p);
    at = next == std::string::npos ? json.size() : next;
  }
  return streams;
}

bool decodes_first_frame(const fs::path& file) {
  return std::system(("ffmpeg -v error -nostdin -i '" + file.string() +
                      "' -frames:v 1 -f null - > /dev/null 2>&1")
                         .c_str()) == 0;
}

std::vector<std::uint8_t> read_all(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write_all(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class Mp4Export : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_ffprobe()) GTEST_SKIP() << "ffprobe not installed";
    dir_ = fs::temp_directory_path() /
           ("mp4export-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // A recording of count frames; the frames are kept for damage.
  fs::path record(int count, bool sound, int gop = 25) {
    teststream::Options o;
    o.sound = sound;
    o.gop = gop;
    frames_ = teststream::make_frames(o, count);
    const fs::path file = dir_ / (sound ? "sound.264" : "mute.264");
    EXPECT_TRUE(teststream::write_264_file(file, frames_));
    return file;
  }
  fs::path dir_;
  std::vector<teststream::Frame> frames_;
};

TEST_F(Mp4Export, WholeRecordingPlaysElsewhere) {
  struct Case {
    bool sound;
    int frames;
  };
  for (const Case c : {Case{false, 50}, Case{true, 75}}) {
    SCOPED_TRACE(c.sound ? "with sound" : "without sound");
    const fs::path in = record(c.frames, c.sound);
    const fs::path out = dir_ / "out.mp4";
    std::vector<double> seen;
    const auto r = exporter::export_mp4(in, out, [&](double f) {
      seen.push_back(f);
      return true;
    });
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.video_frames, std::uint64_t(c.frames));
    EXPECT_EQ(r.skipped_bytes, 0u);
    EXPECT_NEAR(r.duration_s, c.frames / 25.0, 0.01);
    EXPECT_FALSE(fs::exists(dir_ / "out.mp4.part"));
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 1.0);

    const auto streams = probe(out);
    ASSERT_EQ(streams.size(), c.sound ? 2u : 1u);
    EXPECT_EQ(streams[0].codec, "h264");
    EXPECT_EQ(streams[0].frames, c.frames);
    EXPECT_NEAR(streams[0].duration, c.frames / 25.0, 0.05);
    if (c.sound) {
      EXPECT_EQ(streams[1].codec, "aac");
      EXPECT_GT(r.audio_frames, 0u);
      // 1/25 s of 8 kHz sound per frame.
      EXPECT_NEAR(streams[1].duration, c.frames / 25.0, 0.2);
    } else {
      EXPECT_EQ(r.audio_frames, 0u);
    }
    EXPECT_TRUE(decodes_first_frame(out));
  }
}

TEST_F(Mp4Export, RestartedFrameNumbersStayMonotonic) {
  // Two recordings appended to one file: the numbers start again at 1.
  const fs::path in = record(30, false, 10);
  std::vector<std::uint8_t> bytes = read_all(in);
  write_all(in, {});
  std::vector<std::uint8_t> twice = bytes;
  twice.insert(twice.end(), bytes.begin(), bytes.end());
  write_all(in, twice);
  const fs::path out = dir_ / "out.mp4";
  const auto r = exporter::export_mp4(in, out);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.video_frames, 60u);
  EXPECT_NEAR(r.duration_s, 60 / 25.0, 0.01);
  const auto streams = probe(out);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].frames, 60);
  EXPECT_NEAR(streams[0].duration, 60 / 25.0, 0.05);
}

TEST_F(Mp4Export, DamagedRecordingExportsWhatIsWhole) {
  const fs::path in = record(60, true, 10);
  const std::vector<std::uint8_t> whole = read_all(in);
  std::vector<std::size_t> starts;
  std::size_t at = 0;
  for (const auto& f : frames_) {
    starts.push_back(at);
    at += f.bytes.size();
  }
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::uint64_t min_frames, max_frames;
  };
  std::vector<Case> cases;
  {
    // Bytes cut from the middle of frame 22 to the middle of frame 24.
    auto b = whole;
    const std::size_t from = starts[22] + 30, to = starts[24] + 10;
    b.erase(b.begin() + std::ptrdiff_t(from), b.begin() + std::ptrdiff_t(to));
    // Frames 22-29 are lost (up to the IDR of frame 30), nothing else.
    cases.push_back({"cut", b, 52, 52});
  }
  {
    // A garbage header on frame 35: the frames up to the next IDR go.
    auto b = whole;
    std::mt19937 rng(7);
    for (std::size_t i = 0; i < 24; ++i) b[starts[35] + i] = std::uint8_t(rng());
    cases.push_back({"garbage header", b, 55, 55});
  }
  {
    // Garbage before the first frame and a cut last frame.
    std::vector<std::uint8_t> b(whole.begin(), whole.end() - 40);
    b.insert(b.begin(), 100, std::uint8_t{0x55});
    cases.push_back({"garbage ends", b, 59, 59});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path damaged = dir_ / "damaged.264";
    write_all(damaged, c.bytes);
    const fs::path out = dir_ / "damaged.mp4";
    const auto r = exporter::export_mp4(damaged, out);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_GE(r.video_frames, c.min_frames);
    EXPECT_LE(r.video_frames, c.max_frames);
    EXPECT_GT(r.skipped_bytes, 0u);
    const auto streams = probe(out);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].frames, long(r.video_frames));
    EXPECT_TRUE(decodes_first_frame(out));
  }
}

TEST_F(Mp4Export, FailuresLeaveNothing) {
  const fs::path out = dir_ / "out.mp4";
  // No file, an empty one, and one of garbage only.
  write_all(dir_ / "empty.264", {});
  write_all(dir_ / "garbage.264", std::vector<std::uint8_t>(5000, 0x12));
  for (const char* name : {"missing.264", "empty.264", "garbage.264"}) {
    SCOPED_TRACE(name);
    const auto r = exporter::export_mp4(dir_ / name, out);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir_ / "out.mp4.part"));
  }
}

TEST_F(Mp4Export, CancelRemovesTheOutput) {
  const fs::path in = record(50, true);
  const fs::path out = dir_ / "out.mp4";
  for (double at : {0.1, 0.6}) {
    SCOPED_TRACE(at);
    bool part_seen = false;
    const auto r = exporter::export_mp4(in, out, [&](double f) {
      part_seen = part_seen || fs::exists(dir_ / "out.mp4.part");
      return f < at;
    });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, exporter::kCancelled);
    EXPECT_EQ(part_seen, at > 0.5);  // the writing had begun
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir_ / "out.mp4.part"));
  }
}

}  // namespace
