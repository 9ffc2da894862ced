// orvsim: the authentication server and P2P address responders of a simulated
// fleet, served until SIGINT or SIGTERM; for soaks, its devices drop
// connections at random.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/signals.h"
#include "platform/text.h"
#include "random_drops.h"
#include "simulator.h"

namespace {

constexpr const char* kUsage =
    "usage: orvsim --fleet FILE [--http-port N] [--udp-port N] [--bind ADDR] [--quiet]\n"
    "              [--drops MS [--drops-while FILE] [--seed N]]\n"
    "  --fleet FILE     devices and servers to simulate (format: sim/fleet.h)\n"
    "  --http-port N    authentication server port (default 0: any free port)\n"
    "  --udp-port N     port of the first P2P address responder (default 0: any)\n"
    "  --bind ADDR      address to serve on (default 127.0.0.1; 0.0.0.0 for all)\n"
    "  --quiet          do not print a line per request served\n"
    "  --drops MS       streaming channels drop connections at random, one drop\n"
    "                   every MS on average (P2P channels get damaged frames)\n"
    "  --drops-while FILE  drops only while FILE exists (looked at once a second)\n"
    "  --seed N         seed of the drops (default 1)\n";

// The request target for a terminal: CP936 text shown as UTF-8, control bytes as '?'.
std::string printable(const std::string& target) {
  std::string text = platform::utf8_from_wide(platform::wide_from_cp936(target));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

bool parse_number(std::string_view text, long long low, long long high, long long& out) {
  long long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size() || v < low || v > high) return false;
  out = v;
  return true;
}

bool parse_port(std::string_view text, int& port) {
  long long v = 0;
  if (!parse_number(text, 0, 65535, v)) return false;
  port = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string fleet_path;
  bool quiet = false;
  orvsim::SimulatorOptions options;
  orvsim::DropOptions drop_options;
  bool drops_on = false;
  std::filesystem::path drops_while;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--quiet") {
      quiet = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "orvsim: %s needs a value\n%s", argv[i], kUsage);
      return 2;
    }
    std::string_view value = argv[++i];
    if (arg == "--fleet") {
      fleet_path = value;
    } else if (arg == "--http-port") {
      if (!parse_port(value, options.http_port)) {
        std::fprintf(stderr, "orvsim: bad --http-port %s\n", argv[i]);
        return 2;
      }
    } else if (arg == "--udp-port") {
      if (!parse_port(value, options.udp_port)) {
        std::fprintf(stderr, "orvsim: bad --udp-port %s\n", argv[i]);
        return 2;
      }
    } else if (arg == "--bind") {
      options.bind_ip = value;
    } else if (arg == "--drops") {
      long long ms = 0;
      if (!parse_number(value, 2, 3600000, ms)) {
        std::fprintf(stderr, "orvsim: bad --drops %s\n", argv[i]);
        return 2;
      }
      drop_options.gap_ms = static_cast<int>(ms);
      drops_on = true;
    } else if (arg == "--drops-while") {
      drops_while = value;
    } else if (arg == "--seed") {
      long long seed = 0;
      if (!parse_number(value, 0, 0xFFFFFFFFll, seed)) {
        std::fprintf(stderr, "orvsim: bad --seed %s\n", argv[i]);
        return 2;
      }
      drop_options.seed = static_cast<std::uint32_t>(seed);
    } else {
      std::fprintf(stderr, "orvsim: unknown option %s\n%s", argv[i - 1], kUsage);
      return 2;
    }
  }
  if (fleet_path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  auto fleet = orvsim::load_fleet(fleet_path);
  if (!fleet.ok()) {
    std::fprintf(stderr, "orvsim: %s\n", fleet.error.c_str());
    return 1;
  }
  options.fleet = *fleet.fleet;

  // Before any thread exists, so that every thread inherits the mask.
  if (!platform::block_termination_signals()) {
    std::fputs("orvsim: cannot block SIGINT/SIGTERM\n", stderr);
    return 1;
  }
  orvsim::Simulator sim(options);
  if (!quiet) {
    sim.http().set_observer([](const orvsim::LoggedRequest& e, int status) {
      std::string line = "http #" + std::to_string(e.connection) + " " + e.peer.text() + " " +
                         e.request.method + " " + printable(e.request.target) + " -> ";
      line += status > 0 ? std::to_string(status) : status == 0 ? "no answer" : "raw answer";
      if (!e.fault.empty()) line += " (fault: " + e.fault + ")";
      line += "\n";
      std::fputs(line.c_str(), stdout);
      std::fflush(stdout);
    });
    sim.devices().log().set_observer([](const std::string& line) {
      std::fputs((printable(line) + "\n").c_str(), stdout);
      std::fflush(stdout);
    });
  }
  if (!sim.start()) {
    std::fprintf(stderr, "orvsim: %s\n", sim.error().c_str());
    return 1;
  }
  std::printf("%s\n%s%s", sim.ready_line().c_str(), orvsim::fleet_summary(*sim.fleet()).c_str(),
              sim.devices().summary().c_str());
  std::unique_ptr<orvsim::RandomDrops> drops;
  if (drops_on)
    drops = std::make_unique<orvsim::RandomDrops>(sim.devices(), sim.fleet(), drop_options);
  // The drops follow the file, looked at once a second; without one they run throughout.
  auto steer_drops = [&](bool wanted) {
    if (!drops) return true;
    std::error_code ec;
    wanted = wanted && (drops_while.empty() || std::filesystem::exists(drops_while, ec));
    if (wanted && !drops->running()) {
      if (!drops->start()) return false;
      std::printf("orvsim: drops started, one every %d ms on average, seed %u\n",
                  drop_options.gap_ms, drop_options.seed);
    } else if (!wanted && drops->running()) {
      drops->stop();
      std::printf("orvsim: drops stopped: %d connections dropped, %d P2P frames damaged\n",
                  drops->drops(), drops->damaged());
    }
    std::fflush(stdout);
    return true;
  };
  if (!steer_drops(true)) {
    std::fputs("orvsim: cannot start the drops\n", stderr);
    sim.stop();
    return 1;
  }
  std::fflush(stdout);

  int sig = 0;
  while ((sig = platform::wait_termination_signal(1000)) == 0) steer_drops(true);
  if (sig > 0) std::printf("orvsim: %s, stopping\n", platform::termination_signal_name(sig));
  steer_drops(false);
  sim.stop();
  std::printf("orvsim: stopped\n");
  return 0;
}
