// Thin owners of the spandsp codecs: the independent reference the tests and benchmarks
// compare against. Never linked into the library itself.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// spandsp's headers need telephony.h first and bit_operations.h before the codecs.
#include <spandsp/telephony.h>

#include <spandsp/bit_operations.h>

#include <spandsp/g711.h>
#include <spandsp/g726.h>
#include <spandsp/ima_adpcm.h>

namespace voice_test {

struct G726Free {
  void operator()(g726_state_t* s) const { g726_free(s); }
};
struct ImaFree {
  void operator()(ima_adpcm_state_t* s) const { ima_adpcm_free(s); }
};
using RefG726 = std::unique_ptr<g726_state_t, G726Free>;
using RefIma = std::unique_ptr<ima_adpcm_state_t, ImaFree>;

// packing: G726_PACKING_NONE (one code per byte), _RIGHT (least significant bit first) or
// _LEFT (most significant bit first).
inline RefG726 ref_g726(int bits, int packing = G726_PACKING_NONE) {
  return RefG726(g726_init(nullptr, bits * 8000, G726_ENCODING_LINEAR, packing));
}

inline std::vector<uint8_t> ref_g726_encode(int bits, const std::vector<int16_t>& pcm,
                                            int packing = G726_PACKING_NONE) {
  auto s = ref_g726(bits, packing);
  std::vector<uint8_t> out(pcm.size() + 8);
  const int n = g726_encode(s.get(), out.data(), pcm.data(), static_cast<int>(pcm.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

inline std::vector<int16_t> ref_g726_decode(int bits, const std::vector<uint8_t>& data,
                                            int packing = G726_PACKING_NONE) {
  auto s = ref_g726(bits, packing);
  std::vector<int16_t> out(data.size() * 8 + 8);
  const int n = g726_decode(s.get(), out.data(), data.data(), static_cast<int>(data.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace voice_test
