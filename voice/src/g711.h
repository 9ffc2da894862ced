// ITU-T G.711 companding. Encoding is a table look-up: A-law depends only on the top 12 bits of
// the sample (the negative side is folded with a one's complement), mu-law on the whole sample
// (its 0x84 bias is added to the magnitude before the segment search).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace voice::g711 {

extern const std::array<uint8_t, 4096> kAlawFromLinear;   // index: sample >> 4, 12 bits
extern const std::array<uint8_t, 65536> kUlawFromLinear;  // index: the sample's 16 bits
extern const std::array<int16_t, 256> kLinearFromAlaw;
extern const std::array<int16_t, 256> kLinearFromUlaw;

inline uint8_t alaw_encode(int16_t x) {
  return kAlawFromLinear[static_cast<uint16_t>(x) >> 4];
}
inline uint8_t ulaw_encode(int16_t x) {
  return kUlawFromLinear[static_cast<uint16_t>(x)];
}
inline int16_t alaw_decode(uint8_t c) {
  return kLinearFromAlaw[c];
}
inline int16_t ulaw_decode(uint8_t c) {
  return kLinearFromUlaw[c];
}

// Block forms; `swap` exchanges the two bytes of every 16-bit word (n must be even then).
void encode(bool ulaw, bool swap, const int16_t* pcm, uint8_t* out, size_t n);
void decode(bool ulaw, bool swap, const uint8_t* in, int16_t* pcm, size_t n);

}  // namespace voice::g711
