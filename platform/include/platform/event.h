// Events with automatic or manual reset, and process-wide named events and
// mutexes (one object per name within the process).
#pragma once

#include <chrono>
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

// A plain (not recursive) mutex with a timed lock.
class Mutex {
 public:
  bool lock(int timeout_ms);  // < 0: no limit; false on time-out
  void unlock() { m_.unlock(); }

 private:
  std::timed_mutex m_;
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
