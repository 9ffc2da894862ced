#pragma once

#include <cstdint>

namespace orvsim {

// Paces frames from the fps: the due time advances by whole frame periods,
// and a sender more than a second late starts afresh instead of bursting.
class Pacer {
 public:
  explicit Pacer(int fps);
  // Until the next frame is due, at most kPollMs; 0 when it is.
  int wait_ms() const;
  bool due() const { return wait_ms() == 0; }
  void next();

 private:
  std::uint64_t period_us_;
  std::uint64_t start_;
  std::uint64_t sent_ = 0;
};

}  // namespace orvsim
