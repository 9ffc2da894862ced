// G.711 against spandsp: every one of the 65536 inputs, every code, and frames of every G.711
// type (plain and byte-swapped words).
#include <gtest/gtest.h>

#include <vector>

#include "g711.h"
#include "signals.h"
#include "spandsp_ref.h"
#include "voice/voice.h"

namespace {

struct G711Free {
  void operator()(g711_state_t* s) const { g711_free(s); }
};
using RefG711 = std::unique_ptr<g711_state_t, G711Free>;

std::vector<uint8_t> ref_encode(int mode, const std::vector<int16_t>& pcm) {
  RefG711 s(g711_init(nullptr, mode));
  std::vector<uint8_t> out(pcm.size());
  g711_encode(s.get(), out.data(), pcm.data(), static_cast<int>(pcm.size()));
  return out;
}

std::vector<int16_t> all_inputs() {
  std::vector<int16_t> pcm(65536);
  for (int i = 0; i < 65536; ++i) pcm[i] = static_cast<int16_t>(i - 32768);
  return pcm;
}

TEST(VoiceG711, EveryInputEncodesLikeReference) {
  const auto pcm = all_inputs();
  const auto ref_a = ref_encode(G711_ALAW, pcm);
  const auto ref_u = ref_encode(G711_ULAW, pcm);
  for (size_t i = 0; i < pcm.size(); ++i) {
    ASSERT_EQ(voice::g711::alaw_encode(pcm[i]), ref_a[i]) << "A-law of " << pcm[i];
    ASSERT_EQ(voice::g711::ulaw_encode(pcm[i]), ref_u[i]) << "mu-law of " << pcm[i];
  }
}

TEST(VoiceG711, EveryCodeDecodesLikeReferenceAndSurvivesARoundTrip) {
  RefG711 a(g711_init(nullptr, G711_ALAW));
  RefG711 u(g711_init(nullptr, G711_ULAW));
  for (int c = 0; c < 256; ++c) {
    const uint8_t code = static_cast<uint8_t>(c);
    int16_t ref_a = 0, ref_u = 0;
    g711_decode(a.get(), &ref_a, &code, 1);
    g711_decode(u.get(), &ref_u, &code, 1);
    EXPECT_EQ(voice::g711::alaw_decode(code), ref_a) << c;
    EXPECT_EQ(voice::g711::ulaw_decode(code), ref_u) << c;
    // A decoded value re-encodes to a code of the same value (mu-law has two zeros).
    EXPECT_EQ(voice::g711::alaw_encode(ref_a), code) << c;
    EXPECT_EQ(voice::g711::ulaw_decode(voice::g711::ulaw_encode(ref_u)), ref_u) << c;
  }
  // The even-bit inversion: silence is 0xD5 in A-law, the bias puts it at 0xFF in mu-law.
  EXPECT_EQ(voice::g711::alaw_encode(0), 0xD5);
  EXPECT_EQ(voice::g711::ulaw_encode(0), 0xFF);
  EXPECT_EQ(voice::g711::alaw_encode(32767), 0xAA);
  EXPECT_EQ(voice::g711::alaw_encode(-32768), 0x2A);
  EXPECT_EQ(voice::g711::ulaw_encode(32767), 0x80);
  EXPECT_EQ(voice::g711::ulaw_encode(-32768), 0x00);
}

// Frames of 160 samples through the interface, payload against the reference codes, and back.
void check_frames(int type, int mode, bool swapped) {
  const auto pcm = voice_test::concatenated_signals();
  const auto ref = ref_encode(mode, pcm);
  std::vector<uint8_t> enc(VOICE_STATE_SIZE), dec(VOICE_STATE_SIZE);
  ASSERT_EQ(VOICE_EncReset(enc.data(), type), VOICE_OK);
  ASSERT_EQ(VOICE_DecReset(dec.data(), type), VOICE_OK);
  RefG711 rd(g711_init(nullptr, mode));
  for (size_t at = 0; at + 160 <= pcm.size(); at += 160) {
    uint8_t frame[VOICE_MAX_FRAME_SIZE];
    ASSERT_EQ(VOICE_EncodeFrame(enc.data(), &pcm[at], frame, 160), VOICE_OK);
    ASSERT_EQ(frame[2], 80);
    for (size_t i = 0; i < 160; ++i) {
      ASSERT_EQ(frame[4 + i], ref[at + (swapped ? i ^ 1 : i)])
          << "type " << type << " at " << at + i;
    }
    int16_t out[VOICE_MAX_DECODED_SAMPLES];
    int16_t ref_out[160];
    uint16_t count = 0;
    ASSERT_EQ(VOICE_DecodeFrame(dec.data(), frame, out, &count), VOICE_OK);
    ASSERT_EQ(count, 160);
    g711_decode(rd.get(), ref_out, &ref[at], 160);
    for (size_t i = 0; i < 160; ++i) ASSERT_EQ(out[i], ref_out[i]) << at + i;
  }
}

TEST(VoiceG711, FramesOfEveryTypeMatchReference) {
  check_frames(VOICE_G711A, G711_ALAW, false);
  check_frames(VOICE_G711U, G711_ULAW, false);
  check_frames(VOICE_G711A_SWAP, G711_ALAW, true);
  check_frames(VOICE_G711U_SWAP, G711_ULAW, true);
}

}  // namespace
