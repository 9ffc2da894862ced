// The slice assembler on any sequence of datagrams (two length bytes before
// each): it never reads or writes outside its buffer and every frame it
// completes is signed, carries data and is within the limit.
#include <cstdint>
#include <cstdlib>

#include "media/slice_assembler.h"

using velmo::media::SliceAssembler;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t magic = std::uint32_t{data[0]} << 24 | std::uint32_t{data[1]} << 16 |
                              std::uint32_t{data[2]} << 8 | data[3];
  SliceAssembler a(magic);
  std::size_t at = 4;
  while (at + 2 <= size) {
    const std::size_t n = std::min<std::size_t>(data[at] | data[at + 1] << 8, size - at - 2);
    at += 2;
    if (a.feed({data + at, n}) == SliceAssembler::Result::complete) {
      const auto f = a.frame();
      const auto h = velmo::media::read_frame_header(f);
      if (!h || !h->signed_ok() || h->data_length() == 0 || h->total() != f.size() ||
          f.size() > velmo::media::kMaxUdpFrameSize ||
          a.buffer_capacity() > velmo::media::kMaxUdpFrameSize)
        std::abort();
    }
    at += n;
  }
  return 0;
}
