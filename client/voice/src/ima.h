// IMA/DVI4 ADPCM, 4 bits per sample: the 89-step table and the index adjustments
// -1, -1, -1, -1, 2, 4, 6, 8. Codes are handled one per byte here; framing packs the nibbles.
#pragma once

#include <cstddef>
#include <cstdint>

namespace voice::ima {

inline constexpr int kMaxIndex = 88;

struct State {
  int32_t predicted = 0;  // last reconstructed sample, -32768..32767
  int32_t index = 0;      // step index, 0..88
};

// Brings a state read from caller memory back into range.
void sanitize(State& s);

void encode(State& s, const int16_t* pcm, uint8_t* codes, size_t n);
void decode(State& s, const uint8_t* codes, int16_t* pcm, size_t n);

// Nibble forms: two codes per byte, the first in the high nibble (`high_first`) or the low one.
void encode_packed(State& s, const int16_t* pcm, uint8_t* out, size_t n, bool high_first);
void decode_packed(State& s, const uint8_t* in, int16_t* pcm, size_t n, bool high_first);

}  // namespace voice::ima
