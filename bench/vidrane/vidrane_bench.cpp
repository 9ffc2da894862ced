// The player's cost beside FFmpeg's own on the same streams.
//
// Decode: CPU seconds to decode and present 60 s of CIF and of D1 at 25 fps
// fed through Play264_InputData to a headless window, beside
//   ffmpeg -threads 1 -filter_threads 1 -i X.h264 -pix_fmt bgra -f null -
// on the same raw H.264 (its own -benchmark figure). Goal: ratio <= 1.15.
//
// Index: wall time to index a .264 file of VIDRANE_BENCH_INDEX_MB megabytes
// (default 1024) beside reading it once with cat. Goal: ratio <= 1.5.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>

#include "platform/headless_window.h"
#include "teststream/teststream.h"
#include "vidrane/vidrane.h"

namespace {

std::filesystem::path work_dir() {
  static const std::filesystem::path dir = [] {
    std::random_device rd;
    auto d = std::filesystem::temp_directory_path() / ("vidrane-bench-" + std::to_string(rd()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// A window backend that takes pictures like a screen would and keeps none.
class CountingWindow : public platform::WindowBackend {
 public:
  void post_message(UINT, WPARAM, LPARAM) override {}
  void draw_text(std::wstring_view) override {}
  void show_picture(const platform::Picture&) override {
    {
      std::lock_guard lock(m_);
      ++count_;
    }
    cv_.notify_all();
  }
  void size(int& w, int& h) override {
    w = width;
    h = height;
  }
  bool wait(std::size_t n) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, std::chrono::seconds(300), [&] { return count_ >= n; });
  }
  int width = 0;
  int height = 0;

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::size_t count_ = 0;
};

double cpu_seconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// ffmpeg's own user + system seconds from its -benchmark line.
double ffmpeg_cpu_seconds(const std::filesystem::path& raw) {
  const auto log = work_dir() / "ffmpeg.log";
  const std::string cmd =
      "ffmpeg -nostdin -hide_banner -benchmark -threads 1 -filter_threads 1 -i '" + raw.string() +
      "' -pix_fmt bgra -f null - > '" + log.string() + "' 2>&1";
  if (std::system(cmd.c_str()) != 0) return -1.0;
  std::ifstream in(log);
  std::string line;
  double user = -1.0, sys = 0.0;
  while (std::getline(in, line)) {
    auto u = line.find("utime=");
    auto s = line.find("stime=");
    if (u != std::string::npos && s != std::string::npos) {
      user = std::atof(line.c_str() + u + 6);
      sys = std::atof(line.c_str() + s + 6);
    }
  }
  return user < 0 ? -1.0 : user + sys;
}

struct Stream {
  std::vector<teststream::Frame> frames;
  std::filesystem::path raw;
};

const Stream& stream(int width, int height) {
  static std::map<int, Stream> cache;
  auto& s = cache[width];
  if (s.frames.empty()) {
    s.frames =
        teststream::make_frames({.width = width, .height = height, .fps = 25, .gop = 50}, 60 * 25);
    s.raw = work_dir() / ("stream" + std::to_string(width) + ".h264");
    std::ofstream out(s.raw, std::ios::binary);
    const auto raw = teststream::raw_h264(s.frames);
    out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
  }
  return s;
}

// Feeds the stream to a port drawing into backend and returns CPU seconds.
double player_cpu_seconds(const Stream& s, std::shared_ptr<platform::WindowBackend> backend,
                          const std::function<bool(std::size_t)>& wait) {
  HWND hwnd = platform::register_window(backend);
  const long port = 0;
  Play264_OpenStream(port, nullptr, 0, 0x10000);
  Play264_SetStreamOpenMode(port, 0);
  Play264_Play(port, hwnd);
  const double start = cpu_seconds();
  for (const auto& f : s.frames)
    Play264_InputData(port, f.bytes.data(), static_cast<DWORD>(f.bytes.size()));
  const bool ok = wait(s.frames.size());
  const double used = cpu_seconds() - start;
  Play264_Stop(port);
  Play264_CloseStream(port);
  platform::destroy_window(hwnd);
  return ok ? used : -1.0;
}

void BM_Decode(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const Stream& s = stream(width, height);
  for (auto _ : state) {
    const double ffmpeg = ffmpeg_cpu_seconds(s.raw);
    auto headless = std::make_shared<platform::HeadlessWindow>(width, height);
    const double player = player_cpu_seconds(s, headless, [&](std::size_t n) {
      return headless->wait_until([&](const auto& snap) { return snap.pictures >= n; }, 300000);
    });
    auto counting = std::make_shared<CountingWindow>();
    counting->width = width;
    counting->height = height;
    const double bare =
        player_cpu_seconds(s, counting, [&](std::size_t n) { return counting->wait(n); });
    state.counters["ffmpeg_cpu_s"] = ffmpeg;
    state.counters["player_cpu_s"] = player;
    state.counters["ratio"] = ffmpeg > 0 ? player / ffmpeg : 0;
    state.counters["ratio_bare_window"] = ffmpeg > 0 ? bare / ffmpeg : 0;
    std::printf(
        "decode %dx%d 60 s: player %.3f s CPU (bare window %.3f s), ffmpeg %.3f s CPU, "
        "ratio %.3f (bare %.3f; goal <= 1.15)\n",
        width, height, player, bare, ffmpeg, ffmpeg > 0 ? player / ffmpeg : 0,
        ffmpeg > 0 ? bare / ffmpeg : 0);
  }
}
BENCHMARK(BM_Decode)->Args({352, 288})->Args({720, 576})->Iterations(1)->Unit(benchmark::kSecond);

std::mutex g_index_m;
std::condition_variable g_index_cv;
bool g_indexed = false;
void on_indexed(long, void*) {
  {
    std::lock_guard lock(g_index_m);
    g_indexed = true;
  }
  g_index_cv.notify_all();
}

void BM_Index(benchmark::State& state) {
  const char* env = std::getenv("VIDRANE_BENCH_INDEX_MB");
  const std::uint64_t mb = env ? std::strtoull(env, nullptr, 10) : 1024;
  const auto path = work_dir() / "index.264";
  {
    const Stream& s = stream(720, 576);
    std::ofstream out(path, std::ios::binary);
    std::uint64_t written = 0;
    for (std::size_t i = 0; written < mb << 20; i = (i + 1) % s.frames.size()) {
      const auto& b = s.frames[i].bytes;
      out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
      written += b.size();
    }
  }
  const std::string cat = "cat '" + path.string() + "' > /dev/null";
  std::system(cat.c_str());  // into the page cache for both
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    std::system(cat.c_str());
    const double cat_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    {
      std::lock_guard lock(g_index_m);
      g_indexed = false;
    }
    Play264_SetFileRefCallBack(17, &on_indexed, nullptr);
    t0 = std::chrono::steady_clock::now();
    Play264_OpenFile(17, path.c_str());
    {
      std::unique_lock lock(g_index_m);
      g_index_cv.wait_for(lock, std::chrono::seconds(600), [] { return g_indexed; });
    }
    const double index_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const long frames = Play264_GetFileTotalFrames(17);
    Play264_CloseFile(17);
    state.counters["cat_s"] = cat_s;
    state.counters["index_s"] = index_s;
    state.counters["ratio"] = index_s / cat_s;
    std::printf("index %llu MB (%ld frames): %.3f s, cat %.3f s, ratio %.3f (goal <= 1.5)\n",
                static_cast<unsigned long long>(mb), frames, index_s, cat_s, index_s / cat_s);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_Index)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(work_dir(), ec);
  return 0;
}
