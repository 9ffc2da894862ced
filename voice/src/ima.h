// IMA/DVI4 ADPCM, 4 bits per sample: the 89-step table and the index adjustments
// -1, -1, -1, -1, 2, 4, 6, 8, with the codes packed two to a byte.
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

// Two codes per byte, the first in the high nibble (`high_first`) or the low one; n is even.
void encode_packed(State& s, const int16_t* pcm, uint8_t* out, size_t n, bool high_first);
void decode_packed(State& s, const uint8_t* in, int16_t* pcm, size_t n, bool high_first);

}  // namespace voice::ima
