#include "ima.h"

#include <algorithm>
#include <array>

namespace voice::ima {
namespace {

constexpr std::array<int32_t, kMaxIndex + 1> kStep = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<int32_t, 8> kIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};

// Per step index and code: the signed difference the code adds, and the next index. Decoding
// becomes two look-ups and a clamp per sample.
struct DecodeTables {
  std::array<std::array<int32_t, 16>, kMaxIndex + 1> delta{};
  std::array<std::array<uint8_t, 16>, kMaxIndex + 1> next{};
  std::array<std::array<int32_t, 16>, kMaxIndex + 1> next_step{};
};

constexpr DecodeTables make_decode_tables() {
  DecodeTables t{};
  for (int i = 0; i <= kMaxIndex; ++i) {
    for (int c = 0; c < 16; ++c) {
      const int step = kStep[i];
      int d = step >> 3;
      if (c & 4) d += step;
      if (c & 2) d += step >> 1;
      if (c & 1) d += step >> 2;
      t.delta[i][c] = (c & 8) ? -d : d;
      t.next[i][c] = static_cast<uint8_t>(std::clamp(i + kIndexAdjust[c & 7], 0, kMaxIndex));
      t.next_step[i][c] = kStep[t.next[i][c]];
    }
  }
  return t;
}

constexpr DecodeTables kDecode = make_decode_tables();

inline int32_t saturate16(int32_t v) {
  return std::clamp(v, -32768, 32767);
}

// step is kStep[index], carried along so that its look-up runs beside the index update.
inline uint8_t encode_one(int32_t& predicted, int32_t& index, int32_t& step, int32_t sample) {
  int32_t diff = sample - predicted;
  uint32_t code = 0;
  if (diff < 0) {
    code = 8;
    diff = -diff;
  }
  // The difference actually added is rebuilt from the chosen bits, exactly as the decoder does.
  int32_t s = step;
  int32_t vpdiff = s >> 3;
  if (diff >= s) {
    code |= 4;
    diff -= s;
    vpdiff += s;
  }
  s >>= 1;
  if (diff >= s) {
    code |= 2;
    diff -= s;
    vpdiff += s;
  }
  s >>= 1;
  if (diff >= s) {
    code |= 1;
    vpdiff += s;
  }
  predicted = saturate16((code & 8) != 0 ? predicted - vpdiff : predicted + vpdiff);
  step = kDecode.next_step[index][code];
  index = kDecode.next[index][code];
  return static_cast<uint8_t>(code);
}

inline int16_t decode_one(int32_t& predicted, int32_t& index, uint32_t code) {
  predicted = saturate16(predicted + kDecode.delta[index][code]);
  index = kDecode.next[index][code];
  return static_cast<int16_t>(predicted);
}

}  // namespace

void sanitize(State& s) {
  s.predicted = saturate16(s.predicted);
  s.index = std::clamp(s.index, 0, kMaxIndex);
}

void encode_packed(State& s, const int16_t* pcm, uint8_t* out, size_t n, bool high_first) {
  int32_t p = s.predicted, ix = s.index, step = kStep[ix];
  const int first = high_first ? 4 : 0;
  const int second = 4 - first;
  for (size_t i = 0; i + 1 < n; i += 2) {
    const uint32_t c0 = encode_one(p, ix, step, pcm[i]);
    const uint32_t c1 = encode_one(p, ix, step, pcm[i + 1]);
    out[i / 2] = static_cast<uint8_t>((c0 << first) | (c1 << second));
  }
  s.predicted = p;
  s.index = ix;
}

void decode_packed(State& s, const uint8_t* in, int16_t* pcm, size_t n, bool high_first) {
  int32_t p = s.predicted, ix = s.index;
  const int first = high_first ? 4 : 0;
  const int second = 4 - first;
  for (size_t i = 0; i + 1 < n; i += 2) {
    const uint32_t byte = in[i / 2];
    pcm[i] = decode_one(p, ix, (byte >> first) & 15u);
    pcm[i + 1] = decode_one(p, ix, (byte >> second) & 15u);
  }
  s.predicted = p;
  s.index = ix;
}

}  // namespace voice::ima
