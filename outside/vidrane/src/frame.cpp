#include "frame.h"

#include <cstring>

namespace vidrane {

namespace {
std::uint32_t word_at(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::uint32_t w;
  std::memcpy(&w, bytes.data() + offset, sizeof w);  // host order, as sent
  return w;
}
}  // namespace

std::optional<FrameHeader> parse_header(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return std::nullopt;
  if (word_at(bytes, 8) != kSignature) return std::nullopt;
  FrameHeader h;
  h.number = word_at(bytes, 4);
  const std::uint32_t type = word_at(bytes, 12);
  h.idr = (type & 3u) == 1u;
  h.fps = static_cast<int>(type >> 2);
  h.video_size = word_at(bytes, 16);
  h.sound_size = word_at(bytes, 20);
  if (h.video_size > kMaxPartSize || h.sound_size > kMaxPartSize) return std::nullopt;
  return h;
}

std::optional<FrameView> parse_frame(std::span<const std::uint8_t> bytes) {
  auto h = parse_header(bytes);
  if (!h || bytes.size() < h->total()) return std::nullopt;
  FrameView v;
  v.header = *h;
  v.video = bytes.subspan(kHeaderSize, h->video_size);
  v.sound = bytes.subspan(kHeaderSize + h->video_size, h->sound_size);
  return v;
}

int pacing_fps(int header_fps) {
  return header_fps >= 1 && header_fps <= 120 ? header_fps : 25;
}

}  // namespace vidrane
