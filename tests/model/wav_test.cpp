#include "model/wav.h"

#include <gtest/gtest.h>

#include "model_test_util.h"
#include "wav_test_util.h"

using namespace model;
using namespace model_test;

TEST(ModelWav, PcmFormatsBecomeMonoSixteenBit) {
  auto mono = parse_wav(pcm16_wav(1, 8000, {0, 1000, -32768, 32767}));
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->sample_rate, 8000);
  EXPECT_EQ(mono->samples, (std::vector<std::int16_t>{0, 1000, -32768, 32767}));

  auto stereo = parse_wav(pcm16_wav(2, 44100, {1000, 3000, -32768, -32768, 32767, 32767, 5, 6}));
  ASSERT_TRUE(stereo);
  EXPECT_EQ(stereo->sample_rate, 44100);
  EXPECT_EQ(stereo->samples, (std::vector<std::int16_t>{2000, -32768, 32767, 5}));

  // 8-bit samples are unsigned; an odd data size carries a pad byte, and chunks
  // before "fmt " and after "data" are skipped.
  const std::string eight =
      riff(wav_chunk("LIST", "abc") + wav_chunk("fmt ", fmt_body(1, 1, 11025, 8)) +
           wav_chunk("data", std::string("\x80\x00\xff", 3)) + wav_chunk("cue ", "xxxx"));
  auto low = parse_wav(eight);
  ASSERT_TRUE(low);
  EXPECT_EQ(low->sample_rate, 11025);
  EXPECT_EQ(low->samples, (std::vector<std::int16_t>{0, -32768, 127 * 256}));
}

TEST(ModelWav, AnythingElseIsRefused) {
  const std::string fmt = wav_chunk("fmt ", fmt_body(1, 1, 8000, 16));
  const std::string data = wav_chunk("data", "\x01\x02\x03\x04");
  const std::string good = riff(fmt + data);
  ASSERT_TRUE(parse_wav(good));
  std::string huge_data = fmt + "data";
  put_le(huge_data, 0xFFFFFFFFu, 4);
  huge_data += "\x01\x02";
  std::string bad_align = fmt_body(1, 2, 8000, 16);
  bad_align[12] = 1;
  struct Case {
    const char* why;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"not RIFF", "RIFX" + good.substr(4)},
      {"not WAVE", good.substr(0, 8) + "AVI " + good.substr(12)},
      {"data chunk cut short", good.substr(0, good.size() - 1)},
      {"chunk header cut short", riff(fmt + "da")},
      {"huge data size", riff(huge_data)},
      {"float samples", riff(wav_chunk("fmt ", fmt_body(3, 1, 8000, 32)) + data)},
      {"A-law", riff(wav_chunk("fmt ", fmt_body(6, 1, 8000, 8)) + data)},
      {"24-bit", riff(wav_chunk("fmt ", fmt_body(1, 1, 8000, 24)) + data)},
      {"three channels", riff(wav_chunk("fmt ", fmt_body(1, 3, 8000, 16)) + data)},
      {"rate 0", riff(wav_chunk("fmt ", fmt_body(1, 1, 0, 16)) + data)},
      {"block align", riff(wav_chunk("fmt ", bad_align) + data)},
      {"short fmt", riff(wav_chunk("fmt ", fmt_body(1, 1, 8000, 16).substr(0, 14)) + data)},
      {"data before fmt", riff(data + fmt)},
      {"no data", riff(fmt)},
  };
  for (const Case& c : cases) EXPECT_FALSE(parse_wav(c.bytes)) << c.why;
}

TEST(ModelWav, ReadsFilesUpToTheLimit) {
  TempDir dir;
  write_file(dir.path() / "a.wav", pcm16_wav(1, 8000, {7, 8}));
  auto sound = read_wav(dir.path() / "a.wav");
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->samples.size(), 2u);
  EXPECT_FALSE(read_wav(dir.path() / "missing.wav"));
  EXPECT_FALSE(read_wav(dir.path()));
  std::filesystem::resize_file(dir.path() / "a.wav", kMaxWavBytes + 1);
  EXPECT_FALSE(read_wav(dir.path() / "a.wav"));
}
