// Every request the HTTP server received, in arrival order, with the exact
// wire text of its head, so tests can assert what a client sent.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "http_request.h"
#include "platform/net.h"

namespace orvsim {

struct LoggedRequest {
  std::uint64_t connection = 0;         // 1, 2, ... in accept order
  std::size_t index_on_connection = 0;  // 0 for the first request of a connection
  platform::SockAddr peer;
  std::uint64_t tick_ms = 0;
  std::string fault;  // name of the fault injected into the answer, empty when none
  HttpRequest request;
};

// Indices count every request since the start or the last clear(); a long
// run keeps only the newest `capacity` entries, older indices are gone.
class RequestLog {
 public:
  explicit RequestLog(std::size_t capacity = 100000) : capacity_(capacity ? capacity : 1) {}

  void add(LoggedRequest entry);
  void clear();

  std::size_t size() const;                    // requests received (kept or not)
  std::vector<LoggedRequest> entries() const;  // the kept ones, oldest first
  // The index-th request (0-based) once it has arrived; nullopt after timeout_ms
  // or when it is no longer kept.
  std::optional<LoggedRequest> wait_for(std::size_t index, int timeout_ms) const;
  // The first request at or after index `from` that satisfies match.
  std::optional<LoggedRequest> wait_until(const std::function<bool(const LoggedRequest&)>& match,
                                          int timeout_ms, std::size_t from = 0) const;
  // The requests that arrived on one connection.
  std::vector<LoggedRequest> on_connection(std::uint64_t connection) const;

 private:
  mutable std::mutex m_;
  mutable std::condition_variable cv_;
  std::size_t capacity_;
  std::size_t dropped_ = 0;  // index of entries_.front()
  std::deque<LoggedRequest> entries_;
};

}  // namespace orvsim
