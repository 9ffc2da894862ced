#include "pacer.h"

#include <algorithm>

#include "session_common.h"

namespace orvsim {

Pacer::Pacer(int fps) : period_us_(1000000 / std::max(1, fps)), start_(now_ms()) {}

int Pacer::wait_ms() const {
  const std::uint64_t due = start_ + sent_ * period_us_ / 1000;
  const std::uint64_t now = now_ms();
  return due > now ? static_cast<int>(std::min<std::uint64_t>(due - now, kPollMs)) : 0;
}

void Pacer::next() {
  ++sent_;
  const std::uint64_t due = start_ + sent_ * period_us_ / 1000;
  if (now_ms() > due + 1000) {
    start_ = now_ms();
    sent_ = 0;
  }
}

}  // namespace orvsim
