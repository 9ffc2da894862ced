#include "platform/drives.h"

#include <sys/statvfs.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace platform {
namespace {

// Filesystems that hold local disks; optical, network and pseudo ones are not
// recording drives.
const std::set<std::string>& disk_filesystems() {
  static const std::set<std::string> kinds = {"ext2", "ext3", "ext4",  "xfs",   "btrfs",
                                              "f2fs", "jfs",  "vfat",  "exfat", "ntfs",
                                              "ntfs3", "reiserfs", "zfs", "fuseblk"};
  return kinds;
}

// The mount table writes space, tab, newline and backslash as \ooo.
std::string unescape_mount_path(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const std::string oct = s.substr(i + 1, 3);
      if (oct.size() == 3 && oct.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::stoi(oct, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

std::vector<std::filesystem::path> roots_from_env(const char* value) {
  std::vector<std::filesystem::path> roots;
  std::string list(value);
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) roots.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return roots;
}

std::vector<std::filesystem::path> roots_from_mounts() {
  std::vector<std::filesystem::path> roots;
  std::set<std::string> seen;
  std::ifstream in("/proc/self/mounts");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, mount_point, type;
    if (!(fields >> device >> mount_point >> type)) continue;
    if (!disk_filesystems().count(type)) continue;
    std::string path = unescape_mount_path(mount_point);
    if (!seen.insert(path).second) continue;
    roots.emplace_back(path);
  }
  return roots;
}

}  // namespace

std::vector<Drive> recording_drives() {
  const char* env = std::getenv(kDrivesEnv);
  auto roots = env ? roots_from_env(env) : roots_from_mounts();
  std::vector<Drive> drives;
  char letter = 'C';
  for (auto& root : roots) {
    if (letter > 'Z') break;
    drives.push_back(Drive{letter++, std::move(root)});
  }
  return drives;
}

std::optional<Drive> drive_by_letter(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  for (auto& d : recording_drives())
    if (d.letter == letter) return d;
  return std::nullopt;
}

std::optional<SpaceInfo> disk_space(const std::filesystem::path& root) {
  struct statvfs st{};
  if (::statvfs(root.c_str(), &st) != 0) return std::nullopt;
  SpaceInfo info;
  info.total = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
  info.free = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  return info;
}

}  // namespace platform
