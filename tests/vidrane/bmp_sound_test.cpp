// Bitmap files and the frames' sound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "bmp.h"
#include "platform/text.h"
#include "sound.h"
#include "support.h"
#include "teststream/teststream.h"
#include "vidrane/vidrane.h"

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(VidraneBmp, BgraPictureLayoutRowsBottomUpAndPadded) {
  // 3 x 2 picture: rows of 9 bytes are padded to 12.
  std::vector<std::uint8_t> bgra;
  for (int i = 0; i < 6; ++i)
    bgra.insert(bgra.end(), {std::uint8_t(i), std::uint8_t(10 + i), std::uint8_t(20 + i), 255});
  auto bmp = vidrane::encode_bmp(bgra, 3, 2, PLAY264_PICTURE_BGRA);
  ASSERT_TRUE(bmp);
  ASSERT_EQ(bmp->size(), 54u + 24);
  EXPECT_EQ((*bmp)[0], 'B');
  EXPECT_EQ((*bmp)[1], 'M');
  EXPECT_EQ(le32(*bmp, 2), 78u);
  EXPECT_EQ(le32(*bmp, 10), 54u);
  EXPECT_EQ(le32(*bmp, 14), 40u);
  EXPECT_EQ(le32(*bmp, 18), 3u);
  EXPECT_EQ(le32(*bmp, 22), 2u);
  EXPECT_EQ((*bmp)[28], 24);
  // The file's first row is the picture's bottom row (pixels 3..5).
  EXPECT_EQ((*bmp)[54], 3);
  EXPECT_EQ((*bmp)[55], 13);
  EXPECT_EQ((*bmp)[56], 23);
  EXPECT_EQ((*bmp)[54 + 12], 0);

  EXPECT_FALSE(vidrane::encode_bmp(bgra, 3, 3, PLAY264_PICTURE_BGRA));  // too short
  EXPECT_FALSE(vidrane::encode_bmp(bgra, 0, 2, PLAY264_PICTURE_BGRA));
  EXPECT_FALSE(vidrane::encode_bmp(bgra, 3, 2, 99));
}

TEST(VidraneBmp, I420GreyAndExportRefusals) {
  // Mid grey in limited range (Y 126, no colour) gives equal B, G, R near 128.
  std::vector<std::uint8_t> i420(4 * 4 + 2 * 2 * 2, 128);
  for (int i = 0; i < 16; ++i) i420[i] = 126;
  auto bmp = vidrane::encode_bmp(i420, 4, 4, PLAY264_PICTURE_I420);
  ASSERT_TRUE(bmp);
  EXPECT_EQ((*bmp)[54], (*bmp)[55]);
  EXPECT_EQ((*bmp)[55], (*bmp)[56]);
  EXPECT_NEAR((*bmp)[54], 128, 2);

  vidrane_test::TempDir dir;
  auto path = (dir / "x.bmp").string();
  EXPECT_EQ(Play264_ConvertToBmpFile(nullptr, 10, 4, 4, PLAY264_PICTURE_I420, path.c_str()), 0);
  EXPECT_EQ(Play264_ConvertToBmpFile(reinterpret_cast<char*>(i420.data()), 10, 4, 4,
                                     PLAY264_PICTURE_I420, path.c_str()),
            0);
  EXPECT_FALSE(std::filesystem::exists(path));
  const auto file = dir.path() / "图片.bmp";
  const std::wstring wide = platform::wide_from_utf8(file.string());
  EXPECT_EQ(
      Play264_ConvertToBmpFile(reinterpret_cast<char*>(i420.data()), static_cast<long>(i420.size()),
                               4, 4, PLAY264_PICTURE_I420, wide.c_str()),
      1);
  EXPECT_EQ(std::filesystem::file_size(file), 54u + 48);
}

TEST(VidraneSound, VoiceFramesDecodeToTheToneWithinALawError) {
  std::vector<std::int16_t> tone(320);
  for (std::size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<std::int16_t>(12000 * std::sin(i * 0.3));
  std::vector<std::uint8_t> part = teststream::alaw_voice_frame(std::span(tone).first(160));
  auto second = teststream::alaw_voice_frame(std::span(tone).subspan(160));
  part.insert(part.end(), second.begin(), second.end());
  std::vector<std::int16_t> out;
  vidrane::decode_voice(part, out);
  ASSERT_EQ(out.size(), tone.size());
  for (std::size_t i = 0; i < tone.size(); ++i)
    EXPECT_LE(std::abs(out[i] - tone[i]), std::abs(tone[i]) / 16 + 16) << i;

  // A frame cut short keeps what came before it; a bad kind ends the part.
  out.clear();
  vidrane::decode_voice(std::span(part).first(part.size() - 1), out);
  EXPECT_EQ(out.size(), 160u);
  auto bad = part;
  bad[1] = 0x02;
  out.clear();
  vidrane::decode_voice(bad, out);
  EXPECT_TRUE(out.empty());
}

TEST(VidraneSound, CallsFailSoftlyAndOnePortIsHeard) {
  // With or without an audio device: never a fault, and ports out of range fail.
  EXPECT_EQ(Play264_PlaySound(-1), 0);
  EXPECT_EQ(Play264_PlaySound(32), 0);
  EXPECT_EQ(Play264_SetVolume(40, 100), 0);
  EXPECT_EQ(Play264_SetVolume(3, 70000), 1);
  const bool device = Play264_PlaySound(3) != 0;
  auto& router = vidrane::SoundRouter::instance();
  EXPECT_EQ(router.heard(3), device);
  if (device) {
    EXPECT_EQ(Play264_PlaySound(4), 1);
    EXPECT_FALSE(router.heard(3));
    EXPECT_EQ(Play264_StopSound(3), 0);  // not the one heard
    EXPECT_EQ(Play264_StopSoundShare(4), 1);
  }
  EXPECT_EQ(Play264_StopSound(), 1);
  EXPECT_FALSE(router.heard(4));
}

}  // namespace
