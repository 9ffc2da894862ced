#include "platform/process.h"

#include <system_error>

namespace platform {

std::filesystem::path program_dir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

}  // namespace platform
