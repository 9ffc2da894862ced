#include "platform/clock.h"

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

void StopSignal::stop() {
  {
    std::lock_guard lock(m_);
    stopped_.store(true, std::memory_order_release);
  }
  cv_.notify_all();
}

void StopSignal::reset() {
  std::lock_guard lock(m_);
  stopped_.store(false, std::memory_order_release);
}

bool StopSignal::sleep_for(int ms) {
  std::unique_lock lock(m_);
  if (ms > 0)
    cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopped(); });
  return !stopped();
}

}  // namespace platform
