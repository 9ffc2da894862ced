// Time: a millisecond tick counter and sleeps that wake early on stop.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

// Milliseconds of a steady clock; the 32-bit form wraps like GetTickCount.
std::uint64_t tick_ms64();
inline std::uint32_t tick_ms() { return static_cast<std::uint32_t>(tick_ms64()); }

void sleep_ms(int ms);

// A stop flag that sleeping threads can be woken from. One owner calls stop();
// worker loops poll stopped() and sleep through sleep_for().
class StopSignal {
 public:
  void stop();
  void reset();
  bool stopped() const { return stopped_.load(std::memory_order_acquire); }
  // Sleeps up to ms; false when stopped (before or during the sleep).
  bool sleep_for(int ms);

 private:
  std::atomic<bool> stopped_{false};
  std::mutex m_;
  std::condition_variable cv_;
};

}  // namespace platform
