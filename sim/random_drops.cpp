#include "random_drops.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace orvsim {

MediaFault drop_fault(ConnectType type, std::uint32_t draw) {
  if (type == ConnectType::client_monitor_p2p) {
    constexpr MediaFault kDamage[] = {MediaFault::slice_missing, MediaFault::slices_out_of_order,
                                      MediaFault::foreign_magic};
    return kDamage[draw % 3];
  }
  return draw % 2 ? MediaFault::close_control : MediaFault::close_stream;
}

RandomDrops::RandomDrops(DeviceService& devices, std::shared_ptr<const Fleet> fleet,
                         DropOptions options)
    : devices_(devices), fleet_(std::move(fleet)), options_(options), rng_(options.seed) {}

RandomDrops::~RandomDrops() {
  stop();
}

bool RandomDrops::start() {
  if (thread_.running() || !fleet_) return false;
  stop_.reset();
  if (!thread_.create([this] { run(); })) return false;
  thread_.resume();
  return true;
}

void RandomDrops::stop() {
  stop_.stop();
  thread_.join();
  devices_.faults().clear();
}

void RandomDrops::run() {
  const int gap = std::max(options_.gap_ms, 2);
  while (stop_.sleep_for(gap / 2 + static_cast<int>(rng_() % static_cast<std::uint32_t>(gap)))) {
    // Only channels sending frames now: a fault queued for an idle channel
    // would strike its next session the moment it starts.
    std::vector<std::pair<ChannelKey, ConnectType>> streaming;
    for (const SimDevice& d : fleet_->devices)
      for (const SimChannel& c : d.channels) {
        ChannelKey key{d.i2c, c.number};
        const std::uint64_t frames = devices_.log().stats(key).frames;
        std::uint64_t& seen = frames_[key];
        if (frames > seen) streaming.emplace_back(key, c.connect);
        seen = frames;
      }
    if (streaming.empty()) continue;
    const auto& [key, type] = streaming[rng_() % streaming.size()];
    const MediaFault fault = drop_fault(type, rng_());
    devices_.inject(key.i2c, key.channel, fault);
    ++(type == ConnectType::client_monitor_p2p ? damaged_ : drops_);
  }
}

}  // namespace orvsim
