#include "g726.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#if defined(__SSE2__) && !defined(VOICE_SCALAR_ONLY)
#define VOICE_G726_SSE2 1
#include <emmintrin.h>
#endif

namespace voice::g726 {
namespace {

constexpr int kMinYu = 544;
constexpr int kMaxYu = 5120;
constexpr int kMinYl = kMinYu << 6;
constexpr int kMaxYl = kMaxYu << 6;

inline int bit_length(uint32_t v) {
  return v != 0 ? 32 - __builtin_clz(v) : 0;
}
inline int wrap16(int v) {
  return static_cast<int16_t>(static_cast<uint16_t>(v));
}

// Quantizer and adaptation tables of one rate, indexed by code (the sign folded in). The
// normalized log range of the quantizer input becomes a direct look-up of the magnitude.
struct Rate {
  static constexpr int kDlnMin = -(kMaxYu >> 2);  // dl >= 0, y/4 <= 1280
  static constexpr int kDlnMax = (14 << 7) + 127 - (kMinYu >> 2);
  int bits = 0;
  int max_code = 0;
  std::array<int16_t, 32> dqln{};  // log of the reconstructed magnitude, 1/128 units
  std::array<int32_t, 32> w{};     // scale factor multiplier W(I), times 32
  std::array<int16_t, 32> f{};     // speed control F(I), times 512
  std::array<uint8_t, kDlnMax - kDlnMin + 1> mag_of_dln{};
};

template <size_t N, size_t M>
constexpr Rate make_rate(int bits, const std::array<int, N>& thresholds,
                         const std::array<int, M>& dqln, const std::array<int, M>& w16,
                         const std::array<int, M>& f) {
  static_assert(M == N + 1);
  Rate r{};
  r.bits = bits;
  r.max_code = (1 << bits) - 1;
  for (int code = 0; code <= r.max_code; ++code) {
    const int sign = code >> (bits - 1);
    const int mag = sign != 0 ? r.max_code - code : code;
    r.dqln[code] = static_cast<int16_t>(dqln[mag]);
    r.w[code] = w16[mag] * 32;
    r.f[code] = static_cast<int16_t>(f[mag] * 512);
  }
  for (int dln = Rate::kDlnMin; dln <= Rate::kDlnMax; ++dln) {
    int mag = 0;
    while (mag < static_cast<int>(N) && dln >= thresholds[mag]) ++mag;
    r.mag_of_dln[dln - Rate::kDlnMin] = static_cast<uint8_t>(mag);
  }
  return r;
}

// Decision levels, reconstruction levels (log2 in 1/128 units, -2048 for "no output"), W(I) in
// 1/16 units and F(I), per magnitude of I.
constexpr Rate kRate16 = make_rate<1, 2>(2, {261}, {116, 365}, {-22, 439}, {0, 7});
constexpr Rate kRate24 =
    make_rate<3, 4>(3, {8, 218, 331}, {-2048, 135, 273, 373}, {-4, 30, 137, 582}, {0, 1, 2, 7});
constexpr Rate kRate32 = make_rate<7, 8>(
    4, {-124, 80, 178, 246, 300, 349, 400}, {-2048, 4, 135, 213, 273, 323, 373, 425},
    {-12, 18, 41, 64, 112, 198, 355, 1122}, {0, 0, 0, 1, 1, 1, 3, 7});
constexpr Rate kRate40 = make_rate<15, 16>(
    5, {-122, -16, 68, 139, 198, 250, 298, 339, 378, 413, 445, 475, 502, 528, 553},
    {-2048, -66, 28, 104, 169, 224, 274, 318, 358, 395, 429, 459, 488, 514, 539, 566},
    {14, 14, 24, 39, 40, 41, 58, 100, 141, 179, 219, 280, 358, 440, 529, 696},
    {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 6});

template <int Bits>
constexpr const Rate& rate() {
  if constexpr (Bits == 2) return kRate16;
  if constexpr (Bits == 3) return kRate24;
  if constexpr (Bits == 4) return kRate32;
  if constexpr (Bits == 5) return kRate40;
}

// 11-bit floating point of the predictor memory: sign, 4-bit exponent, 6-bit mantissa.
inline int16_t to_float(int sign, int mag) {
  const int exp = bit_length(static_cast<uint32_t>(mag));
  const int mant = mag != 0 ? (mag << 6) >> exp : 32;
  return static_cast<int16_t>((sign << 10) | (exp << 6) | mant);
}

struct Sums {
  int sezi;  // zero section, 16-bit wrapped as the standard's adder
  int sei;   // zero and pole sections
};

#if defined(VOICE_G726_SSE2)
// The eight FMULTs at once. Bit lengths and mantissas come from the float conversion of each
// magnitude, and the final scaling by 2^(wexp - 19) is a float multiply by an exact power of
// two, truncated: both exact for these small integers, so the result is the scalar one bit
// for bit. Sums wrap in 16 bits, as the standard's accumulator does.
inline Sums predictor_sums(const State& s) {
  const __m128i an = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.coef));
  const __m128i srn = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.hist));
  const __m128i zero = _mm_setzero_si128();
  const __m128i an_sign = _mm_srai_epi16(an, 15);
  const __m128i an2 = _mm_srai_epi16(an, 2);
  const __m128i mag =
      _mm_and_si128(_mm_sub_epi16(_mm_xor_si128(an2, an_sign), an_sign), _mm_set1_epi16(0x1FFF));

  const __m128i f_lo = _mm_castps_si128(_mm_cvtepi32_ps(_mm_unpacklo_epi16(mag, zero)));
  const __m128i f_hi = _mm_castps_si128(_mm_cvtepi32_ps(_mm_unpackhi_epi16(mag, zero)));
  const __m128i bias = _mm_set1_epi32(126);
  const __m128i aexp = _mm_max_epi16(_mm_packs_epi32(_mm_sub_epi32(_mm_srli_epi32(f_lo, 23), bias),
                                                     _mm_sub_epi32(_mm_srli_epi32(f_hi, 23), bias)),
                                     zero);
  const __m128i mant_bits = _mm_set1_epi32(31);
  const __m128i amant =
      _mm_or_si128(_mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(f_lo, 18), mant_bits),
                                   _mm_and_si128(_mm_srli_epi32(f_hi, 18), mant_bits)),
                   _mm_set1_epi16(32));

  const __m128i srexp = _mm_and_si128(_mm_srli_epi16(srn, 6), _mm_set1_epi16(15));
  const __m128i srmant = _mm_and_si128(srn, _mm_set1_epi16(63));
  const __m128i sr_sign =
      _mm_sub_epi16(zero, _mm_and_si128(_mm_srli_epi16(srn, 10), _mm_set1_epi16(1)));

  const __m128i wmant =
      _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(amant, srmant), _mm_set1_epi16(48)), 4);
  const __m128i wexp = _mm_add_epi16(aexp, srexp);
  const __m128i exp_bias = _mm_set1_epi32(127 - 19);
  const __m128 scale_lo =
      _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(_mm_unpacklo_epi16(wexp, zero), exp_bias), 23));
  const __m128 scale_hi =
      _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(_mm_unpackhi_epi16(wexp, zero), exp_bias), 23));
  const __m128i wmag_lo =
      _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(wmant, zero)), scale_lo));
  const __m128i wmag_hi =
      _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(wmant, zero)), scale_hi));
  const __m128i low15 = _mm_set1_epi32(0x7FFF);
  const __m128i wmag =
      _mm_packs_epi32(_mm_and_si128(wmag_lo, low15), _mm_and_si128(wmag_hi, low15));
  const __m128i neg = _mm_xor_si128(an_sign, sr_sign);
  const __m128i wa = _mm_sub_epi16(_mm_xor_si128(wmag, neg), neg);

  auto hsum = [](__m128i v) {
    v = _mm_add_epi16(v, _mm_srli_si128(v, 8));
    v = _mm_add_epi16(v, _mm_srli_si128(v, 4));
    v = _mm_add_epi16(v, _mm_srli_si128(v, 2));
    return static_cast<int>(static_cast<int16_t>(_mm_cvtsi128_si32(v)));
  };
  const __m128i zero_taps = _mm_set_epi16(0, 0, -1, -1, -1, -1, -1, -1);
  return {hsum(_mm_and_si128(wa, zero_taps)), hsum(wa)};
}
#else
// Exponent and 6-bit mantissa of every 13-bit coefficient magnitude, as exp << 6 | mant.
constexpr auto make_coefficient_floats() {
  std::array<uint16_t, 8192> t{};
  for (int mag = 0; mag < 8192; ++mag) {
    int exp = 0;
    while ((mag >> exp) != 0) ++exp;
    const int mant = mag != 0 ? (mag << 6) >> exp : 32;
    t[mag] = static_cast<uint16_t>((exp << 6) | mant);
  }
  return t;
}
constexpr auto kCoefficientFloat = make_coefficient_floats();

// FMULT: a 16-bit coefficient times a floating-point sample, result with one fraction bit.
inline int fmult(int an, int srn) {
  const int an2 = an >> 2;
  const int mag = an >= 0 ? an2 : (-an2) & 0x1FFF;
  const int af = kCoefficientFloat[mag];
  const int exp = af >> 6;
  const int mant = af & 63;
  const int wexp = exp + ((srn >> 6) & 15);
  const uint64_t wmant = static_cast<uint64_t>((mant * (srn & 63) + 48) >> 4);
  // Scaling by 2^(wexp - 19) either way in one shift: no bits are lost on the way up.
  const int wmag = static_cast<int>(((wmant << wexp) >> 19) & 0x7FFF);
  const int neg = -static_cast<int>(static_cast<unsigned>(an) >> 31 ^ ((srn >> 10) & 1));
  return (wmag ^ neg) - neg;
}

inline Sums predictor_sums(const State& s) {
  int sezi = 0;
  for (int i = 0; i < 6; ++i) sezi += fmult(s.coef[i], s.hist[i]);
  sezi = wrap16(sezi);
  return {sezi, wrap16(sezi + fmult(s.coef[kA2], s.hist[kA2]) + fmult(s.coef[kA1], s.hist[kA1]))};
}
#endif

struct Estimate {
  int y;    // quantizer scale factor
  int se;   // signal estimate
  int sez;  // its zero-section part
};

[[gnu::always_inline]] inline Estimate estimate(const State& s) {
  // MIX of the fast and slow scale factors by the speed control.
  int y = s.yu;
  if (s.ap < 256) {
    y = s.yl >> 6;
    const int dif = s.yu - y;
    const int al = s.ap >> 2;
    y += dif >= 0 ? (dif * al) >> 6 : -((-dif * al) >> 6);
  }
  const auto [sezi, sei] = predictor_sums(s);
  return {y, sei >> 1, sezi >> 1};
}

template <int Bits>
inline int quantize(int d, int y) {
  const Rate& r = rate<Bits>();
  const int dqm = d < 0 ? -d : d;
  const int exp = bit_length(static_cast<uint32_t>(dqm >> 1));
  const int dl = (exp << 7) + (((dqm << 7) >> exp) & 127);
  const int dln = std::clamp(dl - (y >> 2), Rate::kDlnMin, Rate::kDlnMax);
  const int mag = r.mag_of_dln[dln - Rate::kDlnMin];
  if (d < 0) return r.max_code - mag;
  // Above 16 kbit/s the all-zero code is never sent: a positive zero goes out as negative zero.
  if (Bits > 2 && mag == 0) return r.max_code;
  return mag;
}

// Reconstruction from a code, then the adaptation of every part of the state. Returns the
// reconstructed signal (14-bit scale).
template <int Bits>
[[gnu::always_inline]] inline int reconstruct_and_adapt(State& s, const Estimate& e, int code) {
  const Rate& r = rate<Bits>();
  const int y = e.y;
  const int dql = r.dqln[code] + (y >> 2);
  // y <= 5120 keeps dql below 1920, so the exponent never exceeds 14.
  const int dq_mag = dql < 0 ? 0 : ((128 + (dql & 127)) << 7) >> (14 - ((dql >> 7) & 15));
  const int dq_sign = code >> (Bits - 1);
  const int dq = dq_sign != 0 ? -dq_mag : dq_mag;
  const int sr = wrap16(e.se + dq);
  const int dqsez = wrap16(dq + e.sez);

  // Transition: a large difference after a tone marks a switch of modem signal.
  const int ylint = s.yl >> 15;
  const int ylfrac = (s.yl >> 10) & 31;
  const int thr = ylint > 9 ? 31 << 10 : (32 + ylfrac) << ylint;
  const int dqthr = (thr + (thr >> 1)) >> 1;
  const bool tr = s.td != 0 && dq_mag > dqthr;

  // Scale factor adaptation.
  s.yu = std::clamp(y + ((r.w[code] - y) >> 5), kMinYu, kMaxYu);
  s.yl += s.yu + ((-s.yl) >> 6);

  // Predictor adaptation.
  const int pk0 = dqsez < 0 ? 1 : 0;
  int a2p = 0;
  if (tr) {
    s.coef[kA1] = s.coef[kA2] = 0;
    for (int i = 0; i < 6; ++i) s.coef[i] = 0;
  } else {
    const bool sigpk = dqsez == 0;
    const int pks1 = pk0 ^ s.pk[0];
    a2p = s.coef[kA2] - (s.coef[kA2] >> 7);
    if (!sigpk) {
      const int fa1 = pks1 != 0 ? s.coef[kA1] : -s.coef[kA1];
      a2p += fa1 < -8191 ? -256 : (fa1 > 8191 ? 255 : fa1 >> 5);
      a2p += (pk0 ^ s.pk[1]) != 0 ? -128 : 128;
      a2p = std::clamp(a2p, -12288, 12288);
    }
    int a1 = s.coef[kA1] - (s.coef[kA1] >> 8);
    if (!sigpk) a1 += pks1 != 0 ? -192 : 192;
    const int a1ul = 15360 - a2p;
    s.coef[kA1] = static_cast<int16_t>(std::clamp(a1, -a1ul, a1ul));
    s.coef[kA2] = static_cast<int16_t>(a2p);
    constexpr int kLeak = Bits == 5 ? 9 : 8;
    for (int i = 0; i < 6; ++i) {
      int b = s.coef[i] - (s.coef[i] >> kLeak);
      if (dq_mag != 0) b += (dq_sign ^ ((s.hist[i] >> 10) & 1)) != 0 ? -128 : 128;
      s.coef[i] = static_cast<int16_t>(wrap16(b));
    }
  }
  for (int i = 5; i > 0; --i) s.hist[i] = s.hist[i - 1];
  s.hist[0] = to_float(dq_sign, dq_mag);
  s.hist[kA2] = s.hist[kA1];
  s.hist[kA1] = sr < 0 ? to_float(1, (-sr) & 0x7FFF) : to_float(0, sr);
  s.pk[1] = s.pk[0];
  s.pk[0] = static_cast<int16_t>(pk0);

  // Tone detection and adaptation speed control.
  s.td = (!tr && a2p < -11776) ? 1 : 0;
  const int f = r.f[code];
  s.dms += (f - s.dms) >> 5;
  s.dml += ((f << 2) - s.dml) >> 7;
  // The speed control heads for 2 (fast) unless the signal looks stationary, then for 0.
  const bool fast = y < 1536 || s.td != 0 || std::abs((s.dms << 2) - s.dml) >= (s.dml >> 3);
  s.ap = tr ? 256 : s.ap + (((fast ? 512 : 0) - s.ap) >> 4);
  return sr;
}

template <int Bits>
void encode_n(State& st, const int16_t* pcm, uint8_t* codes, size_t n) {
  State s = st;
  for (size_t i = 0; i < n; ++i) {
    const Estimate e = estimate(s);
    const int code = quantize<Bits>((pcm[i] >> 2) - e.se, e.y);
    reconstruct_and_adapt<Bits>(s, e, code);
    codes[i] = static_cast<uint8_t>(code);
  }
  st = s;
}

template <int Bits, typename Out>
void decode_n(State& st, const uint8_t* codes, Out* out, size_t n) {
  State s = st;
  for (size_t i = 0; i < n; ++i) {
    const Estimate e = estimate(s);
    const int sr = reconstruct_and_adapt<Bits>(s, e, codes[i] & ((1 << Bits) - 1));
    if constexpr (sizeof(Out) == 2) {
      // The reconstruction can overshoot 14 bits on full-scale input; it saturates rather
      // than wrapping into a click of the opposite sign.
      out[i] = static_cast<int16_t>(std::clamp(sr, -8192, 8191) << 2);
    } else {
      out[i] = sr;
    }
  }
  st = s;
}

template <typename Out>
void decode_any(State& s, int bits, const uint8_t* codes, Out* out, size_t n) {
  switch (bits) {
    case 2:
      return decode_n<2>(s, codes, out, n);
    case 3:
      return decode_n<3>(s, codes, out, n);
    case 4:
      return decode_n<4>(s, codes, out, n);
    default:
      return decode_n<5>(s, codes, out, n);
  }
}

}  // namespace

void reset(State& s) {
  s = State{};
  s.yl = kMinYl;
  s.yu = kMinYu;
  for (auto& v : s.hist) v = 32;
}

void sanitize(State& s) {
  s.yl = std::clamp(s.yl, kMinYl, kMaxYl);
  s.yu = std::clamp(s.yu, kMinYu, kMaxYu);
  s.dms = std::clamp(s.dms, 0, 7 << 9);
  s.dml = std::clamp(s.dml, 0, 7 << 11);
  s.ap = std::clamp(s.ap, 0, 512);
  s.td = s.td != 0 ? 1 : 0;
  s.coef[kA2] = std::clamp<int16_t>(s.coef[kA2], -12288, 12288);
  s.coef[kA1] = std::clamp<int16_t>(s.coef[kA1], static_cast<int16_t>(-(15360 - s.coef[kA2])),
                                    static_cast<int16_t>(15360 - s.coef[kA2]));
  for (auto& v : s.pk) v = v != 0 ? 1 : 0;
  for (auto& v : s.hist) v &= 0x7FF;
}

void encode(State& s, int bits, const int16_t* pcm, uint8_t* codes, size_t n) {
  switch (bits) {
    case 2:
      return encode_n<2>(s, pcm, codes, n);
    case 3:
      return encode_n<3>(s, pcm, codes, n);
    case 4:
      return encode_n<4>(s, pcm, codes, n);
    default:
      return encode_n<5>(s, pcm, codes, n);
  }
}

void decode(State& s, int bits, const uint8_t* codes, int16_t* pcm, size_t n) {
  decode_any(s, bits, codes, pcm, n);
}

void decode_reconstructed(State& s, int bits, const uint8_t* codes, int32_t* sr, size_t n) {
  decode_any(s, bits, codes, sr, n);
}

void pack_lsb(const uint8_t* codes, size_t n, int bits, uint8_t* out) {
  uint32_t acc = 0;
  int held = 0;
  for (size_t i = 0; i < n; ++i) {
    acc |= static_cast<uint32_t>(codes[i]) << held;
    held += bits;
    while (held >= 8) {
      *out++ = static_cast<uint8_t>(acc);
      acc >>= 8;
      held -= 8;
    }
  }
  if (held > 0) *out = static_cast<uint8_t>(acc);
}

void pack_msb(const uint8_t* codes, size_t n, int bits, uint8_t* out) {
  uint32_t acc = 0;
  int held = 0;
  for (size_t i = 0; i < n; ++i) {
    acc = (acc << bits) | codes[i];
    held += bits;
    while (held >= 8) {
      held -= 8;
      *out++ = static_cast<uint8_t>(acc >> held);
    }
  }
  if (held > 0) *out = static_cast<uint8_t>(acc << (8 - held));
}

void unpack_lsb(const uint8_t* in, size_t n, int bits, uint8_t* codes) {
  const uint32_t mask = (1u << bits) - 1;
  uint32_t acc = 0;
  int held = 0;
  for (size_t i = 0; i < n; ++i) {
    if (held < bits) {
      acc |= static_cast<uint32_t>(*in++) << held;
      held += 8;
    }
    codes[i] = static_cast<uint8_t>(acc & mask);
    acc >>= bits;
    held -= bits;
  }
}

void unpack_msb(const uint8_t* in, size_t n, int bits, uint8_t* codes) {
  const uint32_t mask = (1u << bits) - 1;
  uint32_t acc = 0;
  int held = 0;
  for (size_t i = 0; i < n; ++i) {
    if (held < bits) {
      acc = (acc << 8) | *in++;
      held += 8;
    }
    held -= bits;
    codes[i] = static_cast<uint8_t>((acc >> held) & mask);
  }
}

}  // namespace voice::g726
