#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "sim_fixture.h"
#include "voice/voice.h"

namespace velmo::test {
namespace {

using orvsim::Fault;

class SdkAudio : public SdkSim {
 protected:
  void SetUp() override {
    SdkSim::SetUp();
    handle_ = login();
    ASSERT_EQ(handle_, 0);
  }
  long handle_ = -1;
};

TEST_F(SdkAudio, NeedsChannelZeroConnected) {
  char block[] = {'A', 0, 'B', 0};
  // Login authenticated channel 1, not 0.
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, block, 4, 0), 0);
  EXPECT_TRUE(targets_for("/audio_data").empty());
  ASSERT_EQ(SendAudioDataVoiceExchange(handle_, block, 4, 1), 1);
  ASSERT_EQ(SendAudioDataVoiceExchange(handle_, block, 4, 0), 1);  // now it is
  EXPECT_EQ(last_target("/audio_data"),
            "/audio_data?i2c=D1&tel=139001&buflen=4&data_buf=AB&transmit=true");
  auto blocks = control_->audio_blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[1].buflen, "4");
  EXPECT_EQ(blocks[1].bytes, (std::vector<std::uint8_t>{'A', 0, 'B', 0}));
}

TEST_F(SdkAudio, BlocksArriveByteExact) {
  const std::string blocks[] = {
      std::string("\0\0x\0", 4),                           // zero first: the rest still travels
      std::string("\x00\x01\x28\x00\x00\x00\x41\x00", 8),  // frame header, zero unit
      std::string("%\0&\0#\0+\0=\0?\0", 12),               // the query's own characters
      std::string("a\0\n\0\r\0 \0\t\0\x7F\0\x01\0", 14),   // controls, blank, DEL
      std::string("\x00\x01\xCD\xAB\x00\xD8\xFF\xDF", 8),  // no CP936 form, lone surrogates
      std::string("\x2D\x4E\x87\x65z", 5),                 // Chinese, odd length
      std::string(1023, '\xA7'),                           // the largest block
  };
  for (const std::string& b : blocks) {
    std::string data = b;
    ASSERT_EQ(SendAudioDataVoiceExchange(handle_, data.data(), int(data.size()), 1), 1) << b.size();
    const orvsim::AudioBlock got = control_->audio_blocks().back();
    EXPECT_EQ(got.buflen, std::to_string(b.size()));
    EXPECT_EQ(got.bytes, std::vector<std::uint8_t>(b.begin(), b.end())) << b.size();
    EXPECT_FALSE(got.bad) << b.size();
  }
  // The line stays one request line: nothing but printable bytes in the target.
  for (const std::string& t : targets_for("/audio_data"))
    for (char c : t) EXPECT_TRUE(static_cast<unsigned char>(c) > 0x20 && c != 0x7F) << t;
  // A voice frame header's characters on the wire.
  EXPECT_NE(targets_for("/audio_data")[1].find("&buflen=8&data_buf=%u0100(%00A&transmit=true"),
            std::string::npos);
}

TEST_F(SdkAudio, RefusesLongBlocks) {
  std::string big(1024, 'a');
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, big.data(), 1024, 1), 0);
  char space[] = {' ', 0};
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, space, -1, 0), 0);
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, nullptr, 2, 0), 0);
  EXPECT_TRUE(targets_for("/audio_data").empty());
}

TEST_F(SdkAudio, VoiceFramesDecodeAtTheDeviceAsSent) {
  // 25 frames of G.726-16 from a speech-like signal: a gliding vowel with
  // harmonics under a syllable envelope.
  std::vector<unsigned char> enc(VOICE_STATE_SIZE), dec(VOICE_STATE_SIZE);
  ASSERT_EQ(VOICE_EncReset(enc.data(), VOICE_G726_16), 0);
  ASSERT_EQ(VOICE_DecReset(dec.data(), VOICE_G726_16), 0);
  std::vector<std::int16_t> expected;
  std::vector<std::vector<std::uint8_t>> sent;
  double phase = 0;
  for (int f = 0; f < 25; ++f) {
    std::int16_t pcm[320];
    for (int i = 0; i < 320; ++i) {
      const double t = (f * 320 + i) / 8000.0;
      phase += 2 * M_PI * (120 + 40 * std::sin(2 * M_PI * 3 * t)) / 8000.0;
      const double env = 0.5 + 0.5 * std::sin(2 * M_PI * 4 * t);
      const double v = std::sin(phase) + 0.5 * std::sin(3 * phase) + 0.25 * std::sin(7 * phase);
      pcm[i] = static_cast<std::int16_t>(6000 * env * v);
    }
    std::vector<std::uint8_t> frame(84);
    ASSERT_EQ(VOICE_EncodeFrame(enc.data(), pcm, frame.data(), 320), 0);
    std::int16_t out[VOICE_MAX_DECODED_SAMPLES];
    std::uint16_t count = 0;
    ASSERT_EQ(VOICE_DecodeFrame(dec.data(), frame.data(), out, &count), 0);
    expected.insert(expected.end(), out, out + count);
    sent.push_back(frame);
    ASSERT_EQ(
        SendAudioDataVoiceExchange(handle_, reinterpret_cast<char*>(frame.data()), 84, f == 0), 1);
  }
  const auto blocks = control_->audio_blocks();
  ASSERT_EQ(blocks.size(), 25u);
  for (std::size_t f = 0; f < blocks.size(); ++f) {
    EXPECT_TRUE(blocks[f].voice) << f;
    ASSERT_EQ(blocks[f].frames.size(), 1u) << f;
    EXPECT_EQ(blocks[f].frames[0], sent[f]) << f;
  }
  EXPECT_EQ(control_->voice_samples("D1"), expected);
  EXPECT_EQ(control_->voice_sample_count("D1"), 25u * 320u);
}

TEST_F(SdkAudio, ReplyRules) {
  char block[] = {'A', 0};
  ASSERT_EQ(SendAudioDataVoiceExchange(handle_, block, 2, 1), 1);
  sim_->faults().for_path("/audio_data", Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"),
                          1);
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, block, 2, 0), 1);  // empty body, status 200
  sim_->faults().for_path("/audio_data", Fault::Status(503), 1);
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, block, 2, 1), 0);
  EXPECT_EQ(_GetLastErrorCode(), 0);  // the authentication went well; no code
  // A free slot has nothing to send to.
  EXPECT_EQ(SendAudioDataVoiceExchange(5, block, 2, 1), 0);
}

}  // namespace
}  // namespace velmo::test
