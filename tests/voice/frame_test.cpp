// The VOICE_* interface: frame layout, payload lengths, decode limits, error codes, the
// packing of the MSB-first, swapped and word types, and transcoding.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "signals.h"
#include "spandsp_ref.h"
#include "voice/voice.h"

extern "C" int voice_c_round_trip(void);

namespace {

using Frame = std::array<uint8_t, VOICE_MAX_FRAME_SIZE>;
using Pcm = std::array<int16_t, VOICE_MAX_DECODED_SAMPLES>;

struct State {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(VOICE_STATE_SIZE);
  void* get() { return bytes.data(); }
};

State encoder(int type) {
  State s;
  EXPECT_EQ(VOICE_EncReset(s.get(), type), VOICE_OK);
  return s;
}

State decoder(int type) {
  State s;
  EXPECT_EQ(VOICE_DecReset(s.get(), type), VOICE_OK);
  return s;
}

std::vector<int16_t> speech(size_t n) {
  auto s = voice_test::sweep(200, 3000, 12000, n);
  const auto noise = voice_test::noise(9, 11, n);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<int16_t>(s[i] + noise[i]);
  return s;
}

size_t frame_bytes(const Frame& f) {
  return 4 + 2 * size_t{f[2]};
}

TEST(VoiceFrame, UsableFromC) {
  EXPECT_EQ(voice_c_round_trip(), 0);
}

TEST(VoiceFrame, VersionText) {
  char text[64];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(VOICE_GetVersion(text), 0);
  EXPECT_STREQ(text, "VOICE_VERSION=VOICELIB_V1.0.0.0");
  EXPECT_EQ(text[32], 'x');
  EXPECT_EQ(VOICE_GetVersion(nullptr), -1);
}

TEST(VoiceFrame, G726At16kOf320SamplesIsAn84ByteFrame) {
  auto enc = encoder(VOICE_G726_16);
  const auto pcm = speech(320);
  Frame f;
  f.fill(0xEE);
  ASSERT_EQ(VOICE_EncodeFrame(enc.get(), pcm.data(), f.data(), 320), VOICE_OK);
  EXPECT_EQ(f[0], 0x00);
  EXPECT_EQ(f[1], 0x01);
  EXPECT_EQ(f[2], 0x28);
  EXPECT_EQ(f[3], 0x00);
  EXPECT_EQ(frame_bytes(f), 84u);
  EXPECT_EQ(f[84], 0xEE) << "nothing written past the frame";
}

TEST(VoiceFrame, Ima481SamplesGive122WordsAndDecodeTo481) {
  auto enc = encoder(VOICE_IMA);
  auto dec = decoder(VOICE_IMA);
  const auto pcm = speech(481);
  Frame f;
  ASSERT_EQ(VOICE_EncodeFrame(enc.get(), pcm.data(), f.data(), 481), VOICE_OK);
  EXPECT_EQ(f[2], 122);
  EXPECT_EQ(f[4] | (f[5] << 8), static_cast<uint16_t>(pcm[0]));
  Pcm out;
  uint16_t count = 0;
  ASSERT_EQ(VOICE_DecodeFrame(dec.get(), f.data(), out.data(), &count), VOICE_OK);
  EXPECT_EQ(count, 481);
  EXPECT_EQ(out[0], pcm[0]);
}

TEST(VoiceFrame, PayloadLengthsFollowTheSampleCount) {
  struct Case {
    int type;
    int samples;
    int words;
  };
  const Case cases[] = {
      {VOICE_G711A, 160, 80},
      {VOICE_G711U, 481, 240},
      {VOICE_G711A_SWAP, 1, 0},
      {VOICE_DVI4, 160, 42},
      {VOICE_DVI4, 163, 42},
      {VOICE_IMA, 161, 42},
      {VOICE_IMA, 1, 2},
      {VOICE_DVI4_RAW, 481, 120},
      {VOICE_G726_16, 80, 10},
      {VOICE_G726_24, 80, 15},
      {VOICE_G726_32, 80, 20},
      {VOICE_G726_40, 80, 25},
      {VOICE_G726_40_MSB, 481, 150},
      {VOICE_G726_24_MSB, 86, 16},
      {VOICE_G726_16_WORD, 87, 10},
  };
  for (const auto& c : cases) {
    auto enc = encoder(c.type);
    const auto pcm = speech(static_cast<size_t>(c.samples));
    Frame f;
    ASSERT_EQ(VOICE_EncodeFrame(enc.get(), pcm.data(), f.data(), c.samples), VOICE_OK);
    EXPECT_EQ(f[2], c.words) << "type " << c.type << ", " << c.samples << " samples";
  }
}

TEST(VoiceFrame, DecodeLimitsPerType) {
  struct Case {
    int type;
    int max_words;
    int step;     // lengths that give a multiple of 80 samples
    int samples;  // for step words
  };
  const Case cases[] = {
      {VOICE_G711A, 240, 40, 80},       {VOICE_G711U_SWAP, 240, 40, 80},
      {VOICE_G726_16, 60, 10, 80},      {VOICE_G726_24_MSB, 90, 15, 80},
      {VOICE_G726_32, 120, 20, 80},     {VOICE_G726_40_MSB, 150, 25, 80},
      {VOICE_G726_16_WORD, 60, 10, 80},
  };
  Frame f{};
  Pcm out;
  for (const auto& c : cases) {
    auto dec = decoder(c.type);
    f[0] = 0x00;
    f[1] = 0x01;
    uint16_t count = 7;
    for (int len = 1; len <= 255; ++len) {
      f[2] = static_cast<uint8_t>(len);
      const bool ok = len <= c.max_words && len % c.step == 0;
      EXPECT_EQ(VOICE_DecodeFrame(dec.get(), f.data(), out.data(), &count),
                ok ? VOICE_OK : VOICE_ERR_LENGTH)
          << "type " << c.type << " length " << len;
      EXPECT_EQ(count, ok ? len / c.step * c.samples : 0);
    }
  }
  // ADPCM: any length up to 122 words; the block types need room for their header.
  for (const int type : {VOICE_DVI4, VOICE_IMA, VOICE_DVI4_RAW}) {
    auto dec = decoder(type);
    for (int len = 1; len <= 255; ++len) {
      f[2] = static_cast<uint8_t>(len);
      uint16_t count = 7;
      const bool ok = len <= 122 && (type == VOICE_DVI4_RAW || len >= 2);
      EXPECT_EQ(VOICE_DecodeFrame(dec.get(), f.data(), out.data(), &count),
                ok ? VOICE_OK : VOICE_ERR_LENGTH)
          << "type " << type << " length " << len;
      const int expected = type == VOICE_DVI4  ? 4 * len - 8
                           : type == VOICE_IMA ? 4 * (len - 2) + 1
                                               : 4 * len;
      EXPECT_EQ(count, ok ? expected : 0);
    }
  }
}

TEST(VoiceFrame, BadHeadersAndUnknownTypes) {
  auto dec = decoder(VOICE_G711A);
  Frame f{};
  f[1] = 0x01;
  f[2] = 45;  // 90 samples: not a multiple of 80
  Pcm out;
  uint16_t count = 99;
  EXPECT_EQ(VOICE_DecodeFrame(dec.get(), f.data(), out.data(), &count), VOICE_ERR_LENGTH);
  EXPECT_EQ(count, 0);
  f[2] = 0;
  EXPECT_EQ(VOICE_DecodeFrame(dec.get(), f.data(), out.data(), &count), VOICE_ERR_LENGTH);
  f[2] = 40;
  f[1] = 0x02;  // kind 0x0200
  count = 99;
  EXPECT_EQ(VOICE_DecodeFrame(dec.get(), f.data(), out.data(), &count), VOICE_ERR_KIND);
  EXPECT_EQ(count, 0);
  f[1] = 0x03;
  EXPECT_EQ(VOICE_DecodeFrame(dec.get(), f.data(), out.data(), &count), VOICE_ERR_KIND);
  f[0] = 0xFF;  // only bits 8-9 of the kind matter
  f[1] = 0xFD;
  EXPECT_EQ(VOICE_DecodeFrame(dec.get(), f.data(), out.data(), &count), VOICE_OK);
  EXPECT_EQ(count, 80);

  State s;
  EXPECT_EQ(VOICE_EncReset(s.get(), 9), VOICE_ERR_ENC_TYPE);
  EXPECT_EQ(s.bytes[0] | (s.bytes[1] << 8), 9) << "the type is still recorded";
  const auto pcm = speech(160);
  Frame untouched;
  untouched.fill(0x5A);
  EXPECT_EQ(VOICE_EncodeFrame(s.get(), pcm.data(), untouched.data(), 160), VOICE_ERR_ENC_TYPE);
  EXPECT_EQ(untouched[0], 0x5A);
  EXPECT_EQ(VOICE_DecReset(s.get(), 9), VOICE_ERR_DEC_TYPE);
  f[1] = 0x01;
  EXPECT_EQ(VOICE_DecodeFrame(s.get(), f.data(), out.data(), &count), VOICE_ERR_DEC_TYPE);
  EXPECT_EQ(VOICE_EncReset(s.get(), 0), VOICE_ERR_ENC_TYPE);
  EXPECT_EQ(VOICE_EncReset(s.get(), 0x10001), VOICE_ERR_ENC_TYPE);
  EXPECT_EQ(VOICE_EncodeFrame(s.get(), pcm.data(), untouched.data(), 160), VOICE_ERR_ENC_TYPE)
      << "a code beyond 16 bits must not act as type 1";
}

TEST(VoiceFrame, NullArgumentsAndSampleCounts) {
  auto s = encoder(VOICE_G711U);
  const auto pcm = speech(481);
  Frame f;
  f.fill(0x5A);
  Pcm out;
  uint16_t count = 5;
  EXPECT_EQ(VOICE_EncReset(nullptr, 1), VOICE_ERR_NULL_STATE);
  EXPECT_EQ(VOICE_DecReset(nullptr, 1), VOICE_ERR_NULL_STATE);
  EXPECT_EQ(VOICE_EncodeFrame(nullptr, pcm.data(), f.data(), 80), VOICE_ERR_NULL_STATE);
  EXPECT_EQ(VOICE_EncodeFrame(s.get(), nullptr, f.data(), 80), VOICE_ERR_NULL_INPUT);
  EXPECT_EQ(VOICE_EncodeFrame(s.get(), pcm.data(), nullptr, 80), VOICE_ERR_NULL_OUTPUT);
  EXPECT_EQ(VOICE_EncodeFrame(s.get(), pcm.data(), f.data(), 0), VOICE_ERR_SAMPLE_COUNT);
  EXPECT_EQ(VOICE_EncodeFrame(s.get(), pcm.data(), f.data(), 482), VOICE_ERR_SAMPLE_COUNT);
  EXPECT_EQ(VOICE_EncodeFrame(s.get(), pcm.data(), f.data(), -1), VOICE_ERR_SAMPLE_COUNT);
  EXPECT_EQ(f[0], 0x5A) << "a failed encode writes nothing";
  EXPECT_EQ(VOICE_DecodeFrame(nullptr, f.data(), out.data(), &count), VOICE_ERR_NULL_STATE);
  EXPECT_EQ(VOICE_DecodeFrame(s.get(), nullptr, out.data(), &count), VOICE_ERR_NULL_INPUT);
  EXPECT_EQ(VOICE_DecodeFrame(s.get(), f.data(), nullptr, &count), VOICE_ERR_NULL_OUTPUT);
  EXPECT_EQ(count, 5) << "the count is only cleared once both outputs are there";
  EXPECT_EQ(VOICE_DecodeFrame(s.get(), f.data(), out.data(), nullptr), VOICE_ERR_NULL_OUTPUT);
  EXPECT_EQ(VOICE_TransCodeReset(nullptr, 97), VOICE_ERR_NULL_TRANSCODER);
  EXPECT_EQ(VOICE_TransCodeFrame(nullptr, f.data()), VOICE_ERR_NULL_TRANSCODER);
  std::vector<uint8_t> t(VOICE_TRANSCODER_STATE_SIZE);
  EXPECT_EQ(VOICE_TransCodeReset(t.data(), 96), VOICE_ERR_TRANS_CODE);
  EXPECT_EQ(VOICE_TransCodeReset(t.data(), 101), VOICE_ERR_TRANS_CODE);
  EXPECT_EQ(VOICE_TransCodeFrame(t.data(), f.data()), VOICE_ERR_TRANS_CODE)
      << "a state never prepared for a conversion";
  ASSERT_EQ(VOICE_TransCodeReset(t.data(), 97), VOICE_OK);
  EXPECT_EQ(VOICE_TransCodeFrame(t.data(), nullptr), VOICE_ERR_NULL_INPUT);
}

// G.726 payloads against spandsp's packers: types 4-7 are its "right" packing (least
// significant bit first), types 36-39 its "left" packing, type 68 the left packing with the
// bytes of each 16-bit word swapped.
TEST(VoiceFrame, G726PackingMatchesReferencePackers) {
  const auto pcm = voice_test::concatenated_signals();
  for (int bits = 2; bits <= 5; ++bits) {
    const auto lsb = voice_test::ref_g726_encode(bits, pcm, G726_PACKING_RIGHT);
    const auto msb = voice_test::ref_g726_encode(bits, pcm, G726_PACKING_LEFT);
    auto enc_lsb = encoder(VOICE_G726_16 + bits - 2);
    auto enc_msb = encoder(VOICE_G726_16_MSB + bits - 2);
    auto dec_lsb = decoder(VOICE_G726_16 + bits - 2);
    auto dec_msb = decoder(VOICE_G726_16_MSB + bits - 2);
    auto ref_dec = voice_test::ref_g726(bits, G726_PACKING_LEFT);
    const size_t frame_bytes_ref = 240 * static_cast<size_t>(bits) / 8;
    for (size_t at = 0, byte = 0; at + 240 <= pcm.size(); at += 240, byte += frame_bytes_ref) {
      Frame a, b;
      ASSERT_EQ(VOICE_EncodeFrame(enc_lsb.get(), &pcm[at], a.data(), 240), VOICE_OK);
      ASSERT_EQ(VOICE_EncodeFrame(enc_msb.get(), &pcm[at], b.data(), 240), VOICE_OK);
      ASSERT_EQ(2 * size_t{a[2]}, frame_bytes_ref);
      ASSERT_EQ(0, memcmp(a.data() + 4, &lsb[byte], frame_bytes_ref)) << bits << " bits at " << at;
      ASSERT_EQ(0, memcmp(b.data() + 4, &msb[byte], frame_bytes_ref)) << bits << " bits at " << at;

      Pcm out_a, out_b, ref_out;
      uint16_t na = 0, nb = 0;
      ASSERT_EQ(VOICE_DecodeFrame(dec_lsb.get(), a.data(), out_a.data(), &na), VOICE_OK);
      ASSERT_EQ(VOICE_DecodeFrame(dec_msb.get(), b.data(), out_b.data(), &nb), VOICE_OK);
      ASSERT_EQ(na, 240);
      ASSERT_EQ(nb, 240);
      ASSERT_EQ(
          g726_decode(ref_dec.get(), ref_out.data(), &msb[byte], static_cast<int>(frame_bytes_ref)),
          240);
      for (size_t i = 0; i < 240; ++i) {
        ASSERT_EQ(out_a[i], out_b[i]);
        // Identical unless the reference wrapped an overshoot that ours saturates.
        if (out_a[i] != ref_out[i]) {
          ASSERT_TRUE(out_a[i] == 32764 || out_a[i] == -32768);
        }
      }
    }
  }
}

TEST(VoiceFrame, WordAndSwappedTypesArrangeBytesAsStated) {
  const auto pcm = speech(160);
  Frame msb, word;
  auto e36 = encoder(VOICE_G726_16_MSB);
  auto e68 = encoder(VOICE_G726_16_WORD);
  ASSERT_EQ(VOICE_EncodeFrame(e36.get(), pcm.data(), msb.data(), 160), VOICE_OK);
  ASSERT_EQ(VOICE_EncodeFrame(e68.get(), pcm.data(), word.data(), 160), VOICE_OK);
  ASSERT_EQ(msb[2], 20);
  ASSERT_EQ(word[2], 20);
  for (size_t w = 0; w < 20; ++w) {
    // Little-endian word, first code in bits 15-14: the high byte holds codes 1-4.
    const unsigned value = word[4 + 2 * w] | (word[5 + 2 * w] << 8);
    EXPECT_EQ(value >> 8, msb[4 + 2 * w]);
    EXPECT_EQ(value & 0xFF, msb[5 + 2 * w]);
  }
  // A hand-made word: codes 3,2,1,0,0,1,2,3 → 0b11100100'00011011.
  auto d68 = decoder(VOICE_G726_16_WORD);
  auto d4 = decoder(VOICE_G726_16);
  Frame f{}, g{};
  f[1] = g[1] = 0x01;
  f[2] = g[2] = 10;
  for (size_t w = 0; w < 10; ++w) {
    f[4 + 2 * w] = 0x1B;
    f[5 + 2 * w] = 0xE4;
    g[4 + 2 * w] = 0x1B;  // LSB first: 3,2,1,0 then 0,1,2,3
    g[5 + 2 * w] = 0xE4;
  }
  Pcm a, b;
  uint16_t na = 0, nb = 0;
  ASSERT_EQ(VOICE_DecodeFrame(d68.get(), f.data(), a.data(), &na), VOICE_OK);
  ASSERT_EQ(VOICE_DecodeFrame(d4.get(), g.data(), b.data(), &nb), VOICE_OK);
  ASSERT_EQ(na, 80);
  EXPECT_EQ(0, memcmp(a.data(), b.data(), 80 * sizeof(int16_t)));

  Frame plain, swapped;
  for (const auto& [p, s] :
       {std::pair{VOICE_G711A, VOICE_G711A_SWAP}, {VOICE_G711U, VOICE_G711U_SWAP}}) {
    auto ep = encoder(p);
    auto es = encoder(s);
    ASSERT_EQ(VOICE_EncodeFrame(ep.get(), pcm.data(), plain.data(), 160), VOICE_OK);
    ASSERT_EQ(VOICE_EncodeFrame(es.get(), pcm.data(), swapped.data(), 160), VOICE_OK);
    for (size_t i = 0; i < 160; ++i) EXPECT_EQ(plain[4 + i], swapped[4 + (i ^ 1)]);
  }
}

// Frames of the source type converted in place must decode like the target type's own frames.
TEST(VoiceFrame, TransCodingRoundTrips) {
  const auto pcm = speech(8000);
  for (const auto& [code, from, to] : {std::tuple{VOICE_TRANS_G711A, VOICE_G711A_SWAP, VOICE_G711A},
                                       {VOICE_TRANS_G711U, VOICE_G711U_SWAP, VOICE_G711U},
                                       {VOICE_TRANS_DVI4, VOICE_DVI4_RAW, VOICE_DVI4},
                                       {VOICE_TRANS_G726_16, VOICE_G726_16_WORD, VOICE_G726_16}}) {
    std::vector<uint8_t> t(VOICE_TRANSCODER_STATE_SIZE);
    ASSERT_EQ(VOICE_TransCodeReset(t.data(), code), VOICE_OK);
    EXPECT_EQ(t[0] | (t[1] << 8), to);
    EXPECT_EQ(t[VOICE_STATE_SIZE] | (t[VOICE_STATE_SIZE + 1] << 8), from);
    auto enc = encoder(from);
    auto dec_from = decoder(from);
    auto dec_to = decoder(to);
    for (size_t at = 0; at + 160 <= pcm.size(); at += 160) {
      Frame f;
      ASSERT_EQ(VOICE_EncodeFrame(enc.get(), &pcm[at], f.data(), 160), VOICE_OK);
      Pcm direct, converted;
      uint16_t n1 = 0, n2 = 0;
      ASSERT_EQ(VOICE_DecodeFrame(dec_from.get(), f.data(), direct.data(), &n1), VOICE_OK);
      ASSERT_EQ(VOICE_TransCodeFrame(t.data(), f.data()), VOICE_OK) << code;
      ASSERT_EQ(VOICE_DecodeFrame(dec_to.get(), f.data(), converted.data(), &n2), VOICE_OK);
      ASSERT_EQ(n1, 160);
      ASSERT_EQ(n2, 160);
      ASSERT_EQ(0, memcmp(direct.data(), converted.data(), 160 * sizeof(int16_t)))
          << "conversion " << code << " at " << at;
    }
  }
}

TEST(VoiceFrame, TransCodingRejectsWhatItCannotConvertAndLeavesTheFrame) {
  std::vector<uint8_t> t(VOICE_TRANSCODER_STATE_SIZE);
  ASSERT_EQ(VOICE_TransCodeReset(t.data(), VOICE_TRANS_DVI4), VOICE_OK);
  // 121 raw words are 484 samples: more than one encode takes.
  Frame f{};
  f[1] = 0x01;
  f[2] = 121;
  const Frame before = f;
  EXPECT_EQ(VOICE_TransCodeFrame(t.data(), f.data()), VOICE_ERR_SAMPLE_COUNT);
  EXPECT_EQ(f, before);
  f[1] = 0x02;
  EXPECT_EQ(VOICE_TransCodeFrame(t.data(), f.data()), VOICE_ERR_KIND);
  // A frame of 120 raw words grows by the 4-byte block header.
  f[1] = 0x01;
  f[2] = 120;
  ASSERT_EQ(VOICE_TransCodeFrame(t.data(), f.data()), VOICE_OK);
  EXPECT_EQ(f[2], 122);
  // A state whose records were reset separately is not a transcoder.
  ASSERT_EQ(VOICE_EncReset(t.data(), VOICE_DVI4), VOICE_OK);
  ASSERT_EQ(VOICE_DecReset(t.data() + VOICE_STATE_SIZE, VOICE_DVI4), VOICE_OK);
  EXPECT_EQ(VOICE_TransCodeFrame(t.data(), f.data()), VOICE_ERR_TRANS_CODE);
}

TEST(VoiceFrame, StateRecordsWorkAtAnyAlignmentAndSurviveGarbage) {
  // Caller memory may be unaligned and may hold anything after the type field.
  std::vector<uint8_t> raw(VOICE_STATE_SIZE + 1, 0xA5);
  void* s = raw.data() + 1;
  raw[1] = VOICE_G726_40;
  raw[2] = 0;
  const auto pcm = speech(480);
  Frame f;
  ASSERT_EQ(VOICE_EncodeFrame(s, pcm.data(), f.data(), 480), VOICE_OK);
  raw[1] = VOICE_DVI4_RAW;
  Pcm out;
  uint16_t n = 0;
  f[2] = 122;
  ASSERT_EQ(VOICE_DecodeFrame(s, f.data(), out.data(), &n), VOICE_OK);
  EXPECT_EQ(n, 488);
  ASSERT_EQ(VOICE_EncReset(s, VOICE_G726_24), VOICE_OK);
  ASSERT_EQ(VOICE_EncodeFrame(s, pcm.data(), f.data(), 480), VOICE_OK);
  EXPECT_EQ(f[2], 90);
}

}  // namespace
