// e2e_soak: sixteen channels over the four connection types against the
// in-process simulator for a while, the devices dropping connections at
// random; then every channel must still be playing, every record file must be
// whole frames, and stopping must be prompt. Run by scripts/soak.sh.
//   e2e_soak SECONDS [SEED] [RECORD_DIR]
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "frame/user_table.h"
#include "media/p2p_registry.h"
#include "platform/clock.h"
#include "platform/headless_window.h"
#include "simulator.h"
#include "velmosdk.h"
#include "velmosdk_live.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDevices = 4;
constexpr int kChannelsPerDevice = 4;
constexpr const char* kTypes[kDevices] = {"client-monitor-direct", "monitor-client-direct",
                                          "client-monitor-p2p", "client-monitor-middle-transfer"};

struct Channel {
  int device = 0;
  int number = 0;
  long handle = -1;
  std::unique_ptr<platform::ScopedHeadlessWindow> window;
  fs::path record;
};

std::string i2c_of(int device) {
  return "SOAK" + std::to_string(device);
}

// Threads and sockets of this process, read from /proc.
struct Resources {
  std::size_t threads = 0;
  std::size_t sockets = 0;
};

Resources resources() {
  Resources r;
  std::error_code ec;
  for (auto it = fs::directory_iterator("/proc/self/task", ec); !ec && it != fs::end(it);
       it.increment(ec))
    ++r.threads;
  for (auto it = fs::directory_iterator("/proc/self/fd", ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    std::error_code link_ec;
    const auto target = fs::read_symlink(it->path(), link_ec);
    if (!link_ec && target.native().rfind("socket:", 0) == 0) ++r.sockets;
  }
  return r;
}

int parse_int(const char* text, int fallback) {
  int v = fallback;
  std::from_chars(text, text + std::char_traits<char>::length(text), v);
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: e2e_soak SECONDS [SEED] [RECORD_DIR]\n", stderr);
    return 2;
  }
  const int seconds = parse_int(argv[1], 20);
  const unsigned seed = static_cast<unsigned>(parse_int(argc > 2 ? argv[2] : "1", 1));
  const fs::path dir =
      argc > 3 ? fs::path(argv[3])
               : fs::temp_directory_path() / ("e2e-soak-" + std::to_string(platform::tick_ms64()));
  fs::create_directories(dir);
  e2e::tune_for_loopback();
  // The player's pool and the sound output start on first use and stay; warm
  // them before the baseline so only the sessions' own are counted.
  {
    platform::ScopedHeadlessWindow warm;
    (void)warm;
  }
  // ThreadSanitizer starts a helper thread of its own with the first thread.
  std::thread([] {}).join();
  const Resources before = resources();

  std::string fleet_text;
  for (int d = 0; d < kDevices; ++d) {
    fleet_text += "device " + i2c_of(d) + " 1390000000" + std::to_string(d) + " pw\n";
    for (int c = 0; c < kChannelsPerDevice; ++c)
      fleet_text += "channel " + std::to_string(c) + " " + kTypes[d] + "\n";
  }
  auto fleet = orvsim::parse_fleet(fleet_text);
  if (!fleet.ok()) {
    std::fprintf(stderr, "soak: fleet: %s\n", fleet.error.c_str());
    return 1;
  }
  orvsim::SimulatorOptions options;
  options.fleet = *fleet.fleet;
  int failures = 0;
  {
    orvsim::Simulator sim(options);
    auto device_options = sim.devices().options();
    device_options.heartbeat_ms = 1000;
    sim.devices().set_options(device_options);
    if (!sim.start()) {
      std::fprintf(stderr, "soak: simulator: %s\n", sim.error().c_str());
      return 1;
    }
    if (!InitMonitClientSDK()) {
      std::fputs("soak: the SDK did not start\n", stderr);
      return 1;
    }
    std::vector<Channel> channels;
    for (int d = 0; d < kDevices; ++d) {
      const std::string tel = "1390000000" + std::to_string(d);
      const long h =
          Login("127.0.0.1", sim.http_port(), i2c_of(d).c_str(), tel.c_str(), "pw", "", 2);
      if (h < 0) {
        std::fprintf(stderr, "soak: login of %s failed (%d)\n", i2c_of(d).c_str(),
                     _GetLastErrorCode());
        ReleaseMonitClientSDK();
        return 1;
      }
      for (int c = 0; c < kChannelsPerDevice; ++c) {
        velmo::ChannelInfo* ch = velmo::guarded_channel(h, c);
        ch->m_nHttpTimeout = 2;
        ch->m_nReconnectDelay = 300;
        Channel channel;
        channel.device = d;
        channel.number = c;
        channel.handle = h;
        channel.window = std::make_unique<platform::ScopedHeadlessWindow>(176, 144);
        channel.record = dir / (i2c_of(d) + "-" + std::to_string(c) + ".264");
        SetMsgWnd(h, c, channel.window->hwnd());
        channels.push_back(std::move(channel));
      }
    }
    for (auto& c : channels) {
      if (RealPlay(c.handle, c.number, c.window->hwnd()) < 0) {
        std::fprintf(stderr, "soak: RealPlay of %s/%d failed\n", i2c_of(c.device).c_str(),
                     c.number);
        ++failures;
      }
    }
    for (auto& c : channels) {
      if (!e2e::wait_pictures(c.window->window(), 1, 10000)) {
        std::fprintf(stderr, "soak: %s/%d (%s) showed no first picture\n", i2c_of(c.device).c_str(),
                     c.number, kTypes[c.device]);
        ++failures;
      }
      StartLocalRecord(c.handle, c.number, c.record.wstring().c_str());
    }

    // Drops at random on the TCP types; P2P paths end for good when their
    // control path goes, so they lose single frames and slices instead.
    std::mt19937 rng(seed);
    const auto end = platform::tick_ms64() + 1000ull * seconds;
    int drops = 0, damaged = 0;
    while (platform::tick_ms64() < end) {
      platform::sleep_ms(200 + static_cast<int>(rng() % 600));
      const int d = static_cast<int>(rng() % kDevices);
      const int c = static_cast<int>(rng() % kChannelsPerDevice);
      // A restart ends a recording; the client starts it again the way its
      // file packing does, appending to the channel's file.
      const auto& again = channels[rng() % channels.size()];
      StartLocalRecord(again.handle, again.number, again.record.wstring().c_str());
      if (d == 2) {
        const orvsim::MediaFault faults[] = {orvsim::MediaFault::slice_missing,
                                             orvsim::MediaFault::slices_out_of_order,
                                             orvsim::MediaFault::foreign_magic};
        sim.devices().inject(i2c_of(d), c, faults[rng() % 3]);
        ++damaged;
      } else {
        sim.devices().inject(
            i2c_of(d), c,
            rng() % 2 ? orvsim::MediaFault::close_control : orvsim::MediaFault::close_stream);
        ++drops;
      }
    }
    std::printf("soak: %d s, %d connections dropped, %d P2P frames damaged\n", seconds, drops,
                damaged);

    // Every channel plays: fresh pictures within a few reconnect delays.
    for (auto& c : channels) {
      const std::size_t shown = c.window->window().picture_count();
      if (!e2e::wait_pictures(c.window->window(), shown + 5, 10000)) {
        std::fprintf(stderr, "soak: %s/%d (%s) is not playing (%zu pictures)\n",
                     i2c_of(c.device).c_str(), c.number, kTypes[c.device], shown);
        ++failures;
      }
    }
    for (auto& c : channels) {
      const auto t0 = platform::tick_ms64();
      StopRealPlay(c.handle, c.number);
      const auto took = platform::tick_ms64() - t0;
      if (took >= 1500) {
        std::fprintf(stderr, "soak: StopRealPlay of %s/%d took %llu ms\n", i2c_of(c.device).c_str(),
                     c.number, static_cast<unsigned long long>(took));
        ++failures;
      }
    }
    std::size_t recorded = 0, lost = 0, timed_out = 0;
    for (auto& c : channels) {
      lost += e2e::count_messages(c.window->window(), NOTIFY_SESSION_LOST);
      timed_out += e2e::count_messages(c.window->window(), NOTIFY_P2P_TIMEOUT);
      if (!fs::exists(c.record)) continue;
      const auto check = e2e::check_record(c.record, nullptr);
      if (!check.whole || (check.frames > 0 && check.first_type != 1)) {
        std::fprintf(
            stderr, "soak: record %s: %s (first type %d)\n", c.record.c_str(),
            check.error.empty() ? "does not start with a type-1 frame" : check.error.c_str(),
            check.first_type);
        ++failures;
      }
      recorded += check.frames;
    }
    std::printf(
        "soak: %zu frames recorded in whole frames, %zu session losses, %zu P2P time-outs\n",
        recorded, lost, timed_out);
    if (timed_out) {
      std::fputs("soak: a P2P session timed out\n", stderr);
      ++failures;
    }
    ReleaseMonitClientSDK();
    if (velmo::p2p_count() != 0) {
      std::fprintf(stderr, "soak: %zu punched paths left after release\n", velmo::p2p_count());
      ++failures;
    }
    sim.stop();
  }
  const Resources after = resources();
  std::printf("soak: threads %zu before, %zu after; sockets %zu before, %zu after\n",
              before.threads, after.threads, before.sockets, after.sockets);
  if (after.threads > before.threads || after.sockets > before.sockets) {
    std::fputs("soak: threads or sockets left behind\n", stderr);
    ++failures;
  }
  std::error_code ec;
  if (argc <= 3) fs::remove_all(dir, ec);
  std::printf("soak: %s\n", failures ? "FAILED" : "passed");
  return failures ? 1 : 0;
}
