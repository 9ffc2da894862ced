// The device's frame layout, shared by both transports: a 24-byte header in
// host byte order followed by two data parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace velmo::media {

inline constexpr std::uint32_t kFrameSignature = 0x12345678;
inline constexpr std::size_t kFrameHeaderSize = 24;
// The TCP receiver's frame buffer.
inline constexpr std::size_t kMaxFrameSize = 128 * 1024;
inline constexpr std::size_t kMaxFrameData = kMaxFrameSize - kFrameHeaderSize;
// The largest frame the UDP assembler builds. Key frames of D1 or 720p
// streams exceed 128 KiB; this bound only stops a slice count from asking
// for unbounded memory.
inline constexpr std::size_t kMaxUdpFrameSize = 2u << 20;

struct FrameHeader {
  std::uint32_t reserved = 0;
  std::uint32_t number = 0;
  std::uint32_t signature = 0;
  std::uint32_t type_word = 0;
  std::uint32_t length1 = 0;
  std::uint32_t length2 = 0;

  int type() const { return static_cast<int>(type_word & 3u); }
  int fps() const { return static_cast<int>(type_word >> 2); }
  bool signed_ok() const { return signature == kFrameSignature; }
  std::uint64_t data_length() const { return std::uint64_t{length1} + length2; }
  std::uint64_t total() const { return kFrameHeaderSize + data_length(); }
};

// The header at the front of bytes; nullopt when fewer than 24 bytes.
inline std::optional<FrameHeader> read_frame_header(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kFrameHeaderSize) return std::nullopt;
  std::uint32_t w[6];
  std::memcpy(w, bytes.data(), sizeof w);
  return FrameHeader{w[0], w[1], w[2], w[3], w[4], w[5]};
}

}  // namespace velmo::media
