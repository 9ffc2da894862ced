// Whether a .264 record file is whole frames, read from the frame layout
// alone (not with the SDK's or the player's readers, so that a fault in the
// writer cannot hide behind the same fault in a reader).
//
// Frame layout (host byte order): 0 reserved, 4 frame number, 8 signature
// 0x12345678, 12 type (bits 0-1, 1 = key frame) | frames per second << 2,
// 16 video length, 20 sound length, then the video part (one H.264 access
// unit, Annex-B) and the sound part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace record {

// Longer frames are taken for garbage: twice the largest the UDP assembler builds.
inline constexpr std::uint64_t kMaxFrameData = 4u << 20;

struct RecordScan {
  std::size_t frames = 0;
  std::size_t key_frames = 0;
  std::size_t numbering_restarts = 0;  // a frame not numbered previous + 1
  bool whole = false;                  // nothing but complete frames, a key frame first
  std::string error;                   // the first problem, with its byte offset
};

RecordScan scan_record(std::span<const std::uint8_t> bytes);

}  // namespace record
