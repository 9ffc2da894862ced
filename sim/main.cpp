// orvsim: the authentication server and P2P address responders of a simulated
// fleet, served until SIGINT or SIGTERM.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/signals.h"
#include "platform/text.h"
#include "simulator.h"

namespace {

constexpr const char* kUsage =
    "usage: orvsim --fleet FILE [--http-port N] [--udp-port N] [--bind ADDR]\n"
    "  --fleet FILE     devices and servers to simulate (format: sim/fleet.h)\n"
    "  --http-port N    authentication server port (default 0: any free port)\n"
    "  --udp-port N     port of the first P2P address responder (default 0: any)\n"
    "  --bind ADDR      address to serve on (default 127.0.0.1; 0.0.0.0 for all)\n"
    "  --quiet          do not print a line per request served\n";

// The request target for a terminal: CP936 text shown as UTF-8, control bytes as '?'.
std::string printable(const std::string& target) {
  std::string text = platform::utf8_from_wide(platform::wide_from_cp936(target));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

bool parse_port(std::string_view text, int& port) {
  int v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size() || v < 0 || v > 65535) return false;
  port = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string fleet_path;
  bool quiet = false;
  orvsim::SimulatorOptions options;
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
  std::fflush(stdout);

  int sig = 0;
  while ((sig = platform::wait_termination_signal(1000)) == 0) {
  }
  if (sig > 0) std::printf("orvsim: %s, stopping\n", platform::termination_signal_name(sig));
  sim.stop();
  std::printf("orvsim: stopped\n");
  return 0;
}
