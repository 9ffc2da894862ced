// What the simulated devices cost: encoding a format's frame loop once, and
// streaming sixteen channels at once (direct and through the relay), as
// process CPU per second of streaming. Clients here only drain the bytes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "media_source.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/thread.h"
#include "simulator.h"

namespace {

void BM_EncodeLoop(benchmark::State& state) {
  orvsim::StreamFormat f;
  if (state.range(0) == 1) {
    f.width = 720;
    f.height = 576;
  }
  f.fps = 25;
  for (auto _ : state) {
    orvsim::FrameLoop loop(f);
    benchmark::DoNotOptimize(loop.size());
  }
  state.SetLabel(f.text() + ", " + std::to_string(orvsim::FrameLoop::kLoopSeconds) + " s loop");
}
BENCHMARK(BM_EncodeLoop)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

std::string between(const std::string& s, const std::string& a, const std::string& b) {
  std::size_t i = s.find(a);
  if (i == std::string::npos) return {};
  i += a.size();
  return s.substr(i, s.find(b, i) - i);
}

std::string http_get(int port, const std::string& target) {
  platform::Socket s(platform::tcp_socket());
  if (!platform::connect_with_timeout(s.get(), {0x7F000001u, std::uint16_t(port)}, 3000)) return {};
  platform::send_all(s.get(), "GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
                     3000);
  std::string all;
  char buf[4096];
  while (platform::wait_readable(s.get(), 3000) == 1) {
    int n = platform::recv_some(s.get(), buf, sizeof buf);
    if (n <= 0) break;
    all.append(buf, std::size_t(n));
  }
  return all;
}

// Sixteen channels of one type streaming CIF at 25 fps to drain-only clients.
void stream16(benchmark::State& state, const char* type) {
  std::string fleet = "device 300000000001 13700000001 pw\n";
  for (int ch = 0; ch < 16; ++ch)
    fleet += "channel " + std::to_string(ch) + " " + type + " resolution=cif fps=25\n";
  orvsim::SimulatorOptions o;
  o.fleet = *orvsim::parse_fleet(fleet).fleet;
  orvsim::Simulator sim(o);
  if (!sim.start()) {
    state.SkipWithError("simulator did not start");
    return;
  }
  orvsim::FrameLoop::get({352, 288, 25, false});  // the one encode, outside the measurement
  std::vector<platform::Socket> controls, streams;
  for (int ch = 0; ch < 16; ++ch) {
    std::string reply =
        http_get(sim.http_port(),
                 "/realtime?i2c=300000000001&tel=13700000001&wan-ip=127.0.0.1&lan-ip="
                 "127.0.0.1&listen-port=1&p2p-port-drift-range=0&channel=" +
                     std::to_string(ch) + "&img-resolution=cif&frame-rate=25&passwd=pw");
    const bool relay = std::string(type) == "client-monitor-middle-transfer";
    const int port = std::atoi(between(reply, relay ? "<TransitPort>" : "<RtcpPort>", "<").c_str());
    const std::string url = "rtsp://127.0.0.1:" + std::to_string(port) + "/" +
                            between(reply, "<RandomValue>", "<") + "-" +
                            between(reply, "<SessionId>", "<") + ".264";
    platform::Socket c(platform::tcp_socket());
    platform::connect_with_timeout(c.get(), {0x7F000001u, std::uint16_t(port)}, 3000);
    platform::send_all(
        c.get(),
        "PLAY " + url + " RTSP/1.0\r\nCSeq: 4\r\nSession: " + between(reply, "<SessionId>", "<") +
            "\r\nTransport: ip=; port=0; protocol=tcp\r\n\r\n",
        3000);
    std::string head;
    char ch1;
    while (head.find("\r\n\r\n") == std::string::npos &&
           platform::wait_readable(c.get(), 3000) == 1 &&
           platform::recv_some(c.get(), &ch1, 1) == 1)
      head.push_back(ch1);
    const int stream_port = std::atoi(between(head, "port=", ";").c_str());
    platform::Socket s(platform::tcp_socket());
    if (stream_port <= 0 ||
        !platform::connect_with_timeout(s.get(), {0x7F000001u, std::uint16_t(stream_port)}, 3000)) {
      state.SkipWithError("a channel did not play");
      return;
    }
    controls.push_back(std::move(c));
    streams.push_back(std::move(s));
  }
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> bytes{0};
  std::vector<std::unique_ptr<platform::Thread>> readers;
  for (auto& s : streams) {
    auto t = std::make_unique<platform::Thread>();
    SOCKET h = s.get();
    t->create([h, &stop, &bytes] {
      std::vector<char> buf(65536);
      while (!stop) {
        if (platform::wait_readable(h, 100) != 1) continue;
        int n = platform::recv_some(h, buf.data(), int(buf.size()));
        if (n <= 0) break;
        bytes += std::uint64_t(n);
      }
    });
    t->resume();
    readers.push_back(std::move(t));
  }
  platform::sleep_ms(500);  // every channel past its start
  for (auto _ : state) {
    const std::clock_t cpu0 = std::clock();
    const std::uint64_t wall0 = platform::tick_ms64();
    const std::uint64_t bytes0 = bytes;
    platform::sleep_ms(3000);
    const double cpu_s = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    const double wall_s = double(platform::tick_ms64() - wall0) / 1000.0;
    state.SetIterationTime(wall_s);
    state.counters["cpu_per_wall"] = cpu_s / wall_s;
    state.counters["MB_per_s"] = double(bytes - bytes0) / wall_s / 1e6;
  }
  stop = true;
  for (auto& t : readers) t->join();
  sim.stop();
}

void BM_Stream16CifDirect(benchmark::State& state) {
  stream16(state, "client-monitor-direct");
}
void BM_Stream16CifRelay(benchmark::State& state) {
  stream16(state, "client-monitor-middle-transfer");
}
BENCHMARK(BM_Stream16CifDirect)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stream16CifRelay)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
