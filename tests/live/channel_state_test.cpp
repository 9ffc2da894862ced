// The live state a channel carries beside it.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>

#include "frame/user_table.h"
#include "media/live_channel.h"

namespace velmo::test {
namespace {

TEST(LiveChannelState, GoesWithItsChannel) {
  alignas(ChannelInfo) unsigned char storage[sizeof(ChannelInfo)];
  auto* first = new (storage) ChannelInfo(nullptr, 0);
  const auto old_state = reinterpret_cast<std::uintptr_t>(&live_state(*first));
  first->~ChannelInfo();
  // Takes the freed block, so a new state cannot land there by chance.
  auto holder = std::make_unique<LiveChannelState>();
  auto* second = new (storage) ChannelInfo(nullptr, 0);
  EXPECT_NE(reinterpret_cast<std::uintptr_t>(&live_state(*second)), old_state);
  second->~ChannelInfo();
}

}  // namespace
}  // namespace velmo::test
