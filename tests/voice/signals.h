// Test signals for the codec comparisons: 8 kHz, 16-bit, deterministic on every platform.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace voice_test {

struct Signal {
  std::string name;
  std::vector<int16_t> pcm;
};

inline int16_t clip16(double v) {
  if (v >= 32767.0) return 32767;
  if (v <= -32768.0) return -32768;
  return static_cast<int16_t>(std::lround(v));
}

inline std::vector<int16_t> tone(double hz, double amplitude, size_t n, double phase = 0.0) {
  std::vector<int16_t> out(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = clip16(amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / 8000.0 + phase));
  return out;
}

inline std::vector<int16_t> sweep(double from_hz, double to_hz, double amplitude, size_t n) {
  std::vector<int16_t> out(n);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double hz = from_hz + (to_hz - from_hz) * double(i) / double(n);
    phase += 2 * std::numbers::pi * hz / 8000.0;
    out[i] = clip16(amplitude * std::sin(phase));
  }
  return out;
}

// Uniform noise from raw generator bits, so every standard library gives the same samples.
inline std::vector<int16_t> noise(uint32_t seed, int amplitude_bits, size_t n) {
  std::mt19937 rng(seed);
  std::vector<int16_t> out(n);
  for (auto& s : out)
    s = static_cast<int16_t>(static_cast<int32_t>(rng()) >> (32 - amplitude_bits));
  return out;
}

// Several seconds of silence, tones, sweeps, noise, bursts and full-scale clipping.
inline std::vector<Signal> test_signals() {
  std::vector<Signal> s;
  s.push_back({"silence", std::vector<int16_t>(4000, 0)});
  s.push_back({"tone_1k", tone(1000, 8000, 8000)});
  s.push_back({"tone_440_quiet", tone(440, 60, 4000)});
  s.push_back({"tone_3400_loud", tone(3400, 30000, 4000, 0.3)});
  s.push_back({"dtmf_like", [] {
                 auto a = tone(697, 9000, 4000), b = tone(1209, 9000, 4000);
                 for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<int16_t>(a[i] + b[i]);
                 return a;
               }()});
  s.push_back({"sweep", sweep(50, 3950, 20000, 16000)});
  s.push_back({"noise_full", noise(1, 16, 8000)});
  s.push_back({"noise_low", noise(2, 6, 4000)});
  s.push_back({"clipped_sine", [] {
                 std::vector<int16_t> out(8000);
                 for (size_t i = 0; i < out.size(); ++i)
                   out[i] = clip16(4 * 32767.0 *
                                   std::sin(2 * std::numbers::pi * 300 * double(i) / 8000));
                 return out;
               }()});
  s.push_back({"square_full_scale", [] {
                 std::vector<int16_t> out(4000);
                 for (size_t i = 0; i < out.size(); ++i) out[i] = (i / 7) % 2 ? -32768 : 32767;
                 return out;
               }()});
  s.push_back({"bursts", [] {
                 auto n = noise(3, 15, 8000);
                 for (size_t i = 0; i < n.size(); ++i)
                   if ((i / 800) % 2) n[i] = static_cast<int16_t>(n[i] / 64);
                 return n;
               }()});
  return s;
}

// All signals one after the other (about 9 s): one stream exercises every transition.
inline std::vector<int16_t> concatenated_signals() {
  std::vector<int16_t> all;
  for (const auto& s : test_signals()) all.insert(all.end(), s.pcm.begin(), s.pcm.end());
  return all;
}

}  // namespace voice_test
