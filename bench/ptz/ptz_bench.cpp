// Cost of one panel press and release (tilt up, then stop) through the
// channel-level encoding, frame text included, for a short, a typical and the
// longest frame; and of a protocol change, which replaces the encoder.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ptz/ptz_control.h"

namespace {

void PressRelease(benchmark::State& state) {
  const auto protocol = static_cast<std::uint16_t>(state.range(0));
  std::uint16_t held = protocol;
  std::unique_ptr<velmo::CPTZProtocol> encoder;
  const velmo::PtzChannelState channel{protocol, held, 1, encoder};
  for (auto _ : state) {
    std::string press = velmo::EncodePtzCommand(channel, 21, 0x20, 0, 0, 0);
    std::string release = velmo::EncodePtzCommand(channel, 30, 0, 0, 0, 0);
    benchmark::DoNotOptimize(press);
    benchmark::DoNotOptimize(release);
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
// CLilin_1016 (2 bytes), CTcPelco_d (7), CSYYT (16).
BENCHMARK(PressRelease)->Arg(1)->Arg(25)->Arg(10);

void ProtocolChange(benchmark::State& state) {
  std::uint16_t held = 25;
  std::unique_ptr<velmo::CPTZProtocol> encoder;
  std::uint16_t type = 25;
  for (auto _ : state) {
    type = type == 25 ? 3 : 25;
    std::string text = velmo::EncodePtzCommand({type, held, 1, encoder}, 30, 0, 0, 0, 0);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(ProtocolChange);

}  // namespace

BENCHMARK_MAIN();
