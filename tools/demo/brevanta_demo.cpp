// brevanta_demo FLEET AUTH_ADDRESS AUTH_PORT FOLDER [--cycle SECONDS]:
// prepares a working folder for the client against the simulator serving
// FLEET; --cycle turns cycle play on with that cycle time.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "demo_workdir.h"

int main(int argc, char** argv) {
  demo::DemoOptions o;
  const bool cycle = argc == 7 && std::string_view(argv[5]) == "--cycle";
  if (cycle) o.cycle_seconds = std::atoi(argv[6]);
  if ((argc != 5 && !cycle) || (cycle && o.cycle_seconds <= 0)) {
    std::fprintf(stderr,
                 "usage: brevanta_demo FLEET AUTH_ADDRESS AUTH_PORT FOLDER [--cycle SECONDS]\n");
    return 2;
  }
  const auto fleet = orvsim::load_fleet(argv[1]);
  if (!fleet.ok()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], fleet.error.c_str());
    return 1;
  }
  o.auth_address = argv[2];
  o.auth_port = std::atoi(argv[3]);
  return demo::write_demo_workdir(*fleet.fleet, o, argv[4]) ? 0 : 1;
}
