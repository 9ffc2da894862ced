#include "media/tcp_record_reader.h"

#include <algorithm>
#include <cstring>

namespace velmo::media {

// Two frames' worth: the unfinished frame moves to the front only when less
// than a whole frame fits behind it, so most bytes are never moved.
TcpRecordReader::TcpRecordReader() : buffer_(2 * kMaxFrameSize) {}

std::span<std::uint8_t> TcpRecordReader::space() {
  if (begin_ == end_) {
    begin_ = 0;
    end_ = 0;
  } else if (buffer_.size() - end_ < kMaxFrameSize) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  return {buffer_.data() + end_, buffer_.size() - end_};
}

bool TcpRecordReader::commit(std::size_t n, const Sink& sink) {
  end_ = std::min(end_ + n, buffer_.size());
  return take_frames(sink);
}

bool TcpRecordReader::feed(std::span<const std::uint8_t> data, const Sink& sink) {
  while (!data.empty()) {
    const auto room = space();
    const std::size_t take = std::min(room.size(), data.size());
    std::memcpy(room.data(), data.data(), take);
    data = data.subspan(take);
    if (!commit(take, sink)) return false;
  }
  return true;
}

bool TcpRecordReader::take_frames(const Sink& sink) {
  while (end_ - begin_ >= kFrameHeaderSize) {
    const std::span<const std::uint8_t> rest(buffer_.data() + begin_, end_ - begin_);
    const auto header = read_frame_header(rest);
    if (!header->signed_ok() || header->data_length() > kMaxFrameData) {
      // Not a header we can use: the next 24 bytes are tried instead.
      ++dropped_headers_;
      begin_ += kFrameHeaderSize;
      continue;
    }
    if (header->data_length() == 0) {
      // Nothing to play; not worth ending the stream over.
      begin_ += kFrameHeaderSize;
      continue;
    }
    const std::size_t size = kFrameHeaderSize + static_cast<std::size_t>(header->data_length());
    if (rest.size() < size) break;
    begin_ += size;
    if (!sink(rest.first(size))) return false;
  }
  return true;
}

void TcpRecordReader::drop_partial() {
  if (begin_ == end_) return;
  ++dropped_partials_;
  // The device resends nothing: the frame is lost. Reading its remainder as
  // data of the same header would only misalign the stream, so the next bytes
  // are read as a header.
  begin_ = 0;
  end_ = 0;
}

}  // namespace velmo::media
