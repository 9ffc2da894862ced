// Time: a millisecond tick counter and sleeps that wake early on stop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

// Milliseconds of a steady clock; the 32-bit form wraps like GetTickCount.
std::uint64_t tick_ms64();
inline std::uint32_t tick_ms() {
  return static_cast<std::uint32_t>(tick_ms64());
}

void sleep_ms(int ms);

// A stop flag that sleeping threads can be woken from. One owner calls stop();
// worker loops poll stopped() and sleep through sleep_for(), or wait on a
// socket and wake_fd() together (platform::wait_readable and friends).
class StopSignal {
 public:
  StopSignal() = default;
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void stop();
  void reset();
  bool stopped() const { return stopped_.load(std::memory_order_acquire); }
  // Sleeps up to ms; false when stopped (before or during the sleep).
  bool sleep_for(int ms);
  // A descriptor that is readable while stopped, for poll() beside others.
  // Made on first use, so signals that never wait on sockets hold none; -1
  // when the system gives none.
  int wake_fd() const;

 private:
  std::atomic<bool> stopped_{false};
  mutable std::mutex m_;
  std::condition_variable cv_;
  mutable std::atomic<int> wake_fd_{-1};  // set once, under m_
};

}  // namespace platform
