// Frames out of the TCP byte stream: a header phase (24 bytes with the
// signature) and a data phase (the two data parts), however the stream is cut
// into reads. No I/O: the receiver feeds what it read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "media/frame_format.h"

namespace velmo::media {

class TcpRecordReader {
 public:
  // Called with each whole frame (header and data), valid during the call.
  // Returning false stops the feed (the rest of the input is not taken).
  using Sink = std::function<bool(std::span<const std::uint8_t>)>;

  TcpRecordReader();

  // Takes bytes; false when the sink refused a frame.
  bool feed(std::span<const std::uint8_t> data, const Sink& sink);
  // The stream stalled inside a header or a frame: what was read of it is
  // dropped and the next bytes are read as a header.
  void drop_partial();

  bool in_data_phase() const { return data_phase_; }
  std::size_t partial_bytes() const { return have_; }
  // Headers skipped for a missing signature or an oversized length.
  std::uint64_t dropped_headers() const { return dropped_headers_; }
  std::uint64_t dropped_partials() const { return dropped_partials_; }

 private:
  std::vector<std::uint8_t> buffer_;
  std::size_t have_ = 0;
  std::size_t need_ = kFrameHeaderSize;
  bool data_phase_ = false;
  std::uint64_t dropped_headers_ = 0;
  std::uint64_t dropped_partials_ = 0;
};

}  // namespace velmo::media
