#include "platform/signals.h"

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace platform {
namespace {

sigset_t termination_set() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

bool block_termination_signals() {
  sigset_t set = termination_set();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  // A shell starts background programs with SIGINT ignored, and an ignored
  // signal is dropped even while blocked: take the default back so the wait sees it.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  return sigaction(SIGINT, &dfl, nullptr) == 0 && sigaction(SIGTERM, &dfl, nullptr) == 0;
}

int wait_termination_signal(int timeout_ms) {
  sigset_t set = termination_set();
  for (;;) {
    int sig;
    if (timeout_ms < 0) {
      sig = sigwaitinfo(&set, nullptr);
    } else {
      timespec limit{timeout_ms / 1000, static_cast<long>(timeout_ms % 1000) * 1000000L};
      sig = sigtimedwait(&set, nullptr, &limit);
    }
    if (sig > 0) return sig;
    if (errno == EAGAIN) return 0;
    if (errno == EINTR) continue;  // another signal; timeouts restart, which only lengthens
    return -1;
  }
}

bool raise_termination_signal() {
  return pthread_kill(pthread_self(), SIGTERM) == 0;
}

TerminationSignalFd::TerminationSignalFd() {
  sigset_t set = termination_set();
  fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

TerminationSignalFd::~TerminationSignalFd() {
  if (fd_ >= 0) ::close(fd_);
}

int TerminationSignalFd::take() {
  if (fd_ < 0) return 0;
  signalfd_siginfo info{};
  for (;;) {
    const ssize_t n = ::read(fd_, &info, sizeof info);
    if (n == static_cast<ssize_t>(sizeof info)) return static_cast<int>(info.ssi_signo);
    if (n < 0 && errno == EINTR) continue;
    return 0;
  }
}

const char* termination_signal_name(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "signal";
  }
}

}  // namespace platform
