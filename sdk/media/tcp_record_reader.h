// Frames out of the TCP byte stream: a header phase (24 bytes with the
// signature) and a data phase (the two data parts), however the stream is cut
// into reads. No I/O: the receiver reads straight into space() and commits
// what it read; whole frames are handed on where they lie, without a copy.
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

  // Where the next read goes: room for at least one whole frame.
  std::span<std::uint8_t> space();
  // Takes n bytes read into space(); false when the sink refused a frame.
  bool commit(std::size_t n, const Sink& sink);
  // The same for bytes read elsewhere (copied in).
  bool feed(std::span<const std::uint8_t> data, const Sink& sink);
  // The stream stalled inside a header or a frame: what was read of it is
  // dropped and the next bytes are read as a header.
  void drop_partial();

  bool in_data_phase() const { return end_ - begin_ >= kFrameHeaderSize; }
  std::size_t partial_bytes() const { return end_ - begin_; }
  // Headers skipped for a missing signature or an oversized length.
  std::uint64_t dropped_headers() const { return dropped_headers_; }
  std::uint64_t dropped_partials() const { return dropped_partials_; }

 private:
  // Whole frames in [begin_, end_) go to the sink; what remains is the start
  // of the next one, always with a usable header when 24 bytes are there.
  bool take_frames(const Sink& sink);

  std::vector<std::uint8_t> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::uint64_t dropped_headers_ = 0;
  std::uint64_t dropped_partials_ = 0;
};

}  // namespace velmo::media
