// The device frame: a 24-byte header and two data parts. Pure code on buffers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vidrane {

inline constexpr std::uint32_t kSignature = 0x12345678;
inline constexpr std::size_t kHeaderSize = 24;
// Larger frames are taken for garbage: no device sends a 16 MiB picture.
inline constexpr std::uint32_t kMaxPartSize = 16u << 20;

struct FrameHeader {
  std::uint32_t number = 0;
  bool idr = false;
  int fps = 0;  // as sent; 0 when absent
  std::uint32_t video_size = 0;
  std::uint32_t sound_size = 0;
  std::size_t total() const { return kHeaderSize + std::size_t{video_size} + sound_size; }
};

// The header at the start of bytes, if it carries the signature and sane
// lengths. Does not check that the data parts are present.
std::optional<FrameHeader> parse_header(std::span<const std::uint8_t> bytes);

struct FrameView {
  FrameHeader header;
  std::span<const std::uint8_t> video;
  std::span<const std::uint8_t> sound;
};

// A whole frame at the start of bytes; nullopt when the header is bad or the
// data parts run past the end.
std::optional<FrameView> parse_frame(std::span<const std::uint8_t> bytes);

// Frames per second to pace by: the header's value when plausible, else 25.
int pacing_fps(int header_fps);

}  // namespace vidrane
