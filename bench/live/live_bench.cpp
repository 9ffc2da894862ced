// The live receive path's cost.
//
// Readers: bytes per second of the TCP record reader (1460-byte reads) and of
// the slice assembler on CIF frames of the test stream.
//
// Channels: 16 CIF and 4 D1 channels at 25 fps for 10 s, each a TCP stream on
// loopback received by a CRtpStreamManager, queued and decoded by its CDecoder
// into a window that takes pictures like a screen. Process CPU seconds (less
// the threads that stand in for the devices) beside
//   F       ffmpeg -threads 1 -filter_threads 1 -i X.h264 -pix_fmt bgra -f null -
//           on the same raw H.264 once per channel (its -benchmark figure);
//   F live  the same with -re, one ffmpeg per channel all at once: the same
//           decoding at the same pace, so idle cores cost it what they cost us.
// Goal: ratio to F <= 1.2. The same with frames handed straight to the player
// shows what the player itself costs. Memory per channel: resident-size growth
// while playing.
//
// Slow window: 4 D1 channels into windows that take 60 ms per picture (the
// display falls behind): the most video that waited between socket and screen
// (goal <= 500 ms) and the share of pictures shown.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "media/slice_assembler.h"
#include "media/stream_manager.h"
#include "media/tcp_record_reader.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/window.h"
#include "teststream/teststream.h"
#include "vidrane/vidrane.h"

namespace {

constexpr int kSeconds = 10;

std::filesystem::path work_dir() {
  static const std::filesystem::path dir = [] {
    std::random_device rd;
    auto d = std::filesystem::temp_directory_path() / ("live-bench-" + std::to_string(rd()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

struct Stream {
  std::vector<teststream::Frame> frames;
  std::filesystem::path raw;
};

const Stream& stream(int width, int height) {
  static std::map<int, Stream> cache;
  auto& s = cache[width];
  if (s.frames.empty()) {
    s.frames = teststream::make_frames({.width = width, .height = height, .fps = 25, .gop = 50},
                                       kSeconds * 25);
    s.raw = work_dir() / ("stream" + std::to_string(width) + ".h264");
    std::ofstream out(s.raw, std::ios::binary);
    const auto raw = teststream::raw_h264(s.frames);
    out.write(raw.data(), static_cast<std::streamsize>(raw.size()));
  }
  return s;
}

std::vector<std::uint8_t> concatenated(const Stream& s) {
  std::vector<std::uint8_t> out;
  for (const auto& f : s.frames) out.insert(out.end(), f.bytes.begin(), f.bytes.end());
  return out;
}

double cpu_seconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double resident_mb() {
  std::ifstream in("/proc/self/statm");
  long pages = 0, resident = 0;
  in >> pages >> resident;
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

// The CPU seconds of `copies` ffmpeg decodes of raw run at once (paced at the
// stream's rate with -re), summed from their -benchmark lines.
double ffmpeg_cpu_seconds(const std::filesystem::path& raw, int copies = 1, bool paced = false) {
  std::string cmd;
  for (int i = 0; i < copies; ++i) {
    const auto log = work_dir() / ("ffmpeg" + std::to_string(i) + ".log");
    cmd += std::string("ffmpeg -nostdin -hide_banner -benchmark ") + (paced ? "-re " : "") +
           "-threads 1 -filter_threads 1 -i '" + raw.string() + "' -pix_fmt bgra -f null - > '" +
           log.string() + "' 2>&1 & ";
  }
  cmd += "wait";
  if (std::system(cmd.c_str()) != 0) return -1.0;
  double total = 0;
  for (int i = 0; i < copies; ++i) {
    std::ifstream in(work_dir() / ("ffmpeg" + std::to_string(i) + ".log"));
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
    if (user < 0) return -1.0;
    total += user + sys;
  }
  return total;
}

double thread_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class CountingWindow : public platform::WindowBackend {
 public:
  CountingWindow(int w, int h, int picture_ms = 0)
      : width_(w), height_(h), picture_ms_(picture_ms) {}
  void post_message(UINT, WPARAM, LPARAM) override {}
  void draw_text(std::wstring_view) override {}
  void show_picture(const platform::Picture&) override {
    if (picture_ms_ > 0) platform::sleep_ms(picture_ms_);
    ++count_;
  }
  void size(int& w, int& h) override {
    w = width_;
    h = height_;
  }
  std::size_t count() const { return count_.load(); }

 private:
  int width_, height_, picture_ms_;
  std::atomic<std::size_t> count_{0};
};

void BM_TcpRecordReader(benchmark::State& state) {
  const auto bytes = concatenated(stream(352, 288));
  std::size_t frames = 0;
  for (auto _ : state) {
    velmo::media::TcpRecordReader r;
    for (std::size_t at = 0; at < bytes.size(); at += 1460)
      r.feed({bytes.data() + at, std::min<std::size_t>(1460, bytes.size() - at)}, [&](auto f) {
        benchmark::DoNotOptimize(f.data());
        ++frames;
        return true;
      });
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_TcpRecordReader);

void BM_SliceAssembler(benchmark::State& state) {
  const Stream& s = stream(352, 288);
  std::vector<std::vector<std::uint8_t>> datagrams;
  std::size_t total = 0;
  for (std::size_t n = 0; n < s.frames.size(); ++n) {
    const auto& f = s.frames[n].bytes;
    const auto count = static_cast<std::uint16_t>((f.size() + 1023) / 1024);
    for (std::uint16_t k = 0; k < count; ++k) {
      std::vector<std::uint8_t> d = {0,
                                     0,
                                     0,
                                     1,
                                     0,
                                     0,
                                     static_cast<std::uint8_t>(n >> 8),
                                     static_cast<std::uint8_t>(n),
                                     static_cast<std::uint8_t>(count >> 8),
                                     static_cast<std::uint8_t>(count),
                                     static_cast<std::uint8_t>(k >> 8),
                                     static_cast<std::uint8_t>(k)};
      const std::size_t from = std::size_t{k} * 1024, to = std::min(f.size(), from + 1024);
      d.insert(d.end(), f.begin() + static_cast<std::ptrdiff_t>(from),
               f.begin() + static_cast<std::ptrdiff_t>(to));
      total += d.size();
      datagrams.push_back(std::move(d));
    }
  }
  for (auto _ : state) {
    velmo::media::SliceAssembler a(1);
    for (const auto& d : datagrams) benchmark::DoNotOptimize(a.feed(d));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total));
}
BENCHMARK(BM_SliceAssembler);

void BM_Channels(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  const int width = static_cast<int>(state.range(1));
  const int height = static_cast<int>(state.range(2));
  const bool direct = state.range(3) != 0;                  // frames straight to the player
  const int picture_ms = static_cast<int>(state.range(4));  // a slow window
  const Stream& s = stream(width, height);
  for (auto _ : state) {
    // The median of three: one short ffmpeg run varies by a fifth on a VM.
    double ffmpeg_one = 0;
    if (picture_ms == 0) {
      std::array<double, 3> runs{};
      for (auto& r : runs) r = ffmpeg_cpu_seconds(s.raw);
      std::sort(runs.begin(), runs.end());
      ffmpeg_one = runs[1];
    }
    const double ffmpeg_live =
        picture_ms > 0 || direct ? 0 : ffmpeg_cpu_seconds(s.raw, channels, true);
    const double rss_before = resident_mb();
    std::vector<std::shared_ptr<CountingWindow>> windows;
    std::vector<HWND> hwnds;
    std::vector<std::unique_ptr<velmo::CRtpStreamManager>> managers;
    std::vector<platform::Socket> senders;
    platform::Socket listener(platform::tcp_socket());
    platform::bind_socket(listener.get(), {0x7F000001, 0});
    platform::listen_socket(listener.get(), 32);
    const auto port = platform::local_address(listener.get())->port;
    for (int c = 0; c < channels; ++c) {
      windows.push_back(std::make_shared<CountingWindow>(width, height, picture_ms));
      hwnds.push_back(platform::register_window(windows.back()));
      Play264_OpenStream(c, nullptr, 0, 0x10000);
      Play264_SetStreamOpenMode(c, 0);
      Play264_Play(c, hwnds.back());
      senders.emplace_back(platform::tcp_socket());
      if (direct) continue;
      platform::connect_with_timeout(senders.back().get(), {0x7F000001, port}, 2000);
      auto m = std::make_unique<velmo::CRtpStreamManager>(nullptr);
      m->m_nMode = 1;
      m->m_strConnectType = "monitor-client-direct";
      m->SetStreamSocket(platform::accept_socket(listener.get()));
      m->m_hWnd = hwnds.back();
      m->m_nPlayPort = c;
      m->ResumeThread();
      managers.push_back(std::move(m));
    }
    const double start = cpu_seconds();
    std::vector<std::thread> feeders;
    double rss_playing = 0;
    std::mutex feeder_m;
    double feeder_cpu = 0;  // the devices' sending, not the client's work
    for (int c = 0; c < channels; ++c) {
      feeders.emplace_back([&, c] {
        std::uint64_t next = platform::tick_ms64();
        for (const auto& f : s.frames) {
          if (direct)
            Play264_InputData(c, f.bytes.data(), static_cast<DWORD>(f.bytes.size()));
          else
            platform::send_all(
                senders[static_cast<std::size_t>(c)].get(),
                std::string_view(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size()),
                5000);
          next += 40;
          const auto now = platform::tick_ms64();
          if (next > now) platform::sleep_ms(static_cast<int>(next - now));
        }
        // Fed straight, the feeder is the thread that decodes: its time counts.
        if (direct) return;
        std::lock_guard lock(feeder_m);
        feeder_cpu += thread_cpu_seconds();
      });
    }
    platform::sleep_ms(kSeconds * 500);
    rss_playing = resident_mb();
    for (auto& t : feeders) t.join();
    std::size_t shown = 0;
    for (int i = 0; i < 200; ++i) {
      shown = 0;
      for (const auto& w : windows) shown += w->count();
      if (shown >= s.frames.size() * static_cast<std::size_t>(channels)) break;
      platform::sleep_ms(20);
    }
    const double used = cpu_seconds() - start - feeder_cpu;
    int waited_ms = 0;
    for (const auto& m : managers) waited_ms = std::max(waited_ms, m->MaxQueuedMs());
    managers.clear();
    for (int c = 0; c < channels; ++c) {
      Play264_Stop(c);
      Play264_CloseStream(c);
      platform::destroy_window(hwnds[static_cast<std::size_t>(c)]);
    }
    const double ffmpeg = ffmpeg_one * channels;
    const double shown_share =
        static_cast<double>(shown) / static_cast<double>(s.frames.size() * channels);
    state.counters["shown_share"] = shown_share;
    if (picture_ms > 0) {
      state.counters["max_waiting_ms"] = waited_ms;
      std::printf(
          "slow window (%d ms a picture): %d x %dx%d: at most %d ms of video waited in the queue "
          "(goal <= 500); %zu of %zu pictures shown\n",
          picture_ms, channels, width, height, waited_ms, shown, s.frames.size() * channels);
      continue;
    }
    state.counters["cpu_s"] = used;
    state.counters["ffmpeg_cpu_s"] = ffmpeg;
    state.counters["ratio"] = ffmpeg > 0 ? used / ffmpeg : 0;
    state.counters["mb_per_channel"] = (rss_playing - rss_before) / channels;
    std::string live;
    if (ffmpeg_live > 0) {
      state.counters["ffmpeg_live_cpu_s"] = ffmpeg_live;
      state.counters["ratio_live"] = used / ffmpeg_live;
      char text[96];
      std::snprintf(text, sizeof text, ", ffmpeg -re all at once %.2f s CPU, ratio %.2f",
                    ffmpeg_live, used / ffmpeg_live);
      live = text;
    }
    std::printf(
        "%s%d x %dx%d, %d s at 25 fps: %.2f s CPU, ffmpeg %.2f s CPU, ratio %.2f (goal <= 1.2)%s; "
        "%.1f MB per channel; %zu of %zu pictures shown\n",
        direct ? "player alone: " : "", channels, width, height, kSeconds, used, ffmpeg,
        ffmpeg > 0 ? used / ffmpeg : 0, live.c_str(), (rss_playing - rss_before) / channels, shown,
        s.frames.size() * channels);
  }
}
BENCHMARK(BM_Channels)
    ->Args({16, 352, 288, 0, 0})
    ->Args({16, 352, 288, 1, 0})
    ->Args({4, 720, 576, 0, 0})
    ->Args({4, 720, 576, 1, 0})
    ->Args({4, 720, 576, 0, 60})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
