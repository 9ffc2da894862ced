#include "g711.h"

#include <array>

namespace voice::g711 {
namespace {

constexpr int top_bit(unsigned v) {
  return 31 - __builtin_clz(v);
}

// Segment search on a 16-bit magnitude, as the standard's 13-bit A-law scale shifted left by 3.
constexpr uint8_t alaw_of(int x) {
  const int mask = x >= 0 ? 0xD5 : 0x55;
  const int mag = x >= 0 ? x : -x - 1;
  const int seg = top_bit(static_cast<unsigned>(mag | 0xFF)) - 7;
  const int mant = (mag >> (seg != 0 ? seg + 3 : 4)) & 0x0F;
  return static_cast<uint8_t>(((seg << 4) | mant) ^ mask);
}

constexpr uint8_t ulaw_of(int x) {
  constexpr int kBias = 0x84;
  const int mask = x < 0 ? 0x7F : 0xFF;
  const int mag = (x < 0 ? -x : x) + kBias;
  const int seg = top_bit(static_cast<unsigned>(mag | 0xFF)) - 7;
  if (seg >= 8) return static_cast<uint8_t>(0x7F ^ mask);
  return static_cast<uint8_t>(((seg << 4) | ((mag >> (seg + 3)) & 0x0F)) ^ mask);
}

constexpr int16_t linear_of_alaw(uint8_t code) {
  const int a = code ^ 0x55;
  const int seg = (a & 0x70) >> 4;
  int mag = (a & 0x0F) << 4;
  mag = seg != 0 ? (mag + 0x108) << (seg - 1) : mag + 8;
  return static_cast<int16_t>((a & 0x80) != 0 ? mag : -mag);
}

constexpr int16_t linear_of_ulaw(uint8_t code) {
  constexpr int kBias = 0x84;
  const int u = ~code & 0xFF;
  const int t = (((u & 0x0F) << 3) + kBias) << ((u & 0x70) >> 4);
  return static_cast<int16_t>((u & 0x80) != 0 ? kBias - t : t - kBias);
}

constexpr auto make_alaw_table() {
  std::array<uint8_t, 4096> t{};
  // Every sample sharing its top 12 bits codes the same, so the lowest one stands for all.
  for (int i = 0; i < 4096; ++i)
    t[i] = alaw_of(static_cast<int16_t>(static_cast<uint16_t>(i << 4)));
  return t;
}

constexpr auto make_ulaw_table() {
  std::array<uint8_t, 65536> t{};
  for (int i = 0; i < 65536; ++i) t[i] = ulaw_of(static_cast<int16_t>(static_cast<uint16_t>(i)));
  return t;
}

template <int16_t (*F)(uint8_t)>
constexpr auto make_decode_table() {
  std::array<int16_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = F(static_cast<uint8_t>(i));
  return t;
}

template <typename F>
inline void encode_with(F f, bool swap, const int16_t* pcm, uint8_t* out, size_t n) {
  if (swap) {
    for (size_t i = 0; i + 1 < n; i += 2) {
      out[i] = f(pcm[i + 1]);
      out[i + 1] = f(pcm[i]);
    }
  } else {
    for (size_t i = 0; i < n; ++i) out[i] = f(pcm[i]);
  }
}

inline void decode_with(const int16_t* table, bool swap, const uint8_t* in, int16_t* pcm,
                        size_t n) {
  if (swap) {
    for (size_t i = 0; i + 1 < n; i += 2) {
      pcm[i] = table[in[i + 1]];
      pcm[i + 1] = table[in[i]];
    }
  } else {
    for (size_t i = 0; i < n; ++i) pcm[i] = table[in[i]];
  }
}

}  // namespace

const std::array<uint8_t, 4096> kAlawFromLinear = make_alaw_table();
const std::array<uint8_t, 65536> kUlawFromLinear = make_ulaw_table();
const std::array<int16_t, 256> kLinearFromAlaw = make_decode_table<linear_of_alaw>();
const std::array<int16_t, 256> kLinearFromUlaw = make_decode_table<linear_of_ulaw>();

void encode(bool ulaw, bool swap, const int16_t* pcm, uint8_t* out, size_t n) {
  if (ulaw) {
    encode_with([](int16_t x) { return ulaw_encode(x); }, swap, pcm, out, n);
  } else {
    encode_with([](int16_t x) { return alaw_encode(x); }, swap, pcm, out, n);
  }
}

void decode(bool ulaw, bool swap, const uint8_t* in, int16_t* pcm, size_t n) {
  decode_with(ulaw ? kLinearFromUlaw.data() : kLinearFromAlaw.data(), swap, in, pcm, n);
}

}  // namespace voice::g711
