#include "platform/thread.h"

#include <chrono>
#include <system_error>

namespace platform {

Thread::Thread(std::function<void()> body) { create(std::move(body)); }

Thread::~Thread() { join(); }

bool Thread::create(std::function<void()> body) {
  join();
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
  std::unique_lock lock(gate_->m);
  auto done = [&] { return gate_->done; };
  if (timeout_ms < 0) {
    gate_->cv.wait(lock, done);
    return true;
  }
  return gate_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), done);
}

void Thread::join() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) return;  // a body cannot join itself
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
}

bool Thread::running() const {
  if (!gate_) return false;
  std::lock_guard lock(gate_->m);
  return !gate_->done;
}

bool Thread::is_current() const { return thread_.get_id() == std::this_thread::get_id(); }

}  // namespace platform
