#include "platform/event.h"

namespace platform {

void Event::set() {
  {
    std::lock_guard lock(m_);
    set_ = true;
  }
  if (manual_)
    cv_.notify_all();
  else
    cv_.notify_one();
}

void Event::reset() {
  std::lock_guard lock(m_);
  set_ = false;
}

bool Event::wait(int timeout_ms) {
  std::unique_lock lock(m_);
  auto ready = [&] { return set_; };
  if (timeout_ms < 0) {
    cv_.wait(lock, ready);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
    return false;
  }
  if (!manual_) set_ = false;
  return true;
}

bool Event::is_set() const {
  std::lock_guard lock(m_);
  return set_;
}

bool Mutex::lock(int timeout_ms) {
  std::unique_lock lock(m_);
  auto free = [&] { return !held_; };
  if (timeout_ms < 0) {
    cv_.wait(lock, free);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), free)) {
    return false;
  }
  held_ = true;
  return true;
}

void Mutex::unlock() {
  {
    std::lock_guard lock(m_);
    held_ = false;
  }
  cv_.notify_one();
}

}  // namespace platform
