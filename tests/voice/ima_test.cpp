// IMA/DVI4 ADPCM against spandsp. spandsp's IMA4 blocks have exactly the layout of type 35
// (first sample in a little-endian header, low nibble first), so those are compared byte for
// byte. Its DVI4 blocks put the header's sample big-endian where type 3 keeps the frame's
// little-endian words, so type 3 and type 67 are compared on header values and coded bytes.
#include <gtest/gtest.h>

#include <vector>

#include "signals.h"
#include "spandsp_ref.h"
#include "voice/voice.h"

namespace {

using voice_test::RefIma;

struct Codec {
  std::vector<uint8_t> enc = std::vector<uint8_t>(VOICE_STATE_SIZE);
  std::vector<uint8_t> dec = std::vector<uint8_t>(VOICE_STATE_SIZE);
  explicit Codec(int type) {
    EXPECT_EQ(VOICE_EncReset(enc.data(), type), VOICE_OK);
    EXPECT_EQ(VOICE_DecReset(dec.data(), type), VOICE_OK);
  }
};

TEST(VoiceIma, Type35BlocksAreByteIdenticalToReferenceIma4) {
  const auto pcm = voice_test::concatenated_signals();
  constexpr int kBlock = 321;  // header sample + 320 coded samples
  Codec ours(VOICE_IMA);
  RefIma ref_enc(ima_adpcm_init(nullptr, IMA_ADPCM_IMA4, 0));
  RefIma ref_dec(ima_adpcm_init(nullptr, IMA_ADPCM_IMA4, 0));
  for (size_t at = 0; at + kBlock <= pcm.size(); at += kBlock) {
    uint8_t frame[VOICE_MAX_FRAME_SIZE];
    ASSERT_EQ(VOICE_EncodeFrame(ours.enc.data(), &pcm[at], frame, kBlock), VOICE_OK);
    uint8_t ref[VOICE_MAX_FRAME_SIZE];
    const int ref_bytes = ima_adpcm_encode(ref_enc.get(), ref, &pcm[at], kBlock);
    ASSERT_EQ(ref_bytes, 2 * frame[2]);
    ASSERT_EQ(0, memcmp(frame + 4, ref, static_cast<size_t>(ref_bytes))) << "block at " << at;

    int16_t out[VOICE_MAX_DECODED_SAMPLES], ref_out[VOICE_MAX_DECODED_SAMPLES];
    uint16_t count = 0;
    ASSERT_EQ(VOICE_DecodeFrame(ours.dec.data(), frame, out, &count), VOICE_OK);
    ASSERT_EQ(count, kBlock);
    ASSERT_EQ(ima_adpcm_decode(ref_dec.get(), ref_out, ref, ref_bytes), kBlock);
    ASSERT_EQ(0, memcmp(out, ref_out, sizeof(int16_t) * kBlock)) << "block at " << at;
    ASSERT_EQ(out[0], pcm[at]);
  }
}

TEST(VoiceIma, Type3AndRawFramesCarryReferenceDvi4Codes) {
  const auto pcm = voice_test::concatenated_signals();
  constexpr int kBlock = 320;
  Codec dvi(VOICE_DVI4), raw(VOICE_DVI4_RAW);
  RefIma ref_enc(ima_adpcm_init(nullptr, IMA_ADPCM_DVI4, 0));
  RefIma ref_dec(ima_adpcm_init(nullptr, IMA_ADPCM_DVI4, 0));
  for (size_t at = 0; at + kBlock <= pcm.size(); at += kBlock) {
    uint8_t ref[VOICE_MAX_FRAME_SIZE];
    const int ref_bytes = ima_adpcm_encode(ref_enc.get(), ref, &pcm[at], kBlock);
    ASSERT_EQ(ref_bytes, 4 + kBlock / 2);

    uint8_t frame[VOICE_MAX_FRAME_SIZE];
    ASSERT_EQ(VOICE_EncodeFrame(dvi.enc.data(), &pcm[at], frame, kBlock), VOICE_OK);
    ASSERT_EQ(frame[2], kBlock / 4 + 2);
    // Header values agree; only their byte order differs.
    EXPECT_EQ(frame[4], ref[1]);
    EXPECT_EQ(frame[5], ref[0]);
    EXPECT_EQ(frame[6], ref[2]);
    EXPECT_EQ(frame[7], 0);
    ASSERT_EQ(0, memcmp(frame + 8, ref + 4, kBlock / 2)) << "block at " << at;

    uint8_t raw_frame[VOICE_MAX_FRAME_SIZE];
    ASSERT_EQ(VOICE_EncodeFrame(raw.enc.data(), &pcm[at], raw_frame, kBlock), VOICE_OK);
    ASSERT_EQ(raw_frame[2], kBlock / 4);
    ASSERT_EQ(0, memcmp(raw_frame + 4, ref + 4, kBlock / 2)) << "block at " << at;

    int16_t ref_out[VOICE_MAX_DECODED_SAMPLES], out[VOICE_MAX_DECODED_SAMPLES];
    ASSERT_EQ(ima_adpcm_decode(ref_dec.get(), ref_out, ref, ref_bytes), kBlock);
    uint16_t count = 0;
    ASSERT_EQ(VOICE_DecodeFrame(dvi.dec.data(), frame, out, &count), VOICE_OK);
    ASSERT_EQ(count, kBlock);
    ASSERT_EQ(0, memcmp(out, ref_out, sizeof(int16_t) * kBlock)) << "block at " << at;
    ASSERT_EQ(VOICE_DecodeFrame(raw.dec.data(), raw_frame, out, &count), VOICE_OK);
    ASSERT_EQ(count, kBlock);
    ASSERT_EQ(0, memcmp(out, ref_out, sizeof(int16_t) * kBlock)) << "block at " << at;
  }
}

TEST(VoiceIma, HostileHeaderStepIndexIsClampedNotFollowed) {
  std::vector<uint8_t> dec(VOICE_STATE_SIZE);
  ASSERT_EQ(VOICE_DecReset(dec.data(), VOICE_DVI4), VOICE_OK);
  uint8_t frame[4 + 2 * 22] = {0x00, 0x01, 22, 0, 0xFF, 0x7F, 0xFF, 0};
  for (size_t i = 8; i < sizeof frame; ++i) frame[i] = 0x77;
  int16_t out[VOICE_MAX_DECODED_SAMPLES];
  uint16_t count = 0;
  ASSERT_EQ(VOICE_DecodeFrame(dec.data(), frame, out, &count), VOICE_OK);
  EXPECT_EQ(count, 80);
  EXPECT_EQ(out[0], 32767);  // saturates at the top, steps from the largest index
}

}  // namespace
