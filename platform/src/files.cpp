#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {
namespace {

bool write_replacing(const std::filesystem::path& path, std::string_view bytes, mode_t mode) {
  std::filesystem::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

}  // namespace

bool write_owner_only(const std::filesystem::path& path, std::string_view bytes) {
  return write_replacing(path, bytes, S_IRUSR | S_IWUSR);
}

bool make_owner_only(const std::filesystem::path& path) {
  return ::chmod(path.c_str(), S_IRUSR | S_IWUSR) == 0;
}

bool write_file_atomic(const std::filesystem::path& path, std::string_view bytes) {
  struct stat st{};
  mode_t mode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;
  if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;  // keep the old file's mode
  return write_replacing(path, bytes, mode);
}

}  // namespace platform
