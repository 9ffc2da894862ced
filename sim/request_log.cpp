#include "request_log.h"

#include <chrono>

namespace orvsim {

void RequestLog::add(LoggedRequest entry) {
  {
    std::lock_guard lock(m_);
    entries_.push_back(std::move(entry));
    if (entries_.size() > capacity_) {
      entries_.pop_front();
      ++dropped_;
    }
  }
  cv_.notify_all();
}

void RequestLog::clear() {
  std::lock_guard lock(m_);
  entries_.clear();
  dropped_ = 0;
}

std::size_t RequestLog::size() const {
  std::lock_guard lock(m_);
  return dropped_ + entries_.size();
}

std::vector<LoggedRequest> RequestLog::entries() const {
  std::lock_guard lock(m_);
  return std::vector<LoggedRequest>(entries_.begin(), entries_.end());
}

std::optional<LoggedRequest> RequestLog::wait_for(std::size_t index, int timeout_ms) const {
  std::unique_lock lock(m_);
  if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms),
                    [&] { return dropped_ + entries_.size() > index; }) ||
      index < dropped_)
    return std::nullopt;
  return entries_[index - dropped_];
}

std::optional<LoggedRequest> RequestLog::wait_until(
    const std::function<bool(const LoggedRequest&)>& match, int timeout_ms,
    std::size_t from) const {
  std::unique_lock lock(m_);
  std::optional<LoggedRequest> found;
  std::size_t next = from;
  cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms), [&] {
    if (next < dropped_) next = dropped_;
    for (; next < dropped_ + entries_.size(); ++next) {
      if (match(entries_[next - dropped_])) {
        found = entries_[next - dropped_];
        return true;
      }
    }
    return false;
  });
  return found;
}

std::vector<LoggedRequest> RequestLog::on_connection(std::uint64_t connection) const {
  std::lock_guard lock(m_);
  std::vector<LoggedRequest> result;
  for (const auto& e : entries_)
    if (e.connection == connection) result.push_back(e);
  return result;
}

}  // namespace orvsim
