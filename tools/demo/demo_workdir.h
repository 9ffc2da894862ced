// A working folder for the client against a simulator fleet: every device of
// the fleet as a stored server with its channels in the play list, the
// start-up login switched off, and optionally cycle play.
#pragma once

#include <filesystem>
#include <string>

#include "fleet.h"

namespace demo {

struct DemoOptions {
  std::string auth_address = "127.0.0.1";
  int auth_port = 0;
  // > 0: the preview cycles through the play list, a page every this many
  // seconds (written to "ClientCfg.dat" with the other settings at their defaults).
  int cycle_seconds = 0;
};

// Writes "ChannelCfg.dat" and "User.cfg" (and "ClientCfg.dat" for cycle play)
// into folder (created if missing); devices with the setting "stored no" are
// left out. False with a line on stderr when a file
// cannot be written.
bool write_demo_workdir(const orvsim::Fleet& fleet, const DemoOptions& options,
                        const std::filesystem::path& folder);

}  // namespace demo
