// Recording roots as lettered drives. By default the local disk filesystems of
// the mount table, lettered from C in mount order; the environment variable
// BREVANTA_DRIVES (roots separated by ':') names explicit roots instead.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace platform {

struct Drive {
  char letter;                  // 'C', 'D', ...
  std::filesystem::path root;   // folder that stands for "X:\"
};

inline constexpr const char* kDrivesEnv = "BREVANTA_DRIVES";

std::vector<Drive> recording_drives();
std::optional<Drive> drive_by_letter(char letter);

struct SpaceInfo {
  std::uint64_t total = 0;
  std::uint64_t free = 0;  // available to this user
};
std::optional<SpaceInfo> disk_space(const std::filesystem::path& root);

}  // namespace platform
