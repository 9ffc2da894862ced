// Threads created suspended, resumed, and joined by their owner. Never killed:
// a thread ends by returning from its body, which polls its owner's stop flag.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class Thread {
 public:
  Thread() = default;
  // Creates the thread held at its start gate; the body runs after resume().
  explicit Thread(std::function<void()> body);
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Joins. A thread never resumed is released without running its body. A
  // body that destroys its own Thread goes on running; the thread is joined
  // by the library once the body has returned, never detached.
  ~Thread();

  // Creates the thread suspended (joins a previous one first). False on failure,
  // and when called by the body of the current thread.
  bool create(std::function<void()> body);
  void resume();
  // Waits for the body to end: true when it ended within timeout_ms (< 0: no
  // limit). False at once on the thread itself.
  bool wait(int timeout_ms);
  // Waits without limit and frees the thread; true when no thread is left.
  // Safe to call repeatedly. On the thread itself nothing changes and the
  // result is false: a body cannot wait for its own end.
  bool join();
  bool running() const;  // created and body not yet finished
  bool created() const { return thread_.joinable(); }
  // True when called on this thread itself (a body must not join itself).
  bool is_current() const;

 private:
  struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    bool cancelled = false;
    bool done = false;
  };
  std::shared_ptr<Gate> gate_;
  std::thread thread_;
};

}  // namespace platform
