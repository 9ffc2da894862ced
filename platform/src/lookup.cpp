#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/net.h"

namespace platform {

struct HostLookup::State {
  std::string host;
  std::mutex m;
  std::condition_variable cv;
  bool finished = false;
  bool cancelled = false;
  std::optional<std::uint32_t> ip;
};

namespace {

// Enough for the few authentication servers of a client; more lookups wait
// in the queue (and their callers give up after their time-out).
constexpr std::size_t kMaxWorkers = 4;

std::atomic<Resolver> g_resolver{nullptr};

// Owns the workers: started on demand, stopped and joined at exit. A worker
// inside a system lookup holds up the exit until the resolver gives up.
class LookupPool {
 public:
  ~LookupPool() {
    {
      std::lock_guard lock(m_);
      stop_ = true;
    }
    cv_.notify_all();
    for (auto& t : workers_) t.join();
  }

  bool submit(std::shared_ptr<HostLookup::State> job) {
    std::lock_guard lock(m_);
    if (stop_) return false;
    queue_.push_back(std::move(job));
    if (idle_ == 0 && workers_.size() < kMaxWorkers) {
      try {
        workers_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        if (workers_.empty()) {
          queue_.pop_back();
          return false;
        }
      }
    }
    cv_.notify_one();
    return true;
  }

 private:
  void work() {
    std::unique_lock lock(m_);
    for (;;) {
      ++idle_;
      cv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      --idle_;
      if (stop_) return;
      auto job = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      run(*job);
      lock.lock();
    }
  }

  static void run(HostLookup::State& job) {
    {
      std::lock_guard lock(job.m);
      if (job.cancelled) return;
    }
    const Resolver r = g_resolver.load();
    auto ip = r ? r(job.host) : resolve_ipv4(job.host);
    {
      std::lock_guard lock(job.m);
      job.ip = ip;
      job.finished = true;
    }
    job.cv.notify_all();
  }

  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<HostLookup::State>> queue_;
  std::vector<std::thread> workers_;
  std::size_t idle_ = 0;
  bool stop_ = false;
};

LookupPool& pool() {
  static LookupPool p;
  return p;
}

}  // namespace

void set_resolver(Resolver resolver) {
  g_resolver.store(resolver);
}

std::shared_ptr<HostLookup> HostLookup::start(std::string host) {
  auto state = std::make_shared<State>();
  state->host = std::move(host);
  if (auto ip = parse_dotted(state->host)) {
    state->ip = ip;
    state->finished = true;
  } else if (!pool().submit(state)) {
    state->finished = true;
  }
  return std::make_shared<HostLookup>(std::move(state));
}

std::optional<std::uint32_t> HostLookup::wait(int timeout_ms) {
  std::unique_lock lock(state_->m);
  state_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms),
                      [&] { return state_->finished || state_->cancelled; });
  if (state_->cancelled || !state_->finished) return std::nullopt;
  return state_->ip;
}

void HostLookup::cancel() {
  {
    std::lock_guard lock(state_->m);
    state_->cancelled = true;
  }
  state_->cv.notify_all();
}

}  // namespace platform
