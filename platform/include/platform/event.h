// Events with automatic or manual reset, and process-wide named events and
// mutexes (one object per name within the process).
#pragma once

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "platform/export.h"

namespace platform {

class Event {
 public:
  Event(bool manual_reset, bool initially_set) : manual_(manual_reset), set_(initially_set) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  // True when signalled within timeout_ms (< 0: no limit). An automatic-reset
  // event is cleared by the one waiter it releases.
  bool wait(int timeout_ms);
  bool is_set() const;

 private:
  const bool manual_;
  mutable std::mutex m_;
  std::condition_variable cv_;
  bool set_;
};

// Opens the named event, creating it with the given properties when absent.
BREVANTA_EXPORT std::shared_ptr<Event> open_named_event(const std::string& name, bool manual_reset,
                                                        bool initially_set);

// A plain (not recursive) mutex with a timed lock, usable with std::unique_lock.
// Not std::timed_mutex: ThreadSanitizer does not see its timed lock
// (pthread_mutex_clocklock).
class Mutex {
 public:
  bool lock(int timeout_ms);  // < 0: no limit; false on time-out
  void unlock();
  void lock() { lock(-1); }
  bool try_lock() { return lock(0); }
  template <class Rep, class Period>
  bool try_lock_for(const std::chrono::duration<Rep, Period>& timeout) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    return lock(static_cast<int>(std::clamp<decltype(ms)>(ms, 0, INT_MAX)));
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool held_ = false;
};

// Opens the named mutex, creating it (not owned) when absent.
BREVANTA_EXPORT std::shared_ptr<Mutex> open_named_mutex(const std::string& name);

// Holds a Mutex for a scope.
class MutexLock {
 public:
  explicit MutexLock(Mutex& m, int timeout_ms = -1) : m_(m), owned_(m.lock(timeout_ms)) {}
  ~MutexLock() {
    if (owned_) m_.unlock();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  bool owned() const { return owned_; }

 private:
  Mutex& m_;
  bool owned_;
};

}  // namespace platform
