// Small pieces the simulated device's sessions share: the clock, the
// random stream tokens and the frames they send.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "teststream/teststream.h"

namespace orvsim {

// The longest a session's loop waits before it looks at its faults again.
inline constexpr int kPollMs = 50;

inline std::uint64_t now_ms() {
  return platform::tick_ms64();
}

// Magic and stream session are decimal text that clients parse into a signed
// 32-bit word: keep them positive.
std::uint32_t random_token();

inline std::string_view as_text(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A frame of the loop, renumbered, with the faults of this frame applied.
std::vector<std::uint8_t> prepare_frame(const teststream::Frame& source, std::uint32_t number,
                                        bool clear_signature);

// A frame with a valid header whose data passes the 128 KiB limit; its data
// length is whole headers so the reader can find the next frame after it.
std::vector<std::uint8_t> oversized_frame(std::uint32_t number, int fps);

}  // namespace orvsim
