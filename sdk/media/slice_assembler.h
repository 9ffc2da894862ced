// Frames out of UDP slices: each datagram carries a 12-byte big-endian slice
// header (magic, frame number, slice count, slice index) and at most 1024
// bytes of the frame at offset index * 1024. No I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "media/frame_format.h"

namespace velmo::media {

inline constexpr std::size_t kSliceHeaderSize = 12;
inline constexpr std::size_t kSliceData = 1024;
inline constexpr std::size_t kMaxSlices = kMaxUdpFrameSize / kSliceData;

struct SliceHeader {
  std::uint32_t magic = 0;
  std::uint32_t frame = 0;
  std::uint16_t count = 0;
  std::uint16_t index = 0;
};

std::optional<SliceHeader> read_slice_header(std::span<const std::uint8_t> datagram);

class SliceAssembler {
 public:
  enum class Result {
    short_datagram,  // less than a slice header
    foreign,         // another stream's magic; the frame under assembly is untouched
    refused,         // impossible slice: no slices, index out of range, too large
    partial,         // taken; the frame is not complete yet
    duplicate,       // a slice already held, or of a frame already delivered
    complete,        // frame() holds a whole signed frame with data
    empty,           // a signed header without data: nothing to play
    invalid,         // all slices arrived but the frame is unusable
  };

  explicit SliceAssembler(std::uint32_t magic);

  Result feed(std::span<const std::uint8_t> datagram);
  // The frame completed by the last feed (header and data).
  std::span<const std::uint8_t> frame() const { return {buffer_.data(), frame_size_}; }
  std::size_t buffer_capacity() const { return buffer_.size(); }
  std::uint64_t abandoned() const { return abandoned_; }

 private:
  void start(const SliceHeader& h);

  std::uint32_t magic_;
  std::vector<std::uint8_t> buffer_;
  std::vector<bool> received_;
  bool active_ = false;
  bool delivered_ = false;
  std::uint32_t frame_ = 0;
  std::uint16_t count_ = 0;
  std::uint16_t got_ = 0;
  std::size_t extent_ = 0;
  std::size_t frame_size_ = 0;
  std::uint64_t abandoned_ = 0;
};

}  // namespace velmo::media
