// The public side of the NAT tests: the simulator (authentication server and
// two rendezvous servers) on one address. It reports every address query and
// every pair it introduces, one line each, until SIGTERM:
//   ready http=<port> udp=<port>,<port>
//   query <responder> <ip>:<port>
//   pair <session> <ip>:<port> <ip>:<port>
#include <cstdio>
#include <vector>

#include "platform/signals.h"
#include "simulator.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: nat_server <bind-ip>\n");
    return 3;
  }
  platform::block_termination_signals();
  auto fleet = orvsim::parse_fleet(
      "p2p-server self\np2p-server self\ndevice N1 1390001 -\nchannel 0 client-monitor-p2p\n");
  if (!fleet.ok()) return 3;
  orvsim::SimulatorOptions options;
  options.fleet = *fleet.fleet;
  options.bind_ip = argv[1];
  orvsim::Simulator sim(options);
  if (!sim.start()) {
    std::printf("error %s\n", sim.error().c_str());
    return 1;
  }
  const auto ports = sim.udp_ports();
  std::printf("ready http=%d udp=%d,%d\n", sim.http_port(), ports.at(0), ports.at(1));
  std::fflush(stdout);

  std::vector<std::size_t> seen(sim.responder_count(), 0);
  std::size_t pairs = 0;
  while (platform::wait_termination_signal(100) == 0) {
    for (std::size_t i = 0; i < sim.responder_count(); ++i) {
      const auto all = sim.responder(i).received();
      for (; seen[i] < all.size(); ++seen[i]) {
        const auto& d = all[seen[i]];
        if (d.data.size() == 4 && orvsim::read_be32(d.data, 0) == orvsim::kP2pAddrQuery)
          std::printf("query %zu %s\n", i, d.from.text().c_str());
      }
    }
    const auto pairings = sim.p2p().rendezvous().pairings();
    for (; pairs < pairings.size(); ++pairs) {
      const auto& p = pairings[pairs];
      std::printf("pair %u %s %s\n", static_cast<unsigned>(p.session), p.first.text().c_str(),
                  p.second.text().c_str());
    }
    std::fflush(stdout);
  }
  sim.stop();
  return 0;
}
