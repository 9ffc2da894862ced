// Connections dropped at random, for soaks of a client: every so often one
// channel that is streaming loses its control or stream connection. P2P
// channels get a damaged frame instead, as their punched paths do not come
// back once dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <random>

#include "device_service.h"
#include "fleet.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace orvsim {

struct DropOptions {
  int gap_ms = 1000;  // mean time between drops; each gap lies in [gap/2, 3*gap/2]
  std::uint32_t seed = 1;
};

// The fault one drop gives a channel of this connection type.
MediaFault drop_fault(ConnectType type, std::uint32_t draw);

class RandomDrops {
 public:
  RandomDrops(DeviceService& devices, std::shared_ptr<const Fleet> fleet, DropOptions options);
  ~RandomDrops();
  RandomDrops(const RandomDrops&) = delete;
  RandomDrops& operator=(const RandomDrops&) = delete;

  bool start();
  // Ends the drops and clears every pending device fault, so none strikes later.
  void stop();
  bool running() const { return thread_.running(); }

  int drops() const { return drops_; }      // connections closed
  int damaged() const { return damaged_; }  // frames damaged on P2P paths

 private:
  void run();

  DeviceService& devices_;
  std::shared_ptr<const Fleet> fleet_;
  DropOptions options_;
  std::mt19937 rng_;
  std::map<ChannelKey, std::uint64_t> frames_;  // frames sent at the last look
  std::atomic<int> drops_{0};
  std::atomic<int> damaged_{0};
  platform::StopSignal stop_;
  platform::Thread thread_;
};

}  // namespace orvsim
