// A working folder for the client against a simulator fleet: every device of
// the fleet as a stored server with its channels in the play list, and the
// start-up login switched off.
#pragma once

#include <filesystem>
#include <string>

#include "fleet.h"

namespace demo {

struct DemoOptions {
  std::string auth_address = "127.0.0.1";
  int auth_port = 0;
};

// Writes "ChannelCfg.dat" and "User.cfg" into folder (created if missing);
// false with a line on stderr when a file cannot be written.
bool write_demo_workdir(const orvsim::Fleet& fleet, const DemoOptions& options,
                        const std::filesystem::path& folder);

}  // namespace demo
