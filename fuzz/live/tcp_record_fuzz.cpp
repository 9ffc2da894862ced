// The TCP record reader on any byte stream, cut into reads of sizes the input
// chooses: every frame handed on is whole, signed and within the limit, and
// the same stream read in one piece gives the same frames.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "media/tcp_record_reader.h"

using velmo::media::TcpRecordReader;

namespace {

std::vector<std::vector<std::uint8_t>> read(const std::uint8_t* data, std::size_t size,
                                            std::size_t step_seed) {
  TcpRecordReader r;
  std::vector<std::vector<std::uint8_t>> frames;
  auto sink = [&](std::span<const std::uint8_t> f) {
    const auto h = velmo::media::read_frame_header(f);
    if (!h || !h->signed_ok() || h->total() != f.size() || f.size() > velmo::media::kMaxFrameSize)
      std::abort();
    frames.emplace_back(f.begin(), f.end());
    return true;
  };
  std::size_t at = 0, step = step_seed;
  while (at < size) {
    step = (step * 1103515245u + 12345u) % 4099u + 1u;
    const std::size_t n = step_seed == 0 ? size - at : std::min(step, size - at);
    r.feed({data + at, n}, sink);
    at += n;
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto whole = read(data + 1, size - 1, 0);
  const auto split = read(data + 1, size - 1, data[0] + 1u);
  if (whole != split) std::abort();
  return 0;
}
