// Termination requests (SIGINT, SIGTERM) taken synchronously. A program blocks
// them first, before it starts any thread, so every thread inherits the mask and
// none is interrupted; its main thread then waits for one with a time limit.
#pragma once

namespace platform {

// Blocks SIGINT and SIGTERM in the calling thread (and the threads it starts later)
// and undoes an inherited "ignore", so that a wait can take them.
bool block_termination_signals();

// Waits up to timeout_ms (< 0: without limit) for SIGINT or SIGTERM: the signal
// number taken, 0 on time-out, -1 on error. Needs block_termination_signals().
int wait_termination_signal(int timeout_ms);

// Sends SIGTERM to the calling thread: a pending request a later wait takes.
bool raise_termination_signal();

// A descriptor that becomes readable while SIGINT or SIGTERM is pending, for
// an event loop to watch. Needs block_termination_signals().
class TerminationSignalFd {
 public:
  TerminationSignalFd();
  ~TerminationSignalFd();
  TerminationSignalFd(const TerminationSignalFd&) = delete;
  TerminationSignalFd& operator=(const TerminationSignalFd&) = delete;
  int fd() const { return fd_; }  // -1 when it could not be made
  // The pending signal's number, taken; 0 when none is pending.
  int take();

 private:
  int fd_ = -1;
};

// "SIGINT", "SIGTERM", or "signal" for any other number.
const char* termination_signal_name(int signal);

}  // namespace platform
