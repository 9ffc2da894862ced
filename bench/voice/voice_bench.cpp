// Encode and decode throughput of every codec, ours through the VOICE_* frame interface and
// spandsp's through its block interface, both in 160-sample (20 ms) blocks of the same
// nine-second test signal, one core. After the run a table gives ours / spandsp per codec and
// direction (above 1 means ours is faster).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "signals.h"
#include "spandsp_ref.h"
#include "voice/voice.h"

namespace {

constexpr size_t kBlock = 160;

std::vector<int16_t> make_signal() {
  auto s = voice_test::concatenated_signals();
  s.resize(s.size() / kBlock * kBlock);
  return s;
}

const std::vector<int16_t> kSignal = make_signal();

struct Codec {
  const char* name;
  int type;       // ours
  int ref_kind;   // 0: G.711, 1: IMA/DVI4, 2: G.726
  int ref_param;  // G.711 law or G.726 bits
};

const Codec kCodecs[] = {
    {"g711a", VOICE_G711A, 0, G711_ALAW}, {"g711u", VOICE_G711U, 0, G711_ULAW},
    {"dvi4", VOICE_DVI4, 1, 0},           {"g726_16", VOICE_G726_16, 2, 2},
    {"g726_24", VOICE_G726_24, 2, 3},     {"g726_32", VOICE_G726_32, 2, 4},
    {"g726_40", VOICE_G726_40, 2, 5},
};

// One spandsp codec instance of either kind behind one encode/decode pair.
class Ref {
 public:
  explicit Ref(const Codec& c) : c_(c) {
    if (c.ref_kind == 0) g711_ = g711_init(nullptr, c.ref_param);
    if (c.ref_kind == 1) ima_ = ima_adpcm_init(nullptr, IMA_ADPCM_DVI4, 0);
    if (c.ref_kind == 2)
      g726_ = g726_init(nullptr, c.ref_param * 8000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
  }
  ~Ref() {
    if (g711_) g711_free(g711_);
    if (ima_) ima_adpcm_free(ima_);
    if (g726_) g726_free(g726_);
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;

  int encode(const int16_t* pcm, uint8_t* out, int n) {
    if (g711_) return g711_encode(g711_, out, pcm, n);
    if (ima_) return ima_adpcm_encode(ima_, out, pcm, n);
    return g726_encode(g726_, out, pcm, n);
  }
  int decode(const uint8_t* in, int bytes, int16_t* pcm) {
    if (g711_) return g711_decode(g711_, pcm, in, bytes);
    if (ima_) return ima_adpcm_decode(ima_, pcm, in, bytes);
    return g726_decode(g726_, pcm, in, bytes);
  }

 private:
  Codec c_;
  g711_state_t* g711_ = nullptr;
  ima_adpcm_state_t* ima_ = nullptr;
  g726_state_t* g726_ = nullptr;
};

void set_rate(benchmark::State& st) {
  st.SetItemsProcessed(static_cast<int64_t>(st.iterations() * kSignal.size()));
  st.counters["samples/s"] = benchmark::Counter(
      static_cast<double>(st.iterations() * kSignal.size()), benchmark::Counter::kIsRate);
}

void ours_encode(benchmark::State& st, Codec c) {
  std::vector<uint8_t> state(VOICE_STATE_SIZE);
  VOICE_EncReset(state.data(), c.type);
  uint8_t frame[VOICE_MAX_FRAME_SIZE];
  for (auto _ : st) {
    for (size_t at = 0; at < kSignal.size(); at += kBlock) {
      VOICE_EncodeFrame(state.data(), &kSignal[at], frame, kBlock);
      benchmark::DoNotOptimize(frame);
    }
  }
  set_rate(st);
}

void ours_decode(benchmark::State& st, Codec c) {
  std::vector<uint8_t> state(VOICE_STATE_SIZE);
  VOICE_EncReset(state.data(), c.type);
  std::vector<std::vector<uint8_t>> frames;
  for (size_t at = 0; at < kSignal.size(); at += kBlock) {
    std::vector<uint8_t> f(VOICE_MAX_FRAME_SIZE);
    VOICE_EncodeFrame(state.data(), &kSignal[at], f.data(), kBlock);
    frames.push_back(std::move(f));
  }
  VOICE_DecReset(state.data(), c.type);
  int16_t pcm[VOICE_MAX_DECODED_SAMPLES];
  uint16_t count = 0;
  for (auto _ : st) {
    for (const auto& f : frames) {
      VOICE_DecodeFrame(state.data(), f.data(), pcm, &count);
      benchmark::DoNotOptimize(pcm);
    }
  }
  set_rate(st);
}

void ref_encode(benchmark::State& st, Codec c) {
  Ref ref(c);
  uint8_t out[2 * kBlock];
  for (auto _ : st) {
    for (size_t at = 0; at < kSignal.size(); at += kBlock) {
      ref.encode(&kSignal[at], out, kBlock);
      benchmark::DoNotOptimize(out);
    }
  }
  set_rate(st);
}

void ref_decode(benchmark::State& st, Codec c) {
  std::vector<std::vector<uint8_t>> blocks;
  {
    Ref enc(c);
    for (size_t at = 0; at < kSignal.size(); at += kBlock) {
      std::vector<uint8_t> b(2 * kBlock);
      b.resize(static_cast<size_t>(enc.encode(&kSignal[at], b.data(), kBlock)));
      blocks.push_back(std::move(b));
    }
  }
  Ref ref(c);
  int16_t pcm[4 * kBlock];
  for (auto _ : st) {
    for (const auto& b : blocks) {
      ref.decode(b.data(), static_cast<int>(b.size()), pcm);
      benchmark::DoNotOptimize(pcm);
    }
  }
  set_rate(st);
}

// Collects samples/s per benchmark so the ratios can follow the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs) {
      const auto it = r.counters.find("samples/s");
      if (it != r.counters.end() && r.run_type == Run::RT_Iteration)
        rates_[r.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void print_ratios() const {
    std::printf("\n%-10s %-7s %14s %14s %8s\n", "codec", "dir", "ours Ms/s", "spandsp Ms/s",
                "ratio");
    for (const auto& c : kCodecs) {
      for (const char* dir : {"encode", "decode"}) {
        const auto ours = rates_.find(std::string("ours/") + dir + "/" + c.name);
        const auto ref = rates_.find(std::string("spandsp/") + dir + "/" + c.name);
        if (ours == rates_.end() || ref == rates_.end()) continue;
        std::printf("%-10s %-7s %14.1f %14.1f %8.2f\n", c.name, dir, ours->second / 1e6,
                    ref->second / 1e6, ours->second / ref->second);
      }
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  for (const auto& c : kCodecs) {
    benchmark::RegisterBenchmark((std::string("ours/encode/") + c.name).c_str(), ours_encode, c);
    benchmark::RegisterBenchmark((std::string("spandsp/encode/") + c.name).c_str(), ref_encode, c);
    benchmark::RegisterBenchmark((std::string("ours/decode/") + c.name).c_str(), ours_decode, c);
    benchmark::RegisterBenchmark((std::string("spandsp/decode/") + c.name).c_str(), ref_decode, c);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  benchmark::Shutdown();
  return 0;
}
