#include "platform/thread.h"

#include <chrono>
#include <system_error>
#include <utility>
#include <vector>

namespace platform {
namespace {

// Takes over a thread whose Thread object its own body destroyed: such a
// thread cannot be joined by itself, and must not be detached, so it is
// joined here once its body has returned (at the next reap, or at exit).
class Reaper {
 public:
  ~Reaper() {
    std::vector<Entry> all;
    {
      std::lock_guard lock(m_);
      all.swap(entries_);
    }
    for (auto& e : all) e.thread.join();
  }
  void adopt(std::shared_ptr<void> gate, std::thread t, bool (*done)(void*)) {
    std::lock_guard lock(m_);
    entries_.push_back({std::move(gate), std::move(t), done});
  }
  // Joins the adopted threads whose bodies ended; never the calling thread.
  void reap() {
    std::vector<Entry> finished;
    {
      std::lock_guard lock(m_);
      for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->thread.get_id() != std::this_thread::get_id() && it->done(it->gate.get())) {
          finished.push_back(std::move(*it));
          it = entries_.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (auto& e : finished) e.thread.join();
  }

 private:
  struct Entry {
    std::shared_ptr<void> gate;
    std::thread thread;
    bool (*done)(void*);
  };
  std::mutex m_;
  std::vector<Entry> entries_;
};

Reaper& reaper() {
  static Reaper r;
  return r;
}

}  // namespace

Thread::Thread(std::function<void()> body) {
  create(std::move(body));
}

Thread::~Thread() {
  if (join()) return;
  // Destroyed by its own body: the body goes on running without this object.
  reaper().adopt(gate_, std::move(thread_), [](void* g) {
    Gate& gate = *static_cast<Gate*>(g);
    std::lock_guard lock(gate.m);
    return gate.done;
  });
}

bool Thread::create(std::function<void()> body) {
  if (!join()) return false;
  reaper().reap();
  auto gate = std::make_shared<Gate>();
  try {
    thread_ = std::thread([gate, body = std::move(body)] {
      {
        std::unique_lock lock(gate->m);
        gate->cv.wait(lock, [&] { return gate->open; });
      }
      if (!gate->cancelled) body();
      {
        std::lock_guard lock(gate->m);
        gate->done = true;
      }
      gate->cv.notify_all();
    });
  } catch (const std::system_error&) {
    return false;
  }
  gate_ = std::move(gate);
  return true;
}

void Thread::resume() {
  if (!gate_) return;
  {
    std::lock_guard lock(gate_->m);
    gate_->open = true;
  }
  gate_->cv.notify_all();
}

bool Thread::wait(int timeout_ms) {
  if (!gate_) return true;
  if (is_current()) return false;  // its own end never comes while it waits
  std::unique_lock lock(gate_->m);
  auto done = [&] { return gate_->done; };
  if (timeout_ms < 0) {
    gate_->cv.wait(lock, done);
    return true;
  }
  return gate_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), done);
}

bool Thread::join() {
  if (!thread_.joinable()) return true;
  if (is_current()) return false;
  {
    std::lock_guard lock(gate_->m);
    if (!gate_->open) {
      gate_->open = true;
      gate_->cancelled = true;
    }
  }
  gate_->cv.notify_all();
  thread_.join();
  gate_.reset();
  return true;
}

bool Thread::running() const {
  if (!gate_) return false;
  std::lock_guard lock(gate_->m);
  return !gate_->done;
}

bool Thread::is_current() const {
  return thread_.get_id() == std::this_thread::get_id();
}

}  // namespace platform
