// The time the media code measures by: bit-rate windows, heart-beat periods,
// silence time-outs. Injected so tests step it instead of sleeping; waits
// still sleep in real time, bounded by what the clock says is left.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace velmo::media {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint64_t now_ms() const = 0;
};

class SteadyClock final : public Clock {
 public:
  std::uint64_t now_ms() const override { return platform::tick_ms64(); }
};

// The process's steady clock, the default of every user.
inline const Clock& steady_clock() {
  static const SteadyClock clock;
  return clock;
}

}  // namespace velmo::media
