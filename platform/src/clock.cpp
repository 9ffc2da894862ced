#include "platform/clock.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace platform {

std::uint64_t tick_ms64() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void sleep_ms(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

StopSignal::~StopSignal() {
  const int fd = wake_fd_.load();
  if (fd >= 0) ::close(fd);
}

void StopSignal::stop() {
  {
    std::lock_guard lock(m_);
    stopped_.store(true, std::memory_order_release);
    const int fd = wake_fd_.load(std::memory_order_relaxed);
    if (fd >= 0) ::eventfd_write(fd, 1);
  }
  cv_.notify_all();
}

void StopSignal::reset() {
  std::lock_guard lock(m_);
  stopped_.store(false, std::memory_order_release);
  const int fd = wake_fd_.load(std::memory_order_relaxed);
  eventfd_t drained;
  if (fd >= 0) ::eventfd_read(fd, &drained);  // non-blocking: nothing to drain is fine
}

bool StopSignal::sleep_for(int ms) {
  std::unique_lock lock(m_);
  if (ms > 0) cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopped(); });
  return !stopped();
}

int StopSignal::wake_fd() const {
  int fd = wake_fd_.load(std::memory_order_acquire);
  if (fd >= 0) return fd;
  std::lock_guard lock(m_);
  fd = wake_fd_.load(std::memory_order_relaxed);
  if (fd < 0) {
    // Under m_, so a stop() before or after is reflected in the count.
    fd = ::eventfd(stopped() ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd >= 0) wake_fd_.store(fd, std::memory_order_release);
  }
  return fd;
}

}  // namespace platform
