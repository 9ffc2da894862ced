#include <algorithm>

#include "teststream/teststream.h"

namespace teststream {

// ITU-T G.711 A-law compression of a 16-bit sample (the top 13 bits count).
std::uint8_t alaw_encode(std::int16_t sample) {
  int pcm = sample >> 3;  // 13-bit range
  std::uint8_t mask;
  if (pcm >= 0) {
    mask = 0xD5;
  } else {
    mask = 0x55;
    pcm = -pcm - 1;
  }
  static constexpr int kSegmentEnd[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
  int segment = 0;
  while (segment < 8 && pcm > kSegmentEnd[segment]) ++segment;
  if (segment >= 8) return static_cast<std::uint8_t>(0x7F ^ mask);
  int value = segment << 4;
  value |= segment < 2 ? (pcm >> 1) & 0x0F : (pcm >> segment) & 0x0F;
  return static_cast<std::uint8_t>(value ^ mask);
}

std::vector<std::uint8_t> alaw_voice_frame(std::span<const std::int16_t> samples) {
  const std::size_t words = std::min<std::size_t>(samples.size() / 2, 255);
  std::vector<std::uint8_t> frame{0x00, 0x01, static_cast<std::uint8_t>(words), 0x00};
  for (std::size_t i = 0; i < words * 2; ++i) frame.push_back(alaw_encode(samples[i]));
  return frame;
}

}  // namespace teststream
