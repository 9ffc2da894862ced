#include "media/tcp_record_reader.h"

#include <algorithm>
#include <cstring>

namespace velmo::media {

TcpRecordReader::TcpRecordReader() : buffer_(kMaxFrameSize) {}

bool TcpRecordReader::feed(std::span<const std::uint8_t> data, const Sink& sink) {
  while (!data.empty()) {
    const std::size_t take = std::min(need_ - have_, data.size());
    std::memcpy(buffer_.data() + have_, data.data(), take);
    have_ += take;
    data = data.subspan(take);
    if (have_ < need_) break;
    if (!data_phase_) {
      const auto header = read_frame_header({buffer_.data(), kFrameHeaderSize});
      if (!header->signed_ok() || header->data_length() > kMaxFrameData) {
        // Not a header we can use: the next 24 bytes are tried instead.
        ++dropped_headers_;
        have_ = 0;
        continue;
      }
      if (header->data_length() == 0) {
        // Nothing to play; not worth ending the stream over.
        have_ = 0;
        continue;
      }
      need_ = kFrameHeaderSize + static_cast<std::size_t>(header->data_length());
      data_phase_ = true;
      continue;
    }
    const std::size_t size = need_;
    have_ = 0;
    need_ = kFrameHeaderSize;
    data_phase_ = false;
    if (!sink(std::span<const std::uint8_t>(buffer_.data(), size))) return false;
  }
  return true;
}

void TcpRecordReader::drop_partial() {
  if (have_ == 0 && !data_phase_) return;
  ++dropped_partials_;
  // The device resends nothing: the frame is lost. Reading its remainder as
  // data of the same header would only misalign the stream, so the next bytes
  // are read as a header.
  have_ = 0;
  need_ = kFrameHeaderSize;
  data_phase_ = false;
}

}  // namespace velmo::media
