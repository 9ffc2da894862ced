// The running program.
#pragma once

#include <filesystem>

namespace platform {

// Folder of the running program (where per-device settings folders live).
std::filesystem::path program_dir();

}  // namespace platform
