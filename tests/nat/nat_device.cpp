// The device behind its NAT: registers for a session with the rendezvous
// server, beats towards the client and answers its beats. Ends once both
// directions carried `need` beats and answers (and a short linger, so the
// client sees its answers too), when its lifetime ends, or on SIGTERM.
// Prints one line: "device peer=<ip>:<port> beats_sent=.. beats_received=..
// backs_received=.." and exits 0 only when both directions worked.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "p2p_device.h"
#include "platform/signals.h"

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: nat_device <server-ip> <port> <session> <random> <seconds> <need>\n");
    return 3;
  }
  platform::block_termination_signals();
  const auto server = platform::parse_dotted(argv[1]);
  if (!server) return 3;
  orvsim::P2pDeviceOptions o;
  o.bind = {0, 0};
  o.server = {*server, static_cast<std::uint16_t>(std::atoi(argv[2]))};
  o.session = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
  o.random = argv[4];
  o.register_interval_ms = 200;
  o.beat_interval_ms = 200;
  o.lifetime_ms = std::atoi(argv[5]) * 1000;
  const int need = std::atoi(argv[6]);
  orvsim::P2pDevice device;
  if (!device.start(o)) {
    std::printf("device error %s\n", device.error().c_str());
    return 1;
  }
  auto both_ways = [need](const orvsim::P2pDeviceStats& s) {
    return s.beats_received >= need && s.backs_received >= need;
  };
  std::uint64_t done_at = 0;
  while (platform::wait_termination_signal(50) == 0) {
    const auto s = device.stats();
    if (s.finished) break;
    if (both_ways(s) && !done_at) done_at = platform::tick_ms64();
    if (done_at && platform::tick_ms64() - done_at > 1500) break;
  }
  device.stop();
  const auto s = device.stats();
  std::printf("device peer=%s beats_sent=%d beats_received=%d backs_received=%d\n",
              s.peer ? s.peer->text().c_str() : "none", s.beats_sent, s.beats_received,
              s.backs_received);
  return both_ways(s) ? 0 : 1;
}
