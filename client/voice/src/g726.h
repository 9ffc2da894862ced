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
  int16_t a[2];   // pole coefficients
  int16_t b[6];   // zero coefficients
  int16_t pk[2];  // signs of the last two partial reconstructions
  int16_t dq[6];  // last six quantized differences, 11-bit floating point
  int16_t sr[2];  // last two reconstructed samples, 11-bit floating point
};

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
