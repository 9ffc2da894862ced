// brevanta_demo FLEET AUTH_ADDRESS AUTH_PORT FOLDER: prepares a
// working folder for the client against the simulator serving FLEET.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo_workdir.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: brevanta_demo FLEET AUTH_ADDRESS AUTH_PORT FOLDER\n");
    return 2;
  }
  const auto fleet = orvsim::load_fleet(argv[1]);
  if (!fleet.ok()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], fleet.error.c_str());
    return 1;
  }
  demo::DemoOptions o;
  o.auth_address = argv[2];
  o.auth_port = std::atoi(argv[3]);
  return demo::write_demo_workdir(*fleet.fleet, o, argv[4]) ? 0 : 1;
}
