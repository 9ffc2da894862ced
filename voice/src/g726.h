// ITU-T G.726 ADPCM at 16, 24, 32 and 40 kbit/s (2, 3, 4 and 5-bit codes) on 16-bit linear
// PCM: the encoder takes the top 14 bits of each sample, the decoder returns the 14-bit
// reconstruction shifted back up. Codes are handled one per byte; framing packs them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace voice::g726 {

// Adaptive quantizer and predictor state, in the standard's fixed-point formats.
struct State {
  int32_t yl;     // slow (locked) scale factor, 19 bits
  int32_t yu;     // fast (unlocked) scale factor, 544..5120
  int32_t dms;    // short-term average of F(I)
  int32_t dml;    // long-term average of F(I)
  int32_t ap;     // speed control, 0..512 (256 and up selects the fast factor)
  int32_t td;     // tone detected on the previous sample
  int16_t pk[2];  // signs of the last two partial reconstructions
  // The eight predictor taps side by side with what they weigh: zero coefficients b1..b6 with
  // the last six quantized differences, pole coefficients a1, a2 with the last two
  // reconstructed samples. The history is in the 11-bit floating point of the predictor.
  int16_t coef[8];
  int16_t hist[8];
};

inline constexpr int kA1 = 6;  // coef[kA1] is a1, hist[kA1] the last reconstructed sample
inline constexpr int kA2 = 7;

void reset(State& s);
// Brings a state read from caller memory back into the ranges the arithmetic relies on.
void sanitize(State& s);

// bits is 2, 3, 4 or 5.
void encode(State& s, int bits, const int16_t* pcm, uint8_t* codes, size_t n);
void decode(State& s, int bits, const uint8_t* codes, int16_t* pcm, size_t n);
// The same, giving the reconstructed signal itself (14-bit scale, may exceed 14 bits).
void decode_reconstructed(State& s, int bits, const uint8_t* codes, int32_t* sr, size_t n);

// Bit packing of codes into bytes: least significant bit first (the first code in the lowest
// bits of the first byte) or most significant bit first. n * bits must be a multiple of 8.
void pack_lsb(const uint8_t* codes, size_t n, int bits, uint8_t* out);
void pack_msb(const uint8_t* codes, size_t n, int bits, uint8_t* out);
void unpack_lsb(const uint8_t* in, size_t n, int bits, uint8_t* codes);
void unpack_msb(const uint8_t* in, size_t n, int bits, uint8_t* codes);

}  // namespace voice::g726
