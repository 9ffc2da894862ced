#include "media/slice_assembler.h"

#include <algorithm>
#include <cstring>

namespace velmo::media {
namespace {

std::uint32_t be32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint16_t be16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

std::optional<SliceHeader> read_slice_header(std::span<const std::uint8_t> d) {
  if (d.size() < kSliceHeaderSize) return std::nullopt;
  return SliceHeader{be32(d.data()), be32(d.data() + 4), be16(d.data() + 8), be16(d.data() + 10)};
}

SliceAssembler::SliceAssembler(std::uint32_t magic) : magic_(magic), buffer_(10 * kSliceData) {}

void SliceAssembler::start(const SliceHeader& h) {
  if (active_ && !delivered_) ++abandoned_;
  active_ = true;
  delivered_ = false;
  frame_ = h.frame;
  count_ = h.count;
  got_ = 0;
  extent_ = 0;
  // Grows only for frames of more than ten slices; never beyond the limit.
  const std::size_t need = std::size_t{h.count} * kSliceData;
  if (buffer_.size() < need) buffer_.resize(need);
  received_.assign(h.count, false);
}

SliceAssembler::Result SliceAssembler::feed(std::span<const std::uint8_t> datagram) {
  const auto h = read_slice_header(datagram);
  if (!h) return Result::short_datagram;
  if (h->magic != magic_) return Result::foreign;
  const auto payload = datagram.subspan(kSliceHeaderSize);
  if (h->count == 0 || h->count > kMaxSlices || h->index >= h->count || payload.size() > kSliceData)
    return Result::refused;
  if (!active_ || h->frame != frame_) {
    start(*h);
  } else if (delivered_ || received_[h->index]) {
    return Result::duplicate;
  } else if (h->count != count_) {
    return Result::refused;
  }
  const std::size_t offset = std::size_t{h->index} * kSliceData;
  std::memcpy(buffer_.data() + offset, payload.data(), payload.size());
  received_[h->index] = true;
  extent_ = std::max(extent_, offset + payload.size());
  if (++got_ < count_) return Result::partial;
  delivered_ = true;
  const auto header = read_frame_header({buffer_.data(), extent_});
  if (!header || !header->signed_ok() || header->total() > extent_) return Result::invalid;
  if (header->data_length() == 0) return Result::empty;
  frame_size_ = static_cast<std::size_t>(header->total());
  return Result::complete;
}

}  // namespace velmo::media
